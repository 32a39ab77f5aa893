// Image tiles that can tell a good picture from a failed one. Radar and satellite frames are
// fetched by the page, because their services answer a time they do not hold with a service
// exception document under status 200, which an <img> would take as a (broken) picture without
// saying why: a tile whose answer is no image is dropped and counted. Base-map tiles are plain
// images. Every tile has a time limit, so one that hangs is counted too instead of holding a
// loop back for ever.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';

export const TILE_TIMEOUT_MS = 20000;

/** Why tiles failed, as the status lines name them. */
export const FAILURE_WORDS = {exception: 'service exception', status: 'error answer', broken: 'broken image',
  timeout: 'no answer in time', network: 'not reachable'};

/**
 * The address of a WMS GetMap tile in the map's projection (EPSG:3857).
 * @param {string} base  the service address up to the query
 * @param {Record<string, string>} params  LAYERS, TIME and the like
 * @param {L.LatLngBounds} bounds
 * @param {number} size  pixels
 */
export function wmsTileUrl(base, params, bounds, size) {
  const sw = L.CRS.EPSG3857.project(bounds.getSouthWest());
  const ne = L.CRS.EPSG3857.project(bounds.getNorthEast());
  const query = new URLSearchParams({SERVICE: 'WMS', VERSION: '1.3.0', REQUEST: 'GetMap', STYLES: '',
    FORMAT: 'image/png', TRANSPARENT: 'true', CRS: 'EPSG:3857', WIDTH: String(size), HEIGHT: String(size),
    ...params, BBOX: [sw.x, sw.y, ne.x, ne.y].map((n) => n.toFixed(2)).join(',')});
  return `${base}?${query}`;
}

/**
 * A grid of image tiles. options.tileUrl(coords, bounds) gives each tile's address;
 * options.fetched makes the page fetch it and accept only an image answer. Counts of the
 * tiles loaded and failed since the view last changed are in `counts`.
 */
export class ImageTiles extends L.GridLayer {
  /**
   * @param {L.GridLayerOptions & {tileUrl: (coords: L.Coords, bounds: L.LatLngBounds) => string,
   *   fetched?: boolean, timeoutMs?: number}} options
   */
  constructor(options) {
    super({className: 'imagery-tiles', ...options});
    this.tileUrl = options.tileUrl;
    this.fetched = Boolean(options.fetched);
    this.timeoutMs = options.timeoutMs || TILE_TIMEOUT_MS;
    this.resetCounts();
    this.on('loading', this.resetCounts, this);
    this.on('tileunload', ({tile}) => {
      const image = /** @type {HTMLImageElement & {abort?: () => void}} */ (tile);
      image.abort?.();
      if (image.src.startsWith('blob:')) URL.revokeObjectURL(image.src);
    });
  }

  resetCounts() {
    /** @type {{loaded: number, failed: number, reasons: Record<string, number>}} */
    this.counts = {loaded: 0, failed: 0, reasons: {}};
  }

  /** True once every tile of the view has loaded or failed. */
  settled() {
    return Boolean(/** @type {any} */ (this)._map) && !this.isLoading();
  }

  /** @param {L.Coords} coords @param {L.DoneCallback} done */
  createTile(coords, done) {
    const image = /** @type {HTMLImageElement & {abort?: () => void}} */ (document.createElement('img'));
    image.alt = '';
    image.setAttribute('role', 'presentation');
    image.decoding = 'async';
    const url = this.tileUrl(coords, /** @type {any} */ (this)._tileCoordsToBounds(coords));
    let finished = false;
    const finish = (reason) => {
      if (finished) return;
      finished = true;
      clearTimeout(timer);
      if (reason) {
        this.counts.failed++;
        this.counts.reasons[reason] = (this.counts.reasons[reason] || 0) + 1;
        image.style.visibility = 'hidden';
        done(new Error(FAILURE_WORDS[reason]), image);
      } else {
        this.counts.loaded++;
        done(null, image);
      }
    };
    const controller = new AbortController();
    const timer = setTimeout(() => {
      controller.abort();
      if (!this.fetched) image.removeAttribute('src');
      finish('timeout');
    }, this.timeoutMs);
    image.abort = () => {
      finished = true;  // gone from the map: neither counted nor reported
      clearTimeout(timer);
      controller.abort();
    };
    image.onload = () => finish(null);
    image.onerror = () => finish('broken');
    if (!this.fetched) {
      image.src = url;
      return image;
    }
    fetch(url, {signal: controller.signal, credentials: 'omit', referrerPolicy: 'no-referrer'})
        .then(async (response) => {
          if (!response.ok) return finish('status');
          if (!/^image\//i.test(response.headers.get('content-type') || '')) return finish('exception');
          const blob = await response.blob();
          if (!finished) image.src = URL.createObjectURL(blob);
        })
        .catch(() => finish(controller.signal.aborted ? 'timeout' : 'network'));
    return image;
  }
}

/** "3 images failed (2 service exception, 1 no answer in time)"; empty when none did. */
export function failureText(counts) {
  if (!counts.failed) return '';
  const reasons = Object.entries(counts.reasons).map(([reason, count]) => `${count} ${FAILURE_WORDS[reason]}`);
  return `${counts.failed} ${counts.failed === 1 ? 'image' : 'images'} failed (${reasons.join(', ')})`;
}
