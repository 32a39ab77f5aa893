import {decodeHazards, hazardsFor} from '/js/hazards.js';
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
    {gairmets: [{hazard: 'TURB-HI', product: 'TANGO', forecastHour: 0, coords: AREA, base: value}]} :
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
  it('decodes every SIGMET, G-AIRMET and CWA of the reply', () => {
    assert.deepEqual([decoded.items.length, decoded.dropped, decoded.unavailable, decoded.warnings],
        [25, 0, [], []]);
    const kinds = {};
    for (const item of decoded.items) kinds[item.kind] = (kinds[item.kind] || 0) + 1;
    assert.deepEqual(kinds, {'convective-sigmet': 4, 'sigmet': 3, 'gairmet': 13, 'cwa': 5});
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
    assert.deepEqual([first.from, first.to], [Date.UTC(2026, 10, 20, 15), 1795192200000]);
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
    assert.strictEqual(byTitle('CWA ZLC 101').detail, 'Salt Lake City Center');
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

describe('#hazardsFor', () => {
  it('keeps the chosen G-AIRMET hour and the items reaching into the height band', () => {
    const hour3 = hazardsFor(decoded.items, {forecastHour: 3});
    assert.deepEqual(hour3.filter((i) => i.kind === 'gairmet').map((i) => i.title),
        ['G-AIRMET Sierra 3W', 'G-AIRMET Tango 8W', 'G-AIRMET Zulu 13W']);
    assert.lengthOf(hour3.filter((i) => i.kind !== 'gairmet'), 12);
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
