import {METAR_AREA} from '/js/geo.js';
import {createGate, createTileBudget} from '/js/request-budget.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';

const MINUTE = 60000;
const AREA = METAR_AREA;

/** A clock the test moves, and a host that answers every box at once with `records(box)`. */
function setUp({records = () => [], fail = () => false, perMinute = 10, maxInFlight = 1, full} = {}) {
  const clock = {at: 1e12};
  const now = () => clock.at;
  const asked = [];
  const bridge = {
    async request(operation, argument) {
      asked.push(argument);
      const [south, west, north, east] = argument.split(',').map(Number);
      if (fail(argument)) throw new Error('Weather download failed (HTTP 503)');
      return records({south, west, north, east});
    },
  };
  const gate = createGate({maxInFlight, perMinute, now});
  const budget = createTileBudget({bridge, operation: 'metars', decode: (body) => body,
    position: (record) => record, gate, area: AREA, lifetimeMs: 5 * MINUTE, full, now});
  const settled = () => new Promise((resume) => setTimeout(resume, 0));
  return {clock, asked, gate, budget, settled};
}

const box = (argument) => {
  const [south, west, north, east] = argument.split(',').map(Number);
  return {south, west, north, east};
};

describe('#createGate', () => {
  it('lets perMinute requests start in any minute and one more once the first is a minute old', () => {
    const clock = {at: 0};
    const gate = createGate({maxInFlight: 20, perMinute: 10, now: () => clock.at});
    const rows = [];
    for (let i = 0; i < 10; i++) {
      gate.start();
      clock.at += 1000;
    }
    // Edge − 1, edge, edge + 1 of the minute since the first start (at 0 ms).
    for (const at of [MINUTE - 1, MINUTE, MINUTE + 1]) {
      clock.at = at;
      rows.push([at, gate.wait()]);
    }
    assert.deepEqual(rows, [[MINUTE - 1, 1], [MINUTE, 0], [MINUTE + 1, 0]]);
  });
  it('holds every request while maxInFlight are out, and tells who waits when one is done', () => {
    const gate = createGate({maxInFlight: 1, perMinute: 10});
    let told = 0;
    gate.subscribe(() => told++);
    gate.start();
    assert.strictEqual(gate.wait(), Infinity);
    gate.done();
    assert.deepEqual([gate.wait(), told], [0, 1]);
  });
});

describe('#createTileBudget', () => {
  it('asks for a view in boxes of whole tiles of 2 degrees, at most 4 a side, inside the area and 96 bytes', async () => {
    const {asked, budget, settled} = setUp({perMinute: 100});
    budget.want('view', {south: 36.3, west: -117.9, north: 45.2, east: -104.6});
    for (let i = 0; i < 10; i++) await settled();
    assert.isAtLeast(asked.length, 2);
    for (const argument of asked) {
      const {south, west, north, east} = box(argument);
      assert.ok(south >= AREA.south && north <= AREA.north && west >= AREA.west && east <= AREA.east, argument);
      assert.ok(new TextEncoder().encode(argument).length <= 96, argument);
      for (const [edge, from] of [[south, AREA.south], [west, AREA.west]]) {
        assert.strictEqual((edge - from) % 2, 0, `${argument} off the grid`);
      }
      assert.ok(north - south <= 8 && east - west <= 8, argument);
    }
    // Together they cover the view, each tile once.
    const covered = asked.map(box);
    for (let lat = 36.5; lat < 45.2; lat += 1) {
      for (let lon = -117.5; lon < -104.6; lon += 1) {
        assert.strictEqual(covered.filter((b) => lat > b.south && lat < b.north && lon > b.west && lon < b.east).length,
            1, `${lat},${lon}`);
      }
    }
  });
  it('clamps the tiles at the area\'s edges and asks nothing for a view outside it', async () => {
    const {asked, budget, settled} = setUp();
    budget.want('view', {south: 48.7, west: -103.5, north: 52, east: -95});
    await settled();
    assert.deepEqual(asked, ['47,-105,49.5,-102']);
    budget.want('view', {south: 20, west: -100, north: 25, east: -90});
    await settled();
    assert.deepEqual(asked, ['47,-105,49.5,-102']);
  });
  it('asks each tile once per lifetime of its reply, and keeps its records', async () => {
    const station = {id: 'KSLC', lat: 40.78, lon: -111.97};
    const {asked, budget, clock, settled} = setUp({records: (b) =>
      (station.lat > b.south && station.lat < b.north && station.lon > b.west && station.lon < b.east ? [station] : [])});
    const view = {south: 40.2, west: -112.4, north: 41.3, east: -111.2};
    budget.want('view', view);
    await settled();
    assert.deepEqual(asked, ['39,-113,43,-111']);
    assert.deepEqual(budget.records(view), [station]);
    for (const [after, count] of [[5 * MINUTE - 1, 1], [5 * MINUTE, 2]]) {
      clock.at += after - (clock.at - 1e12);
      budget.want('view', {...view, west: view.west + 0.01});
      await settled();
      assert.strictEqual(asked.length, count, `${after} ms after the reply`);
    }
    assert.deepEqual(budget.records(view), [station], 'the newer reply replaced the older');
  });
  it('holds what the ceiling does not allow, says it waits, and asks it when the minute is over', async () => {
    const {asked, budget, clock, settled} = setUp({perMinute: 2});
    for (const west of [-124, -120, -116, -112]) {
      budget.want('view', {south: 40.5, west, north: 41.5, east: west + 1});
      await settled();
    }
    assert.deepEqual(asked, ['39,-125,43,-123', '39,-121,43,-119']);
    assert.deepInclude(budget.progress('view'), {tiles: 2, waiting: 2, asking: 0, gateOpen: false});
    clock.at += MINUTE;
    budget.want('view', {south: 40.5, west: -112, north: 41.5, east: -111});
    await settled();
    assert.strictEqual(asked[2], '39,-113,43,-111', 'only the view still wanted is asked');
    assert.deepInclude(budget.progress('view'), {waiting: 0, fresh: 2});
  });
  it('asks a full reply\'s tiles again in boxes half as wide, down to single tiles, and counts those still full', async () => {
    // One station at each tile's centre, five more in the tile 39–41 N, 117–115 W; five records fill a reply.
    const inside = (b) => (r) => r.lat > b.south && r.lat < b.north && r.lon > b.west && r.lon < b.east;
    const all = [];
    for (let lat = 40; lat < 47; lat += 2) for (let lon = -120; lon < -113; lon += 2) all.push({lat, lon});
    all.push(...Array.from({length: 5}, (_, i) => ({lat: 40.5, lon: -116.9 + i * 0.1})));
    const {asked, budget, settled} = setUp({perMinute: 100, records: (b) => all.filter(inside(b)),
      full: (records) => records.length >= 5});
    const view = {south: 39.1, west: -120.9, north: 46.9, east: -113.1};
    budget.want('view', view);
    for (let i = 0; i < 30; i++) await settled();
    const sides = asked.map((argument) => box(argument).north - box(argument).south).sort((a, b) => b - a);
    assert.deepEqual([asked[0], sides], ['39,-121,47,-113', [8, 4, 4, 4, 4, 2, 2, 2, 2]]);
    assert.deepInclude(budget.progress('view'), {tiles: 16, fresh: 16, cut: 1, waiting: 0});
    assert.strictEqual(budget.records(view).length, 21);
  });
  it('lets a failed tile rest a minute, reports the failure and keeps the records it had', async () => {
    let down = false;
    const {asked, budget, clock, settled} = setUp({fail: () => down, records: () => [{id: 'KSLC', lat: 40.78, lon: -111.97}]});
    const view = {south: 40.5, west: -112, north: 41.5, east: -111};
    budget.want('view', view);
    await settled();
    down = true;
    budget.refresh('view');
    await settled();
    assert.strictEqual(asked.length, 2);
    assert.match(budget.progress('view').error.message, /HTTP 503/);
    assert.strictEqual(budget.records(view).length, 1);
    budget.want('view', view);
    await settled();
    assert.strictEqual(asked.length, 2, 'resting');
    clock.at += MINUTE;
    down = false;
    budget.want('view', view);
    await settled();
    assert.deepEqual([asked.length, budget.progress('view').error], [3, null]);
  });
});
