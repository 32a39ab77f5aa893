// METAR stations on the map: one mark per station whose colour and shape both tell the flight
// category (circle VFR, square MVFR, diamond IFR, triangle LIFR), hollow when the report is old,
// thinned by zoom, with identifiers beside the marks once zoomed in.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {el} from '../dom.js';
import {thinStations} from '../thinning.js';
import {makeKeyboardTarget, showPopup} from './popup.js';

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

// A circle marker drawn as the category's shape by the SVG renderer.
const StationMark = L.CircleMarker.extend({
  _updatePath() {
    if (!this._renderer._setPath || !this._point) return;
    this._renderer._setPath(this, shapePath(this.options.shape, this._point.x, this._point.y,
        this._radius));
  },
});

/**
 * Station layer. label(station) gives the mark's text alternative; popup(station) builds the
 * popup's DOM node. setStations() replaces the data, redraw() applies zoom, favourites and age.
 */
export function createMetarLayer(map, {label, popup, favourites, now = () => Date.now(),
  onDraw = () => {}}) {
  const renderer = L.svg({pane: 'stations'});
  const group = L.layerGroup().addTo(map);
  const labels = L.layerGroup().addTo(map);
  let stations = [];
  let byId = new Map();
  let visible = true;
  const markers = new Map();

  function openPopup(station, opener = null) {
    showPopup(map, [station.lat, station.lon], popup(station),
        {opener, fromKeyboard: opener !== null});
  }

  function addMarker(station, at) {
    const category = (station.category || 'unknown').toLowerCase();
    const favourite = favourites().has(station.id);
    const old = !(at - station.time <= OLD_REPORT_MS);
    const marker = new StationMark([station.lat, station.lon], {
      renderer,
      shape: CATEGORY_SHAPES[station.category] || 'circle',
      radius: favourite ? 7 : 5.5,
      className: `station-marker cat-${category}${favourite ? ' favourite' : ''}${old ? ' old' : ''}`,
      weight: favourite ? 2.5 : old ? 2 : 1,
      fillOpacity: 1,
      bubblingMouseEvents: false,
    });
    marker.on('click', () => openPopup(station));
    group.addLayer(marker);
    const path = marker.getElement();
    if (path) {
      path.dataset.station = station.id;
      path.dataset.category = station.category || 'unknown';
      if (old) path.dataset.old = 'true';
      makeKeyboardTarget(path, label(station), (element) => openPopup(station, element));
    }
    markers.set(station.id, marker);
  }

  // Identifiers beside the marks in view, so a zoomed-in map reads like a chart.
  function drawLabels() {
    labels.clearLayers();
    if (!visible || map.getZoom() < LABEL_ZOOM) return;
    const bounds = map.getBounds().pad(0.1);
    for (const [id, marker] of markers) {
      const position = marker.getLatLng();
      if (!bounds.contains(position)) continue;
      labels.addLayer(L.marker(position, {pane: 'stationLabels', interactive: false, keyboard: false,
        icon: L.divIcon({className: 'station-label', html: el('span', {text: id}), iconSize: null,
          iconAnchor: [-8, 8]})}));
    }
  }

  function redraw() {
    group.clearLayers();
    markers.clear();
    const zoom = map.getZoom();
    const at = now();
    const shown = zoom >= FULL_DETAIL_ZOOM ? stations :
        thinStations(stations, (s) => map.project([s.lat, s.lon], zoom), CELL_PX, favourites());
    for (const station of shown) addMarker(station, at);
    drawLabels();
    onDraw();
  }

  map.on('zoomend', redraw);
  map.on('moveend', drawLabels);

  return {
    setStations(list) {
      stations = list;
      byId = new Map(list.map((station) => [station.id, station]));
      redraw();
    },
    redraw,
    station: (id) => byId.get(id),
    stations: () => stations,
    shownCount: () => markers.size,
    oldCount: (at = now()) => stations.filter((s) => !(at - s.time <= OLD_REPORT_MS)).length,
    /** The stations drawn inside the visible map, nearest to its centre first. */
    inView() {
      const bounds = map.getBounds();
      const centre = map.getCenter();
      return [...markers.keys()].map((id) => byId.get(id))
          .filter((s) => bounds.contains([s.lat, s.lon]))
          .sort((a, b) => centre.distanceTo([a.lat, a.lon]) - centre.distanceTo([b.lat, b.lon]));
    },
    /** Centres the station and opens its popup; false when the station is unknown. */
    open(id, opener = null) {
      const station = byId.get(id);
      if (!station) return false;
      map.setView([station.lat, station.lon], Math.max(map.getZoom(), 8));
      openPopup(station, opener);
      return true;
    },
    setVisible(shown) {
      visible = shown;
      if (shown) {
        group.addTo(map);
        labels.addTo(map);
      } else {
        group.remove();
        labels.remove();
      }
      drawLabels();
    },
  };
}
