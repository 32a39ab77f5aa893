// The status area: one line per source that failed, with its error text, source and a retry.

import {el, replaceChildren} from '../dom.js';

/** Status area: set(key, {label, error, retry, note}) shows a failure; clear(key) removes it. */
export function createStatusArea(container) {
  const entries = new Map();

  function draw() {
    container.hidden = entries.size === 0;
    replaceChildren(container, ...[...entries.entries()].map(([key, entry]) =>
      el('div', {className: 'status-entry', dataset: {source: key}},
          el('strong', {text: `${entry.label}: `}),
          el('span', {className: 'status-error', text: entry.error.message}),
          entry.error.source ? el('span', {className: 'status-source',
            text: ` (source: ${entry.error.source})`}) : null,
          entry.note ? el('span', {className: 'status-note', text: ` ${entry.note}`}) : null,
          entry.retry ? el('button', {type: 'button', className: 'retry', text: 'Retry',
            'aria-label': `Retry ${entry.label}`, on: {click: entry.retry}}) : null)));
  }

  return {
    set(key, entry) {
      entries.set(key, entry);
      draw();
    },
    clear(key) {
      if (entries.delete(key)) draw();
    },
  };
}
