// Avalanche danger on the map, as the National Avalanche Center asks maps to draw it: each
// forecast zone filled in the colour the service gives for its danger, with the service's
// outline; a thick red outline at Extreme; grey with a blue outline where a centre publishes
// information without a rating; outline only where there is no information; and a dashed grey
// outline, without colour, once a forecast has passed its end. Zones take no clicks: a click
// gives the point panel, which starts with the danger at the spot.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {scaleColour, zoneDanger} from '../avalanche.js';
import {DrawnLayer} from './drawn-layer.js';

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

/** The avalanche layer: setZones(zones, now), setTime(now) as forecasts expire. */
export class AvalancheLayer extends DrawnLayer {
  /** @param {{onVisible?: (shown: boolean) => void}} [options] */
  constructor({onVisible = () => {}} = {}) {
    super();
    this.renderer = L.svg({pane: 'avalanche'});
    /** @type {AvalancheZone[]} */
    this.zones = [];
    this.now = Date.now();
    this.onVisible = onVisible;
  }

  redraw() {
    this.group.clearLayers();
    // Lowest danger first, so the outline of a higher one lies on top where zones touch.
    const order = [...this.zones].sort((a, b) => (a.level ?? -2) - (b.level ?? -2));
    for (const zone of order) {
      const shape = L.polygon(zone.polygons, {renderer: this.renderer, interactive: false,
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
