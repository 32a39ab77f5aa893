// Aviation hazards of the `hazards` reply (domestic SIGMETs, G-AIRMETs, Center Weather
// Advisories) in one shape for the map: what, how bad, between which heights, when, and where.
// The three products disagree on names and types (G-AIRMET coordinates as text, heights as
// "FL180", "400" or "SFC", two spellings of SIGMET low altitudes), so every member is checked;
// an item that cannot be drawn is dropped and counted, never thrown on.

import {METAR_AREA} from './geo.js';
import {TimeOutOfRange, serviceTime} from './time.js';
import {inSlices, yieldToBrowser} from './slices.js';

const PRODUCTS = ['sigmets', 'gairmets', 'cwas'];
const FORECAST_HOURS = [0, 3, 6, 9, 12];
const G_AIRMET_PRODUCTS = new Set(['SIERRA', 'TANGO', 'ZULU']);
/** The most items taken from one product of a reply, and the most points of one area. */
export const MAX_ITEMS = 2000;
const MAX_POINTS = 500;
const MINUTE = 60000;
/**
 * A G-AIRMET snapshot pictures the hazards at its valid time and stands for the hour and a half
 * either side of it, half the three hours to the next snapshot.
 */
export const SNAPSHOT_HALF_WINDOW_MS = 90 * MINUTE;
// Bases written as the freezing level: its height is not given, and may be the surface.
const FREEZING_LEVEL = /^(?:FRZLVL|FZLVL|FZL)$/;
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

const isFreezingLevel = (value) => FREEZING_LEVEL.test(text(value).toUpperCase());
const BOX_MIDDLE = (METAR_AREA.west + METAR_AREA.east) / 2;

/**
 * [[lat, lon]] from [{lat, lon}] (numbers or numeric text), its longitudes unwrapped: an area
 * across the antimeridian (179° E to 179° W) runs on to 181° rather than back across the whole
 * map, and the shape is moved by whole turns to lie nearest the western box, so drawing and the
 * point-in-area test both see it where it is. null if any point is unusable.
 */
function points(coords) {
  if (!Array.isArray(coords) || coords.length > MAX_POINTS) return null;
  const result = [];
  let sum = 0;
  for (const point of coords) {
    const lat = number(point?.lat);
    let lon = number(point?.lon);
    if (!(Math.abs(lat) <= 90 && Math.abs(lon) <= 180)) return null;
    const previous = result.length ? result.at(-1)[1] : lon;
    lon += 360 * Math.round((previous - lon) / 360);
    result.push([lat, lon]);
    sum += lon;
  }
  const turn = 360 * Math.round((BOX_MIDDLE - sum / (result.length || 1)) / 360);
  if (turn) for (const point of result) point[1] += turn;
  return result;
}

/** Whether a shape's bounding box meets the western box the map covers. @param {[number, number][]} shape */
function meetsWesternBox(shape) {
  const lats = shape.map((p) => p[0]);
  const lons = shape.map((p) => p[1]);
  return Math.max(...lats) >= METAR_AREA.south && Math.min(...lats) <= METAR_AREA.north &&
      Math.max(...lons) >= METAR_AREA.west && Math.min(...lons) <= METAR_AREA.east;
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

function sigmet(record, now) {
  const hazard = text(record.hazard).toUpperCase();
  const convective = hazard === 'CONVECTIVE';
  const qualifier = text(record.qualifier);
  const drawn = shapeOf(record.coords, qualifier === 'LINE');
  if (!hazard || !drawn) return null;
  const series = text(record.seriesId) || String(record.seriesId ?? '');
  const letter = text(record.alphaChar).toUpperCase();
  const low = (n) => record[`altitudeLow${n}`] ?? record[`altitudeLo${n}`];
  return {
    kind: convective ? 'convective-sigmet' : 'sigmet',
    hazard,
    title: convective ? `Convective SIGMET ${series}` :
      `SIGMET ${PHONETIC[letter] || letter} ${series}`.replace(/\s+/g, ' ').trim(),
    severity: convective ? null : qualifier || null,
    lowFeet: lowest(parseHeight(low(1)), parseHeight(low(2))),
    highFeet: highest(parseHeight(record.altitudeHi1), parseHeight(record.altitudeHi2)),
    lowFreezingLevel: isFreezingLevel(low(1)) || isFreezingLevel(low(2)),
    from: serviceTime(seconds(record.validTimeFrom), 'forecast', now),
    to: serviceTime(seconds(record.validTimeTo), 'forecast', now),
    validTime: null,
    forecastHour: null,
    product: null,
    issued: serviceTime(Date.parse(text(record.creationTime) || text(record.receiptTime)), 'report', now),
    issuer: text(record.icaoId).toUpperCase(),
    detail: finite(record.movementDir) && finite(record.movementSpd) ?
      `moving from ${record.movementDir}° at ${record.movementSpd} kt` : '',
    ...drawn,
    raw: typeof record.rawAirSigmet === 'string' ? record.rawAirSigmet : '',
  };
}

function gairmet(record, now) {
  const hazard = text(record.hazard).toUpperCase();
  const product = text(record.product).toUpperCase();
  const forecastHour = FORECAST_HOURS.includes(record.forecastHour) ? record.forecastHour : null;
  const drawn = shapeOf(record.coords, text(record.geometryType ?? record.geom).toUpperCase() === 'LINE');
  const valid = serviceTime(Date.parse(text(record.validTime)), 'forecast', now);
  if (!hazard || !G_AIRMET_PRODUCTS.has(product) || forecastHour === null || !drawn ||
      !Number.isFinite(valid)) {
    return null;
  }
  const height = (value) => parseHeight(value, {numbersInHundreds: true});
  const level = height(record.level);
  const tag = text(record.tag);
  return {
    kind: 'gairmet',
    hazard,
    title: `G-AIRMET ${product[0]}${product.slice(1).toLowerCase()}${tag ? ` ${tag}` : ''}`,
    severity: text(record.severity) || null,
    lowFeet: level ?? lowest(height(record.base), height(record.fzlbase)),
    highFeet: level ?? highest(height(record.top), height(record.fzltop)),
    lowFreezingLevel: level === null && isFreezingLevel(record.base),
    from: valid - SNAPSHOT_HALF_WINDOW_MS,
    to: valid + SNAPSHOT_HALF_WINDOW_MS,
    validTime: valid,
    forecastHour,
    product,
    issued: serviceTime(seconds(record.issueTime), 'report', now),
    issuer: '',
    detail: text(record.due_to),
    ...drawn,
    raw: '',
  };
}

function cwa(record, now) {
  const hazard = text(record.hazard).toUpperCase();
  const drawn = shapeOf(record.coords, text(record.geom).toUpperCase() === 'LINE');
  if (!hazard || !drawn) return null;
  const center = text(record.cwsu).toUpperCase();
  const series = text(String(record.seriesId ?? ''));
  const name = text(record.name);
  return {
    kind: 'cwa',
    hazard,
    title: `CWA ${center}${series ? ` ${series}` : ''}`,
    severity: text(record.qualifier) || null,
    lowFeet: parseHeight(record.base),
    highFeet: parseHeight(record.top),
    lowFreezingLevel: isFreezingLevel(record.base),
    from: serviceTime(seconds(record.validTimeFrom), 'forecast', now),
    to: serviceTime(seconds(record.validTimeTo), 'forecast', now),
    validTime: null,
    forecastHour: null,
    product: null,
    issued: serviceTime(Date.parse(text(record.receiptTime)), 'report', now),
    issuer: name && center ? `${name} (${center})` : name || center,
    detail: '',
    ...drawn,
    raw: typeof record.rawText === 'string' ? record.rawText : '',
  };
}

const DECODERS = {sigmets: sigmet, gairmets: gairmet, cwas: cwa};

/**
 * An aviation hazard in the page's shape (see decodeHazards).
 * @typedef {object} HazardItem
 * @property {'sigmet' | 'convective-sigmet' | 'gairmet' | 'cwa'} kind
 * @property {string} hazard  as the product writes it: "TURB", "MT_OBSC", "CONVECTIVE"…
 * @property {string} title
 * @property {string | null} severity
 * @property {number | null} lowFeet  null: from the surface, or from the freezing level
 * @property {number | null} highFeet  null: no top given
 * @property {boolean} lowFreezingLevel  the base is the freezing level
 * @property {number} from  ms; a G-AIRMET's from its snapshot's window
 * @property {number} to
 * @property {number | null} validTime  G-AIRMETs: the time the snapshot pictures
 * @property {number | null} forecastHour  G-AIRMETs: 0, 3, 6, 9 or 12
 * @property {string | null} product  G-AIRMETs: SIERRA, TANGO or ZULU
 * @property {number} issued  ms, NaN when not given
 * @property {string} issuer  "KKCI", "Salt Lake City Center (ZLC)", or empty
 * @property {string} detail
 * @property {'polygon' | 'line'} geometry
 * @property {[number, number][]} shape  [lat, lon] points, longitudes unwrapped
 * @property {string} raw
 */

/**
 * What one product of a reply held and what of it the page could not use.
 * @typedef {{received: number, undrawable: number, outside: number, outOfRange: number}} ProductCount
 */

/**
 * The G-AIRMET snapshot (its valid time) and a height band in feet.
 * @typedef {{validTime?: number | null, lowFeet?: number, highFeet?: number}} HazardFilter
 */

/**
 * Decodes a `hazards` reply {cwas, gairmets, sigmets, warnings} into {items, unavailable,
 * warnings, dropped, counts}: items as HazardItem; unavailable lists the products the host could
 * not get (null or not a list), with the host's warning texts passed on; counts per product: how
 * many records came (only the first MAX_ITEMS are read), how many could not be drawn (dropped
 * counts those of all products), how many lie wholly outside the western box and how many carry
 * a time outside the data's possible range (both left out too).
 * Throws only on a reply that is not an object.
 * @param {any} reply
 * @param {number} [now=Date.now()]  ms, for the time check
 * @returns {{items: HazardItem[], unavailable: string[], warnings: string[], dropped: number,
 *   counts: Record<string, ProductCount>}}
 */
export function decodeHazards(reply, now = Date.now()) {
  const decoding = startDecoding(reply, now);
  for (const [name, record] of decoding.records) decoding.take(name, record);
  return decoding.result();
}

/**
 * decodeHazards in slices that give the browser the thread between them (slices.js): a reply
 * of megabytes holds thousands of areas.
 * @param {any} reply
 * @param {number} [now=Date.now()]
 * @returns {Promise<ReturnType<typeof decodeHazards>>}
 */
export async function decodeHazardsInSlices(reply, now = Date.now()) {
  // Not in the task that delivered the reply, which has read megabytes of text already.
  await yieldToBrowser();
  const decoding = startDecoding(reply, now);
  await inSlices(decoding.records.length, (index) => decoding.take(...decoding.records[index]));
  return decoding.result();
}

/** The reply checked and its records listed: take() decodes one, result() gives what was taken. */
function startDecoding(reply, now) {
  if (!reply || typeof reply !== 'object' || Array.isArray(reply)) {
    throw new TypeError('Hazards reply is not an object');
  }
  const warnings = (Array.isArray(reply.warnings) ? reply.warnings : [])
      .filter((warning) => typeof warning === 'string').slice(0, 20);
  const items = [];
  const unavailable = [];
  /** @type {Record<string, ProductCount>} */
  const counts = {};
  /** @type {[string, any][]} */
  const records = [];
  for (const name of PRODUCTS) {
    const list = reply[name];
    if (!Array.isArray(list)) {
      unavailable.push(name);
      if (list !== null && list !== undefined) warnings.push(`${name}: not a list`);
      continue;
    }
    counts[name] = {received: list.length, undrawable: 0, outside: 0, outOfRange: 0};
    for (const record of list.slice(0, MAX_ITEMS)) records.push([name, record]);
  }
  /** @param {string} name @param {any} record */
  const take = (name, record) => {
    const count = counts[name];
    let item;
    try {
      item = record && typeof record === 'object' ? DECODERS[name](record, now) : null;
    } catch (error) {
      if (!(error instanceof TimeOutOfRange)) throw error;
      count.outOfRange++;
      return;
    }
    if (!item) count.undrawable++;
    else if (!meetsWesternBox(item.shape)) count.outside++;
    else items.push(item);
  };
  const result = () => ({items, unavailable, warnings, counts,
    dropped: Object.values(counts).reduce((total, count) => total + count.undrawable, 0)});
  return {records, take, result};
}

/**
 * The heights an item covers: {lowFeet, highFeet, base}. base 'surface' when it starts at the
 * ground (written so, or no base given), 'freezing level' when it starts there (lowFeet 0 then,
 * since the item does not say how high that is and it may be the ground), else 'height'; highFeet
 * null when no top is given. For the map's filter, its labels and a route's profile alike.
 * @param {HazardItem} item
 * @returns {{lowFeet: number, highFeet: number | null, base: 'surface' | 'freezing level' | 'height'}}
 */
export function altitudeBand(item) {
  const base = item.lowFreezingLevel && item.lowFeet === null ? 'freezing level' :
      item.lowFeet === null || item.lowFeet === 0 ? 'surface' : 'height';
  return {lowFeet: item.lowFeet ?? 0, highFeet: item.highFeet, base};
}

/** Whether an item's band reaches into lowFeet–highFeet. */
function inBand(item, lowFeet, highFeet) {
  const band = altitudeBand(item);
  return band.lowFeet <= highFeet && (band.highFeet ?? Infinity) >= lowFeet;
}

/**
 * The valid times of the G-AIRMET snapshots among the items, earliest first.
 * @param {HazardItem[]} items
 * @returns {number[]}
 */
export function snapshotTimes(items) {
  const times = new Set(items.filter((item) => item.kind === 'gairmet').map((item) => item.validTime));
  return [...times].sort((a, b) => a - b);
}

/**
 * The valid time of the G-AIRMET snapshot that pictures `time`: the latest whose window has begun
 * (the nearest valid time not after `time`, or the next one once `time` is within its window);
 * the earliest before any window; null without G-AIRMETs. For the map's "now" and for the time a
 * flight passes.
 * @param {HazardItem[]} items
 * @param {number} time  ms
 * @returns {number | null}
 */
export function snapshotAt(items, time) {
  const times = snapshotTimes(items);
  if (!times.length) return null;
  return times.filter((valid) => valid - SNAPSHOT_HALF_WINDOW_MS <= time).at(-1) ?? times[0];
}

/**
 * The SIGMETs and CWAs past their end at `now` (ended) and everything else (current); a G-AIRMET
 * never ends here: the chosen snapshot decides which are drawn.
 * @param {HazardItem[]} items
 * @param {number} now
 * @returns {{current: HazardItem[], ended: HazardItem[]}}
 */
export function splitEnded(items, now) {
  const current = [];
  const ended = [];
  for (const item of items) {
    (item.kind !== 'gairmet' && item.to <= now ? ended : current).push(item);
  }
  return {current, ended};
}

/**
 * The items to draw for a G-AIRMET snapshot and a height band {lowFeet, highFeet}: every SIGMET
 * and CWA given, the G-AIRMETs of that snapshot, and only items reaching into the band.
 * @param {HazardItem[]} items
 * @param {HazardFilter} [filter]  no snapshot, band 0 to Infinity
 * @returns {HazardItem[]}
 */
export function hazardsFor(items, {validTime = null, lowFeet = 0, highFeet = Infinity} = {}) {
  return items.filter((item) => (item.kind !== 'gairmet' || item.validTime === validTime) &&
      inBand(item, lowFeet, highFeet));
}

/**
 * The hazards in force at one time in a height band: SIGMETs and CWAs valid then (a time not
 * given leaves that side open) and the G-AIRMETs of the snapshot picturing it, e.g. where a
 * flight passes.
 * @param {HazardItem[]} items
 * @param {number} time  ms
 * @param {{lowFeet?: number, highFeet?: number}} [band]  0 to Infinity
 * @returns {HazardItem[]}
 */
export function hazardsAt(items, time, {lowFeet = 0, highFeet = Infinity} = {}) {
  const validTime = snapshotAt(items, time);
  return hazardsFor(items.filter((item) => item.kind === 'gairmet' ||
      (!(item.from > time) && !(item.to <= time))), {validTime, lowFeet, highFeet});
}
