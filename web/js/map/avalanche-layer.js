// Avalanche danger on the map, as the National Avalanche Center asks maps to draw it: each
// forecast zone filled in the colour the service gives for its danger, with the service's
// outline; a thick red outline at Extreme; grey with a blue outline where a centre publishes
// information without a rating; outline only where there is no information; and a dashed grey
// outline, without colour, once a forecast has passed its end. Zones take no clicks: a click
// gives the point panel, which starts with the danger at the spot. Each zone is drawn from its
// line simplified as far as the zoom cannot show (within half a pixel): drawing a path costs by
// its points, and at the first view the 100 m line has some four times the points the map can show.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {scaleColour, zoneDanger} from '../avalanche.js';
import {DrawnLayer} from './drawn-layer.js';
import {harderRing} from '../zones.js';

/** @typedef {import('../avalanche.js').AvalancheZone} AvalancheZone */

const EXTREME_OUTLINE = '#ff0000';
const INFORMATION_OUTLINE = '#104efb';
const EXPIRED_OUTLINE = '#6b6b6b';

/**
 * The path style of a zone at `now`.
 * @param {AvalancheZone} zone @param {number} now
 * @returns {L.PathOptions & {className: string}}
 */
export function zoneStyle(zone, now) {
  const danger = zoneDanger(zone, now);
  const className = `avalanche-zone danger-${danger.style}`;
  if (danger.style === 'expired') {
    return {className, color: EXPIRED_OUTLINE, weight: 1.5, dashArray: '6 4', fill: false};
  }
  if (danger.style === 'information') {
    return {className, color: zone.stroke || INFORMATION_OUTLINE, weight: 2,
      fillColor: zone.fill || '#cccccc', fillOpacity: 0.45};
  }
  if (danger.style === 'outline') return {className, color: zone.stroke || '#000000', weight: 1.5, fill: false};
  const extreme = danger.level === 5;
  return {className: `${className} danger-level-${danger.level}`,
    color: extreme ? EXTREME_OUTLINE : zone.stroke || '#000000', weight: extreme ? 4 : 1.5,
    fillColor: zone.fill || scaleColour(danger.level), fillOpacity: 0.45};
}

// The lines the map draws besides the 100 m one (degrees), each where it lies within half a pixel.
const HARDER_DEGREES = [0.008, 0.002];

/**
 * The tolerance a zone at this latitude is drawn with at this zoom: the largest within half a
 * pixel (Web Mercator pixels are 360 cos(latitude) / (256 · 2^zoom) degrees of the simplifier's
 * measure); 0 for the zone's own line.
 * @param {number} latitude @param {number} zoom
 */
export function drawnDegrees(latitude, zoom) {
  const halfPixel = (180 * Math.cos((latitude * Math.PI) / 180)) / (256 * 2 ** zoom);
  return HARDER_DEGREES.find((degrees) => degrees <= halfPixel) || 0;
}

/** @type {WeakMap<AvalancheZone, Map<number, [number, number][][][]>>} */
const harderLines = new WeakMap();

/** A zone's polygons as drawn at this zoom. @param {AvalancheZone} zone @param {number} zoom */
function drawnPolygons(zone, zoom) {
  const degrees = drawnDegrees(zone.polygons[0][0][0][0], zoom);
  if (!degrees) return zone.polygons;
  let lines = harderLines.get(zone);
  if (!lines) harderLines.set(zone, lines = new Map());
  let polygons = lines.get(degrees);
  if (!polygons) lines.set(degrees, polygons = zone.polygons.map((polygon) => polygon.map((ring) => harderRing(ring, degrees))));
  return polygons;
}

/** The avalanche layer: setZones(zones, now), setTime(now) as forecasts expire. */
export class AvalancheLayer extends DrawnLayer {
  /** @param {{onVisible?: (shown: boolean) => void}} [options] */
  constructor({onVisible = () => {}} = {}) {
    super();
    this.renderer = L.svg({pane: 'avalanche'});
    /** @type {AvalancheZone[]} */
    this.zones = [];
    /** @type {Map<AvalancheZone, [number, number][][][]>} the polygons each zone is drawn from */
    this.drawn = new Map();
    this.now = Date.now();
    this.onVisible = onVisible;
  }

  getEvents() {
    return {zoomend: this.zoomed};
  }

  /** The zoom the lines are chosen for: the view's, or the finest without a map. */
  zoom() {
    return this.map ? this.map.getZoom() : Infinity;
  }

  /** Draws again when the zoom wants other lines of some zone. */
  zoomed() {
    if (this.zones.some((zone) => drawnPolygons(zone, this.zoom()) !== this.drawn.get(zone))) this.redraw();
  }

  redraw() {
    this.group.clearLayers();
    this.drawn.clear();
    const zoom = this.zoom();
    // Lowest danger first, so the outline of a higher one lies on top where zones touch.
    const order = [...this.zones].sort((a, b) => (a.level ?? -2) - (b.level ?? -2));
    for (const zone of order) {
      const polygons = drawnPolygons(zone, zoom);
      this.drawn.set(zone, polygons);
      const shape = L.polygon(polygons, {renderer: this.renderer, interactive: false,
        ...zoneStyle(zone, this.now)});
      this.group.addLayer(shape);
      const path = /** @type {SVGElement | undefined} */ (shape.getElement());
      if (path) {
        path.dataset.zone = zone.key;
        path.dataset.danger = String(zone.level);
      }
    }
  }

  /** @param {AvalancheZone[]} zones @param {number} now */
  setZones(zones, now) {
    this.zones = zones;
    this.now = now;
    this.redraw();
  }

  /**
   * Moves the layer's clock on; redraws when a forecast ended meanwhile. Returns whether it did.
   * @param {number} now
   */
  setTime(now) {
    const ended = this.zones.some((zone) => zone.end > this.now && zone.end <= now);
    this.now = now;
    if (ended) this.redraw();
    return ended;
  }

  /** @param {boolean} shown */
  setVisible(shown) {
    super.setVisible(shown);
    this.onVisible(shown);
  }
}
