// Alerts on the map, coloured by severity: an alert with its own shape is drawn as given; one
// named by zones (most zone and county alerts) over the shapes of those zones, once they have
// come (zones.js); one that names only counties by their SAME codes, or whose zones could not be
// had, over the outline of those counties, dashed, since a county is wider than the zone it may
// stand for. The shapes take no clicks: a click inside an alert area asks for the weather there,
// and the point panel lists the alerts at that spot.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {severityRank} from '../alerts.js';
import {timeZoneAt} from '../time-zones.js';
import {DrawnLayer} from './drawn-layer.js';

/** @typedef {import('../alerts.js').Alert} Alert */
/** How an alert is drawn. @typedef {'shape' | 'zones' | 'counties' | 'loading' | 'none'} DrawnAs */

/**
 * The alert layer: setAlerts(list), setCounties(lookup) once the county shapes are loaded (see
 * map/base-data.js), setZones(shapes) with the zone shapes (zones.js), redraw() when one came.
 * Alerts covering the same area share one shape, coloured by the most severe of them: the same
 * area filled once per alert would hide the map under it, and a long list of alerts would cost a
 * shape each.
 */
export class AlertLayer extends DrawnLayer {
  constructor() {
    super();
    this.renderer = L.svg({pane: 'alerts'});
    /** @type {Alert[]} */
    this.alerts = [];
    /** @type {import('./base-data.js').CountyLookup | null} */
    this.counties = null;
    /** @type {ReturnType<typeof import('../zones.js').createZoneShapes> | null} */
    this.zones = null;
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

  /** The zones of an alert whose shapes are kept. @param {Alert} alert @returns {string[]} */
  keptZones(alert) {
    return this.zones ? alert.zoneRefs.filter((ref) => this.zones.get(ref)) : [];
  }

  /**
   * How the alert is drawn: 'shape' (its own), 'zones' (its zones' shapes; some may still be
   * missing), 'counties' (the counties of its SAME codes: it names no zone, or none of its zones
   * could be had; until the county shapes are loaded, those it names), 'loading' (its zones are
   * on their way), or 'none' (no area the map can draw: then it is not on the map).
   * @param {Alert} alert @returns {DrawnAs}
   */
  drawnAs(alert) {
    if (alert.polygons.length) return 'shape';
    if (this.keptZones(alert).length) return 'zones';
    if (this.zones && alert.zoneRefs.some((ref) => this.zones.state(ref) !== 'failed')) return 'loading';
    // Counties the shapes do not hold (outside the area, or codes of none) draw nothing.
    if (!alert.counties.length || (this.counties && !this.counties.outline([...alert.counties].sort()).length)) {
      return 'none';
    }
    return 'counties';
  }

  /** The area an alert is drawn over, as [lat, lon] rings, and the key it shares with alerts of the same area. */
  area(alert) {
    const drawn = this.drawnAs(alert);
    if (drawn === 'shape') return {drawn, key: `shape ${JSON.stringify(alert.polygons)}`, polygons: alert.polygons};
    if (drawn === 'zones') {
      const refs = this.keptZones(alert).sort();
      return {drawn, key: `zones ${refs.join(' ')}`, polygons: refs.flatMap((ref) => this.zones.get(ref).polygons)};
    }
    if (drawn === 'counties' && this.counties) {
      const ids = [...alert.counties].sort();
      return {drawn, key: `counties ${ids.join(' ')}`, polygons: this.counties.outline(ids)};
    }
    return {drawn, key: '', polygons: []};
  }

  redraw() {
    this.group.clearLayers();
    const areas = new Map();
    for (const alert of this.alerts) {
      const area = this.area(alert);
      if (!area.polygons.length) continue;
      if (areas.has(area.key)) areas.get(area.key).covering.push(alert);
      else areas.set(area.key, {...area, covering: [alert]});
    }
    const shapes = [...areas.values()].map((area) => ({...area,
      top: area.covering.reduce((a, b) => (severityRank(b.severity) < severityRank(a.severity) ? b : a))}));
    // Least severe first, so the most severe shapes lie on top.
    shapes.sort((a, b) => severityRank(b.top.severity) - severityRank(a.top.severity));
    for (const {covering, top, drawn, polygons} of shapes) {
      const countyDrawn = drawn === 'counties';
      const layer = this.shape(polygons, top, countyDrawn);
      this.group.addLayer(layer);
      const path = /** @type {SVGElement | undefined} */ (layer.getElement());
      if (!path) continue;
      path.dataset.alerts = covering.map((alert) => alert.key).join(' ');
      if (countyDrawn) path.dataset.counties = [...top.counties].sort().join(' ');
      if (drawn === 'zones') path.dataset.zones = this.keptZones(top).sort().join(' ');
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

  /** @param {ReturnType<typeof import('../zones.js').createZoneShapes>} shapes */
  setZones(shapes) {
    this.zones = shapes;
    this.redraw();
  }

  /** The map area an alert covers (its shape, zones or counties); null if it is not drawn. @param {Alert} alert */
  boundsOf(alert) {
    const points = this.area(alert).polygons.flat(2);
    return points.length ? L.latLngBounds(points) : null;
  }

  /**
   * The IANA time zone of an alert's area: the one its zone documents name, else the one at the
   * middle of what is drawn; null when neither is known.
   * @param {Alert} alert @returns {string | null}
   */
  timeZoneOf(alert) {
    const zone = this.keptZones(alert).map((ref) => this.zones.get(ref).timeZone).find(Boolean);
    if (zone) return zone;
    const middle = this.boundsOf(alert)?.getCenter();
    return middle ? timeZoneAt(middle.lat, middle.lng) : null;
  }
}
