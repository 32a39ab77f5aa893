// Which frames an imagery layer shows: its newest listed time and how old that is, and the frames
// of a loop (its length, its step snapped to listed times). Only listed times are ever chosen.

const MINUTE = 60000;

/**
 * What each imagery source allows: older than staleMs is marked stale, older than goneMs is not
 * drawn; the loop lengths and steps offered (a step of 0: every listed time).
 */
export const SOURCES = {
  radar: {label: 'Radar', staleMs: 10 * MINUTE, goneMs: 60 * MINUTE, refreshMs: 2 * MINUTE,
    lengths: [60 * MINUTE, 120 * MINUTE], steps: [0, 5 * MINUTE, 10 * MINUTE]},
  satellite: {label: 'Satellite', staleMs: 60 * MINUTE, goneMs: 180 * MINUTE, refreshMs: 10 * MINUTE,
    lengths: [180 * MINUTE, 360 * MINUTE], steps: [0]},
};

/**
 * How current the newest frame is: 'current', 'stale' (older than staleMs) or 'gone' (older than
 * goneMs, or no frame at all: nothing is drawn).
 * @param {number} newest  ms; NaN when none
 * @param {number} now
 * @param {{staleMs: number, goneMs: number}} limits
 * @returns {'current' | 'stale' | 'gone'}
 */
export function frameState(newest, now, {staleMs, goneMs}) {
  if (!Number.isFinite(newest)) return 'gone';
  const age = now - newest;
  if (age > goneMs) return 'gone';
  return age > staleMs ? 'stale' : 'current';
}

/** "4 min old", "1 h 5 min old", "just now" (a scan time a little ahead of this clock too). */
export function ageText(ageMs) {
  const minutes = Math.floor(Math.max(0, ageMs) / MINUTE);
  if (minutes < 1) return 'just now';
  if (minutes < 60) return `${minutes} min old`;
  return `${Math.floor(minutes / 60)} h${minutes % 60 ? ` ${minutes % 60} min` : ''} old`;
}

/**
 * The frames of a loop over listed `times` (sorted, oldest first): those within `lengthMs` of the
 * newest, the newest last. With a step, one frame per step counted back from the newest, each
 * the listed time nearest its mark (within half a step; of two as near, the newer), never one twice.
 * @param {number[]} times
 * @param {{lengthMs: number, stepMs?: number}} choice
 * @returns {number[]}
 */
export function loopFrames(times, {lengthMs, stepMs = 0}) {
  if (!times.length) return [];
  const newest = times[times.length - 1];
  const inLoop = times.filter((time) => time >= newest - lengthMs && time <= newest);
  if (!stepMs) return inLoop;
  const chosen = [];
  for (let mark = newest; mark >= newest - lengthMs; mark -= stepMs) {
    let best = NaN;
    for (const time of inLoop) {
      // The nearest within half a step; of two as near, the newer.
      if (Math.abs(time - mark) <= stepMs / 2 && !(Math.abs(time - mark) > Math.abs(best - mark))) best = time;
    }
    if (Number.isFinite(best) && !chosen.includes(best)) chosen.push(best);
  }
  return chosen.reverse();
}
