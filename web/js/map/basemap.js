// The offline base map: state shapes from us-atlas, then (loaded after the first drawing)
// county lines at closer zooms and place names that grow denser as the reader zooms in.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import feature from '../../vendor/topojson-client/feature.js';
import topology from '../../vendor/us-atlas/states-10m.js';
import {el} from '../dom.js';
import {DrawnLayer} from './drawn-layer.js';
import {LABEL_RANK, besidePoint, takePart} from './label-layout.js';

// FIPS codes of the eleven western states the program covers.
const WESTERN = new Set(['04', '06', '08', '16', '30', '32', '35', '41', '49', '53', '56']);
// Alaska, Hawaii and the territories lie far outside the map.
const OUTSIDE = new Set(['02', '15', '60', '66', '69', '72', '78']);

// Map panes from the bottom up. Every pane the page draws into is made here, in one place,
// so the order of what lies on top of what is written down once.
// The base-map tiles lie over the plain map's fills, which show through wherever tiles fail; radar
// over satellite; county and state lines over the pictures, so they stay readable on each.
const PANES = [
  ['base', 200], ['baseTiles', 205], ['satellite', 220], ['avalanche', 225], ['radar', 230], ['counties', 245],
  ['stateLines', 250], ['hazards', 280], ['alerts', 300], ['places', 420], ['hazardLabels', 430],
  ['pireps', 450], ['winds', 470], ['route', 480], ['stations', 500], ['stationLabels', 510], ['point', 640],
];

/**
 * Creates the page's map panes with their stacking order.
 * @param {L.Map} map
 */
export function createPanes(map) {
  for (const [name, z] of /** @type {[string, number][]} */ (PANES)) {
    const pane = map.createPane(name);
    pane.style.zIndex = String(z);
    pane.classList.add(`${name}-pane`);
  }
}

/**
 * Draws the states into their own pane below every weather layer; returns the function that
 * draws the state lines over the pictures, to be run once that first drawing is on the screen
 * (until the pictures come, the fills' own edges are the same lines).
 * @param {L.Map} map
 * @returns {() => void}
 */
export function drawBaseMap(map) {
  const states = feature(topology, topology.objects.states).features
      .filter((state) => !OUTSIDE.has(String(state.id)));
  const western = (/** @type {import('geojson').Feature | undefined} */ state) => WESTERN.has(String(state?.id));
  L.geoJSON(states, {
    pane: 'base',
    interactive: false,
    style: (state) => western(state) ?
        {className: 'state state-west', weight: 1.2, fillOpacity: 1} :
        {className: 'state state-other', weight: 0.8, fillOpacity: 1},
  }).addTo(map);
  return () => {
    L.geoJSON(states, {pane: 'stateLines', interactive: false, style: (state) => ({
      className: `state-line${western(state) ? ' state-west' : ''}`, weight: western(state) ? 1.2 : 0.8,
      fill: false})}).addTo(map);
  };
}

const COUNTY_ZOOM = 7;

/** County lines (a GeoJSON geometry of lines), shown from zoom 7 on. */
export class CountyLines extends DrawnLayer {
  /** @param {import('geojson').MultiLineString} lines */
  constructor(lines) {
    super([L.geoJSON(lines, {pane: 'counties', interactive: false,
      style: {className: 'county-line', weight: 0.7, fill: false}})]);
    this.visible = false;  // redraw() shows them, from COUNTY_ZOOM on
  }

  getEvents() {
    return {zoomend: this.redraw};
  }

  redraw() {
    this.showGroups(this.map.getZoom() >= COUNTY_ZOOM);
  }
}

/**
 * Place names in view: `places` lists {name, lat, lon, population, zoom}, where zoom is the first
 * map zoom a label shows at (chosen at build time so names never crowd one another); a name gives
 * way to the weather drawn over it (map/label-layout.js), larger places keeping theirs first.
 */
export class PlaceNames extends DrawnLayer {
  /** @param {import('../../data/places.js').Place[]} places */
  constructor(places) {
    super();
    this.places = places;
  }

  getEvents() {
    return {moveend: this.redraw};
  }

  redraw() {
    this.group.clearLayers();
    const zoom = this.map.getZoom();
    const bounds = this.map.getBounds().pad(0.05);
    for (const place of this.places) {
      if (!(place.zoom <= zoom) || !bounds.contains([place.lat, place.lon])) continue;
      const big = place.population >= 100000;
      const label = L.marker([place.lat, place.lon], {pane: 'places', interactive: false,
        keyboard: false, icon: L.divIcon({className: `place-label${big ? ' city' : ''}`,
          html: el('span', {text: place.name}), iconSize: null, iconAnchor: [3, 8]})});
      this.group.addLayer(label);
      // The name moves around its dot, or hides with it; the dot alone would name nothing.
      takePart(/** @type {HTMLElement | undefined} */ (label.getElement()?.firstElementChild),
          LABEL_RANK.place, besidePoint({gap: 5, clearance: 3}));
    }
  }
}
