// Plain-language texts of decoded reports, in the reader's units.

import {coverName} from '../metar.js';
import {describeLayer} from '../pirep.js';
import {formatAge, formatTime} from '../time.js';
import {timeZoneAt} from '../time-zones.js';
import {formatHeight, formatSpeed, formatTemperature, formatVisibility, groupedNumber} from '../units.js';

/**
 * @typedef {import('../units.js').Units} Units
 * @typedef {import('../metar.js').Station} Station
 * @typedef {import('../pirep.js').Pirep} Pirep
 */

/**
 * "180° at 22 kt, gusts 34 kt", "variable at 4 kt", "calm"; "not reported" when missing.
 * @param {{direction: number | 'VRB' | null, speed: number | null, gust: number | null, calm: boolean} | null} wind
 * @param {Units} units
 * @returns {string}
 */
export function windText(wind, units) {
  if (!wind || wind.speed === null) return 'not reported';
  if (wind.calm) return 'calm';
  const direction = wind.direction === 'VRB' ? 'variable' :
      wind.direction === null ? 'direction not reported' :
      `${String(Math.round(wind.direction)).padStart(3, '0')}°`;
  const gust = wind.gust === null ? '' : `, gusts ${formatSpeed(wind.gust, units.speed)}`;
  return `${direction} at ${formatSpeed(wind.speed, units.speed)}${gust}`;
}

/**
 * "few 5,000 ft, broken 9,000 ft"; "clear" when the report lists no layers.
 * @param {{cover: string, base: number | null}[]} clouds
 * @param {Units} units
 * @returns {string}
 */
export function cloudsText(clouds, units) {
  if (!clouds.length) return 'clear';
  return clouds.map((layer) => (layer.base === null ? coverName(layer.cover) :
      `${coverName(layer.cover)} ${formatHeight(layer.base, units.distance)}`)).join(', ');
}

/**
 * The text alternative of a station marker.
 * @param {Station} station
 * @param {Units} units
 * @param {number} now
 * @returns {string}
 */
export function stationLabel(station, units, now) {
  const category = station.category || 'category unknown';
  const age = now - station.time;
  const parts = [`${station.id}${station.name ? ` ${station.name}` : ''}`, category,
    `wind ${windText(station.wind, units)}`];
  if (station.temperature !== null) parts.push(formatTemperature(station.temperature, units.temperature));
  if (station.visibility) {
    parts.push(`visibility ${formatVisibility(station.visibility.miles, units.distance,
        station.visibility.orMore)}`);
  }
  parts.push(`observed ${formatAge(age)}${age > 90 * 60000 ? ', an old report' : ''}`);
  return parts.join(', ');
}

/**
 * "Turbulence: moderate chop 10,000–14,000 ft" lines of a pilot report.
 * @param {Pirep} report
 * @returns {string[]}
 */
export function hazardLines(report) {
  return [
    ...report.turbulence.map((entry) => `Turbulence: ${describeLayer(entry)}`),
    ...report.icing.map((entry) => `Icing: ${describeLayer(entry)}`),
  ];
}

/**
 * The text alternative of a PIREP symbol. It starts with the level as the symbol shows it
 * ("240"), so what a sighted reader sees and what a screen reader names are the same.
 * @param {Pirep} report
 * @param {number} now
 * @returns {string}
 */
export function pirepLabel(report, now) {
  const altitude = report.altitude === null ? 'altitude unknown' :
      `${String(Math.round(report.altitude / 100)).padStart(3, '0')}, ${groupedNumber(report.altitude)} ft`;
  const hazards = hazardLines(report);
  return [`${report.urgent ? 'Urgent pilot report' : report.kind === 'AIREP' ? 'AIREP' :
    'Pilot report'}`, altitude, ...(hazards.length ? hazards : ['no turbulence or icing given']),
  `reported ${formatTime(report.time, {form: 'clock', zone: timeZoneAt(report.lat, report.lon)})}, ` +
    formatAge(now - report.time)].join(', ');
}
