// The status area: one entry per source that failed, with its error text, source, what the
// reader can do about it and a retry. Every entry stays reachable: the area scrolls, and with
// more than two entries it can be folded to one line.

import {el, replaceChildren} from '../dom.js';

/**
 * What the reader can do about a failed request, in one sentence.
 * @param {Partial<import('../bridge.js').RequestError>} error
 */
export function adviceFor(error) {
  if (error?.status === 429) {
    return 'The program is busy with other requests and asks again by itself; or choose Retry in a moment.';
  }
  if (error?.status === 400 && /Unsupported weather operation/.test(error.message || '')) {
    return 'This version of the program does not offer this data; an update of Corvane Weather will.';
  }
  if (error?.status === 400) return 'Change what was asked for (for example choose a point inside the United States).';
  if (error?.status === 500) return 'The program hit an internal error: choose Retry, and restart the program if it repeats.';
  if (error?.status === 502) {
    return 'The weather service did not answer properly: the map asks again at the next refresh, or choose Retry.';
  }
  if (error?.timedOut) return 'Check the internet connection; the map asks again at the next refresh, or choose Retry.';
  if (/host is not available|could not be reached/.test(error?.message || '')) {
    return 'This page gets its weather from the Corvane Weather program: open the map from the program, or restart it.';
  }
  return 'Choose Retry; the map also asks again at the next refresh.';
}

/**
 * Status area: set(key, {label, error, retry, note}) shows a failure; clear(key) removes it.
 * @param {HTMLElement} container
 */
export function createStatusArea(container) {
  const entries = new Map();
  let folded = false;
  const summary = el('p', {className: 'status-summary'});
  const fold = el('button', {type: 'button', className: 'status-fold', 'aria-controls': 'status-list'});
  fold.addEventListener('click', () => {
    folded = !folded;
    draw();
  });
  const list = el('div', {id: 'status-list', className: 'status-list'});
  replaceChildren(container, el('div', {className: 'status-head'}, summary, fold), list);

  function draw() {
    container.hidden = entries.size === 0;
    summary.textContent = entries.size === 1 ? 'One source has a problem.' :
        `${entries.size} sources have problems.`;
    fold.hidden = entries.size < 3;
    fold.textContent = folded ? 'Show all' : 'Fold';
    fold.setAttribute('aria-expanded', String(!folded));
    list.hidden = folded && entries.size >= 3;
    replaceChildren(list, ...[...entries.entries()].map(([key, entry]) =>
      el('div', {className: 'status-entry', dataset: {source: key}},
          el('strong', {text: `${entry.label}: `}),
          el('span', {className: 'status-error', text: entry.error.message}),
          entry.error.source ? el('span', {className: 'status-source',
            text: ` (source: ${entry.error.source})`}) : null,
          entry.note ? el('span', {className: 'status-note', text: ` ${entry.note}`}) : null,
          el('span', {className: 'status-advice', text: ` ${entry.advice || adviceFor(entry.error)}`}),
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
