// Pilot reports on the map: a symbol per report for turbulence and icing with its altitude in
// hundreds of feet, faded with age; urgent reports are ringed. Thinned by zoom (the most
// important report of each screen cell), and drawn below the station marks so both stay usable.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {el, svgEl} from '../dom.js';
import {pirepOpacity} from '../pirep.js';
import {makeKeyboardTarget, showPopup} from './popup.js';

const RANK_CLASSES = ['none', 'light', 'moderate', 'severe', 'extreme'];
const CELL_PX = 34;
const FULL_DETAIL_ZOOM = 9;
const GLYPHS = {
  turbulence: (rank) => (rank >= 2 ? 'M3 13 L9 4 L15 13 M6 13 L9 8.5 L12 13' : 'M3 13 L9 4 L15 13'),
  icing: () => 'M4 5 Q4 13 9 13 Q14 13 14 5 M9 3 L9 15',
};

/** One glyph as a small SVG: 'turbulence', 'icing' or 'plain', at a rank 0–4. */
export function pirepGlyph(kind, rank = 0) {
  const shape = kind === 'plain' ?
      svgEl('circle', {className: 'glyph plain', cx: 9, cy: 9, r: 3.5}) :
      svgEl('path', {className: `glyph ${kind} rank-${RANK_CLASSES[rank]}`, d: GLYPHS[kind](rank)});
  return svgEl('svg', {viewBox: '0 0 18 18', width: 18, height: 18, 'aria-hidden': 'true',
    focusable: 'false'}, shape);
}

/** The report's level as written on charts: hundreds of feet, "—" when unknown. */
export function levelText(report) {
  return report.altitude === null ? '—' : String(Math.round(report.altitude / 100)).padStart(3, '0');
}

/** The symbol of one report as a DOM node (SVG glyphs and the flight level). */
export function pirepSymbol(report) {
  const glyphs = [];
  if (report.turbulence.length) glyphs.push(pirepGlyph('turbulence', report.turbulenceRank));
  if (report.icing.length) glyphs.push(pirepGlyph('icing', report.icingRank));
  if (!glyphs.length) glyphs.push(pirepGlyph('plain'));
  const urgent = report.urgent ? ' urgent' : '';
  return el('div', {className: `pirep-symbol${urgent}`}, ...glyphs,
      el('span', {className: 'pirep-level', text: levelText(report)}));
}

/** Whether a report lies in the altitude range {low, high} in feet (inclusive); unknown only in the full range. */
export function inAltitudeRange(report, range) {
  if (range.low <= 0 && range.high === Infinity) return true;
  return report.altitude !== null && report.altitude >= range.low && report.altitude <= range.high;
}

function importance(report) {
  return (report.urgent ? 100 : 0) + Math.max(report.turbulenceRank, report.icingRank) * 10;
}

/** PIREP layer: setReports(list, now), setRange({low, high}); counts for the panel. */
export function createPirepLayer(map, {label, popup, onDraw = () => {}}) {
  const group = L.layerGroup().addTo(map);
  let reports = [];
  let range = {low: 0, high: Infinity};
  let now = Date.now();
  let inRange = [];
  let shown = [];

  function open(report, opener = null) {
    showPopup(map, [report.lat, report.lon], popup(report), {opener, fromKeyboard: opener !== null});
  }

  function thin(list) {
    const zoom = map.getZoom();
    if (zoom >= FULL_DETAIL_ZOOM) return list;
    const cells = new Map();
    for (const report of list) {
      const point = map.project([report.lat, report.lon], zoom);
      const key = `${Math.floor(point.x / CELL_PX)},${Math.floor(point.y / CELL_PX)}`;
      const held = cells.get(key);
      if (!held || importance(report) > importance(held) ||
          (importance(report) === importance(held) && report.time > held.time)) {
        cells.set(key, report);
      }
    }
    return [...cells.values()];
  }

  function redraw() {
    group.clearLayers();
    inRange = reports.filter((report) => inAltitudeRange(report, range));
    shown = thin(inRange);
    for (const report of shown) {
      const width = 18 * ((report.turbulence.length && report.icing.length) ? 2 : 1) + 24;
      const marker = L.marker([report.lat, report.lon], {
        pane: 'pireps',
        icon: L.divIcon({html: pirepSymbol(report), className: 'pirep-icon',
          iconSize: [width, 22], iconAnchor: [9, 11]}),
        keyboard: false,  // makeKeyboardTarget below gives it a better text alternative
        opacity: pirepOpacity(now - report.time),
        riseOnHover: true,
        bubblingMouseEvents: false,
        zIndexOffset: report.urgent ? 1000 : 0,
      });
      marker.on('click', () => open(report));
      group.addLayer(marker);
      makeKeyboardTarget(marker.getElement(), label(report), (element) => open(report, element));
    }
    onDraw();
  }

  map.on('zoomend', redraw);

  return {
    setReports(list, at = Date.now()) {
      reports = list;
      now = at;
      redraw();
    },
    setRange(value) {
      range = value;
      redraw();
    },
    inRangeCount: () => inRange.length,
    shownCount: () => shown.length,
    /** Reports drawn inside the visible map, newest first. */
    inView() {
      const bounds = map.getBounds();
      return shown.filter((r) => bounds.contains([r.lat, r.lon])).sort((a, b) => b.time - a.time);
    },
    open,
    setVisible(visible) {
      if (visible) group.addTo(map);
      else group.remove();
    },
  };
}
