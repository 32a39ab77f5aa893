// Legends and filters of the layer list, drawn with the same shapes and symbols as the map.

import {el, replaceChildren, svgEl} from '../dom.js';
import {SEVERITIES} from '../alerts.js';
import {SNAPSHOT_HALF_WINDOW_MS, snapshotAt, snapshotTimes} from '../hazards.js';
import {CATEGORIES} from '../metar.js';
import {hazardClass} from '../map/hazard-layer.js';
import {CATEGORY_SHAPES} from '../map/metar-layer.js';
import {pirepGlyph} from '../map/pirep-layer.js';
import {formatClock, timeDisplay} from '../time.js';

const SHAPE_PATHS = {
  circle: 'M2 8a6 6 0 1 0 12 0a6 6 0 1 0 -12 0',
  square: 'M3 3H13V13H3Z',
  diamond: 'M8 1L15 8L8 15L1 8Z',
  triangle: 'M8 1.5L15 13.5H1Z',
};

/**
 * A small SVG of a station mark: category shape and colour, hollow when old.
 * @param {string | null} category
 * @param {{old?: boolean}} [how]  old false
 */
export function stationSwatch(category, {old = false} = {}) {
  const shape = CATEGORY_SHAPES[category] || 'circle';
  return svgEl('svg', {className: `swatch-svg cat-${(category || 'unknown').toLowerCase()}${old ? ' old' : ''}`,
    viewBox: '0 0 16 16', width: 16, height: 16, 'aria-hidden': 'true', focusable: 'false'},
  svgEl('path', {d: SHAPE_PATHS[shape]}));
}

const CATEGORY_WORDS = {VFR: 'VFR', MVFR: 'Marginal VFR', IFR: 'IFR', LIFR: 'Low IFR'};

export function metarLegend() {
  return el('ul', {className: 'legend', 'aria-label': 'Station marks'},
      ...CATEGORIES.map((category) => el('li', null, stationSwatch(category),
          `${CATEGORY_WORDS[category]} (${CATEGORY_SHAPES[category]})`)),
      el('li', null, stationSwatch('VFR', {old: true}), 'Hollow: report over 90 min old'));
}

export function pirepLegend() {
  const item = (glyph, text) => el('li', null, glyph, text);
  return el('div', null,
      el('ul', {className: 'legend', 'aria-label': 'Pilot report symbols'},
          item(pirepGlyph('turbulence', 1), 'Light turbulence'),
          item(pirepGlyph('turbulence', 2), 'Moderate turbulence'),
          item(pirepGlyph('turbulence', 3), 'Severe turbulence'),
          item(pirepGlyph('icing', 1), 'Light icing'),
          item(pirepGlyph('icing', 2), 'Moderate icing'),
          item(pirepGlyph('icing', 3), 'Severe icing'),
          item(pirepGlyph('plain'), 'No turbulence or icing'),
          item(el('span', {className: 'urgent-ring', 'aria-hidden': 'true'}), 'Urgent report')),
      el('p', {className: 'note', text: 'The number beside a symbol is the altitude in hundreds of ' +
        'feet: 080 is 8,000 ft, 240 is 24,000 ft (FL240). Reports cover the last 3 hours and grow ' +
        'paler after 30 minutes. Where reports crowd together the most severe is shown; zoom in ' +
        'to see the others.'}));
}

/**
 * A small SVG of an area as the map draws it, with the map's own style classes, so the legend
 * cannot show a style the map does not use; a rect, so that what looks for the map's shapes
 * (path.hazard) does not find the legend.
 * @param {string} className
 */
function areaSwatch(className) {
  return svgEl('svg', {className: 'swatch-area', viewBox: '0 0 22 14', width: 22, height: 14,
    'aria-hidden': 'true', focusable: 'false'}, svgEl('rect', {className, x: 2, y: 2, width: 18, height: 10}));
}

export function alertLegend() {
  return el('div', null,
      el('ul', {className: 'legend', 'aria-label': 'Alert severities'},
          ...SEVERITIES.map((severity) => el('li', null,
              areaSwatch(`alert-shape severity-${severity.toLowerCase()}`), severity))),
      el('ul', {className: 'legend', 'aria-label': 'Alert areas'},
          el('li', {text: 'Filled, solid edge: the alert\'s own area, or its forecast zones'}),
          el('li', null, areaSwatch('alert-shape severity-unknown county-drawn'),
              'Dashed edge: drawn over whole counties (the alert names no zones, or they could not be loaded)')));
}

/** Altitude steps of the PIREP filter, in feet. */
const ALTITUDE_STEPS = [0, 3000, 6000, 10000, 14000, 18000, 24000, 30000, 36000, 45000];

function stepLabel(feet) {
  if (feet === 0) return 'Surface';
  if (feet >= 18000) return `FL${feet / 100}`;
  return `${feet.toLocaleString('en-US')} ft`;
}

/**
 * From/to altitude choice; onChange({low, high}) in feet (high Infinity for "and above").
 * @param {string} idPrefix
 * @param {(range: {low: number, high: number}) => void} onChange
 */
export function altitudeRange(idPrefix, onChange) {
  const from = el('select', {id: `${idPrefix}-from`},
      ...ALTITUDE_STEPS.slice(0, -1).map((feet) => el('option', {value: feet, text: stepLabel(feet)})));
  const to = el('select', {id: `${idPrefix}-to`},
      ...ALTITUDE_STEPS.slice(1).map((feet) => el('option', {value: feet, text: stepLabel(feet)})),
      el('option', {value: 'Infinity', text: 'and above', selected: true}));
  const change = (event) => {
    let low = Number(from.value);
    let high = Number(to.value);
    // Keep the range the right way round: move the other handle along.
    if (low >= high) {
      if (event.target === from) to.value = String(ALTITUDE_STEPS.find((f) => f > low) ?? 'Infinity');
      else from.value = String([...ALTITUDE_STEPS].reverse().find((f) => f < high) ?? 0);
      low = Number(from.value);
      high = Number(to.value);
    }
    onChange({low, high});
  };
  from.addEventListener('change', change);
  to.addEventListener('change', change);
  return el('fieldset', {className: 'altitude-range'},
      el('legend', {text: 'Altitude'}),
      el('label', {for: from.id, text: 'From'}), from,
      el('label', {for: to.id, text: 'to'}), to);
}

export function hazardLegend() {
  const item = (kind, product, text) => el('li', null, areaSwatch(hazardClass({kind, product})), text);
  return el('div', null,
      el('ul', {className: 'legend', 'aria-label': 'Hazard areas'},
          item('convective-sigmet', null, 'Convective SIGMET (hatched)'),
          item('sigmet', null, 'SIGMET'),
          item('gairmet', 'SIERRA', 'G-AIRMET Sierra: IFR, mountain obscuration'),
          item('gairmet', 'TANGO', 'G-AIRMET Tango: turbulence, wind'),
          item('gairmet', 'ZULU', 'G-AIRMET Zulu: icing, freezing level'),
          item('cwa', null, 'Center Weather Advisory (dotted)')),
      el('p', {className: 'note', text: 'Hazards are outlined, alerts filled. From zoom 6 each ' +
        'area is labelled with the hazard and its heights in hundreds of feet (TURB FL200–350: ' +
        'turbulence from FL200 to FL350; SFC: surface; FZL: freezing level). Choose a spot on ' +
        'the map to read the hazards there in full.'}));
}

const pad = (number) => String(number).padStart(2, '0');

/**
 * A snapshot's choice as a pilot reads it: "Valid 18Z · 11:00 MST (now)", the local clock only
 * when times are shown in local time; "(past)" once its window is over.
 * @param {number} validTime
 * @param {number} validNow  the snapshot valid now
 * @param {number} now
 * @returns {string}
 */
export function snapshotLabel(validTime, validNow, now) {
  const date = new Date(validTime);
  const zulu = `${pad(date.getUTCHours())}${date.getUTCMinutes() ? pad(date.getUTCMinutes()) : ''}Z`;
  // The local clock once, never followed by the UTC one the Z time already gives.
  const local = timeDisplay() === 'utc' ? '' : formatClock(validTime, 'local');
  const state = validTime === validNow ? ' (now)' :
      validTime + SNAPSHOT_HALF_WINDOW_MS <= now ? ' (past)' : '';
  return `Valid ${zulu}${!local || local === formatClock(validTime, 'utc') ? '' : ` · ${local}`}${state}`;
}

/**
 * The G-AIRMET snapshot choice; onChange(validTime). update(items, chosen, now) lists the
 * snapshots of the items, each labelled with its valid time.
 * @param {string} id
 * @param {(validTime: number) => void} onChange
 */
export function snapshotChoice(id, onChange) {
  const select = el('select', {id});
  select.addEventListener('change', () => onChange(Number(select.value)));
  const element = el('div', {className: 'panel-row'}, el('label', {for: id, text: 'G-AIRMET snapshot'}), select);
  let drawn = '';
  return {
    element,
    /**
     * @param {import('../hazards.js').HazardItem[]} items
     * @param {number | null} chosen  the valid time drawn
     * @param {number} now
     */
    update(items, chosen, now) {
      const times = snapshotTimes(items);
      const validNow = snapshotAt(items, now);
      const labels = times.map((time) => snapshotLabel(time, validNow, now));
      const key = JSON.stringify([labels, chosen]);
      if (key === drawn) return;  // rebuilt only when it changes, not under the reader's hand
      drawn = key;
      replaceChildren(select, ...(times.length ? times.map((time, i) => el('option', {value: time,
        text: labels[i], selected: time === chosen})) : [el('option', {text: 'No G-AIRMETs', value: ''})]));
      select.disabled = !times.length;
    },
  };
}
