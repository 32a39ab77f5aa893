// Pictures that can tell a good image from a failed one. Radar and satellite frames are
// fetched by the page, because their services answer a time they do not hold with a service
// exception document under status 200, which an <img> would take as a (broken) picture without
// saying why: a tile whose answer is no image is dropped and counted. Base-map tiles are plain
// image tiles. Every image has a time limit, so one that hangs is counted too instead of
// holding a loop back for ever.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';

export const TILE_TIMEOUT_MS = 20000;

/** Why tiles failed, as the status lines name them. */
export const FAILURE_WORDS = {exception: 'service exception', status: 'error answer', broken: 'broken image',
  timeout: 'no answer in time', network: 'not reachable'};

/**
 * The address of a WMS GetMap picture in the map's projection (EPSG:3857).
 * @param {string} base  the service address up to the query
 * @param {Record<string, string>} params  LAYERS, TIME and the like
 * @param {L.LatLngBounds} bounds
 * @param {number} width  pixels
 * @param {number} height  pixels
 */
export function wmsUrl(base, params, bounds, width, height) {
  const sw = L.CRS.EPSG3857.project(bounds.getSouthWest());
  const ne = L.CRS.EPSG3857.project(bounds.getNorthEast());
  const query = new URLSearchParams({SERVICE: 'WMS', VERSION: '1.3.0', REQUEST: 'GetMap', STYLES: '',
    FORMAT: 'image/png', TRANSPARENT: 'true', CRS: 'EPSG:3857', WIDTH: String(width), HEIGHT: String(height),
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
    const image = document.createElement('img');
    const url = this.tileUrl(coords, /** @type {any} */ (this)._tileCoordsToBounds(coords));
    loadImage(image, url, {fetched: this.fetched, timeoutMs: this.timeoutMs}, (reason) => {
      if (reason) {
        this.counts.failed++;
        this.counts.reasons[reason] = (this.counts.reasons[reason] || 0) + 1;
        done(new Error(FAILURE_WORDS[reason]), image);
      } else {
        this.counts.loaded++;
        done(null, image);
      }
    });
    return image;
  }
}

/**
 * Loads `url` into `image`: fetched and accepted only as an image answer when `fetched`, else
 * as a plain image; calls finish(reason) once, reason empty when it loaded. A failed image is
 * hidden. image.abort() stops it without a call.
 * @param {HTMLImageElement & {abort?: () => void}} image
 * @param {string} url
 * @param {{fetched: boolean, timeoutMs: number}} how
 * @param {(reason: string) => void} done
 */
export function loadImage(image, url, {fetched, timeoutMs}, done) {
  image.alt = '';
  image.setAttribute('role', 'presentation');
  // Decoded when it arrives, not when first shown: a loop frame must be ready to paint at once.
  image.decoding = fetched ? 'sync' : 'async';
  let finished = false;
  const finish = (reason) => {
    if (finished) return;
    finished = true;
    clearTimeout(timer);
    if (reason) image.style.visibility = 'hidden';
    done(reason);
  };
  const controller = new AbortController();
  const timer = setTimeout(() => {
    controller.abort();
    if (!fetched) image.removeAttribute('src');
    finish('timeout');
  }, timeoutMs);
  image.abort = () => {
    finished = true;  // gone from the map: neither counted nor reported
    clearTimeout(timer);
    controller.abort();
  };
  image.onload = () => (fetched ? image.decode().then(() => finish(''), () => finish('broken')) : finish(''));
  image.onerror = () => finish('broken');
  if (!fetched) {
    image.src = url;
    return;
  }
  fetch(url, {signal: controller.signal, credentials: 'omit', referrerPolicy: 'no-referrer'})
      .then(async (response) => {
        if (!response.ok) return finish('status');
        if (!/^image\//i.test(response.headers.get('content-type') || '')) return finish('exception');
        const blob = await response.blob();
        if (!finished) image.src = URL.createObjectURL(blob);
      })
      .catch(() => finish(controller.signal.aborted ? 'timeout' : 'network'));
}

/**
 * One picture of the whole view (a little beyond it) for one frame time: a single request per
 * frame, so a loop of 30 frames asks 30 times, not hundreds, and loads within about two answers.
 * Asked again for the new view once the map stops moving; the old picture stays until then.
 * options.imageUrl(bounds, width, height) gives its address. The same counts and events as
 * ImageTiles: 'loading', 'load' and 'tileerror'.
 */
export class FrameImage extends L.Layer {
  /**
   * @param {{pane: string, opacity: number, timeoutMs?: number,
   *   imageUrl: (bounds: L.LatLngBounds, width: number, height: number) => string}} options
   */
  constructor(options) {
    super();
    L.Util.setOptions(this, {pane: options.pane});  // L.Layer takes no options of its own
    this.imageUrl = options.imageUrl;
    this.opacity = options.opacity;
    this.timeoutMs = options.timeoutMs || TILE_TIMEOUT_MS;
    /** @type {HTMLImageElement | null} */
    this.image = null;
    this.pending = false;
    this.counts = {loaded: 0, failed: 0, reasons: {}};
  }

  getEvents() {
    return {moveend: this.request, zoomstart: this.hideForZoom};
  }

  /** @param {L.Map} map */
  onAdd(map) {
    this._map = map;
    this.request();
    return this;
  }

  onRemove() {
    this.drop(this.image);
    this.drop(this.next);
    this.image = this.next = null;
    this.pending = false;
    return this;
  }

  drop(image) {
    if (!image) return;
    /** @type {any} */ (image).abort?.();
    if (image.src.startsWith('blob:')) URL.revokeObjectURL(image.src);
    image.remove();
  }

  hideForZoom() {
    if (this.image) this.image.style.display = 'none';
  }

  settled() {
    return Boolean(this._map) && !this.pending;
  }

  isLoading() {
    return this.pending;
  }

  /** @param {number} opacity */
  setOpacity(opacity) {
    this.opacity = opacity;
    if (this.image) this.image.style.opacity = String(opacity);
    return this;
  }

  request() {
    const map = this._map;
    if (!map) return;
    const size = map.getSize();
    const pad = 0.1;
    const width = Math.min(2048, Math.round(size.x * (1 + 2 * pad)));
    const height = Math.min(2048, Math.round(size.y * (1 + 2 * pad)));
    const topLeft = map.containerPointToLayerPoint([-size.x * pad, -size.y * pad]).round();
    const bounds = L.latLngBounds(map.layerPointToLatLng(topLeft.add([0, height])),
        map.layerPointToLatLng(topLeft.add([width, 0])));
    this.drop(this.next);
    const image = document.createElement('img');
    image.className = 'imagery-frame leaflet-zoom-hide';
    this.next = image;
    this.pending = true;
    this.counts = {loaded: 0, failed: 0, reasons: {}};
    this.fire('loading');
    const placed = {topLeft, width, height};
    loadImage(image, this.imageUrl(bounds, width, height), {fetched: true, timeoutMs: this.timeoutMs}, (reason) => {
      if (this.next !== image) return;
      this.pending = false;
      this.next = null;
      if (reason) {
        this.counts.failed = 1;
        this.counts.reasons[reason] = 1;
        this.drop(image);
        // An old picture of another view would not be this frame's whole truth: none is shown.
        this.drop(this.image);
        this.image = null;
        this.fire('tileerror', {error: new Error(FAILURE_WORDS[reason])});
      } else {
        this.counts.loaded = 1;
        this.place(image, placed);
        this.drop(this.image);
        this.image = image;
        this.fire('load');
      }
    });
  }

  place(image, {topLeft, width, height}) {
    image.style.width = `${width}px`;
    image.style.height = `${height}px`;
    image.style.opacity = String(this.opacity);
    image.style.position = 'absolute';
    L.DomUtil.setPosition(image, topLeft);
    this.getPane().appendChild(image);
  }
}

/** "3 images failed (2 service exception, 1 no answer in time)"; empty when none did. */
export function failureText(counts) {
  if (!counts.failed) return '';
  const reasons = Object.entries(counts.reasons).map(([reason, count]) => `${count} ${FAILURE_WORDS[reason]}`);
  return `${counts.failed} ${counts.failed === 1 ? 'image' : 'images'} failed (${reasons.join(', ')})`;
}
