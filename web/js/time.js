// Times as the services write them, and how old things are.
import {inSlices} from './slices.js';

const MONTHS = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'];
const MINUTE = 60 * 1000;
const HOUR = 60 * MINUTE;
const DAY = 24 * HOUR;
// Beyond ±8.64e15 ms the browser's date formatting throws; nothing formats a time outside it.
const DATE_RANGE_MS = 8.64e15;

const WEEKDAYS = ['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat'];

function pad(number) {
  return String(number).padStart(2, '0');
}

// Every time on the page is shown as the reader chose on the Units tab: in the local time of the
// place it belongs to ('local', named as "MST"), in UTC ('utc', written with a Z, as aviation
// does), or both ('both', "10:54 MST (17:54Z)", as pilots read them side by side). A time of no
// particular place (when data was fetched) is shown in this computer's zone.
/** The reader's choices. */
export const TIME_CHOICES = ['local', 'utc', 'both'];
let displayChoice = 'local';

/**
 * Chooses how every time is shown from now on: 'local', 'utc' or 'both'; anything else is 'local'.
 * @param {string} choice
 */
export function setTimeDisplay(choice) {
  displayChoice = TIME_CHOICES.includes(choice) ? choice : 'local';
}

/** The choice in force: 'local', 'utc' or 'both'. */
export function timeDisplay() {
  return displayChoice;
}

/** @type {Map<string, Intl.DateTimeFormat | null>} per IANA zone; null for one the browser lacks */
const zoneFormats = new Map();

function zoneFormat(zone) {
  if (!zoneFormats.has(zone)) {
    let format = null;
    try {
      format = new Intl.DateTimeFormat('en-US', {timeZone: zone, hourCycle: 'h23', year: 'numeric',
        month: 'numeric', day: 'numeric', weekday: 'short', hour: 'numeric', minute: 'numeric',
        timeZoneName: 'short'});
    } catch {
      // a zone newer than the browser's time zone data: its times show in UTC
    }
    zoneFormats.set(zone, format);
  }
  return zoneFormats.get(zone);
}

let computerZoneFormat = null;

/**
 * Sets up the formats of these zones now: the browser's first date format costs some 10–20 ms,
 * better spent while the page waits for its data than inside the first layer's drawing.
 * @param {string[]} zones
 */
export function prepareZones(zones) {
  for (const zone of zones) zoneFormat(zone);
}

/**
 * The calendar fields of a time: {year, month (0–11), day, weekday (0–6), hour, minute, zoneName},
 * so charts can find midnights and label hours in the zone the reader reads. `zone` is 'utc', an
 * IANA zone ("America/Denver"), or null or 'local' for this computer's; a zone the browser does not
 * know gives UTC.
 * @param {number} ms
 * @param {string | null} [zone=null]
 */
export function zonedParts(ms, zone = null) {
  const date = new Date(ms);
  const format = zone && zone !== 'utc' && zone !== 'local' ? zoneFormat(zone) : null;
  if (zone === 'utc' || (zone && zone !== 'local' && !format)) {
    return {year: date.getUTCFullYear(), month: date.getUTCMonth(), day: date.getUTCDate(),
      weekday: date.getUTCDay(), hour: date.getUTCHours(), minute: date.getUTCMinutes(), zoneName: 'Z'};
  }
  if (format) {
    const parts = Object.fromEntries(format.formatToParts(ms).map((part) => [part.type, part.value]));
    return {year: Number(parts.year), month: Number(parts.month) - 1, day: Number(parts.day),
      weekday: WEEKDAYS.indexOf(parts.weekday), hour: Number(parts.hour), minute: Number(parts.minute),
      zoneName: parts.timeZoneName || ''};
  }
  computerZoneFormat ||= new Intl.DateTimeFormat('en-US', {timeZoneName: 'short'});
  return {year: date.getFullYear(), month: date.getMonth(), day: date.getDate(),
    weekday: date.getDay(), hour: date.getHours(), minute: date.getMinutes(),
    zoneName: computerZoneFormat.formatToParts(ms).find((part) => part.type === 'timeZoneName')?.value || ''};
}

const clockOf = (parts) => `${pad(parts.hour)}:${pad(parts.minute)}${parts.zoneName === 'Z' ? 'Z' : ` ${parts.zoneName}`}`;
const dayOf = (parts) => `${WEEKDAYS[parts.weekday]} ${MONTHS[parts.month]} ${parts.day}`;

/**
 * How a time is written for a place, in the reader's choice: the one rule of every time shown.
 * `form` 'clock' gives "10:54 MST", 'day' "Fri Nov 20", 'datetime' "Fri Nov 20 10:54 MST"; with
 * the choice 'utc' "17:54Z", and with 'both' the local time followed by UTC ("10:54 MST (17:54Z)",
 * "(Sat 00:30Z)" when the UTC date is another). `zone` is the place's IANA zone; null for a time of
 * no particular place (this computer's zone). Empty for an unknown time.
 * @param {number} ms
 * @param {{form?: 'clock' | 'day' | 'datetime', zone?: string | null, choice?: string}} [how]
 *   form 'datetime', zone null, choice the reader's
 * @returns {string}
 */
export function formatTime(ms, {form = 'datetime', zone = null, choice = displayChoice} = {}) {
  if (!(Math.abs(ms) <= DATE_RANGE_MS)) return '';
  const parts = zonedParts(ms, choice === 'utc' ? 'utc' : zone);
  if (form === 'day') return dayOf(parts);
  const text = form === 'clock' ? clockOf(parts) : `${dayOf(parts)} ${clockOf(parts)}`;
  if (choice !== 'both' || parts.zoneName === 'Z') return text;
  const utc = zonedParts(ms, 'utc');
  const otherDay = utc.day !== parts.day;
  return `${text} (${otherDay ? `${WEEKDAYS[utc.weekday]} ` : ''}${clockOf(utc)})`;
}

// Shorthands of formatTime for times of no particular place, or with `where` the place's zone;
// 'utc' or 'local' there overrides the reader's choice instead.
const how = (form, where) => (where === 'utc' || where === 'local' ? {form, choice: where} :
  {form, zone: where || null});

/**
 * "17:57Z" or "10:57 MST"; empty for an unknown time.
 * @param {number} ms
 * @param {string | null} [where=null]  the place's zone, or 'utc' / 'local' for that choice
 * @returns {string}
 */
export function formatClock(ms, where = null) {
  return formatTime(ms, how('clock', where));
}

/**
 * "Fri Nov 20"; empty for an unknown time.
 * @param {number} ms
 * @param {string | null} [where=null]  the place's zone, or 'utc' / 'local' for that choice
 * @returns {string}
 */
export function formatDay(ms, where = null) {
  return formatTime(ms, how('day', where));
}

/**
 * "Fri Nov 20 17:57Z" or "Fri Nov 20 10:57 MST"; empty for an unknown time.
 * @param {number} ms
 * @param {string | null} [where=null]  the place's zone, or 'utc' / 'local' for that choice
 * @returns {string}
 */
export function formatDateTime(ms, where = null) {
  return formatTime(ms, how('datetime', where));
}

/**
 * "just now", "4 min ago", "2 h 5 min ago", "3 d ago"; "in 20 min" for future times.
 * @param {number} ageMs
 * @returns {string}
 */
export function formatAge(ageMs) {
  if (!Number.isFinite(ageMs)) return 'age unknown';
  const future = ageMs < -MINUTE;
  const span = Math.abs(ageMs);
  let text;
  if (span < MINUTE) {
    return 'just now';
  } else if (span < HOUR) {
    text = `${Math.floor(span / MINUTE)} min`;
  } else if (span < 48 * HOUR) {
    const minutes = Math.floor((span % HOUR) / MINUTE);
    text = `${Math.floor(span / HOUR)} h` + (minutes ? ` ${minutes} min` : '');
  } else {
    text = `${Math.floor(span / (24 * HOUR))} d`;
  }
  return future ? `in ${text}` : `${text} ago`;
}

/** An ISO 8601 duration such as PT3H or P7DT14H in milliseconds; NaN when unreadable. */
function parseDuration(text) {
  const match = /^P(?:(\d+)D)?(?:T(?:(\d+)H)?(?:(\d+)M)?(?:(\d+)S)?)?$/.exec(text);
  if (!match || text === 'P' || text.endsWith('T')) return NaN;
  const [, days, hours, minutes, seconds] = match.map((part) => Number(part || 0));
  return ((days * 24 + hours) * 60 + minutes) * MINUTE + seconds * 1000;
}

/**
 * The interval of a grid value, "2026-11-20T17:00:00+00:00/PT3H", as {start, end} in ms.
 * @param {any} text
 * @returns {{start: number, end: number} | null}
 */
export function parseValidTime(text) {
  if (typeof text !== 'string') return null;
  const [startText, durationText] = text.split('/');
  const start = Date.parse(startText);
  const duration = parseDuration(durationText || '');
  if (!Number.isFinite(start) || !Number.isFinite(duration)) return null;
  return {start, end: start + duration};
}


/**
 * The end of a span as read after its start: "17:00 MST" on the start's day as the reader reads
 * it, else with its date, "Sat Nov 21 01:00 MST"; empty for an unknown end.
 * @param {number} start  ms
 * @param {number} end  ms
 * @param {string | null} [zone=null]  the place's IANA zone (null: no particular place)
 * @returns {string}
 */
export function formatUntil(start, end, zone = null) {
  if (!(Math.abs(end) <= DATE_RANGE_MS)) return '';
  if (!(Math.abs(start) <= DATE_RANGE_MS)) start = NaN;
  const shown = displayChoice === 'utc' ? 'utc' : zone;
  const to = zonedParts(end, shown);
  const from = Number.isFinite(start) ? zonedParts(start, shown) : null;
  const sameDay = from !== null && from.year === to.year && from.month === to.month &&
      from.day === to.day;
  return formatTime(end, {form: sameDay ? 'clock' : 'datetime', zone});
}

// Every time read from a service passes one check: a time before the services existed in their
// present form, or further ahead than a forecast reaches, is a fault of the data, and the item
// holding it is left out and counted instead of being drawn with a wrong or unwritable date.
/** The earliest time a service's data may carry: 1990-01-01 UTC. */
export const EARLIEST_SERVICE_TIME = Date.UTC(1990, 0, 1);
/** How far after now a service's time may lie: reports (observations, issue times), forecasts. */
const SERVICE_TIME_LEAD_MS = {report: 10 * DAY, forecast: 30 * DAY};

/** A service's time outside the window; the item holding it is left out and counted. */
export class TimeOutOfRange extends RangeError {}

/**
 * A time read from a service, in ms, checked: NaN (not given) stays NaN; anything else must lie
 * from 1990 to now plus the kind's lead, or TimeOutOfRange is thrown.
 * @param {number} ms
 * @param {'report' | 'forecast'} kind
 * @param {number} now  ms
 * @returns {number}
 */
export function serviceTime(ms, kind, now) {
  if (Number.isNaN(ms)) return NaN;
  if (!(ms >= EARLIEST_SERVICE_TIME && ms <= now + SERVICE_TIME_LEAD_MS[kind])) {
    throw new TimeOutOfRange(`time ${ms} ms lies outside the data's possible range`);
  }
  return ms;
}

/**
 * decode(record, index) of each record, leaving out the nulls and the records with a time
 * outside the window, which are counted: {items, outOfRange}. Other errors pass.
 * @template R, T
 * @param {R[]} records
 * @param {(record: R, index: number) => T | null} decode
 * @returns {{items: T[], outOfRange: number}}
 */
export function decodeEach(records, decode) {
  const result = {items: [], outOfRange: 0};
  for (let index = 0; index < records.length; index++) decodeOne(result, records[index], index, decode);
  return result;
}

function decodeOne(result, record, index, decode) {
  try {
    const item = decode(record, index);
    if (item) result.items.push(item);
  } catch (error) {
    if (!(error instanceof TimeOutOfRange)) throw error;
    result.outOfRange++;
  }
}

/**
 * decodeEach in slices that give the browser the thread between them (slices.js).
 * @template R, T
 * @param {R[]} records
 * @param {(record: R, index: number) => T | null} decode
 * @returns {Promise<{items: T[], outOfRange: number}>}
 */
export async function decodeEachInSlices(records, decode) {
  const result = {items: [], outOfRange: 0};
  await inSlices(records.length, (index) => decodeOne(result, records[index], index, decode));
  return result;
}
