// Aviation hazards of the `hazards` reply (domestic SIGMETs, G-AIRMETs, Center Weather
// Advisories) in one shape for the map: what, how bad, between which heights, when, and where.
// The three products disagree on names and types (G-AIRMET coordinates as text, heights as
// "FL180", "400" or "SFC", two spellings of SIGMET low altitudes), so every member is checked;
// an item that cannot be drawn is dropped, never thrown on.

const PRODUCTS = ['sigmets', 'gairmets', 'cwas'];
export const FORECAST_HOURS = [0, 3, 6, 9, 12];
const G_AIRMET_PRODUCTS = new Set(['SIERRA', 'TANGO', 'ZULU']);
const MAX_ITEMS = 2000;
const MAX_POINTS = 500;
const PHONETIC = {
  A: 'ALFA', B: 'BRAVO', C: 'CHARLIE', D: 'DELTA', E: 'ECHO', F: 'FOXTROT', G: 'GOLF', H: 'HOTEL',
  I: 'INDIA', J: 'JULIETT', K: 'KILO', L: 'LIMA', M: 'MIKE', N: 'NOVEMBER', O: 'OSCAR', P: 'PAPA',
  Q: 'QUEBEC', R: 'ROMEO', S: 'SIERRA', T: 'TANGO', U: 'UNIFORM', V: 'VICTOR', W: 'WHISKEY',
  X: 'XRAY', Y: 'YANKEE', Z: 'ZULU',
};

const finite = (value) => typeof value === 'number' && Number.isFinite(value);
const text = (value) => (typeof value === 'string' ? value.trim() : '');
const seconds = (value) => (finite(value) ? value * 1000 : NaN);

/**
 * A height as the products write it, in feet: numbers as feet (as hundreds of feet with
 * numbersInHundreds), "FL180" and "400" (hundreds of feet) as text, "SFC" as 0; null for "",
 * null, "FRZLVL" and anything else.
 */
function parseHeight(value, {numbersInHundreds = false} = {}) {
  if (finite(value)) return value >= 0 ? (numbersInHundreds ? value * 100 : value) : null;
  const written = text(value).toUpperCase();
  if (written === 'SFC') return 0;
  const match = /^(?:FL)?(\d{1,3})$/.exec(written);
  return match ? Number(match[1]) * 100 : null;
}

function number(value) {
  if (finite(value)) return value;
  const written = text(value);
  return /^[+-]?\d+(?:\.\d+)?$/.test(written) ? Number(written) : NaN;
}

/** [[lat, lon]] from [{lat, lon}] (numbers or numeric text); null if any point is unusable. */
function points(coords) {
  if (!Array.isArray(coords) || coords.length > MAX_POINTS) return null;
  const result = [];
  for (const point of coords) {
    const lat = number(point?.lat);
    const lon = number(point?.lon);
    if (!(Math.abs(lat) <= 90 && Math.abs(lon) <= 180)) return null;
    result.push([lat, lon]);
  }
  return result;
}

/** {geometry, shape}: a line of at least 2 points, or a polygon closed on its first point. */
function shapeOf(coords, isLine) {
  const shape = points(coords);
  if (!shape) return null;
  if (isLine) return shape.length >= 2 ? {geometry: 'line', shape} : null;
  const [first, last] = [shape[0], shape.at(-1)];
  if (shape.length && (first[0] !== last[0] || first[1] !== last[1])) shape.push([...first]);
  return shape.length >= 4 ? {geometry: 'polygon', shape} : null;
}

const highest = (...values) => {
  const known = values.filter((v) => v !== null);
  return known.length ? Math.max(...known) : null;
};
const lowest = (...values) => {
  const known = values.filter((v) => v !== null);
  return known.length ? Math.min(...known) : null;
};

function sigmet(record) {
  const hazard = text(record.hazard).toUpperCase();
  const convective = hazard === 'CONVECTIVE';
  const qualifier = text(record.qualifier);
  const drawn = shapeOf(record.coords, qualifier === 'LINE');
  if (!hazard || !drawn) return null;
  const series = text(record.seriesId) || String(record.seriesId ?? '');
  const letter = text(record.alphaChar).toUpperCase();
  const low = (n) => parseHeight(record[`altitudeLow${n}`] ?? record[`altitudeLo${n}`]);
  return {
    kind: convective ? 'convective-sigmet' : 'sigmet',
    hazard,
    title: convective ? `Convective SIGMET ${series}` :
      `SIGMET ${PHONETIC[letter] || letter} ${series}`.replace(/\s+/g, ' ').trim(),
    severity: convective ? null : qualifier || null,
    lowFeet: lowest(low(1), low(2)),
    highFeet: highest(parseHeight(record.altitudeHi1), parseHeight(record.altitudeHi2)),
    from: seconds(record.validTimeFrom),
    to: seconds(record.validTimeTo),
    forecastHour: null,
    product: null,
    detail: finite(record.movementDir) && finite(record.movementSpd) ?
      `moving from ${record.movementDir}° at ${record.movementSpd} kt` : '',
    ...drawn,
    raw: typeof record.rawAirSigmet === 'string' ? record.rawAirSigmet : '',
  };
}

function gairmet(record) {
  const hazard = text(record.hazard).toUpperCase();
  const product = text(record.product).toUpperCase();
  const forecastHour = FORECAST_HOURS.includes(record.forecastHour) ? record.forecastHour : null;
  const drawn = shapeOf(record.coords, text(record.geometryType ?? record.geom).toUpperCase() === 'LINE');
  if (!hazard || !G_AIRMET_PRODUCTS.has(product) || forecastHour === null || !drawn) return null;
  const height = (value) => parseHeight(value, {numbersInHundreds: true});
  const level = height(record.level);
  const valid = Date.parse(text(record.validTime));
  const expires = seconds(record.expireTime);
  const tag = text(record.tag);
  return {
    kind: 'gairmet',
    hazard,
    title: `G-AIRMET ${product[0]}${product.slice(1).toLowerCase()}${tag ? ` ${tag}` : ''}`,
    severity: text(record.severity) || null,
    lowFeet: level ?? lowest(height(record.base), height(record.fzlbase)),
    highFeet: level ?? highest(height(record.top), height(record.fzltop)),
    from: valid,
    to: Number.isFinite(expires) ? expires : valid,
    forecastHour,
    product,
    detail: text(record.due_to),
    ...drawn,
    raw: '',
  };
}

function cwa(record) {
  const hazard = text(record.hazard).toUpperCase();
  const drawn = shapeOf(record.coords, text(record.geom).toUpperCase() === 'LINE');
  if (!hazard || !drawn) return null;
  const center = text(record.cwsu).toUpperCase();
  const series = text(String(record.seriesId ?? ''));
  return {
    kind: 'cwa',
    hazard,
    title: `CWA ${center}${series ? ` ${series}` : ''}`,
    severity: text(record.qualifier) || null,
    lowFeet: parseHeight(record.base),
    highFeet: parseHeight(record.top),
    from: seconds(record.validTimeFrom),
    to: seconds(record.validTimeTo),
    forecastHour: null,
    product: null,
    detail: text(record.name),
    ...drawn,
    raw: typeof record.rawText === 'string' ? record.rawText : '',
  };
}

const DECODERS = {sigmets: sigmet, gairmets: gairmet, cwas: cwa};

/**
 * An aviation hazard in the page's shape (see decodeHazards).
 * @typedef {object} HazardItem
 * @property {'sigmet' | 'convective-sigmet' | 'gairmet' | 'cwa'} kind
 * @property {string} hazard
 * @property {string} title
 * @property {string | null} severity
 * @property {number | null} lowFeet  null: from the surface
 * @property {number | null} highFeet  null: no top given
 * @property {number} from
 * @property {number} to
 * @property {number | null} forecastHour  G-AIRMETs: 0, 3, 6, 9 or 12
 * @property {string | null} product  G-AIRMETs: SIERRA, TANGO or ZULU
 * @property {string} detail
 * @property {'polygon' | 'line'} geometry
 * @property {[number, number][]} shape  [lat, lon] points
 * @property {string} raw
 */

/**
 * A forecast hour and a height band in feet.
 * @typedef {{forecastHour?: number, lowFeet?: number, highFeet?: number}} HazardFilter
 */

/**
 * Decodes a `hazards` reply {cwas, gairmets, sigmets, warnings} into {items, unavailable,
 * warnings, dropped}: items {kind ("sigmet", "convective-sigmet", "gairmet", "cwa"), hazard,
 * title, severity, lowFeet, highFeet (null when not given; a lowFeet of null means from the
 * surface up for drawing), from, to (ms), forecastHour (G-AIRMETs: 0, 3, 6, 9 or 12), product
 * (G-AIRMETs), detail, geometry ("polygon" closed, or "line"), shape [[lat, lon]], raw};
 * unavailable lists the products the host could not get (null or not a list), with the host's
 * warning texts passed on. Throws only on a reply that is not an object.
 * @param {any} reply
 * @returns {{items: HazardItem[], unavailable: string[], warnings: string[], dropped: number}}
 */
export function decodeHazards(reply) {
  if (!reply || typeof reply !== 'object' || Array.isArray(reply)) {
    throw new TypeError('Hazards reply is not an object');
  }
  const warnings = (Array.isArray(reply.warnings) ? reply.warnings : [])
      .filter((warning) => typeof warning === 'string').slice(0, 20);
  const items = [];
  const unavailable = [];
  let dropped = 0;
  for (const name of PRODUCTS) {
    const records = reply[name];
    if (!Array.isArray(records)) {
      unavailable.push(name);
      if (records !== null && records !== undefined) warnings.push(`${name}: not a list`);
      continue;
    }
    for (const record of records.slice(0, MAX_ITEMS)) {
      const item = record && typeof record === 'object' ? DECODERS[name](record) : null;
      if (item) items.push(item);
      else dropped++;
    }
  }
  return {items, unavailable, warnings, dropped};
}

/**
 * The items to draw for a G-AIRMET forecast hour and a height band {lowFeet, highFeet}: every
 * SIGMET and CWA, the G-AIRMETs of that hour, and only items reaching into the band (an item
 * without a low height starts at the surface, one without a high height has no top).
 * @param {HazardItem[]} items
 * @param {HazardFilter} [filter]  hour 0, band 0 to Infinity
 * @returns {HazardItem[]}
 */
export function hazardsFor(items, {forecastHour = 0, lowFeet = 0, highFeet = Infinity} = {}) {
  return items.filter((item) => (item.kind !== 'gairmet' || item.forecastHour === forecastHour) &&
      (item.lowFeet ?? 0) <= highFeet && (item.highFeet ?? Infinity) >= lowFeet);
}
