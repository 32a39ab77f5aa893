// A flight's route: its legs on the sphere, where a place lies along it and how far off, the
// corridor either side, the time the flight is at each point (from the true airspeed and the
// winds aloft), the TAF period in force then, and a hazard's heights against the cruise altitude.

import {METAR_AREA} from '../geo.js';
import {altitudeBand} from '../hazards.js';
import {nauticalMiles} from '../winds.js';

export const CORRIDORS_NM = [10, 25, 50];
export const DEFAULT_CORRIDOR_NM = 25;
const EARTH_NM = 3440.065;
const RAD = Math.PI / 180;
const MINUTE = 60000;
// Winds are looked up and the time summed over pieces of at most this length.
const STEP_NM = 10;

/** @typedef {{lat: number, lon: number, label?: string}} RoutePoint */

/** Initial great-circle course in degrees true. */
export function courseDegrees(from, to) {
  const [a, b] = [from.lat * RAD, to.lat * RAD];
  const dLon = (to.lon - from.lon) * RAD;
  const y = Math.sin(dLon) * Math.cos(b);
  const x = Math.cos(a) * Math.sin(b) - Math.sin(a) * Math.cos(b) * Math.cos(dLon);
  return ((Math.atan2(y, x) / RAD) + 360) % 360;
}

/**
 * The route through `points`: {points, legs [{from, to, nm, course, start (NM from departure)}],
 * totalNm, outside (points outside the map's western area)}. One point is a route of no length.
 * @param {RoutePoint[]} points
 */
export function makeRoute(points) {
  const legs = [];
  let start = 0;
  for (let i = 1; i < points.length; i++) {
    const nm = nauticalMiles(points[i - 1], points[i]);
    legs.push({from: points[i - 1], to: points[i], nm, course: courseDegrees(points[i - 1], points[i]), start});
    start += nm;
  }
  const outside = points.filter((p) => p.lat < METAR_AREA.south || p.lat > METAR_AREA.north ||
    p.lon < METAR_AREA.west || p.lon > METAR_AREA.east);
  return {points, legs, totalNm: start, outside};
}

/**
 * Where `point` lies against the route: {along (NM from departure of its nearest place on the
 * route), off (NM from it)}. Across each leg on the great circle; beyond a leg's ends, from
 * the end itself.
 * @param {ReturnType<typeof makeRoute>} route @param {{lat: number, lon: number}} point
 */
export function locate(route, point) {
  if (!route.legs.length) return {along: 0, off: nauticalMiles(route.points[0], point)};
  let best = {along: 0, off: Infinity};
  for (const leg of route.legs) {
    const d13 = nauticalMiles(leg.from, point) / EARTH_NM;
    const bearing = (courseDegrees(leg.from, point) - leg.course) * RAD;
    const cross = Math.asin(Math.max(-1, Math.min(1, Math.sin(d13) * Math.sin(bearing))));
    let alongLeg = Math.acos(Math.max(-1, Math.min(1, Math.cos(d13) / Math.cos(cross)))) * EARTH_NM;
    if (Math.cos(bearing) < 0) alongLeg = -alongLeg;
    let found;
    if (alongLeg <= 0) found = {along: leg.start, off: d13 * EARTH_NM};
    else if (alongLeg >= leg.nm) found = {along: leg.start + leg.nm, off: nauticalMiles(leg.to, point)};
    else found = {along: leg.start + alongLeg, off: Math.abs(cross) * EARTH_NM};
    if (found.off < best.off) best = found;
  }
  return best;
}

/**
 * The NM from departure of a point inside the corridor (at most `corridorNm` off the route,
 * the boundary included), or null outside it.
 */
export function alongInCorridor(route, point, corridorNm) {
  const {along, off} = locate(route, point);
  return off <= corridorNm ? along : null;
}

/** The point `along` NM from departure (the ends beyond the route). */
export function pointAlong(route, along) {
  if (!route.legs.length) return route.points[0];
  const leg = route.legs.find((l) => along <= l.start + l.nm) || route.legs[route.legs.length - 1];
  const share = leg.nm ? Math.max(0, Math.min(1, (along - leg.start) / leg.nm)) : 0;
  // Along the great circle of the leg.
  const d = (leg.nm / EARTH_NM);
  if (!d) return leg.from;
  const [a, b] = [Math.sin((1 - share) * d) / Math.sin(d), Math.sin(share * d) / Math.sin(d)];
  const [la1, lo1, la2, lo2] = [leg.from.lat * RAD, leg.from.lon * RAD, leg.to.lat * RAD, leg.to.lon * RAD];
  const x = a * Math.cos(la1) * Math.cos(lo1) + b * Math.cos(la2) * Math.cos(lo2);
  const y = a * Math.cos(la1) * Math.sin(lo1) + b * Math.cos(la2) * Math.sin(lo2);
  const z = a * Math.sin(la1) + b * Math.sin(la2);
  return {lat: Math.atan2(z, Math.hypot(x, y)) / RAD, lon: Math.atan2(y, x) / RAD};
}

/** Points every `stepNm` along the route, both ends included: [{along, lat, lon}]. */
export function samples(route, stepNm = STEP_NM) {
  const count = Math.max(1, Math.ceil(route.totalNm / stepNm));
  return Array.from({length: count + 1}, (_, i) => {
    const along = Math.min(route.totalNm, i * stepNm);
    return {along, ...pointAlong(route, along)};
  });
}

/**
 * The box around the corridor: {south, west, north, east}.
 * @param {ReturnType<typeof makeRoute>} route @param {number} corridorNm
 */
export function corridorBox(route, corridorNm) {
  const lats = route.points.map((p) => p.lat);
  const lons = route.points.map((p) => p.lon);
  const dLat = corridorNm / 60;
  const dLon = corridorNm / (60 * Math.cos(Math.max(...lats.map(Math.abs)) * RAD));
  return {south: Math.min(...lats) - dLat, north: Math.max(...lats) + dLat,
    west: Math.min(...lons) - dLon, east: Math.max(...lons) + dLon};
}

/**
 * Ground speed and heading component for a course, true airspeed and wind (from `direction` at
 * `speed` kt; null: calm): {groundSpeed, headwind (kt, negative for a tailwind)}. A wind the
 * aircraft cannot make way against gives groundSpeed 0.
 */
export function groundSpeed(course, tas, wind) {
  if (!wind || wind.light || wind.direction === null || !wind.speed) return {groundSpeed: tas, headwind: 0};
  const angle = (wind.direction - course) * RAD;
  const cross = wind.speed * Math.sin(angle);
  const headwind = wind.speed * Math.cos(angle);
  if (Math.abs(cross) >= tas) return {groundSpeed: 0, headwind};
  const correction = Math.asin(cross / tas);
  return {groundSpeed: Math.max(0, tas * Math.cos(correction) - headwind), headwind};
}

/**
 * The flight along the route: per leg {nm, course, groundSpeed, headwind, minutes, wind (at its
 * middle)}, the total minutes, and timeAt(along) (ms). `windAt(point)` gives the wind at the
 * cruise altitude or null (then the ground speed is the true airspeed, and `windsMissing` says so).
 * @param {ReturnType<typeof makeRoute>} route
 * @param {{tas: number, departure: number, windAt: (point: {lat: number, lon: number}) => any}} flight
 */
export function flightTimes(route, {tas, departure, windAt}) {
  const marks = [{along: 0, time: departure}];
  let windsMissing = false;
  let elapsed = 0;  // minutes
  const legs = route.legs.map((leg) => {
    const pieces = Math.max(1, Math.ceil(leg.nm / STEP_NM));
    let minutes = 0;
    let headwindSum = 0;
    for (let i = 0; i < pieces; i++) {
      const [a, b] = [leg.start + (i * leg.nm) / pieces, leg.start + ((i + 1) * leg.nm) / pieces];
      const wind = windAt(pointAlong(route, (a + b) / 2));
      if (!wind) windsMissing = true;
      const course = courseDegrees(pointAlong(route, a), pointAlong(route, b));
      const {groundSpeed: gs, headwind} = groundSpeed(Number.isFinite(course) ? course : leg.course, tas, wind);
      const pieceMinutes = gs > 0 ? ((b - a) / gs) * 60 : Infinity;
      minutes += pieceMinutes;
      elapsed += pieceMinutes;
      headwindSum += headwind;
      marks.push({along: b, time: departure + elapsed * MINUTE});
    }
    return {...leg, minutes, groundSpeed: minutes > 0 ? (leg.nm / minutes) * 60 : tas,
      headwind: headwindSum / pieces, wind: windAt(pointAlong(route, leg.start + leg.nm / 2))};
  });
  const averageHeadwind = route.totalNm ?
    legs.reduce((sum, leg) => sum + leg.headwind * leg.nm, 0) / route.totalNm : 0;
  return {legs, totalMinutes: elapsed, averageHeadwind, windsMissing, arrival: departure + elapsed * MINUTE,
    /** The time the flight is `along` NM from departure, ms. @param {number} along */
    timeAt(along) {
      if (along <= 0) return departure;
      const next = marks.findIndex((mark) => mark.along >= along);
      if (next < 0) return marks[marks.length - 1].time;
      const [a, b] = [marks[next - 1], marks[next]];
      return a.time + ((b.time - a.time) * (along - a.along)) / ((b.along - a.along) || 1);
    }};
}

/**
 * A TAF's groups at `time`: {prevailing (the opening, FM or completed BECMG group in force),
 * temporary [TEMPO and PROB groups in force]}, or null when the TAF does not cover the time
 * (a group starting at `time` is in force, one ending at it is over).
 * @param {import('../taf.js').Taf} taf @param {number} time
 */
export function tafAt(taf, time) {
  if (!(time >= taf.validFrom && time < taf.validTo)) return null;
  let prevailing = null;
  const temporary = [];
  for (const period of taf.periods) {
    if (period.change === null || period.change === 'FM') {
      if (period.from <= time && time < period.to) prevailing = period;
    } else if (period.change === 'BECMG') {
      if (period.from <= time) prevailing = period;
    } else if (period.from <= time && time < period.to) {
      temporary.push(period);
    }
  }
  return prevailing ? {prevailing, temporary} : null;
}

/**
 * A hazard's heights against the cruise altitude: 'at' (inside its band, its ends included; a
 * band without a top reaches up without end), 'below' (the hazard lies wholly below the cruise)
 * or 'above'; with the words a pilot reads.
 * @param {import('../hazards.js').HazardItem} item @param {number} cruiseFeet
 */
export function altitudeRelation(item, cruiseFeet) {
  const band = altitudeBand(item);
  const top = band.highFeet ?? Infinity;
  const relation = cruiseFeet < band.lowFeet ? 'above' : cruiseFeet > top ? 'below' : 'at';
  const words = {at: 'at your altitude', above: 'above your altitude', below: 'below your altitude'}[relation];
  const note = band.base === 'freezing level' ? ' (from the freezing level up)' : band.highFeet === null ? ' (no top given)' : '';
  return {relation, words: words + note, band};
}
