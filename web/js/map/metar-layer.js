// METAR stations on the map: a circle per station coloured by flight category, thinned by zoom.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {thinStations} from '../thinning.js';
import {makeKeyboardTarget, showPopup} from './popup.js';

const CELL_PX = 22;
const FULL_DETAIL_ZOOM = 10;  // from here every station is drawn

/**
 * Station layer. label(station) gives the marker's text alternative; popup(station) builds the
 * popup's DOM node. setStations() replaces the data, redraw() applies zoom and favourites.
 */
export function createMetarLayer(map, {label, popup, favourites}) {
  map.createPane('stations').classList.add('stations-pane');
  const renderer = L.svg({pane: 'stations', padding: 0.5});
  const group = L.layerGroup().addTo(map);
  let stations = [];
  let byId = new Map();
  const markers = new Map();

  function openPopup(station, opener = null) {
    showPopup(map, [station.lat, station.lon], popup(station),
        {opener, fromKeyboard: opener !== null});
  }

  function addMarker(station) {
    const category = (station.category || 'unknown').toLowerCase();
    const favourite = favourites().has(station.id);
    const marker = L.circleMarker([station.lat, station.lon], {
      renderer,
      radius: favourite ? 7 : 5.5,
      className: `station-marker cat-${category}${favourite ? ' favourite' : ''}`,
      weight: favourite ? 2.5 : 1,
      fillOpacity: 1,
      bubblingMouseEvents: false,
    });
    marker.on('click', () => openPopup(station));
    group.addLayer(marker);
    const path = marker.getElement();
    if (path) {
      path.dataset.station = station.id;
      path.dataset.category = station.category || 'unknown';
      makeKeyboardTarget(path, label(station), (element) => openPopup(station, element));
    }
    markers.set(station.id, marker);
  }

  function redraw() {
    group.clearLayers();
    markers.clear();
    const zoom = map.getZoom();
    const shown = zoom >= FULL_DETAIL_ZOOM ? stations :
        thinStations(stations, (s) => map.project([s.lat, s.lon], zoom), CELL_PX, favourites());
    for (const station of shown) addMarker(station);
  }

  map.on('zoomend', redraw);

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
    /** Centres the station and opens its popup; false when the station is unknown. */
    open(id, opener = null) {
      const station = byId.get(id);
      if (!station) return false;
      map.setView([station.lat, station.lon], Math.max(map.getZoom(), 8));
      openPopup(station, opener);
      return true;
    },
    setVisible(visible) {
      if (visible) group.addTo(map);
      else group.remove();
    },
  };
}
