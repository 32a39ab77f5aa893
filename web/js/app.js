// The page around the map: its layers, the point panel and the side panels, all fed through
// the bridge to the native host. Loaded by main.js once the map is drawn. This file only wires
// the modules together: a weather layer is a feed (feed.js), a map layer (map/) and a block of
// the layer panel (panels/layer-panel.js), joined by setUpLayerPanel below.

import {alertsAtPoint, decodeAlerts, decodeAlertsInSlices, sortAlerts, splitExpired} from './alerts.js';
import {zonesAt} from './avalanche.js';
import {AvalancheFeed} from './avalanche-feed.js';
import {bridge, firstStations} from './connection.js';
import {afterPaint} from './dom.js';
import {Feed} from './feed.js';
import {AlertLayer} from './map/alert-layer.js';
import {AvalancheLayer} from './map/avalanche-layer.js';
import {loadBaseData, loadStationDirectory} from './map/base-data.js';
import {map} from './map-view.js';
import {CountyLines, PlaceNames} from './map/basemap.js';
import {MapStatus} from './map/map-status.js';
import {OLD_REPORT_MS, MetarLayer} from './map/metar-layer.js';
import {PirepLayer} from './map/pirep-layer.js';
import {PointMarker} from './map/point-marker.js';
import {MapClicks, refreshOpenPopup} from './map/popup.js';
import {decodeDiscussion} from './discussion.js';
import {decodeForecast} from './forecast.js';
import {decodeHazards, decodeHazardsInSlices} from './hazards.js';
import {HazardLayer} from './map/hazard-layer.js';
import {LabelLayout} from './map/label-layout.js';
import {createSearchSources} from './search.js';
import {decodeTafs} from './taf.js';
import {createImagery} from './imagery/imagery.js';
import {createAboutPanel} from './panels/about-panel.js';
import {createAlertPanel} from './panels/alert-panel.js';
import {createOutlooks} from './outlooks.js';
import {pirepLabel, stationLabel} from './panels/describe.js';
import {setUpLayerPanel} from './panels/layer-panel.js';
import {pointFreshness, renderPointPanel} from './panels/point-panel.js';
import {pirepPopup, refreshStationTaf, stationPopup} from './panels/report-popups.js';
import {createSearchBox} from './panels/search-box.js';
import {createStationPanel} from './panels/station-panel.js';
import {createStatusArea} from './panels/status.js';
import {tabs} from './main.js';
import {createUnitsPanel} from './panels/units-panel.js';
import {decodePireps, decodePirepsInSlices} from './pirep.js';
import {windsPopup} from './panels/winds-section.js';
import {WindsLayer} from './map/winds-layer.js';
import {decodeWinds} from './winds.js';
import {windsStation} from './winds-stations.js';
import {METAR_REPLY_CAP, newestPerStation} from './metar.js';
import {RouteLayer} from './route/route-layer.js';
import {createRouteController} from './route/route-controller.js';
import {corridorBox} from './route/route.js';
import {withRouteSuggestion} from './route/route-input.js';
import {createPointController} from './point-controller.js';
import {runEach} from './isolation.js';
import {createGate} from './request-budget.js';
import {createStationFeeds} from './station-feeds.js';
import {loadJson, saveJson} from './store.js';
import {TIME_CHOICES, prepareZones, setTimeDisplay} from './time.js';
import {setTimeZoneTable} from './time-zones.js';
import {createZoneShapes} from './zones.js';
import {groupedNumber, normalizeUnits} from './units.js';
import {yieldToBrowser} from './slices.js';


performance.mark('corvane:app-start');
const MINUTE = 60000;
const TICK_MS = 30000;
// Local storage holds about 5 MB a page and alerts run to several kilobytes each: a longer list
// could not be kept, and writing it out first would cost its size again in memory.
const MAX_STORED_ALERTS = 500;
// TAFs run to 1–2 kB, hazards to 1–3 kB each: longer replies are not written out either.
const MAX_STORED_TAFS = 1000;
const MAX_STORED_HAZARDS = 1000;

const demo = new URLSearchParams(location.search).get('demo') === '1' ||
    /** @type {{corvaneDemo?: boolean}} */ (window).corvaneDemo === true;
document.getElementById('demo-banner').hidden = !demo;
document.body.classList.toggle('demo', demo);

/** @type {import('./units.js').Units & {time: string}} */
let units = {...normalizeUnits(loadJson('units')),
  time: TIME_CHOICES.includes(loadJson('time')) ? loadJson('time') : 'local'};
setTimeDisplay(units.time);
const favourites = new Set((loadJson('favourites', []) || []).filter((id) =>
  typeof id === 'string' && /^[A-Z0-9]{2,12}$/.test(id)).slice(0, 200));
const now = () => Date.now();

// Times are shown in each place's own zone: the small table of zones comes before any data.
try {
  const table = (await import('../data/time-zones.js')).default;
  setTimeZoneTable(table);
  // The browser sets its date and number formats up at their first use (20–40 ms): here, while
  // the first request is out, rather than inside the first layer drawn.
  prepareZones(table.zones);
  groupedNumber(0);
} catch (error) {
  console.warn('Time zones could not be loaded; times show in this computer\'s zone', error);
}

// The page is set up in several tasks, so that the browser draws and answers between them;
// what must wait for the whole of it (a map click, the point redrawn) waits for this.
/** @type {() => void} */
let setUpDone;
const setUp = new Promise((/** @type {(value?: void) => void} */ resolve) => (setUpDone = resolve));
/** Puts the stations' names into the search index: a no-op until the search box exists. */
let refreshSearchStations = () => {};
await yieldToBrowser();

const status = createStatusArea(document.getElementById('status'));
const mapStatus = new MapStatus().addTo(map);

function toggleFavourite(id) {
  if (favourites.has(id)) favourites.delete(id);
  else favourites.add(id);
  saveJson('favourites', [...favourites]);
  metarLayer.redraw();
  stationPanel.update();
  return favourites.has(id);
}

// Feeds. The aviation service answers about 100 requests a minute per address: the area requests
// of the page (the view's tiles, and whatever later asks for boxes) share one gate far below it.
const AVIATION_BOXES_PER_MINUTE = 10;
const aviationGate = createGate({maxInFlight: 1, perMinute: AVIATION_BOXES_PER_MINUTE});
const stationFeeds = createStationFeeds({bridge, intervalMs: 5 * MINUTE, maxDataAgeMs: OLD_REPORT_MS,
  gate: aviationGate, first: firstStations, view: () => [map.getZoom(), map.getBounds()]});
const metarFeed = stationFeeds.whole;
const pirepFeed = new Feed({name: 'pireps', label: 'Pilot reports', bridge, operation: 'pireps',
  decode: decodePireps, decodeInSlices: decodePirepsInSlices, dataTime: (reports) => Math.max(...reports.map((r) => r.time).filter(Number.isFinite)),
  intervalMs: 3 * MINUTE, maxDataAgeMs: 3 * 60 * MINUTE});
const alertFeed = new Feed({name: 'alerts', label: 'Alerts', bridge, operation: 'alerts',
  decode: decodeAlerts, decodeInSlices: decodeAlertsInSlices, dataTime: (data) => data.updated, intervalMs: 5 * MINUTE,
  maxDataAgeMs: 60 * MINUTE, storeReply: (body) => body.features.length <= MAX_STORED_ALERTS});
const hazardFeed = new Feed({name: 'hazards', label: 'Aviation hazards', bridge, operation: 'hazards',
  decode: decodeHazards, decodeInSlices: decodeHazardsInSlices, dataTime: () => NaN, intervalMs: 3 * MINUTE,
  storeReply: (body) => ['sigmets', 'gairmets', 'cwas'].reduce((total, name) =>
    total + (Array.isArray(body[name]) ? body[name].length : 0), 0) <= MAX_STORED_HAZARDS});
// TAFs only fill the station popups: fetched for the whole area after the layers, kept, refreshed.
const tafFeed = new Feed({name: 'tafs', label: 'Terminal forecasts', bridge, operation: 'tafs',
  decode: decodeTafs, dataTime: (tafs) => tafs.issuedLatest, intervalMs: 5 * MINUTE,
  storeReply: (body) => body.length <= MAX_STORED_TAFS});

/** What a station popup shows of its TAF. @returns {import('./panels/report-popups.js').TafState} */
function tafFor(id) {
  if (tafFeed.data) {
    return {...tafFeed.data.lookup(id), received: tafFeed.data.received, error: tafFeed.error?.message};
  }
  if (tafFeed.error && !tafFeed.loading) return {taf: null, missing: 'failed', error: tafFeed.error.message};
  return {taf: null, missing: 'loading'};
}
// Winds aloft: the bulletins come four times a day and the host keeps one for 30 minutes. Asked
// only once the layer is shown or a route is briefed, so the start keeps the host's slots for the map.
const windsFeed = new Feed({name: 'winds', label: 'Winds aloft', bridge, operation: 'winds', argument: '06',
  decode: (body) => decodeWinds(body), dataTime: (table) => table.issued, intervalMs: 30 * MINUTE,
  maxDataAgeMs: 8 * 60 * MINUTE});
const avalancheFeed = new AvalancheFeed({bridge, now});

// Map layers.
const metarLayer = new MetarLayer({
  label: (station) => stationLabel(station, units, now()),
  popup: (station) => stationPopup(station, {units, now: now(), isFavourite: (id) => favourites.has(id),
    toggleFavourite, taf: tafFor(station.id)}),
  favourites: () => favourites,
  now,
  onMoveStart: () => stationFeeds.hold(),
  // The panel and the drawing come later in the set-up, which a move may come before.
  onMoveEnd: () => setUp.then(() => {
    stationPanel.updateView();
    if (stationFeeds.follow(map.getZoom(), map.getBounds())) drawStations();
  }),
}).addTo(map);
const pirepLayer = new PirepLayer({
  label: (report) => pirepLabel(report, now()),
  popup: (report) => pirepPopup(report, {units, now: now()}),
}).addTo(map);
const alertLayer = new AlertLayer().addTo(map);
// Zones come a few at a time, often in quick succession: the alerts are drawn again once they
// pause, not once per zone (a day of 2,000 alerts costs a redraw each).
let zonesPause = null;
const zoneShapes = createZoneShapes({bridge, gate: createGate({maxInFlight: 2, perMinute: 60}),
  onChange: () => {
    clearTimeout(zonesPause);
    zonesPause = setTimeout(zonesChanged, 200);
  }});
alertLayer.setZones(zoneShapes);
const hazardLayer = new HazardLayer().addTo(map);
const wantWinds = () => {
  if (!windsFeed.timer) windsFeed.start();
};
const windsLayer = new WindsLayer({popup: (row, table) => windsPopup(row, table, {level: windsLayer.level}),
  onShow: wantWinds}).addTo(map);
// Shown by default in the season; turned on or off, it starts or stops asking.
const avalancheLayer = new AvalancheLayer({onVisible: (shown) => {
  avalancheFeed.setWanted(shown);
  // Also called while the layers are set up, before the point's controller exists: after them.
  setUp.then(() => {
    if (pointController.state.point) drawPoint(pointController.state);
  });
}});
avalancheLayer.visible = avalancheFeed.wanted;
avalancheLayer.addTo(map);
const pointMarker = new PointMarker({onChoose: (point) => choosePoint(point)}).addTo(map);
new LabelLayout().addTo(map);  // labels of lower rank give way to weather marks
let activeAlerts = [];
new MapClicks((point) => setUp.then(() => (route.picking ? route.addPoint(point) : choosePoint(point)))).addTo(map);
await yieldToBrowser();

// The weather layers in the layer panel: each one's feed and map layer.
const {panel: layerPanel, feeds, panes} = setUpLayerPanel(document.getElementById('panel-layers'), {
  metars: {feed: metarFeed, layer: metarLayer, now},
  pireps: {feed: pirepFeed, layer: pirepLayer},
  alerts: {feed: alertFeed, layer: alertLayer, active: () => activeAlerts},
  hazards: {feed: hazardFeed, layer: hazardLayer},
  winds: {feed: windsFeed, layer: windsLayer, onChoose: ({bulletin, level}) => {
    windsLayer.setLevel(level);
    windsFeed.ask(bulletin);
    feedChanged(windsFeed);
  }},
  avalanche: {feed: avalancheFeed, layer: avalancheLayer, now, nextAsk: () => avalancheFeed.nextAt},
});
await yieldToBrowser();
const imagery = createImagery({map, container: document.getElementById('panel-layers'), mapStatus, now});
await yieldToBrowser();

// Panels.
const alertPanel = createAlertPanel(document.getElementById('panel-alerts'), {
  drawnAs: (alert) => alertLayer.drawnAs(alert),
  onShowOnMap: (alert) => {
    const bounds = alertLayer.boundsOf(alert);
    if (bounds) map.fitBounds(bounds, {maxZoom: 9});
  },
  onCount: (count) => tabs.setCount('alerts', count),
  zoneOf: (alert) => alertLayer.timeZoneOf(alert),
});
const stationPanel = createStationPanel(document.getElementById('panel-stations'), {
  stations: metarLayer,
  reports: pirepLayer,
  favourites: () => favourites,
  removeFavourite: (id) => toggleFavourite(id),
  units: () => units,
  now,
  loading: () => metarFeed.data === null && metarFeed.error === null,
});
await yieldToBrowser();

function showFeedStatus(feed) {
  if (feed.error && !feed.loading) {
    status.set(feed.name, {label: feed.label, operation: feed.operation, error: feed.error, retry: () => feed.refresh(),
      note: feed.data !== null ? 'Showing the last good data.' : ''});
  } else if (!feed.error) {
    status.clear(feed.name);
  }
}

// Marks each layer on the map itself: dimmed with the reason when stale, and a loading line.
function showOnMap(feed, at = now()) {
  const reason = feed.staleReason(at);
  for (const pane of panes.get(feed) || []) map.getPane(pane)?.classList.toggle('is-stale', reason !== '');
  mapStatus.set(feed.name, {label: feed.label, loading: feed.loading && feed.data === null,
    refreshing: feed.loading && feed.data !== null, stale: reason});
}

function feedChanged(feed, at = now()) {
  layerPanel.update(feed, at);
  showFeedStatus(feed);
  showOnMap(feed, at);
}

/**
 * Runs a feed's drawing steps and then its status lines, each on its own: a drawing that throws
 * is said in the status area, and the layer's panel still leaves "Loading…".
 */
function drawFeed(feed, steps) {
  const failed = runEach(steps, (name, error) => {
    console.error(`${feed.label}: ${name} failed`, error);
    status.set(`${feed.name}-draw`, {label: feed.label, error: {message: `Could not be drawn: ${error.message}`},
      advice: 'The other layers are shown; the map tries again at the next refresh.'});
  });
  if (steps.length && !failed.length) status.clear(`${feed.name}-draw`);
  runEach([['status', () => feedChanged(feed)]]);
}

const drawStations = () => metarLayer.setStations(stationFeeds.stations(map.getZoom()));
metarFeed.subscribe((feed, changedData) => drawFeed(feed, !changedData ? [] : [['drawing', () => {
  performance.mark('corvane:metars-draw-start');
  drawStations();
  performance.measure('corvane:metars-draw', 'corvane:metars-draw-start');
  if (feed.data.length && !performance.getEntriesByName('corvane:metars-drawn').length) {
    // The page's signal that the map shows its data (the map capture and the benchmark wait for it).
    afterPaint(() => {
      if (performance.getEntriesByName('corvane:metars-drawn').length) return;
      performance.mark('corvane:metars-drawn');
      map.getContainer().dataset.drawn = 'metars';
    });
  }
  }], ['station list', () => stationPanel.update()], ['search', () => refreshSearchStations()]]));
// The view's own tiles: drawn as they come; what the budget holds back is said on the map.
// A full reply may lack stations: said until the view's smaller boxes have all come.
function showViewTiles() {
  const {tiles, fresh, asking, waiting, gateOpen, error, cut} = stationFeeds.tiles.progress('view');
  const limit = `the aviation service's limit of ${METAR_REPLY_CAP} reports per request`;
  const problem = cut ? `some stations there may be missing: part of the view reached ${limit}` :
    stationFeeds.capped && (!tiles || fresh < tiles) ? `some stations may be missing: the western list ` +
      `reached ${limit}; the view is being asked for in smaller boxes` : '';
  mapStatus.set('metars-view', {label: 'METAR stations in view', loading: asking > 0, stale: '', problem,
    waiting: waiting && !asking && !gateOpen ? 'the map asks the aviation service at most ' +
      `${AVIATION_BOXES_PER_MINUTE} times a minute, so this part comes within the minute` : ''});
  if (error) {
    status.set('metars-box', {label: 'METAR stations in view', operation: 'metars', error,
      retry: () => stationFeeds.tiles.refresh('view')});
  } else {
    status.clear('metars-box');
  }
}
stationFeeds.tiles.subscribe((changedData) => {
  if (changedData) {
    drawStations();
    layerPanel.update(metarFeed, now());  // its station count
  }
  showViewTiles();
});
metarFeed.subscribe(showViewTiles);
// The stations are what a reader looks for first: their feed starts as soon as its drawing is
// wired, not after the rest of the panels (the search index takes them once it is set up).
metarFeed.start();
pirepFeed.subscribe((feed, changedData) => drawFeed(feed, !changedData ? [] : [['drawing', () => {
  performance.mark('corvane:pireps-draw-start');
  pirepLayer.setReports(feed.data, now());
  performance.measure('corvane:pireps-draw', 'corvane:pireps-draw-start');
}], ['report list', () => stationPanel.updateView()]]));

// Alerts that ran out leave the map and the list at once, also between refreshes; `redrawn`
// when the zone shapes they are drawn over changed.
function applyAlerts(at = now(), redrawn = false) {
  if (!alertFeed.data) return;
  const {active, expired} = splitExpired(alertFeed.data.alerts, at);
  const changed = redrawn || active.length !== activeAlerts.length || active.some((a, i) => a !== activeAlerts[i]);
  activeAlerts = active;
  if (changed) {
    alertLayer.setAlerts(active);
    zoneShapes.want(sortAlerts(active.filter((alert) => !alert.polygons.length), 'severity')
        .flatMap((alert) => alert.zoneRefs));
  }
  alertPanel.update(active, expired, at);
  if (changed && pointController.state.point) drawPoint(pointController.state);
}

// The zone shapes alerts are drawn over: a few at a time from the weather service, kept a week.
function zonesChanged() {
  applyAlerts(now(), true);
  layerPanel.update(alertFeed, now());
  const failed = zoneShapes.failures();
  if (failed) {
    status.set('zones', {label: 'Alert zone shapes', operation: 'zone', error: failed.error,
      note: `${failed.count === 1 ? 'One zone' : `${failed.count} zones`} could not be loaded; ` +
        'their alerts are drawn over whole counties.',
      advice: 'The map asks again in 10 minutes.'});
  } else {
    status.clear('zones');
  }
}

hazardFeed.subscribe((feed, changedData) => drawFeed(feed, !changedData ? [] : [['drawing', () => {
  performance.mark('corvane:hazards-draw-start');
  hazardLayer.setItems(feed.data.items, now());
  performance.measure('corvane:hazards-draw', 'corvane:hazards-draw-start');
}], ['point panel', () => {
  if (pointController.state.point) drawPoint(pointController.state);
}], ['warnings', () => {
  if (feed.data.warnings.length) {
    status.set('hazards-partial', {label: 'Aviation hazards', operation: 'hazards', error: {message: feed.data.warnings.join('; ')},
      advice: 'The other hazard products are shown; the map asks again at the next refresh.'});
  } else {
    status.clear('hazards-partial');
  }
}]]));
windsFeed.subscribe((feed, changedData) => drawFeed(feed, !changedData ? [] : [['drawing', () => {
  windsLayer.setTable(feed.data);
}]]));
avalancheFeed.subscribe((feed, changedData) => drawFeed(feed, [...(!changedData ? [] : [['drawing', () => {
  performance.mark('corvane:avalanche-draw-start');
  avalancheLayer.setZones(feed.data.zones, now());
  performance.measure('corvane:avalanche-draw', 'corvane:avalanche-draw-start');
}]]), ['point panel', () => {
  if (pointController.state.point) drawPoint(pointController.state);
}]]));
tafFeed.subscribe((feed) => {
  showFeedStatus(feed);
  // A station popup opened while the TAFs were on their way shows them (or the failure) once here.
  if (feed.loading) return;
  refreshOpenPopup(map, (content) => {
    const station = content.classList.contains('station-popup') ? metarLayer.station(content.dataset.station || '') : null;
    return station ? refreshStationTaf(content, station, {units, now: now(), taf: tafFor(station.id)}) : false;
  });
});

alertFeed.subscribe((feed, changedData) => drawFeed(feed, [['drawing', () => {
  if (changedData) {
    activeAlerts = [];
    applyAlerts();
  } else if (feed.data === null && feed.error) {
    alertPanel.unavailable(feed.error.message);
    if (pointController.state.point) drawPoint(pointController.state);
  }
}]]));

await yieldToBrowser();

// Point weather.
const pointPanel = document.getElementById('panel-point');
let showTable = false;
let countyAt = null;  // (lat, lon) → 5-digit county id, once the county shapes are loaded
const pointController = createPointController({bridge, onChange: drawPoint, decodeForecast});
let discussion = null;  // {office, loading, error, discussion} while open
const outlooks = createOutlooks({bridge, onChange: () => drawPoint(pointController.state)});
let pointChartFrom = 0;  // the time the point panel was last drawn for

function alertsHere(state) {
  const zones = state.reply?.zones || [];
  const county = countyAt ? countyAt(state.point.lat, state.point.lon) : null;
  return alertsAtPoint(activeAlerts, state.point, {zones, county});
}

function drawPoint(state) {
  if (state.point) pointMarker.set(state.point);
  if (state.reply?.cell) outlooks.follow(state.reply.cell.office);
  const at = now();
  pointChartFrom = at;
  performance.mark('corvane:point-draw-start');
  renderPointPanel(pointPanel, state, {units, now: at, showTable,
    onToggleTable: (shown) => (showTable = shown), onRetry: () => pointController.refresh(),
    alertsHere: state.point ? alertsHere(state) : [],
    alertsChecked: alertFeed.data === null && alertFeed.error && !alertFeed.loading ? 'unavailable' :
      alertFeed.data !== null && (countyAt !== null || Boolean(state.reply?.zones.length)),
    drawnAs: (alert) => alertLayer.drawnAs(alert),
    onOpenAlert: (alert) => {
      tabs.select('alerts');
      alertPanel.show(alert, {focus: true, fromList: true});
    },
    width: pointPanel.clientWidth ? pointPanel.clientWidth - 24 : 316,
    onRetryForecast: () => pointController.refreshForecast(),
    onDiscussion: (office) => toggleDiscussion(office),
    hazardsHere: state.point ? hazardLayer.at(state.point) : [],
    discussion: discussion && discussion.office === state.reply?.cell?.office ? discussion : null,
    avalancheHere: state.point && avalancheFeed.data && avalancheLayer.visible ?
      zonesAt(avalancheFeed.data.zones, state.point) : [],
    avalancheLoading: avalancheFeed.wanted && avalancheFeed.data === null && avalancheFeed.loading,
    outlooks: state.reply?.cell ? outlooks.links(state.reply.cell.office) : [],
    onOutlook: (type) => outlooks.toggle(type)});
  performance.measure('corvane:point-draw', 'corvane:point-draw-start');
  if (state.error && !state.loading) {
    status.set('point', {label: 'Point weather', operation: 'point', error: state.error,
      retry: () => pointController.refresh(), note: state.reply ? 'Showing the last good data.' : ''});
  } else if (!state.error) {
    status.clear('point');
  }
  mapStatus.set('point', {label: 'Point forecast', loading: state.loading, stale: ''});
}

function choosePoint(point, {label = ''} = {}) {
  tabs.select('point');
  pointController.select(point, {label});
}

// The forecast office's discussion opens below its link in the point panel.
async function toggleDiscussion(office) {
  if (discussion?.office === office) {
    discussion = null;
    drawPoint(pointController.state);
    return;
  }
  const opened = {office, loading: true, error: null, discussion: null};
  discussion = opened;
  drawPoint(pointController.state);
  try {
    opened.discussion = decodeDiscussion(await bridge.request('discussion', office));
  } catch (error) {
    opened.error = error;
  }
  opened.loading = false;
  if (discussion === opened) drawPoint(pointController.state);  // not closed or replaced meanwhile
}

// Search: towns, coordinates in the common written forms, and every station by id or name.
const searchSources = createSearchSources({hasReport: (id) => metarLayer.station(id) !== undefined});
const searchBox = createSearchBox({
  form: /** @type {HTMLFormElement} */ (document.getElementById('search-form')),
  input: /** @type {HTMLInputElement} */ (document.getElementById('search-input')),
  listbox: document.getElementById('search-list'),
  message: document.getElementById('search-message'),
  suggest: withRouteSuggestion(searchSources.suggest),
  choose: (suggestion) => {
    if (suggestion.kind === 'route') {
      tabs.select('route');
      route.setPoints(suggestion.points, suggestion.points.map((p) => p.label).join(' '));
      return '';
    }
    if (suggestion.kind === 'station' && metarLayer.open(suggestion.id)) return '';
    map.setView([suggestion.point.lat, suggestion.point.lon], Math.max(map.getZoom(), 9));
    choosePoint(suggestion.point, {label: suggestion.kind === 'coordinates' ? '' : suggestion.label});
    return '';
  },
});
refreshSearchStations = () => {
  searchSources.set({reported: metarLayer.stations()});
  searchBox.refresh();
};
refreshSearchStations();

// The route and its briefing, drawn again (once things settle) whenever a layer's data changes.
const routeLayer = new RouteLayer().addTo(map);
const route = createRouteController({container: document.getElementById('panel-route'), layer: routeLayer,
  suggest: searchSources.suggest, tiles: stationFeeds.tiles, now,
  feeds: {metars: metarFeed, tafs: tafFeed, hazards: hazardFeed, alerts: alertFeed, pireps: pirepFeed, winds: windsFeed},
  data: (planned) => {
    wantWinds();
    const kept = stationFeeds.tiles.records(corridorBox(planned, 50));
    const stations = metarFeed.data || kept.length ?
      newestPerStation([...(metarFeed.data || []), ...kept], (s) => s.id, (s) => s.time) : null;
    return {stations, tafs: tafFeed.data?.within(corridorBox(planned, 50)) ?? null, hazards: hazardFeed.data?.items || null,
      alerts: alertFeed.data ? activeAlerts : null, countyAt, pireps: pirepFeed.data, winds: windsFeed.data,
      windsPosition: windsStation};
  },
  // The demo shows a worked route at once.
  example: demo ? {text: 'KSLC KGJT', points: [{lat: 40.7884, lon: -111.9778, label: 'KSLC'},
    {lat: 39.1224, lon: -108.5267, label: 'KGJT'}]} : null,
  onRoute: (shown) => {
    const bounds = shown && routeLayer.bounds();
    if (bounds) map.fitBounds(bounds, {maxZoom: 9, padding: [20, 20]});
  }});
let routePause = null;
const redrawRoute = () => {
  clearTimeout(routePause);
  routePause = setTimeout(() => route.draw(), 150);
};
for (const feed of [metarFeed, tafFeed, hazardFeed, alertFeed, pirepFeed, windsFeed]) feed.subscribe(redrawRoute);
stationFeeds.tiles.subscribe(redrawRoute);

await yieldToBrowser();

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
  windsLayer.redraw();
  route.draw();
  applyAlerts();
  drawPoint(pointController.state);
  for (const feed of feeds) feedChanged(feed);
}

document.getElementById('refresh-all').addEventListener('click', () => {
  for (const feed of [...feeds, tafFeed]) feed.refresh();
  stationFeeds.tiles.refresh('view');
  pointController.refresh();
  imagery.refreshAll();
  outlooks.refresh();
});

// Ages move on even when nothing new arrives: alerts run out, reports grow old, hours pass.
// Each step on its own: one that throws leaves the others' ages moving.
setInterval(() => {
  const at = now();
  runEach([
    ['alerts', () => applyAlerts(at)],
    // SIGMETs and CWAs that ran out leave the map, and the G-AIRMET snapshot follows the clock.
    ['hazards', () => {
      if (hazardFeed.data && hazardLayer.setTime(at) && pointController.state.point) drawPoint(pointController.state);
    }],
    // A forecast that reaches its end is drawn as expired at once.
    ['avalanche', () => {
      if (avalancheLayer.setTime(at) && pointController.state.point) drawPoint(pointController.state);
    }],
    ...feeds.map((feed) => /** @type {[string, () => void]} */ ([`${feed.label} status`, () => feedChanged(feed, at)])),
    ['pilot reports', () => pirepFeed.data && pirepLayer.setReports(pirepFeed.data, at)],
    ['stations', () => metarFeed.data && metarLayer.redraw()],
    // A new hour drops the past one from the chart; otherwise only the age line changes.
    ['point panel', () => {
      const first = pointController.state.reply?.hours.find((row) => row.end > pointChartFrom);
      if (first && first.end <= at) {
        drawPoint(pointController.state);
      } else {
        const line = pointPanel.querySelector('.freshness');
        if (line && pointController.state.reply) line.replaceWith(pointFreshness(pointController.state, at));
      }
    }],
  ]);
}, TICK_MS);

await yieldToBrowser();
stationPanel.update();
for (const feed of feeds) {
  feedChanged(feed);
  if (feed !== windsFeed && feed !== metarFeed) feed.start();
}
tafFeed.start();
if (!pointController.restore()) drawPoint(pointController.state);
setUpDone();

// The data the first drawing need not wait for: counties, place names, the station directory.
// Each step is a task of its own, so none holds the browser long while the layers come in.
setTimeout(async () => {
  try {
    const base = await loadBaseData();
    countyAt = (lat, lon) => base.counties.at(lat, lon);
    alertLayer.setCounties(base.counties);
    await yieldToBrowser();
    new CountyLines(base.counties.lines()).addTo(map);
    await yieldToBrowser();
    new PlaceNames(base.places).addTo(map);
    // The parks and their gateway towns come with the place names, after the first drawing.
    searchSources.set({places: base.places, parks: (await import('./parks.js')).PARKS});
    searchBox.refresh();
    await yieldToBrowser();
    applyAlerts();
    for (const feed of feeds) feedChanged(feed);
    if (pointController.state.point) drawPoint(pointController.state);
    searchSources.set({directory: await loadStationDirectory()});
    searchBox.refresh();
  } catch (error) {
    status.set('base', {label: 'Map data', error, advice: 'County shapes or place names could not be loaded; rebuild the program\'s web folder.'});
  }
}, 0);
