import {altitudeText, hazardLabel, hazardWords, sourceText} from '/js/hazard-text.js';
import {MAX_ITEMS, altitudeBand, decodeHazards, hazardsAt, hazardsFor, snapshotAt, splitEnded} from '/js/hazards.js';
import {insidePolygons} from '/js/alerts.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

const [sigmets, gairmets, cwas] = await Promise.all(['awc/airsigmet.json', 'awc/gairmet.json',
  'awc/cwa.json'].map(testDocument));
const decoded = decodeHazards({sigmets, gairmets, cwas, warnings: []});
const byTitle = (title) => decoded.items.find((item) => item.title === title);
const heights = (item) => [item.lowFeet, item.highFeet];
const AREA = [{lat: 40, lon: -112}, {lat: 40, lon: -111}, {lat: 41, lon: -111}, {lat: 40, lon: -112}];
/** A height as decodeHazards reads it: a CWA's base, or a G-AIRMET's (numbers in hundreds of feet). */
function parseHeight(value, {numbersInHundreds = false} = {}) {
  const reply = numbersInHundreds ?
    {gairmets: [{hazard: 'TURB-HI', product: 'TANGO', forecastHour: 0, validTime: '2026-11-20T15:00:00Z',
      coords: AREA, base: value}]} :
    {cwas: [{hazard: 'TURB', coords: AREA, base: value}]};
  return decodeHazards(reply).items[0].lowFeet;
}

describe('#decodeHazards: heights', () => {
  it('reads feet, flight levels, hundreds of feet and the surface', () => {
    const rows = [
      // value, options, feet
      [18000, {}, 18000], [0, {}, 0], [-5, {}, null], [400, {numbersInHundreds: true}, 40000],
      ['FL180', {}, 18000], ['fl240', {}, 24000], ['400', {}, 40000], ['040', {}, 4000], ['020', {}, 2000],
      ['SFC', {}, 0], [' SFC ', {}, 0], ['', {}, null], [null, {}, null], [undefined, {}, null],
      ['FRZLVL', {}, null], ['FL', {}, null], ['1000', {}, null], ['12.5', {}, null], [NaN, {}, null],
    ];
    for (const [value, options, feet] of rows) {
      assert.strictEqual(parseHeight(value, options), feet, `${String(value)} ${JSON.stringify(options)}`);
    }
  });
});

describe('#decodeHazards', () => {
  it('decodes every SIGMET, G-AIRMET and CWA of the reply, and leaves out the one outside the West', () => {
    assert.deepEqual([decoded.items.length, decoded.dropped, decoded.unavailable, decoded.warnings],
        [24, 0, [], []]);
    const kinds = {};
    for (const item of decoded.items) kinds[item.kind] = (kinds[item.kind] || 0) + 1;
    assert.deepEqual(kinds, {'convective-sigmet': 3, 'sigmet': 3, 'gairmet': 13, 'cwa': 5});
    // Convective SIGMET 31C lies over Texas.
    assert.deepEqual(decoded.counts, {sigmets: {received: 7, undrawable: 0, outside: 1, outOfRange: 0},
      gairmets: {received: 13, undrawable: 0, outside: 0, outOfRange: 0}, cwas: {received: 5, undrawable: 0, outside: 0, outOfRange: 0}});
    for (const item of decoded.items.filter((i) => i.geometry === 'polygon')) {
      assert.deepEqual(item.shape[0], item.shape.at(-1), `${item.title} is a closed ring`);
    }
  });
  it('reads SIGMET heights under both spellings of the low altitude', () => {
    const rows = [
      // title, hazard, severity, heights, from
      ['Convective SIGMET 12W', 'CONVECTIVE', null, [null, 42000], 1795197300000],
      ['SIGMET NOVEMBER 2', 'TURB', 'OCNL SEV', [20000, 35000], 1795196400000],  // altitudeLow1
      ['SIGMET OSCAR 1', 'ICE', 'SEV', [6000, 18000], 1795191600000],  // altitudeLo1
      ['SIGMET UNIFORM 1', 'IFR', 'SEV', [0, 10000], 1795194600000],
    ];
    for (const [title, hazard, severity, feet, from] of rows) {
      const item = byTitle(title);
      assert.deepEqual([item.hazard, item.severity, heights(item), item.from], [hazard, severity, feet, from], title);
    }
    assert.strictEqual(byTitle('Convective SIGMET 12W').detail, 'moving from 220° at 25 kt');
    assert.strictEqual(byTitle('SIGMET OSCAR 1').raw, sigmets[5].rawAirSigmet);
    assert.deepEqual(byTitle('Convective SIGMET 12W').shape[0], [34.62, -119.92]);
  });
  it('reads G-AIRMET text coordinates, heights, hours, products and lines', () => {
    const rows = [
      // tag, forecast hour, product, severity, heights, geometry
      ['1W', 0, 'SIERRA', null, [null, null], 'polygon'], ['3W', 3, 'SIERRA', null, [null, null], 'polygon'],
      ['5W', 0, 'TANGO', 'MOD', [24000, 40000], 'polygon'], ['6W', 0, 'TANGO', 'MOD', [0, 18000], 'polygon'],
      ['7W', 0, 'TANGO', null, [null, null], 'polygon'], ['8W', 3, 'TANGO', null, [0, 2000], 'polygon'],
      ['9W', 12, 'TANGO', 'MOD', [28000, 39000], 'polygon'], ['10W', 0, 'ZULU', 'MOD', [8000, 20000], 'polygon'],
      ['11W', 6, 'ZULU', 'LGT-MOD', [null, 22000], 'polygon'], ['12W', 0, 'ZULU', null, [4000, 4000], 'line'],
      ['13W', 3, 'ZULU', null, [0, 4000], 'polygon'],
    ];
    for (const [tag, hour, product, severity, feet, geometry] of rows) {
      const item = decoded.items.find((i) => i.kind === 'gairmet' && i.title.endsWith(` ${tag}`));
      assert.deepEqual([item.forecastHour, item.product, item.severity, heights(item), item.geometry],
          [hour, product, severity, feet, geometry], tag);
    }
    const first = decoded.items.find((i) => i.title === 'G-AIRMET Sierra 1W');
    assert.deepEqual(first.shape[0], [48.9, -124.7]);
    // A snapshot stands for the hour and a half either side of its valid time.
    assert.deepEqual([first.validTime, first.from, first.to, first.issued],
        [Date.UTC(2026, 10, 20, 15), Date.UTC(2026, 10, 20, 13, 30), Date.UTC(2026, 10, 20, 16, 30), 1795185900000]);
    assert.strictEqual(first.detail, 'CIG BLW 010/VIS BLW 3SM PCPN/BR');
    const line = decoded.items.find((i) => i.title === 'G-AIRMET Zulu 12W');
    assert.lengthOf(line.shape, 5);
    assert.notDeepEqual(line.shape[0], line.shape.at(-1));
  });
  it('reads CWAs with their centre, heights and lines', () => {
    const rows = [['CWA ZLC 101', 'TURB', 'MOD-SEV', [null, 18000], 'polygon'],
      ['CWA ZSE 201', 'ICE', 'SEV', [6000, 16000], 'polygon'], ['CWA ZOA 301', 'IFR', null, [null, null], 'polygon'],
      ['CWA ZLA 102', 'TS', 'SEV', [null, 42000], 'line']];
    for (const [title, hazard, severity, feet, geometry] of rows) {
      const item = byTitle(title);
      assert.deepEqual([item.hazard, item.severity, heights(item), item.geometry], [hazard, severity, feet, geometry], title);
    }
    assert.lengthOf(byTitle('CWA ZLA 102').shape, 3);
    assert.strictEqual(byTitle('CWA ZLC 101').issuer, 'Salt Lake City Center (ZLC)');
  });
  it('passes missing products on as unavailable, with the host\'s warnings', () => {
    const warning = 'sigmets: Aviation weather service returned an unexpected data format';
    const reply = decodeHazards({sigmets: null, gairmets: {tag: '1W'}, cwas: cwas.slice(0, 1),
      warnings: [warning, 5]});
    assert.deepEqual([reply.unavailable, reply.warnings, reply.items.length],
        [['sigmets', 'gairmets'], [warning, 'gairmets: not a list'], 1]);
    assert.deepEqual(decodeHazards({}).unavailable, ['sigmets', 'gairmets', 'cwas']);
    for (const bad of [null, [], 'text', 7]) {
      assert.throws(() => decodeHazards(bad), TypeError, 'Hazards reply is not an object');
    }
  });
  it('drops items it cannot draw or place, and keeps the rest', () => {
    const [sigmet, gairmet, advisory] = [sigmets[1], gairmets[0], cwas[0]];
    const reply = decodeHazards({
      sigmets: [sigmet, null, 7, {...sigmet, coords: [{lat: 'a', lon: 1}, ...sigmet.coords]},
        {...sigmet, coords: sigmet.coords.slice(0, 2)}, {...sigmet, coords: [{lat: 95, lon: 0}, ...sigmet.coords]},
        {...sigmet, hazard: ''}, {...sigmet, coords: sigmet.coords.slice(0, 3)}],
      gairmets: [gairmet, {...gairmet, forecastHour: 2}, {...gairmet, forecastHour: '3'},
        {...gairmet, product: 'ALPHA'}, {...gairmet, coords: 'x'}],
      cwas: [advisory, {...advisory, geom: 'LINE', coords: advisory.coords.slice(0, 1)}],
      warnings: null,
    });
    assert.deepEqual([reply.items.length, reply.dropped], [4, 11]);
    // Three distinct points are a ring once closed on the first.
    assert.deepEqual(reply.items[1].shape, [...sigmet.coords.slice(0, 3).map((p) => [p.lat, p.lon]),
      [sigmet.coords[0].lat, sigmet.coords[0].lon]]);
  });
});

describe('#decodeHazards: limits', () => {
  it('reads at most 2,000 records of a product and counts areas it cannot draw', () => {
    const sigmet = sigmets[4];  // TURB NOVEMBER 2
    const ring = (count) => Array.from({length: count}, (_, i) => ({lat: 40 + Math.sin((2 * Math.PI * i) / count),
      lon: -112 + Math.cos((2 * Math.PI * i) / count)}));
    const rows = [
      // records, items, counts
      [Array(MAX_ITEMS + 1).fill(sigmet), MAX_ITEMS, {received: 2001, undrawable: 0, outside: 0, outOfRange: 0}],
      [Array(MAX_ITEMS).fill(sigmet), MAX_ITEMS, {received: 2000, undrawable: 0, outside: 0, outOfRange: 0}],
      [[{...sigmet, coords: ring(500)}, {...sigmet, coords: ring(501)}], 1, {received: 2, undrawable: 1, outside: 0, outOfRange: 0}],
    ];
    for (const [records, items, counts] of rows) {
      const reply = decodeHazards({sigmets: records});
      assert.deepEqual([reply.items.length, reply.counts.sigmets], [items, counts], String(records.length));
    }
  });
});

describe('#decodeHazards: the antimeridian', () => {
  const SLC = {lat: 40.76, lon: -111.89};
  const sigmet = (points) => decodeHazards({sigmets: [{...sigmets[4], coords: points.map(([lat, lon]) => ({lat, lon}))}]});
  it('leaves out an area across it, far from the West, with a count', () => {
    const reply = sigmet([[30, 179], [30, -179], [50, -179], [50, 179], [30, 179]]);
    assert.deepEqual([reply.items.length, reply.counts.sigmets.outside], [0, 1]);
  });
  it('unwraps the longitudes of one reaching into the West, so it covers only what it covers', () => {
    const reply = sigmet([[30, 170], [30, -150], [30, -120], [50, -120], [50, -150], [50, 170], [30, 170]]);
    const [item] = reply.items;
    assert.deepEqual(item.shape.map((p) => p[1]), [-190, -150, -120, -120, -150, -190, -190]);
    assert.isFalse(insidePolygons([[item.shape]], SLC), 'Salt Lake City is east of it');
    assert.isTrue(insidePolygons([[item.shape]], {lat: 40, lon: -122}));
  });
});

describe('#snapshotAt', () => {
  it('takes the nearest valid time not after the time, and the next once within its window', () => {
    const t = (day, h, m = 0) => Date.UTC(2026, 10, day, h, m);
    const rows = [
      // time, snapshot
      [t(20, 10), t(20, 15)], [t(20, 16, 29), t(20, 15)], [t(20, 16, 30), t(20, 18)],
      [t(20, 18, 10), t(20, 18)], [t(20, 19, 29), t(20, 18)], [t(20, 19, 30), t(20, 21)],
      [t(21, 1, 29), t(21, 0)], [t(21, 12), t(21, 3)],
    ];
    for (const [time, valid] of rows) {
      assert.strictEqual(new Date(snapshotAt(decoded.items, time)).toISOString(), new Date(valid).toISOString(),
          new Date(time).toISOString());
    }
    assert.isNull(snapshotAt(decoded.items.filter((item) => item.kind !== 'gairmet'), t(20, 18)));
  });
});

describe('#splitEnded, #hazardsAt', () => {
  const end = Date.UTC(2026, 10, 20, 19, 55);  // the convective SIGMETs' end
  it('ends SIGMETs and CWAs at their end, never G-AIRMETs', () => {
    const rows = [[end - 1, 0], [end, 3], [end + 1, 3]];
    for (const [time, convective] of rows) {
      const {ended} = splitEnded(decoded.items, time);
      assert.lengthOf(ended.filter((item) => item.kind === 'convective-sigmet'), convective, String(time - end));
      assert.lengthOf(ended.filter((item) => item.kind === 'gairmet'), 0);
    }
  });
  it('gives what is in force where a flight passes, in its height band', () => {
    const titles = (time, band) => hazardsAt(decoded.items, time, band).map((item) => item.title).sort();
    const at = Date.UTC(2026, 10, 20, 19);
    assert.includeMembers(titles(at), ['G-AIRMET Sierra 3W', 'G-AIRMET Tango 8W', 'SIGMET NOVEMBER 2']);
    assert.notInclude(titles(at), 'G-AIRMET Sierra 1W');
    assert.include(titles(at - 1), 'CWA ZOA 301');  // valid until 19:00Z
    assert.notInclude(titles(at), 'CWA ZOA 301');
    assert.notInclude(titles(Date.UTC(2026, 10, 20, 17, 30)), 'SIGMET NOVEMBER 2');  // from 17:40Z
    assert.deepEqual(titles(at, {lowFeet: 36000, highFeet: 40000}), ['CWA ZAB 101', 'CWA ZLA 102',
      'Convective SIGMET 12W', 'Convective SIGMET 13W', 'Convective SIGMET 14W', 'G-AIRMET Sierra 3W']);
  });
});

describe('#altitudeBand, #altitudeText, #hazardLabel, #hazardWords, #sourceText', () => {
  it('says what each hazard is, between which heights, and from which product', () => {
    const gairmet = (tag) => decoded.items.find((i) => i.kind === 'gairmet' && i.title.endsWith(` ${tag}`));
    const rows = [
      // item, band, heights, label, words, source
      [byTitle('SIGMET NOVEMBER 2'), [20000, 35000, 'height'], 'FL200 to FL350', 'TURB FL200–350',
        'Turbulence (occasionally severe)', 'SIGMET (KKCI)'],
      [byTitle('SIGMET OSCAR 1'), [6000, 18000, 'height'], '6,000 ft to FL180', 'ICE 060–FL180', 'Icing (severe)', 'SIGMET (KKCI)'],
      [byTitle('Convective SIGMET 12W'), [0, 42000, 'surface'], 'Surface to FL420', 'TS TOPS FL420',
        'Thunderstorms', 'Convective SIGMET (KKCI)'],
      [gairmet('1W'), [0, null, 'surface'], 'Surface up; no top given', 'IFR',
        'IFR: ceiling below 1,000 ft or visibility below 3 miles', 'G-AIRMET Sierra (IFR, mountain obscuration)'],
      [gairmet('2W'), [0, null, 'surface'], 'Surface up; no top given', 'MTN OBSC', 'Mountain obscuration',
        'G-AIRMET Sierra (IFR, mountain obscuration)'],
      [gairmet('5W'), [24000, 40000, 'height'], 'FL240 to FL400', 'TURB FL240–400', 'High-level turbulence (moderate)',
        'G-AIRMET Tango (turbulence, wind)'],
      [gairmet('7W'), [0, null, 'surface'], 'Surface up; no top given', 'SFC WND', 'Surface wind (sustained over 30 kt)',
        'G-AIRMET Tango (turbulence, wind)'],
      [gairmet('8W'), [0, 2000, 'surface'], 'Surface to 2,000 ft', 'LLWS SFC–020', 'Low-level wind shear',
        'G-AIRMET Tango (turbulence, wind)'],
      [gairmet('10W'), [8000, 20000, 'height'], '8,000 ft to FL200', 'ICE 080–FL200', 'Icing (moderate)',
        'G-AIRMET Zulu (icing, freezing level)'],
      [gairmet('11W'), [0, 22000, 'freezing level'], 'Freezing level to FL220', 'ICE FZL–FL220',
        'Icing (light to moderate)', 'G-AIRMET Zulu (icing, freezing level)'],
      [gairmet('12W'), [4000, 4000, 'height'], 'At 4,000 ft', 'FZLVL 040', 'Freezing level', 'G-AIRMET Zulu (icing, freezing level)'],
      [gairmet('13W'), [0, 4000, 'surface'], 'Surface to 4,000 ft', 'FZLVL SFC–040', 'Freezing level (several levels)',
        'G-AIRMET Zulu (icing, freezing level)'],
      [byTitle('CWA ZLC 101'), [0, 18000, 'surface'], 'Surface to FL180', 'TURB SFC–FL180', 'Turbulence (moderate to severe)',
        'Center Weather Advisory, Salt Lake City Center (ZLC)'],
      [byTitle('CWA ZSE 201'), [6000, 16000, 'height'], '6,000 ft to 16,000 ft', 'ICE 060–160', 'Icing (severe)',
        'Center Weather Advisory, Seattle Center (ZSE)'],
    ];
    // A hazard or severity the products do not list is the product's own text, isolated from
    // the page's words beside it (U+2068 … U+2069), a direction mark in it included.
    rows.push([{...byTitle('CWA ZLC 101'), hazard: 'DUST\u202e', severity: 'WILD'}, [0, 18000, 'surface'],
      'Surface to FL180', '\u2068DUST\u202e\u2069 SFC–FL180', '\u2068Dust\u202e\u2069 (\u2068wild\u2069)',
      'Center Weather Advisory, Salt Lake City Center (ZLC)']);
    for (const [item, [lowFeet, highFeet, base], heights, label, words, source] of rows) {
      assert.deepEqual([altitudeBand(item), altitudeText(item), hazardLabel(item), hazardWords(item), sourceText(item)],
          [{lowFeet, highFeet, base}, heights, label, words, source], item.title);
    }
  });
});

describe('#hazardsFor', () => {
  it('keeps the chosen G-AIRMET snapshot and the items reaching into the height band', () => {
    const hour3 = hazardsFor(decoded.items, {validTime: Date.UTC(2026, 10, 20, 18)});
    assert.deepEqual(hour3.filter((i) => i.kind === 'gairmet').map((i) => i.title),
        ['G-AIRMET Sierra 3W', 'G-AIRMET Tango 8W', 'G-AIRMET Zulu 13W']);
    assert.lengthOf(hour3.filter((i) => i.kind !== 'gairmet'), 11);
    const turbulence = [byTitle('SIGMET NOVEMBER 2')];  // 20,000 to 35,000 ft
    const rows = [[{lowFeet: 35000, highFeet: 40000}, 1], [{lowFeet: 35001, highFeet: 40000}, 0],
      [{lowFeet: 0, highFeet: 20000}, 1], [{lowFeet: 0, highFeet: 19999}, 0], [{}, 1]];
    for (const [band, count] of rows) {
      assert.lengthOf(hazardsFor(turbulence, band), count, JSON.stringify(band));
    }
    const convective = [byTitle('Convective SIGMET 12W')];  // surface to 42,000 ft
    assert.lengthOf(hazardsFor(convective, {lowFeet: 0, highFeet: 0}), 1);
    assert.lengthOf(hazardsFor(convective, {lowFeet: 42001}), 0);
  });
});
