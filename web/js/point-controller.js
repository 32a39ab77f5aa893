// Point weather: asks the host for a point, then for the 12-hour forecast of its grid cell;
// keeps the last good replies of both (also across restarts, so an offline start still shows
// them with their age) and refreshes them with the other layers.

import {formatPointArgument} from './geo.js';
import {compactPointBody, decodePointReply} from './point.js';
import {loadJson, saveJson} from './store.js';

const POINT_REFRESH_MS = 5 * 60000;

/**
 * @typedef {object} PointControllerOptions
 * @property {{request(operation: string, argument?: string): Promise<any>}} bridge  the host
 * @property {(state: any) => void} onChange  called after every change of the state
 * @property {((body: any) => {periods: any[]}) | null} [decodeForecast=null]  decodes a `forecast`
 *   reply; without it no 12-hour forecast is asked for
 */

/**
 * onChange(state) is called after every change; state: {point, label, loading, error, reply,
 * fetchedAt, fromStorage, forecast}. decodeForecast(body) turns a `forecast` reply into
 * {periods, ...}; forecast: {loading, error, periods, fetchedAt, fromStorage} or null when the
 * point has no grid cell (or, restored from an earlier run, none was saved).
 * @param {PointControllerOptions} options
 */
export function createPointController({bridge, onChange, decodeForecast = null}) {
  const state = {point: null, label: '', loading: false, error: null, reply: null, fetchedAt: NaN,
    fromStorage: false, forecast: null};
  let sequence = 0;
  let timer = null;

  function changed() {
    try {
      onChange(state);
    } catch (error) {
      console.error('Point panel: display failed', error);
    }
  }

  async function fetchForecast(requestNumber) {
    const cell = state.reply?.cell;
    if (!cell || !decodeForecast) {
      state.forecast = null;
      return;
    }
    state.forecast = {...(state.forecast || {}), loading: true, error: null};
    changed();
    try {
      const argument = `${cell.office}/${cell.x},${cell.y}`;
      const body = await bridge.request('forecast', argument);
      if (requestNumber !== sequence) return;
      const fetchedAt = Date.now();
      state.forecast = {loading: false, error: null, ...decodeForecast(body), fetchedAt, fromStorage: false};
      saveJson('layer.forecast', {cell: argument, body, fetchedAt});
    } catch (error) {
      if (requestNumber !== sequence) return;
      state.forecast = {...state.forecast, loading: false, error};
    }
    changed();
  }

  async function fetchPoint() {
    const {point} = state;
    const requestNumber = ++sequence;
    state.loading = true;
    changed();
    try {
      const body = await bridge.request('point', formatPointArgument(point.lat, point.lon));
      let reply;
      try {
        reply = decodePointReply(body, point, Date.now());
      } catch (error) {
        throw new Error(`Unexpected reply from the weather host: ${error.message}`, {cause: error});
      }
      if (requestNumber !== sequence) return;  // another point was chosen meanwhile
      Object.assign(state, {reply, error: null, fetchedAt: Date.now(), fromStorage: false});
      saveJson('layer.point', {point, label: state.label, body: compactPointBody(body),
        fetchedAt: state.fetchedAt});
    } catch (error) {
      if (requestNumber !== sequence) return;
      state.error = error;
    }
    state.loading = false;
    changed();
    if (state.reply && !state.error) await fetchForecast(requestNumber);
  }

  /** The forecast saved with the point of the previous run, if it is that cell's and still decodes. */
  function savedForecast(cell) {
    const saved = loadJson('layer.forecast');
    if (!cell || !decodeForecast || saved?.cell !== `${cell.office}/${cell.x},${cell.y}` ||
        !Number.isFinite(saved.fetchedAt)) {
      return null;
    }
    try {
      return {loading: false, error: null, ...decodeForecast(saved.body), fetchedAt: saved.fetchedAt,
        fromStorage: true};
    } catch {
      return null;
    }
  }

  function keepFresh() {
    clearInterval(timer);
    timer = setInterval(() => fetchPoint(), POINT_REFRESH_MS);
    return fetchPoint();
  }

  return {
    state,
    /** Shows the weather at {lat, lon}; the previous point's data is dropped. */
    select(point, {label = ''} = {}) {
      Object.assign(state, {point, label, reply: null, error: null, fetchedAt: NaN,
        fromStorage: false, forecast: null});
      return keepFresh();
    },
    refresh() {
      return state.point ? fetchPoint() : Promise.resolve();
    },
    refreshForecast() {
      return fetchForecast(sequence);
    },
    /** Shows the point of the previous run with its age, then refreshes it; false if none. */
    restore() {
      const saved = loadJson('layer.point');
      if (!saved || !Number.isFinite(saved.fetchedAt) || !Number.isFinite(saved.point?.lat) ||
          !Number.isFinite(saved.point?.lon)) {
        return false;
      }
      try {
        state.reply = decodePointReply(saved.body, saved.point, Date.now());
      } catch {
        return false;
      }
      Object.assign(state, {point: saved.point, label: typeof saved.label === 'string' ?
        saved.label.slice(0, 80) : '', fetchedAt: saved.fetchedAt, fromStorage: true});
      state.forecast = savedForecast(state.reply.cell);
      changed();
      keepFresh();
      return true;
    },
  };
}
