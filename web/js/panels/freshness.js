// The "data time · fetched · age" line every layer and panel carries, marked stale when old.

import {el} from '../dom.js';
import {formatAge, formatDateTime} from '../time.js';

/**
 * A freshness line: when the data is from, when it was fetched and how old that is. `stale`
 * adds the stale marking; `note` (e.g. the last error) follows in the same line.
 */
export function freshnessLine({dataTime, fetchedAt, now, stale, fromStorage}) {
  const parts = [];
  if (Number.isFinite(dataTime)) parts.push(`data ${formatDateTime(dataTime)}`);
  if (Number.isFinite(fetchedAt)) {
    parts.push(`fetched ${formatDateTime(fetchedAt)} (${formatAge(now - fetchedAt)})`);
  }
  if (!parts.length) parts.push('no data yet');
  return el('p', {className: `freshness${stale ? ' stale' : ''}`},
      stale ? el('span', {className: 'stale-badge', text: fromStorage ? 'Saved' : 'Stale'}) : null,
      parts.join(' · '));
}
