// The bench's baseline (copied into the built page's js/ folder and bundled like the page): a
// bare Leaflet map drawing the same state shapes as the page and nothing else, marking its
// first drawing the way the page does.
import * as L from '../vendor/leaflet/leaflet-src.esm.js';
import feature from '../vendor/topojson-client/feature.js';
import topology from '../vendor/us-atlas/states-10m.js';
import {METAR_AREA} from './geo.js';

performance.mark('corvane:start');
const map = L.map('map', {attributionControl: false, minZoom: 4, maxZoom: 12, zoomSnap: 0.5});
map.fitBounds([[METAR_AREA.south, METAR_AREA.west], [METAR_AREA.north, METAR_AREA.east]]);
L.geoJSON(feature(topology, topology.objects.states).features, {interactive: false,
  style: {weight: 1, fillOpacity: 1}}).addTo(map);
performance.mark('corvane:first-map');
