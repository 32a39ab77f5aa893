// Aviation hazards on the map: SIGMETs (convective in red), G-AIRMETs of the chosen forecast
// hour coloured by product (SIERRA: IFR and mountains obscured; TANGO: turbulence and wind;
// ZULU: icing and freezing level) and Center Weather Advisories dashed. Like the alert areas
// they take no clicks: the point panel lists the hazards at a chosen spot, with their text.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {hazardsFor} from '../hazards.js';
import {insidePolygons} from '../alerts.js';
import {DrawnLayer} from './drawn-layer.js';

/** @typedef {import('../hazards.js').HazardItem} HazardItem */

/** The style class of a hazard item: kind, and for G-AIRMETs the product. @param {HazardItem} item */
function hazardClass(item) {
  return item.kind === 'gairmet' ? `hazard gairmet ${String(item.product || '').toLowerCase()}` :
      `hazard ${item.kind}`;
}

/** The hazard layer: setItems(items), setFilter({forecastHour, lowFeet, highFeet}); at(point). */
export class HazardLayer extends DrawnLayer {
  constructor() {
    super();
    this.renderer = L.svg({pane: 'hazards'});
    /** @type {HazardItem[]} */
    this.items = [];
    /** @type {Required<import('../hazards.js').HazardFilter>} */
    this.filter = {forecastHour: 0, lowFeet: 0, highFeet: Infinity};
    /** @type {HazardItem[]} */
    this.shown = [];
  }

  redraw() {
    this.group.clearLayers();
    this.shown = hazardsFor(this.items, this.filter);
    for (const item of this.shown) {
      const line = item.geometry === 'line';
      const options = {renderer: this.renderer, interactive: false, weight: 2, fill: !line,
        fillOpacity: 0.05, className: `${hazardClass(item)}${line ? ' line' : ''}`,
        dashArray: item.kind === 'cwa' ? '6 4' : null};
      const layer = line ? L.polyline(item.shape, options) : L.polygon(item.shape, options);
      this.group.addLayer(layer);
      const path = /** @type {SVGElement | undefined} */ (layer.getElement());
      if (path) path.dataset.hazard = item.kind;
    }
  }

  /** @param {HazardItem[]} list */
  setItems(list) {
    this.items = list;
    this.redraw();
  }

  /** Changes part of the filter. @param {import('../hazards.js').HazardFilter} next */
  setFilter(next) {
    this.filter = {...this.filter, ...next};
    this.redraw();
  }

  shownCount() {
    return this.shown.length;
  }

  /** The shown areas (not lines) that hold a point. @param {{lat: number, lon: number}} point */
  at(point) {
    return this.shown.filter((item) => item.geometry !== 'line' && insidePolygons([[item.shape]], point));
  }
}
