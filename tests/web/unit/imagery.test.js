import {MAX_DOCUMENT_CHARS, dimensionTimes, domainTimes, durationMs, radarTimes} from '/js/imagery/capabilities.js';
import {SOURCES, ageText, frameState, loopFrames} from '/js/imagery/frames.js';
import {failureText} from '/js/imagery/tiles.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';

const MINUTE = 60000;
const T0 = Date.parse('2026-11-20T18:00:00Z');
const at = (minutes) => T0 + minutes * MINUTE;
const iso = (ms) => new Date(ms).toISOString();

const capabilities = (dimension, layer = 'conus_bref_qcd', root = 'WMS_Capabilities') =>
  `<?xml version="1.0"?><${root} version="1.3.0" xmlns="http://www.opengis.net/wms"><Capability>` +
  `<Layer><Title>conus</Title><Layer><Name>${layer}</Name>${dimension}</Layer></Layer></Capability></${root}>`;
const timeDimension = (value) => `<Dimension name="time" units="ISO8601">${value}</Dimension>`;
const domains = (value) => '<Domains xmlns="http://example.org/wmts-md" xmlns:ows="http://www.opengis.net/ows/1.1">' +
  `<DimensionDomain><ows:Identifier>time</ows:Identifier><Domain>${value}</Domain><Size>1</Size></DimensionDomain></Domains>`;
const EXCEPTION = '<?xml version="1.0"?><ServiceExceptionReport version="1.3.0"><ServiceException ' +
  'code="LayerNotDefined">Could not find layer conus:conus_bref_qcd</ServiceException></ServiceExceptionReport>';

describe('imagery capabilities', () => {
  const listed = [at(-6), at(-4), at(-2)];
  const cases = [
    ['listed times, in any order', capabilities(timeDimension([at(-2), at(-6), at(-4)].map(iso).join(','))), listed],
    ['times written without milliseconds', capabilities(timeDimension('2026-11-20T17:54:00Z,2026-11-20T17:58:00Z')),
      [at(-6), at(-2)]],
    ['an interval form', capabilities(timeDimension(`${iso(at(-10))}/${iso(at(-1))}/PT2M`)),
      [at(-10), at(-8), at(-6), at(-4), at(-2)]],
    ['the 1.1.1 Extent form', capabilities(`<Extent name="time">${iso(at(-2))}</Extent>`, 'conus_bref_qcd',
        'WMT_MS_Capabilities'), [at(-2)]],
    ['an empty list', capabilities(timeDimension('')), /lists no times/],
    ['no time dimension', capabilities('<Dimension name="elevation">0</Dimension>'), /lists no times/],
    ['a document of another layer', capabilities(timeDimension(iso(at(-2))), 'conus_cref_qcd'),
      /layer conus_bref_qcd is not listed/],
    ['a service exception document', EXCEPTION, /exception: Could not find layer/],
    ['an unreadable time', capabilities(timeDimension('2026-11-20T17:58:00Z,yesterday')), /time could not be read: "yesterday"/],
    ['a time without a zone', capabilities(timeDimension('2026-11-20T17:58:00')), /time could not be read/],
    ['an interval ending before it starts', capabilities(timeDimension(`${iso(at(0))}/${iso(at(-10))}/PT2M`)),
      /interval could not be read/],
    ['an interval of no length', capabilities(timeDimension(`${iso(at(-10))}/${iso(at(0))}/PT0M`)), /interval could not be read/],
    ['not XML', '<html><body>Bad gateway', /not an XML document/],
    ['another XML document', '<?xml version="1.0"?><feed/>', /not a WMS capabilities document \(feed\)/],
    ['a number', 42, /not a document/],
    ['null', null, /not a document/],
    ['an object', {times: []}, /not a document/],
    ['a document over the size limit', ' '.repeat(MAX_DOCUMENT_CHARS + 1), /too large/],
  ];
  for (const [name, text, expected] of cases) {
    it(`radar: ${name}`, () => {
      if (expected instanceof RegExp) assert.throws(() => radarTimes(text, 'conus_bref_qcd'), expected);
      else assert.deepEqual(radarTimes(text, 'conus_bref_qcd'), expected);
    });
  }

  it('reads a 5 MB capabilities document of many layers and keeps only recent times', () => {
    const filler = Array.from({length: 9000}, (_, i) =>
      `<Layer><Name>other_${i}</Name>${timeDimension(`${iso(at(-600))}/${iso(at(0))}/PT2M`)}<Abstract>${'x'.repeat(420)}</Abstract></Layer>`).join('');
    const text = capabilities(timeDimension(`${iso(at(-24 * 60))}/${iso(at(-2))}/PT2M`)).replace('<Layer><Name>', `${filler}<Layer><Name>`);
    assert.isAbove(text.length, 5e6);
    const times = radarTimes(text, 'conus_bref_qcd', {keepMs: 120 * MINUTE});
    assert.strictEqual(times.length, 61);
    assert.deepEqual([times[0], times[60]], [at(-122), at(-2)]);
  });

  const domainCases = [
    ['one range, read from its end', domains(`${iso(at(-60 * 24 * 30))}/${iso(at(-30))}/PT10M`), {keepMs: 60 * MINUTE},
      [at(-90), at(-80), at(-70), at(-60), at(-50), at(-40), at(-30)]],
    ['ranges with a gap and a single time', domains(`${iso(at(-100))}/${iso(at(-80))}/PT10M,${iso(at(-40))}`), {},
      [at(-100), at(-90), at(-80), at(-40)]],
    ['an end that is not on the step', domains(`${iso(at(-30))}/${iso(at(-5))}/PT10M`), {}, [at(-30), at(-20), at(-10)]],
    ['an empty domain', domains(''), {}, /lists no times/],
    ['a service exception document', EXCEPTION, {}, /exception/],
    ['a capabilities document instead', capabilities(timeDimension(iso(at(0)))), {}, /not a domains document/],
  ];
  for (const [name, text, options, expected] of domainCases) {
    it(`satellite: ${name}`, () => {
      if (expected instanceof RegExp) assert.throws(() => domainTimes(text, options), expected);
      else assert.deepEqual(domainTimes(text, options), expected);
    });
  }

  it('reads durations, and refuses those of no length', () => {
    assert.deepEqual(['PT2M', 'PT10M', 'PT1H', 'P1D', 'PT30S', 'PT0M', 'P', 'PT', '10M'].map(durationMs),
        [2 * MINUTE, 10 * MINUTE, 60 * MINUTE, 1440 * MINUTE, 30000, NaN, NaN, NaN, NaN]);
  });

  it('expands a long interval no further back than its limit', () => {
    const times = dimensionTimes(`${iso(at(-90 * 1440))}/${iso(at(0))}/PT10M`);
    assert.strictEqual(times.length, 1000);
    assert.strictEqual(times[999], at(0));
  });
});

describe('imagery frames', () => {
  const radar = SOURCES.radar;
  const satellite = SOURCES.satellite;
  const stateCases = [
    ['radar just in', radar, 2, 'current'],
    ['radar at 10 min', radar, 10, 'current'],
    ['radar past 10 min', radar, 10.02, 'stale'],
    ['radar at 60 min', radar, 60, 'stale'],
    ['radar past 60 min', radar, 60.02, 'gone'],
    ['satellite at 60 min', satellite, 60, 'current'],
    ['satellite past 60 min', satellite, 60.02, 'stale'],
    ['satellite at 3 h', satellite, 180, 'stale'],
    ['satellite past 3 h', satellite, 180.02, 'gone'],
    ['a scan a little ahead of this clock', radar, -1, 'current'],
  ];
  for (const [name, limits, ageMinutes, expected] of stateCases) {
    it(`state: ${name}`, () => assert.strictEqual(frameState(at(-ageMinutes), T0, limits), expected));
  }
  it('state: no frame at all is not drawn', () => assert.strictEqual(frameState(NaN, T0, radar), 'gone'));

  it('writes ages as the reader reads them', () => {
    assert.deepEqual([0, 30000, 4 * MINUTE, 59 * MINUTE, 65 * MINUTE, 120 * MINUTE, -MINUTE].map(ageText),
        ['just now', 'just now', '4 min old', '59 min old', '1 h 5 min old', '2 h old', 'just now']);
  });

  // Irregular scans about 2 minutes apart, the newest at 0.
  const scans = [-125, -121, -118, -117, -112, -110, -64, -61, -59, -55, -53, -50, -47, -44, -42, -38, -36,
    -31, -29, -27, -22, -20, -16, -13, -11, -7, -5, -3, -1, 0].map(at);
  const loopCases = [
    ['every listed scan of 1 h', {lengthMs: 60 * MINUTE}, [-59, -55, -53, -50, -47, -44, -42, -38, -36, -31, -29,
      -27, -22, -20, -16, -13, -11, -7, -5, -3, -1, 0]],
    ['every 10 min of 1 h, snapped to listed scans', {lengthMs: 60 * MINUTE, stepMs: 10 * MINUTE},
      [-59, -50, -38, -29, -20, -11, 0]],
    ['every 5 min of 1 h', {lengthMs: 60 * MINUTE, stepMs: 5 * MINUTE},
      [-59, -55, -50, -44, -38, -36, -29, -27, -20, -16, -11, -5, 0]],
    ['2 h with a gap: no frame stands in for a missing stretch', {lengthMs: 120 * MINUTE, stepMs: 10 * MINUTE},
      [-118, -110, -59, -50, -38, -29, -20, -11, 0]],
  ];
  for (const [name, choice, expected] of loopCases) {
    it(`loop: ${name}`, () => assert.deepEqual(loopFrames(scans, choice), expected.map(at)));
  }
  it('loop: nothing listed gives no frames', () => assert.deepEqual(loopFrames([], {lengthMs: 3600000}), []));
  it('loop: satellite 3 h at its 10-minute steps is 19 frames', () => {
    const times = Array.from({length: 60}, (_, i) => at(-590 + i * 10));
    const frames = loopFrames(times, {lengthMs: 180 * MINUTE});
    assert.strictEqual(frames.length, 19);
    assert.deepEqual([frames[0], frames[18]], [at(-180), at(0)]);
  });

  it('says how many images failed and why', () => {
    assert.strictEqual(failureText({loaded: 5, failed: 0, reasons: {}}), '');
    assert.strictEqual(failureText({loaded: 1, failed: 3, reasons: {exception: 2, timeout: 1}}),
        '3 images failed (2 service exception, 1 no answer in time)');
    assert.strictEqual(failureText({loaded: 0, failed: 1, reasons: {status: 1}}), '1 image failed (1 error answer)');
  });
});
