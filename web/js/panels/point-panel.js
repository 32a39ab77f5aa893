// The point weather panel: nearest station now, the hourly chart, the grid values that matter
// to pilots and hikers, and the reply's warnings.

import {el, redrawKeepingFocus, replaceChildren} from '../dom.js';
import {compassPoint, formatCoordinate} from '../geo.js';
import {sortAlerts} from '../alerts.js';
import {MAX_TEXT} from '../discussion.js';
import {currentPeriods} from '../forecast.js';
import {fireWeatherFirst, isFireWeatherAlert} from '../backcountry.js';
import {gridLayer, gridSummary} from '../point.js';
import {altitudeText, hazardWords, sourceText} from '../hazard-text.js';
import {hazardClass} from '../map/hazard-layer.js';
import {formatAge, formatDateTime, formatTime, formatUntil} from '../time.js';
import {stationTimeZone, timeZoneAt} from '../time-zones.js';
import {formatDistance, formatHeight, formatPressure, formatSpeed, formatTemperature,
  formatVisibility} from '../units.js';
import {hourlyChart} from './chart.js';
import {alertButton} from './alert-panel.js';
import {freshnessLine} from './freshness.js';
import {adviceFor} from './status.js';
import {avalancheHereBlock, fireWeatherBlock, mountainBlock, outlookLinks} from './backcountry-blocks.js';

/** @typedef {ReturnType<typeof import('../point-controller.js').createPointController>['state']} PointState */

/** A list of facts; a value is text or nodes (service text isolated in them). */
function facts(rows) {
  return el('dl', {className: 'facts'},
      ...rows.filter(Boolean).map(([label, value]) => [el('dt', {text: label}), el('dd', null, value)]));
}

function observationBlock(observation, units, now, pointZone) {
  if (!observation) return el('p', {className: 'empty', text: 'No current observation in this reply.'});
  const zone = (observation.lat !== null && stationTimeZone({id: observation.id, lat: observation.lat,
    lon: observation.lon})) || pointZone;
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
      el('h3', null, 'Now at ', observation.name ? el('bdi', {text: observation.name}) : 'the nearest station',
          observation.id ? [' (', el('bdi', {text: observation.id}), ')'] : null),
      facts([
        ['Station', where],
        ['Observed', Number.isFinite(observation.time) ?
            `${formatTime(observation.time, {form: 'clock', zone})} (${formatAge(now - observation.time)})` :
            'time unknown'],
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
      el('thead', null, el('tr', null,
          el('th', {scope: 'col'}, el('span', {className: 'visually-hidden', text: 'Quantity'})),
          el('th', {scope: 'col', text: 'Now'}), el('th', {scope: 'col', text: 'Next 24 h'}))),
      el('tbody', null, ...rows.map((row) => el('tr', {dataset: {layer: row.key}},
          el('th', {scope: 'row', text: row.label}),
          el('td', {text: gridValue(row.kind, row.now, units)}),
          el('td', {text: row.low === row.high ? gridValue(row.kind, row.low, units) :
            `${gridValue(row.kind, row.low, units)} – ${gridValue(row.kind, row.high, units)}`})))));
}

/** Why the point's data may not be current; empty when it is. */
function pointStaleReason(state, now) {
  const reply = state.reply;
  if (state.fromStorage) return `saved from an earlier run, fetched ${formatAge(now - state.fetchedAt)}`;
  if (state.error !== null) return 'refresh failed; showing the last good data';
  if (!(now - state.fetchedAt <= 10 * 60000)) return `not refreshed since ${formatAge(now - state.fetchedAt)}`;
  if (Number.isFinite(reply.forecastTime) && now - reply.forecastTime > 12 * 3600000) {
    return `the forecast was made ${formatAge(now - reply.forecastTime)}`;
  }
  return '';
}

/**
 * The point's own time zone: the one its points document names, else the one at the spot.
 * @param {PointState} state
 * @returns {string | null}
 */
function pointTimeZone(state) {
  return state.reply?.timeZone || (state.point ? timeZoneAt(state.point.lat, state.point.lon) : null);
}

/**
 * The freshness line of the point panel, from the products' own times.
 * @param {PointState} state
 * @param {number} now
 */
export function pointFreshness(state, now) {
  const reply = state.reply;
  const parts = [];
  if (Number.isFinite(reply.forecastTime)) {
    parts.push(`forecast made ${formatTime(reply.forecastTime, {zone: pointTimeZone(state)})} ` +
      `(${formatAge(now - reply.forecastTime)})`);
  }
  const reason = pointStaleReason(state, now);
  return freshnessLine({dataText: parts.join(' · '), fetchedAt: state.fetchedAt, now, reason,
    fromStorage: state.fromStorage});
}

function alertsHereBlock(alerts, {now, drawnAs, onOpenAlert, checked, zone}) {
  const heading = el('h3', {text: alerts.length ? `Alerts here (${alerts.length})` : 'Alerts here'});
  if (checked === 'unavailable') {
    return el('section', {className: 'alerts-here'}, heading, el('p', {className: 'layer-error',
      text: 'The alerts are not available right now, so none can be shown for this spot.'}));
  }
  if (!checked) return el('section', {className: 'alerts-here'}, heading, el('p', {className: 'loading', text: 'Checking the alerts for this spot…'}));
  if (!alerts.length) {
    return el('section', {className: 'alerts-here', 'aria-label': 'Alerts here'},
        heading, el('p', {className: 'empty', text: 'No alert in force covers this spot.'}));
  }
  return el('section', {className: 'alerts-here', 'aria-label': 'Alerts here'}, heading,
      el('ul', {className: 'alert-list'}, ...fireWeatherFirst(sortAlerts(alerts, 'severity')).map((alert) =>
        el('li', null, alertButton(alert, {now, drawnAs, zone, onClick: () => onOpenAlert(alert)})))));
}

const celsius = (period) => (period.temperatureUnit === 'C' ? period.temperature :
  ((period.temperature - 32) * 5) / 9);

/** Whether a failed request means the weather service could not be reached (offline). */
const unreachable = (error) => Boolean(error) && (error.status === 502 || error.timedOut || !error.status);

/**
 * The 12-hour periods ("Tonight", "Saturday") not yet over, from the `forecast` reply; a forecast
 * saved by an earlier run is said to be so, with its age, while no newer one can be had.
 */
function periodsBlock(state, units, now, onRetry, zone) {
  const {forecast} = state;
  const heading = el('h3', {text: 'Forecast'});
  const section = (...children) => el('section', {className: 'periods', 'aria-label': 'Forecast'}, heading, ...children);
  const failed = (state.error && !state.loading ? state.error : null) || forecast?.error || null;
  if (!forecast && state.fromStorage) {
    return section(el('p', {className: 'empty', text: failed ?
      `The 12-hour forecast is not available ${unreachable(failed) ? 'offline' : 'now'}, and none was saved for this spot.` :
      'Loading the forecast…'}));
  }
  if (!forecast) return section(el('p', {className: 'empty', text: 'No 12-hour forecast for this spot.'}));
  if (!forecast.periods) {
    if (forecast.loading) return section(el('p', {className: 'loading', text: 'Loading the forecast…'}));
    return section(el('div', {className: 'error-box'},
        el('p', {text: `The forecast is not available: ${forecast.error?.message || 'no reply'}`}),
        el('button', {type: 'button', text: 'Retry forecast', on: {click: onRetry}})));
  }
  const periods = currentPeriods(forecast, now).slice(0, 8);
  const notes = forecastNotes(forecast).map((text) => el('p', {className: 'note forecast-note', text}));
  const saved = forecast.fromStorage ? el('p', {className: 'freshness stale'},
      el('span', {className: 'stale-badge', text: 'Saved'}),
      `${failed ? `The forecast is not available ${unreachable(failed) ? 'offline' : 'now'}: showing` : 'Showing'} ` +
      `the one saved ${formatTime(forecast.fetchedAt, {zone})} (${formatAge(now - forecast.fetchedAt)})` +
      (failed ? '.' : ' until the new one comes.')) : null;
  if (!periods.length) return section(saved, ...notes, el('p', {className: 'empty', text: 'The forecast has no periods left.'}));
  // The texts are the office's own words, in its units; the figures the page draws follow the reader's.
  const written = forecast.units === 'si' ? {temperature: 'C', speed: 'km/h'} : {temperature: 'F', speed: 'mph'};
  const unitsNote = units.temperature !== written.temperature || units.speed !== written.speed ?
    el('p', {className: 'note units-note', text: `The texts are the NWS's own words, in °${written.temperature} ` +
      `and ${written.speed}; the figures follow your units.`}) : null;
  return section(saved, ...notes, unitsNote, el('ol', {className: 'period-list'}, ...periods.map((period) =>
    el('li', {className: `period${period.isDaytime ? ' day' : ' night'}`},
        el('p', {className: 'period-head'},
            el('strong', {text: period.name || formatTime(period.start, {zone})}),
            Number.isFinite(period.temperature) ? el('span', {className: 'period-temperature',
              text: `${period.isDaytime ? 'High' : 'Low'} ${formatTemperature(celsius(period), units.temperature)}`}) : null,
            period.precipitation ? el('span', {className: 'period-pop', text: `${period.precipitation} % precip.`}) : null),
        el('p', {className: 'period-text', text: period.detailedForecast || period.shortForecast}),
        period.windSpeed ? el('p', {className: 'note'}, 'Wind ',
            el('bdi', {text: [period.windDirection, period.windSpeed].filter(Boolean).join(' ')}),
            period.windGust ? [', gusts ', el('bdi', {text: period.windGust})] : null) : null))));
}

/** "Fri Nov 20 10:40 MST to 14:40 MST", open on a side whose time is not given. */
function validText(from, to, zone) {
  if (!Number.isFinite(to)) return Number.isFinite(from) ? `From ${formatDateTime(from, zone)}; no end given` : 'Not given';
  if (!Number.isFinite(from)) return `Until ${formatDateTime(to, zone)}`;
  return `${formatDateTime(from, zone)} to ${formatUntil(from, to, zone)}`;
}

/**
 * The aviation hazards whose area holds the spot: each names what it is, its heights and when it
 * ends at a glance, and holds its times, source and text behind the summary.
 */
function hazardsHereBlock(hazards, now, zone) {
  if (!hazards.length) return null;
  return el('section', {className: 'hazards-here', 'aria-label': 'Aviation hazards here'},
      el('h3', {text: `Aviation hazards here (${hazards.length})`}),
      el('ul', {className: 'hazard-list'}, ...hazards.map((item) => el('li', {className: hazardClass(item)},
          el('details', null,
              el('summary', null, el('span', {className: 'hazard-title', text: item.title}),
                  el('span', {className: 'hazard-summary'}, ' · ', el('bdi', {text: hazardWords(item)}),
                      ` · ${altitudeText(item)}${Number.isFinite(item.to) ? ` · until ${formatUntil(now, item.to, zone)}` : ''}`)),
              facts([
                ['What', hazardWords(item)],
                ['Heights', altitudeText(item)],
                item.kind === 'gairmet' ? ['Snapshot', `pictures ${formatDateTime(item.validTime, zone)}` +
                  (item.forecastHour ? `, ${item.forecastHour} h after issue` : ', at issue')] : null,
                ['Valid', validText(item.from, item.to, zone)],
                ['Source', [el('bdi', {text: sourceText(item)}), Number.isFinite(item.issued) ?
                  `, issued ${formatDateTime(item.issued, zone)}` : '']],
                item.detail ? [item.kind === 'gairmet' ? 'Due to' : 'Movement', item.detail] : null,
              ]),
              item.raw ? [el('p', {className: 'raw-label', text: 'As issued'}),
                el('code', {className: 'raw', text: item.raw})] : null)))));
}

/**
 * What the discussion block says the page left out of the product.
 * @param {{shortened: boolean, length: number}} discussion
 * @returns {string[]}
 */
export function discussionNotes({shortened, length}) {
  return shortened ? [`Discussion shortened: showing the first ${MAX_TEXT.toLocaleString('en-US')} of ` +
    `${length.toLocaleString('en-US')} characters.`] : [];
}

/**
 * What the periods block says it left out of the forecast.
 * @param {{outOfRange?: number}} forecast
 * @returns {string[]}
 */
export function forecastNotes({outOfRange = 0}) {
  return outOfRange ? [`${outOfRange === 1 ? '1 period' : `${outOfRange} periods`} left out: ` +
    `${outOfRange === 1 ? 'its time lies' : 'their times lie'} outside the possible range.`] : [];
}

/** The office's forecast discussion, opened below its link: {loading, error, discussion}. */
function discussionBlock(state, zone) {
  if (!state) return null;
  if (state.loading) return el('p', {className: 'loading', text: 'Loading the forecast discussion…'});
  if (state.error) return el('div', {className: 'error-box'}, el('p', {text: state.error.message}));
  const {discussion} = state;
  return el('section', {className: 'discussion', 'aria-label': 'Forecast discussion'},
      el('p', {className: 'note'}, discussion.office ? el('bdi', {text: discussion.office}) : 'Forecast office',
          Number.isFinite(discussion.issued) ? `, issued ${formatTime(discussion.issued, {zone})}` :
            discussion.issuedOutOfRange ? ', issue time outside the possible range' : ', issue time not given'),
      ...discussionNotes(discussion).map((text) => el('p', {className: 'note discussion-note', text})),
      ...discussion.sections.flatMap((section) => [
        section.title ? el('h4', {text: section.title}) : null,
        ...section.paragraphs.map((paragraph) => el('p', {className: 'discussion-text', text: paragraph}))]));
}

/**
 * @typedef {object} PointPanelOptions
 * @property {import('../units.js').Units} units
 * @property {number} now  ms
 * @property {boolean} showTable  the hourly table is open
 * @property {(shown: boolean) => void} onToggleTable
 * @property {() => void} onRetry  asks for the point again
 * @property {import('../alerts.js').Alert[]} [alertsHere=[]]  the alerts in force at the point
 * @property {boolean | 'unavailable'} [alertsChecked=true]  false while the alerts are not known yet
 * @property {(alert: import('../alerts.js').Alert) => import('../map/alert-layer.js').DrawnAs} drawnAs
 * @property {(alert: import('../alerts.js').Alert) => void} onOpenAlert
 * @property {number} width  the chart's pixel width
 * @property {() => void} onRetryForecast
 * @property {(office: string) => void} onDiscussion  the discussion link
 * @property {import('../hazards.js').HazardItem[]} [hazardsHere=[]]  the hazard areas holding the point
 * @property {{office: string, loading: boolean, error: Error | null,
 *   discussion: ReturnType<typeof import('../discussion.js').decodeDiscussion> | null} | null} [discussion=null]
 * @property {import('../avalanche.js').AvalancheZone[]} [avalancheHere=[]]  the forecast zones holding the point
 * @property {boolean} [avalancheLoading=false]  the forecasts are on their way
 * @property {ReturnType<ReturnType<typeof import('../outlooks.js').createOutlooks>['links']>} [outlooks=[]]
 * @property {(type: string) => void} [onOutlook]  an outlook's link
 */

/**
 * Draws the panel for one state: {point, loading, error, reply, fetchedAt, forecast}.
 * @param {HTMLElement} container @param {PointState} state
 * @param {PointPanelOptions} options
 */
export function renderPointPanel(container, state, {units, now, showTable, onToggleTable, onRetry,
  alertsHere = [], alertsChecked = true, drawnAs, onOpenAlert, width, onRetryForecast,
  onDiscussion, hazardsHere = [], discussion = null, avalancheHere = [], avalancheLoading = false,
  outlooks = [], onOutlook = () => {}}) {
  if (!state.point) {
    replaceChildren(container, el('h2', {className: 'panel-title', text: 'Point forecast'}),
        el('p', {className: 'empty', text: 'Click the map, search for a place or type coordinates ' +
          'to see the forecast and alerts there. From the keyboard: focus the map, move it with ' +
          'the arrow keys and press Enter at the crosshair.'}));
    return;
  }
  const heading = el('h2', {className: 'panel-title', tabindex: '-1'},
      state.reply?.place ? ['Near ', (state.reply.placeParts || [state.reply.place])
          .map((part, index) => [index ? ', ' : '', el('bdi', {text: part})])] :
        state.label ? el('bdi', {text: state.label}) : 'Selected point');
  const coordinates = el('p', {className: 'coordinates',
    text: `${formatCoordinate(state.point.lat)}, ${formatCoordinate(state.point.lon)}`});
  /** @type {(HTMLElement | null)[]} */
  const blocks = [heading, coordinates];
  if (state.loading) blocks.push(el('p', {className: 'loading', text: 'Loading the weather here…'}));
  if (state.error) {
    blocks.push(el('div', {className: 'error-box', role: 'alert'},
        el('p', {text: state.error.message}),
        state.error.source ? el('p', {className: 'source', text: `Source: ${state.error.source}`}) : null,
        el('p', {className: 'note', text: adviceFor(state.error)}),
        el('button', {type: 'button', text: 'Retry', on: {click: onRetry}})));
  }
  const zone = pointTimeZone(state);
  blocks.push(avalancheHereBlock(avalancheHere, now, {loading: avalancheLoading}));
  blocks.push(alertsHereBlock(alertsHere, {now, drawnAs, onOpenAlert, checked: alertsChecked, zone}));
  // Under a Red Flag Warning or Fire Weather Watch the figures behind it follow it at once;
  // otherwise they wait below the forecast, where a skier in winter does not scroll past them.
  const layer = (key) => gridLayer(state.reply?.gridLayers, key);
  const fireFirst = alertsHere.some(isFireWeatherAlert);
  const fireWeather = state.reply ? fireWeatherBlock(layer, now, units, zone) : null;
  if (fireFirst) blocks.push(fireWeather);
  blocks.push(hazardsHereBlock(hazardsHere, now, zone));
  if (state.reply) {
    const reply = state.reply;
    blocks.push(pointFreshness(state, now));
    if (reply.warnings.length) {
      blocks.push(el('div', {className: 'warnings', role: 'note'},
          el('h3', {text: 'Some products could not be fetched'}),
          el('ul', null, ...reply.warnings.map((warning) => el('li', {text: warning})))));
    }
    blocks.push(periodsBlock(state, units, now, onRetryForecast, zone));
    if (reply.cell) {
      blocks.push(el('p', {className: 'discussion-link'}, el('button', {type: 'button',
        className: 'link-button', text: 'Forecast discussion', 'aria-expanded': String(Boolean(discussion)),
        on: {click: () => onDiscussion(reply.cell.office)}})), discussionBlock(discussion, zone),
      ...outlookLinks(outlooks, onOutlook, now, zone).flat());
    }
    if (!fireFirst) blocks.push(fireWeather);
    if (reply.gridLayers) {
      blocks.push(mountainBlock({layer, periods: state.forecast?.periods ? currentPeriods(state.forecast, now) : [],
        elevation: reply.elevation, point: state.point, now, units, zone,
        station: reply.observation ? {...reply.observation, elevation: reply.stationElevation} : null}));
    }
    const series = reply.hours.filter((row) => row.end > now).slice(0, 48);
    blocks.push(el('section', {className: 'hourly', 'aria-label': 'Hourly forecast'},
        el('h3', {text: 'Next 48 hours'}),
        hourlyChart(series, units, {showTable, onToggle: onToggleTable, width, now,
          place: state.point, zone})));
    blocks.push(observationBlock(reply.observation, units, now, zone));
    blocks.push(el('section', {className: 'grid', 'aria-label': 'Grid forecast'},
        gridTable(reply.gridLayers ? gridSummary({properties: reply.gridLayers}, now) : [], units)));
    if (reply.source) blocks.push(el('p', {className: 'source', text: `Source: ${reply.source}`}));
  }
  redrawKeepingFocus(container, ...blocks);
}
