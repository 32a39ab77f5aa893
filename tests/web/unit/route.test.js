import {alongInCorridor, altitudeRelation, corridorBox, flightTimes, groundSpeed, locate, makeRoute,
  pointAlong, tafAt} from '/js/route/route.js';
import {decodeHazards} from '/js/hazards.js';
import {decodeTafs} from '/js/taf.js';
import {nauticalMiles} from '/js/winds.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

const SLC = {lat: 40.79, lon: -111.98};
const GJT = {lat: 39.12, lon: -108.53};
const MINUTE = 60000;
const HOUR = 60 * MINUTE;
const T = Date.UTC(2026, 10, 20, 18);

/** The point `nm` off the route, to the left of the course at `along` NM. */
function offRoute(route, along, nm) {
  const on = pointAlong(route, along);
  const ahead = pointAlong(route, along + 1);
  const course = Math.atan2((ahead.lon - on.lon) * Math.cos(on.lat * Math.PI / 180), ahead.lat - on.lat);
  const left = course - Math.PI / 2;
  return {lat: on.lat + (nm / 60) * Math.cos(left), lon: on.lon + (nm / 60) * Math.sin(left) / Math.cos(on.lat * Math.PI / 180)};
}

describe('route geometry', () => {
  it('measures its legs on the great circle', () => {
    const route = makeRoute([SLC, {lat: 40.22, lon: -111.72}, GJT]);
    assert.lengthOf(route.legs, 2);
    assert.closeTo(route.totalNm, route.legs[0].nm + route.legs[1].nm, 1e-9);
    assert.closeTo(makeRoute([SLC, GJT]).totalNm, 187.8, 0.5);
    assert.closeTo(makeRoute([SLC, GJT]).legs[0].course, 121.2, 0.2);
    assert.deepEqual(route.outside, []);
  });
  it('takes a place into the corridor up to its edge, the edge included', () => {
    const route = makeRoute([SLC, GJT]);
    const rows = [
      // NM off the route, corridor, inside
      [24.9, 25, true], [25.1, 25, false], [9.9, 10, true], [10.1, 10, false], [49.9, 50, true], [50.2, 50, false], [0, 10, true],
    ];
    for (const [nm, corridor, inside] of rows) {
      const point = offRoute(route, 90, nm);
      assert.closeTo(locate(route, point).off, nm, 0.15, `${nm} NM off`);
      const along = alongInCorridor(route, point, corridor);
      assert.strictEqual(along !== null, inside, `${nm} NM off in ${corridor}`);
      if (inside) assert.closeTo(along, 90, 1);
    }
    const exactlyOnEdge = offRoute(route, 90, 25);
    assert.isNotNull(alongInCorridor(route, exactlyOnEdge, locate(route, exactlyOnEdge).off), 'the boundary itself is inside');
    // Beyond the ends the corridor is round: from the end point itself.
    const beyond = {lat: GJT.lat - 0.3, lon: GJT.lon + 0.2};
    assert.closeTo(locate(route, beyond).along, route.totalNm, 1e-6);
    assert.closeTo(locate(route, beyond).off, nauticalMiles(GJT, beyond), 1e-6);
  });
  it('handles a one-point route, a route leaving the western box and a long western one', () => {
    const one = makeRoute([SLC]);
    assert.deepEqual([one.totalNm, one.legs.length], [0, 0]);
    assert.deepEqual(locate(one, {lat: 41.0, lon: -111.98}).along, 0);
    assert.closeTo(locate(one, {lat: 41.0, lon: -111.98}).off, 12.6, 0.2);
    assert.deepEqual(pointAlong(one, 30), SLC);
    const leaving = makeRoute([SLC, {lat: 41.0, lon: -96.0}]);
    assert.deepEqual(leaving.outside, [{lat: 41.0, lon: -96.0}]);
    const west = makeRoute([{lat: 47.45, lon: -122.31}, {lat: 32.12, lon: -110.94}]);
    assert.closeTo(west.totalNm, 1056.8, 0.5);
    const middle = pointAlong(west, west.totalNm / 2);
    assert.isAbove(middle.lon, -122.31);
    assert.isBelow(middle.lon, -110.94);
    const box = corridorBox(west, 25);
    assert.closeTo(box.north, 47.45 + 25 / 60, 1e-9);
    assert.isBelow(box.west, -122.31 - 25 / 60);
  });
});

describe('ground speed and times', () => {
  it('takes the wind triangle: head, tail and cross winds', () => {
    const rows = [
      // course, TAS, wind, ground speed, headwind
      [90, 120, {direction: 90, speed: 30}, 90, 30],
      [90, 120, {direction: 270, speed: 30}, 150, -30],
      [90, 120, {direction: 0, speed: 30}, 116.2, 0],
      [90, 120, null, 120, 0],
      [90, 120, {direction: null, speed: 0, light: true}, 120, 0],
      [90, 100, {direction: 0, speed: 120}, 0, 0],
    ];
    for (const [course, tas, wind, gs, head] of rows) {
      const result = groundSpeed(course, tas, wind);
      assert.closeTo(result.groundSpeed, gs, 0.1, JSON.stringify(wind));
      assert.closeTo(result.headwind, head, 1e-9, JSON.stringify(wind));
    }
  });
  it('sums the time over the legs and gives the time at any point', () => {
    const route = makeRoute([SLC, GJT]);
    const calm = flightTimes(route, {tas: 120, departure: T, windAt: () => null});
    assert.closeTo(calm.totalMinutes, (route.totalNm / 120) * 60, 1e-6);
    assert.isTrue(calm.windsMissing);
    assert.strictEqual(calm.timeAt(0), T);
    assert.closeTo(calm.timeAt(route.totalNm / 2), T + (calm.totalMinutes / 2) * MINUTE, 1);
    assert.closeTo(calm.timeAt(route.totalNm + 10), calm.arrival, 1);
    // A tailwind from the west-north-west (the course is 121°).
    const tail = flightTimes(route, {tas: 120, departure: T, windAt: () => ({direction: 300, speed: 40, light: false})});
    assert.isFalse(tail.windsMissing);
    assert.isBelow(tail.totalMinutes, calm.totalMinutes * 0.8);
    assert.closeTo(tail.averageHeadwind, -39.7, 0.6);
  });
});

describe('#tafAt', () => {
  const taf = {validFrom: T, validTo: T + 24 * HOUR, periods: [
    {change: null, from: T, to: T + 4 * HOUR, category: 'VFR'},
    {change: 'TEMPO', from: T + 2 * HOUR, to: T + 4 * HOUR, category: 'MVFR'},
    {change: 'FM', from: T + 4 * HOUR, to: T + 10 * HOUR, category: 'IFR'},
    {change: 'BECMG', from: T + 8 * HOUR, to: T + 9 * HOUR, category: 'LIFR'},
    {change: 'FM', from: T + 10 * HOUR, to: T + 24 * HOUR, category: 'VFR'},
  ]};
  it('chooses the period in force at the boundaries', () => {
    const rows = [
      // hours after the start, prevailing category, temporary categories
      [-0.01, null, null], [0, 'VFR', []], [1.99, 'VFR', []], [2, 'VFR', ['MVFR']], [3.99, 'VFR', ['MVFR']],
      [4, 'IFR', []], [7.99, 'IFR', []], [8, 'LIFR', []], [9.5, 'LIFR', []], [10, 'VFR', []], [23.99, 'VFR', []], [24, null, null],
    ];
    for (const [hours, prevailing, temporary] of rows) {
      const found = tafAt(taf, T + hours * HOUR);
      assert.deepEqual(found && [found.prevailing.category, found.temporary.map((p) => p.category)],
          prevailing && [prevailing, temporary], `${hours} h`);
    }
  });
  it('reads the test documents\' TAFs', async () => {
    const tafs = decodeTafs(await testDocument('awc/taf_west.json'), T);
    assert.includeMembers(tafs.within({south: 40, west: -112.5, north: 41, east: -111.5}), ['KSLC']);
    const kslc = tafs.lookup('KSLC').taf;
    const at = tafAt(kslc, T + 30 * MINUTE);
    assert.isNotNull(at);
    assert.include(['VFR', 'MVFR', 'IFR', 'LIFR'], at.prevailing.category);
  });
});

describe('#altitudeRelation', () => {
  it('compares surface-based, flight-level, top-only and base-missing hazards with the cruise', () => {
    const item = (lowFeet, highFeet, lowFreezingLevel = false) => ({lowFeet, highFeet, lowFreezingLevel});
    const rows = [
      // item, cruise, relation, words
      [item(null, 18000), 9500, 'at', 'at your altitude'],
      [item(0, 18000), 18000, 'at', 'at your altitude'],
      [item(0, 18000), 18001, 'below', 'below your altitude'],
      [item(24000, 40000), 23999, 'above', 'above your altitude'],
      [item(24000, 40000), 24000, 'at', 'at your altitude'],
      [item(null, 2000), 9500, 'below', 'below your altitude'],
      [item(8000, null), 9500, 'at', 'at your altitude (no top given)'],
      [item(8000, null), 7500, 'above', 'above your altitude (no top given)'],
      [item(null, 22000, true), 9500, 'at', 'at your altitude (from the freezing level up)'],
    ];
    for (const [hazard, cruise, relation, words] of rows) {
      const found = altitudeRelation(/** @type {any} */ (hazard), cruise);
      assert.deepEqual([found.relation, found.words], [relation, words], JSON.stringify(hazard));
    }
  });
  it('reads the heights of the test documents\' G-AIRMETs as written', async () => {
    const {items} = decodeHazards({sigmets: [], cwas: [], gairmets: await testDocument('awc/gairmet.json'), warnings: []});
    const turbulence = items.find((i) => i.hazard === 'TURB-LO');  // SFC to FL180
    assert.strictEqual(altitudeRelation(turbulence, 11500).relation, 'at');
    assert.strictEqual(altitudeRelation(turbulence, 19000).relation, 'below');
    const high = items.find((i) => i.hazard === 'TURB-HI' && i.forecastHour === 0);  // FL240 to 400
    assert.strictEqual(altitudeRelation(high, 11500).relation, 'above');
  });
});
