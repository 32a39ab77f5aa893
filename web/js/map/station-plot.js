// The station model pilots read on surface charts, drawn around a station's mark from zoom 9:
// the wind barb from the station, temperature above and dew point below on the left with the
// visibility and present weather between them, the altimeter setting upper right, the sky
// cover (a ring filled by eighths) and the lowest layer's height lower right, the identifier
// below. The mark itself keeps the flight category's colour and shape.

import {el, svgEl} from '../dom.js';
import {windBarb} from './wind-barb.js';

export const PLOT_ZOOM = 9;
const COVER_EIGHTHS = {SKC: 0, CLR: 0, NCD: 0, NSC: 0, CAVOK: 0, FEW: 2, SCT: 4, BKN: 6, OVC: 8, OVX: 8, VV: 8};

/** The sky cover symbol: a ring filled to the eighths of the most covered layer; a cross for obscured. */
export function skyCover(clouds) {
  const most = clouds.reduce((max, layer) => Math.max(max, COVER_EIGHTHS[layer.cover] ?? 0), 0);
  const obscured = clouds.some((layer) => layer.cover === 'OVX' || layer.cover === 'VV');
  const r = 5;
  /** @type {SVGElement[]} */
  const parts = [svgEl('circle', {className: 'cover-ring', cx: 7, cy: 7, r})];
  if (obscured) {
    parts.push(svgEl('path', {className: 'cover-cross', d: 'M3.5 3.5L10.5 10.5M10.5 3.5L3.5 10.5'}));
  } else if (most >= 8) {
    parts.push(svgEl('circle', {className: 'cover-fill', cx: 7, cy: 7, r}));
  } else if (most > 0) {
    const angle = (most / 8) * 2 * Math.PI;
    const [x, y] = [7 + r * Math.sin(angle), 7 - r * Math.cos(angle)];
    parts.push(svgEl('path', {className: 'cover-fill', d: `M7 7V2A${r} ${r} 0 ${most > 4 ? 1 : 0} 1 ${x.toFixed(2)} ${y.toFixed(2)}Z`}));
  }
  return svgEl('svg', {className: 'sky-cover', viewBox: '0 0 14 14', width: 14, height: 14, 'aria-hidden': 'true'}, ...parts);
}

const whole = (value) => (value === null ? '' : String(Math.round(value)));

/**
 * The plot of one station as an element to centre on its mark.
 * @param {import('../metar.js').Station} station
 */
export function stationPlot(station) {
  const {wind} = station;
  const barb = wind.speed === null ? null : windBarb(wind.direction === 'VRB' || wind.calm ? null : wind.direction,
      wind.calm ? 0 : wind.speed, 64, 'wind-barb plot-barb');
  const visibility = station.visibility ? `${station.visibility.miles}${station.visibility.orMore ? '+' : ''}` : '';
  const lowest = station.clouds.find((layer) => layer.base !== null);
  return el('div', {className: 'station-plot', dataset: {station: station.id}},
      barb,
      el('span', {className: 'plot-temperature', text: whole(station.temperature)}),
      el('span', {className: 'plot-visibility', text: `${visibility}${station.weatherCode ? ` ${station.weatherCode}` : ''}`}),
      el('span', {className: 'plot-dewpoint', text: whole(station.dewpoint)}),
      el('span', {className: 'plot-altimeter', text: station.altimeter === null ? '' :
        (station.altimeter > 100 ? station.altimeter / 33.8639 : station.altimeter).toFixed(2)}),
      el('span', {className: 'plot-cover'}, skyCover(station.clouds),
          lowest ? el('span', {text: String(Math.round(lowest.base / 100)).padStart(3, '0')}) : null),
      el('span', {className: 'plot-id', text: station.id}));
}
