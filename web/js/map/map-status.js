// A line on the map itself that says what is loading and which layers are stale, and why, so
// the reader sees it where the data is, not only in the side panel.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {el, replaceChildren} from '../dom.js';

/** Map status: set(key, {label, loading, refreshing, stale}) per layer. */
export function createMapStatus(map) {
  const entries = new Map();
  const box = el('div', {className: 'map-status', role: 'status', 'aria-live': 'polite'});
  const control = L.control({position: 'topright'});
  control.onAdd = () => box;
  control.addTo(map);
  L.DomEvent.disableClickPropagation(box);

  function draw() {
    const loading = [...entries.values()].filter((e) => e.loading).map((e) => e.label);
    const stale = [...entries.values()].filter((e) => e.stale);
    replaceChildren(box,
        loading.length ? el('p', {className: 'map-loading'}, el('span', {className: 'spinner',
          'aria-hidden': 'true'}), `Loading ${loading.join(', ')}…`) : null,
        ...stale.map((e) => el('p', {className: 'map-stale'},
            el('span', {className: 'stale-badge', text: 'Stale'}), `${e.label} (dimmed): ${e.stale}`)));
    box.hidden = !loading.length && !stale.length;
  }

  return {
    set(key, entry) {
      entries.set(key, entry);
      draw();
    },
  };
}
