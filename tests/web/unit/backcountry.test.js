import {dangerOf, decodeAvalanche, inAvalancheSeason, layerTime, nextAvalancheAsk, zoneDanger,
  zonesAt} from '/js/avalanche.js';
import {drawnDegrees} from '/js/map/avalanche-layer.js';
import {compassDegrees, dispersionBand, fireWeatherFirst, fireWeatherRows, hainesBand, lightningBand,
  mountainRows, skyWords, snowLevelRelation} from '/js/backcountry.js';
import {decodeOutlook} from '/js/discussion.js';
import {formatAmount} from '/js/panels/backcountry-blocks.js';
import {decodePointReply, gridLayer} from '/js/point.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

const layer = await testDocument('avalanche/map_layer.json');
const at = (iso) => Date.parse(iso);
const REFERENCE = at('2026-11-20T18:00:00Z');

describe('#dangerOf', () => {
  it('names each level of the scale and how it is drawn', () => {
    const rows = [
      [-1, 'No rating', 'Avalanche information available, no rating', 'information'],
      [0, 'No rating', 'No rating', 'outline'],
      [1, 'Low', '1 – Low', 'rated'],
      [2, 'Moderate', '2 – Moderate', 'rated'],
      [3, 'Considerable', '3 – Considerable', 'rated'],
      [4, 'High', '4 – High', 'rated'],
      [5, 'Extreme', '5 – Extreme', 'rated'],
      [6, 'Unknown', 'Danger not known', 'outline'],
      [-2, 'Unknown', 'Danger not known', 'outline'],
      [2.5, 'Unknown', 'Danger not known', 'outline'],
      ['3', 'Unknown', 'Danger not known', 'outline'],
      [null, 'Unknown', 'Danger not known', 'outline'],
      [undefined, 'Unknown', 'Danger not known', 'outline'],
    ];
    for (const [level, word, label, style] of rows) {
      assert.deepEqual(dangerOf(level), {level: word === 'Unknown' ? null : level, word, label, style},
          String(level));
    }
  });
});

describe('#decodeAvalanche', () => {
  it('reads every zone of the map layer with its colours, times and link', () => {
    const {zones, received, undrawable} = decodeAvalanche(layer);
    assert.strictEqual(received, 8);
    assert.strictEqual(undrawable, 0);
    const saltLake = zones.find((zone) => zone.name === 'Salt Lake');
    assert.include(saltLake, {center: 'Utah Avalanche Center', centerId: 'UAC', level: 3, fill: '#f7931e',
      stroke: '#000000', timeZone: 'America/Denver', link: 'https://utahavalanchecenter.org/forecasts/salt-lake',
      start: at('2026-11-20T13:30:00Z'), end: at('2026-11-21T13:30:00Z')});
    assert.deepEqual(saltLake.polygons[0][0][0], [40.45, -111.85]);
    assert.lengthOf(zones.find((zone) => zone.centerId === 'SAC').polygons, 2, 'a MultiPolygon');
    // Drawn simplified within half a pixel (at 40.45° N: 0.535° / 2^zoom), its own line from zoom 8.5.
    assert.deepEqual([5, 6, 6.5, 8, 8.5, 12].map((zoom) => drawnDegrees(40.45, zoom)), [0.008, 0.008, 0.002, 0.002, 0, 0]);
    const sangre = zones.find((zone) => zone.name === 'Sangre de Cristo');
    assert.isNaN(sangre.start);
    assert.strictEqual(sangre.stroke, '#104efb');
  });
  it('refuses a reply that is no feature collection and skips zones without a shape', () => {
    for (const body of [null, [], {}, {features: {}}, 'features']) {
      assert.throws(() => decodeAvalanche(body), TypeError, 'Avalanche reply has no features');
    }
    const {zones, undrawable} = decodeAvalanche({features: [null, {properties: {}}, {properties: {name: 'x'},
      geometry: {type: 'Point', coordinates: [1, 2]}}, {...layer.features[0], properties: {
      ...layer.features[0].properties, color: 'red;fill:url(x)', link: 'javascript:alert(1)'}}]});
    assert.strictEqual(undrawable, 3);
    assert.strictEqual(zones[0].fill, '', 'only hex colours are taken');
    assert.strictEqual(zones[0].link, 'https://utahavalanchecenter.org/', 'only https links; else the centre');
  });
  it('reads the times as UTC unless they carry an offset', () => {
    const rows = [
      ['2026-11-20T13:30:00', at('2026-11-20T13:30:00Z')],
      ['2026-11-20T13:30', at('2026-11-20T13:30:00Z')],
      ['2026-11-20T06:30:00-07:00', at('2026-11-20T13:30:00Z')],
      ['2026-11-20T13:30:00Z', at('2026-11-20T13:30:00Z')],
      ['2026-11-20', NaN], ['', NaN], [null, NaN], [1795197600, NaN], ['tomorrow', NaN],
    ];
    for (const [written, expected] of rows) assert.deepEqual(layerTime(written), expected, String(written));
  });
});

describe('#zoneDanger', () => {
  const {zones} = decodeAvalanche(layer);
  const zone = (name) => zones.find((z) => z.name === name);
  it('marks a forecast past its end as expired, never as today\'s', () => {
    const grand = zone('Grand Mesa');  // ended 13:00Z
    assert.strictEqual(zoneDanger(grand, at('2026-11-20T12:59:59Z')).style, 'rated');
    assert.deepEqual(zoneDanger(grand, at('2026-11-20T13:00:00Z')),
        {level: 2, word: 'Moderate', label: 'Expired (was 2 – Moderate)', style: 'expired'});
  });
  it('keeps information, no rating and out of season apart', () => {
    assert.strictEqual(zoneDanger(zone('Sangre de Cristo'), REFERENCE).style, 'information');
    assert.strictEqual(zoneDanger(zone('Eastern Sierra'), REFERENCE).style, 'outline');
    assert.strictEqual(zoneDanger({...zone('Salt Lake'), offSeason: true}, REFERENCE).label, 'Out of season');
    assert.strictEqual(zoneDanger({...zone('Salt Lake'), end: NaN}, REFERENCE).label, 'No forecast times given');
    assert.strictEqual(zoneDanger(zone('Front Range'), REFERENCE).label, '5 – Extreme');
  });
  it('finds the zones holding a point, the highest rating first', () => {
    assert.deepEqual(zonesAt(zones, {lat: 40.59, lon: -111.64}).map((z) => z.name), ['Salt Lake']);
    assert.deepEqual(zonesAt(zones, {lat: 40.76, lon: -111.89}), [], 'Salt Lake City lies outside');
    const overlapping = [{...zone('Provo'), polygons: zone('Salt Lake').polygons}, zone('Salt Lake')];
    assert.deepEqual(zonesAt(overlapping, {lat: 40.59, lon: -111.64}).map((z) => z.level), [3, 2]);
  });
});

describe('avalanche season and asking times', () => {
  it('is the season from December to April in Mountain time', () => {
    const rows = [
      ['2026-12-01T06:59:59Z', false],  // 23:59 MST on 30 November
      ['2026-12-01T07:00:00Z', true],
      ['2027-01-15T12:00:00Z', true],
      ['2027-04-30T12:00:00Z', true],
      ['2027-05-01T05:59:59Z', true],  // 23:59 MDT on 30 April
      ['2027-05-01T06:00:00Z', false],
      ['2027-08-10T18:00:00Z', false],
    ];
    for (const [time, expected] of rows) assert.strictEqual(inAvalancheSeason(at(time)), expected, time);
  });
  it('asks every 15 minutes between 5 and 10 am Mountain time, else hourly, across the clock changes', () => {
    const rows = [
      // Standard time (UTC−7): 5 am is 12:00Z.
      ['2027-01-15T10:30:00Z', '2027-01-15T11:30:00Z'],  // 03:30 MST: an hour on
      ['2027-01-15T11:30:00Z', '2027-01-15T12:00:00Z'],  // 04:30 MST: the morning starts first
      ['2027-01-15T12:00:00Z', '2027-01-15T12:15:00Z'],  // 05:00 MST
      ['2027-01-15T16:59:00Z', '2027-01-15T17:14:00Z'],  // 09:59 MST
      ['2027-01-15T17:00:00Z', '2027-01-15T18:00:00Z'],  // 10:00 MST: hourly again
      // The spring change (14 March 2027, 2 am MST → 3 am MDT): 5 am MDT is 11:00Z.
      ['2027-03-13T10:30:00Z', '2027-03-13T11:30:00Z'],  // 03:30 MST
      ['2027-03-14T10:30:00Z', '2027-03-14T11:00:00Z'],  // 04:30 MDT
      ['2027-03-14T11:00:00Z', '2027-03-14T11:15:00Z'],  // 05:00 MDT
      ['2027-03-14T15:50:00Z', '2027-03-14T16:05:00Z'],  // 09:50 MDT
      ['2027-03-14T16:00:00Z', '2027-03-14T17:00:00Z'],  // 10:00 MDT
      // The autumn change (7 November 2027, 2 am MDT → 1 am MST).
      ['2027-11-07T07:30:00Z', '2027-11-07T08:30:00Z'],  // 01:30 MDT
      ['2027-11-07T11:30:00Z', '2027-11-07T12:00:00Z'],  // 04:30 MST
      ['2027-11-06T11:30:00Z', '2027-11-06T11:45:00Z'],  // 05:30 MDT the day before
    ];
    for (const [asked, next] of rows) assert.strictEqual(new Date(nextAvalancheAsk(at(asked))).toISOString(), new Date(at(next)).toISOString(), asked);
  });
});

describe('fire weather bands', () => {
  it('names the Haines index, the lightning activity level and the dispersion at their boundaries', () => {
    const haines = [[2, 'very low'], [3, 'very low'], [4, 'low'], [5, 'moderate'], [6, 'high']];
    for (const [value, band] of haines) assert.match(hainesBand(value), new RegExp(`^${band} potential`), String(value));
    assert.strictEqual(hainesBand(NaN), '');
    const lightning = [[1, /^no thunderstorms$/], [2, /^isolated/], [3, /^thunderstorms likely: widely scattered/],
      [4, /^thunderstorms likely: scattered/], [5, /^thunderstorms likely: numerous/], [6, /^dry lightning/]];
    for (const [value, band] of lightning) assert.match(lightningBand(value), band, String(value));
    assert.strictEqual(lightningBand(0), '');
    const dispersion = [[1, 'very poor'], [6, 'very poor'], [7, 'poor'], [12, 'poor'], [13, 'poor to fair'],
      [20, 'poor to fair'], [21, 'fair'], [40, 'fair'], [41, 'fair to good'], [60, 'fair to good'], [61, 'good'],
      [100, 'good'], [101, 'very good']];
    for (const [value, band] of dispersion) {
      assert.match(dispersionBand(value), new RegExp(`^${band} dispersion`), String(value));
    }
  });
  it('reads the grid\'s fire weather in the page\'s units, with the highest of the next day', async () => {
    const grid = await testDocument('nws/gridpoints_slc.json');
    const layer = (key) => gridLayer(grid.properties, key);
    const rows = Object.fromEntries(fireWeatherRows(layer, REFERENCE).map((row) => [row.key, row]));
    assert.deepEqual(Object.keys(rows), ['redFlagThreatIndex', 'hainesIndex', 'lightningActivityLevel',
      'mixingHeight', 'transportWindSpeed', 'twentyFootWindSpeed', 'atmosphericDispersionIndex',
      'grasslandFireDangerIndex'], 'dispersionIndex is empty');
    assert.closeTo(rows.mixingHeight.now, 7500, 0.01, 'feet from 2286 m');
    assert.closeTo(rows.transportWindSpeed.now, 28, 0.01, 'knots from 51.856 km/h');
    assert.strictEqual(rows.transportWindSpeed.nowDirection, 200);
    assert.include(rows.lightningActivityLevel, {now: 1, peak: 2, nowBand: 'no thunderstorms'});
    assert.strictEqual(rows.lightningActivityLevel.peakAt, at('2026-11-20T21:00:00Z'));
    assert.strictEqual(rows.atmosphericDispersionIndex.nowBand, 'good dispersion');
    assert.deepEqual(fireWeatherRows(() => null, REFERENCE), []);
  });
  it('puts Red Flag Warnings and Fire Weather Watches first, keeping the order of the rest', () => {
    const alerts = ['Tornado Warning', 'Fire Weather Watch', 'Wind Advisory', 'Red Flag Warning'].map((event) => ({event}));
    assert.deepEqual(fireWeatherFirst(alerts).map((alert) => alert.event),
        ['Fire Weather Watch', 'Red Flag Warning', 'Tornado Warning', 'Wind Advisory']);
  });
});

describe('the mountain forecast', () => {
  it('relates the snow level to the forecast\'s elevation, to the nearest 100 ft', () => {
    const rows = [
      [6500, 8300, {difference: 1800, relation: 'below'}],
      [9000, 4285, {difference: 4700, relation: 'above'}],
      [8340, 8300, {difference: 0, relation: 'at'}],
      [8360, 8300, {difference: 100, relation: 'above'}],
    ];
    for (const [level, elevation, expected] of rows) {
      assert.include(snowLevelRelation(level, elevation), expected, `${level} vs ${elevation}`);
    }
    assert.isNull(snowLevelRelation(null, 8300));
    assert.isNull(snowLevelRelation(6500, null));
  });
  it('sums snow and rain over each period, counting an interval by the part inside it', async () => {
    const body = {point: null, hourly: await testDocument('nws/forecast_hourly_slc.json'),
      grid: await testDocument('nws/gridpoints_slc.json'), observation: await testDocument('nws/observation_kslc.json')};
    const reply = decodePointReply(body, {lat: 40.76, lon: -111.89}, REFERENCE);
    assert.closeTo(reply.elevation, 4285, 0.5);
    assert.closeTo(reply.stationElevation, 4225.7, 0.1);
    const layer = (key) => gridLayer(reply.gridLayers, key);
    // 17:00Z–05:00Z: 0.508 mm (17–23Z) and 3.302 mm (23–05Z) of rain.
    const [first] = mountainRows(layer, [{name: 'x', start: at('2026-11-20T17:00:00Z'), end: at('2026-11-21T05:00:00Z'), isDaytime: true}]);
    assert.closeTo(first.liquid, 3.81, 1e-9);
    const [half] = mountainRows(layer, [{name: 'x', start: at('2026-11-20T20:00:00Z'), end: at('2026-11-21T02:00:00Z'), isDaytime: true}]);
    assert.closeTo(half.liquid, 0.254 + 1.651, 1e-9, 'half of each interval');
    assert.closeTo(first.snowLevel, 4500, 0.5, 'the lowest, 1371.6 m from 02Z');
    assert.strictEqual(first.thunder, 14);
  });
  it('writes amounts in inches or millimetres and centimetres, and sky cover in the NWS\'s words', () => {
    const amounts = [[null, 'SM', false, '—'], [0, 'SM', false, '0'], [0.04, 'km', false, '0'], [2.54, 'SM', false, '0.1 in'],
      [1.27, 'SM', false, '0.05 in'], [25.4, 'SM', true, '1.0 in'], [25.4, 'km', true, '2.5 cm'], [3.3, 'km', false, '3.3 mm']];
    for (const [mm, unit, snow, expected] of amounts) assert.strictEqual(formatAmount(mm, unit, snow), expected, `${mm} ${unit}`);
    const skies = [[0, true, 'Sunny'], [6, false, 'Clear'], [7, true, 'Mostly sunny'], [31, false, 'Mostly clear'],
      [32, true, 'Partly sunny'], [68, false, 'Partly cloudy'], [69, true, 'Mostly cloudy'], [93, true, 'Mostly cloudy'],
      [94, false, 'Cloudy']];
    for (const [percent, daytime, words] of skies) assert.strictEqual(skyWords(percent, daytime), words, String(percent));
    assert.strictEqual(compassDegrees('SW'), 225);
    assert.isNaN(compassDegrees('SWW'));
  });
});

describe('#decodeOutlook', () => {
  it('keeps the product line for line without its transmission lines', async () => {
    const outlook = decodeOutlook(await testDocument('nws/fwf_slc_latest.json'));
    assert.strictEqual(outlook.office, 'KSLC');
    assert.strictEqual(outlook.issued, at('2026-11-20T09:35:00Z'));
    assert.match(outlook.body, /^Fire Weather Planning Forecast for Utah\n/);
    assert.include(outlook.body, '\nLAL                   2            1            1\n');
    assert.throws(() => decodeOutlook({productText: null}), TypeError);
  });
});
