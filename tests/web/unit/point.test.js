import {compactPointBody, decodePointReply, gridSummary} from '/js/point.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

const observation = await testDocument('nws/observation_kslc.json');
const hourly = await testDocument('nws/forecast_hourly_slc.json');
const grid = await testDocument('nws/gridpoints_slc.json');
const point = {lat: 40.76, lon: -111.89};
const REFERENCE = Date.UTC(2026, 10, 20, 18, 0, 0);
// The parts of a point reply, each through the reply's decoder.
const decodeObservation = (document, at) => decodePointReply({observation: document}, at, REFERENCE).observation;
const hourlySeries = (forecast, grid) => decodePointReply({hourly: forecast, grid}, point, REFERENCE - 86400000).series;
const windOf = (text) => hourlySeries({properties: {periods: [{startTime: '2026-11-20T10:00:00-07:00',
  windSpeed: text}]}}, null)[0].wind;
/** A grid layer's value at a time, as the grid summary reads it (null when no interval covers it). */
const gridValueAt = (layer, time) => gridSummary({properties: {skyCover: layer}}, time)[0]?.now ?? null;
const pointParts = (points) => decodePointReply({point: points}, point, REFERENCE);

describe('#decodePointReply: observation', () => {
  it('converts km/h to knots, Pa to hPa and metres to miles', () => {
    const decoded = decodeObservation(observation, point);
    assert.closeTo(decoded.windSpeed, 22, 0.01);  // 40.74 km/h
    assert.strictEqual(decoded.windGust, null);  // null in the document although the report has G34
    assert.strictEqual(decoded.pressure, 1009.5);
    assert.closeTo(decoded.visibility, 10, 0.01);  // 16090 m
    assert.strictEqual(decoded.temperature, 12.8);
  });
  it('gives the station distance and bearing from the point', () => {
    const decoded = decodeObservation(observation, point);
    assert.closeTo(decoded.distance, 7000, 150);
    assert.ok(decoded.bearing > 270 && decoded.bearing < 300, String(decoded.bearing));
  });
  it('is null without properties and tolerates broken measurements', () => {
    assert.strictEqual(decodeObservation(null, point), null);
    assert.strictEqual(decodeObservation({properties: []}, point), null);
    const broken = decodeObservation({properties: {temperature: {unitCode: 'wmoUnit:K', value: 280},
      windSpeed: 'fast', timestamp: 5}}, point);
    assert.strictEqual(broken.temperature, null);
    assert.strictEqual(broken.windSpeed, null);
    assert.strictEqual(broken.distance, null);
  });
});

describe('#decodePointReply: hourly wind', () => {
  it('reads single speeds and ranges', () => {
    assert.closeTo(windOf('15 mph'), 13.03, 0.01);
    assert.closeTo(windOf('10 to 15 mph'), 13.03, 0.01);
    assert.strictEqual(windOf('calm'), null);
  });
});

describe('#decodePointReply: hourly series', () => {
  it('takes 48 hours, °F to °C, with gusts from the grid', () => {
    const series = hourlySeries(hourly, grid);
    assert.strictEqual(series.length, 48);
    assert.closeTo(series[0].temperature, (57 - 32) * 5 / 9, 1e-9);
    assert.closeTo(series[0].gust, 50.004 / 1.852, 1e-6);  // grid 17Z interval
    assert.strictEqual(series[0].startText, '2026-11-20T10:00:00-07:00');
    assert.strictEqual(Math.max(...series.map((row) => row.pop)), 80);
  });
  it('is empty when the forecast is missing or malformed', () => {
    assert.deepEqual(hourlySeries(null, grid), []);
    assert.deepEqual(hourlySeries({properties: {periods: 'x'}}, null), []);
    assert.strictEqual(hourlySeries({properties: {periods: [{startTime: 'x'}, {startTime: '2026-11-20T10:00:00-07:00'}]}}).length, 1);
  });
});

describe('#gridSummary', () => {
  it('lists the layers that matter, now and over 24 hours', () => {
    const rows = gridSummary(grid, REFERENCE);
    assert.deepEqual(rows.map((row) => row.key), ['skyCover', 'ceilingHeight', 'visibility',
      'probabilityOfThunder', 'windGust', 'snowLevel']);
    const ceiling = rows.find((row) => row.key === 'ceilingHeight');
    assert.closeTo(ceiling.now, 9000, 1);  // 2743.2 m
    const snow = rows.find((row) => row.key === 'snowLevel');
    assert.ok(snow.low < snow.high);
  });
  it('finds the value whose interval covers a time', () => {
    assert.strictEqual(gridValueAt(grid.properties.skyCover, REFERENCE), 72);
    assert.strictEqual(gridValueAt(grid.properties.skyCover, Date.UTC(2020, 0, 1)), null);
  });
});

describe('#decodePointReply', () => {
  it('keeps what arrived when products are missing and passes warnings on', () => {
    const reply = decodePointReply({grid: null, hourly: null, observation: null, point: null,
      warnings: ['hourly: Weather download failed', 7]}, point, REFERENCE);
    assert.strictEqual(reply.observation, null);
    assert.deepEqual(reply.series, []);
    assert.deepEqual(reply.warnings, ['hourly: Weather download failed']);
  });
  it('throws on a reply that is not an object', () => {
    assert.throws(() => decodePointReply([], point, REFERENCE), /not an object/);
  });
});

describe('#gridSummary over a large grid', () => {
  // A grid as large as the one that blocked the page for seconds: 190,000 hourly values.
  const HOUR = 3600000;
  const start = Date.UTC(2026, 10, 20, 0);
  const values = Array.from({length: 190000}, (_, i) => ({
    validTime: `${new Date(start + i * HOUR).toISOString().replace('.000Z', '+00:00')}/PT1H`, value: i % 100}));
  const layer = {uom: 'wmoUnit:percent', values};
  it('finds the value of every boundary of a large grid', () => {
    let reads = 0;
    const counted = {uom: layer.uom, get values() {
      reads++;
      return values;
    }};
    const rows = [[start - 1, null], [start, 0], [start + HOUR - 1, 0], [start + HOUR, 1],
      [start + 189999 * HOUR, 99], [start + 190000 * HOUR - 1, 99], [start + 190000 * HOUR, null]];
    assert.strictEqual(gridValueAt(counted, start), 0);
    const built = reads;
    for (const [time, value] of rows) assert.strictEqual(gridValueAt(counted, time), value, new Date(time).toISOString());
    assert.strictEqual(reads, built, 'built once per layer');
  });
  it('agrees with a plain scan on intervals of several hours, gaps and unsorted entries', () => {
    const layered = {uom: 'wmoUnit:degC', values: [
      {validTime: '2026-11-20T12:00:00+00:00/PT6H', value: 3},
      {validTime: '2026-11-20T00:00:00+00:00/PT2H', value: 1},
      {validTime: 'broken', value: 9},
      {validTime: '2026-11-20T03:00:00+00:00/P1DT1H', value: null}]};
    const rows = [[Date.UTC(2026, 10, 20, 1), 1], [Date.UTC(2026, 10, 20, 2), null],
      [Date.UTC(2026, 10, 20, 17, 59), 3], [Date.UTC(2026, 10, 20, 18), null],
      [Date.UTC(2026, 10, 21, 3, 59), null], [Date.UTC(2026, 10, 19), null]];
    for (const [time, value] of rows) assert.strictEqual(gridValueAt(layered, time), value, new Date(time).toISOString());
  });
  it('decodes a point reply with the large grid and keeps only the layers it shows for storage', () => {
    const large = {properties: {...grid.properties, skyCover: layer, unused: {uom: 'x', values: values.slice(0, 10)}}};
    const body = {grid: large, hourly, observation, point: null, warnings: []};
    const reply = decodePointReply(body, point, start + 5 * HOUR);
    assert.strictEqual(reply.grid.find((row) => row.key === 'skyCover').now, 5);
    assert.deepEqual(Object.keys(compactPointBody(body).grid.properties).filter((key) =>
      Array.isArray(body.grid.properties[key]?.values)).includes('unused'), false);
  });
});

describe('#decodePointReply: zones and grid cell', () => {
  it('reads the zone codes and the grid cell of the points document', async () => {
    const points = await testDocument('nws/points_slc.json');
    assert.deepEqual(pointParts(points).zones, ['UTZ105', 'UTC035', 'UTZ478']);
    assert.deepEqual(pointParts(points).cell, {office: 'SLC', x: 101, y: 174});
    const rows = [{gridId: 'slc', gridX: 1, gridY: 2}, {gridId: 'SLC', gridX: 1000, gridY: 2},
      {gridId: 'SLC', gridX: -1, gridY: 2}, {gridId: 'SLC', gridX: '7', gridY: 1.5}];
    for (const properties of rows) assert.strictEqual(pointParts({properties}).cell, null, JSON.stringify(properties));
    assert.deepEqual(pointParts({properties: {gridId: 'FGZ', gridX: '74', gridY: '89'}}).cell, {office: 'FGZ', x: 74, y: 89});
    assert.deepEqual(pointParts({properties: {forecastZone: 'https://api.weather.gov/zones/forecast/../x'}}).zones, []);
  });
});
