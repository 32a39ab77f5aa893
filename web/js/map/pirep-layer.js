// Pilot reports on the map: a symbol per report for turbulence and icing, its altitude, faded
// with age; urgent reports are larger and ringed.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {el, svgEl} from '../dom.js';
import {inAltitudeBand, pirepOpacity} from '../pirep.js';
import {makeKeyboardTarget, showPopup} from './popup.js';

const RANK_CLASSES = ['none', 'light', 'moderate', 'severe', 'extreme'];

/** The symbol of one report as a DOM node (SVG glyphs and the flight level). */
export function pirepSymbol(report) {
  const glyphs = [];
  if (report.turbulence.length) {
    // Turbulence: an open caret, doubled from moderate up.
    const rank = RANK_CLASSES[report.turbulenceRank];
    glyphs.push(svgEl('path', {className: `glyph turbulence rank-${rank}`,
      d: report.turbulenceRank >= 2 ? 'M3 13 L9 4 L15 13 M6 13 L9 8.5 L12 13' : 'M3 13 L9 4 L15 13'}));
  }
  if (report.icing.length) {
    // Icing: a cup with a stem, the usual chart symbol.
    const rank = RANK_CLASSES[report.icingRank];
    glyphs.push(svgEl('path', {className: `glyph icing rank-${rank}`,
      d: 'M4 5 Q4 13 9 13 Q14 13 14 5 M9 3 L9 15'}));
  }
  if (!glyphs.length) glyphs.push(svgEl('circle', {className: 'glyph plain', cx: 9, cy: 9, r: 3.5}));
  const urgent = report.urgent ? ' urgent' : '';
  return el('div', {className: `pirep-symbol${urgent}`},
      svgEl('svg', {viewBox: '0 0 18 18', width: 18, height: 18, 'aria-hidden': 'true',
        focusable: 'false'}, ...glyphs),
      el('span', {className: 'pirep-level'},
          report.altitude === null ? '—' : String(Math.round(report.altitude / 100)).padStart(3, '0')));
}

/** PIREP layer: setReports(list, now), setBand(band). */
export function createPirepLayer(map, {label, popup}) {
  map.createPane('pireps').classList.add('pireps-pane');
  const group = L.layerGroup().addTo(map);
  let reports = [];
  let band = 'all';
  let now = Date.now();

  function open(report, opener = null) {
    showPopup(map, [report.lat, report.lon], popup(report), {opener, fromKeyboard: opener !== null});
  }

  function redraw() {
    group.clearLayers();
    for (const report of reports) {
      if (!inAltitudeBand(report.altitude, band)) continue;
      const marker = L.marker([report.lat, report.lon], {
        pane: 'pireps',
        icon: L.divIcon({html: pirepSymbol(report), className: 'pirep-icon',
          iconSize: report.urgent ? [44, 26] : [40, 22], iconAnchor: [9, 11]}),
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
  }

  return {
    setReports(list, at = Date.now()) {
      reports = list;
      now = at;
      redraw();
    },
    setBand(value) {
      band = value;
      redraw();
    },
    shownCount: () => group.getLayers().length,
    setVisible(visible) {
      if (visible) group.addTo(map);
      else group.remove();
    },
  };
}
