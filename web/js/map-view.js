// The map itself and its base layers: all the first drawing needs, so that it does not wait
// for the layers, panels and decoders of the rest of the page (js/app.js, loaded after it).

import * as L from '../vendor/leaflet/leaflet-src.esm.js';
import {el} from './dom.js';
import {METAR_AREA} from './geo.js';
import {createPanes, drawBaseMap} from './map/basemap.js';

performance.mark('corvane:start');

// Map and base map.
export const map = L.map('map', {
  attributionControl: false,
  minZoom: 4,
  maxZoom: 12,
  zoomSnap: 0.5,
  // Room around the area, so a popup near its edge can always pan into view.
  maxBounds: [[METAR_AREA.south - 16, METAR_AREA.west - 30], [METAR_AREA.north + 18, METAR_AREA.east + 40]],
  worldCopyJump: false,
});
createPanes(map);
const HOME = L.latLngBounds([[METAR_AREA.south, METAR_AREA.west], [METAR_AREA.north, METAR_AREA.east]]);
map.fitBounds(HOME);
// The map's box changes without a window resize when the status area above it opens, grows or
// closes: Leaflet is told, and a map still at its first view fits the whole area again, so its
// south is not cut off.
let home = {center: map.getCenter(), zoom: map.getZoom()};
new ResizeObserver(() => {
  const atHome = map.getZoom() === home.zoom && map.getCenter().equals(home.center, 1e-6);
  map.invalidateSize();
  if (atHome) {
    map.fitBounds(HOME, {animate: false});
    home = {center: map.getCenter(), zoom: map.getZoom()};
  }
}).observe(map.getContainer());
/** Draws the state lines over the pictures: run once the first drawing is painted. */
export const drawRestOfBaseMap = drawBaseMap(map);
// Bottom left, under the picture loop's control: at the first view that corner is open ocean.
const credit = new L.Control({position: 'bottomleft'});
credit.onAdd = () => el('div', {className: 'map-credit',
  text: 'Weather: NOAA NWS, Aviation Weather Center · Radar: NOAA NWS · Satellite: NASA GIBS, NOAA GOES-West · ' +
    'Base map: USGS The National Map · States, counties: US Census via us-atlas · Leaflet'});
credit.addTo(map);
