// Request arguments built from map positions, and distances on the earth.

/** The area the host accepts METAR boxes in, and the map's home. */
export const METAR_AREA = {south: 31, west: -125, north: 49.5, east: -102};

const EARTH_RADIUS_M = 6371008.8;
const COMPASS = ['N', 'NNE', 'NE', 'ENE', 'E', 'ESE', 'SE', 'SSE', 'S', 'SSW', 'SW', 'WSW', 'W',
  'WNW', 'NW', 'NNW'];

/**
 * A coordinate with at most four decimals and no trailing zeros ("40.76", "-125").
 * @param {number} value
 * @returns {string}
 */
export function formatCoordinate(value) {
  return String(Number(value.toFixed(4)));
}

/**
 * The `point` argument "latitude,longitude".
 * @param {number} lat
 * @param {number} lon
 */
export function formatPointArgument(lat, lon) {
  return `${formatCoordinate(lat)},${formatCoordinate(lon)}`;
}

const radians = (degrees) => (degrees * Math.PI) / 180;

/**
 * Great-circle distance in metres between two {lat, lon}.
 * @param {{lat: number, lon: number}} from
 * @param {{lat: number, lon: number}} to
 */
export function distanceMetres(from, to) {
  const dLat = radians(to.lat - from.lat);
  const dLon = radians(to.lon - from.lon);
  const a = Math.sin(dLat / 2) ** 2 +
      Math.cos(radians(from.lat)) * Math.cos(radians(to.lat)) * Math.sin(dLon / 2) ** 2;
  return 2 * EARTH_RADIUS_M * Math.asin(Math.min(1, Math.sqrt(a)));
}

/**
 * Initial bearing in degrees (0 = north, clockwise) from one {lat, lon} to another.
 * @param {{lat: number, lon: number}} from
 * @param {{lat: number, lon: number}} to
 */
export function bearingDegrees(from, to) {
  const dLon = radians(to.lon - from.lon);
  const y = Math.sin(dLon) * Math.cos(radians(to.lat));
  const x = Math.cos(radians(from.lat)) * Math.sin(radians(to.lat)) -
      Math.sin(radians(from.lat)) * Math.cos(radians(to.lat)) * Math.cos(dLon);
  return ((Math.atan2(y, x) * 180) / Math.PI + 360) % 360;
}

/**
 * Sixteen-point compass name of a direction in degrees.
 * @param {number} degrees
 * @returns {string}
 */
export function compassPoint(degrees) {
  if (!Number.isFinite(degrees)) return '';
  return COMPASS[Math.round((((degrees % 360) + 360) % 360) / 22.5) % 16];
}
