// The Route tab's state: the route as written and its points, the flight's settings, kept in
// local storage across restarts; the METAR tiles of its corridor asked through the aviation
// service's budget (at most MAX_NEW_BOXES new ones per change); the briefing drawn from the
// layers' data whenever any of it changes.

import {el, replaceChildren} from '../dom.js';
import {loadJson, saveJson} from '../store.js';
import {timeDisplay, zonedParts} from '../time.js';
import {stationTimeZone} from '../time-zones.js';
import {computeBriefing} from './briefing.js';
import {DEFAULT_CORRIDOR_NM, CORRIDORS_NM, corridorBox, makeRoute, samples} from './route.js';
import {parseRoute} from './route-input.js';
import {renderBriefing, routeForm} from './route-panel.js';

/** A route change asks the aviation service for at most this many new METAR boxes. */
const MAX_NEW_BOXES = 6;
const MINUTE = 60000;
const DEFAULTS = {altitude: 9500, tas: 120, corridor: DEFAULT_CORRIDOR_NM};

/** The boxes of the corridor, departure first: one per 30 NM of route, the corridor's width about it. */
function corridorBoxes(route, corridorNm) {
  return samples(route, 30).map((p) => corridorBox(makeRoute([p]), corridorNm));
}

/** A stored point, or null. */
const storedPoint = (p) => (p && Number.isFinite(p.lat) && Number.isFinite(p.lon) && Math.abs(p.lat) <= 90 &&
  Math.abs(p.lon) <= 180 ? {lat: p.lat, lon: p.lon, label: typeof p.label === 'string' ? p.label.slice(0, 60) : ''} : null);

/**
 * @param {{container: HTMLElement, layer: import('./route-layer.js').RouteLayer, suggest: import('./route-input.js').Suggest,
 *   data: (route: ReturnType<typeof makeRoute>) => Omit<import('./briefing.js').BriefingInput, 'route' | 'settings'>,
 *   feeds: Record<string, any>,
 *   tiles: ReturnType<typeof import('../request-budget.js').createTileBudget>, now: () => number,
 *   onRoute: (route: any) => void, example?: {text: string, points: {lat: number, lon: number, label: string}[]} | null}} parts
 *   example: the route shown when none was kept (the demo's worked route)
 */
export function createRouteController({container, layer, suggest, data, feeds, tiles, now, onRoute, example = null}) {
  const saved = loadJson('route', null) || example;
  const points = Array.isArray(saved?.points) ? saved.points.map(storedPoint).filter(Boolean).slice(0, 20) : [];
  let departureMoved = false;
  const state = {
    text: typeof saved?.text === 'string' ? saved.text.slice(0, 200) : '',
    points,
    altitude: Number.isFinite(saved?.altitude) ? saved.altitude : DEFAULTS.altitude,
    tas: Number.isFinite(saved?.tas) ? saved.tas : DEFAULTS.tas,
    corridor: CORRIDORS_NM.includes(saved?.corridor) ? saved.corridor : DEFAULTS.corridor,
    departure: Number.isFinite(saved?.departure) ? saved.departure : now() + 30 * MINUTE,
  };
  // A stored departure that has gone by is moved to half an hour from now, and said so.
  if (state.departure < now()) {
    departureMoved = Number.isFinite(saved?.departure);
    state.departure = now() + 30 * MINUTE;
  }
  let picking = false;
  let leftOut = 0;
  let route = points.length ? makeRoute(points) : null;
  const zoneFor = () => (timeDisplay() === 'utc' ? 'utc' : (route && stationTimeZone(route.points[0])) || 'local');
  const form = routeForm({initial: state, zoneFor, onPlan: plan, onPick: (on) => (picking = on), onClear: clear});
  const budgetLine = el('p', {className: 'note', id: 'route-budget'});
  const briefing = el('div', {className: 'briefing', id: 'briefing'});
  replaceChildren(container, el('h2', {className: 'visually-hidden', text: 'Route'}), form.form, budgetLine, briefing);

  function save() {
    saveJson('route', {text: state.text, points: state.points, altitude: state.altitude, tas: state.tas,
      corridor: state.corridor, departure: state.departure});
  }

  function askTiles() {
    leftOut = route ? tiles.want('route', corridorBoxes(route, state.corridor), {maxNew: MAX_NEW_BOXES}) : 0;
    if (!route) tiles.want('route', null);
  }

  function setRoute(newPoints) {
    state.points = newPoints;
    route = newPoints.length ? makeRoute(newPoints) : null;
    layer.setRoute(route, state.corridor);
    askTiles();
    save();
    onRoute(route);
    draw();
  }

  function plan(fields) {
    if (!(fields.altitude >= 500 && fields.altitude <= 45000)) return say('Enter a cruise altitude from 500 to 45,000 ft.');
    if (!(fields.tas >= 40 && fields.tas <= 600)) return say('Enter a true airspeed from 40 to 600 kt.');
    if (!Number.isFinite(fields.departure)) return say('Enter a departure date and time.');
    Object.assign(state, {altitude: fields.altitude, tas: fields.tas, departure: fields.departure, corridor: fields.corridor});
    departureMoved = false;
    if (fields.text.trim() !== state.text.trim() || !route) {
      const parsed = parseRoute(fields.text, suggest);
      if (parsed.unknown) return say(`No airport, town or coordinates found for “${parsed.unknown}”.`);
      if (!parsed.points.length) return say('Enter the route: airport ids, towns or coordinates, or add points on the map.');
      state.text = fields.text.trim();
      say('');
      setRoute(parsed.points);
      return;
    }
    say('');
    layer.setRoute(route, state.corridor);
    askTiles();
    save();
    draw();
  }

  function say(text) {
    form.message.textContent = text;
  }

  function clear() {
    state.text = '';
    setRoute([]);
  }

  function draw() {
    const zone = zoneFor();
    form.show({text: state.text, departure: state.departure,
      zoneName: zone === 'utc' ? 'UTC' : zonedParts(state.departure, zone === 'local' ? null : zone).zoneName});
    const {tiles: count, fresh, asking, waiting} = tiles.progress('route');
    budgetLine.textContent = route ? `Corridor METAR boxes: ${count} tiles, ${fresh} fresh, ${asking} being asked, ${waiting} waiting` +
      (leftOut ? `; ${leftOut} more not asked (at most ${MAX_NEW_BOXES} new boxes per route change): their stations come from the whole-area list.` : '.') +
      (departureMoved ? ' The saved departure had gone by: moved to 30 minutes from now.' : '') : '';
    if (!route) {
      replaceChildren(briefing, el('p', {className: 'note', text: 'Write a route above (for example “KSLC KPVU KCDC”, ' +
        'towns or coordinates), type it in the search field, or add points on the map; then the briefing follows here.'}));
      return;
    }
    const settings = {altitude: state.altitude, tas: state.tas, departure: state.departure, corridor: state.corridor};
    performance.mark('corvane:briefing-start');
    const computed = computeBriefing({route, settings, ...data(route)});
    performance.measure('corvane:briefing-compute', 'corvane:briefing-start');
    renderBriefing(briefing, {briefing: computed, route, settings, feeds, now: now()});
    performance.measure('corvane:briefing', 'corvane:briefing-start');
  }

  if (route) {
    layer.setRoute(route, state.corridor);
    askTiles();
  }
  draw();

  return {
    get route() {
      return route;
    },
    get picking() {
      return picking;
    },
    /** A route from the search field: its points as found there. */
    setPoints(newPoints, text) {
      state.text = text;
      say('');
      setRoute(newPoints);
    },
    /** A point clicked on the map in route mode. @param {{lat: number, lon: number}} point */
    addPoint(point) {
      const label = `${point.lat.toFixed(2)},${point.lon.toFixed(2)}`;
      state.text = `${state.text} ${label}`.trim();
      setRoute([...state.points, {lat: point.lat, lon: point.lon, label}]);
    },
    draw,
  };
}
