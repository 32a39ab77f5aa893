// Labels that would overprint one another give way by rank: station marks and pilot report
// symbols (weather marks) stay where they are; station identifiers, then hazard labels (which may
// move to another spot inside their area), then place names, largest towns first, take the room
// that is left and hide where there is none. Checked by hand rather than with a spatial index
// (rbush): a view holds a few hundred boxes, which a plain list compares in well under 1 ms.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {insidePolygons} from '../alerts.js';

/** Ranks of what the map draws: lower ranks are placed first; marks never yield. */
export const LABEL_RANK = {mark: 0, station: 1, hazard: 2, place: 3};

/**
 * Other spots a label may move to when its own is taken, tried in order: pixel offsets, or a
 * function of the label's box giving them.
 * @typedef {[number, number][] | ((box: DOMRect) => [number, number][])} Alternatives
 */

/** @type {WeakMap<Element, Alternatives>} */
const alternatives = new WeakMap();

/**
 * Gives an element a rank in the layout, and the other spots it may take.
 * @param {HTMLElement | SVGElement | undefined} element
 * @param {number} rank  one of LABEL_RANK
 * @param {Alternatives} [others]  none by default
 */
export function takePart(element, rank, others = []) {
  if (!element) return;
  element.dataset.labelRank = String(rank);
  alternatives.set(element, others);
}

/**
 * The other spots of a name written to the right of a point, `gap` pixels from it: to its left,
 * then above and below it (centred, to the right, to the left, a little farther) with
 * `clearance` pixels to spare, so it stays beside its point.
 * @param {{gap: number, clearance: number}} how
 * @returns {(box: DOMRect) => [number, number][]}
 */
export function besidePoint({gap, clearance}) {
  return (box) => {
    const left = -(box.width + 2 * gap);
    const centred = -(box.width / 2) - gap;
    const up = -(box.height / 2 + clearance);
    const down = box.height / 2 + clearance;
    return [[left, 0], [centred, up], [centred, down], [0, up], [0, down], [left, up], [left, down],
      [centred, up - box.height / 2], [centred, down + box.height / 2]];
  };
}

const overlaps = (a, b) => a.left < b.right - 1 && b.left < a.right - 1 &&
    a.top < b.bottom - 1 && b.top < a.bottom - 1;
const within = (box, view) => box.left >= view.left && box.right <= view.right &&
    box.top >= view.top && box.bottom <= view.bottom;
const shifted = (box, [dx, dy]) => ({left: box.left + dx, right: box.right + dx,
  top: box.top + dy, bottom: box.bottom + dy});

const RANKED = '[data-label-rank]';

/** True when a change of the map's elements adds, removes or rewrites a ranked one. */
function touchesLabels(/** @type {MutationRecord} */ record) {
  if (record.target instanceof Element && record.target.closest(RANKED)) return true;
  return [...record.addedNodes, ...record.removedNodes].some((node) => node instanceof Element &&
    (node.matches(RANKED) || node.querySelector(RANKED) !== null));
}

/**
 * Lays out every ranked element of the map whenever the view or what is drawn changes: a
 * MutationObserver sees layers redraw, and a layer that moves an element it keeps fires
 * 'labelschange' on the map.
 */
export class LabelLayout extends L.Layer {
  constructor() {
    super();
    this.pending = false;
    // Only changes that can move a label: the loop control's clock and the weather pictures
    // change the map's elements several times a second, and each layout reads every label's box.
    this.observer = new MutationObserver((records) => {
      if (records.some(touchesLabels)) this.schedule();
    });
    /** @type {L.Map | null} */
    this.map = null;
  }

  getEvents() {
    return {zoomend: this.schedule, moveend: this.schedule, resize: this.schedule,
      labelschange: this.schedule};
  }

  /** @param {L.Map} map */
  onAdd(map) {
    this.map = map;
    this.observer.observe(map.getContainer(), {childList: true, subtree: true});
    this.schedule();
    return this;
  }

  onRemove() {
    this.observer.disconnect();
    this.map = null;
    return this;
  }

  /** Lays out once the current task's drawing is done, however many changes it made. */
  schedule() {
    if (this.pending) return;
    this.pending = true;
    queueMicrotask(() => {
      this.pending = false;
      this.layout();
    });
  }

  layout() {
    if (!this.map) return;
    const container = this.map.getContainer();
    const view = container.getBoundingClientRect();
    const elements = [.../** @type {NodeListOf<HTMLElement | SVGElement>} */ (container.querySelectorAll('[data-label-rank]'))];
    // Writes first, then every read: one layout of the page, not one per label.
    for (const element of elements) {
      element.classList.remove('label-yielded');
      element.style.translate = '';
    }
    const entries = elements.map((element, order) => ({element, order,
      rank: Number(element.dataset.labelRank), box: element.getBoundingClientRect()}))
        .filter(({box}) => box.width > 0 && overlaps(box, view));
    entries.sort((a, b) => a.rank - b.rank || a.order - b.order);
    const placed = [];
    for (const {element, rank, box} of entries) {
      if (rank === LABEL_RANK.mark) {
        placed.push(box);
        continue;
      }
      const others = alternatives.get(element) || [];
      /** @type {[number, number][]} */
      const offsets = [[0, 0], ...(typeof others === 'function' ? others(box) : others)];
      // The label's own spot may run over the map's edge; one it moves to may not.
      const spot = offsets.find((offset, i) => {
        const moved = shifted(box, offset);
        return (i === 0 || within(moved, view)) && !placed.some((other) => overlaps(other, moved));
      });
      if (!spot) {
        element.classList.add('label-yielded');
        continue;
      }
      if (spot[0] || spot[1]) element.style.translate = `${spot[0]}px ${spot[1]}px`;
      placed.push(shifted(box, spot));
    }
  }
}

/** Distance from a point to the segment a–b. */
function segmentDistance(x, y, [ax, ay], [bx, by]) {
  const dx = bx - ax;
  const dy = by - ay;
  const t = dx || dy ? Math.max(0, Math.min(1, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy))) : 0;
  return Math.hypot(x - (ax + t * dx), y - (ay + t * dy));
}

/**
 * Spots for a label of the given size inside a ring of pixel points [x, y]: centres where the
 * whole label fits, farthest from the edges first and at least a label's height apart; the best
 * point inside the ring when none fits; none for a ring not in `within` ({left, top, right,
 * bottom} pixels, the part of the map worth placing in).
 * @param {[number, number][]} ring
 * @param {{width: number, height: number}} size
 * @param {{left: number, top: number, right: number, bottom: number}} view
 * @param {number} [count=12]  the most spots returned
 * @returns {[number, number][]}
 */
export function labelSpots(ring, {width, height}, view, count = 12) {
  const xs = ring.map((p) => p[0]);
  const ys = ring.map((p) => p[1]);
  const left = Math.max(Math.min(...xs), view.left);
  const right = Math.min(Math.max(...xs), view.right);
  const top = Math.max(Math.min(...ys), view.top);
  const bottom = Math.min(Math.max(...ys), view.bottom);
  if (!(left < right && top < bottom)) return [];
  // The even-odd rule of the alert areas, with y for latitude and x for longitude.
  const rings = [[ring.map(([x, y]) => /** @type {[number, number]} */ ([y, x]))]];
  const inside = (x, y) => insidePolygons(rings, {lat: y, lon: x});
  const step = Math.max(6, (right - left) / 50, (bottom - top) / 50);
  const found = [];
  let best = null;
  for (let y = top + step / 2; y < bottom; y += step) {
    for (let x = left + step / 2; x < right; x += step) {
      if (!inside(x, y)) continue;
      let clearance = Infinity;
      for (let i = 0, j = ring.length - 1; i < ring.length; j = i++) {
        clearance = Math.min(clearance, segmentDistance(x, y, ring[j], ring[i]));
      }
      if (!best || clearance > best.clearance) best = {x, y, clearance};
      const [w, h] = [width / 2, height / 2];
      if (inside(x - w, y - h) && inside(x + w, y - h) && inside(x - w, y + h) && inside(x + w, y + h)) {
        found.push({x, y, clearance});
      }
    }
  }
  found.sort((a, b) => b.clearance - a.clearance);
  const spots = [];
  for (const spot of found) {
    if (spots.length >= count) break;
    if (spots.every(([x, y]) => Math.abs(x - spot.x) >= width / 2 || Math.abs(y - spot.y) >= height)) {
      spots.push([spot.x, spot.y]);
    }
  }
  return spots.length || !best ? spots : [[best.x, best.y]];
}
