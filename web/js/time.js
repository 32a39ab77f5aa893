// Times as the services write them, and how old things are.

const MONTHS = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'];
const MINUTE = 60 * 1000;
const HOUR = 60 * MINUTE;

/** Milliseconds since 1970 from an ISO text or Unix seconds; NaN when it is neither. */
export function parseTime(value) {
  if (typeof value === 'number') return Number.isFinite(value) ? value * 1000 : NaN;
  if (typeof value !== 'string' || value.length > 64) return NaN;
  return Date.parse(value);
}

function pad(number) {
  return String(number).padStart(2, '0');
}

/** "17:57Z"; empty for an unknown time. */
export function formatClock(ms) {
  if (!Number.isFinite(ms)) return '';
  const date = new Date(ms);
  return `${pad(date.getUTCHours())}:${pad(date.getUTCMinutes())}Z`;
}

/** "Nov 20 17:57Z"; empty for an unknown time. */
export function formatDateTime(ms) {
  if (!Number.isFinite(ms)) return '';
  const date = new Date(ms);
  return `${MONTHS[date.getUTCMonth()]} ${date.getUTCDate()} ${formatClock(ms)}`;
}

/** "just now", "4 min ago", "2 h 5 min ago", "3 d ago"; "in 20 min" for future times. */
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
export function parseDuration(text) {
  const match = /^P(?:(\d+)D)?(?:T(?:(\d+)H)?(?:(\d+)M)?(?:(\d+)S)?)?$/.exec(text);
  if (!match || text === 'P' || text.endsWith('T')) return NaN;
  const [, days, hours, minutes, seconds] = match.map((part) => Number(part || 0));
  return ((days * 24 + hours) * 60 + minutes) * MINUTE + seconds * 1000;
}

/** The interval of a grid value, "2026-11-20T17:00:00+00:00/PT3H", as {start, end} in ms. */
export function parseValidTime(text) {
  if (typeof text !== 'string') return null;
  const [startText, durationText] = text.split('/');
  const start = Date.parse(startText);
  const duration = parseDuration(durationText || '');
  if (!Number.isFinite(start) || !Number.isFinite(duration)) return null;
  return {start, end: start + duration};
}

/** The local wall-clock hour written in a service time ("2026-11-20T10:00:00-07:00" → "10:00"). */
export function localHourText(iso) {
  const match = typeof iso === 'string' ? /T(\d\d):(\d\d)/.exec(iso) : null;
  return match ? `${match[1]}:${match[2]}` : '';
}

export {MINUTE, HOUR};
