// Starts the page: the map, the three layers, the point panel and the side panels, all fed
// through the bridge to the native host.

import * as L from '../vendor/leaflet/leaflet-src.esm.js';
import {decodeAlerts} from './alerts.js';
import {createBridge} from './bridge.js';
import {el} from './dom.js';
import {Feed} from './feed.js';
import {METAR_AREA, buildMetarBox, parsePointText} from './geo.js';
import {drawBaseMap} from './map/basemap.js';
import {createAlertLayer} from './map/alert-layer.js';
import {createMetarLayer} from './map/metar-layer.js';
import {createPirepLayer} from './map/pirep-layer.js';
import {decodeMetars} from './metar.js';
import {createAboutPanel} from './panels/about-panel.js';
import {createAlertPanel} from './panels/alert-panel.js';
import {pirepLabel, stationLabel} from './panels/describe.js';
import {createLayerPanel} from './panels/layer-panel.js';
import {pointFreshness, renderPointPanel} from './panels/point-panel.js';
import {pirepPopup, stationPopup} from './panels/report-popups.js';
import {createStationPanel} from './panels/station-panel.js';
import {createStatusArea} from './panels/status.js';
import {setUpTabs} from './panels/tabs.js';
import {createUnitsPanel} from './panels/units-panel.js';
import {decodePireps} from './pirep.js';
import {createPointController} from './point-controller.js';
import {loadJson, saveJson} from './store.js';
import {normalizeUnits} from './units.js';

const MINUTE = 60000;
const BOX_ZOOM = 7;  // from this zoom the visible area is asked for on its own
const TICK_MS = 30000;

performance.mark('corvane:start');

const demo = new URLSearchParams(location.search).get('demo') === '1' || window.corvaneDemo === true;
document.getElementById('demo-banner').hidden = !demo;
document.body.classList.toggle('demo', demo);

let units = normalizeUnits(loadJson('units'));
const favourites = new Set((loadJson('favourites', []) || []).filter((id) =>
  typeof id === 'string' && /^[A-Z0-9]{2,12}$/.test(id)).slice(0, 200));
const now = () => Date.now();

// Map and base map.
const map = L.map('map', {
  attributionControl: false,
  minZoom: 4,
  maxZoom: 12,
  zoomSnap: 0.5,
  maxBounds: [[METAR_AREA.south - 12, METAR_AREA.west - 25], [METAR_AREA.north + 10, METAR_AREA.east + 35]],
  worldCopyJump: false,
});
map.fitBounds([[METAR_AREA.south, METAR_AREA.west], [METAR_AREA.north, METAR_AREA.east]]);
drawBaseMap(map);
const credit = L.control({position: 'bottomright'});
credit.onAdd = () => el('div', {className: 'map-credit',
  text: 'Weather: NOAA NWS, Aviation Weather Center · States: US Census via us-atlas · Leaflet'});
credit.addTo(map);
performance.mark('corvane:first-map');

const bridge = createBridge();
const status = createStatusArea(document.getElementById('status'));
const selectTab = setUpTabs(document.getElementById('tabs'));

function isFavourite(id) {
  return favourites.has(id);
}

function toggleFavourite(id) {
  if (favourites.has(id)) favourites.delete(id);
  else favourites.add(id);
  saveJson('favourites', [...favourites]);
  metarLayer.redraw();
  stationPanel.update();
  return favourites.has(id);
}

// Layers.
const metarLayer = createMetarLayer(map, {
  label: (station) => stationLabel(station, units, now()),
  popup: (station) => stationPopup(station, {units, now: now(), isFavourite, toggleFavourite}),
  favourites: () => favourites,
});
const pirepLayer = createPirepLayer(map, {
  label: (report) => pirepLabel(report, now()),
  popup: (report) => pirepPopup(report, {units, now: now()}),
});
const alertPanel = createAlertPanel(document.getElementById('panel-alerts'), {
  onShowOnMap: (alert) => map.fitBounds(L.latLngBounds(alert.polygons.flat(2)), {maxZoom: 9}),
});
const alertLayer = createAlertLayer(map, {
  select: (alert) => {
    selectTab('alerts');
    alertPanel.show(alert, {focus: true});
  },
});

// Feeds.
const newest = (items) => Math.max(...items.map((item) => item.time).filter(Number.isFinite));
const metarFeed = new Feed({name: 'metars', label: 'METAR stations', bridge, operation: 'metars',
  decode: decodeMetars, dataTime: newest, intervalMs: 5 * MINUTE});
const boxFeed = new Feed({name: 'metars-box', label: 'METAR stations in view', bridge,
  operation: 'metars', decode: decodeMetars, dataTime: newest, intervalMs: 5 * MINUTE, keep: false});
const pirepFeed = new Feed({name: 'pireps', label: 'Pilot reports', bridge, operation: 'pireps',
  decode: decodePireps, dataTime: newest, intervalMs: 3 * MINUTE});
const alertFeed = new Feed({name: 'alerts', label: 'Alerts', bridge, operation: 'alerts',
  decode: decodeAlerts, dataTime: (data) => data.updated, intervalMs: 5 * MINUTE});
const feeds = [metarFeed, pirepFeed, alertFeed];

const layerPanel = createLayerPanel(document.getElementById('panel-layers'), feeds, {
  setVisible: (name, shown) => ({metars: metarLayer, pireps: pirepLayer, alerts: alertLayer})[name]
      .setVisible(shown),
  onBand: (band) => pirepLayer.setBand(band),
  count: (feed) => {
    if (feed === metarFeed) return `${metarLayer.stations().length} stations, ${metarLayer.shownCount()} shown at this zoom`;
    if (feed === pirepFeed) return `${feed.data.length} reports, ${pirepLayer.shownCount()} shown`;
    const drawn = feed.data.alerts.filter((alert) => alert.polygons.length).length;
    return `${feed.data.alerts.length} alerts, ${drawn} drawn on the map`;
  },
});

const stationPanel = createStationPanel(document.getElementById('panel-stations'), {
  station: (id) => metarLayer.station(id),
  open: (id, opener) => metarLayer.open(id, opener),
  favourites: () => favourites,
  removeFavourite: (id) => toggleFavourite(id),
  units: () => units,
  now,
});

function stationsInView() {
  const whole = metarFeed.data || [];
  if (map.getZoom() < BOX_ZOOM || !boxFeed.data) return whole;
  const merged = new Map(whole.map((station) => [station.id, station]));
  for (const station of boxFeed.data) {
    const known = merged.get(station.id);
    if (!known || !(known.time > station.time)) merged.set(station.id, station);
  }
  return [...merged.values()];
}

function showFeedStatus(feed) {
  if (feed.error && !feed.loading) {
    status.set(feed.name, {label: feed.label, error: feed.error, retry: () => feed.refresh(),
      note: feed.data !== null ? 'Showing the last good data.' : ''});
  } else if (!feed.error) {
    status.clear(feed.name);
  }
}

metarFeed.subscribe((feed, changedData) => {
  if (changedData) {
    performance.mark('corvane:metars-draw-start');
    metarLayer.setStations(stationsInView());
    performance.measure('corvane:metars-draw', 'corvane:metars-draw-start');
    stationPanel.update();
  }
  layerPanel.update(feed, now());
  showFeedStatus(feed);
});
boxFeed.subscribe((feed, changedData) => {
  if (changedData) metarLayer.setStations(stationsInView());
  showFeedStatus(feed);
  layerPanel.update(metarFeed, now());
});
pirepFeed.subscribe((feed, changedData) => {
  if (changedData) {
    performance.mark('corvane:pireps-draw-start');
    pirepLayer.setReports(feed.data, now());
    performance.measure('corvane:pireps-draw', 'corvane:pireps-draw-start');
  }
  layerPanel.update(feed, now());
  showFeedStatus(feed);
});
alertFeed.subscribe((feed, changedData) => {
  if (changedData) {
    alertLayer.setAlerts(feed.data.alerts);
    alertPanel.update(feed.data.alerts);
  } else if (feed.data === null && feed.error) {
    alertPanel.unavailable(feed.error.message);
  }
  layerPanel.update(feed, now());
  showFeedStatus(feed);
});

// The visible area's own stations once zoomed in, since the whole-area reply may be capped.
function followView() {
  if (map.getZoom() < BOX_ZOOM) {
    boxFeed.stop();
    if (boxFeed.data) {
      boxFeed.data = null;
      metarLayer.setStations(stationsInView());
    }
    return;
  }
  const bounds = map.getBounds();
  const box = buildMetarBox({south: bounds.getSouth(), west: bounds.getWest(),
    north: bounds.getNorth(), east: bounds.getEast()});
  if (!box || box === boxFeed.argument) return;
  boxFeed.argument = box;
  boxFeed.refresh();
  if (!boxFeed.timer) boxFeed.timer = setInterval(() => boxFeed.refresh(), boxFeed.intervalMs);
}
map.on('moveend', followView);

// Point weather.
const pointPanel = document.getElementById('panel-point');
const pointMarker = L.circleMarker([0, 0], {radius: 7, className: 'point-marker', interactive: false});
let showTable = false;
const pointController = createPointController({bridge, onChange: drawPoint});

function drawPoint(state) {
  if (state.point) pointMarker.setLatLng([state.point.lat, state.point.lon]).addTo(map);
  renderPointPanel(pointPanel, state, {units, now: now(), showTable,
    onToggleTable: (shown) => (showTable = shown), onRetry: () => pointController.refresh()});
  if (state.error && !state.loading) {
    status.set('point', {label: 'Point weather', error: state.error,
      retry: () => pointController.refresh(), note: state.reply ? 'Showing the last good data.' : ''});
  } else if (!state.error) {
    status.clear('point');
  }
}

function choosePoint(point) {
  selectTab('point');
  pointController.select(point);
}

let popupWasOpen = false;
let popupOpen = false;
map.on('popupopen', () => (popupOpen = true));
map.on('popupclose', () => (popupOpen = false));
map.on('mousedown', () => (popupWasOpen = popupOpen));
map.on('click', (event) => {
  if (popupWasOpen) return;  // that click only closed a popup
  choosePoint({lat: event.latlng.lat, lon: event.latlng.lng});
});

const pointForm = document.getElementById('point-form');
const pointInput = document.getElementById('point-input');
const pointMessage = document.getElementById('point-message');
pointForm.addEventListener('submit', (event) => {
  event.preventDefault();
  const point = parsePointText(pointInput.value);
  if (!point) {
    pointMessage.textContent = 'Expected point coordinates as latitude,longitude';
    return;
  }
  pointMessage.textContent = '';
  choosePoint(point);
  map.panTo([point.lat, point.lon]);
  pointPanel.querySelector('.panel-title')?.focus();
});

// Units.
createUnitsPanel(document.getElementById('panel-units'), units, (chosen) => {
  units = chosen;
  saveJson('units', units);
  metarLayer.redraw();
  pirepLayer.setReports(pirepFeed.data || [], now());
  stationPanel.update();
  drawPoint(pointController.state);
});

createAboutPanel(document.getElementById('app-menu'));

document.getElementById('refresh-all').addEventListener('click', () => {
  for (const feed of feeds) feed.refresh();
  if (map.getZoom() >= BOX_ZOOM) boxFeed.refresh();
  pointController.refresh();
});

// Ages move on even when nothing new arrives.
setInterval(() => {
  for (const feed of feeds) layerPanel.update(feed, now());
  if (pirepFeed.data) pirepLayer.setReports(pirepFeed.data, now());
  const line = pointPanel.querySelector('.freshness');
  if (line && pointController.state.reply) line.replaceWith(pointFreshness(pointController.state, now()));
}, TICK_MS);

stationPanel.update();
for (const feed of feeds) {
  layerPanel.update(feed, now());
  feed.start();
}
if (!pointController.restore()) drawPoint(pointController.state);
