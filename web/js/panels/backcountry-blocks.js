// The point panel's backcountry blocks: the avalanche danger at the spot, the fire weather, the
// mountain forecast (elevation, snow level, wind chill, snow and rain, sky, thunder, daylight)
// and the office's outlooks, each drawn from data the page already holds.

import {getTimes} from '../../vendor/suncalc/index.js';
import {dangerOf, scaleAdvice, scaleColour, zoneDanger} from '../avalanche.js';
import {fireWeatherRows, mountainRows, skyWords, snowLevelRelation} from '../backcountry.js';
import {el, svgEl} from '../dom.js';
import {compassPoint} from '../geo.js';
import {formatAge, formatDateTime, formatTime} from '../time.js';
import {feetFromMetres, formatHeight, formatSpeed, formatTemperature} from '../units.js';

/** @typedef {import('../avalanche.js').AvalancheZone} AvalancheZone */
/** @typedef {import('../units.js').Units} Units */

const MM_PER_INCH = 25.4;

/**
 * A precipitation amount from millimetres: inches with statute miles, else millimetres (snow in
 * centimetres); "—" when unknown, "0" when none.
 * @param {number | null} mm @param {string} unit  the distance unit @param {boolean} [snow=false]
 */
export function formatAmount(mm, unit, snow = false) {
  if (!Number.isFinite(mm)) return '—';
  if (mm < 0.05) return '0';
  if (unit === 'km') return snow ? `${(mm / 10).toFixed(1)} cm` : `${mm.toFixed(1)} mm`;
  const inches = mm / MM_PER_INCH;
  return `${inches < 0.1 ? inches.toFixed(2) : inches.toFixed(1)} in`;
}

/** The scale's icon: a diamond in the danger's colour holding its level. @param {number | null} level */
function dangerIcon(level, fill = '') {
  const danger = dangerOf(level);
  const colour = fill || scaleColour(danger.level) || '#ffffff';
  const dark = danger.level === 5 || danger.level === 4;
  return svgEl('svg', {className: `danger-icon danger-${danger.style}`, viewBox: '0 0 24 24', width: 24,
    height: 24, 'aria-hidden': 'true', focusable: 'false'},
  svgEl('path', {d: 'M12 1L23 12L12 23L1 12Z', fill: colour, stroke: danger.level === 5 ? '#ff0000' : '#1f1f1f',
    'stroke-width': danger.level === 5 ? 2.5 : 1}),
  svgEl('text', {x: 12, y: 16.5, 'text-anchor': 'middle', className: 'danger-icon-text',
    fill: dark ? '#ffffff' : '#111111'}, danger.style === 'rated' ? String(danger.level) : '–'));
}

/**
 * A zone's danger with its word, colour and icon, advice, times, centre and link, for the point
 * panel (the spot's zone) and the layer list.
 * @param {AvalancheZone} zone @param {number} now
 */
function avalancheZoneItem(zone, now) {
  const danger = zoneDanger(zone, now);
  const zoneTime = zone.timeZone || null;
  const rated = danger.style === 'rated';
  const advice = rated ? zone.advice || scaleAdvice(danger.level) : danger.style === 'expired' ?
    'This forecast has ended; it is not today\'s. Read the center\'s current forecast before you go.' :
    zone.advice || 'No danger rating today. Read the center\'s information before travelling in avalanche terrain.';
  const times = Number.isFinite(zone.start) || Number.isFinite(zone.end) ?
    `Issued ${Number.isFinite(zone.start) ? formatDateTime(zone.start, zoneTime) : 'at a time not given'}` +
      (Number.isFinite(zone.end) ? `; ${danger.style === 'expired' ? 'ended' : 'expires'} ` +
        `${formatDateTime(zone.end, zoneTime)} (${formatAge(now - zone.end)})` : '') :
    'No forecast times given';
  return el('div', {className: `avalanche-item danger-${danger.style}${rated ? ` danger-level-${danger.level}` : ''}`,
    dataset: {zone: zone.key}},
      el('p', {className: 'avalanche-danger'},
          dangerIcon(rated ? danger.level : danger.style === 'information' ? -1 : null, rated ? zone.fill : ''),
          el('strong', {className: `avalanche-word${rated ? ` danger-level-${danger.level}` : ''}`, text: danger.label}),
          el('span', {className: 'avalanche-zone-name', text: ` · ${zone.name}`})),
      el('p', {className: 'avalanche-advice', text: advice}),
      zone.warning ? el('p', {className: 'avalanche-warning', role: 'note', text: `Warning: ${zone.warning}`}) : null,
      el('p', {className: 'note', text: `${times}. ${zone.center || 'Avalanche center'}` +
        (zone.state ? ` (${zone.state})` : '') + '.'}),
      zone.link ? el('p', null, el('a', {href: zone.link, className: 'external',
        text: `${rated ? 'Read the full forecast' : 'The center\'s information'} for ${zone.name}`})) : null);
}

/**
 * The danger at the spot, first in the point panel when the spot lies in a forecast zone.
 * @param {AvalancheZone[]} zones  those holding the point @param {number} now
 * @param {{loading?: boolean, shown?: boolean}} [state]
 */
export function avalancheHereBlock(zones, now, {loading = false} = {}) {
  if (!zones.length) {
    return loading ? el('section', {className: 'avalanche-here'}, el('h3', {text: 'Avalanche danger here'}),
        el('p', {className: 'loading', text: 'Loading the avalanche forecasts…'})) : null;
  }
  return el('section', {className: 'avalanche-here', 'aria-label': 'Avalanche danger here'},
      el('h3', {text: 'Avalanche danger here'}),
      ...zones.map((zone) => avalancheZoneItem(zone, now)),
      el('p', {className: 'note', text: 'Ratings are for the zone as a whole, the highest of the day; ' +
        'the center\'s forecast gives them by elevation and aspect.'}));
}

function windText(knots, degrees, units) {
  if (!Number.isFinite(knots)) return '—';
  const from = Number.isFinite(degrees) ? `${compassPoint(degrees)} ` : '';
  return `${from}${formatSpeed(knots, units.speed)}`;
}

function fireValue(row, value, direction, units) {
  if (value === null) return '—';
  if (row.kind === 'height') return formatHeight(value, units.distance);
  if (row.kind === 'wind') return windText(value, direction, units);
  return String(Math.round(value * 10) / 10);
}

/**
 * The fire weather at the spot, when the grid carries any of it.
 * @param {(key: string) => any} layer @param {number} now @param {Units} units @param {string | null} zone
 */
export function fireWeatherBlock(layer, now, units, zone) {
  const rows = fireWeatherRows(layer, now);
  if (!rows.length) return null;
  return el('section', {className: 'fire-weather', 'aria-label': 'Fire weather'},
      el('h3', {text: 'Fire weather'}),
      el('table', {className: 'data-table fire-table'},
          el('thead', null, el('tr', null,
              el('th', {scope: 'col'}, el('span', {className: 'visually-hidden', text: 'Quantity'})),
              el('th', {scope: 'col', text: 'Now'}), el('th', {scope: 'col', text: 'Highest, next 24 h'}))),
          el('tbody', null, ...rows.map((row) => el('tr', {dataset: {layer: row.key}},
              el('th', {scope: 'row', text: row.label}),
              el('td', null, fireValue(row, row.now, row.nowDirection, units),
                  row.nowBand ? el('span', {className: 'band', text: ` ${row.nowBand}`}) : null),
              row.peak === row.now ? el('td', {className: 'note', text: 'as now'}) :
                el('td', null, fireValue(row, row.peak, row.peakDirection, units),
                    row.peakBand ? el('span', {className: 'band', text: ` ${row.peakBand}`}) : null,
                    el('span', {className: 'note', text: ` at ${formatTime(row.peakAt, {form: 'clock', zone})}`})))))),
      el('p', {className: 'note', text: 'From the grid forecast. Mixing height as the forecast gives it; ' +
        'the Red Flag threat, dispersion and grassland indexes are the office\'s own scales.'}));
}

/** "6,500 ft — 1,800 ft below this spot's forecast elevation (8,300 ft)". */
function snowLevelText(relation, units) {
  if (!relation) return '';
  const level = formatHeight(relation.snowLevel, units.distance);
  if (relation.relation === 'at') return `${level}, about the elevation of this forecast`;
  return `${level} — ${formatHeight(relation.difference, units.distance)} ${relation.relation} ` +
    `this forecast's elevation (${formatHeight(relation.elevation, units.distance)})`;
}

/**
 * The mountain forecast: the forecast's elevation beside the station's, the snow level against
 * it, daylight, and per 12-hour period snow and rain, wind chill, sky, thunder and gusts.
 * @param {object} parts
 * @param {(key: string) => any} parts.layer
 * @param {{name: string, start: number, end: number, isDaytime: boolean | null}[]} parts.periods
 * @param {number | null} parts.elevation  feet, the forecast grid cell's
 * @param {{name: string, id: string, elevation: number | null} | null} parts.station
 * @param {{lat: number, lon: number}} parts.point
 * @param {number} parts.now @param {Units} parts.units @param {string | null} parts.zone
 */
export function mountainBlock({layer, periods, elevation, station, point, now, units, zone}) {
  // Periods beyond the grid's data say nothing: left out.
  const rows = mountainRows(layer, periods.slice(0, 6)).filter((row) =>
    ['snow', 'liquid', 'snowLevel', 'windChill', 'sky', 'thunder', 'gust'].some((key) => row[key] !== null));
  const snowNow = layer('snowLevel')?.at(now);
  const relation = snowLevelRelation(Number.isFinite(snowNow) ? feetFromMetres(snowNow) : null, elevation);
  const lowest = rows.map((row) => row.snowLevel).filter(Number.isFinite);
  const lowestRelation = lowest.length ? snowLevelRelation(Math.min(...lowest), elevation) : null;
  const chill = layer('windChill')?.at(now);
  const apparent = layer('apparentTemperature')?.at(now);
  const sun = getTimes(new Date(now), point.lat, point.lon);
  const clock = (date) => (Number.isFinite(date?.getTime()) ? formatTime(date.getTime(), {form: 'clock', zone}) : '—');
  const facts = [
    ['Forecast elevation', elevation === null ? 'not given' :
      `${formatHeight(elevation, units.distance)} (the average of the forecast's 2.5 km grid cell)`],
    station?.elevation !== null && station?.elevation !== undefined ?
      ['Station elevation', `${formatHeight(station.elevation, units.distance)} at ${station.id || station.name}`] : null,
    relation ? ['Snow level now', snowLevelText(relation, units)] : null,
    lowestRelation && Math.abs(lowestRelation.snowLevel - (relation?.snowLevel ?? Infinity)) >= 100 ?
      ['Lowest snow level', snowLevelText(lowestRelation, units)] : null,
    Number.isFinite(chill) ? ['Wind chill now', formatTemperature(chill, units.temperature)] : null,
    Number.isFinite(apparent) ? ['Feels like now', formatTemperature(apparent, units.temperature)] : null,
    ['Daylight', `civil dawn ${clock(sun.dawn)}, sunrise ${clock(sun.sunrise)}, sunset ${clock(sun.sunset)}, ` +
      `civil dusk ${clock(sun.dusk)}`],
  ].filter(Boolean);
  const hasAny = (key) => rows.some((row) => row[key] !== null);
  /** @type {{key: string, title: string, value: (row: ReturnType<typeof mountainRows>[number]) => string}[]} */
  const columns = [
    {key: 'snow', title: 'Snow', value: (row) => formatAmount(row.snow, units.distance, true)},
    {key: 'liquid', title: 'Water', value: (row) => formatAmount(row.liquid, units.distance)},
    {key: 'snowLevel', title: 'Snow level', value: (row) => formatHeight(row.snowLevel, units.distance)},
    {key: 'windChill', title: 'Wind chill', value: (row) => formatTemperature(row.windChill, units.temperature)},
    {key: 'sky', title: 'Sky', value: (row) => (row.sky === null ? '—' : skyWords(row.sky, row.isDaytime !== false))},
    {key: 'thunder', title: 'Thunder', value: (row) => (row.thunder === null ? '—' : `${Math.round(row.thunder)} %`)},
    {key: 'gust', title: 'Gusts', value: (row) => formatSpeed(row.gust, units.speed)},
  ].filter(({key}) => hasAny(key));
  return el('section', {className: 'mountain', 'aria-label': 'Mountain forecast'},
      el('h3', {text: 'Mountain forecast'}),
      el('dl', {className: 'facts'}, ...facts.map(([label, value]) => [el('dt', {text: label}), el('dd', {text: value})])),
      rows.length && columns.length ? el('div', {className: 'table-scroll', tabindex: '0', role: 'region',
        'aria-label': 'Mountain forecast by period'}, el('table', {className: 'data-table mountain-table'},
          el('caption', {text: 'By forecast period'}),
          el('thead', null, el('tr', null, el('th', {scope: 'col', text: 'Period'}),
              ...columns.map(({title}) => el('th', {scope: 'col', text: title})))),
          el('tbody', null, ...rows.map((row) => el('tr', null,
              el('th', {scope: 'row', text: row.name || formatTime(row.start, {zone})}),
              ...columns.map(({value}) => el('td', {text: value(row)}))))))) : null,
      el('p', {className: 'note', text: 'From the grid forecast; water is rain and melted snow. Snow level ' +
        'and heights above sea level, as the forecast gives them.'}));
}

/**
 * The outlook links below the discussion link: each with its issuance time and age once known.
 * @param {{type: string, name: string, state: {loading: boolean, error: Error | null,
 *   product: any} | null, issued: number}[]} outlooks
 * @param {(type: string) => void} onToggle @param {number} now @param {string | null} zone
 */
export function outlookLinks(outlooks, onToggle, now, zone) {
  return outlooks.map(({type, name, state, issued}) => [
    el('p', {className: 'discussion-link outlook-link', dataset: {outlook: type}},
        el('button', {type: 'button', className: 'link-button', text: name,
          'aria-expanded': String(Boolean(state)), on: {click: () => onToggle(type)}}),
        Number.isFinite(issued) ? el('span', {className: 'note',
          text: ` · issued ${formatTime(issued, {zone})} (${formatAge(now - issued)})`}) : null),
    state ? outlookText(state, name, zone) : null]);
}

function outlookText(state, name, zone) {
  if (state.loading) return el('p', {className: 'loading', text: `Loading the ${name}…`});
  if (state.error) return el('div', {className: 'error-box'}, el('p', {text: state.error.message}));
  const {product} = state;
  return el('section', {className: 'discussion outlook', 'aria-label': name},
      el('p', {className: 'note', text: `${product.office || 'Forecast office'}, issued ${formatTime(product.issued, {zone})}`}),
      el('pre', {className: 'outlook-text', text: product.body}));
}
