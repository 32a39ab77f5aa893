// Terminal forecasts (TAFs) of the aviation weather service: each forecast group decoded, with the
// flight category of the conditions it brings, judged as for a METAR. Records keep the service's
// quirks (issue times in two forms, "6+" visibility, "VRB" wind, null for what a group does not
// state), so every member is checked before use.
import {categoryFrom, ceilingFeet, cloudLayers, describeWeather, parseVisibility} from './metar.js';
import {TimeOutOfRange, serviceTime} from './time.js';

const CHANGES = new Set(['FM', 'TEMPO', 'BECMG', 'PROB']);
const SERVICE_TIME = /^(\d{4})-(\d\d)-(\d\d)[T ](\d\d):(\d\d)(?::(\d\d)(?:\.(\d{1,3})\d*)?)?(Z|[+-]\d\d:?\d\d)?$/;
/**
 * Largest number of TAF records looked through in one reply and of groups read per TAF. Only a
 * record's station and issue time are read up front; the rest when its station's popup opens.
 */
export const MAX_TAFS = 100000;
export const MAX_GROUPS = 40;

const finite = (value) => typeof value === 'number' && Number.isFinite(value);
const text = (value) => (typeof value === 'string' ? value : '');
const seconds = (value) => (finite(value) ? value * 1000 : NaN);

/**
 * Milliseconds since 1970 from the service's times, "2026-03-28T05:20:00.000Z" or
 * "2023-11-03 23:20:00.000Z" (UTC when no zone is written); NaN for anything else.
 */
function parseServiceTime(value) {
  const match = typeof value === 'string' ? SERVICE_TIME.exec(value.trim()) : null;
  if (!match) return NaN;
  const [, year, month, day, hour, minute, second = '0', fraction = '0', zone = 'Z'] = match;
  const local = Date.UTC(Number(year), Number(month) - 1, Number(day), Number(hour), Number(minute),
      Number(second), Number(fraction.padEnd(3, '0')));
  const date = new Date(local);
  if (date.getUTCMonth() !== Number(month) - 1 || date.getUTCDate() !== Number(day) ||
      Number(hour) > 23 || Number(minute) > 59 || Number(second) > 59) {
    return NaN;  // "2026-02-30" or "24:00" rolled over
  }
  if (zone === 'Z') return local;
  const [, sign, zoneHours, zoneMinutes] = /^([+-])(\d\d):?(\d\d)$/.exec(zone);
  const offset = (Number(zoneHours) * 60 + Number(zoneMinutes)) * 60000;
  return sign === '+' ? local - offset : local + offset;
}

/** The conditions a group states; elements it leaves out are null (or no cloud layers). */
function stated(group) {
  const direction = group.wdir === 'VRB' ? 'VRB' : finite(group.wdir) ? group.wdir : null;
  const speed = finite(group.wspd) ? group.wspd : null;
  return {
    wind: speed === null && direction === null ? null :
      {direction, speed, gust: finite(group.wgst) ? group.wgst : null, calm: speed === 0},
    visibility: parseVisibility(group.visib),
    weatherCode: text(group.wxString),
    clouds: cloudLayers(group, {types: true}),
    verticalVisibility: finite(group.vertVis) ? group.vertVis : null,
    windShear: finite(group.wshearHgt) ? {height: group.wshearHgt,
      direction: finite(group.wshearDir) ? group.wshearDir : null,
      speed: finite(group.wshearSpd) ? group.wshearSpd : null} : null,
  };
}

/** Prevailing conditions with a change group's stated elements laid over them. */
function overlay(prevailing, change) {
  if (!prevailing) return change;
  const hasSky = change.clouds.length > 0 || change.verticalVisibility !== null;
  return {
    wind: change.wind ?? prevailing.wind,
    visibility: change.visibility ?? prevailing.visibility,
    weatherCode: change.weatherCode || prevailing.weatherCode,
    clouds: hasSky ? change.clouds : prevailing.clouds,
    verticalVisibility: hasSky ? change.verticalVisibility : prevailing.verticalVisibility,
    windShear: change.windShear,
  };
}

function category(conditions) {
  return categoryFrom(ceilingFeet({clouds: conditions.clouds, vertVis: conditions.verticalVisibility}),
      conditions.visibility?.miles);
}

/**
 * The groups of one TAF in order: {change (null for the opening group, else "FM", "TEMPO",
 * "BECMG" or "PROB"), probability, from, to, becomingBy (ms or null), wind {direction, speed,
 * gust, calm} or null, visibility {miles, orMore} or null, weather, weatherCode, clouds [{cover,
 * base, type "CB"/"TCU"/null}], verticalVisibility, ceiling, windShear {height, direction, speed}
 * or null, category, stated}. Wind, visibility, clouds and category are those in force during a
 * TEMPO, BECMG or PROB group (its own elements over the prevailing ones); `stated` holds only what
 * the group itself says. Groups without valid times are left out.
 */
function decodeGroups(groups, now) {
  const periods = [];
  let outOfRange = 0;
  let prevailing = null;
  for (const group of (Array.isArray(groups) ? groups : []).slice(0, MAX_GROUPS)) {
    if (!group || typeof group !== 'object') continue;
    let from;
    let to;
    let becomingBy;
    try {
      from = serviceTime(seconds(group.timeFrom), 'forecast', now);
      to = serviceTime(seconds(group.timeTo), 'forecast', now);
      becomingBy = serviceTime(seconds(group.timeBec), 'forecast', now);
    } catch (error) {
      if (!(error instanceof TimeOutOfRange)) throw error;
      outOfRange++;
      continue;
    }
    if (!Number.isFinite(from) || !Number.isFinite(to) || to < from) continue;
    const change = CHANGES.has(group.fcstChange) ? group.fcstChange : null;
    const own = stated(group);
    const conditions = change === null || change === 'FM' ? own : overlay(prevailing, own);
    if (change === null || change === 'FM' || change === 'BECMG') prevailing = conditions;
    periods.push({
      change,
      probability: finite(group.probability) ? group.probability : null,
      from,
      to,
      becomingBy: change === 'BECMG' && Number.isFinite(becomingBy) ? becomingBy : null,
      ...conditions,
      weather: conditions.weatherCode === 'NSW' ? 'no significant weather' :
        describeWeather(conditions.weatherCode),
      ceiling: ceilingFeet({clouds: conditions.clouds, vertVis: conditions.verticalVisibility}),
      category: category(conditions),
      stated: own,
    });
  }
  return {periods, outOfRange};
}

/**
 * A terminal forecast in the page's shape (see decodeTaf); times in ms.
 * @typedef {{id: string, name: string, lat: number | null, lon: number | null, issued: number,
 *   bulletin: number, validFrom: number, validTo: number, amended: boolean, raw: string,
 *   periods: ReturnType<typeof decodeGroups>['periods'], groupsReceived: number,
 *   periodsOutOfRange: number}} Taf
 */

const stationOf = (record) => {
  const id = record && typeof record === 'object' ? text(record.icaoId).trim().toUpperCase() : '';
  return /^[A-Z0-9]{3,5}$/.test(id) ? id : '';
};

/**
 * One station's TAF in the page's shape: {id, name, lat, lon, issued, bulletin, validFrom,
 * validTo (ms, NaN when unknown), amended, raw, periods, groupsReceived (groups in the record;
 * only the first MAX_GROUPS are read), periodsOutOfRange (groups left out for a time outside the
 * data's range)}. Throws TimeOutOfRange when the TAF's own times lie outside it.
 */
function decodeTaf(record, now) {
  const raw = text(record.rawTAF);
  const groups = Array.isArray(record.fcsts) ? record.fcsts : [];
  const {periods, outOfRange} = decodeGroups(groups, now);
  return {
    id: stationOf(record),
    name: text(record.name),
    lat: finite(record.lat) ? record.lat : null,
    lon: finite(record.lon) ? record.lon : null,
    issued: serviceTime(parseServiceTime(record.issueTime), 'report', now),
    bulletin: serviceTime(parseServiceTime(record.bulletinTime), 'report', now),
    validFrom: serviceTime(seconds(record.validTimeFrom), 'forecast', now),
    validTo: serviceTime(seconds(record.validTimeTo), 'forecast', now),
    amended: /^TAF\s+AMD\b/.test(raw),
    raw,
    periods,
    groupsReceived: groups.length,
    periodsOutOfRange: outOfRange,
  };
}

/**
 * What a reply holds for one station: its TAF, or null with the reason: 'none' (the reply holds
 * none for it), 'unreadable' (its times lie outside the data's range) or 'beyond' (the reply
 * held more records than the map looks through, so it may lie past them).
 * @typedef {{taf: Taf | null, missing: 'none' | 'unreadable' | 'beyond' | null}} TafLookup
 */

/**
 * The TAFs of a reply by station: {received, stations, issuedLatest, lookup(id), within(box)}.
 * @typedef {{received: number, stations: number, issuedLatest: number,
 *   lookup(id: string): TafLookup,
 *   within(box: {south: number, west: number, north: number, east: number}): string[]}} TafIndex
 */

/**
 * Decodes a `tafs` reply body: for each station the latest issued record with readable times;
 * a TAF is decoded in full only when asked for, so a reply of tens of thousands costs one pass
 * over their stations and issue times. Throws on a non-list.
 * @param {any} records
 * @param {number} [now=Date.now()]  ms, for the time check
 * @returns {TafIndex}
 */
export function decodeTafs(records, now = Date.now()) {
  if (!Array.isArray(records)) throw new TypeError('TAF reply is not a list of forecasts');
  const inWindow = (ms) => {
    try {
      return serviceTime(ms, 'report', now);
    } catch {
      return NaN;
    }
  };
  /** @type {Map<string, {record: any, issued: number}[]>} per station its records in order */
  const byStation = new Map();
  let issuedLatest = -Infinity;
  const read = Math.min(records.length, MAX_TAFS);
  for (let index = 0; index < read; index++) {
    const record = records[index];
    const id = stationOf(record);
    if (!id) continue;
    const issued = parseServiceTime(record.issueTime);
    const entry = {record, issued: Number.isFinite(issued) ? issued : -Infinity};
    const known = byStation.get(id);
    if (known) known.push(entry);
    else byStation.set(id, [entry]);
    if (issued > issuedLatest && issued === inWindow(issued)) issuedLatest = issued;
  }
  /** @type {Map<string, TafLookup>} */
  const decoded = new Map();
  return {
    received: records.length,
    stations: byStation.size,
    issuedLatest: Number.isFinite(issuedLatest) ? issuedLatest : NaN,
    lookup(id) {
      if (decoded.has(id)) return decoded.get(id);
      /** @type {TafLookup} */
      let result = {taf: null, missing: records.length > MAX_TAFS ? 'beyond' : 'none'};
      // The latest issued first; of two issued together, the later in the reply.
      const candidates = [...(byStation.get(id) || [])].reverse().sort((a, b) => b.issued - a.issued);
      for (const {record} of candidates) {
        try {
          result = {taf: decodeTaf(record, now), missing: null};
          break;
        } catch (error) {
          if (!(error instanceof TimeOutOfRange)) throw error;
          result = {taf: null, missing: 'unreadable'};
        }
      }
      decoded.set(id, result);
      return result;
    },
    /** The stations whose records lie inside a box (a route's corridor), without decoding them. */
    within(box) {
      const ids = [];
      for (const [id, entries] of byStation) {
        if (entries.some(({record}) => finite(record.lat) && finite(record.lon) && record.lat >= box.south &&
            record.lat <= box.north && record.lon >= box.west && record.lon <= box.east)) ids.push(id);
      }
      return ids;
    },
  };
}
