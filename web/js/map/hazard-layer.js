// Aviation hazards on the map, in a language of their own: outlined, never filled, so the alerts
// keep the fills. SIGMETs are solid white outlines (convective ones thick and hatched), G-AIRMETs
// of the chosen snapshot dashed in their product's colour (SIERRA: IFR and mountains obscured;
// TANGO: turbulence and wind; ZULU: icing and freezing level), Center Weather Advisories dotted.
// From zoom 6 each area carries a short label ("TURB FL200–350"). Like the alert areas they take
// no clicks: the point panel lists the hazards at a chosen spot, in full.
// A few hundred areas are SVG paths carrying the style classes; a reply of thousands is painted
// on one canvas instead, in styles read from the same classes: thousands of SVG paths cost the
// browser seconds at every drawing of the view.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {el, svgEl} from '../dom.js';
import {hazardLabel} from '../hazard-text.js';
import {hazardsFor, snapshotAt, snapshotTimes, splitEnded} from '../hazards.js';
import {insidePolygons} from '../alerts.js';
import {DrawnLayer} from './drawn-layer.js';
import {LABEL_RANK, labelSpots, takePart} from './label-layout.js';
import {inSlices} from '../slices.js';

/** @typedef {import('../hazards.js').HazardItem} HazardItem */

const LABEL_ZOOM = 6;
// Up to this many areas are SVG paths drawn in one go; more go on the canvas, a slice at a time,
// and so do their labels.
const SHAPES_AT_ONCE = 300;
// The label's box before it is drawn: 11.5 px bold capitals with a little room around them.
const LABEL_HEIGHT = 16;
const LABEL_CHAR_WIDTH = 7.5;

/** @type {WeakMap<HazardItem, L.LatLngBounds>} */
const extents = new WeakMap();

/** The box around an item's shape, kept: labels are placed again at every move of the view. @param {HazardItem} item */
function extent(item) {
  let box = extents.get(item);
  if (!box) extents.set(item, box = L.latLngBounds(item.shape));
  return box;
}

/**
 * The style class of a hazard item: kind, and for G-AIRMETs the product; the legend draws its
 * swatches with the same classes, so map and legend cannot drift apart.
 * @param {HazardItem | {kind: string, product?: string | null}} item
 */
export function hazardClass(item) {
  return item.kind === 'gairmet' ? `hazard gairmet ${String(item.product || '').toLowerCase()}` :
      `hazard ${item.kind}`;
}

/** @type {Map<string, L.PathOptions>} */
const canvasStyles = new Map();

/**
 * The canvas options of a style class, read from the style sheet through a probe path, so the
 * canvas draws what the SVG paths and the legend's swatches show.
 * @param {string} className
 * @returns {L.PathOptions}
 */
function canvasStyle(className) {
  let style = canvasStyles.get(className);
  if (style) return style;
  const probe = svgEl('svg', {className: 'svg-defs', 'aria-hidden': 'true'}, svgEl('path', {className}));
  document.body.append(probe);
  const css = getComputedStyle(/** @type {Element} */ (probe.firstChild));
  const dashes = css.strokeDasharray === 'none' ? [] : css.strokeDasharray.split(/[ ,]+/).map(parseFloat);
  const hatch = /url\(/.test(css.fill) ? hatchPattern() : null;
  style = {color: css.stroke, weight: parseFloat(css.strokeWidth), opacity: Number(css.strokeOpacity),
    dashArray: dashes, lineCap: /** @type {CanvasLineCap} */ (css.strokeLinecap), fill: Boolean(hatch),
    fillColor: /** @type {any} */ (hatch), fillOpacity: 1};
  probe.remove();
  canvasStyles.set(className, style);
  return style;
}

/** The convective SIGMETs' hatching (the page's #hazard-hatch pattern) as a canvas pattern. */
function hatchPattern() {
  const pattern = /** @type {SVGPatternElement | null} */ (document.querySelector('pattern#hazard-hatch'));
  const line = pattern?.querySelector('path');
  if (!pattern || !line) return null;
  const [width, height] = [pattern.width.baseVal.value, pattern.height.baseVal.value];
  const tile = document.createElement('canvas');
  Object.assign(tile, {width, height});
  const css = getComputedStyle(line);
  const context = /** @type {CanvasRenderingContext2D} */ (tile.getContext('2d'));
  Object.assign(context, {strokeStyle: css.stroke, lineWidth: parseFloat(css.strokeWidth),
    globalAlpha: Number(css.opacity)});
  context.stroke(new Path2D(line.getAttribute('d') || ''));
  const result = /** @type {CanvasPattern} */ (context.createPattern(tile, 'repeat'));
  const turn = pattern.patternTransform.baseVal.consolidate();
  if (turn) result.setTransform(DOMMatrix.fromMatrix(turn.matrix));
  return result;
}

/**
 * The hazard layer: setItems(items, now); setTime(now) as time passes (SIGMETs and CWAs past
 * their end leave the map, the G-AIRMET snapshot follows the clock unless another was chosen);
 * chooseSnapshot(validTime); setBand({lowFeet, highFeet}); at(point).
 */
export class HazardLayer extends DrawnLayer {
  constructor() {
    super([L.layerGroup(), L.layerGroup()]);
    this.labels = this.groups[1];
    this.renderer = L.svg({pane: 'hazards'});
    this.canvas = L.canvas({pane: 'hazards'});
    /** @type {HazardItem[]} every item of the reply */
    this.items = [];
    /** @type {HazardItem[]} the SIGMETs and CWAs past their end */
    this.ended = [];
    /** @type {HazardItem[]} the rest */
    this.current = [];
    this.now = Date.now();
    /** The snapshot drawn, and whether it follows the clock. */
    this.validTime = /** @type {number | null} */ (null);
    this.followNow = true;
    /** The snapshot valid now when the reader chose another. */
    this.chosenWhile = /** @type {number | null} */ (null);
    this.band = {lowFeet: 0, highFeet: Infinity};
    /** Counts the drawings begun, so a drawing in slices stops once a newer one began. */
    this.drawings = 0;
    this.labelDrawings = 0;
    /** @type {HazardItem[]} */
    this.shown = [];
  }

  getEvents() {
    return {moveend: this.drawLabels};
  }

  redraw() {
    this.group.clearLayers();
    const shown = this.shown = hazardsFor(this.current, {validTime: this.validTime, ...this.band});
    const drawing = ++this.drawings;
    if (shown.length <= SHAPES_AT_ONCE) {
      for (const item of shown) this.drawShape(item, this.renderer);
      this.drawLabels();
      return;
    }
    // Thousands of areas (a reply of megabytes) are drawn a slice at a time: the map stays usable.
    inSlices(shown.length, (index) => {
      if (drawing === this.drawings) this.drawShape(shown[index], this.canvas);
    }).then(() => {
      if (drawing === this.drawings) this.drawLabels();
    });
  }

  /** @param {HazardItem} item @param {L.Renderer} renderer */
  drawShape(item, renderer) {
    const line = item.geometry === 'line';
    const className = `${hazardClass(item)}${line ? ' line' : ''}`;
    const options = renderer === this.canvas ? {renderer, interactive: false, ...canvasStyle(className)} :
      {renderer, interactive: false, weight: 2, fill: !line, className};
    const layer = line ? L.polyline(item.shape, options) : L.polygon(item.shape, options);
    this.group.addLayer(layer);
    const path = /** @type {SVGElement | undefined} */ (layer.getElement());
    if (path) Object.assign(path.dataset, {hazard: item.kind, title: item.title});
  }

  /**
   * A short label in each area in view, from zoom 6, where it fits inside the area; for thousands
   * of areas a slice at a time.
   */
  drawLabels() {
    this.labels.clearLayers();
    const drawing = ++this.labelDrawings;
    const map = this.map;
    if (!map || map.getZoom() < LABEL_ZOOM) return;
    const zoom = map.getZoom();
    const pixels = map.getPixelBounds();
    const view = {left: pixels.min.x, top: pixels.min.y, right: pixels.max.x, bottom: pixels.max.y};
    const bounds = map.getBounds();
    const inView = this.shown.filter((item) => item.geometry === 'polygon' && bounds.intersects(extent(item)));
    const label = (/** @type {HazardItem} */ item) => this.drawLabel(item, zoom, view);
    if (inView.length <= SHAPES_AT_ONCE) {
      inView.forEach(label);
      return;
    }
    inSlices(inView.length, (index) => {
      if (drawing === this.labelDrawings && map === this.map) label(inView[index]);
    });
  }

  /**
   * @param {HazardItem} item @param {number} zoom
   * @param {{left: number, top: number, right: number, bottom: number}} view  pixels
   */
  drawLabel(item, zoom, view) {
    const map = /** @type {L.Map} */ (this.map);
    const text = hazardLabel(item);
    const ring = item.shape.map((point) => {
      const {x, y} = map.project(point, zoom);
      return /** @type {[number, number]} */ ([x, y]);
    });
    const spots = labelSpots(ring, {width: text.length * LABEL_CHAR_WIDTH + 8, height: LABEL_HEIGHT}, view);
    if (!spots.length) return;
    const [x, y] = spots[0];
    const marker = L.marker(map.unproject([x, y], zoom), {pane: 'hazardLabels', interactive: false,
      keyboard: false, icon: L.divIcon({className: 'hazard-label-anchor', iconSize: null,
        html: el('span', {className: `hazard-label ${hazardClass(item)}`, text,
          dataset: {hazard: item.kind, title: item.title}})})});
    this.labels.addLayer(marker);
    takePart(/** @type {HTMLElement | undefined} */ (marker.getElement()?.firstElementChild), LABEL_RANK.hazard,
        spots.slice(1).map(([sx, sy]) => [sx - x, sy - y]));
  }

  /** Replaces the items, as of `now`. @param {HazardItem[]} list @param {number} now */
  setItems(list, now) {
    this.items = list;
    this.moveTo(now, true);
  }

  /**
   * Moves the layer on to `now`: SIGMETs and CWAs past their end leave it, and the snapshot
   * follows the clock; one the reader chose stays until the snapshot valid now is another one.
   * Returns whether what is drawn changed.
   * @param {number} now
   */
  setTime(now) {
    return this.moveTo(now, false);
  }

  /** @param {number} now @param {boolean} fresh  new items: draw whatever changed */
  moveTo(now, fresh) {
    const {current, ended} = splitEnded(this.items, now);
    this.now = now;
    const validNow = snapshotAt(this.items, now);
    if (!this.followNow && (validNow !== this.chosenWhile || !snapshotTimes(this.items).includes(this.validTime))) {
      this.followNow = true;
    }
    const validTime = this.followNow ? validNow : this.validTime;
    const changed = fresh || validTime !== this.validTime || current.length !== this.current.length ||
        current.some((item, i) => item !== this.current[i]);
    this.validTime = validTime;
    this.current = current;
    this.ended = ended;
    if (changed) this.redraw();
    return changed;
  }

  /** The snapshot valid times of the items, earliest first. */
  snapshots() {
    return snapshotTimes(this.items);
  }

  /**
   * Draws another G-AIRMET snapshot until the snapshot valid now changes; choosing the one valid
   * now follows the clock again.
   * @param {number} validTime
   */
  chooseSnapshot(validTime) {
    this.chosenWhile = snapshotAt(this.items, this.now);
    this.followNow = validTime === this.chosenWhile;
    this.validTime = validTime;
    this.redraw();
  }

  /** Keeps only items reaching into a height band. @param {{lowFeet: number, highFeet: number}} band */
  setBand(band) {
    this.band = band;
    this.redraw();
  }

  shownCount() {
    return this.shown.length;
  }

  /** The shown areas (not lines) that hold a point. @param {{lat: number, lon: number}} point */
  at(point) {
    return this.shown.filter((item) => item.geometry !== 'line' && insidePolygons([[item.shape]], point));
  }
}
