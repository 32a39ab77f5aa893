// The "data time · fetched · age" line every layer and panel carries, marked stale with the
// reason when the data may not be current.

import {el} from '../dom.js';
import {formatAge, formatTime} from '../time.js';

/**
 * A freshness line: what time the data is from (`dataText`, or `dataTime` in ms), when it was
 * fetched and how old that is. A non-empty `reason` marks it stale and says why.
 * @param {{dataText?: string, dataTime?: number, fetchedAt: number, now: number,
 *   reason?: string, fromStorage?: boolean}} parts  dataText '', dataTime NaN, reason '',
 *   fromStorage false
 */
export function freshnessLine({dataText = '', dataTime = NaN, fetchedAt, now, reason = '',
  fromStorage = false}) {
  const parts = [];
  if (dataText) parts.push(dataText);
  else if (Number.isFinite(dataTime)) parts.push(`data ${formatTime(dataTime)} (${formatAge(now - dataTime)})`);
  if (Number.isFinite(fetchedAt)) parts.push(`fetched ${formatTime(fetchedAt, {form: 'clock'})} (${formatAge(now - fetchedAt)})`);
  if (!parts.length) parts.push('no data yet');
  return el('p', {className: `freshness${reason ? ' stale' : ''}`},
      reason ? el('span', {className: 'stale-badge', text: fromStorage ? 'Saved' : 'Stale'}) : null,
      parts.join(' · '),
      reason ? el('span', {className: 'stale-reason', text: ` — ${reason}`}) : null);
}

/**
 * The note on items that ran out since the last update and so are no longer shown:
 * "Ended since the last update, so no longer shown: Tornado Warning (Fri Nov 20 11:15 MST).",
 * each name isolated from the page's words around it; past 20 the rest are counted ("; and 37 more").
 * @param {{name: string, end: number, zone?: string | null}[]} ended  zone: the IANA zone of
 *   the item's area (null: no particular place)
 * @param {string} [className='note']
 * @returns {HTMLElement}
 */
export function endedNote(ended, className = 'note') {
  const named = ended.slice(0, MAX_NAMED);
  return el('p', {className}, 'Ended since the last update, so no longer shown: ',
      named.map(({name, end, zone = null}, index) => [index ? '; ' : '', el('bdi', {text: name}),
        ` (${formatTime(end, {zone})})`]),
      ended.length > named.length ? `; and ${(ended.length - named.length).toLocaleString('en-US')} more` : '', '.');
}

/** The most items the note names; a longer list would not be read. */
const MAX_NAMED = 20;
