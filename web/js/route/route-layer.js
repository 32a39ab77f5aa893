// The route on the map: its line, the corridor either side of it and its points by name.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {el} from '../dom.js';
import {DrawnLayer} from '../map/drawn-layer.js';
import {courseDegrees, pointAlong, samples} from './route.js';

const RAD = Math.PI / 180;

/** The point `nm` from `from` on `bearing` degrees (on a flat earth: a corridor is narrow). */
/** @returns {[number, number]} */
function offset(from, bearing, nm) {
  return [from.lat + (nm / 60) * Math.cos(bearing * RAD),
    from.lon + ((nm / 60) * Math.sin(bearing * RAD)) / Math.cos(from.lat * RAD)];
}

/**
 * The corridor's outline: both sides of the route `corridorNm` off it, round at the ends.
 * @param {ReturnType<typeof import('./route.js').makeRoute>} route @param {number} corridorNm
 * @returns {[number, number][]}
 */
function corridorOutline(route, corridorNm) {
  if (!route.legs.length) {
    return Array.from({length: 36}, (_, i) => offset(route.points[0], i * 10, corridorNm));
  }
  const points = samples(route, Math.max(2, route.totalNm / 200));
  const courses = points.map((p, i) => {
    const next = points[Math.min(points.length - 1, i + 1)];
    const before = points[Math.max(0, i - 1)];
    return courseDegrees(before, next === before ? pointAlong(route, p.along + 0.1) : next);
  });
  const left = points.map((p, i) => offset(p, courses[i] - 90, corridorNm));
  const right = points.map((p, i) => offset(p, courses[i] + 90, corridorNm));
  const endCap = Array.from({length: 17}, (_, i) => offset(points[points.length - 1], courses[courses.length - 1] - 90 + i * 11.25, corridorNm));
  const startCap = Array.from({length: 17}, (_, i) => offset(points[0], courses[0] + 90 + i * 11.25, corridorNm));
  return [...left, ...endCap, ...right.reverse(), ...startCap];
}

/** The route layer: setRoute(route, corridorNm) or setRoute(null). */
export class RouteLayer extends DrawnLayer {
  constructor() {
    super();
    /** @type {ReturnType<typeof import('./route.js').makeRoute> | null} */
    this.route = null;
    this.corridorNm = 25;
  }

  /** @param {ReturnType<typeof import('./route.js').makeRoute> | null} route @param {number} corridorNm */
  setRoute(route, corridorNm) {
    this.route = route;
    this.corridorNm = corridorNm;
    this.redraw();
  }

  redraw() {
    this.group.clearLayers();
    if (!this.map || !this.route || !this.route.points.length) return;
    const {route} = this;
    this.group.addLayer(L.polygon(corridorOutline(route, this.corridorNm), {pane: 'route', className: 'route-corridor',
      interactive: false}));
    if (route.legs.length) {
      this.group.addLayer(L.polyline(samples(route, Math.max(2, route.totalNm / 200)).map((p) => [p.lat, p.lon]),
          {pane: 'route', className: 'route-line', interactive: false}));
    }
    route.points.forEach((point, index) => {
      this.group.addLayer(L.circleMarker([point.lat, point.lon], {pane: 'route', radius: 5, className: 'route-point',
        interactive: false}));
      this.group.addLayer(L.marker([point.lat, point.lon], {pane: 'route', interactive: false, keyboard: false,
        icon: L.divIcon({className: 'route-label', html: el('span', {text: `${index + 1} ${point.label || ''}`.trim()}),
          iconSize: null, iconAnchor: [-8, 22]})}));
    });
  }

  /** The map box of the route and its corridor, for fitting the view. */
  bounds() {
    if (!this.route) return null;
    return L.latLngBounds(corridorOutline(this.route, this.corridorNm));
  }
}
