// Pilot reports: position, altitude, turbulence and icing, urgency and age.
import {decodeEach, decodeEachInSlices, serviceTime} from './time.js';
import {groupedNumber} from './units.js';

const text = (value) => (typeof value === 'string' ? value.trim() : '');
const finite = (value) => typeof value === 'number' && Number.isFinite(value);

// Intensity words in rising order; a report's symbol is drawn from the strongest one.
const TURBULENCE_RANKS = {NEG: 0, 'SMTH-LGT': 1, LGT: 1, 'LGT-MOD': 2, MOD: 2, 'MOD-SEV': 3,
  SEV: 3, 'SEV-EXTM': 4, EXTM: 4};
const ICING_RANKS = {NEG: 0, NEGclr: 0, TRC: 1, 'TRC-LGT': 1, LGT: 1, 'LGT-MOD': 2, MOD: 2,
  'MOD-SEV': 3, HVY: 3, SEV: 3};
const INTENSITY_NAMES = {NEG: 'none', 'SMTH-LGT': 'smooth to light', TRC: 'trace',
  'TRC-LGT': 'trace to light', LGT: 'light', 'LGT-MOD': 'light to moderate', MOD: 'moderate',
  'MOD-SEV': 'moderate to severe', HVY: 'heavy', SEV: 'severe', 'SEV-EXTM': 'severe to extreme',
  EXTM: 'extreme'};

function layer(record, prefix, index, ranks) {
  const intensity = text(record[`${prefix}Int${index}`]);
  const type = text(record[`${prefix}Type${index}`]);
  if (!intensity && !type) return null;
  const hundreds = (value) => (finite(value) ? value * 100 : null);  // bases and tops: 100s of ft
  return {
    intensity,
    intensityName: INTENSITY_NAMES[intensity] || intensity.toLowerCase(),
    rank: ranks[intensity] ?? (intensity ? 1 : 0),
    type,
    frequency: text(record[`${prefix}Freq${index}`]),
    base: hundreds(record[`${prefix}Bas${index}`]),
    top: hundreds(record[`${prefix}Top${index}`]),
  };
}

/**
 * One turbulence or icing layer of a report: heights in feet, null when not given.
 * @typedef {{intensity: string, intensityName: string, rank: number, type: string,
 *   frequency: string, base: number | null, top: number | null}} PirepLayerEntry
 */

/**
 * A pilot report in the page's shape: time in ms, altitude in feet (null when unknown).
 * @typedef {object} Pirep
 * @property {number} lat
 * @property {number} lon
 * @property {number} time
 * @property {string} kind  PIREP, Urgent PIREP or AIREP
 * @property {boolean} urgent
 * @property {string} aircraft
 * @property {number | null} altitude
 * @property {PirepLayerEntry[]} turbulence
 * @property {PirepLayerEntry[]} icing
 * @property {number} turbulenceRank  0 (none) to 4 (extreme)
 * @property {number} icingRank  0 (none) to 4
 * @property {number | null} temperature
 * @property {string} weather
 * @property {string} raw
 */

/** One pilot report in the page's shape, or null when it has no usable position. @returns {Pirep | null} */
function decodePirep(record, now) {
  if (!record || typeof record !== 'object') return null;
  const {lat, lon} = record;
  if (!finite(lat) || !finite(lon) || Math.abs(lat) > 90 || Math.abs(lon) > 180) return null;
  const kind = text(record.pirepType) || 'PIREP';
  const level = finite(record.fltLvl) ? record.fltLvl :
      /^\d{1,3}$/.test(text(record.fltLvl)) ? Number(record.fltLvl) : null;
  const turbulence = [1, 2].map((i) => layer(record, 'tb', i, TURBULENCE_RANKS)).filter(Boolean);
  const icing = [1, 2].map((i) => layer(record, 'icg', i, ICING_RANKS)).filter(Boolean);
  return {
    lat,
    lon,
    time: serviceTime(finite(record.obsTime) ? record.obsTime * 1000 : NaN, 'report', now),
    kind,
    urgent: /urgent/i.test(kind) || /\bUUA\b/.test(text(record.rawOb)),
    aircraft: text(record.acType),
    altitude: level !== null && level > 0 ? level * 100 : null,  // flight level: 100s of feet
    turbulence,
    icing,
    turbulenceRank: Math.max(0, ...turbulence.map((t) => t.rank)),
    icingRank: Math.max(0, ...icing.map((t) => t.rank)),
    temperature: finite(record.temp) ? record.temp : null,
    weather: text(record.wxString),
    raw: text(record.rawOb),
  };
}

/** Largest number of reports read from one reply. */
export const MAX_PIREPS = 5000;

/**
 * Decodes a `pireps` reply body: the reports, with how many records came (`received`; only
 * the first MAX_PIREPS are read) and how many had a time outside the data's range.
 * @param {any} body @param {number} [now=Date.now()]  ms, for the time check
 * @returns {Pirep[] & {received: number, outOfRange: number}}
 */
export function decodePireps(body, now = Date.now()) {
  if (!Array.isArray(body)) throw new TypeError('PIREP reply is not a list of reports');
  const {items, outOfRange} = decodeEach(body.slice(0, MAX_PIREPS), (record) => decodePirep(record, now));
  return Object.assign(items, {received: body.length, outOfRange});
}

/**
 * decodePireps in slices that give the browser the thread between them.
 * @param {any} body @param {number} [now=Date.now()]
 * @returns {Promise<Pirep[] & {received: number, outOfRange: number}>}
 */
export async function decodePirepsInSlices(body, now = Date.now()) {
  if (!Array.isArray(body)) throw new TypeError('PIREP reply is not a list of reports');
  const {items, outOfRange} = await decodeEachInSlices(body.slice(0, MAX_PIREPS), (record) => decodePirep(record, now));
  return Object.assign(items, {received: body.length, outOfRange});
}

/**
 * Opacity by age: full for the first half hour, fading to 0.35 at three hours.
 * @param {number} ageMs
 * @returns {number}
 */
export function pirepOpacity(ageMs) {
  const minutes = ageMs / 60000;
  if (!Number.isFinite(minutes) || minutes <= 30) return 1;
  return Math.max(0.35, 1 - ((minutes - 30) / 150) * 0.65);
}

/**
 * "occasional moderate chop 10,000–14,000 ft" for one turbulence or icing layer.
 * @param {PirepLayerEntry} entry
 * @returns {string}
 */
export function describeLayer(entry) {
  const parts = [entry.intensityName || 'unreported'];
  const type = {CHOP: 'chop', CAT: 'clear-air turbulence', LLWS: 'low-level wind shear',
    MWAVE: 'mountain wave', RIME: 'rime', CLEAR: 'clear', CLR: 'clear', MIXED: 'mixed',
    MX: 'mixed'}[entry.type] || entry.type.toLowerCase();
  if (entry.frequency) parts.unshift({ISOL: 'isolated', OCNL: 'occasional', CONT: 'continuous',
    INT: 'intermittent'}[entry.frequency] || entry.frequency.toLowerCase());
  if (type) parts.push(type);
  const range = [entry.base, entry.top].map((v) => (v === null ? '' : groupedNumber(v)));
  if (range[0] || range[1]) parts.push(`${range[0] || 'SFC'}–${range[1] || '?'} ft`);
  return parts.join(' ');
}
