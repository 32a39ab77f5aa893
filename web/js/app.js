// The page around the map: its layers, the point panel and the side panels, all fed through
// the bridge to the native host. Loaded by main.js once the map is drawn.

import {alertsAtPoint, decodeAlerts, splitExpired} from './alerts.js';
import {createBridge} from './bridge.js';
import {el} from './dom.js';
import {Feed} from './feed.js';
import {buildMetarBox, formatCoordinate} from './geo.js';
import {createAlertLayer} from './map/alert-layer.js';
import {loadBaseData, loadStationDirectory} from './map/base-data.js';
import {map} from './map-view.js';
import {drawCountyLines, drawPlaceNames} from './map/basemap.js';
import {createMapStatus} from './map/map-status.js';
import {OLD_REPORT_MS, createMetarLayer} from './map/metar-layer.js';
import {createPirepLayer, levelText} from './map/pirep-layer.js';
import {createPointMarker} from './map/point-marker.js';
import {decodeDiscussion} from './discussion.js';
import {decodeForecast} from './forecast.js';
import {decodeHazards} from './hazards.js';
import {createHazardLayer} from './map/hazard-layer.js';
import {decodeMetars} from './metar.js';
import {createSearchIndex} from './search.js';
import {decodeTafs} from './taf.js';
import {createAboutPanel} from './panels/about-panel.js';
import {createAlertPanel} from './panels/alert-panel.js';
import {pirepLabel, stationLabel} from './panels/describe.js';
import {createLayerPanel} from './panels/layer-panel.js';
import {alertLegend, altitudeRange, forecastHourChoice, hazardLegend, metarLegend,
  pirepLegend} from './panels/legends.js';
import {freshnessLine} from './panels/freshness.js';
import {pointFreshness, renderPointPanel} from './panels/point-panel.js';
import {pirepPopup, stationPopup} from './panels/report-popups.js';
import {createSearchBox} from './panels/search-box.js';
import {createStationPanel} from './panels/station-panel.js';
import {createStatusArea} from './panels/status.js';
import {setUpTabs} from './panels/tabs.js';
import {createUnitsPanel} from './panels/units-panel.js';
import {decodePireps} from './pirep.js';
import {createPointController} from './point-controller.js';
import {loadJson, saveJson} from './store.js';
import {formatClock, setTimeDisplay} from './time.js';
import {normalizeUnits} from './units.js';

const MINUTE = 60000;
const BOX_ZOOM = 7;  // from this zoom the visible area is asked for on its own
const TICK_MS = 30000;

const demo = new URLSearchParams(location.search).get('demo') === '1' || window.corvaneDemo === true;
document.getElementById('demo-banner').hidden = !demo;
document.body.classList.toggle('demo', demo);

let units = normalizeUnits(loadJson('units'));
units.time = loadJson('time') === 'utc' ? 'utc' : 'local';
setTimeDisplay(units.time);
const favourites = new Set((loadJson('favourites', []) || []).filter((id) =>
  typeof id === 'string' && /^[A-Z0-9]{2,12}$/.test(id)).slice(0, 200));
const now = () => Date.now();


const bridge = createBridge();
const status = createStatusArea(document.getElementById('status'));
const tabs = setUpTabs(document.getElementById('tabs'));
const selectTab = tabs.select;
const mapStatus = createMapStatus(map);

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
  popup: (station) => stationPopup(station, {units, now: now(), isFavourite, toggleFavourite,
    taf: tafsById.get(station.id) || null, tafsLoading: tafFeed.data === null && tafFeed.error === null}),
  favourites: () => favourites,
  now,
});
const pirepLayer = createPirepLayer(map, {
  label: (report) => pirepLabel(report, now()),
  popup: (report) => pirepPopup(report, {units, now: now()}),
});
const alertLayer = createAlertLayer(map);
const hazardLayer = createHazardLayer(map);
let tafsById = new Map();
const alertPanel = createAlertPanel(document.getElementById('panel-alerts'), {
  drawnAs: (alert) => alertLayer.drawnAs(alert),
  onShowOnMap: (alert) => showAlertOnMap(alert),
  onCount: (count) => tabs.setCount('alerts', count),
});
const pointMarker = createPointMarker(map, {onChoose: (point) => choosePoint(point)});

// Feeds.
const newest = (items) => Math.max(...items.map((item) => item.time).filter(Number.isFinite));
const metarFeed = new Feed({name: 'metars', label: 'METAR stations', bridge, operation: 'metars',
  decode: decodeMetars, dataTime: newest, intervalMs: 5 * MINUTE, maxDataAgeMs: OLD_REPORT_MS});
const boxFeed = new Feed({name: 'metars-box', label: 'METAR stations in view', bridge,
  operation: 'metars', decode: decodeMetars, dataTime: newest, intervalMs: 5 * MINUTE, keep: false});
const pirepFeed = new Feed({name: 'pireps', label: 'Pilot reports', bridge, operation: 'pireps',
  decode: decodePireps, dataTime: newest, intervalMs: 3 * MINUTE, maxDataAgeMs: 3 * 60 * MINUTE});
// Local storage holds about 5 MB a page and alerts run to several kilobytes each: a longer list
// could not be kept, and writing it out first would cost its size again in memory.
const MAX_STORED_ALERTS = 500;
const alertFeed = new Feed({name: 'alerts', label: 'Alerts', bridge, operation: 'alerts',
  decode: decodeAlerts, dataTime: (data) => data.updated, intervalMs: 5 * MINUTE,
  maxDataAgeMs: 60 * MINUTE, keep: (body) => body.features.length <= MAX_STORED_ALERTS});
const hazardFeed = new Feed({name: 'hazards', label: 'Aviation hazards', bridge, operation: 'hazards',
  decode: decodeHazards, dataTime: () => NaN, intervalMs: 3 * MINUTE});
// TAFs only fill the station popups: fetched for the whole area after the layers, kept, refreshed.
const tafFeed = new Feed({name: 'tafs', label: 'Terminal forecasts', bridge, operation: 'tafs',
  decode: decodeTafs, dataTime: (tafs) => Math.max(...tafs.map((taf) => taf.issued).filter(Number.isFinite)),
  intervalMs: 5 * MINUTE});
const feeds = [metarFeed, pirepFeed, alertFeed, hazardFeed];
const layers = {metars: metarLayer, pireps: pirepLayer, alerts: alertLayer, hazards: hazardLayer};
const panes = {metars: ['stations', 'stationLabels'], pireps: ['pireps'], alerts: ['alerts'],
  hazards: ['hazards']};

function timeRange(items) {
  const times = items.map((item) => item.time).filter(Number.isFinite);
  if (!times.length) return '';
  const low = Math.min(...times);
  const high = Math.max(...times);
  return low === high ? formatClock(high) : `${formatClock(low)} to ${formatClock(high)}`;
}

let activeAlerts = [];
let pirepRange = {low: 0, high: Infinity};

const layerPanel = createLayerPanel(document.getElementById('panel-layers'), [
  {feed: metarFeed,
    freshness: (at, reason) => freshnessLine({dataText: `reports ${timeRange(metarLayer.stations())}`,
      fetchedAt: metarFeed.fetchedAt, now: at, reason, fromStorage: metarFeed.fromStorage}),
    count: () => {
      const old = metarLayer.oldCount(now());
      return `${metarLayer.stations().length} stations, ${metarLayer.shownCount()} shown at this zoom` +
          (old ? `; ${old} with a report over 90 min old (hollow)` : '');
    },
    legend: metarLegend},
  {feed: pirepFeed,
    freshness: (at, reason) => freshnessLine({dataText: `reports ${timeRange(pirepFeed.data || [])}`,
      fetchedAt: pirepFeed.fetchedAt, now: at, reason, fromStorage: pirepFeed.fromStorage}),
    count: () => `${pirepFeed.data.length} reports, ${pirepLayer.inRangeCount()} in the altitude ` +
        `range, ${pirepLayer.shownCount()} shown at this zoom`,
    controls: () => altitudeRange('pirep-altitude', (range) => {
      pirepRange = range;
      pirepLayer.setRange(range);
      layerPanel.recount('pireps');
    }),
    legend: pirepLegend},
  {feed: alertFeed,
    freshness: (at, reason) => freshnessLine({dataTime: alertFeed.data?.updated,
      fetchedAt: alertFeed.fetchedAt, now: at, reason, fromStorage: alertFeed.fromStorage}),
    count: () => {
      const counties = activeAlerts.filter((alert) => alertLayer.drawnAs(alert) === 'counties').length;
      return `${activeAlerts.length} alerts in force; ${counties} drawn by county`;
    },
    legend: alertLegend},
  {feed: hazardFeed,
    freshness: (at, reason) => freshnessLine({fetchedAt: hazardFeed.fetchedAt, now: at, reason,
      fromStorage: hazardFeed.fromStorage}),
    count: () => {
      const {items, unavailable} = hazardFeed.data;
      const count = (kind) => items.filter((item) => item.kind === kind).length;
      return `${count('sigmet') + count('convective-sigmet')} SIGMETs, ${count('gairmet')} G-AIRMETs ` +
          `(all hours), ${count('cwa')} CWAs; ${hazardLayer.shownCount()} shown for this hour and range` +
          (unavailable.length ? `; not available: ${unavailable.join(', ')}` : '');
    },
    controls: () => el('div', null,
        forecastHourChoice('hazard-hour', (hour) => {
          hazardLayer.setFilter({forecastHour: hour});
          layerPanel.recount('hazards');
        }),
        altitudeRange('hazard-altitude', ({low, high}) => {
          hazardLayer.setFilter({lowFeet: low, highFeet: high});
          layerPanel.recount('hazards');
        })),
    legend: hazardLegend},
], {
  setVisible: (name, shown) => layers[name].setVisible(shown),
});

const stationPanel = createStationPanel(document.getElementById('panel-stations'), {
  station: (id) => metarLayer.station(id),
  open: (id, opener) => metarLayer.open(id, opener),
  favourites: () => favourites,
  removeFavourite: (id) => toggleFavourite(id),
  units: () => units,
  now,
  stationsInView: () => metarLayer.inView(),
  reportsInView: () => pirepLayer.inView(),
  openReport: (report, opener) => pirepLayer.open(report, opener),
  reportText: (report) => `${levelText(report)} · ${pirepLabel(report, now())}`,
  loading: () => metarFeed.data === null && metarFeed.error === null,
});
map.on('moveend', () => stationPanel.updateView());

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

// Marks each layer on the map itself: dimmed with the reason when stale, and a loading line.
function showOnMap(feed, at = now()) {
  const reason = feed.staleReason(at);
  for (const pane of panes[feed.name] || []) map.getPane(pane)?.classList.toggle('is-stale', reason !== '');
  mapStatus.set(feed.name, {label: feed.label, loading: feed.loading && feed.data === null,
    refreshing: feed.loading && feed.data !== null, stale: reason});
}

function feedChanged(feed, at = now()) {
  layerPanel.update(feed, at);
  showFeedStatus(feed);
  showOnMap(feed, at);
}

metarFeed.subscribe((feed, changedData) => {
  if (changedData) {
    performance.mark('corvane:metars-draw-start');
    metarLayer.setStations(stationsInView());
    performance.measure('corvane:metars-draw', 'corvane:metars-draw-start');
    // The page's signal that the base map (drawn before this module runs) and data are drawn.
    if (feed.data?.length) map.getContainer().dataset.drawn = 'metars';
    stationPanel.update();
    rebuildSearch();
  }
  feedChanged(feed);
});
boxFeed.subscribe((feed, changedData) => {
  if (changedData) metarLayer.setStations(stationsInView());
  showFeedStatus(feed);
  feedChanged(metarFeed);
});
pirepFeed.subscribe((feed, changedData) => {
  if (changedData) {
    performance.mark('corvane:pireps-draw-start');
    pirepLayer.setReports(feed.data, now());
    performance.measure('corvane:pireps-draw', 'corvane:pireps-draw-start');
    stationPanel.updateView();
  }
  feedChanged(feed);
});

// Alerts that ran out leave the map and the list at once, also between refreshes.
function applyAlerts(at = now()) {
  if (!alertFeed.data) return;
  const {active, expired} = splitExpired(alertFeed.data.alerts, at);
  const changed = active.length !== activeAlerts.length || active.some((a, i) => a !== activeAlerts[i]);
  activeAlerts = active;
  if (changed) alertLayer.setAlerts(active);
  alertPanel.update(active, expired, at);
  if (changed && pointController.state.point) drawPoint(pointController.state);
}

hazardFeed.subscribe((feed, changedData) => {
  if (changedData) {
    performance.mark('corvane:hazards-draw-start');
    hazardLayer.setItems(feed.data.items);
    performance.measure('corvane:hazards-draw', 'corvane:hazards-draw-start');
  }
  if (changedData && feed.data.warnings.length) {
    status.set('hazards-partial', {label: 'Aviation hazards', error: {message: feed.data.warnings.join('; ')},
      advice: 'The other hazard products are shown; the map asks again at the next refresh.'});
  } else if (changedData) {
    status.clear('hazards-partial');
  }
  feedChanged(feed);
});
tafFeed.subscribe((feed, changedData) => {
  if (changedData) tafsById = new Map(feed.data.map((taf) => [taf.id, taf]));
  showFeedStatus(feed);
});

alertFeed.subscribe((feed, changedData) => {
  if (changedData) {
    activeAlerts = [];
    applyAlerts();
  } else if (feed.data === null && feed.error) {
    alertPanel.unavailable(feed.error.message);
    if (pointController.state.point) drawPoint(pointController.state);
  }
  feedChanged(feed);
});

function showAlertOnMap(alert) {
  const bounds = alertLayer.boundsOf(alert);
  if (bounds) map.fitBounds(bounds, {maxZoom: 9});
}

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
let showTable = false;
let countyAt = null;  // (lat, lon) → 5-digit county id, once the county shapes are loaded
const pointController = createPointController({bridge, onChange: drawPoint, decodeForecast});
let discussion = null;  // {office, loading, error, discussion} while open

function alertsHere(state) {
  const zones = state.reply?.zones || [];
  const county = countyAt ? countyAt(state.point.lat, state.point.lon) : null;
  return alertsAtPoint(activeAlerts, state.point, {zones, county});
}

let pointChartFrom = 0;  // the time the point panel was last drawn for

function drawPoint(state) {
  if (state.point) pointMarker.set(state.point);
  const at = now();
  pointChartFrom = at;
  renderPointPanel(pointPanel, state, {units, now: at, showTable,
    onToggleTable: (shown) => (showTable = shown), onRetry: () => pointController.refresh(),
    alertsHere: state.point ? alertsHere(state) : [],
    alertsChecked: alertFeed.data === null && alertFeed.error && !alertFeed.loading ? 'unavailable' :
      alertFeed.data !== null && (countyAt !== null || Boolean(state.reply?.zones.length)),
    drawnAs: (alert) => alertLayer.drawnAs(alert),
    onOpenAlert: (alert) => {
      selectTab('alerts');
      alertPanel.show(alert, {focus: true, fromList: true});
    },
    width: pointPanel.clientWidth ? pointPanel.clientWidth - 24 : 316,
    onRetryForecast: () => pointController.refreshForecast(),
    onDiscussion: (office) => toggleDiscussion(office),
    hazardsHere: state.point ? hazardLayer.at(state.point) : [],
    discussion: discussion && discussion.office === state.reply?.cell?.office ? discussion : null});
  if (state.error && !state.loading) {
    status.set('point', {label: 'Point weather', error: state.error,
      retry: () => pointController.refresh(), note: state.reply ? 'Showing the last good data.' : ''});
  } else if (!state.error) {
    status.clear('point');
  }
  mapStatus.set('point', {label: 'Point forecast', loading: state.loading, stale: ''});
}

function choosePoint(point, {label = ''} = {}) {
  selectTab('point');
  pointController.select(point, {label});
}

// The forecast office's discussion opens below its link in the point panel.
async function toggleDiscussion(office) {
  if (discussion?.office === office) {
    discussion = null;
    drawPoint(pointController.state);
    return;
  }
  discussion = {office, loading: true, error: null, discussion: null};
  drawPoint(pointController.state);
  const mine = discussion;
  try {
    mine.discussion = decodeDiscussion(await bridge.request('discussion', office));
  } catch (error) {
    mine.error = error;
  }
  mine.loading = false;
  if (discussion === mine) drawPoint(pointController.state);
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

// Search: towns, coordinates in the common written forms, and every station by id or name.
let directory = [];  // every airport of the area, from the build's data
let places = [];
let searchIndex = createSearchIndex();
let searchBox = null;
function rebuildSearch() {
  // Stations of the METAR replies first: their names are the ones on the map.
  searchIndex = createSearchIndex({places, stations: [...metarLayer.stations(), ...directory]});
  searchBox?.refresh();
}

function suggest(query, limit) {
  const reports = new Set(metarLayer.stations().map((s) => s.id));
  return searchIndex.search(query, {limit}).map((found) => {
    const point = {lat: found.lat, lon: found.lon};
    if (found.kind === 'station') {
      return {kind: 'station', label: found.id, id: found.id, point,
        detail: `${found.name}${found.state ? `, ${found.state}` : ''}${reports.has(found.id) ? '' : ' · no current report'}`};
    }
    if (found.kind === 'coordinates') {
      return {kind: 'coordinates', label: `${formatCoordinate(found.lat)}, ${formatCoordinate(found.lon)}`,
        detail: 'Coordinates: the forecast there', point};
    }
    return {kind: 'place', label: `${found.name}, ${found.state}`, point,
      detail: found.population ? `Town · ${found.population.toLocaleString('en-US')} people` : 'Town'};
  });
}

searchBox = createSearchBox({
  form: document.getElementById('search-form'),
  input: document.getElementById('search-input'),
  listbox: document.getElementById('search-list'),
  message: document.getElementById('search-message'),
  suggest,
  choose: (suggestion) => {
    if (suggestion.kind === 'station' && metarLayer.open(suggestion.id)) return '';
    map.setView([suggestion.point.lat, suggestion.point.lon], Math.max(map.getZoom(), 9));
    choosePoint(suggestion.point, {label: suggestion.kind === 'coordinates' ? '' : suggestion.label});
    return '';
  },
});

// Units and times.
createUnitsPanel(document.getElementById('panel-units'), units, (chosen) => {
  units = chosen;
  saveJson('units', {temperature: units.temperature, speed: units.speed, pressure: units.pressure,
    distance: units.distance});
  saveJson('time', units.time);
  setTimeDisplay(units.time);
  redrawAll();
});

createAboutPanel(document.getElementById('app-menu'));

function redrawAll() {
  metarLayer.redraw();
  pirepLayer.setReports(pirepFeed.data || [], now());
  stationPanel.update();
  applyAlerts();
  drawPoint(pointController.state);
  for (const feed of feeds) feedChanged(feed);
}

document.getElementById('refresh-all').addEventListener('click', () => {
  for (const feed of [...feeds, tafFeed]) feed.refresh();
  if (map.getZoom() >= BOX_ZOOM) boxFeed.refresh();
  pointController.refresh();
});

// Ages move on even when nothing new arrives: alerts run out, reports grow old, hours pass.
setInterval(() => {
  const at = now();
  applyAlerts(at);
  for (const feed of feeds) feedChanged(feed, at);
  if (pirepFeed.data) pirepLayer.setReports(pirepFeed.data, at);
  if (metarFeed.data) metarLayer.redraw();
  // A new hour drops the past one from the chart; otherwise only the age line changes.
  const first = pointController.state.reply?.hours.find((row) => row.end > pointChartFrom);
  if (first && first.end <= at) {
    drawPoint(pointController.state);
  } else {
    const line = pointPanel.querySelector('.freshness');
    if (line && pointController.state.reply) line.replaceWith(pointFreshness(pointController.state, at));
  }
}, TICK_MS);

stationPanel.update();
for (const feed of feeds) {
  feedChanged(feed);
  feed.start();
}
tafFeed.start();
if (!pointController.restore()) drawPoint(pointController.state);

// The data the first drawing need not wait for: counties, place names, the station directory.
setTimeout(async () => {
  try {
    const base = await loadBaseData();
    countyAt = (lat, lon) => base.counties.at(lat, lon);
    alertLayer.setCounties(base.counties);
    drawCountyLines(map, base.counties.lines());
    drawPlaceNames(map, base.places);
    places = base.places;
    rebuildSearch();
    applyAlerts();
    for (const feed of feeds) feedChanged(feed);
    if (pointController.state.point) drawPoint(pointController.state);
    directory = await loadStationDirectory();
    rebuildSearch();
  } catch (error) {
    status.set('base', {label: 'Map data', error, advice: 'County shapes or place names could not be loaded; rebuild the program\'s web folder.'});
  }
}, 0);
