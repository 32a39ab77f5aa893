// Active alerts of the National Weather Service: severity, shape and texts.

export const SEVERITIES = ['Extreme', 'Severe', 'Moderate', 'Minor', 'Unknown'];

const text = (value) => (typeof value === 'string' ? value : '');
const MAX_ALERTS = 2000;
const MAX_RING_POINTS = 20000;

/** Rank for sorting, 0 = Extreme; anything unexpected counts as Unknown. */
export function severityRank(severity) {
  const rank = SEVERITIES.indexOf(severity);
  return rank < 0 ? SEVERITIES.length - 1 : rank;
}

function ring(points) {
  if (!Array.isArray(points) || points.length < 4 || points.length > MAX_RING_POINTS) return null;
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

/** Polygons of a GeoJSON geometry as arrays of [lat, lon] rings; [] for none or for nonsense. */
export function alertPolygons(geometry) {
  if (!geometry || typeof geometry !== 'object') return [];
  const polygons = geometry.type === 'Polygon' ? [geometry.coordinates] :
      geometry.type === 'MultiPolygon' && Array.isArray(geometry.coordinates) ?
      geometry.coordinates : [];
  const result = [];
  for (const polygon of polygons.slice(0, 100)) {
    if (!Array.isArray(polygon)) continue;
    const rings = polygon.slice(0, 50).map(ring);
    if (rings.length && rings[0]) result.push(rings.filter(Boolean));
  }
  return result;
}

/** One alert feature in the page's shape, or null when it is not an alert. */
export function decodeAlert(feature, index) {
  const properties = feature?.properties;
  if (!properties || typeof properties !== 'object') return null;
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
    onset: Date.parse(text(properties.onset) || text(properties.effective)),
    // No "ends" means no announced end; the message's expiry is a different thing.
    ends: Date.parse(text(properties.ends)),
    onsetText: text(properties.onset) || text(properties.effective),
    endsText: text(properties.ends),
    expiresText: text(properties.expires),
    polygons: alertPolygons(feature.geometry),
  };
}

/** Decodes an `alerts` reply body: {alerts, updated}. */
export function decodeAlerts(body) {
  if (!body || typeof body !== 'object' || !Array.isArray(body.features)) {
    throw new TypeError('Alert reply has no list of alerts');
  }
  const alerts = body.features.slice(0, MAX_ALERTS).map(decodeAlert).filter(Boolean);
  return {alerts, updated: Date.parse(text(body.updated))};
}

const COMPARE = {
  severity: (a, b) => severityRank(a.severity) - severityRank(b.severity),
  onset: (a, b) => (a.onset || 0) - (b.onset || 0),
  ends: (a, b) => (Number.isNaN(a.ends) ? Infinity : a.ends) - (Number.isNaN(b.ends) ? Infinity : b.ends),
  event: (a, b) => a.event.localeCompare(b.event),
};

/** A sorted copy by "severity", "onset", "ends" or "event"; ties keep severity, then event. */
export function sortAlerts(alerts, key) {
  const first = COMPARE[key] || COMPARE.severity;
  return [...alerts].sort((a, b) => first(a, b) || COMPARE.severity(a, b) || COMPARE.event(a, b));
}
