// The METAR stations the map draws: the whole area's reply and, once zoomed in (at any zoom once
// that reply was full), the tiles of the view too, since the service caps its replies; where both
// hold a station, the newer report is drawn. The view's tiles are asked through the aviation
// service's budget (request-budget.js), only once the view has rested, so panning never floods
// the service.

import {Feed} from './feed.js';
import {METAR_AREA} from './geo.js';
import {decodeMetars, decodeMetarsInSlices, fullReply, newestPerStation} from './metar.js';
import {createTileBudget} from './request-budget.js';

/** From this zoom the visible area is asked for on its own. */
const BOX_ZOOM = 7;
/** How long the view must rest before its tiles are asked for. */
const REST_MS = 1000;

/** @typedef {import('./metar.js').Station} Station */

/** The newest report time of a reply's stations, in ms. @param {Station[]} stations */
const newestReport = (stations) => Math.max(...stations.map((s) => s.time).filter(Number.isFinite));

/**
 * @typedef {object} StationFeedsOptions
 * @property {{request(operation: string, argument?: string): Promise<any>}} bridge  the host
 * @property {number} intervalMs  refresh period of the whole area, and lifetime of a tile's reply
 * @property {number} maxDataAgeMs  stations older than this make the whole-area data stale
 * @property {import('./request-budget.js').Gate} gate  the aviation service's gate
 * @property {number} [restMs=REST_MS]  how long the view rests before its tiles are asked
 * @property {Promise<{body?: any, error?: Error}> | null} [first=null]  the whole area's first
 *   request, already sent
 * @property {() => ([number, import('leaflet').LatLngBounds] | null)} [view]  the map's zoom and bounds
 *   before it first moves
 */

/**
 * The whole-area feed `whole` (kept in local storage) and the view's tiles (`tiles`, not kept);
 * stations(zoom) merges them; follow(zoom, bounds) after each move and hold() when the map starts
 * moving point the tiles at the view once it rests.
 * @param {StationFeedsOptions} options
 */
export function createStationFeeds({bridge, intervalMs, maxDataAgeMs, gate, restMs = REST_MS, first = null,
  view = () => null}) {
  const whole = new Feed({name: 'metars', label: 'METAR stations', bridge, operation: 'metars',
    decode: decodeMetars, decodeInSlices: decodeMetarsInSlices, dataTime: newestReport, intervalMs, maxDataAgeMs, first});
  const tiles = createTileBudget({bridge, operation: 'metars', decode: decodeMetars,
    position: (station) => station, gate, area: METAR_AREA, lifetimeMs: intervalMs, full: fullReply});
  let resting = null;
  let zoomedIn = false;
  /** @type {[number, import('leaflet').LatLngBounds] | null} */
  let last = null;
  const capped = () => Boolean(whole.data && fullReply(whole.data));
  const usesTiles = (zoom) => zoom >= BOX_ZOOM || capped();
  const feeds = {
    whole,
    tiles,
    /** Whether the whole area's reply was full, so the view is filled from tiles at any zoom. */
    get capped() {
      return capped();
    },
    /** The stations to draw at `zoom`. @param {number} zoom @returns {Station[]} */
    stations(zoom) {
      const kept = usesTiles(zoom) ? tiles.records() : [];
      if (!kept.length) return whole.data || [];
      return newestPerStation([...(whole.data || []), ...kept], (s) => s.id, (s) => s.time);
    },
    /** The map started moving: what it shows now is not asked for. */
    hold() {
      clearTimeout(resting);
      resting = null;
    },
    /**
     * The map stopped at `bounds`: below BOX_ZOOM the view wants no tiles (unless the whole
     * area's reply was full), from there on it wants those covering it once it has rested restMs.
     * True when the map must draw again (the tiles' stations come or go).
     * @param {number} zoom @param {import('leaflet').LatLngBounds} bounds @returns {boolean}
     */
    follow(zoom, bounds) {
      clearTimeout(resting);
      last = [zoom, bounds];
      const crossed = zoomedIn !== usesTiles(zoom);
      zoomedIn = usesTiles(zoom);
      if (!zoomedIn) {
        resting = null;
        tiles.want('view', null);
        return crossed;
      }
      const box = {south: bounds.getSouth(), west: bounds.getWest(), north: bounds.getNorth(),
        east: bounds.getEast()};
      resting = setTimeout(() => {
        resting = null;
        tiles.want('view', box);
      }, restMs);
      return crossed;
    },
  };
  // A whole-area reply that turns full (or no longer is) changes what the view wants.
  whole.subscribe((feed, changedData) => {
    const shown = last || view();
    if (changedData && shown && zoomedIn !== usesTiles(shown[0])) feeds.follow(...shown);
  });
  return feeds;
}
