import {alertPolygons, decodeAlerts, severityRank, sortAlerts} from '/js/alerts.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

const collection = await testDocument('nws/alerts_active.json');

describe('#decodeAlerts', () => {
  it('decodes all eight alerts, three of them with a shape', () => {
    const {alerts, updated} = decodeAlerts(collection);
    assert.strictEqual(alerts.length, 8);
    assert.strictEqual(alerts.filter((alert) => alert.polygons.length).length, 3);
    assert.ok(Number.isFinite(updated));
  });
  it('turns GeoJSON longitude,latitude into map latitude,longitude', () => {
    const tornado = decodeAlerts(collection).alerts.find((a) => a.event === 'Tornado Warning');
    assert.deepEqual(tornado.polygons[0][0][0], [34.15, -119.22]);
  });
  it('keeps missing texts empty rather than "null"', () => {
    const air = decodeAlerts(collection).alerts.find((a) => a.event === 'Air Quality Alert');
    assert.strictEqual(air.headline, '');
    assert.isNaN(air.ends);
  });
  it('throws on a reply without features and skips features without properties', () => {
    assert.throws(() => decodeAlerts({}), /no list/);
    assert.throws(() => decodeAlerts([]), /no list/);
    const {alerts} = decodeAlerts({features: [null, 3, {properties: 'x'}, {properties: {severity: 'Odd'}}]});
    assert.strictEqual(alerts.length, 1);
    assert.strictEqual(alerts[0].severity, 'Unknown');
  });
});

describe('#alertPolygons', () => {
  it('drops rings with bad coordinates and geometry of other kinds', () => {
    assert.deepEqual(alertPolygons({type: 'Point', coordinates: [1, 2]}), []);
    assert.deepEqual(alertPolygons({type: 'Polygon', coordinates: [[[1, 2], ['a', 3], [1, 2], [1, 2]]]}), []);
    assert.deepEqual(alertPolygons({type: 'Polygon', coordinates: 'x'}), []);
    assert.strictEqual(alertPolygons({type: 'MultiPolygon', coordinates: [collection.features[0].geometry.coordinates,
      collection.features[1].geometry.coordinates]}).length, 2);
  });
});

describe('#sortAlerts', () => {
  it('orders by severity, most severe first', () => {
    const sorted = sortAlerts(decodeAlerts(collection).alerts, 'severity');
    assert.strictEqual(sorted[0].severity, 'Extreme');
    assert.strictEqual(sorted.at(-1).severity, 'Unknown');
    for (let i = 1; i < sorted.length; i++) {
      assert.ok(severityRank(sorted[i - 1].severity) <= severityRank(sorted[i].severity));
    }
  });
  it('orders by end time with open-ended alerts last', () => {
    const sorted = sortAlerts(decodeAlerts(collection).alerts, 'ends');
    assert.strictEqual(sorted.at(-1).event, 'Air Quality Alert');
    assert.strictEqual(sorted[0].event, 'Tornado Warning');
  });
  it('orders by event name', () => {
    const sorted = sortAlerts(decodeAlerts(collection).alerts, 'event');
    assert.strictEqual(sorted[0].event, 'Air Quality Alert');
    assert.strictEqual(sorted.at(-1).event, 'Winter Storm Warning');
  });
});
