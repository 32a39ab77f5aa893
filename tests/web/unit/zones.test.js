import {createGate} from '/js/request-budget.js';
import * as L from '/vendor/leaflet/leaflet-src.esm.js';
import {ZONE_KEEP_MS, createZoneShapes, decodeZone, harderRing, simplifyGeoJsonRing, simplifyRing} from '/js/zones.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

const wasatch = await testDocument('nws/zone_forecast_UTZ110.json');
const REFS = ['forecast/UTZ110', 'forecast/UTZ111', 'forecast/UTZ112', 'forecast/UTZ105'];

describe('#decodeZone', () => {
  it('reads a zone document as [lat, lon] rings with its name and time zone', () => {
    const zone = decodeZone(wasatch);
    assert.strictEqual(zone.name, 'Wasatch Mountains I-80 North');
    assert.strictEqual(zone.timeZone, 'America/Denver');
    assert.deepEqual(zone.polygons[0][0][0], [41.42, -111.92]);
  });
  it('simplifies a detailed shape to at most 4000 of its own points', () => {
    // A circle of 0.3 degrees with 1,500 wiggles of 0.005: too many turns for 4,000 points at 100 m.
    const ring = Array.from({length: 30001}, (_, i) => {
      const angle = (2 * Math.PI * (i % 30000)) / 30000;
      const radius = 0.3 + 0.005 * Math.sin(1500 * angle);
      return [-111.6 + radius * Math.cos(angle), 40.9 + radius * Math.sin(angle)];
    });
    const {polygons} = decodeZone({geometry: {type: 'Polygon', coordinates: [ring]}, properties: {}});
    const points = polygons.flat(2);
    assert.isAtMost(points.length, 4000);
    assert.isAtLeast(points.length, 50);
    for (const [lat, lon] of points) {
      assert.closeTo(Math.hypot(lon + 111.6, lat - 40.9), 0.3, 0.0051, `${lat},${lon}`);
    }
  });
  it('refuses documents without a usable shape', () => {
    for (const body of [null, 'x', {}, {geometry: null}, {geometry: {type: 'Point', coordinates: [1, 2]}},
      {geometry: {type: 'Polygon', coordinates: [[[1, 2], [1, 'x'], [2, 2], [1, 2]]]}}]) {
      assert.throws(() => decodeZone(body), TypeError, 'Zone reply has no shape');
    }
  });
});

describe('#simplifyRing', () => {
  it('keeps exactly the points Leaflet\'s simplifier keeps, from [lat, lon] and from GeoJSON rings alike', () => {
    // Wiggly rings at three sizes and tolerances, and one whose points all lie within the tolerance.
    for (const [points, radius, tolerance] of [[400, 0.15, 0.001], [60, 0.02, 0.01], [9, 0.0001, 0.001], [2000, 1, 0.0005]]) {
      const ring = Array.from({length: points}, (_, k) => {
        const angle = (2 * Math.PI * k) / (points - 1);
        const r = radius * (1 + 0.2 * Math.sin(9 * angle) + 0.05 * Math.cos(31 * angle));
        return [40.6 + r * Math.sin(angle), -111.7 + r * Math.cos(angle)];
      });
      ring[points - 1] = ring[0];
      const scale = Math.cos((ring[0][0] * Math.PI) / 180);
      const kept = L.LineUtil.simplify(ring.map(([lat, lon]) => L.point(lon * scale, lat)), tolerance)
          .map((p) => [Math.round(p.y * 1e4) / 1e4, Math.round((p.x / scale) * 1e4) / 1e4]);
      const expected = kept.length >= 3 ? kept : null;
      assert.deepEqual(simplifyRing(ring, tolerance), expected, `${points} points`);
      assert.deepEqual(simplifyGeoJsonRing(ring.map(([lat, lon]) => [lon, lat]), 5000, tolerance), expected, `${points} GeoJSON points`);
      // Simplified harder too: fewer of the line's points, none of the others farther from them.
      const finest = simplifyGeoJsonRing(ring.map(([lat, lon]) => [lon, lat]), 5000, tolerance);
      if (!finest) continue;
      const harder = harderRing(finest, 4 * tolerance);
      const at = ([lat, lon]) => L.point(lon * scale, lat);
      const off = finest.map((p) => Math.min(...harder.slice(1).map((q, i) => L.LineUtil.pointToSegmentDistance(at(p), at(harder[i]), at(q)))));
      // A ring within the harder tolerance of a line keeps all its points.
      assert.isTrue(harder.every((p) => finest.includes(p)) && (harder.length < finest.length) === (radius > 4 * tolerance), `${points} points`);
      assert.isAtMost(Math.max(...off), 4 * tolerance + 1e-4, `${points} points`);
    }
    for (const bad of [[[0, 0], [1, 1], [0, 0]], [[0, 0], [1, 'x'], [1, 1], [0, 0]], [[0, 0], [200, 1], [1, 1], [0, 0]], null]) {
      assert.isNull(simplifyGeoJsonRing(bad, 5000, 0.001), JSON.stringify(bad));
    }
  });
});

describe('#createZoneShapes', () => {
  /** A host answering the project's zone documents after a tick, counting what is out at once. */
  async function setUp(clock) {
    const documents = Object.fromEntries(await Promise.all(REFS.map(async (ref) =>
      [ref, await testDocument(`nws/zone_${ref.replace('/', '_')}.json`)])));
    const host = {asked: [], out: 0, most: 0};
    const bridge = {
      async request(operation, argument) {
        host.asked.push([operation, argument]);
        host.most = Math.max(host.most, ++host.out);
        await new Promise((resume) => setTimeout(resume, 5));
        host.out--;
        if (!documents[argument]) throw new Error('Weather download failed (HTTP 404)');
        return documents[argument];
      },
    };
    const gate = createGate({maxInFlight: 2, perMinute: 60, now: () => clock.at});
    let changes = 0;
    const shapes = createZoneShapes({bridge, gate, now: () => clock.at, onChange: () => changes++});
    return {host, shapes, changes: () => changes};
  }
  const until = async (condition) => {
    for (let i = 0; i < 200 && !condition(); i++) await new Promise((resume) => setTimeout(resume, 10));
  };

  it('asks each zone once, two at a time, and keeps the shapes across a restart for a week', async () => {
    localStorage.removeItem('corvane.zones');
    const clock = {at: Date.UTC(2026, 10, 20, 18)};
    const first = await setUp(clock);
    first.shapes.want([...REFS, 'forecast/UTZ110']);
    await until(() => REFS.every((ref) => first.shapes.state(ref) === 'kept'));
    assert.deepEqual(first.host.asked.map(([, ref]) => ref), REFS);
    assert.deepEqual(first.host.asked.map(([operation]) => operation), ['zone', 'zone', 'zone', 'zone']);
    assert.strictEqual(first.host.most, 2);
    await until(() => localStorage.getItem('corvane.zones'));  // written a moment after the last
    // A restart a week less a minute later asks nothing; a week and a minute later, again.
    for (const [after, asked] of [[ZONE_KEEP_MS - 60000, 0], [ZONE_KEEP_MS + 60000, 4]]) {
      const later = {at: clock.at + after};
      const next = await setUp(later);
      next.shapes.want(REFS);
      await until(() => next.host.asked.length >= asked && next.shapes.get('forecast/UTZ105'));
      await new Promise((resume) => setTimeout(resume, 50));
      assert.strictEqual(next.host.asked.length, asked, `${after} ms later`);
      assert.strictEqual(next.shapes.get('forecast/UTZ105').name, 'Salt Lake Valley');
    }
    localStorage.removeItem('corvane.zones');
  });
  it('marks a zone the host cannot give as failed and does not ask it again at once', async () => {
    const clock = {at: Date.UTC(2026, 10, 20, 18)};
    const {host, shapes} = await setUp(clock);
    shapes.want(['forecast/ORZ999']);
    await until(() => shapes.state('forecast/ORZ999') === 'failed');
    shapes.want(['forecast/ORZ999']);
    await new Promise((resume) => setTimeout(resume, 30));
    assert.strictEqual(host.asked.length, 1);
    assert.deepInclude(shapes.failures(), {count: 1});
    assert.match(shapes.failures().error.message, /HTTP 404/);
  });
});
