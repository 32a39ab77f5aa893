// Active alerts of the National Weather Service: severity, shape and texts.
import {decodeEach, decodeEachInSlices, serviceTime} from './time.js';

export const SEVERITIES = ['Extreme', 'Severe', 'Moderate', 'Minor', 'Unknown'];

const text = (value) => (typeof value === 'string' ? value : '');
/** Largest number of alerts read from one reply. */
export const MAX_ALERTS = 2000;
const MAX_RING_POINTS = 20000;

/**
 * Rank for sorting, 0 = Extreme; anything unexpected counts as Unknown.
 * @param {any} severity
 * @returns {number}
 */
export function severityRank(severity) {
  const rank = SEVERITIES.indexOf(severity);
  return rank < 0 ? SEVERITIES.length - 1 : rank;
}

/**
 * A GeoJSON ring of [lon, lat] points as checked [lat, lon] points; null for nonsense or a ring
 * of more than `maxPoints`.
 * @param {any} points
 * @param {number} [maxPoints=20000]
 * @returns {[number, number][] | null}
 */
export function geoJsonRing(points, maxPoints = MAX_RING_POINTS) {
  if (!Array.isArray(points) || points.length < 4 || points.length > maxPoints) return null;
  const result = [];
  for (const point of points) {
    if (!Array.isArray(point) || !Number.isFinite(point[0]) || !Number.isFinite(point[1]) ||
        Math.abs(point[0]) > 180 || Math.abs(point[1]) > 90) {
      return null;
    }
    result.push([point[1], point[0]]);  // GeoJSON is longitude first; the map wants [lat, lon]
  }
  return result;
}

/**
 * Polygons of a GeoJSON geometry as arrays of [lat, lon] rings; [] for none or for nonsense.
 * @param {any} geometry  a GeoJSON geometry
 * @returns {[number, number][][][]}
 */
export function alertPolygons(geometry) {
  if (!geometry || typeof geometry !== 'object') return [];
  const polygons = geometry.type === 'Polygon' ? [geometry.coordinates] :
      geometry.type === 'MultiPolygon' && Array.isArray(geometry.coordinates) ?
      geometry.coordinates : [];
  const result = [];
  for (const polygon of polygons.slice(0, 100)) {
    if (!Array.isArray(polygon)) continue;
    const rings = polygon.slice(0, 50).map((points) => geoJsonRing(points));
    if (rings.length && rings[0]) result.push(rings.filter(Boolean));
  }
  return result;
}

const SAME_CODE = /^\d{6}$/;
const UGC_CODE = /^[A-Z]{2}[CZ]\d{3}$/;
// The zone documents an alert names, as the `zone` operation takes them: "forecast/UTZ110".
const ZONE_URL = /^https:\/\/api\.weather\.gov\/zones\/(forecast|county|fire)\/([A-Z]{2}[CZ]\d{3})$/;

/** The zones of an alert's `affectedZones` URLs as "TYPE/ID", each once; others are left out. */
function alertZones(urls) {
  return [...new Set((Array.isArray(urls) ? urls : []).slice(0, 500).map((url) =>
    (typeof url === 'string' ? ZONE_URL.exec(url) : null)).filter(Boolean).map(([, type, id]) => `${type}/${id}`))];
}

/**
 * The 5-digit county ids ("49035") of an alert's SAME codes ("049035": a subdivision digit, then
 * state and county); a code for part of a county still names the whole county.
 */
function alertCounties(geocode) {
  const codes = Array.isArray(geocode?.SAME) ? geocode.SAME : [];
  return [...new Set(codes.slice(0, 500).filter((code) => typeof code === 'string' &&
    SAME_CODE.test(code)).map((code) => code.slice(1)))];
}

/**
 * An alert in the page's shape; times in ms (NaN when not given), the texts as written.
 * @typedef {object} Alert
 * @property {string} key  the alert's id
 * @property {string} event
 * @property {string} severity  one of SEVERITIES
 * @property {string} headline
 * @property {string} description
 * @property {string} instruction
 * @property {string} area
 * @property {string} sender
 * @property {number} onset
 * @property {number} ends  the announced end
 * @property {number} expires  the message's expiry
 * @property {number} sent
 * @property {string} onsetText
 * @property {string} endsText
 * @property {string} expiresText
 * @property {[number, number][][][]} polygons  [lat, lon] rings per polygon
 * @property {string[]} counties  5-digit county ids of its SAME codes
 * @property {string[]} zones  its UGC zone codes
 * @property {string[]} zoneRefs  the zone documents of its `affectedZones`, "forecast/UTZ110"
 */

/** One alert feature in the page's shape, or null when it is not an alert. @returns {Alert | null} */
function decodeAlert(feature, index, now) {
  const properties = feature?.properties;
  if (!properties || typeof properties !== 'object') return null;
  const at = (member, kind) => serviceTime(Date.parse(text(member)), kind, now);
  const severity = SEVERITIES.includes(properties.severity) ? properties.severity : 'Unknown';
  return {
    key: text(properties.id) || text(feature.id) || `alert-${index}`,
    event: text(properties.event) || 'Alert',
    severity,
    headline: text(properties.headline),
    description: text(properties.description),
    instruction: text(properties.instruction),
    area: text(properties.areaDesc),
    sender: text(properties.senderName),
    onset: at(text(properties.onset) || text(properties.effective), 'forecast'),
    // No "ends" means no announced end; the message's expiry is a different thing.
    ends: at(properties.ends, 'forecast'),
    expires: at(properties.expires, 'forecast'),
    sent: at(properties.sent, 'report'),
    onsetText: text(properties.onset) || text(properties.effective),
    endsText: text(properties.ends),
    expiresText: text(properties.expires),
    polygons: alertPolygons(feature.geometry),
    counties: alertCounties(properties.geocode),
    zones: (Array.isArray(properties.geocode?.UGC) ? properties.geocode.UGC : [])
        .filter((code) => typeof code === 'string' && UGC_CODE.test(code)).slice(0, 500),
    zoneRefs: alertZones(properties.affectedZones),
  };
}

/**
 * When the alert stops applying: its announced end, else the expiry of the message; NaN if neither.
 * @param {Alert} alert
 * @returns {number}
 */
export function alertEnd(alert) {
  return Number.isFinite(alert.ends) ? alert.ends : alert.expires;
}

/** Whether the alert has run out by `now` (an alert without any end time never does). */
function isExpired(alert, now) {
  const end = alertEnd(alert);
  return Number.isFinite(end) && end <= now;
}

/**
 * Alerts still in force at `now`, and those that ran out, as {active, expired}.
 * @param {Alert[]} alerts
 * @param {number} now
 * @returns {{active: Alert[], expired: Alert[]}}
 */
export function splitExpired(alerts, now) {
  const active = [];
  const expired = [];
  for (const alert of alerts) (isExpired(alert, now) ? expired : active).push(alert);
  return {active, expired};
}

// Even-odd rule over [lat, lon] rings; holes count because every ring toggles.
function insideRings(rings, lat, lon) {
  let inside = false;
  for (const ring of rings) {
    for (let i = 0, j = ring.length - 1; i < ring.length; j = i++) {
      const [latI, lonI] = ring[i];
      const [latJ, lonJ] = ring[j];
      if ((latI > lat) !== (latJ > lat) &&
          lon < ((lonJ - lonI) * (lat - latI)) / (latJ - latI) + lonI) {
        inside = !inside;
      }
    }
  }
  return inside;
}

/**
 * Whether {lat, lon} lies inside any of the polygons (arrays of [lat, lon] rings).
 * @param {[number, number][][][]} polygons
 * @param {{lat: number, lon: number}} point
 */
export function insidePolygons(polygons, point) {
  return polygons.some((rings) => insideRings(rings, point.lat, point.lon));
}

/**
 * The alerts that cover a point. An alert with a shape covers what is inside it. Without a shape,
 * the point's own zone codes decide when known (`zones`, e.g. "UTZ105" from the points document:
 * as precise as the alert itself); otherwise the county under the point (`county`, "49035"),
 * which can also catch a zone alert for the mountains of a county when the point is in its valley.
 * @param {Alert[]} alerts
 * @param {{lat: number, lon: number}} point
 * @param {{zones?: string[], county?: string | null}} [where]  zones default [], county null
 * @returns {Alert[]}
 */
export function alertsAtPoint(alerts, point, {zones = [], county = null} = {}) {
  const zoneSet = new Set(zones);
  return alerts.filter((alert) => {
    if (alert.polygons.length) return insidePolygons(alert.polygons, point);
    if (zoneSet.size && alert.zones.length) return alert.zones.some((zone) => zoneSet.has(zone));
    return county !== null && alert.counties.includes(county);
  });
}

/**
 * Decodes an `alerts` reply body: {alerts, updated, received, outOfRange}: how many alerts came
 * (only the first MAX_ALERTS are read) and how many had a time outside the data's range (left
 * out); an update time outside it reads as unknown.
 * @param {any} body @param {number} [now=Date.now()]  ms, for the time check
 * @returns {{alerts: Alert[], updated: number, received: number, outOfRange: number}}
 */
export function decodeAlerts(body, now = Date.now()) {
  return alertCollection(body, decodeEach(alertFeatures(body), (feature, index) => decodeAlert(feature, index, now)), now);
}

/**
 * decodeAlerts in slices that give the browser the thread between them.
 * @param {any} body @param {number} [now=Date.now()]
 * @returns {Promise<{alerts: Alert[], updated: number, received: number, outOfRange: number}>}
 */
export async function decodeAlertsInSlices(body, now = Date.now()) {
  const decoded = await decodeEachInSlices(alertFeatures(body), (feature, index) => decodeAlert(feature, index, now));
  return alertCollection(body, decoded, now);
}

/** The features read from a reply; throws on one without a list. */
function alertFeatures(body) {
  if (!body || typeof body !== 'object' || !Array.isArray(body.features)) {
    throw new TypeError('Alert reply has no list of alerts');
  }
  return body.features.slice(0, MAX_ALERTS);
}

function alertCollection(body, {items, outOfRange}, now) {
  let updated = NaN;
  try {
    updated = serviceTime(Date.parse(text(body.updated)), 'report', now);
  } catch {
    // the time of the whole collection: unknown rather than a wrong one
  }
  return {alerts: items, updated, received: body.features.length, outOfRange};
}

const COMPARE = {
  severity: (a, b) => severityRank(a.severity) - severityRank(b.severity),
  onset: (a, b) => (a.onset || 0) - (b.onset || 0),
  ends: (a, b) => (Number.isNaN(a.ends) ? Infinity : a.ends) - (Number.isNaN(b.ends) ? Infinity : b.ends),
  event: (a, b) => a.event.localeCompare(b.event),
};

/**
 * A sorted copy by "severity", "onset", "ends" or "event"; ties keep severity, then event.
 * @param {Alert[]} alerts
 * @param {string} key
 * @returns {Alert[]}
 */
export function sortAlerts(alerts, key) {
  const first = COMPARE[key] || COMPARE.severity;
  return [...alerts].sort((a, b) => first(a, b) || COMPARE.severity(a, b) || COMPARE.event(a, b));
}
