// The hourly forecast as a chart (temperature; wind, gusts and precipitation chance) with a
// table that carries the same numbers for readers who cannot see the chart.

import {el, svgEl} from '../dom.js';
import {localHourText} from '../time.js';
import {speedValue, temperatureValue} from '../units.js';

const WIDTH = 320;
const LEFT = 34;
const RIGHT = 300;
const TEMP_TOP = 10;
const TEMP_BOTTOM = 84;
const WIND_TOP = 100;
const WIND_BOTTOM = 176;

function scale(low, high, top, bottom) {
  const span = high - low || 1;
  return (value) => bottom - ((value - low) / span) * (bottom - top);
}

function linePath(points) {
  let d = '';
  let pen = false;
  for (const [x, y] of points) {
    if (!Number.isFinite(y)) {
      pen = false;
      continue;
    }
    d += `${pen ? 'L' : 'M'}${x.toFixed(1)} ${y.toFixed(1)} `;
    pen = true;
  }
  return d.trim() || 'M0 0';
}

const finiteValues = (values) => values.filter(Number.isFinite);

/** A one-sentence summary of the series, used as the chart's text alternative. */
export function chartSummary(series, units) {
  if (!series.length) return 'No hourly forecast';
  const temperatures = finiteValues(series.map((r) => temperatureValue(r.temperature, units.temperature)));
  const winds = finiteValues(series.map((r) => speedValue(r.wind, units.speed)));
  const gusts = finiteValues(series.map((r) => speedValue(r.gust, units.speed)));
  const pops = series.map((r) => r.pop);
  const peak = series[pops.indexOf(Math.max(...pops))];
  const parts = [`Hourly forecast for ${series.length} hours from ${localHourText(series[0].startText)}`];
  if (temperatures.length) {
    parts.push(`temperature ${Math.round(Math.min(...temperatures))} to ` +
        `${Math.round(Math.max(...temperatures))} °${units.temperature}`);
  }
  if (winds.length) parts.push(`wind up to ${Math.round(Math.max(...winds))} ${units.speed}`);
  if (gusts.length) parts.push(`gusts up to ${Math.round(Math.max(...gusts))} ${units.speed}`);
  parts.push(`precipitation chance up to ${Math.max(...pops)} % at ${localHourText(peak.startText)}`);
  return parts.join(', ') + '.';
}

function chartSvg(series, units, summary) {
  const step = (RIGHT - LEFT) / Math.max(1, series.length);
  const x = (index) => LEFT + step * (index + 0.5);
  const temperatures = series.map((r) => temperatureValue(r.temperature, units.temperature));
  const winds = series.map((r) => speedValue(r.wind, units.speed));
  const gusts = series.map((r) => speedValue(r.gust, units.speed));
  const tValues = finiteValues(temperatures);
  const tLow = tValues.length ? Math.floor(Math.min(...tValues)) - 2 : 0;
  const tHigh = tValues.length ? Math.ceil(Math.max(...tValues)) + 2 : 1;
  const wHigh = Math.max(10, ...finiteValues([...winds, ...gusts])) * 1.1;
  const tY = scale(tLow, tHigh, TEMP_TOP, TEMP_BOTTOM);
  const wY = scale(0, wHigh, WIND_TOP, WIND_BOTTOM);
  const popY = scale(0, 100, WIND_TOP, WIND_BOTTOM);

  const parts = [
    svgEl('title', {id: 'hourly-chart-title'}, summary),
    svgEl('rect', {className: 'chart-frame', x: LEFT, y: TEMP_TOP, width: RIGHT - LEFT,
      height: TEMP_BOTTOM - TEMP_TOP}),
    svgEl('rect', {className: 'chart-frame', x: LEFT, y: WIND_TOP, width: RIGHT - LEFT,
      height: WIND_BOTTOM - WIND_TOP}),
  ];
  series.forEach((row, index) => {
    if (row.pop > 0) {
      parts.push(svgEl('rect', {className: 'chart-pop', x: (x(index) - step * 0.4).toFixed(1),
        y: popY(row.pop).toFixed(1), width: (step * 0.8).toFixed(1),
        height: (WIND_BOTTOM - popY(row.pop)).toFixed(1)}));
    }
    if (index % 6 === 0) {
      parts.push(svgEl('line', {className: 'chart-grid', x1: x(index), x2: x(index), y1: TEMP_TOP,
        y2: WIND_BOTTOM}));
      parts.push(svgEl('text', {className: 'chart-label', x: x(index), y: 190,
        'text-anchor': 'middle'}, localHourText(row.startText)));
    }
  });
  parts.push(
      svgEl('path', {className: 'chart-temperature', d: linePath(temperatures.map((v, i) => [x(i), tY(v)]))}),
      svgEl('path', {className: 'chart-wind', d: linePath(winds.map((v, i) => [x(i), wY(v)]))}),
      svgEl('path', {className: 'chart-gust', d: linePath(gusts.map((v, i) => [x(i), wY(v)]))}),
      svgEl('text', {className: 'chart-label', x: LEFT - 4, y: TEMP_TOP + 8, 'text-anchor': 'end'},
          String(tHigh)),
      svgEl('text', {className: 'chart-label', x: LEFT - 4, y: TEMP_BOTTOM, 'text-anchor': 'end'},
          String(tLow)),
      svgEl('text', {className: 'chart-label', x: LEFT - 4, y: TEMP_TOP + 18, 'text-anchor': 'end'},
          `°${units.temperature}`),
      svgEl('text', {className: 'chart-label', x: LEFT - 4, y: WIND_TOP + 8, 'text-anchor': 'end'},
          String(Math.round(wHigh))),
      svgEl('text', {className: 'chart-label', x: LEFT - 4, y: WIND_TOP + 18, 'text-anchor': 'end'},
          units.speed),
      svgEl('text', {className: 'chart-label', x: RIGHT + 3, y: WIND_TOP + 8}, '100%'),
      svgEl('text', {className: 'chart-label', x: LEFT - 4, y: WIND_BOTTOM, 'text-anchor': 'end'}, '0'));
  return svgEl('svg', {className: 'hourly-chart', viewBox: `0 0 ${WIDTH + 26} 198`, role: 'img',
    'aria-labelledby': 'hourly-chart-title'}, ...parts);
}

function chartTable(series, units) {
  const number = (value) => (Number.isFinite(value) ? String(Math.round(value)) : '—');
  return el('table', {className: 'data-table hourly-table'},
      el('caption', {text: 'Hourly forecast (local time at the point)'}),
      el('thead', null, el('tr', null,
          el('th', {scope: 'col', text: 'Hour'}),
          el('th', {scope: 'col', text: `Temp °${units.temperature}`}),
          el('th', {scope: 'col', text: `Wind ${units.speed}`}),
          el('th', {scope: 'col', text: `Gust ${units.speed}`}),
          el('th', {scope: 'col', text: 'Precip %'}),
          el('th', {scope: 'col', text: 'Forecast'}))),
      el('tbody', null, ...series.map((row) => el('tr', null,
          el('th', {scope: 'row', text: `${row.startText.slice(5, 10)} ${localHourText(row.startText)}`}),
          el('td', {text: number(temperatureValue(row.temperature, units.temperature))}),
          el('td', {text: `${row.windDirection} ${number(speedValue(row.wind, units.speed))}`.trim()}),
          el('td', {text: number(speedValue(row.gust, units.speed))}),
          el('td', {text: String(row.pop)}),
          el('td', {text: row.forecast}))),
      ));
}

/** The chart with its legend and a button that shows the same data as a table. */
export function hourlyChart(series, units, {showTable = false, onToggle = () => {}} = {}) {
  if (!series.length) return el('p', {className: 'empty', text: 'No hourly forecast in this reply.'});
  const summary = chartSummary(series, units);
  const table = chartTable(series, units);
  table.id = 'hourly-table';
  table.hidden = !showTable;
  const toggle = el('button', {type: 'button', className: 'link-button',
    'aria-expanded': String(showTable), 'aria-controls': 'hourly-table'},
  showTable ? 'Hide table' : 'Show as table');
  toggle.addEventListener('click', () => {
    table.hidden = !table.hidden;
    toggle.setAttribute('aria-expanded', String(!table.hidden));
    toggle.textContent = table.hidden ? 'Show as table' : 'Hide table';
    onToggle(!table.hidden);
  });
  return el('figure', {className: 'chart-figure'},
      chartSvg(series, units, summary),
      el('figcaption', {className: 'chart-legend'},
          el('span', {className: 'key key-temperature', text: 'Temperature'}),
          el('span', {className: 'key key-wind', text: 'Wind'}),
          el('span', {className: 'key key-gust', text: 'Gusts'}),
          el('span', {className: 'key key-pop', text: 'Precipitation chance'})),
      toggle,
      table);
}
