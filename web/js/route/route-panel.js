// The Route tab: the route, cruise altitude, true airspeed, departure and corridor, and below
// them the briefing in the order of a standard weather briefing, each item with its data's own
// time; what is missing or stale is said where it would be. "Print briefing" prints it.

import {el, replaceChildren, svgEl} from '../dom.js';
import {hazardWords, altitudeText} from '../hazard-text.js';
import {formatTime, zonedParts} from '../time.js';
import {stationTimeZone} from '../time-zones.js';
import {aloftTemperature} from '../map/winds-layer.js';
import {validWindow} from '../panels/winds-section.js';
import {CORRIDORS_NM} from './route.js';
import {PIREP_BAND_FEET} from './briefing.js';

const MINUTE = 60000;
const pad = (n) => String(n).padStart(2, '0');
const nm = (value) => `${Math.round(value)} NM`;
const feet = (value) => `${Math.round(value).toLocaleString('en-US')} ft`;

/** "1 h 25 min". */
export function durationText(minutes) {
  if (!Number.isFinite(minutes)) return 'no way against this wind';
  const whole = Math.round(minutes);
  return whole >= 60 ? `${Math.floor(whole / 60)} h ${pad(whole % 60)} min` : `${whole} min`;
}

/** The value of a datetime-local field for `ms` in `zone` ('utc' or an IANA zone). */
function fieldTime(ms, zone) {
  const p = zonedParts(ms, zone);
  return `${p.year}-${pad(p.month + 1)}-${pad(p.day)}T${pad(p.hour)}:${pad(p.minute)}`;
}

/** The moment a datetime-local field's value names in `zone`; NaN for a value that is none. */
function fieldMoment(value, zone) {
  const match = /^(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d)$/.exec(value || '');
  if (!match) return NaN;
  const wall = Date.UTC(Number(match[1]), Number(match[2]) - 1, Number(match[3]), Number(match[4]), Number(match[5]));
  let moment = wall;
  for (let i = 0; i < 3; i++) {  // the zone's offset at the moment found, twice over for a change of offset
    const p = zonedParts(moment, zone);
    moment = wall - (Date.UTC(p.year, p.month, p.day, p.hour, p.minute) - moment);
  }
  return moment;
}

/** A section of the briefing: its heading, its data-time line and its body. */
/** @param {string} id @param {string} title @param {{text: string, stale?: boolean} | null} dataLine @param {...any} body */
function section(id, title, dataLine, ...body) {
  return el('section', {className: 'briefing-section', id: `briefing-${id}`, 'aria-labelledby': `briefing-${id}-title`},
      el('h3', {id: `briefing-${id}-title`, text: title}),
      dataLine ? el('p', {className: `data-line${dataLine.stale ? ' is-stale' : ''}`, text: dataLine.text}) : null,
      ...body);
}

/**
 * What a feed's state says when its data cannot be used: missing, loading or stale; null when it can.
 * @returns {{text: string, stale?: boolean} | null}
 */
function feedLine(feed, now, what) {
  if (!feed) return {text: `${what}: not available.`, stale: true};
  if (feed.data === null) {
    return {text: feed.loading ? `${what}: loading…` : `${what}: not available${feed.error ? ` (${feed.error.message})` : ''}; this section cannot be given.`, stale: true};
  }
  const reason = feed.staleReason(now);
  return reason ? {text: `${what}: stale — ${reason}.`, stale: true} : null;
}

const category = (value) => el('span', {className: `badge cat-${(value || 'unknown').toLowerCase()}`, text: value || '?'});

/** The category strip along the route, as the colour bar pilots know. */
function categoryStrip(strip, totalNm) {
  if (!strip.length) return el('p', {className: 'note', text: 'No reporting airport in the corridor: no category strip.'});
  const width = 300;
  const pieces = strip.map((piece, i) => {
    const next = strip[i + 1]?.along ?? totalNm;
    const x = totalNm ? (piece.along / totalNm) * width : 0;
    return svgEl('rect', {className: `strip cat-${(piece.category || 'unknown').toLowerCase()}`, x,
      y: 0, width: Math.max(1, totalNm ? ((next - piece.along) / totalNm) * width + 0.5 : width), height: 12});
  });
  return svgEl('svg', {className: 'category-strip', viewBox: `0 0 ${width} 12`, width: '100%', height: 14,
    preserveAspectRatio: 'none',
    role: 'img', 'aria-label': `Flight category along the route: ${[...new Set(strip.map((p) => p.category || 'unknown'))].join(', ')}`},
  ...pieces);
}

/**
 * The vertical profile: distance along the route against altitude; the cruise line, hazard
 * bands, the freezing level, PIREPs at their altitudes and reported cloud bases.
 */
function profileChart(briefing, route, settings, {width = 300} = {}) {
  const height = 200;
  const left = 36;
  const bottom = 18;
  // High enough for the cruise and the bases of the layers crossing the corridor.
  const wanted = Math.max(18000, settings.altitude + 6000, ...briefing.profile.layers.map((l) => l.band.lowFeet + 6000));
  const top = Math.min(45000, Math.ceil(wanted / 5000) * 5000);
  const plotW = width - left - 6;
  const plotH = height - bottom - 6;
  const total = route.totalNm || 1;
  const x = (along) => left + (along / total) * plotW;
  const y = (ft) => 6 + plotH - (Math.min(ft, top) / top) * plotH;
  const parts = [];
  for (let ft = 0; ft <= top; ft += top > 24000 ? 10000 : 5000) {
    parts.push(svgEl('line', {className: 'grid', x1: left, x2: width - 6, y1: y(ft), y2: y(ft)}),
        svgEl('text', {className: 'axis', x: left - 3, y: y(ft) + 4, 'text-anchor': 'end', text: ft ? `${ft / 1000}k` : '0'}));
  }
  parts.push(svgEl('text', {className: 'axis', x: left, y: height - 3, text: '0'}),
      svgEl('text', {className: 'axis', x: width - 6, y: height - 3, 'text-anchor': 'end', text: nm(route.totalNm)}));
  for (const layer of briefing.profile.layers) {
    const kind = /ICE/.test(layer.item.hazard) ? 'icing' : /TURB|LLWS/.test(layer.item.hazard) ? 'turbulence' :
      /IFR|MT_OBSC/.test(layer.item.hazard) ? 'ifr' : 'other';
    const low = layer.band.lowFeet;
    // IFR and mountain obscuration give no heights: a strip along the ground stands for them.
    const high = layer.band.highFeet ?? (kind === 'ifr' ? 2500 : top);
    parts.push(svgEl('rect', {className: `profile-band ${kind}`, x: x(layer.from), width: Math.max(3, x(layer.to) - x(layer.from)),
      y: y(high), height: Math.max(2, y(low) - y(high))},
    svgEl('title', {text: `${hazardWords(layer.item)}: ${altitudeText(layer.item)}`})));
  }
  if (briefing.profile.freezing) {
    parts.push(svgEl('line', {className: 'profile-freezing', x1: left, x2: width - 6,
      y1: y(briefing.profile.freezing.feet), y2: y(briefing.profile.freezing.feet)}),
    svgEl('text', {className: 'profile-note', x: width - 8, y: y(briefing.profile.freezing.feet) - 3, 'text-anchor': 'end',
      text: `0 °C ${feet(briefing.profile.freezing.feet)}`}));
  }
  for (const cloud of briefing.profile.clouds) {
    const msl = cloud.base + (cloud.elevation ?? 0);
    parts.push(svgEl('path', {className: 'profile-cloud', d: `M${x(cloud.along) - 5} ${y(msl)}h10`},
        svgEl('title', {text: `${cloud.id}: ${cloud.cover} at ${feet(cloud.base)} above the airport`})));
  }
  for (const {report, along} of briefing.profile.pireps) {
    parts.push(svgEl('circle', {className: `profile-pirep${report.urgent ? ' urgent' : ''}`, cx: x(along), cy: y(report.altitude), r: 3},
        svgEl('title', {text: `PIREP at ${feet(report.altitude)}`})));
  }
  parts.push(svgEl('line', {className: 'profile-cruise', x1: left, x2: width - 6, y1: y(settings.altitude), y2: y(settings.altitude)}),
      svgEl('text', {className: 'profile-note cruise', x: left + 3, y: y(settings.altitude) - 3, text: `Cruise ${feet(settings.altitude)}`}));
  return svgEl('svg', {className: 'profile-chart', viewBox: `0 0 ${width} ${height}`, width, height, role: 'img',
    'aria-label': `Vertical profile: cruise at ${feet(settings.altitude)}, ${briefing.profile.layers.length} hazard layers, ` +
      `${briefing.profile.pireps.length} pilot reports, ${briefing.profile.clouds.length} reported cloud bases` +
      (briefing.profile.freezing ? `, freezing level near ${feet(briefing.profile.freezing.feet)}` : '')}, ...parts);
}

/**
 * Renders the briefing into `container`.
 * @param {HTMLElement} container
 * @param {{briefing: ReturnType<typeof import('./briefing.js').computeBriefing>, route: any, settings: any,
 *   feeds: Record<string, any>, now: number}} parts
 */
export function renderBriefing(container, {briefing, route, settings, feeds, now}) {
  const zoneOf = (point) => stationTimeZone(point) || null;
  const departureZone = zoneOf(route.points[0]);
  const at = (ms, point = route.points[0]) => formatTime(ms, {zone: zoneOf(point)});
  const clock = (ms, point = route.points[0]) => formatTime(ms, {form: 'clock', zone: zoneOf(point)});
  const {flight} = briefing;
  const arrivalPoint = route.points[route.points.length - 1];
  const headwind = flight.averageHeadwind;

  const summary = el('div', {className: 'briefing-summary'},
      el('p', {className: 'route-line-text', text: route.points.map((p) => p.label).join(' → ')}),
      el('p', {text: `${nm(route.totalNm)} at ${feet(settings.altitude)}, ${settings.tas} kt true airspeed, corridor ±${settings.corridor} NM`}),
      el('p', {text: `Departure ${at(settings.departure)} · arrival ${at(flight.arrival, arrivalPoint)} · ` +
        `${durationText(flight.totalMinutes)} en route`}),
      el('p', {text: flight.windsMissing ? 'Winds aloft not known for all of the route: the ground speed there is the true airspeed.' :
        `Average ${headwind >= 0 ? 'headwind' : 'tailwind'} ${Math.abs(Math.round(headwind))} kt`}),
      route.outside.length ? el('p', {className: 'warning', text: `The route leaves the western area the map covers ` +
        `(${route.outside.map((p) => p.label).join(', ')}): no data is given beyond it.`}) : null);

  // 1. Adverse conditions.
  const hazardsLine = feedLine(feeds.hazards, now, 'Aviation hazards') ||
    {text: `Aviation hazards fetched ${formatTime(feeds.hazards.fetchedAt, {form: 'clock'})}; G-AIRMETs for the forecast hour nearest the time you are there.`};
  const alertsLine = feedLine(feeds.alerts, now, 'Alerts') ||
    {text: `Alerts updated ${formatTime(feeds.alerts.data.updated, {form: 'clock'})}.`};
  const adverseItems = [
    ...(briefing.adverse || []).map((entry) => el('li', {className: `adverse ${entry.heights.relation}`},
        el('strong', {text: `${entry.item.title}: ${hazardWords(entry.item)}`}),
        ` — ${entry.from === entry.to ? `at ${nm(entry.from)}` : `${nm(entry.from)} to ${nm(entry.to)}`} from departure; ` +
        `${altitudeText(entry.item)}, ${entry.heights.words}; ` +
        `valid ${formatTime(entry.item.from, {form: 'clock', zone: departureZone})}–${formatTime(entry.item.to, {form: 'clock', zone: departureZone})}, ` +
        `${entry.when} (${clock(entry.passFrom)}${entry.passTo !== entry.passFrom ? `–${clock(entry.passTo)}` : ''})`)),
    ...(briefing.alerts || []).map((entry) => el('li', {className: 'adverse alert'},
        el('strong', {text: entry.alert.event}),
        ` (${entry.alert.severity}) — ${nm(entry.from)} to ${nm(entry.to)} from departure; ` +
        `until ${formatTime(entry.alert.ends || entry.alert.expires, {form: 'datetime', zone: departureZone}) || 'further notice'}, ${entry.when}`)),
  ];
  const adverse = section('adverse', 'Adverse conditions', hazardsLine,
      alertsLine.stale ? el('p', {className: 'data-line is-stale', text: alertsLine.text}) : el('p', {className: 'data-line', text: alertsLine.text}),
      adverseItems.length ? el('ul', {className: 'briefing-list'}, ...adverseItems) :
        el('p', {text: briefing.adverse === null && briefing.alerts === null ? 'Not known: no hazard or alert data.' :
          'No SIGMET, convective SIGMET, G-AIRMET, CWA or NWS alert crosses the corridor.'}));

  // 2. Current conditions.
  const metarLine = feedLine(feeds.metars, now, 'METARs') ||
    {text: briefing.current?.length ? `METARs observed ${formatTime(Math.min(...briefing.current.map((c) => c.station.time)), {form: 'clock'})}` +
      ` to ${formatTime(Math.max(...briefing.current.map((c) => c.station.time)), {form: 'clock'})}.` : 'METARs: none in the corridor.'};
  const current = section('current', 'Current conditions', metarLine,
      categoryStrip(briefing.strip, route.totalNm),
      briefing.current?.length ? el('ul', {className: 'briefing-list'}, ...briefing.current.map(({station, along}) =>
        el('li', {className: now - station.time > 90 * MINUTE ? 'old' : ''}, category(station.category),
            el('strong', {text: ` ${station.id}`}), ` ${nm(along)} · observed ${clock(station.time, station)}` +
            `${now - station.time > 90 * MINUTE ? ' (over 90 min old)' : ''}`,
            el('code', {className: 'raw', text: station.raw})))) :
        el('p', {text: briefing.current ? 'No airport reports in the corridor.' : 'Not known.'}));

  // 3. En-route and destination forecast.
  const tafLine = feedLine(feeds.tafs, now, 'TAFs') ||
    {text: 'TAFs of the airports in the corridor; the period in force at the time you pass each.'};
  const forecast = section('forecast', 'En-route and destination forecast', tafLine,
      briefing.forecast?.length ? el('ul', {className: 'briefing-list'}, ...briefing.forecast.map(({taf, along, time, inForce}) =>
        el('li', null, category(inForce?.prevailing.category || null), el('strong', {text: ` ${taf.id}`}),
            ` ${nm(along)} · you pass at ${clock(time, taf)} · issued ${clock(taf.issued, taf)}: `,
            inForce ? `${inForce.prevailing.change || 'from the start'} group ${clock(inForce.prevailing.from, taf)}–${clock(inForce.prevailing.to, taf)}` +
              (inForce.temporary.length ? `; ${inForce.temporary.map((p) => `${p.change}${p.probability ? p.probability : ''} ${p.category || ''}`).join(', ')}` : '') :
              'the TAF does not cover this time')) ) :
        el('p', {text: briefing.forecast ? 'No TAF airport in the corridor.' : 'Not known.'}),
      briefing.withoutTaf.length ? el('p', {className: 'note', text: `No TAF is issued for ${briefing.withoutTaf.join(', ')}: ` +
        'use the nearest TAF above and the area forecast.'}) : null);

  // 4. Winds aloft.
  const windsLine = feedLine(feeds.winds, now, 'Winds aloft') ||
    {text: `Winds aloft ${feeds.winds.data.product}: ${validWindow(feeds.winds.data)}` +
      (settings.departure < feeds.winds.data.useFrom || flight.arrival > feeds.winds.data.useTo ? ' — the flight lies partly outside this window.' : '.'),
    stale: settings.departure > feeds.winds.data.useTo || flight.arrival < feeds.winds.data.useFrom};
  const winds = section('winds', 'Winds aloft and times', windsLine,
      el('table', {className: 'data-table briefing-legs'},
          el('thead', null, el('tr', null, ...['Leg', 'Dist', 'Course', 'Wind', 'Temp', 'GS', 'Time'].map((h) => el('th', {scope: 'col', text: h})))),
          el('tbody', null, ...flight.legs.map((leg) => el('tr', null,
              el('td', {text: `${leg.from.label}–${leg.to.label}`}), el('td', {text: nm(leg.nm)}),
              el('td', {text: `${pad(Math.round(leg.course) % 360).padStart(3, '0')}°`}),
              el('td', {text: leg.wind ? (leg.wind.light ? 'L&V' : `${String(Math.round(leg.wind.direction / 10) * 10).padStart(3, '0')}° ${Math.round(leg.wind.speed)} kt`) : '—'}),
              el('td', {text: leg.wind?.temperature != null ? aloftTemperature(leg.wind.temperature) : '—'}),
              el('td', {text: `${Math.round(leg.groundSpeed)} kt`}), el('td', {text: durationText(leg.minutes)})))),
          el('tfoot', null, el('tr', null, el('th', {scope: 'row', text: 'Total'}), el('td', {text: nm(route.totalNm)}),
              el('td', {colSpan: 3, text: flight.windsMissing ? '' : `${headwind >= 0 ? 'headwind' : 'tailwind'} ${Math.abs(Math.round(headwind))} kt`}),
              el('td', {text: ''}), el('td', {text: durationText(flight.totalMinutes)})))),
      el('p', {text: briefing.freezing ? `Freezing level about ${feet(briefing.freezing.feet)} (${briefing.freezing.item.title}, ` +
        `${nm(briefing.freezing.off)} from the route, valid ${formatTime(briefing.freezing.item.validTime, {form: 'clock', zone: departureZone})}` +
        `${briefing.freezing.otherSnapshot ? ': the snapshot nearest your time with a line near the route' : ''}).` :
        'Freezing level: no G-AIRMET freezing-level line within 150 NM of the route.'}));

  // 5. PIREPs.
  const pirepLine = feedLine(feeds.pireps, now, 'Pilot reports') ||
    {text: `Pilot reports of the last 3 hours within the corridor and ±${PIREP_BAND_FEET.toLocaleString('en-US')} ft of the cruise altitude.`};
  const pireps = section('pireps', 'Pilot reports', pirepLine,
      briefing.pireps?.length ? el('ul', {className: 'briefing-list'}, ...briefing.pireps.map(({report, along}) =>
        el('li', {className: report.urgent ? 'urgent' : ''}, el('strong', {text: `${report.kind} ${feet(report.altitude)}`}),
            ` ${nm(along)} · ${clock(report.time)} · ${report.aircraft || 'aircraft not given'}`,
            el('code', {className: 'raw', text: report.raw})))) :
        el('p', {text: briefing.pireps ? 'No pilot reports in the corridor near your altitude.' : 'Not known.'}),
      briefing.pirepsWithoutAltitude ? el('p', {className: 'note', text: `${briefing.pirepsWithoutAltitude} report(s) in the corridor give no altitude and are left out.`}) : null);

  // 6. Vertical profile.
  const profile = section('profile', 'Vertical profile', null, profileChart(briefing, route, settings),
      el('p', {className: 'note', text: 'Bands: turbulence (pink), icing (cyan), IFR and mountain obscuration (green); ' +
        'dashes: freezing level; solid line: cruise; dots: pilot reports; ticks: reported cloud bases at the airports.'}));

  replaceChildren(container, summary, adverse, current, forecast, winds, pireps, profile,
      el('p', {className: 'not-official', text: 'This is not an official weather briefing. Before flying, get a ' +
        'briefing from Flight Service (1-800-WX-BRIEF) or 1800wxbrief.com.'}));
}

/** The route form's fields; onPlan({text, altitude, tas, departure, corridor}) on a change. */
export function routeForm({initial, zoneFor, onPlan, onPick, onClear}) {
  const text = el('input', {id: 'route-text', type: 'text', value: initial.text, maxlength: 200, spellcheck: 'false',
    placeholder: 'KSLC KPVU KCDC'});
  const altitude = el('input', {id: 'route-altitude', type: 'number', min: 500, max: 45000, step: 500, value: initial.altitude});
  const tas = el('input', {id: 'route-tas', type: 'number', min: 40, max: 600, step: 5, value: initial.tas});
  const departure = el('input', {id: 'route-departure', type: 'datetime-local', value: fieldTime(initial.departure, zoneFor())});
  const corridor = el('select', {id: 'route-corridor'}, ...CORRIDORS_NM.map((value) =>
    el('option', {value, text: `±${value} NM`, selected: value === initial.corridor})));
  const zoneNote = el('span', {className: 'note', id: 'route-zone'});
  const message = el('p', {className: 'form-message', id: 'route-message', role: 'status'});
  const pick = el('button', {type: 'button', id: 'route-pick', 'aria-pressed': 'false', text: 'Add points on the map'});
  const plan = () => onPlan({text: text.value, altitude: Number(altitude.value), tas: Number(tas.value),
    departure: fieldMoment(departure.value, zoneFor()), corridor: Number(corridor.value)});
  const form = el('form', {className: 'route-form', 'aria-label': 'Route'},
      el('label', {for: text.id, text: 'Route'}), text,
      el('div', {className: 'route-fields'},
          el('label', {for: altitude.id, text: 'Cruise (ft MSL)'}), altitude,
          el('label', {for: tas.id, text: 'True airspeed (kt)'}), tas,
          el('label', {for: departure.id, text: 'Departure'}), el('span', null, departure, ' ', zoneNote),
          el('label', {for: corridor.id, text: 'Corridor'}), corridor),
      el('div', {className: 'route-buttons'},
          el('button', {type: 'submit', text: 'Brief this route'}), pick,
          el('button', {type: 'button', text: 'Clear', on: {click: onClear}}),
          el('button', {type: 'button', id: 'print-briefing', text: 'Print briefing', on: {click: () => window.print()}})),
      message);
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    plan();
  });
  for (const field of [altitude, tas, departure, corridor]) field.addEventListener('change', plan);
  pick.addEventListener('click', () => {
    const on = pick.getAttribute('aria-pressed') !== 'true';
    pick.setAttribute('aria-pressed', String(on));
    pick.textContent = on ? 'Done adding points' : 'Add points on the map';
    onPick(on);
  });
  return {form, message,
    /** Shows the route's text and the departure in the zone it is read in. */
    show({text: written, departure: ms, zoneName}) {
      text.value = written;
      departure.value = fieldTime(ms, zoneFor());
      zoneNote.textContent = zoneName;
    }};
}
