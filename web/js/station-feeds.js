// The METAR stations the map draws: the whole area's reply and, once zoomed in, the visible box's
// own reply too, since the whole-area reply may be capped; where both hold a station, the newer
// report is drawn.

import {Feed} from './feed.js';
import {buildMetarBox} from './geo.js';
import {decodeMetars, newestPerStation} from './metar.js';

/** From this zoom the visible area is asked for on its own. */
export const BOX_ZOOM = 7;

/** @typedef {import('./metar.js').Station} Station */

/** The newest report time of a reply's stations, in ms. @param {Station[]} stations */
const newestReport = (stations) => Math.max(...stations.map((s) => s.time).filter(Number.isFinite));

/**
 * @typedef {object} StationFeedsOptions
 * @property {{request(operation: string, argument?: string): Promise<any>}} bridge  the host
 * @property {number} intervalMs  refresh period of both replies
 * @property {number} maxDataAgeMs  stations older than this make the whole-area data stale
 */

/**
 * The two METAR feeds: `whole` (kept in local storage) and `box` (not kept); stations(zoom) merges
 * them, follow(zoom, bounds) points the box at the view.
 * @param {StationFeedsOptions} options
 */
export function createStationFeeds({bridge, intervalMs, maxDataAgeMs}) {
  const whole = new Feed({name: 'metars', label: 'METAR stations', bridge, operation: 'metars',
    decode: decodeMetars, dataTime: newestReport, intervalMs, maxDataAgeMs});
  const box = new Feed({name: 'metars-box', label: 'METAR stations in view', bridge,
    operation: 'metars', decode: decodeMetars, dataTime: newestReport, intervalMs,
    storeReply: false});
  return {
    whole,
    box,
    /** The stations to draw at `zoom`. @param {number} zoom @returns {Station[]} */
    stations(zoom) {
      if (zoom < BOX_ZOOM || !box.data) return whole.data || [];
      return newestPerStation([...(whole.data || []), ...box.data], (s) => s.id, (s) => s.time);
    },
    /**
     * Points the box at the view: below BOX_ZOOM it stops and drops its data (true when it had
     * some, so the map draws again); from there on it asks for the box snapped around the view.
     * @param {number} zoom @param {import('leaflet').LatLngBounds} bounds @returns {boolean}
     */
    follow(zoom, bounds) {
      if (zoom < BOX_ZOOM) {
        box.stop();
        const dropped = box.data !== null;
        box.data = null;
        return dropped;
      }
      const argument = buildMetarBox({south: bounds.getSouth(), west: bounds.getWest(),
        north: bounds.getNorth(), east: bounds.getEast()});
      if (argument) box.ask(argument);
      return false;
    },
  };
}
