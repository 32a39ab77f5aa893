// A line on the map itself that says what is loading and which layers are stale, and why, so
// the reader sees it where the data is, not only in the side panel.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {el, replaceChildren} from '../dom.js';

/**
 * @typedef {object} MapStatusEntry
 * @property {string} label  the layer's name
 * @property {boolean} loading  its first data is on its way
 * @property {boolean} [refreshing]  newer data is on its way
 * @property {string} stale  why its data may not be current; empty when it is
 * @property {string} [waiting]  why part of the view is not asked for yet; empty when nothing waits
 * @property {string} [unavailable]  why the layer draws nothing; empty when it draws
 * @property {string} [problem]  what part of it failed to draw; empty when nothing did
 */

/** The map's status box, a control: set(key, entry) per layer. */
export class MapStatus extends L.Control {
  constructor() {
    super({position: 'topright'});
    /** @type {Map<string, MapStatusEntry>} */
    this.entries = new Map();
    this.box = el('div', {className: 'map-status', role: 'status', 'aria-live': 'polite'});
    L.DomEvent.disableClickPropagation(this.box);
  }

  onAdd() {
    return this.box;
  }

  /** @param {string} key @param {MapStatusEntry} entry */
  set(key, entry) {
    // Layers say their state again at every frame of a picture loop: the box, a live region,
    // is drawn again only when something in it changed.
    if (JSON.stringify(this.entries.get(key)) === JSON.stringify(entry)) return;
    this.entries.set(key, entry);
    const entries = [...this.entries.values()];
    const loading = entries.filter((e) => e.loading).map((e) => e.label);
    const stale = entries.filter((e) => e.stale);
    const waiting = entries.filter((e) => e.waiting);
    const off = entries.filter((e) => e.unavailable || e.problem);
    replaceChildren(this.box,
        loading.length ? el('p', {className: 'map-loading'}, el('span', {className: 'spinner',
          'aria-hidden': 'true'}), `Loading ${loading.join(', ')}…`) : null,
        ...waiting.map((e) => el('p', {className: 'map-waiting'},
            el('strong', {text: 'Waiting to ask for this area'}), ` — ${e.label}: ${e.waiting}`)),
        ...stale.map((e) => el('p', {className: 'map-stale'},
            el('span', {className: 'stale-badge', text: 'Stale'}), `${e.label} (dimmed): ${e.stale}`)),
        ...off.map((e) => el('p', {className: 'map-unavailable'},
            el('span', {className: 'stale-badge', text: e.unavailable ? 'Not shown' : 'Incomplete'}),
            `${e.label}: ${e.unavailable || e.problem}`)));
    this.box.hidden = !loading.length && !stale.length && !waiting.length && !off.length;
  }
}
