// Aviation hazards on the map: SIGMETs (convective in red), G-AIRMETs of the chosen forecast
// hour coloured by product (SIERRA: IFR and mountains obscured; TANGO: turbulence and wind;
// ZULU: icing and freezing level) and Center Weather Advisories dashed. Like the alert areas
// they take no clicks: the point panel lists the hazards at a chosen spot, with their text.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {hazardsFor} from '../hazards.js';
import {insidePolygons} from '../alerts.js';

/** The style class of a hazard item: kind, and for G-AIRMETs the product. */
export function hazardClass(item) {
  return item.kind === 'gairmet' ? `hazard gairmet ${String(item.product || '').toLowerCase()}` :
      `hazard ${item.kind}`;
}

/** Hazard layer: setItems(items), setFilter({forecastHour, lowFeet, highFeet}); at(point). */
export function createHazardLayer(map) {
  const renderer = L.svg({pane: 'hazards'});
  const group = L.layerGroup().addTo(map);
  let items = [];
  let filter = {forecastHour: 0, lowFeet: 0, highFeet: Infinity};
  let shown = [];

  function redraw() {
    group.clearLayers();
    shown = hazardsFor(items, filter);
    for (const item of shown) {
      const line = item.geometry === 'line';
      const options = {renderer, interactive: false, weight: 2, fill: !line, fillOpacity: 0.05,
        className: `${hazardClass(item)}${line ? ' line' : ''}`,
        dashArray: item.kind === 'cwa' ? '6 4' : null};
      const layer = item.geometry === 'line' ? L.polyline(item.shape, options) : L.polygon(item.shape, options);
      group.addLayer(layer);
      const path = layer.getElement();
      if (path) path.dataset.hazard = item.kind;
    }
  }

  return {
    setItems(list) {
      items = list;
      redraw();
    },
    setFilter(next) {
      filter = {...filter, ...next};
      redraw();
    },
    shownCount: () => shown.length,
    /** The shown areas (not lines) that hold a point. */
    at: (point) => shown.filter((item) => item.geometry !== 'line' && insidePolygons([[item.shape]], point)),
    setVisible(visible) {
      if (visible) group.addTo(map);
      else group.remove();
    },
  };
}
