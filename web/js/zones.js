// The shapes of the NWS zones that alerts name instead of giving a shape of their own (a Winter
// Storm Warning for the Wasatch Mountains names forecast zones, not the valley counties around
// them). Each comes from the host's `zone` operation, one document per zone, a few at a time
// through a gate; shapes are kept in local storage for a week, so a zone is asked once a week
// at most, and the store stays bounded.

import * as L from '../vendor/leaflet/leaflet-src.esm.js';
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
 * A ring simplified with Leaflet's own line simplifier, longitudes scaled to the latitude; null
 * when fewer than three points are left.
 * @param {[number, number][]} ring  [lat, lon] points @param {number} tolerance  degrees
 * @returns {[number, number][] | null}
 */
export function simplifyRing(ring, tolerance) {
  const scale = Math.cos((ring[0][0] * Math.PI) / 180);
  const simplified = L.LineUtil.simplify(ring.map(([lat, lon]) => L.point(lon * scale, lat)), tolerance)
      .map((point) => /** @type {[number, number]} */ ([round(point.y), round(point.x / scale)]));
  return simplified.length >= 3 ? simplified : null;
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
