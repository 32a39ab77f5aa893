// Pilot reports on the map: a symbol per report for turbulence and icing with its altitude in
// hundreds of feet, faded with age; urgent reports are ringed. Thinned by zoom (the most
// important report of each screen cell), and drawn below the station marks so both stay usable.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {el, svgEl} from '../dom.js';
import {pirepOpacity} from '../pirep.js';
import {makeKeyboardTarget, showPopup} from './popup.js';
import {DrawnLayer} from './drawn-layer.js';
import {LABEL_RANK, takePart} from './label-layout.js';

const RANK_CLASSES = ['none', 'light', 'moderate', 'severe', 'extreme'];
const CELL_PX = 34;
const FULL_DETAIL_ZOOM = 9;
const GLYPHS = {
  turbulence: (rank) => (rank >= 2 ? 'M3 13 L9 4 L15 13 M6 13 L9 8.5 L12 13' : 'M3 13 L9 4 L15 13'),
  icing: () => 'M4 5 Q4 13 9 13 Q14 13 14 5 M9 3 L9 15',
};

/**
 * One glyph as a small SVG: 'turbulence', 'icing' or 'plain', at a rank 0–4.
 * @param {'turbulence' | 'icing' | 'plain'} kind
 * @param {number} [rank=0]
 */
export function pirepGlyph(kind, rank = 0) {
  const shape = kind === 'plain' ?
      svgEl('circle', {className: 'glyph plain', cx: 9, cy: 9, r: 3.5}) :
      svgEl('path', {className: `glyph ${kind} rank-${RANK_CLASSES[rank]}`, d: GLYPHS[kind](rank)});
  return svgEl('svg', {viewBox: '0 0 18 18', width: 18, height: 18, 'aria-hidden': 'true',
    focusable: 'false'}, shape);
}

/**
 * The report's level as written on charts: hundreds of feet, "—" when unknown.
 * @param {{altitude: number | null}} report
 * @returns {string}
 */
export function levelText(report) {
  return report.altitude === null ? '—' : String(Math.round(report.altitude / 100)).padStart(3, '0');
}

/** The symbol of one report as a DOM node (SVG glyphs and the flight level). */
function pirepSymbol(report) {
  const glyphs = [];
  if (report.turbulence.length) glyphs.push(pirepGlyph('turbulence', report.turbulenceRank));
  if (report.icing.length) glyphs.push(pirepGlyph('icing', report.icingRank));
  if (!glyphs.length) glyphs.push(pirepGlyph('plain'));
  const urgent = report.urgent ? ' urgent' : '';
  return el('div', {className: `pirep-symbol${urgent}`}, ...glyphs,
      el('span', {className: 'pirep-level', text: levelText(report)}));
}

/** Whether a report lies in the altitude range {low, high} in feet (inclusive); unknown only in the full range. */
function inAltitudeRange(report, range) {
  if (range.low <= 0 && range.high === Infinity) return true;
  return report.altitude !== null && report.altitude >= range.low && report.altitude <= range.high;
}

function importance(report) {
  return (report.urgent ? 100 : 0) + Math.max(report.turbulenceRank, report.icingRank) * 10;
}

/**
 * @typedef {import('../pirep.js').Pirep} Pirep
 * @typedef {object} PirepLayerOptions
 * @property {(report: Pirep) => string} label  the text alternative of a report's symbol
 * @property {(report: Pirep) => HTMLElement} popup  builds a report's popup
 * @property {() => void} [onDraw]  called after every drawing
 */

/** The PIREP layer: setReports(list, now), setRange({low, high}); counts for the panel. */
export class PirepLayer extends DrawnLayer {
  /** @param {PirepLayerOptions} options */
  constructor({label, popup, onDraw = () => {}}) {
    super();
    this.label = label;
    this.popup = popup;
    this.onDraw = onDraw;
    /** @type {Pirep[]} */
    this.reports = [];
    this.range = {low: 0, high: Infinity};
    this.now = Date.now();
    /** @type {Pirep[]} */
    this.inRange = [];
    /** @type {Pirep[]} */
    this.shown = [];
  }

  getEvents() {
    return {zoomend: this.redraw};
  }

  /** Opens a report's popup. @param {Pirep} report @param {HTMLElement | SVGElement | null} [opener] */
  open(report, opener = null) {
    showPopup(this.map, [report.lat, report.lon], this.popup(report),
        {opener, fromKeyboard: opener !== null, name: 'pilot report details'});
  }

  /** The most important report of each screen cell, below full detail. @param {Pirep[]} list */
  thin(list) {
    const zoom = this.map.getZoom();
    if (zoom >= FULL_DETAIL_ZOOM) return list;
    const cells = new Map();
    for (const report of list) {
      const point = this.map.project([report.lat, report.lon], zoom);
      const key = `${Math.floor(point.x / CELL_PX)},${Math.floor(point.y / CELL_PX)}`;
      const held = cells.get(key);
      if (!held || importance(report) > importance(held) ||
          (importance(report) === importance(held) && report.time > held.time)) {
        cells.set(key, report);
      }
    }
    return [...cells.values()];
  }

  redraw() {
    this.group.clearLayers();
    if (!this.map) return;
    this.inRange = this.reports.filter((report) => inAltitudeRange(report, this.range));
    this.shown = this.thin(this.inRange);
    for (const report of this.shown) {
      const width = 18 * ((report.turbulence.length && report.icing.length) ? 2 : 1) + 24;
      const marker = L.marker([report.lat, report.lon], {
        pane: 'pireps',
        icon: L.divIcon({html: pirepSymbol(report), className: 'pirep-icon',
          iconSize: [width, 22], iconAnchor: [9, 11]}),
        keyboard: false,  // makeKeyboardTarget below gives it a better text alternative
        opacity: pirepOpacity(this.now - report.time),
        riseOnHover: true,
        bubblingMouseEvents: false,
        zIndexOffset: report.urgent ? 1000 : 0,
      });
      marker.on('click', () => this.open(report));
      this.group.addLayer(marker);
      makeKeyboardTarget(marker.getElement(), this.label(report), (element) => this.open(report, element));
      takePart(marker.getElement(), LABEL_RANK.mark);
    }
    this.onDraw();
  }

  /** Replaces the reports, aged at `at`. @param {Pirep[]} list */
  setReports(list, at = Date.now()) {
    this.reports = list;
    this.now = at;
    this.redraw();
  }

  /** Shows only reports in the altitude range. @param {{low: number, high: number}} value feet */
  setRange(value) {
    this.range = value;
    this.redraw();
  }

  inRangeCount() {
    return this.inRange.length;
  }

  shownCount() {
    return this.shown.length;
  }

  /** Reports drawn inside the visible map, newest first. */
  inView() {
    if (!this.map) return [];
    const bounds = this.map.getBounds();
    return this.shown.filter((r) => bounds.contains([r.lat, r.lon])).sort((a, b) => b.time - a.time);
  }
}
