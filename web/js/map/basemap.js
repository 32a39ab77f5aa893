// The offline base map: state shapes from us-atlas, so the map needs no tile server.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import feature from '../../vendor/topojson-client/feature.js';
import topology from '../../vendor/us-atlas/states-10m.js';

// FIPS codes of the eleven western states the program covers.
const WESTERN = new Set(['04', '06', '08', '16', '30', '32', '35', '41', '49', '53', '56']);
// Alaska, Hawaii and the territories lie far outside the map.
const OUTSIDE = new Set(['02', '15', '60', '66', '69', '72', '78']);

/** Draws the states into their own pane below every weather layer; returns the layer. */
export function drawBaseMap(map) {
  map.createPane('base').classList.add('base-pane');
  const states = feature(topology, topology.objects.states).features
      .filter((state) => !OUTSIDE.has(state.id));
  return L.geoJSON(states, {
    pane: 'base',
    interactive: false,
    style: (state) => WESTERN.has(state.id) ?
        {className: 'state state-west', weight: 1.2, fillOpacity: 1} :
        {className: 'state state-other', weight: 0.8, fillOpacity: 1},
  }).addTo(map);
}
