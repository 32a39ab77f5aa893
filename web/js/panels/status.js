// The status area: failures grouped by the service they come from, one line each ("Aviation
// weather service: 3 requests failed — Retry"), with each failed request's text, address and
// what the reader can do behind "Details". Every entry stays reachable: the area scrolls.

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

/** The services the host asks, by operation, as the reader knows them. */
const SERVICES = {
  aviation: {name: 'Aviation weather service', operations: ['metars', 'pireps', 'tafs', 'hazards']},
  nws: {name: 'National Weather Service', operations: ['alerts', 'point', 'forecast', 'discussion', 'zone', 'winds']},
};

/** The service group of an operation: 'aviation', 'nws', or 'program' for what is the page's own. */
function serviceOf(operation) {
  return Object.keys(SERVICES).find((key) => SERVICES[key].operations.includes(operation)) || 'program';
}

/**
 * @typedef {object} StatusEntry
 * @property {string} label  what failed, as the reader calls it ("METAR stations")
 * @property {Partial<import('../bridge.js').RequestError> & {message: string}} error
 * @property {string} [operation]  the host operation that failed; groups the entry by service
 * @property {() => void} [retry]  asks again
 * @property {string} [note]  what is shown meanwhile ("Showing the last good data.")
 * @property {string} [advice]  what to do, when adviceFor(error) does not fit
 */

/**
 * Status area: set(key, entry) shows a failure; clear(key) removes it. (The map fits itself to
 * the room the area leaves: map-view.js.)
 * @param {HTMLElement} container
 */
export function createStatusArea(container) {
  /** @type {Map<string, StatusEntry>} */
  const entries = new Map();
  const open = new Set();  // the groups whose details the reader opened
  const groups = el('div', {className: 'status-groups'});
  replaceChildren(container, groups);

  function groupLine(service, list) {
    const name = SERVICES[service]?.name || 'Corvane Weather';
    const what = service === 'program' ? ['problem', 'problems'] : ['request failed', 'requests failed'];
    const count = list.length === 1 ? `1 ${what[0]}` : `${list.length} ${what[1]}`;
    const retries = list.map(([, entry]) => entry.retry).filter(Boolean);
    const details = el('details', {className: 'status-details'},
        el('summary', {text: 'Details'}),
        el('ul', {className: 'status-list'}, ...list.map(([key, entry]) =>
          el('li', {className: 'status-entry', dataset: {source: key}},
              el('strong', {text: `${entry.label}: `}),
              el('span', {className: 'status-error', text: entry.error.message}),
              entry.error.source ? el('span', {className: 'status-source', text: ` (source: ${entry.error.source})`}) : null,
              entry.note ? el('span', {className: 'status-note', text: ` ${entry.note}`}) : null,
              el('span', {className: 'status-advice', text: ` ${entry.advice || adviceFor(entry.error)}`}),
              entry.retry ? el('button', {type: 'button', className: 'retry', text: 'Retry',
                'aria-label': `Retry ${entry.label}`, on: {click: entry.retry}}) : null))));
    details.open = open.has(service);
    details.addEventListener('toggle', () => {
      if (details.open) open.add(service);
      else open.delete(service);
    });
    return el('div', {className: 'status-group', dataset: {service}},
        el('div', {className: 'status-line'},
            el('strong', {text: `${name}:`}), ` ${count}`,
            retries.length ? [' — ', el('button', {type: 'button', className: 'retry', text: 'Retry',
              'aria-label': `Retry ${name}`, on: {click: () => retries.forEach((retry) => retry())}})] : null,
            details));
  }

  function draw() {
    container.hidden = entries.size === 0;
    const byService = new Map();
    for (const [key, entry] of entries) {
      const service = serviceOf(entry.operation);
      if (!byService.has(service)) byService.set(service, []);
      byService.get(service).push([key, entry]);
    }
    replaceChildren(groups, ...[...byService].map(([service, list]) => groupLine(service, list)));
  }

  return {
    /** @param {string} key @param {StatusEntry} entry */
    set(key, entry) {
      entries.set(key, entry);
      draw();
    },
    /** @param {string} key */
    clear(key) {
      if (entries.delete(key)) draw();
    },
  };
}
