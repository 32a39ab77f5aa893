// The list of active alerts, sortable, and the full text of the chosen one.

import {el, replaceChildren} from '../dom.js';
import {sortAlerts} from '../alerts.js';

const SORT_KEYS = [['severity', 'Severity'], ['onset', 'Onset'], ['ends', 'Ends'], ['event', 'Event']];

/** The service's local time text as "2026-11-20 09:48 (−08:00)"; the text itself if unusual. */
export function serviceTimeText(iso) {
  const match = /^(\d{4}-\d\d-\d\d)T(\d\d:\d\d)(?::\d\d(?:\.\d+)?)?(Z|[+-]\d\d:\d\d)?$/.exec(iso || '');
  if (!match) return iso || 'not given';
  return `${match[1]} ${match[2]}${match[3] ? ` (UTC${match[3] === 'Z' ? '' : match[3]})` : ''}`;
}

function detail(alert) {
  const block = (title, body) => (body ? [el('h4', {text: title}),
    el('p', {className: 'alert-text', text: body})] : []);
  return el('article', {className: `alert-detail severity-${alert.severity.toLowerCase()}`,
    dataset: {alert: alert.key}},
  el('h3', {tabindex: '-1', className: 'alert-title'}, alert.event),
  el('p', {className: 'alert-meta'},
      el('span', {className: `badge severity-${alert.severity.toLowerCase()}`, text: alert.severity}),
      alert.polygons.length ? ' Shown on the map' : ' No shape given: not drawn on the map'),
  alert.headline ? el('p', {className: 'alert-headline', text: alert.headline}) : null,
  el('dl', {className: 'facts'},
      el('dt', {text: 'Area'}), el('dd', {text: alert.area || 'not given'}),
      el('dt', {text: 'Onset'}), el('dd', {text: serviceTimeText(alert.onsetText)}),
      el('dt', {text: 'Ends'}), el('dd', {text: serviceTimeText(alert.endsText)}),
      alert.expiresText ? [el('dt', {text: 'Message expires'}),
        el('dd', {text: serviceTimeText(alert.expiresText)})] : null,
      alert.sender ? [el('dt', {text: 'From'}), el('dd', {text: alert.sender})] : null),
  ...block('Description', alert.description),
  ...block('Instructions', alert.instruction));
}

/** Alert panel: update(alerts) with fresh data, show(alert) opens one alert's text. */
export function createAlertPanel(container, {onShowOnMap}) {
  let alerts = [];
  let sortKey = 'severity';
  let chosen = null;
  const sortSelect = el('select', {id: 'alert-sort'},
      ...SORT_KEYS.map(([value, label]) => el('option', {value, text: label})));
  sortSelect.addEventListener('change', () => {
    sortKey = sortSelect.value;
    drawList();
  });
  const list = el('ul', {className: 'alert-list', 'aria-label': 'Active alerts'});
  const details = el('div', {className: 'alert-details', 'aria-live': 'polite'});
  replaceChildren(container,
      el('div', {className: 'panel-row'}, el('label', {for: 'alert-sort', text: 'Sort by'}), sortSelect),
      list, details);

  function drawList() {
    if (!alerts.length) {
      replaceChildren(list, el('li', {className: 'empty', text: 'No active alerts.'}));
      return;
    }
    replaceChildren(list, ...sortAlerts(alerts, sortKey).map((alert) => {
      const button = el('button', {type: 'button',
        className: `alert-item severity-${alert.severity.toLowerCase()}`,
        'aria-pressed': String(chosen?.key === alert.key), dataset: {alert: alert.key}},
      el('span', {className: `badge severity-${alert.severity.toLowerCase()}`, text: alert.severity}),
      el('span', {className: 'alert-event', text: alert.event}),
      el('span', {className: 'alert-area', text: alert.area}),
      alert.polygons.length ? null : el('span', {className: 'no-shape', text: 'not on map'}));
      button.addEventListener('click', () => show(alert, {focus: true, fromList: true}));
      return el('li', null, button);
    }));
  }

  function show(alert, {focus = false, fromList = false} = {}) {
    chosen = alert;
    drawList();
    const article = detail(alert);
    if (alert.polygons.length && fromList) {
      article.appendChild(el('button', {type: 'button', text: 'Show on map',
        on: {click: () => onShowOnMap(alert)}}));
    }
    replaceChildren(details, article);
    if (focus) article.querySelector('.alert-title').focus();
  }

  replaceChildren(list, el('li', {className: 'empty', text: 'Waiting for alerts…'}));

  return {
    /** Says why there is no list, when no alerts have ever arrived. */
    unavailable(message) {
      if (!alerts.length) {
        replaceChildren(list, el('li', {className: 'empty', text: `Alerts are not available: ${message}`}));
      }
    },
    update(next) {
      alerts = next;
      if (chosen) chosen = alerts.find((alert) => alert.key === chosen.key) || null;
      drawList();
      if (chosen) show(chosen);
      else replaceChildren(details);
    },
    show,
  };
}
