// The layer list: a switch, the freshness of each layer, a refresh button, and the legends.

import {el, replaceChildren} from '../dom.js';
import {CATEGORIES} from '../metar.js';
import {ALTITUDE_BANDS} from '../pirep.js';
import {SEVERITIES} from '../alerts.js';
import {freshnessLine} from './freshness.js';

const LEGENDS = {
  metars: () => el('ul', {className: 'legend', 'aria-label': 'Flight categories'},
      ...CATEGORIES.map((category) => el('li', null,
          el('span', {className: `swatch cat-${category.toLowerCase()}`, 'aria-hidden': 'true'}),
          category))),
  alerts: () => el('ul', {className: 'legend', 'aria-label': 'Alert severities'},
      ...SEVERITIES.map((severity) => el('li', null,
          el('span', {className: `swatch severity-${severity.toLowerCase()}`, 'aria-hidden': 'true'}),
          severity))),
  pireps: () => el('ul', {className: 'legend', 'aria-label': 'PIREP symbols'},
      el('li', null, el('span', {className: 'swatch glyph-turbulence', 'aria-hidden': 'true'}), 'Turbulence'),
      el('li', null, el('span', {className: 'swatch glyph-icing', 'aria-hidden': 'true'}), 'Icing'),
      el('li', null, el('span', {className: 'swatch urgent', 'aria-hidden': 'true'}), 'Urgent')),
};

/**
 * One block per feed. setVisible(name, shown) is called from the switches, onBand(band) from the
 * PIREP altitude filter. update(feed, extra) redraws that feed's freshness and counts.
 */
export function createLayerPanel(container, feeds, {setVisible, onBand, band = 'all', count}) {
  const blocks = new Map();
  const rows = feeds.map((feed) => {
    const id = `layer-${feed.name}`;
    const toggle = el('input', {type: 'checkbox', id, checked: true});
    toggle.addEventListener('change', () => setVisible(feed.name, toggle.checked));
    const status = el('div', {className: 'layer-status', 'aria-live': 'off'});
    const refresh = el('button', {type: 'button', className: 'refresh', text: 'Refresh',
      'aria-label': `Refresh ${feed.label}`, on: {click: () => feed.refresh()}});
    blocks.set(feed.name, {status, refresh});
    let filter = null;
    if (feed.name === 'pireps') {
      const select = el('select', {id: 'pirep-band'},
          ...Object.entries(ALTITUDE_BANDS).map(([value, {label}]) =>
            el('option', {value, text: label, selected: value === band})));
      select.addEventListener('change', () => onBand(select.value));
      filter = el('div', {className: 'panel-row'},
          el('label', {for: 'pirep-band', text: 'Altitude'}), select);
    }
    return el('section', {className: 'layer', dataset: {layer: feed.name}},
        el('div', {className: 'layer-head'},
            toggle, el('label', {for: id, text: feed.label}), refresh),
        status, filter, LEGENDS[feed.name]?.());
  });
  replaceChildren(container, ...rows);

  return {
    update(feed, now) {
      const block = blocks.get(feed.name);
      if (!block) return;
      const lines = [freshnessLine({dataTime: feed.dataTimeMs, fetchedAt: feed.fetchedAt, now,
        stale: feed.isStale(now), fromStorage: feed.fromStorage})];
      if (feed.data !== null) lines.push(el('p', {className: 'count', text: count(feed)}));
      if (feed.loading) lines.push(el('p', {className: 'loading', text: 'Refreshing…'}));
      if (feed.error) {
        lines.push(el('p', {className: 'layer-error', text: feed.data === null ?
          `Not available: ${feed.error.message}` :
          `Refresh failed: ${feed.error.message}. Showing the last good data.`}));
      }
      replaceChildren(block.status, ...lines);
      block.status.closest('.layer').classList.toggle('is-stale', feed.isStale(now));
      block.refresh.disabled = feed.loading;
    },
  };
}
