// The weather briefing of a route, in the order of a standard briefing: adverse conditions,
// current conditions, the en-route and destination forecasts, winds aloft with the ground speed,
// pilot reports and the vertical profile's layers. Pure: it takes the decoded data it is given.

import {alertEnd, alertsAtPoint} from '../alerts.js';
import {altitudeBand, snapshotAt} from '../hazards.js';
import {windField} from '../winds.js';
import {alongInCorridor, altitudeRelation, flightTimes, locate, samples, tafAt} from './route.js';

/** PIREPs within this many feet of the cruise altitude are the route's. */
export const PIREP_BAND_FEET = 4000;
const STEP_NM = 5;
const RAD = Math.PI / 180;

/**
 * A test that a point may lie within `corridorNm` of the route: false only where it lies outside
 * the box of the route's samples widened by the corridor and a margin for the samples' spacing,
 * so the exact test (locate, a dozen trigonometric calls a leg) runs for the few points near it.
 */
function nearTest(routeSamples, corridorNm) {
  const lats = routeSamples.map((p) => p.lat);
  const lons = routeSamples.map((p) => p.lon);
  const dLat = (corridorNm + STEP_NM) / 60;
  const widest = Math.min(89, Math.max(...lats.map(Math.abs)) + dLat);
  const dLon = (corridorNm + STEP_NM) / (60 * Math.cos(widest * RAD));
  const [south, north] = [Math.min(...lats) - dLat, Math.max(...lats) + dLat];
  const [west, east] = [Math.min(...lons) - dLon, Math.max(...lons) + dLon];
  return (point) => point.lat >= south && point.lat <= north && point.lon >= west && point.lon <= east;
}

/** Whether a point lies inside a closed ring of [lat, lon]. */
function insideRing(ring, point) {
  let inside = false;
  for (let i = 0, j = ring.length - 1; i < ring.length; j = i++) {
    const [yi, xi] = ring[i];
    const [yj, xj] = ring[j];
    if ((yi > point.lat) !== (yj > point.lat) &&
        point.lon < ((xj - xi) * (point.lat - yi)) / (yj - yi) + xi) inside = !inside;
  }
  return inside;
}

/**
 * Where along the route a shape lies within the corridor: {from, to} NM from departure, or null.
 * An area counts where a sampled route point lies inside it, or a corner of it in the corridor;
 * a line where a point of it lies in the corridor.
 */
function crossing(route, corridorNm, routeSamples, near, shape, isArea) {
  const alongs = [];
  if (isArea && shape.length >= 3) {
    for (const sample of routeSamples) if (insideRing(shape, sample)) alongs.push(sample.along);
  }
  for (const [lat, lon] of shape) {
    const along = near({lat, lon}) ? alongInCorridor(route, {lat, lon}, corridorNm) : null;
    if (along !== null) alongs.push(along);
  }
  return alongs.length ? {from: Math.min(...alongs), to: Math.max(...alongs)} : null;
}

/** "in force when you pass", "ended before you pass", "begins after you pass". */
function timeRelation(from, to, passFrom, passTo) {
  if (Number.isFinite(to) && to <= passFrom) return 'ended before you pass';
  if (Number.isFinite(from) && from > passTo) return 'begins after you pass';
  return 'in force when you pass';
}

/**
 * @typedef {object} BriefingInput
 * @property {ReturnType<typeof import('./route.js').makeRoute>} route
 * @property {{altitude: number, tas: number, departure: number, corridor: number}} settings
 * @property {import('../metar.js').Station[] | null} stations
 * @property {import('../taf.js').Taf[] | null} tafs
 * @property {import('../hazards.js').HazardItem[] | null} hazards
 * @property {import('../alerts.js').Alert[] | null} alerts
 * @property {((lat: number, lon: number) => string | null) | null} countyAt
 * @property {import('../pirep.js').Pirep[] | null} pireps
 * @property {ReturnType<typeof import('../winds.js').decodeWinds> | null} winds
 * @property {(id: string) => ({lat: number, lon: number} | null)} windsPosition
 */

/**
 * The briefing: {flight (times, legs), adverse, current, forecast, winds, pireps, profile}; a
 * section whose data is missing is null (the page says so).
 * @param {BriefingInput} input
 */
export function computeBriefing({route, settings, stations, tafs, hazards, alerts, countyAt, pireps, winds,
  windsPosition}) {
  const {altitude, tas, departure, corridor} = settings;
  const cruiseWind = winds ? windField(winds, windsPosition, altitude) : () => null;
  const flight = flightTimes(route, {tas, departure, windAt: cruiseWind});
  const routeSamples = samples(route, STEP_NM);
  const timed = routeSamples.map((sample) => ({...sample, time: flight.timeAt(sample.along)}));
  const near = nearTest(routeSamples, corridor);
  const inCorridor = (point) => (near(point) ? alongInCorridor(route, point, corridor) : null);

  // Adverse conditions: hazards (G-AIRMETs of the snapshot nearest the time the flight is there).
  let adverse = null;
  if (hazards) {
    adverse = [];
    for (const item of hazards) {
      const found = crossing(route, corridor, routeSamples, near, item.shape, item.geometry === 'polygon');
      if (!found) continue;
      const [passFrom, passTo] = [flight.timeAt(found.from), flight.timeAt(found.to)];
      if (item.kind === 'gairmet') {
        const middle = (passFrom + passTo) / 2;
        if (item.validTime !== snapshotAt(hazards, middle)) continue;
      }
      if (item.hazard === 'FZLVL' || item.hazard === 'M_FZLVL') continue;  // the freezing level, below
      adverse.push({type: 'hazard', item, from: found.from, to: found.to, passFrom, passTo,
        heights: altitudeRelation(item, altitude),
        when: item.kind === 'gairmet' ? 'for the time you pass' : timeRelation(item.from, item.to, passFrom, passTo)});
    }
    adverse.sort((a, b) => a.from - b.from);
  }
  let alertItems = null;
  if (alerts) {
    const along = new Map();
    // The county under each sample is looked up only when some alert is given by counties alone.
    const byCounty = alerts.some((alert) => !alert.polygons.length && alert.counties.length);
    for (const sample of timed) {
      const county = countyAt && byCounty ? countyAt(sample.lat, sample.lon) : null;
      for (const alert of alertsAtPoint(alerts, sample, {county})) {
        const entry = along.get(alert) || {type: 'alert', alert, from: sample.along, to: sample.along,
          passFrom: sample.time, passTo: sample.time};
        Object.assign(entry, {to: sample.along, passTo: sample.time});
        along.set(alert, entry);
      }
    }
    alertItems = [...along.values()].map((entry) => ({...entry,
      when: timeRelation(entry.alert.onset, alertEnd(entry.alert), entry.passFrom, entry.passTo)}));
    alertItems.sort((a, b) => a.from - b.from);
  }

  // Current conditions: the METARs of the airports in the corridor, in route order.
  const current = stations ? stations.filter(near).map((station) => ({station, ...locate(route, station)}))
      .filter((entry) => entry.off <= corridor).sort((a, b) => a.along - b.along) : null;
  // The category strip: each piece of the route takes the nearest reporting station in the corridor.
  const strip = current && current.length ? routeSamples.map((sample) => {
    let best = null;
    for (const entry of current) {
      const distance = Math.abs(entry.along - sample.along) + entry.off;
      if (!best || distance < best.distance) best = {distance, category: entry.station.category};
    }
    return {along: sample.along, category: best.category};
  }) : [];

  // The forecasts at the time the flight passes each airport.
  const forecast = tafs ? tafs.filter((taf) => taf.lat !== null && taf.lon !== null)
      .map((taf) => ({taf, along: inCorridor({lat: taf.lat, lon: taf.lon})}))
      .filter((entry) => entry.along !== null).sort((a, b) => a.along - b.along)
      .map((entry) => {
        const time = flight.timeAt(entry.along);
        return {...entry, time, inForce: tafAt(entry.taf, time)};
      }) : null;

  // Freezing level: the nearest G-AIRMET freezing-level contour within 150 NM, of the snapshot
  // of the flight's middle or, when that one has none there, of the snapshot nearest in time.
  let freezing = null;
  if (hazards) {
    const middle = flight.timeAt(route.totalNm / 2);
    const validTime = snapshotAt(hazards, middle);
    for (const item of hazards) {
      if (item.hazard !== 'FZLVL' || item.lowFeet === null) continue;
      const rank = item.validTime === validTime ? 0 : 1 + Math.abs(item.validTime - middle);
      for (const [lat, lon] of item.shape) {
        const {along, off} = locate(route, {lat, lon});
        if (off > 150) continue;
        if (!freezing || rank < freezing.rank || (rank === freezing.rank && off < freezing.off)) {
          freezing = {feet: item.lowFeet, off, along, item, rank, otherSnapshot: rank > 0};
        }
      }
    }
  }

  // Pilot reports in the corridor within the band around the cruise altitude.
  let pirepItems = null;
  let pirepsWithoutAltitude = 0;
  const pirepsInCorridor = pireps ? pireps.map((report) => ({report, along: inCorridor(report)}))
      .filter((entry) => entry.along !== null) : [];
  if (pireps) {
    pirepItems = [];
    for (const {report, along} of pirepsInCorridor) {
      if (report.altitude === null) {
        pirepsWithoutAltitude++;
        continue;
      }
      if (Math.abs(report.altitude - altitude) <= PIREP_BAND_FEET) pirepItems.push({report, along});
    }
    pirepItems.sort((a, b) => a.along - b.along);
  }

  // The profile's layers: every hazard crossing the corridor (any altitude), the PIREPs in the
  // corridor at their altitudes, the cloud bases reported at the airports.
  const profile = {
    layers: (adverse || []).filter((entry) => entry.type === 'hazard').map((entry) => ({
      from: entry.from, to: entry.to, band: altitudeBand(entry.item), item: entry.item})),
    pireps: pirepsInCorridor.filter((entry) => entry.report.altitude !== null),
    clouds: (current || []).flatMap(({station, along}) => station.clouds
        .filter((layer) => layer.base !== null && ['BKN', 'OVC', 'OVX', 'SCT', 'FEW'].includes(layer.cover))
        .map((layer) => ({along, base: layer.base, cover: layer.cover, id: station.id, elevation: station.elevation ?? null}))),
    freezing,
  };

  // The airports of the route without a TAF, said so rather than left out.
  const withoutTaf = tafs ? route.points.filter((point) => /^[A-Z0-9]{3,4}$/.test(point.label || '') &&
    !tafs.some((taf) => taf.id === point.label)).map((point) => point.label) : [];

  return {flight, adverse, alerts: alertItems, current, strip, forecast, withoutTaf, freezing, pireps: pirepItems,
    pirepsWithoutAltitude, profile};
}
