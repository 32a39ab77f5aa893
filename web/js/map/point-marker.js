// The chosen point, marked in a pane above every weather layer, and the keyboard's crosshair:
// with the map focused, the arrow keys move the map under a fixed crosshair and Enter chooses
// the spot beneath it.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {el} from '../dom.js';
import {LABEL_RANK, takePart} from './label-layout.js';

/**
 * The point marker and the crosshair: set({lat, lon}) marks the point; with the map focused from
 * the keyboard, Enter calls onChoose({lat, lon}) with the spot under the crosshair.
 */
export class PointMarker extends L.Layer {
  /** @param {{onChoose: (point: {lat: number, lon: number}) => void}} options */
  constructor({onChoose}) {
    super();
    this.onChoose = onChoose;
    const renderer = L.svg({pane: 'point'});
    // Interactive only so the page can prove it lies on top: a click on it passes to the map.
    this.mark = L.layerGroup([
      L.circleMarker([0, 0], {renderer, radius: 9, className: 'point-marker', weight: 3, fill: false}),
      L.circleMarker([0, 0], {renderer, radius: 2.5, className: 'point-dot', weight: 0, fillOpacity: 1}),
    ]);
    this.crosshair = el('div', {className: 'crosshair', 'aria-hidden': 'true'},
        el('span', {className: 'crosshair-hint', text: 'Enter: forecast here'}));
    /** @type {L.Map | null} */
    this.map = null;
    // Shown only when the map has focus from the keyboard, not after a mouse click.
    this.containerEvents = {
      /** @param {KeyboardEvent} event */
      keydown: (event) => {
        const container = this.map.getContainer();
        if (event.target !== container) return;
        this.showCrosshair(true);
        this.map.closePopup();  // the crosshair and the spot under it, not a popup, are in front now
        if (event.key === 'Enter') {
          event.preventDefault();
          const centre = this.map.getCenter();
          this.onChoose({lat: centre.lat, lon: centre.lng});
        }
      },
      focus: () => {
        if (this.map.getContainer().matches(':focus-visible')) this.showCrosshair(true);
      },
      blur: () => this.showCrosshair(false),
      mousedown: () => this.showCrosshair(false),
    };
  }

  /** @param {L.Map} map */
  onAdd(map) {
    this.map = map;
    map.getContainer().appendChild(this.crosshair);
    L.DomEvent.on(map.getContainer(), this.containerEvents);
    return this;
  }

  /** @param {L.Map} map */
  onRemove(map) {
    L.DomEvent.off(map.getContainer(), this.containerEvents);
    this.crosshair.remove();
    this.mark.remove();
    this.map = null;
    return this;
  }

  /** @param {boolean} shown */
  showCrosshair(shown) {
    this.crosshair.classList.toggle('shown', shown);
  }

  /** Marks the chosen point. @param {{lat: number, lon: number}} point */
  set(point) {
    for (const layer of /** @type {L.CircleMarker[]} */ (this.mark.getLayers())) {
      layer.setLatLng([point.lat, point.lon]);
    }
    this.mark.addTo(this.map);
    const ring = /** @type {L.CircleMarker} */ (this.mark.getLayers()[0]);
    takePart(/** @type {SVGElement | undefined} */ (ring.getElement()), LABEL_RANK.mark);  // names give way to it
    this.map.fire('labelschange');  // moved without a new element: no redraw tells the layout
  }
}
