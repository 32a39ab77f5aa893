// The hourly forecast as a chart drawn at the panel's own pixel size, so its labels stay at
// 12 px: temperature with its axis above; wind, gusts and precipitation chance (own axis on the
// right) below; night shaded, days divided and dated, and a line at "now". A table carries the
// same numbers for readers who cannot see the chart.

import {getTimes} from '../../vendor/suncalc/index.js';
import {compassDegrees} from '../backcountry.js';
import {el, svgEl} from '../dom.js';
import {formatTime, timeDisplay, zonedParts} from '../time.js';
import {speedValue, temperatureValue} from '../units.js';

const HOUR = 3600000;
const HEIGHT = 300;
const LEFT = 36;
const RIGHT_GAP = 34;
const TEMP = {top: 26, bottom: 128};
const WIND = {top: 160, bottom: 262};
const AXIS_Y = 282;

const finiteValues = (values) => values.filter(Number.isFinite);

/** Whole, round tick values covering [low, high]: about `count` of them, never fewer than two. */
function niceTicks(low, high, count = 4) {
  const raw = Math.max(high - low, 1) / count;
  const power = 10 ** Math.floor(Math.log10(raw));
  const step = Math.max(1, [1, 2, 5, 10].map((m) => m * power).find((s) => s >= raw));
  const ticks = [];
  for (let value = Math.floor(low / step) * step; value <= high + 1e-9; value += step) ticks.push(value);
  if (ticks.length < 2 || ticks[ticks.length - 1] < high) ticks.push(ticks[ticks.length - 1] + step);
  return ticks;
}

/** The zone the chart's hours and days are read in: the place's, or UTC when that is the choice. */
const chartZone = (zone) => (timeDisplay() === 'utc' ? 'utc' : zone);

/** Hour label of a time in the chart's zone ("06"). */
function hourLabel(ms, zone) {
  return String(zonedParts(ms, chartZone(zone)).hour).padStart(2, '0');
}

/** A one-sentence summary of the series, used as the chart's text alternative. */
function chartSummary(series, units, zone) {
  if (!series.length) return 'No hourly forecast';
  const temperatures = finiteValues(series.map((r) => temperatureValue(r.temperature, units.temperature)));
  const winds = finiteValues(series.map((r) => speedValue(r.wind, units.speed)));
  const gusts = finiteValues(series.map((r) => speedValue(r.gust, units.speed)));
  const pops = series.map((r) => r.pop);
  const peak = series[pops.indexOf(Math.max(...pops))];
  const parts = [`Hourly forecast for ${series.length} hours from ${formatTime(series[0].start, {zone})}`];
  if (temperatures.length) {
    parts.push(`temperature ${Math.round(Math.min(...temperatures))} to ` +
        `${Math.round(Math.max(...temperatures))} °${units.temperature}`);
  }
  if (winds.length) parts.push(`wind up to ${Math.round(Math.max(...winds))} ${units.speed}`);
  if (gusts.length) parts.push(`gusts up to ${Math.round(Math.max(...gusts))} ${units.speed}`);
  parts.push(`precipitation chance up to ${Math.max(...pops)} % at ${formatTime(peak.start, {zone})}`);
  return parts.join(', ') + '.';
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

/** Night intervals [{start, end}] between `from` and `to` at a place, from sunset to sunrise. */
function nights(from, to, place) {
  if (!place) return [];
  const result = [];
  for (let day = from - 24 * HOUR; day < to + 24 * HOUR; day += 24 * HOUR) {
    const today = getTimes(new Date(day), place.lat, place.lon);
    const tomorrow = getTimes(new Date(day + 24 * HOUR), place.lat, place.lon);
    const start = today.sunset?.getTime();
    const end = tomorrow.sunrise?.getTime();
    if (Number.isFinite(start) && Number.isFinite(end) && end > from && start < to) {
      result.push({start: Math.max(start, from), end: Math.min(end, to)});
    }
  }
  // Neighbouring days give the same night twice; keep each once.
  return result.filter((night, i) => !result.slice(0, i).some((n) => Math.abs(n.start - night.start) < HOUR));
}

/** Midnights (in the chart's zone) strictly inside (from, to). */
function midnights(from, to, zone) {
  const result = [];
  for (let t = Math.ceil(from / HOUR) * HOUR; t < to; t += HOUR) {
    const parts = zonedParts(t, chartZone(zone));
    if (parts.hour === 0 && parts.minute === 0 && t > from) result.push(t);
  }
  return result;
}

function chartSvg(series, units, {width, now, place, zone, summary}) {
  const right = width - RIGHT_GAP;
  const from = series[0].start;
  const to = series[series.length - 1].end;
  const x = (time) => LEFT + ((time - from) / (to - from)) * (right - LEFT);
  const middle = (row) => x((row.start + row.end) / 2);
  const temperatures = series.map((r) => temperatureValue(r.temperature, units.temperature));
  const dewpoints = series.map((r) => temperatureValue(r.dewpoint ?? null, units.temperature));
  const winds = series.map((r) => speedValue(r.wind, units.speed));
  const gusts = series.map((r) => speedValue(r.gust, units.speed));
  const tValues = finiteValues([...temperatures, ...dewpoints]);
  const tTicks = niceTicks(tValues.length ? Math.min(...tValues) : 0, tValues.length ? Math.max(...tValues) : 1);
  const wTicks = niceTicks(0, Math.max(10, ...finiteValues([...winds, ...gusts])));
  const scale = (ticks, band) => (value) => band.bottom -
      ((value - ticks[0]) / (ticks[ticks.length - 1] - ticks[0])) * (band.bottom - band.top);
  const tY = scale(tTicks, TEMP);
  const wY = scale(wTicks, WIND);
  const popY = (value) => WIND.bottom - (value / 100) * (WIND.bottom - WIND.top);
  const text = (props, content) => svgEl('text', {className: 'chart-label', ...props}, content);

  const parts = [svgEl('title', {id: 'hourly-chart-title'}, summary)];
  for (const night of nights(from, to, place)) {
    parts.push(svgEl('rect', {className: 'chart-night', x: x(night.start).toFixed(1), y: TEMP.top,
      width: (x(night.end) - x(night.start)).toFixed(1), height: WIND.bottom - TEMP.top}));
  }
  for (const band of [TEMP, WIND]) {
    parts.push(svgEl('rect', {className: 'chart-frame', x: LEFT, y: band.top, width: right - LEFT,
      height: band.bottom - band.top}));
  }
  // Axes: ticks and grid lines on the left; precipitation chance on the right.
  for (const value of tTicks) {
    parts.push(svgEl('line', {className: 'chart-grid', x1: LEFT, x2: right, y1: tY(value), y2: tY(value)}),
        text({x: LEFT - 4, y: tY(value) + 4, 'text-anchor': 'end'}, String(value)));
  }
  for (const value of wTicks) {
    parts.push(svgEl('line', {className: 'chart-grid', x1: LEFT, x2: right, y1: wY(value), y2: wY(value)}),
        text({x: LEFT - 4, y: wY(value) + 4, 'text-anchor': 'end'}, String(value)));
  }
  for (const value of [0, 50, 100]) {
    parts.push(text({className: 'chart-label chart-pop-label', x: right + 3, y: popY(value) + 4}, `${value}%`));
  }
  parts.push(text({className: 'chart-label chart-title', x: LEFT, y: TEMP.top - 8},
      `Temperature °${units.temperature}`),
  text({className: 'chart-label chart-title', x: LEFT, y: WIND.top - 8},
      `Wind and gusts ${units.speed} · precipitation chance %`));
  series.forEach((row, index) => {
    if (row.pop > 0) {
      parts.push(svgEl('rect', {className: 'chart-pop', x: (x(row.start) + 0.5).toFixed(1),
        y: popY(row.pop).toFixed(1), width: Math.max(1, x(row.end) - x(row.start) - 1).toFixed(1),
        height: (WIND.bottom - popY(row.pop)).toFixed(1)}));
    }
    if (zonedParts(row.start, chartZone(zone)).hour % 6 === 0 && index > 0) {
      parts.push(text({x: x(row.start), y: AXIS_Y, 'text-anchor': 'middle'}, hourLabel(row.start, zone)));
    }
  });
  parts.push(
      svgEl('path', {className: 'chart-dewpoint', d: linePath(dewpoints.map((v, i) => [middle(series[i]), tY(v)]))}),
      svgEl('path', {className: 'chart-temperature', d: linePath(temperatures.map((v, i) => [middle(series[i]), tY(v)]))}),
      svgEl('path', {className: 'chart-wind', d: linePath(winds.map((v, i) => [middle(series[i]), wY(v)]))}),
      svgEl('path', {className: 'chart-gust', d: linePath(gusts.map((v, i) => [middle(series[i]), wY(v)]))}));
  // Where the wind blows from, every third hour: the arrow points the way it goes.
  series.forEach((row, index) => {
    const degrees = compassDegrees(row.windDirection);
    if (index % 3 !== 1 || !Number.isFinite(degrees)) return;
    parts.push(svgEl('path', {className: 'chart-wind-arrow', d: 'M0 -5L0 5M-3 1.5L0 5L3 1.5',
      transform: `translate(${middle(row).toFixed(1)} ${WIND.top + 9}) rotate(${degrees})`}));
  });
  const days = midnights(from, to, zone);
  // The first day is named at the left edge unless the first midnight comes too soon after it.
  if (!days.length || x(days[0]) - LEFT > 72) {
    parts.push(text({className: 'chart-label chart-date', x: LEFT, y: HEIGHT - 4}, formatTime(from, {form: 'day', zone})));
  }
  for (const midnight of days) {
    parts.push(svgEl('line', {className: 'chart-day', x1: x(midnight), x2: x(midnight), y1: TEMP.top - 18,
      y2: WIND.bottom + 4}),
    text({className: 'chart-label chart-date', x: x(midnight) + 3, y: HEIGHT - 4}, formatTime(midnight, {form: 'day', zone})));
  }
  if (now >= from && now <= to) {
    parts.push(svgEl('line', {className: 'chart-now', x1: x(now), x2: x(now), y1: TEMP.top, y2: WIND.bottom}),
        text({className: 'chart-label chart-now-label', x: x(now) + 3, y: TEMP.top + 12}, 'Now'));
  }
  return svgEl('svg', {className: 'hourly-chart', viewBox: `0 0 ${width} ${HEIGHT}`, width, height: HEIGHT,
    role: 'img', 'aria-labelledby': 'hourly-chart-title'}, ...parts);
}

function chartTable(series, units, zone) {
  const number = (value) => (Number.isFinite(value) ? String(Math.round(value)) : '—');
  return el('table', {className: 'data-table hourly-table'},
      el('caption', {text: 'Hourly forecast'}),
      el('thead', null, el('tr', null,
          el('th', {scope: 'col', text: 'Hour'}),
          el('th', {scope: 'col', text: `Temp °${units.temperature}`}),
          el('th', {scope: 'col', text: `Dew pt °${units.temperature}`}),
          el('th', {scope: 'col', text: `Wind ${units.speed}`}),
          el('th', {scope: 'col', text: `Gust ${units.speed}`}),
          el('th', {scope: 'col', text: 'Precip %'}),
          el('th', {scope: 'col', text: 'Forecast'}))),
      el('tbody', null, ...series.map((row) => el('tr', null,
          el('th', {scope: 'row', text: formatTime(row.start, {zone})}),
          el('td', {text: number(temperatureValue(row.temperature, units.temperature))}),
          el('td', {text: number(temperatureValue(row.dewpoint ?? null, units.temperature))}),
          el('td', {text: `${row.windDirection} ${number(speedValue(row.wind, units.speed))}`.trim()}),
          el('td', {text: number(speedValue(row.gust, units.speed))}),
          el('td', {text: String(row.pop)}),
          el('td', {text: row.forecast}))),
      ));
}

/**
 * @typedef {object} HourlyChartOptions
 * @property {boolean} [showTable=false]  the table is open
 * @property {(shown: boolean) => void} [onToggle]  told when the table is opened or closed
 * @property {number} [width=316]  the pixel width to draw at (the panel's), at least 280
 * @property {number} [now=Date.now()]  where the "now" line stands, in ms
 * @property {{lat: number, lon: number} | null} [place=null]  places the night shading
 * @property {string | null} [zone=null]  the place's IANA time zone; null: this computer's
 */

/**
 * The chart with its legend and a button that shows the same data as a table.
 * @param {ReturnType<typeof import('../point.js').decodePointReply>['series']} series
 * @param {import('../units.js').Units} units @param {HourlyChartOptions} [options]
 */
export function hourlyChart(series, units, {showTable = false, onToggle = () => {}, width = 316,
  now = Date.now(), place = null, zone = null} = {}) {
  if (!series.length) return el('p', {className: 'empty', text: 'No hourly forecast in this reply.'});
  const summary = chartSummary(series, units, zone);
  const table = chartTable(series, units, zone);
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
      chartSvg(series, units, {width: Math.max(280, Math.round(width)), now, place, zone, summary}),
      el('figcaption', {className: 'chart-legend'},
          el('span', {className: 'key key-temperature', text: 'Temperature'}),
          el('span', {className: 'key key-dewpoint', text: 'Dew point'}),
          el('span', {className: 'key key-wind', text: 'Wind'}),
          el('span', {className: 'key key-gust', text: 'Gusts'}),
          el('span', {className: 'key key-pop', text: 'Precipitation chance'}),
          el('span', {className: 'key key-night', text: 'Night'})),
      toggle,
      table);
}
