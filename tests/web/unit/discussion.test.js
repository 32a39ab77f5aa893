import {decodeDiscussion} from '/js/discussion.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

const product = await testDocument('nws/afd_slc_latest.json');
const reply = {issuanceTime: product.issuanceTime, issuingOffice: product.issuingOffice,
  productText: product.productText};

describe('#decodeDiscussion', () => {
  it('splits the discussion into its heading, sections and signatures', () => {
    const discussion = decodeDiscussion(reply);
    assert.deepEqual([discussion.issued, discussion.office], [Date.UTC(2026, 10, 20, 17, 11), 'KSLC']);
    assert.deepEqual(discussion.heading, ['Area Forecast Discussion',
      'National Weather Service Salt Lake City UT', '1011 AM MST Fri Nov 20 2026']);
    assert.deepEqual(discussion.sections.map((s) => [s.title, s.paragraphs.length]), [['SYNOPSIS', 1],
      ['DISCUSSION', 4], ['AVIATION', 2], ['FIRE WEATHER', 1], ['SLC WATCHES/WARNINGS/ADVISORIES', 3]]);
    const [synopsis, , aviation, , warnings] = discussion.sections;
    assert.strictEqual(synopsis.paragraphs[0], 'A strong cold front will cross northern Utah this ' +
        'afternoon, bringing strong south winds ahead of it and showers turning to snow behind it ' +
        'tonight. High pressure builds in for the weekend before another weaker system arrives Monday.');
    assert.isTrue(aviation.text.startsWith('KSLC...South winds gusting 30 to 40 knots'));
    assert.strictEqual(warnings.paragraphs.at(-1), 'WY...None.');
    assert.include(warnings.text, '\n     Winter Storm Warning', 'the text keeps its lines as written');
    assert.isTrue(discussion.signatures.startsWith('PUBLIC...Harrington\nAVIATION...Okafor'));
    for (const section of discussion.sections) {
      assert.notInclude(section.text, '&&');
      assert.notInclude(section.text, '$$');
    }
    assert.strictEqual(discussion.text, reply.productText);
  });
  it('copes with other layouts and refuses a reply without text', () => {
    const rows = [
      // product text, heading, [title, text] of each section, signatures
      ['\r\n000\r\nFXUS65 KBOI 201500\r\nAFDBOI\r\n\r\nArea Forecast Discussion\r\n.SHORT TERM...Dry.\r\n' +
        '.LONG TERM...\r\nWet.\r\n$$\r\nJD', ['Area Forecast Discussion'],
      [['SHORT TERM', 'Dry.'], ['LONG TERM', 'Wet.']], 'JD'],
      ['A\nB\nC\nD\nE', ['A', 'B', 'C'], [['', 'D\nE']], ''],
      ['.UPDATE...\n&&\nStray line\n&&\n$$\n', [], [['UPDATE', ''], ['', 'Stray line']], ''],
      ['', [], [], ''],
    ];
    for (const [productText, heading, sections, signatures] of rows) {
      const discussion = decodeDiscussion({productText});
      assert.deepEqual([discussion.heading, discussion.sections.map((s) => [s.title, s.text]),
        discussion.signatures], [heading, sections, signatures], JSON.stringify(productText));
    }
    assert.deepEqual(decodeDiscussion({productText: '', issuanceTime: null, issuingOffice: 7})
        .office, '');
    for (const bad of [null, [], {productText: null}, {issuanceTime: '2026-11-20T17:11:00+00:00'}]) {
      assert.throws(() => decodeDiscussion(bad), TypeError, 'Discussion reply has no product text');
    }
  });
});
