// METAR records of the aviation weather service: flight category and a plain-language decoding.
// Members may be missing, and numbers and texts swap places ("10+", "VRB"), so every member is
// checked before use.
import {decodeEach, decodeEachInSlices, serviceTime} from './time.js';

export const CATEGORIES = ['VFR', 'MVFR', 'IFR', 'LIFR'];

const CEILING_COVERS = new Set(['BKN', 'OVC', 'OVX', 'VV']);
const CLOUD_TYPES = new Set(['CB', 'TCU']);
const COVER_NAMES = {
  SKC: 'sky clear', CLR: 'clear', CAVOK: 'ceiling and visibility OK', NSC: 'no significant cloud',
  FEW: 'few', SCT: 'scattered', BKN: 'broken', OVC: 'overcast', OVX: 'sky obscured',
  VV: 'vertical visibility',
};
const WEATHER_WORDS = {
  MI: 'shallow', PR: 'partial', BC: 'patches of', DR: 'low drifting', BL: 'blowing',
  SH: 'showers', TS: 'thunderstorm', FZ: 'freezing', DZ: 'drizzle', RA: 'rain', SN: 'snow',
  SG: 'snow grains', IC: 'ice crystals', PL: 'ice pellets', GR: 'hail', GS: 'small hail',
  UP: 'unknown precipitation', BR: 'mist', FG: 'fog', FU: 'smoke', VA: 'volcanic ash',
  DU: 'dust', SA: 'sand', HZ: 'haze', PY: 'spray', PO: 'dust whirls', SQ: 'squalls',
  FC: 'funnel cloud', SS: 'sandstorm', DS: 'duststorm',
};

const finite = (value) => typeof value === 'number' && Number.isFinite(value);
const text = (value) => (typeof value === 'string' ? value : '');

/**
 * Visibility as {miles, orMore}: numbers, "10+", "6+", "1 1/2", "1/4"; null when unreadable.
 * @param {any} visib
 * @returns {{miles: number, orMore: boolean} | null}
 */
export function parseVisibility(visib) {
  if (finite(visib)) return visib >= 0 ? {miles: visib, orMore: false} : null;
  if (typeof visib !== 'string') return null;
  const match = /^\s*(?:(\d+)\s+)?(\d+(?:\.\d+)?)(?:\/(\d+))?\s*(\+)?\s*$/.exec(visib);
  if (!match) return null;
  const [, whole, number, denominator, plus] = match;
  let miles = Number(number);
  if (denominator) miles /= Number(denominator) || NaN;
  if (whole) miles += Number(whole);
  return Number.isFinite(miles) ? {miles, orMore: Boolean(plus)} : null;
}

/**
 * The cloud layers of a METAR record or a TAF group as [{cover, base}], base in feet (null when
 * not given); with `types` also the cloud type, "CB", "TCU" or null.
 * @param {{clouds?: any} | null | undefined} record
 * @returns {{cover: string, base: number | null, type?: string | null}[]}
 */
export function cloudLayers(record, {types = false} = {}) {
  const layers = Array.isArray(record?.clouds) ? record.clouds : [];
  const result = [];
  for (const layer of layers.slice(0, 12)) {
    if (!layer || typeof layer.cover !== 'string') continue;
    const base = finite(layer.base) ? layer.base : null;
    result.push(types ? {cover: layer.cover, base, type: CLOUD_TYPES.has(layer.type) ? layer.type : null} :
      {cover: layer.cover, base});
  }
  return result;
}

/**
 * The ceiling in feet: the lowest broken, overcast or obscured layer; null when there is none.
 * @param {{clouds?: any, vertVis?: any} | null | undefined} record
 * @returns {number | null}
 */
export function ceilingFeet(record) {
  let ceiling = null;
  for (const layer of cloudLayers(record)) {
    if (CEILING_COVERS.has(layer.cover) && layer.base !== null) {
      ceiling = ceiling === null ? layer.base : Math.min(ceiling, layer.base);
    }
  }
  if (finite(record?.vertVis)) ceiling = ceiling === null ? record.vertVis : Math.min(ceiling, record.vertVis);
  return ceiling;
}

/**
 * The category from ceiling (feet) and visibility (miles); the worse of the two decides.
 * @param {number | null | undefined} ceiling
 * @param {number | null | undefined} miles
 * @returns {string | null}
 */
export function categoryFrom(ceiling, miles) {
  const hasCeiling = finite(ceiling);
  const hasVisibility = finite(miles);
  if (!hasCeiling && !hasVisibility) return null;
  if ((hasCeiling && ceiling < 500) || (hasVisibility && miles < 1)) return 'LIFR';
  if ((hasCeiling && ceiling < 1000) || (hasVisibility && miles < 3)) return 'IFR';
  if ((hasCeiling && ceiling <= 3000) || (hasVisibility && miles <= 5)) return 'MVFR';
  return 'VFR';
}

/** The record's own "fltCat" when it is one of the four, else derived; null when unknown. */
function flightCategory(record) {
  if (CATEGORIES.includes(record?.fltCat)) return record.fltCat;
  return categoryFrom(ceilingFeet(record), parseVisibility(record?.visib)?.miles);
}

/**
 * "-SHRA BR" → "light rain showers; mist"; groups it cannot read are shown as written.
 * @param {any} wxString
 * @returns {string}
 */
export function describeWeather(wxString) {
  const groups = text(wxString).trim().split(/\s+/).filter(Boolean).slice(0, 8);
  return groups.map((group) => describeGroup(group) || group).join('; ');
}

function describeGroup(group) {
  const match = /^([-+]|VC)?((?:[A-Z]{2})+)$/.exec(group);
  if (!match) return '';
  const prefix = match[1] || '';
  const intensity = prefix === '-' ? 'light ' : prefix === '+' ? 'heavy ' : '';
  const codes = match[2].match(/../g);
  if (!codes.every((code) => code in WEATHER_WORDS)) return '';
  const thunder = codes.includes('TS');
  const showers = codes.includes('SH');
  const words = codes.filter((code) => code !== 'TS' && code !== 'SH').map((c) => WEATHER_WORDS[c]);
  let phrase;
  if (thunder) {
    phrase = 'thunderstorm' + (words.length ? ` with ${intensity}${words.join(' ')}` : '');
    if (!words.length && intensity) phrase = intensity + phrase;
  } else if (showers) {
    phrase = `${intensity}${words.join(' ')}${words.length ? ' ' : ''}showers`;
  } else {
    phrase = intensity + words.join(' ');
  }
  return prefix === 'VC' ? `${phrase} in the vicinity` : phrase;
}

/**
 * Plain name of a cloud cover code.
 * @param {string} cover
 * @returns {string}
 */
export function coverName(cover) {
  return COVER_NAMES[cover] || cover;
}

/**
 * A station's report in the page's own shape. Units: °C, knots, statute miles, feet, hPa, ms
 * since 1970; null (NaN for the time) when not reported.
 * @typedef {object} Station
 * @property {string} id
 * @property {string} name
 * @property {number} lat
 * @property {number} lon
 * @property {number} time
 * @property {string} raw
 * @property {string} type  METAR or SPECI
 * @property {string | null} category  VFR, MVFR, IFR or LIFR
 * @property {boolean} categoryGiven  the record's own category, not derived
 * @property {{direction: number | 'VRB' | null, speed: number | null, gust: number | null, calm: boolean}} wind
 * @property {{miles: number, orMore: boolean} | null} visibility
 * @property {string} weather  in words
 * @property {string} weatherCode  as written
 * @property {{cover: string, base: number | null}[]} clouds
 * @property {number | null} ceiling
 * @property {number | null} temperature
 * @property {number | null} dewpoint
 * @property {number | null} altimeter
 * @property {number | null} elevation  feet above sea level
 */

/**
 * One station report in the page's shape, or null when it cannot be placed on the map
 * (no identifier or no position); a time outside the data's range throws TimeOutOfRange.
 * @param {any} record @param {number} now
 * @returns {Station | null}
 */
function decodeMetar(record, now) {
  if (!record || typeof record !== 'object') return null;
  const id = text(record.icaoId).trim().toUpperCase();
  const {lat, lon} = record;
  if (!id || id.length > 12 || !finite(lat) || !finite(lon) || Math.abs(lat) > 90 ||
      Math.abs(lon) > 180) {
    return null;
  }
  const visibility = parseVisibility(record.visib);
  const direction = record.wdir === 'VRB' ? 'VRB' : finite(record.wdir) ? record.wdir : null;
  const speed = finite(record.wspd) ? record.wspd : null;
  return {
    id,
    name: text(record.name),
    lat,
    lon,
    time: serviceTime(finite(record.obsTime) ? record.obsTime * 1000 : NaN, 'report', now),
    raw: text(record.rawOb),
    type: text(record.metarType),
    category: flightCategory(record),
    categoryGiven: CATEGORIES.includes(record.fltCat),
    wind: {
      direction,
      speed,
      gust: finite(record.wgst) ? record.wgst : null,
      calm: speed === 0,
    },
    visibility,
    weather: describeWeather(record.wxString),
    weatherCode: text(record.wxString),
    clouds: cloudLayers(record),
    ceiling: ceilingFeet(record),
    temperature: finite(record.temp) ? record.temp : null,
    dewpoint: finite(record.dewp) ? record.dewp : null,
    altimeter: finite(record.altim) ? record.altim : null,
    elevation: finite(record.elev) ? Math.round(record.elev / 0.3048) : null,
  };
}

/** Largest number of reports the page keeps from one reply, so a runaway reply cannot stall it. */
export const MAX_STATIONS = 20000;

/**
 * One record per station from `records` in order, each station where it first appears: a later
 * record takes its station's place unless the one held is newer by `time` (so of two equally
 * old, and of two without a time, the later wins).
 * @template R
 * @param {Iterable<R>} records
 * @param {(record: R) => string} id
 * @param {(record: R) => number} time
 * @returns {R[]}
 */
export function newestPerStation(records, id, time) {
  const stations = new Map();
  for (const record of records) {
    const known = stations.get(id(record));
    if (!known || !(time(known) > time(record))) stations.set(id(record), record);
  }
  return [...stations.values()];
}

/**
 * The most records the aviation service sends in one reply. Assumed: AWC says only that replies
 * are capped; 400 is the figure its clients and one secondary profile give.
 */
export const METAR_REPLY_CAP = 400;

/** Whether a reply holds as many records as the service sends at most. @param {any[] & {received?: number}} list */
export const fullReply = (list) => (list.received ?? list.length) >= METAR_REPLY_CAP;

/**
 * The stations of a reply, and what of it the page left out: `received` records came (only the
 * first MAX_STATIONS are read), `outOfRange` had a time outside the data's possible range.
 * @typedef {Station[] & {received: number, outOfRange: number}} StationList
 */

/**
 * Decodes a `metars` reply body: one entry per station, the newest report winning.
 * @param {any} body @param {number} [now=Date.now()]  ms, for the time check
 * @returns {StationList}
 */
export function decodeMetars(body, now = Date.now()) {
  if (!Array.isArray(body)) throw new TypeError('METAR reply is not a list of reports');
  return stationList(body, decodeEach(body.slice(0, MAX_STATIONS), (record) => decodeMetar(record, now)));
}

/**
 * decodeMetars in slices that give the browser the thread between them.
 * @param {any} body @param {number} [now=Date.now()]
 * @returns {Promise<StationList>}
 */
export async function decodeMetarsInSlices(body, now = Date.now()) {
  if (!Array.isArray(body)) throw new TypeError('METAR reply is not a list of reports');
  return stationList(body, await decodeEachInSlices(body.slice(0, MAX_STATIONS), (record) => decodeMetar(record, now)));
}

/** @returns {StationList} */
function stationList(body, {items, outOfRange}) {
  return Object.assign(newestPerStation(items, (station) => station.id, (station) => station.time),
      {received: body.length, outOfRange});
}
