// METAR stations on the map: one mark per station whose colour and shape both tell the flight
// category (circle VFR, square MVFR, diamond IFR, triangle LIFR), hollow when the report is old,
// thinned by zoom, with identifiers beside the marks once zoomed in.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {el} from '../dom.js';
import {thinStations} from '../thinning.js';
import {makeKeyboardTarget, showPopup} from './popup.js';
import {DrawnLayer} from './drawn-layer.js';
import {LABEL_RANK, besidePoint, takePart} from './label-layout.js';
import {PLOT_ZOOM, stationPlot} from './station-plot.js';

const CELL_PX = 22;
const FULL_DETAIL_ZOOM = 10;  // from here every station is drawn
const LABEL_ZOOM = 8;  // from here identifiers stand beside the marks
/** A report older than this is drawn as old. */
export const OLD_REPORT_MS = 90 * 60000;

export const CATEGORY_SHAPES = {VFR: 'circle', MVFR: 'square', IFR: 'diamond', LIFR: 'triangle'};

function shapePath(shape, x, y, r) {
  const f = (n) => n.toFixed(1);
  switch (shape) {
    case 'square': {
      const s = r * 0.9;
      return `M${f(x - s)} ${f(y - s)}H${f(x + s)}V${f(y + s)}H${f(x - s)}Z`;
    }
    case 'diamond': {
      const s = r * 1.25;
      return `M${f(x)} ${f(y - s)}L${f(x + s)} ${f(y)}L${f(x)} ${f(y + s)}L${f(x - s)} ${f(y)}Z`;
    }
    case 'triangle': {
      const s = r * 1.3;
      return `M${f(x)} ${f(y - s)}L${f(x + s * 0.95)} ${f(y + s * 0.7)}L${f(x - s * 0.95)} ${f(y + s * 0.7)}Z`;
    }
    default:
      return `M${f(x - r)} ${f(y)}a${f(r)} ${f(r)} 0 1 0 ${f(2 * r)} 0a${f(r)} ${f(r)} 0 1 0 ${f(-2 * r)} 0`;
  }
}

// A circle marker drawn as the category's shape. Leaflet has no public way to draw a vector mark
// of fixed pixel size other than a circle: a polygon in map coordinates gets each corner rounded
// to a whole pixel (lopsided 10 px marks), and DOM icons would add an element per mark to the
// ~950 drawn. So this overrides Leaflet 1.9's private path hooks; metar.test.js pins them.
/** @type {new (latlng: L.LatLngExpression, options: L.CircleMarkerOptions & {shape: string}) => L.CircleMarker} */
const StationMark = L.CircleMarker.extend({
  _updatePath() {
    if (!this._renderer._setPath || !this._point) return;
    this._renderer._setPath(this, shapePath(this.options.shape, this._point.x, this._point.y,
        this._radius));
  },
});

/**
 * @typedef {import('../metar.js').Station} Station
 * @typedef {object} MetarLayerOptions
 * @property {(station: Station) => string} label  the text alternative of a station's mark
 * @property {(station: Station) => HTMLElement} popup  builds a station's popup
 * @property {() => Set<string>} favourites  the favourite stations' ids, drawn larger and kept
 *   when thinning
 * @property {() => number} [now=Date.now]  the time marks are aged at
 * @property {() => void} [onDraw]  called after every drawing
 * @property {() => void} [onMoveStart]  called when the map starts to move, while the layer is on it
 * @property {() => void} [onMoveEnd]  called after each move of the map, once the identifiers are
 *   drawn, while the layer is on it (the stations in view follow the view)
 */

/**
 * The station layer: setStations() replaces the data, redraw() applies zoom, favourites and age.
 * Marks are thinned for the zoom; identifiers stand beside them from zoom 8.
 */
export class MetarLayer extends DrawnLayer {
  /** @param {MetarLayerOptions} options */
  constructor({label, popup, favourites, now = () => Date.now(), onDraw = () => {},
    onMoveStart = () => {}, onMoveEnd = () => {}}) {
    const marks = L.layerGroup();
    const labels = L.layerGroup();
    super([marks, labels]);
    this.label = label;
    this.popup = popup;
    this.favourites = favourites;
    this.now = now;
    this.onDraw = onDraw;
    this.onMoveStart = onMoveStart;
    this.onMoveEnd = onMoveEnd;
    this.labels = labels;
    this.renderer = L.svg({pane: 'stations'});
    /** @type {Station[]} */
    this.list = [];
    /** @type {Map<string, Station>} */
    this.byId = new Map();
    /** @type {Map<string, L.CircleMarker>} the drawn marks by station id */
    this.markers = new Map();
  }

  getEvents() {
    return {zoomend: this.redraw, movestart: this.onMoveStart, moveend: this.moved};
  }

  moved() {
    this.drawLabels();
    this.onMoveEnd();
  }

  /** @param {Station} station @param {HTMLElement | SVGElement | null} [opener] */
  showStation(station, opener = null) {
    showPopup(this.map, [station.lat, station.lon], this.popup(station),
        {opener, fromKeyboard: opener !== null, name: `${station.id} details`});
  }

  /** @param {Station} station @param {number} at */
  addMarker(station, at) {
    const category = (station.category || 'unknown').toLowerCase();
    const favourite = this.favourites().has(station.id);
    const old = !(at - station.time <= OLD_REPORT_MS);
    const marker = new StationMark([station.lat, station.lon], {
      renderer: this.renderer,
      shape: CATEGORY_SHAPES[station.category] || 'circle',
      radius: favourite ? 7 : 5.5,
      className: `station-marker cat-${category}${favourite ? ' favourite' : ''}${old ? ' old' : ''}`,
      weight: favourite ? 2.5 : old ? 2 : 1,
      fillOpacity: 1,
      bubblingMouseEvents: false,
    });
    marker.on('click', () => this.showStation(station));
    this.group.addLayer(marker);
    const path = /** @type {SVGElement | undefined} */ (marker.getElement());
    if (path) {
      path.dataset.station = station.id;
      path.dataset.category = station.category || 'unknown';
      if (old) path.dataset.old = 'true';
      takePart(path, LABEL_RANK.mark);
      makeKeyboardTarget(path, this.label(station), (element) => this.showStation(station, element));
    }
    this.markers.set(station.id, marker);
  }

  /** Identifiers beside the marks in view, so a zoomed-in map reads like a chart. */
  drawLabels() {
    this.labels.clearLayers();
    if (!this.map || !this.visible || this.map.getZoom() < LABEL_ZOOM) return;
    const bounds = this.map.getBounds().pad(0.1);
    const plots = this.map.getZoom() >= PLOT_ZOOM;
    if (plots) performance.mark('corvane:plots-start');
    for (const [id, marker] of this.markers) {
      const position = marker.getLatLng();
      if (!bounds.contains(position)) continue;
      if (plots) {
        // The station model around the mark, whose colour and shape still give the category.
        this.labels.addLayer(L.marker(position, {pane: 'stationLabels', interactive: false, keyboard: false,
          icon: L.divIcon({className: 'station-plot-icon', html: stationPlot(this.byId.get(id)),
            iconSize: [96, 64], iconAnchor: [48, 32]})}));
        continue;
      }
      const label = L.marker(position, {pane: 'stationLabels', interactive: false,
        keyboard: false, icon: L.divIcon({className: 'station-label', html: el('span', {text: id}),
          iconSize: null, iconAnchor: [-8, 8]})});
      this.labels.addLayer(label);
      takePart(label.getElement(), LABEL_RANK.station, besidePoint({gap: 8, clearance: 7}));
    }
    if (plots) performance.measure('corvane:plots', 'corvane:plots-start');
  }

  /** Draws the stations again: thinned for the zoom, favourites and ages as they are now. */
  redraw() {
    this.group.clearLayers();
    this.markers.clear();
    if (!this.map) return;
    const map = this.map;
    const zoom = map.getZoom();
    const at = this.now();
    const shown = zoom >= FULL_DETAIL_ZOOM ? this.list :
        thinStations(this.list, (s) => map.project([s.lat, s.lon], zoom), CELL_PX, this.favourites());
    for (const station of shown) this.addMarker(station, at);
    this.drawLabels();
    this.onDraw();
  }

  /** Replaces the stations drawn. @param {Station[]} list */
  setStations(list) {
    this.list = list;
    this.byId = new Map(list.map((station) => [station.id, station]));
    this.redraw();
  }

  /** @param {string} id */
  station(id) {
    return this.byId.get(id);
  }

  stations() {
    return this.list;
  }

  /** How many marks are drawn at this zoom. */
  shownCount() {
    return this.markers.size;
  }

  /** How many stations have a report over 90 minutes old. */
  oldCount(at = this.now()) {
    return this.list.filter((s) => !(at - s.time <= OLD_REPORT_MS)).length;
  }

  /** The stations drawn inside the visible map, nearest to its centre first. */
  inView() {
    if (!this.map) return [];
    const bounds = this.map.getBounds();
    const centre = this.map.getCenter();
    return [...this.markers.keys()].map((id) => this.byId.get(id))
        .filter((s) => bounds.contains([s.lat, s.lon]))
        .sort((a, b) => centre.distanceTo([a.lat, a.lon]) - centre.distanceTo([b.lat, b.lon]));
  }

  /**
   * Centres the station and opens its popup; false when the station is unknown.
   * @param {string} id @param {HTMLElement | SVGElement | null} [opener]
   */
  open(id, opener = null) {
    const station = this.byId.get(id);
    if (!station || !this.map) return false;
    // Without the animation: a popup opened while the map still flies there is panned into
    // view for the old view, then the flight's end centres the station and pushes the popup's
    // top off the map.
    this.map.setView([station.lat, station.lon], Math.max(this.map.getZoom(), 8), {animate: false});
    this.showStation(station, opener);
    return true;
  }

  /** @param {boolean} shown */
  setVisible(shown) {
    super.setVisible(shown);
    this.drawLabels();
  }
}
