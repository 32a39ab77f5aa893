// Popup contents for stations and pilot reports, built as DOM nodes from text.

import {el} from '../dom.js';
import {formatAge, formatTime, formatUntil} from '../time.js';
import {stationTimeZone, timeZoneAt} from '../time-zones.js';
import {formatHeight, formatPressure, formatTemperature, formatVisibility} from '../units.js';
import {MAX_GROUPS, MAX_TAFS} from '../taf.js';
import {cloudsText, hazardLines, windText} from './describe.js';

/**
 * @typedef {import('../units.js').Units} Units
 * @typedef {import('../metar.js').Station} Station
 * @typedef {import('../pirep.js').Pirep} Pirep
 * @typedef {import('../taf.js').Taf} Taf
 */

/** A block built by build(), or a note when building it failed, so the rest still shows. */
function isolatedBlock(build, failedText) {
  try {
    return build();
  } catch (error) {
    console.error(failedText, error);
    return el('p', {className: 'note layer-error', text: failedText});
  }
}

function row(label, value) {
  return [el('dt', {text: label}), el('dd', {text: value})];
}

/**
 * A station popup: heading, category, decoded values, raw report and a favourite switch.
 * toggleFavourite(id) is called from the switch; isFavourite tells its state.
 */
const CHANGE_WORDS = {FM: 'From', TEMPO: 'Temporarily', BECMG: 'Becoming', PROB: 'Chance'};

function periodText(period, units) {
  const parts = [];
  if (period.wind) parts.push(`wind ${windText(period.wind, units)}`);
  if (period.visibility) {
    parts.push(`visibility ${formatVisibility(period.visibility.miles, units.distance, period.visibility.orMore)}`);
  }
  if (period.weather) parts.push(period.weather);
  if (period.clouds?.length) parts.push(cloudsText(period.clouds, units));
  if (period.windShear) parts.push('wind shear');
  return parts.join(', ');
}

/**
 * What the page knows of a station's TAF: the TAF, or why there is none ('loading', 'failed':
 * the request failed, 'none': the reply holds none for it, 'unreadable', 'beyond': see
 * TafLookup), with the request's error text and how many records the reply held.
 * @typedef {{taf: Taf | null, missing: 'loading' | 'failed' | 'none' | 'unreadable' | 'beyond' | null,
 *   error?: string, received?: number}} TafState
 */

const count = (number, one, many) => `${number.toLocaleString('en-US')} ${number === 1 ? one : many}`;

/**
 * The sentence a station popup shows instead of a TAF.
 * @param {TafState} state
 * @returns {string}
 */
function tafMissingText({missing, error = '', received = 0}) {
  switch (missing) {
    case 'loading': return 'Loading the TAFs…';
    case 'failed': return `The TAFs could not be loaded: ${error}`;
    case 'unreadable': return 'This airport\'s TAF is not shown: its times lie outside the possible range.';
    case 'beyond': return `No TAF for this airport among the first ${MAX_TAFS.toLocaleString('en-US')} ` +
      `of the ${received.toLocaleString('en-US')} TAFs received: the most the map reads from one reply.`;
    default: return 'No TAF for this airport (many small airports issue none).';
  }
}

/**
 * The notes under a TAF: groups the map did not read or could not place, and a failed refresh.
 * @param {Taf} taf @param {string} [refreshError='']  the latest refresh's error text
 * @returns {string[]}
 */
function tafNotes(taf, refreshError = '') {
  const notes = [];
  if (taf.groupsReceived > MAX_GROUPS) {
    notes.push(`Showing the first ${MAX_GROUPS} of ${taf.groupsReceived.toLocaleString('en-US')} forecast groups.`);
  }
  if (taf.periodsOutOfRange) {
    notes.push(`${count(taf.periodsOutOfRange, 'forecast group', 'forecast groups')} left out: ` +
      `${taf.periodsOutOfRange === 1 ? 'its time lies' : 'their times lie'} outside the possible range.`);
  }
  if (refreshError) notes.push(`The latest refresh failed (${refreshError}); this is the last good TAF.`);
  return notes;
}

/** The TAF block of a station popup: each period with its flight category, then the raw text. */
function tafBlock(state, {units, now, zone}) {
  const {taf} = state;
  if (!taf) {
    return el('section', {className: 'taf'}, el('h3', {className: 'taf-title', text: 'Terminal forecast (TAF)'}),
        el('p', {className: state.missing === 'failed' ? 'note layer-error' : 'note',
          text: tafMissingText(state)}));
  }
  const periods = taf.periods.filter((period) => period.to > now);
  return el('section', {className: 'taf'},
      el('h3', {className: 'taf-title', text: `Terminal forecast (TAF${taf.amended ? ', amended' : ''})`}),
      el('p', {className: 'note', text: `Issued ${formatTime(taf.issued, {zone})} (${formatAge(now - taf.issued)}), ` +
        `valid to ${formatTime(taf.validTo, {zone})}`}),
      ...tafNotes(taf, state.error).map((text) => el('p', {className: 'note taf-note', text})),
      el('ol', {className: 'taf-periods'}, ...periods.map((period) => {
        const category = period.category || 'Unknown';
        const lead = period.change === null ? 'From' : CHANGE_WORDS[period.change] || period.change;
        const chance = period.change === 'PROB' && period.probability ? ` ${period.probability} %` : '';
        const start = Math.max(period.from, taf.validFrom);
        return el('li', {className: `taf-period${period.change && period.change !== 'FM' ? ' temporary' : ''}`},
            el('span', {className: `badge cat-${category.toLowerCase()}`, text: category}),
            el('span', {className: 'taf-when', text: ` ${lead}${chance} ${formatTime(start, {zone})}` +
              ` to ${formatUntil(start, period.to, zone)}: `}),
            el('span', {text: periodText(period, units) || 'no change given'}));
      })),
      el('p', {className: 'raw-label', text: 'TAF as issued'}),
      el('code', {className: 'raw', text: taf.raw || '(no forecast text)'}));
}

/**
 * @param {Station} station
 * @param {{units: Units, now: number, isFavourite: (id: string) => boolean,
 *   toggleFavourite: (id: string) => boolean, taf?: TafState}} how  taf: still loading
 */
export function stationPopup(station, {units, now, isFavourite, toggleFavourite,
  taf = {taf: null, missing: 'loading'}}) {
  const category = station.category || 'Unknown';
  const favourite = isFavourite(station.id);
  const star = el('button', {type: 'button', className: 'favourite-toggle',
    'aria-pressed': String(favourite)}, favourite ? '★ Favourite' : '☆ Add to favourites');
  star.addEventListener('click', () => {
    const now = toggleFavourite(station.id);
    star.setAttribute('aria-pressed', String(now));
    star.textContent = now ? '★ Favourite' : '☆ Add to favourites';
  });
  const zone = stationTimeZone(station);
  const temperature = station.temperature === null ? 'not reported' :
      `${formatTemperature(station.temperature, units.temperature)} / ` +
      `${formatTemperature(station.dewpoint, units.temperature)}`;
  return el('div', {className: 'popup station-popup', dataset: {station: station.id}},
      el('h2', {className: 'popup-title', 'data-autofocus': true, tabindex: '-1'},
          el('span', {className: `badge cat-${category.toLowerCase()}`, text: category}),
          ` ${station.id}`),
      station.name ? el('p', {className: 'popup-sub', text: station.name}) : null,
      station.category && !station.categoryGiven ?
          el('p', {className: 'note', text: 'Category derived from ceiling and visibility'}) : null,
      el('dl', {className: 'facts'},
          row('Observed', `${formatTime(station.time, {form: 'clock', zone})} (${formatAge(now - station.time)})` +
              (station.type === 'SPECI' ? ', special report' : '') +
              (now - station.time > 90 * 60000 ? ' — an old report' : '')),
          row('Wind', windText(station.wind, units)),
          row('Visibility', station.visibility ? formatVisibility(station.visibility.miles,
              units.distance, station.visibility.orMore) : 'not reported'),
          row('Weather', station.weather || 'none reported'),
          row('Clouds', cloudsText(station.clouds, units)),
          row('Ceiling', station.ceiling === null ? 'none' :
              formatHeight(station.ceiling, units.distance)),
          row('Temperature / dew point', temperature),
          row('Altimeter', formatPressure(station.altimeter, units.pressure))),
      el('p', {className: 'raw-label', text: 'Report as issued'}),
      el('code', {className: 'raw', text: station.raw || '(no report text)'}),
      tafPart(taf, {units, now, zone}),
      el('div', {className: 'popup-actions'}, star));
}

function tafPart(taf, how) {
  const block = isolatedBlock(() => tafBlock(taf, how), 'The TAF could not be shown.');
  block.dataset.part = 'taf';
  return block;
}

/**
 * Brings an open station popup's TAF block up to what the page now knows (the reply or the
 * failure came after it opened); the rest of the popup is left as the reader has it.
 * @param {HTMLElement} popup  from stationPopup()
 * @param {Station} station
 * @param {{units: Units, now: number, taf: TafState}} how
 * @returns {boolean} whether there was a TAF block to replace
 */
export function refreshStationTaf(popup, station, {units, now, taf}) {
  const old = popup.querySelector(':scope > [data-part="taf"]');
  if (!old) return false;
  old.replaceWith(tafPart(taf, {units, now, zone: stationTimeZone(station)}));
  return true;
}

/**
 * A pilot report popup: kind, altitude, hazards, age and the raw text.
 * @param {Pirep} report
 * @param {{units: Units, now: number}} how
 */
export function pirepPopup(report, {units, now}) {
  const hazards = hazardLines(report);
  return el('div', {className: `popup pirep-popup${report.urgent ? ' urgent' : ''}`},
      el('h2', {className: 'popup-title', 'data-autofocus': true, tabindex: '-1',
        text: report.urgent ? 'Urgent pilot report' : report.kind === 'PIREP' ? 'Pilot report' :
            report.kind}),
      el('dl', {className: 'facts'},
          // Flight altitudes stay in feet whatever the distance unit, as pilots report them.
          row('Altitude', report.altitude === null ? 'not reported' :
              `${report.altitude.toLocaleString('en-US')} ft`),
          row('Aircraft', report.aircraft || 'not reported'),
          row('Reported', `${formatTime(report.time, {form: 'clock', zone: timeZoneAt(report.lat, report.lon)})} ` +
              `(${formatAge(now - report.time)})`),
          row('Hazards', hazards.length ? hazards.join('; ') : 'no turbulence or icing given'),
          report.temperature === null ? null :
              row('Temperature', formatTemperature(report.temperature, units.temperature)),
          report.weather ? row('Weather', report.weather) : null),
      el('p', {className: 'raw-label', text: 'Report as issued'}),
      el('code', {className: 'raw', text: report.raw || '(no report text)'}));
}
