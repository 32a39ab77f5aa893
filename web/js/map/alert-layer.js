// Alerts on the map, coloured by severity: an alert with its own shape is drawn as given; one
// without a shape (most zone and county alerts) is drawn over the outline of the counties its
// SAME codes name, dashed, since a county is wider than the zone it may stand for. The shapes take
// no clicks: a click inside an alert area asks for the weather there, and the point panel lists
// the alerts at that spot.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {severityRank} from '../alerts.js';
import {DrawnLayer} from './drawn-layer.js';

/** @typedef {import('../alerts.js').Alert} Alert */

/** The key of the area an alert covers: its own shape, or the set of its counties. @param {Alert} alert */
function areaKey(alert) {
  return alert.polygons.length ? `shape ${JSON.stringify(alert.polygons)}` :
      `counties ${[...alert.counties].sort().join(' ')}`;
}

/**
 * The alert layer: setAlerts(list), setCounties(lookup) once the county shapes are loaded (see
 * map/base-data.js). Alerts covering the same area share one shape, coloured by the most severe
 * of them: the same area filled once per alert would hide the map under it, and a long list of
 * alerts would cost a shape each.
 */
export class AlertLayer extends DrawnLayer {
  constructor() {
    super();
    this.renderer = L.svg({pane: 'alerts'});
    /** @type {Alert[]} */
    this.alerts = [];
    /** @type {import('./base-data.js').CountyLookup | null} */
    this.counties = null;
  }

  /** @param {[number, number][][][]} polygons [lat, lon] rings @param {Alert} alert @param {boolean} countyDrawn */
  shape(polygons, alert, countyDrawn) {
    return L.polygon(polygons, {
      renderer: this.renderer,
      interactive: false,
      // Edge, dash and fill come from the page's style sheet, which the legend shares.
      className: `alert-shape severity-${alert.severity.toLowerCase()}${countyDrawn ? ' county-drawn' : ''}`,
    });
  }

  redraw() {
    this.group.clearLayers();
    const areas = new Map();
    for (const alert of this.alerts) {
      if (!alert.polygons.length && (!this.counties || !alert.counties.length)) continue;
      const key = areaKey(alert);
      if (areas.has(key)) areas.get(key).push(alert);
      else areas.set(key, [alert]);
    }
    const shapes = [...areas.values()].map((covering) => ({covering,
      top: covering.reduce((a, b) => (severityRank(b.severity) < severityRank(a.severity) ? b : a))}));
    // Least severe first, so the most severe shapes lie on top.
    shapes.sort((a, b) => severityRank(b.top.severity) - severityRank(a.top.severity));
    for (const {covering, top} of shapes) {
      const countyDrawn = !top.polygons.length;
      const polygons = countyDrawn ? this.counties.outline(top.counties) : top.polygons;
      if (!polygons.length) continue;
      const layer = this.shape(polygons, top, countyDrawn);
      this.group.addLayer(layer);
      const path = /** @type {SVGElement | undefined} */ (layer.getElement());
      if (!path) continue;
      path.dataset.alerts = covering.map((alert) => alert.key).join(' ');
      if (countyDrawn) path.dataset.counties = [...top.counties].sort().join(' ');
    }
  }

  /** @param {Alert[]} list  the alerts in force */
  setAlerts(list) {
    this.alerts = list;
    this.redraw();
  }

  /** @param {import('./base-data.js').CountyLookup} lookup */
  setCounties(lookup) {
    this.counties = lookup;
    this.redraw();
  }

  /**
   * How the alert is drawn: 'shape', 'counties', or 'none' (no shape and no known county).
   * @param {Alert} alert @returns {'shape' | 'counties' | 'none'}
   */
  drawnAs(alert) {
    if (alert.polygons.length) return 'shape';
    if (!alert.counties.length) return 'none';
    return 'counties';
  }

  /** The map area an alert covers (its shape or its counties); null if it is not drawn. @param {Alert} alert */
  boundsOf(alert) {
    const polygons = alert.polygons.length ? alert.polygons :
        this.counties ? this.counties.outline(alert.counties) : [];
    const points = polygons.flat(2);
    return points.length ? L.latLngBounds(points) : null;
  }
}
