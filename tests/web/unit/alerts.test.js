import {alertPolygons, alertsAtPoint, decodeAlerts, insidePolygons, severityRank, sortAlerts,
  splitExpired} from '/js/alerts.js';
import {alertButton} from '/js/panels/alert-panel.js';
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
  it('names the zone documents of affectedZones as the zone operation takes them', () => {
    const storm = decodeAlerts(collection).alerts.find((a) => a.event === 'Winter Storm Warning');
    assert.deepEqual(storm.zoneRefs, ['forecast/UTZ110', 'forecast/UTZ111', 'forecast/UTZ112']);
    const {alerts: [odd]} = decodeAlerts({features: [{properties: {affectedZones: [
      'https://api.weather.gov/zones/fire/UTZ478', 'https://api.weather.gov/zones/county/UTC035',
      'https://api.weather.gov/zones/fire/UTZ478', 'https://api.weather.gov/zones/marine/PZZ530',
      'https://example.com/zones/forecast/UTZ110', 'https://api.weather.gov/zones/forecast/utz110', 7]}}]});
    assert.deepEqual(odd.zoneRefs, ['fire/UTZ478', 'county/UTC035']);
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

// The county ids of SAME codes, and whether an alert has run out, through the public decoders.
const alertCounties = (geocode) => decodeAlerts({features: [{properties: {geocode}}]}).alerts[0].counties;
const isExpired = (alert, at) => splitExpired([alert], at).expired.length === 1;

describe('#decodeAlerts: counties', () => {
  it('turns SAME codes into county ids, whole or partial county alike', () => {
    assert.deepEqual(alertCounties({SAME: ['049035', '149035', '016045', '49035', 'x49035', 7]}), ['49035', '16045']);
    assert.deepEqual(alertCounties(null), []);
  });
});

describe('#splitExpired', () => {
  it('ends at the announced end, else at the message expiry', () => {
    const at = Date.UTC(2026, 10, 20, 18);
    const rows = [[{ends: at, expires: NaN}, true], [{ends: at + 1, expires: at - 1}, false],
      [{ends: NaN, expires: at}, true], [{ends: NaN, expires: at + 1}, false], [{ends: NaN, expires: NaN}, false]];
    for (const [alert, expired] of rows) assert.strictEqual(isExpired(alert, at), expired, JSON.stringify(alert));
  });
  it('splits the test alerts at 18:20Z: only the Tornado Warning has ended', async () => {
    const {alerts} = decodeAlerts(await testDocument('nws/alerts_active.json'));
    const {active, expired} = splitExpired(alerts, Date.UTC(2026, 10, 20, 18, 20));
    assert.deepEqual(expired.map((alert) => alert.event), ['Tornado Warning']);
    assert.strictEqual(active.length, 7);
  });
});

describe('#alertsAtPoint', () => {
  it('uses the shape, then the point\'s zones, then its county', async () => {
    const {alerts} = decodeAlerts(await testDocument('nws/alerts_active.json'));
    const events = (list) => list.map((alert) => alert.event).sort();
    const slc = {lat: 40.76, lon: -111.89};
    assert.deepEqual(events(alertsAtPoint(alerts, slc, {zones: ['UTZ105', 'UTC035']})), ['Wind Advisory']);
    assert.deepEqual(events(alertsAtPoint(alerts, slc, {county: '49035'})), ['Wind Advisory', 'Winter Storm Warning']);
    assert.deepEqual(events(alertsAtPoint(alerts, slc, {})), []);
    const tornado = alerts.find((alert) => alert.event === 'Tornado Warning');
    const ring = tornado.polygons[0][0];
    const inside = {lat: ring.reduce((s, p) => s + p[0], 0) / ring.length, lon: ring.reduce((s, p) => s + p[1], 0) / ring.length};
    assert.deepEqual(events(alertsAtPoint(alerts, inside, {zones: ['CAZ999']})), ['Tornado Warning']);
  });
});

describe('AlertLayer', () => {
  it('draws a zone alert over its zones, and alerts over the same counties once, in the colour of the most severe', async () => {
    const {AlertLayer} = await import('/js/map/alert-layer.js');
    const {loadBaseData} = await import('/js/map/base-data.js');
    const {decodeZone} = await import('/js/zones.js');
    const L = await import('/vendor/leaflet/leaflet-src.esm.js');
    const {counties} = await loadBaseData();
    const box = Object.assign(document.body.appendChild(document.createElement('div')),
        {style: 'width: 400px; height: 300px'});
    const map = L.map(box).setView([40.5, -111.9], 7);
    map.createPane('alerts');
    const layer = new AlertLayer().addTo(map);
    const {alerts} = decodeAlerts(collection);
    // The zone shapes as the host gives them; the Idaho zones could not be had.
    const kept = new Map();
    for (const alert of alerts.filter((a) => !a.polygons.length)) {
      for (const ref of alert.zoneRefs.filter((r) => !r.includes('IDZ'))) {
        kept.set(ref, decodeZone(await testDocument(`nws/zone_${ref.replace('/', '_')}.json`)));
      }
    }
    layer.setZones({get: (ref) => kept.get(ref), state: (ref) => (kept.has(ref) ? 'kept' : 'failed')});
    const storm = alerts.find((a) => a.event === 'Winter Storm Warning');
    const statement = alerts.find((a) => a.event === 'Special Weather Statement');
    const byCounty = {...storm, key: 'by-county', zoneRefs: []};
    const sameArea = {...byCounty, key: 'same-area', severity: 'Extreme', counties: [...storm.counties].reverse()};
    // Counties the shapes do not hold (Alabama's, and a code of none) draw nothing: not on the map.
    const elsewhere = {...byCounty, key: 'elsewhere', counties: ['01001', '99999']};
    assert.strictEqual(layer.drawnAs(elsewhere), 'counties', 'until the county shapes are loaded');
    layer.setCounties(counties);
    layer.setAlerts([...alerts, byCounty, sameArea, elsewhere]);
    assert.deepEqual([storm, statement, byCounty, elsewhere].map((alert) => layer.drawnAs(alert)),
        ['zones', 'counties', 'counties', 'none']);
    const entry = alertButton(elsewhere, {now: Date.now(), drawnAs: (alert) => layer.drawnAs(alert), onClick: () => {}});
    assert.strictEqual(entry.querySelector('.drawn-note').textContent, 'not on the map');
    const paths = [...box.querySelectorAll('path.alert-shape')];
    const stormPath = paths.find((p) => p.dataset.alerts === storm.key);
    assert.strictEqual(stormPath.dataset.zones, 'forecast/UTZ110 forecast/UTZ111 forecast/UTZ112');
    assert.notInclude([...stormPath.classList], 'county-drawn');
    // Salt Lake City lies in Salt Lake County, which the warning's SAME codes name, but not in
    // its mountain zones.
    const slc = {lat: 40.76, lon: -111.89};
    assert.isFalse(insidePolygons(layer.area(storm).polygons, slc));
    assert.isTrue(insidePolygons(layer.area(byCounty).polygons, slc));
    assert.strictEqual(layer.timeZoneOf(storm), 'America/Denver');
    const shared = paths.filter((p) => p.dataset.alerts.split(' ').includes('same-area'));
    assert.strictEqual(shared.length, 1);
    assert.sameMembers(shared[0].dataset.alerts.split(' '), ['by-county', 'same-area']);
    assert.include([...shared[0].classList], 'severity-extreme');
    assert.include([...shared[0].classList], 'county-drawn');
    assert.strictEqual(new Set(paths.flatMap((p) => p.dataset.alerts.split(' '))).size, 10);
    // Salt Lake and Utah counties share a border: together they are one outline, not two.
    assert.strictEqual(counties.outline(['49035', '49049']).length, 1);
    assert.strictEqual(counties.shape('49035').length + counties.shape('49049').length, 2);
    assert.deepEqual(counties.outline(['99999']), []);
    map.remove();
    box.remove();
  });
});
