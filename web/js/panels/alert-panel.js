// The list of alerts in force, sortable, with onset and end, and the full text of the chosen
// one; alerts that ran out since the last update are named in a short note, not listed.

import {el, replaceChildren} from '../dom.js';
import {alertEnd, sortAlerts} from '../alerts.js';
import {formatAge, formatTime} from '../time.js';
import {endedNote} from './freshness.js';

const SORT_KEYS = [['severity', 'Severity'], ['onset', 'Onset'], ['ends', 'Ends'], ['event', 'Event']];
// On a day of hundreds of alerts the list grows by this many at a time, in the chosen order,
// so the page never builds thousands of entries nobody scrolls to.
const LIST_STEP = 200;

/** "Fri Nov 20 10:31 MST" for a time in the alert area's zone, else the fallback. */
function when(ms, fallback, zone) {
  return Number.isFinite(ms) ? formatTime(ms, {zone}) : fallback;
}

/** "From Fri Nov 20 17:00 MST until Sat Nov 21 17:00 MST", or "In force until …". */
function alertPeriod(alert, now, zone) {
  const end = alertEnd(alert);
  const until = Number.isFinite(alert.ends) ? `until ${when(alert.ends, '', zone)}` :
      Number.isFinite(end) ? `until ${when(end, '', zone)} (message expiry; no end announced)` :
      null;
  const start = Number.isFinite(alert.onset) && alert.onset > now ? `From ${when(alert.onset, '', zone)}` : 'In force';
  return until ? `${start} ${until}` : `${start}; no end announced`;
}

/** How an alert is drawn, in words for the list and the detail. */
const DRAWN = {
  shape: 'Drawn on the map with its own area',
  zones: 'Drawn over its forecast zones (the alert names its area by zone, not by a shape)',
  counties: 'Drawn over whole counties (the alert names its area by county, not by a shape or zone)',
  'zones-failed': 'Drawn over whole counties: the shapes of its zones could not be loaded, and a ' +
    'county is wider than its zone',
  loading: 'Not drawn yet: the shapes of its zones are loading',
  none: 'Not on the map: the alert gives no area the map can show',
};
/** The short note of a list entry; none for an alert drawn with its own area or zones. */
const DRAWN_NOTE = {counties: 'drawn by county', 'zones-failed': 'drawn by county', loading: 'zones loading',
  none: 'not on the map'};

/** What the list and detail say about how an alert is drawn. @param {Alert} alert @param {string} drawn */
const drawnKey = (alert, drawn) => (drawn === 'counties' && alert.zoneRefs.length ? 'zones-failed' : drawn);

function detail(alert, drawnAs, now, zone) {
  const block = (title, body) => (body ? [el('h4', {text: title}),
    el('p', {className: 'alert-text', text: body})] : []);
  const drawn = drawnKey(alert, drawnAs(alert));
  return el('article', {className: `alert-detail severity-${alert.severity.toLowerCase()}`,
    dataset: {alert: alert.key}},
  el('h3', {tabindex: '-1', className: 'alert-title'}, alert.event),
  el('p', {className: 'alert-meta'},
      el('span', {className: `badge severity-${alert.severity.toLowerCase()}`, text: alert.severity}),
      ` ${alertPeriod(alert, now, zone)}`),
  el('p', {className: `drawn-as drawn-${drawn}`, text: DRAWN[drawn]}),
  alert.headline ? el('p', {className: 'alert-headline', text: alert.headline}) : null,
  el('dl', {className: 'facts'},
      el('dt', {text: 'Area'}), el('dd', {text: alert.area || 'not given'}),
      el('dt', {text: 'Onset'}), el('dd', {text: when(alert.onset, 'not given', zone)}),
      el('dt', {text: 'Ends'}), el('dd', {text: when(alert.ends, 'not announced', zone)}),
      Number.isFinite(alert.expires) ? [el('dt', {text: 'Message expires'}),
        el('dd', {text: when(alert.expires, '', zone)})] : null,
      Number.isFinite(alert.sent) ? [el('dt', {text: 'Sent'}),
        el('dd', {text: `${when(alert.sent, '', zone)} (${formatAge(now - alert.sent)})`})] : null,
      alert.sender ? [el('dt', {text: 'From'}), el('dd', {text: alert.sender})] : null),
  ...block('Description', alert.description),
  ...block('Instructions', alert.instruction));
}

/**
 * One list entry as a button: severity, event, area, onset and end.
 * @param {Alert} alert
 * @param {{pressed?: boolean, now: number, drawnAs: (alert: Alert) => DrawnAs, onClick: () => void,
 *   zone?: string | null}} how  pressed false; zone: the IANA zone its times are shown in, null
 *   for this computer's
 */
export function alertButton(alert, {pressed = false, now, drawnAs, onClick, zone = null}) {
  const severity = alert.severity.toLowerCase();
  const drawn = drawnKey(alert, drawnAs(alert));
  const button = el('button', {type: 'button', className: `alert-item severity-${severity}`,
    'aria-pressed': String(pressed), dataset: {alert: alert.key}},
  el('span', {className: `badge severity-${severity}`, text: alert.severity}),
  el('span', {className: 'alert-event', text: alert.event}),
  el('span', {className: 'alert-area', text: alert.area}),
  el('span', {className: 'alert-when', text: alertPeriod(alert, now, zone)}),
  DRAWN_NOTE[drawn] ? el('span', {className: `drawn-note drawn-${drawn}`, text: DRAWN_NOTE[drawn]}) : null);
  button.addEventListener('click', onClick);
  return button;
}

/**
 * @typedef {import('../alerts.js').Alert} Alert
 * @typedef {import('../map/alert-layer.js').DrawnAs} DrawnAs
 * @typedef {object} AlertPanelOptions
 * @property {(alert: Alert) => void} onShowOnMap  the detail's "Show on map" button
 * @property {(alert: Alert) => DrawnAs} drawnAs  how the map draws an alert
 * @property {(count: number) => void} [onCount]  told the number in force after every update
 * @property {(alert: Alert) => string | null} [zoneOf]  the IANA time zone of an alert's area;
 *   null (this computer's) by default
 */

/**
 * Alert panel: update(alerts, expired, now) with the alerts in force and those that ran out;
 * show(alert) opens one alert's text.
 * @param {HTMLElement} container @param {AlertPanelOptions} options
 */
export function createAlertPanel(container, {onShowOnMap, drawnAs, onCount = () => {}, zoneOf = () => null}) {
  let alerts = [];
  let expired = [];
  let sortKey = 'severity';
  let chosen = null;
  let now = Date.now();
  let listed = LIST_STEP;
  const sortSelect = el('select', {id: 'alert-sort'},
      ...SORT_KEYS.map(([value, label]) => el('option', {value, text: label})));
  sortSelect.addEventListener('change', () => {
    sortKey = sortSelect.value;
    drawList();
  });
  const heading = el('h2', {className: 'panel-title', text: 'Alerts in force'});
  const list = el('ul', {className: 'alert-list', 'aria-label': 'Alerts in force'});
  const expiredNote = el('p', {className: 'note expired-note', hidden: true});
  const details = el('div', {className: 'alert-details', 'aria-live': 'polite'});
  replaceChildren(container, heading,
      el('div', {className: 'panel-row'}, el('label', {for: 'alert-sort', text: 'Sort by'}), sortSelect),
      list, expiredNote, details);

  function drawList() {
    if (expired.length) {
      expiredNote.hidden = false;
      replaceChildren(expiredNote, ...endedNote(expired.map((alert) => ({name: alert.event, end: alertEnd(alert),
        zone: zoneOf(alert)}))).childNodes);
    } else {
      expiredNote.hidden = true;
    }
    if (!alerts.length) {
      replaceChildren(list, el('li', {className: 'empty', text: 'No alerts in force.'}));
      return;
    }
    const sorted = sortAlerts(alerts, sortKey);
    const rest = sorted.length - listed;
    replaceChildren(list, ...sorted.slice(0, listed).map((alert) => el('li', null,
        alertButton(alert, {pressed: chosen?.key === alert.key, now, drawnAs, zone: zoneOf(alert),
          onClick: () => show(alert, {focus: true, fromList: true})}))),
    rest > 0 ? el('li', {className: 'more'}, el('button', {type: 'button',
      text: `Show ${Math.min(rest, LIST_STEP)} more (${rest} not listed yet)`,
      on: {click: () => {
        listed += LIST_STEP;
        drawList();
        /** @type {NodeListOf<HTMLElement>} */ (list.querySelectorAll('.alert-item'))[listed - LIST_STEP]?.focus();
      }}})) : null);
  }

  function show(alert, {focus = false, fromList = false} = {}) {
    chosen = alert;
    drawList();
    const article = detail(alert, drawnAs, now, zoneOf(alert));
    if (!['none', 'loading'].includes(drawnAs(alert)) && fromList) {
      article.appendChild(el('button', {type: 'button', text: 'Show on map',
        on: {click: () => onShowOnMap(alert)}}));
    }
    replaceChildren(details, article);
    if (focus) /** @type {HTMLElement} */ (article.querySelector('.alert-title')).focus();
  }

  replaceChildren(list, el('li', {className: 'loading', text: 'Loading alerts…'}));

  return {
    /** Says why there is no list, when no alerts have ever arrived. */
    unavailable(message) {
      if (!alerts.length) {
        replaceChildren(list, el('li', {className: 'empty',
          text: `Alerts are not available: ${message}. Choose Retry in the status area or Refresh on the Layers tab.`}));
      }
    },
    update(next, ranOut, at) {
      alerts = next;
      expired = ranOut;
      now = at;
      onCount(alerts.length);
      if (chosen) chosen = alerts.find((alert) => alert.key === chosen.key) || null;
      drawList();
      if (chosen) show(chosen);
      else replaceChildren(details);
    },
    show,
  };
}
