// The point weather panel: nearest station now, the hourly chart, the grid values that matter
// to pilots and hikers, and the reply's warnings.

import {el, replaceChildren} from '../dom.js';
import {compassPoint, formatCoordinate} from '../geo.js';
import {formatAge, formatClock} from '../time.js';
import {formatDistance, formatHeight, formatPressure, formatSpeed, formatTemperature,
  formatVisibility} from '../units.js';
import {hourlyChart} from './chart.js';
import {freshnessLine} from './freshness.js';

function facts(rows) {
  return el('dl', {className: 'facts'},
      ...rows.filter(Boolean).map(([label, value]) => [el('dt', {text: label}), el('dd', {text: value})]));
}

function observationBlock(observation, units, now) {
  if (!observation) return el('p', {className: 'empty', text: 'No current observation in this reply.'});
  const where = observation.distance === null ? 'position unknown' :
      `${formatDistance(observation.distance, units.distance)} ${compassPoint(observation.bearing)} ` +
      `of the point (${Math.round(observation.bearing)}°)`;
  const wind = observation.windSpeed === null ? 'not reported' :
      observation.windSpeed < 0.5 ? 'calm' :
      `${observation.windDirection === null ? 'variable' :
        `${String(Math.round(observation.windDirection)).padStart(3, '0')}°`} at ` +
      formatSpeed(observation.windSpeed, units.speed) +
      (observation.windGust === null ? '' : `, gusts ${formatSpeed(observation.windGust, units.speed)}`);
  return el('section', {className: 'observation', 'aria-label': 'Current observation'},
      el('h3', {text: `Now at ${observation.name || 'the nearest station'}` +
        (observation.id ? ` (${observation.id})` : '')}),
      facts([
        ['Station', where],
        ['Observed', Number.isFinite(observation.time) ?
            `${formatClock(observation.time)} (${formatAge(now - observation.time)})` : 'time unknown'],
        observation.description ? ['Conditions', observation.description] : null,
        ['Temperature', formatTemperature(observation.temperature, units.temperature)],
        ['Dew point', formatTemperature(observation.dewpoint, units.temperature)],
        ['Humidity', observation.humidity === null ? '—' : `${Math.round(observation.humidity)} %`],
        ['Wind', wind],
        ['Pressure', formatPressure(observation.pressure, units.pressure)],
        ['Visibility', formatVisibility(observation.visibility, units.distance)],
      ]));
}

function gridValue(kind, value, units) {
  if (value === null) return '—';
  if (kind === 'percent') return `${Math.round(value)} %`;
  if (kind === 'height') return formatHeight(value, units.distance);
  if (kind === 'visibility') return formatVisibility(value, units.distance);
  if (kind === 'speed') return formatSpeed(value, units.speed);
  return String(value);
}

function gridTable(rows, units) {
  if (!rows.length) return el('p', {className: 'empty', text: 'No grid forecast in this reply.'});
  return el('table', {className: 'data-table grid-table'},
      el('caption', {text: 'Grid forecast for pilots and hikers'}),
      el('thead', null, el('tr', null, el('th', {scope: 'col', text: ''}),
          el('th', {scope: 'col', text: 'Now'}), el('th', {scope: 'col', text: 'Next 24 h'}))),
      el('tbody', null, ...rows.map((row) => el('tr', {dataset: {layer: row.key}},
          el('th', {scope: 'row', text: row.label}),
          el('td', {text: gridValue(row.kind, row.now, units)}),
          el('td', {text: row.low === row.high ? gridValue(row.kind, row.low, units) :
            `${gridValue(row.kind, row.low, units)} – ${gridValue(row.kind, row.high, units)}`})))));
}

/** The freshness line of the point panel; stale after two refresh periods or a failure. */
export function pointFreshness(state, now) {
  const reply = state.reply;
  return freshnessLine({
    dataTime: reply.observation?.time ?? reply.forecastTime,
    fetchedAt: Number.isFinite(reply.retrievedAt) ? reply.retrievedAt : state.fetchedAt,
    now,
    stale: state.fromStorage || state.error !== null || !(now - state.fetchedAt <= 10 * 60000),
    fromStorage: state.fromStorage,
  });
}

/** Draws the panel for one state: {point, loading, error, reply, fetchedAt}. */
export function renderPointPanel(container, state, {units, now, showTable, onToggleTable, onRetry}) {
  if (!state.point) {
    replaceChildren(container, el('p', {className: 'empty',
      text: 'Click the map or type coordinates as latitude,longitude to see the weather there.'}));
    return;
  }
  const heading = el('h2', {className: 'panel-title', tabindex: '-1'},
      state.reply?.place ? `Near ${state.reply.place}` : 'Selected point');
  const coordinates = el('p', {className: 'coordinates',
    text: `${formatCoordinate(state.point.lat)}, ${formatCoordinate(state.point.lon)}`});
  const blocks = [heading, coordinates];
  if (state.loading) blocks.push(el('p', {className: 'loading', text: 'Asking for the weather here…'}));
  if (state.error) {
    blocks.push(el('div', {className: 'error-box', role: 'alert'},
        el('p', {text: state.error.message}),
        state.error.source ? el('p', {className: 'source', text: `Source: ${state.error.source}`}) : null,
        el('button', {type: 'button', text: 'Retry', on: {click: onRetry}})));
  }
  if (state.reply) {
    const reply = state.reply;
    blocks.push(pointFreshness(state, now));
    if (reply.warnings.length) {
      blocks.push(el('div', {className: 'warnings', role: 'note'},
          el('h3', {text: 'Some products could not be fetched'}),
          el('ul', null, ...reply.warnings.map((warning) => el('li', {text: warning})))));
    }
    blocks.push(observationBlock(reply.observation, units, now));
    blocks.push(el('section', {className: 'hourly', 'aria-label': 'Hourly forecast'},
        el('h3', {text: 'Next hours'}),
        hourlyChart(reply.series, units, {showTable, onToggle: onToggleTable})));
    blocks.push(el('section', {className: 'grid', 'aria-label': 'Grid forecast'},
        gridTable(reply.grid, units)));
    if (reply.source) blocks.push(el('p', {className: 'source', text: `Source: ${reply.source}`}));
  }
  replaceChildren(container, ...blocks);
}
