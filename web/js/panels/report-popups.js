// Popup contents for stations and pilot reports, built as DOM nodes from text.

import {el} from '../dom.js';
import {formatAge, formatClock} from '../time.js';
import {formatHeight, formatPressure, formatTemperature, formatVisibility} from '../units.js';
import {cloudsText, hazardLines, windText} from './describe.js';

function row(label, value) {
  return [el('dt', {text: label}), el('dd', {text: value})];
}

/**
 * A station popup: heading, category, decoded values, raw report and a favourite switch.
 * toggleFavourite(id) is called from the switch; isFavourite tells its state.
 */
export function stationPopup(station, {units, now, isFavourite, toggleFavourite}) {
  const category = station.category || 'Unknown';
  const favourite = isFavourite(station.id);
  const star = el('button', {type: 'button', className: 'favourite-toggle',
    'aria-pressed': String(favourite)}, favourite ? '★ Favourite' : '☆ Add to favourites');
  star.addEventListener('click', () => {
    const now = toggleFavourite(station.id);
    star.setAttribute('aria-pressed', String(now));
    star.textContent = now ? '★ Favourite' : '☆ Add to favourites';
  });
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
          row('Observed', `${formatClock(station.time)} (${formatAge(now - station.time)})` +
              (station.type === 'SPECI' ? ', special report' : '')),
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
      el('div', {className: 'popup-actions'}, star));
}

/** A pilot report popup: kind, altitude, hazards, age and the raw text. */
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
          row('Reported', `${formatClock(report.time)} (${formatAge(now - report.time)})`),
          row('Hazards', hazards.length ? hazards.join('; ') : 'no turbulence or icing given'),
          report.temperature === null ? null :
              row('Temperature', formatTemperature(report.temperature, units.temperature)),
          report.weather ? row('Weather', report.weather) : null),
      el('p', {className: 'raw-label', text: 'Report as issued'}),
      el('code', {className: 'raw', text: report.raw || '(no report text)'}));
}
