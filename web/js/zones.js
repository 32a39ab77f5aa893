// The shapes of the NWS zones that alerts name instead of giving a shape of their own (a Winter
// Storm Warning for the Wasatch Mountains names forecast zones, not the valley counties around
// them). Each comes from the host's `zone` operation, one document per zone, a few at a time
// through a gate; shapes are kept in local storage for a week, so a zone is asked once a week
// at most, and the store stays bounded.

import {geoJsonRing} from './alerts.js';
import {loadJson, saveJson} from './store.js';

const DAY = 24 * 3600000;
/** How long a zone's shape is kept and used without asking again. */
export const ZONE_KEEP_MS = 7 * DAY;
// Zone lines rarely move; kept shapes are simplified to about 100 m and 4 decimals, which the
// map cannot tell apart below zoom 11, so a zone takes some kilobytes instead of a hundred.
const SIMPLIFY_DEGREES = 0.001;
const MAX_POINTS = 4000;  // per zone after simplifying; more is simplified harder
const MAX_INPUT_POINTS = 200000;
const MAX_POLYGONS = 200;
const MAX_KEPT = 600;  // zones in memory
const MAX_STORED_CHARS = 1500000;  // of local storage's 5 MB, shared with every layer's last reply
const RETRY_MS = 10 * 60000;
const SAVE_DELAY_MS = 2000;

const round = (value) => Math.round(value * 1e4) / 1e4;

/**
 * The points of a line (flat x and y arrays) kept by Leaflet's line simplifier within
 * `tolerance`, the same two passes (radial distance, then Douglas–Peucker) on plain numbers, so
 * a ring of thousands of points makes no object per point. Each kept point is marked with the
 * squared distance up to which it is kept (0 for a point left out): the simplifier's
 * splits do not depend on the tolerance, so the line simplified harder is the points marked
 * above that tolerance's square, found without simplifying again.
 * @param {Float64Array} xs @param {Float64Array} ys @param {number} count @param {number} tolerance
 * @returns {{reduced: Int32Array, marks: Float64Array, n: number}}  the radial pass's points
 */
function keptPoints(xs, ys, count, tolerance) {
  const sqTolerance = tolerance * tolerance;
  const reduced = new Int32Array(count);
  let n = 1;
  let previous = 0;
  for (let i = 1; i < count; i++) {
    const dx = xs[i] - xs[previous];
    const dy = ys[i] - ys[previous];
    if (dx * dx + dy * dy > sqTolerance) {
      reduced[n++] = i;
      previous = i;
    }
  }
  if (previous < count - 1) reduced[n++] = count - 1;
  const rx = new Float64Array(n);
  const ry = new Float64Array(n);
  for (let i = 0; i < n; i++) {
    rx[i] = xs[reduced[i]];
    ry[i] = ys[reduced[i]];
  }
  const marks = new Float64Array(n);
  marks[0] = Infinity;
  marks[n - 1] = Infinity;
  const stack = [0, n - 1];
  while (stack.length) {
    const last = /** @type {number} */ (stack.pop());
    const first = /** @type {number} */ (stack.pop());
    const x1 = rx[first];
    const y1 = ry[first];
    const segmentX = rx[last] - x1;
    const segmentY = ry[last] - y1;
    const dot = segmentX * segmentX + segmentY * segmentY;
    let most = 0;
    let index = -1;
    for (let i = first + 1; i <= last - 1; i++) {
      let x = x1;
      let y = y1;
      if (dot > 0) {
        const t = ((rx[i] - x) * segmentX + (ry[i] - y) * segmentY) / dot;
        if (t > 1) {
          x = rx[last];
          y = ry[last];
        } else if (t > 0) {
          x += segmentX * t;
          y += segmentY * t;
        }
      }
      const dx = rx[i] - x;
      const dy = ry[i] - y;
      const distance = dx * dx + dy * dy;
      if (distance > most) {
        index = i;
        most = distance;
      }
    }
    if (most > sqTolerance) {
      // Kept as long as the split that made this piece is: the later of its ends, the lower mark.
      marks[index] = Math.min(most, marks[first], marks[last]);
      stack.push(first, index, index, last);
    }
  }
  return {reduced, marks, n};
}

/** @type {WeakMap<[number, number][], Float64Array>} each simplified ring's marks, point by point */
const ringMarks = new WeakMap();

/** The kept points as [lat, lon], rounded; null when fewer than three are left. */
function simplified(xs, ys, count, scale, tolerance) {
  const {reduced, marks, n} = keptPoints(xs, ys, count, tolerance);
  /** @type {[number, number][]} */
  const ring = [];
  const kept = new Float64Array(n);
  for (let i = 0; i < n; i++) {
    if (!marks[i]) continue;
    kept[ring.length] = marks[i];
    ring.push([round(ys[reduced[i]]), round(xs[reduced[i]] / scale)]);
  }
  if (ring.length < 3) return null;
  ringMarks.set(ring, kept);
  return ring;
}

/**
 * A ring this module simplified, simplified harder (a larger tolerance, degrees) from the marks
 * its simplifying left, without simplifying again: the same ring when it would keep fewer than
 * three points, or when it did not come from here.
 * @param {[number, number][]} ring @param {number} tolerance
 * @returns {[number, number][]}
 */
export function harderRing(ring, tolerance) {
  const marks = ringMarks.get(ring);
  if (!marks) return ring;
  const square = tolerance * tolerance;
  const harder = ring.filter((_, i) => marks[i] > square);
  return harder.length >= 3 ? harder : ring;
}

/**
 * A ring simplified as Leaflet's own line simplifier does, longitudes scaled to the latitude;
 * null when fewer than three points are left.
 * @param {[number, number][]} ring  [lat, lon] points @param {number} tolerance  degrees
 * @returns {[number, number][] | null}
 */
export function simplifyRing(ring, tolerance) {
  const scale = Math.cos((ring[0][0] * Math.PI) / 180);
  const xs = new Float64Array(ring.length);
  const ys = new Float64Array(ring.length);
  ring.forEach(([lat, lon], i) => {
    xs[i] = lon * scale;
    ys[i] = lat;
  });
  return simplified(xs, ys, ring.length, scale, tolerance);
}

/**
 * A GeoJSON ring ([lon, lat] points) checked as geoJsonRing checks it and simplified as
 * simplifyRing does, in one pass over its points; null for a ring of the wrong form or one that
 * simplifies to fewer than three points.
 * @param {any} points @param {number} maxPoints @param {number} tolerance  degrees
 * @returns {[number, number][] | null}
 */
export function simplifyGeoJsonRing(points, maxPoints, tolerance) {
  if (!Array.isArray(points) || points.length < 4 || points.length > maxPoints) return null;
  const first = points[0];
  if (!Array.isArray(first) || !Number.isFinite(first[1])) return null;
  const scale = Math.cos((first[1] * Math.PI) / 180);
  const xs = new Float64Array(points.length);
  const ys = new Float64Array(points.length);
  for (let i = 0; i < points.length; i++) {
    const point = points[i];
    if (!Array.isArray(point) || !Number.isFinite(point[0]) || !Number.isFinite(point[1]) ||
        Math.abs(point[0]) > 180 || Math.abs(point[1]) > 90) {
      return null;
    }
    xs[i] = point[0] * scale;
    ys[i] = point[1];
  }
  return simplified(xs, ys, points.length, scale, tolerance);
}

/**
 * A zone document (the host's `zone` reply: a GeoJSON Feature) as {name, timeZone, polygons}:
 * polygons as [lat, lon] rings, simplified for keeping; throws a TypeError for a document
 * without a usable shape.
 * @param {any} body
 * @returns {{name: string, timeZone: string | null, polygons: [number, number][][][]}}
 */
export function decodeZone(body) {
  const geometry = body && typeof body === 'object' ? body.geometry : null;
  const parts = geometry?.type === 'Polygon' ? [geometry.coordinates] :
      geometry?.type === 'MultiPolygon' && Array.isArray(geometry.coordinates) ? geometry.coordinates :
      geometry?.type === 'GeometryCollection' && Array.isArray(geometry.geometries) ?
        geometry.geometries.flatMap((g) => (g?.type === 'Polygon' ? [g.coordinates] :
          g?.type === 'MultiPolygon' && Array.isArray(g.coordinates) ? g.coordinates : [])) : [];
  const rings = [];
  let total = 0;
  for (const polygon of parts.slice(0, MAX_POLYGONS)) {
    if (!Array.isArray(polygon)) continue;
    const checked = polygon.slice(0, 50).map((points) => geoJsonRing(points, MAX_INPUT_POINTS));
    if (!checked[0]) continue;
    total += checked.reduce((sum, ring) => sum + (ring ? ring.length : 0), 0);
    if (total > MAX_INPUT_POINTS) break;
    rings.push(checked.filter(Boolean));
  }
  let polygons;
  for (let tolerance = SIMPLIFY_DEGREES; ; tolerance *= 2) {
    polygons = rings.map((polygon) => polygon.map((ring) => simplifyRing(ring, tolerance)))
        .filter((polygon) => polygon[0]).map((polygon) => polygon.filter(Boolean));
    if (polygons.flat(2).length <= MAX_POINTS || tolerance > 0.1) break;
  }
  if (!polygons.length) throw new TypeError('Zone reply has no shape');
  const properties = body.properties && typeof body.properties === 'object' ? body.properties : {};
  const zones = Array.isArray(properties.timeZone) ? properties.timeZone : [properties.timeZone];
  return {name: typeof properties.name === 'string' ? properties.name.slice(0, 200) : '',
    timeZone: zones.find((zone) => typeof zone === 'string' && /^[A-Za-z_]+(\/[A-Za-z_+-]+)*$/.test(zone)) || null,
    polygons};
}

/**
 * @typedef {{name: string, timeZone: string | null, polygons: [number, number][][][], at: number}} KeptZone
 * @typedef {object} ZoneShapesOptions
 * @property {{request(operation: string, argument?: string): Promise<any>}} bridge  the host
 * @property {import('./request-budget.js').Gate} gate  the weather service's gate for zones
 * @property {() => number} [now=Date.now]
 * @property {() => void} [onChange]  called when a shape arrived or a zone failed
 */

/**
 * The zone shapes: want(refs) with the zones the alerts in force name, most urgent first; get(ref)
 * the kept shape; state(ref) 'kept', 'asking', 'waiting' or 'failed'.
 * @param {ZoneShapesOptions} options
 */
export function createZoneShapes({bridge, gate, now = () => Date.now(), onChange = () => {}}) {
  /** @type {Map<string, KeptZone>} */
  const kept = new Map();
  /** @type {Map<string, {at: number, error: Error}>} */
  const failed = new Map();
  const asking = new Set();
  let wanted = [];
  let saveTimer = null;
  let pumpTimer = null;

  const saved = loadJson('zones');
  const start = now();
  if (saved && typeof saved === 'object' && saved.zones && typeof saved.zones === 'object') {
    for (const [ref, zone] of Object.entries(saved.zones)) {
      if (/^(forecast|county|fire)\/[A-Z]{2}[CZ]\d{3}$/.test(ref) && start - zone?.at < ZONE_KEEP_MS &&
          Array.isArray(zone.polygons)) {
        kept.set(ref, zone);
      }
    }
  }

  /** Writes the newest kept zones that fit the store's share; older ones are asked again next time. */
  function save() {
    saveTimer = null;
    const entries = [...kept.entries()].sort((a, b) => b[1].at - a[1].at);
    const zones = {};
    let size = 0;
    for (const [ref, zone] of entries) {
      const length = JSON.stringify(zone).length + ref.length + 4;
      if (size + length > MAX_STORED_CHARS) continue;
      zones[ref] = zone;
      size += length;
    }
    saveJson('zones', {zones});
  }

  /** Keeps at most MAX_KEPT zones in memory, dropping first those no alert names now. */
  function trim() {
    if (kept.size <= MAX_KEPT) return;
    const wantedSet = new Set(wanted);
    const order = [...kept.entries()].sort((a, b) =>
      Number(wantedSet.has(a[0])) - Number(wantedSet.has(b[0])) || a[1].at - b[1].at);
    for (const [ref] of order.slice(0, kept.size - MAX_KEPT)) kept.delete(ref);
  }

  const fresh = (ref, at) => at - (kept.get(ref)?.at ?? NaN) < ZONE_KEEP_MS;
  const resting = (ref, at) => at - (failed.get(ref)?.at ?? NaN) < RETRY_MS;

  async function ask(ref) {
    asking.add(ref);
    gate.start();
    try {
      const zone = decodeZone(await bridge.request('zone', ref));
      kept.set(ref, {...zone, at: now()});
      failed.delete(ref);
      trim();
      clearTimeout(saveTimer);
      saveTimer = setTimeout(save, SAVE_DELAY_MS);
    } catch (error) {
      failed.set(ref, {at: now(), error});
    } finally {
      asking.delete(ref);
      gate.done();  // which pumps again
    }
    onChange();
  }

  function pump() {
    clearTimeout(pumpTimer);
    pumpTimer = null;
    const at = now();
    for (const ref of wanted) {
      if (fresh(ref, at) || asking.has(ref) || resting(ref, at)) continue;
      const wait = gate.wait();
      if (wait === 0) {
        ask(ref);
        continue;
      }
      if (Number.isFinite(wait)) pumpTimer = setTimeout(pump, wait);
      return;
    }
    // Failed zones still named are asked again once they have rested.
    const due = wanted.filter((ref) => failed.has(ref) && !fresh(ref, at))
        .map((ref) => failed.get(ref).at + RETRY_MS - at);
    if (due.length) pumpTimer = setTimeout(pump, Math.max(1000, Math.min(...due)));
  }
  gate.subscribe(pump);

  return {
    /** @param {string[]} refs  the zones named by the alerts in force, most urgent first */
    want(refs) {
      wanted = [...new Set(refs)];
      pump();
    },
    /** @param {string} ref @returns {KeptZone | undefined} */
    get: (ref) => kept.get(ref),
    /** @param {string} ref @returns {'kept' | 'asking' | 'waiting' | 'failed'} */
    state(ref) {
      if (kept.has(ref)) return 'kept';
      if (asking.has(ref)) return 'asking';
      return failed.has(ref) ? 'failed' : 'waiting';
    },
    /** The zones still named whose last request failed, with the last error; null when none. */
    failures() {
      const named = wanted.filter((ref) => failed.has(ref) && !kept.has(ref));
      return named.length ? {count: named.length, error: failed.get(named[named.length - 1]).error} : null;
    },
  };
}
