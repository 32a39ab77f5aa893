// The layer list: per layer a switch, how current its data is (from the data's own times), a
// refresh button, its filters, counts and legend.

import {el, replaceChildren} from '../dom.js';

/**
 * One block per section {feed, label?, controls?, legend?, count(), dataText(now)}. setVisible
 * (name, shown) is called from the switches. update(feed, now) redraws that feed's status lines.
 */
export function createLayerPanel(container, sections, {setVisible}) {
  const blocks = new Map();
  const rows = sections.map((section) => {
    const {feed} = section;
    const id = `layer-${feed.name}`;
    const toggle = el('input', {type: 'checkbox', id, checked: true});
    toggle.addEventListener('change', () => setVisible(feed.name, toggle.checked));
    const status = el('div', {className: 'layer-status', 'aria-live': 'off'});
    const refresh = el('button', {type: 'button', className: 'refresh', text: 'Refresh',
      'aria-label': `Refresh ${feed.label}`, on: {click: () => feed.refresh()}});
    const block = el('section', {className: 'layer', dataset: {layer: feed.name},
      'aria-labelledby': `${id}-title`},
    el('h3', {className: 'layer-head', id: `${id}-title`},
        toggle, el('label', {for: id, text: feed.label}), refresh),
    status, section.controls?.() || null, section.legend?.() || null);
    blocks.set(feed.name, {status, refresh, section, block});
    return block;
  });
  replaceChildren(container, el('h2', {className: 'visually-hidden', text: 'Layers'}), ...rows);

  return {
    update(feed, now) {
      const entry = blocks.get(feed.name);
      if (!entry) return;
      const reason = feed.staleReason(now);
      const lines = [];
      if (feed.data === null && feed.loading) {
        lines.push(el('p', {className: 'loading', text: 'Loading…'}));
      } else {
        lines.push(entry.section.freshness?.(now, reason) || null);
      }
      if (feed.data !== null) lines.push(el('p', {className: 'count', text: entry.section.count()}));
      if (feed.loading && feed.data !== null) lines.push(el('p', {className: 'loading', text: 'Refreshing…'}));
      if (feed.error && !feed.loading) {
        lines.push(el('p', {className: 'layer-error', text: feed.data === null ?
          `Not available: ${feed.error.message}` :
          `Refresh failed: ${feed.error.message}. Showing the last good data.`}));
      }
      replaceChildren(entry.status, ...lines);
      entry.block.classList.toggle('is-stale', reason !== '');
      entry.refresh.disabled = feed.loading;
    },
    /** Redraws only the count line of a section (after a filter change). */
    recount(name) {
      const entry = blocks.get(name);
      const line = entry?.status.querySelector('.count');
      if (line) line.textContent = entry.section.count();
    },
  };
}
