// Times as the services write them, and how old things are.

const MONTHS = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'];
const MINUTE = 60 * 1000;
const HOUR = 60 * MINUTE;

const WEEKDAYS = ['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat'];

function pad(number) {
  return String(number).padStart(2, '0');
}

// Every time on the page is shown in one zone, the reader's choice: 'local' (this computer's
// time zone, named as "MST") or 'utc' (written with a Z, as aviation does).
let displayZone = 'local';

/**
 * Chooses the zone of every time shown from now on: 'local' or 'utc'.
 * @param {string} zone
 */
export function setTimeDisplay(zone) {
  displayZone = zone === 'utc' ? 'utc' : 'local';
}

let zoneNameFormat = null;

/** The short name of the local zone at a time ("MST", "PDT", or "GMT-7" where none exists). */
function localZoneName(ms) {
  zoneNameFormat ||= new Intl.DateTimeFormat('en-US', {timeZoneName: 'short'});
  return zoneNameFormat.formatToParts(ms).find((part) => part.type === 'timeZoneName')?.value || '';
}

/**
 * The calendar fields of a time in the chosen zone: {year, month (0–11), day, weekday (0–6),
 * hour, minute}, so charts can find midnights and label hours in the zone the reader reads.
 * @param {number} ms
 * @param {string} [zone]  the chosen zone by default
 */
export function zonedParts(ms, zone = displayZone) {
  const date = new Date(ms);
  if (zone === 'utc') {
    return {year: date.getUTCFullYear(), month: date.getUTCMonth(), day: date.getUTCDate(),
      weekday: date.getUTCDay(), hour: date.getUTCHours(), minute: date.getUTCMinutes()};
  }
  return {year: date.getFullYear(), month: date.getMonth(), day: date.getDate(),
    weekday: date.getDay(), hour: date.getHours(), minute: date.getMinutes()};
}

/** The suffix naming the zone: "Z" for UTC, " MST" for local. */
function zoneSuffix(ms, zone = displayZone) {
  return zone === 'utc' ? 'Z' : ` ${localZoneName(ms)}`;
}

/**
 * "17:57Z" or "10:57 MST"; empty for an unknown time.
 * @param {number} ms
 * @param {string} [zone]  the chosen zone by default
 * @returns {string}
 */
export function formatClock(ms, zone = displayZone) {
  if (!Number.isFinite(ms)) return '';
  const parts = zonedParts(ms, zone);
  return `${pad(parts.hour)}:${pad(parts.minute)}${zoneSuffix(ms, zone)}`;
}

/**
 * "Fri Nov 20" in the chosen zone; empty for an unknown time.
 * @param {number} ms
 * @param {string} [zone]  the chosen zone by default
 * @returns {string}
 */
export function formatDay(ms, zone = displayZone) {
  if (!Number.isFinite(ms)) return '';
  const parts = zonedParts(ms, zone);
  return `${WEEKDAYS[parts.weekday]} ${MONTHS[parts.month]} ${parts.day}`;
}

/**
 * "Fri Nov 20 17:57Z" or "Fri Nov 20 10:57 MST"; empty for an unknown time.
 * @param {number} ms
 * @param {string} [zone]  the chosen zone by default
 * @returns {string}
 */
export function formatDateTime(ms, zone = displayZone) {
  if (!Number.isFinite(ms)) return '';
  return `${formatDay(ms, zone)} ${formatClock(ms, zone)}`;
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
 * The end of a span as read after its start: "17:00 MST" on the start's day in the chosen zone,
 * else with its date, "Sat Nov 21 01:00 MST"; empty for an unknown end.
 * @param {number} start  ms
 * @param {number} end  ms
 * @param {string} [zone]  the chosen zone by default
 * @returns {string}
 */
export function formatUntil(start, end, zone = displayZone) {
  if (!Number.isFinite(end)) return '';
  const from = zonedParts(start, zone);
  const to = zonedParts(end, zone);
  const sameDay = Number.isFinite(start) && from.year === to.year && from.month === to.month &&
      from.day === to.day;
  return sameDay ? formatClock(end, zone) : formatDateTime(end, zone);
}
