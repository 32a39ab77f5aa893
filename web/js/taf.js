// Terminal forecasts (TAFs) of the aviation weather service: each forecast group decoded, with the
// flight category of the conditions it brings, judged as for a METAR. Records keep the service's
// quirks (issue times in two forms, "6+" visibility, "VRB" wind, null for what a group does not
// state), so every member is checked before use.
import {categoryFrom, ceilingFeet, cloudLayers, describeWeather, newestPerStation,
  parseVisibility} from './metar.js';

const CHANGES = new Set(['FM', 'TEMPO', 'BECMG', 'PROB']);
const SERVICE_TIME = /^(\d{4})-(\d\d)-(\d\d)[T ](\d\d):(\d\d)(?::(\d\d)(?:\.(\d{1,3})\d*)?)?(Z|[+-]\d\d:?\d\d)?$/;
/** Largest number of TAFs and of groups per TAF taken from one reply. */
const MAX_TAFS = 2000;
const MAX_GROUPS = 40;

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
function decodeGroups(groups) {
  const periods = [];
  let prevailing = null;
  for (const group of (Array.isArray(groups) ? groups : []).slice(0, MAX_GROUPS)) {
    if (!group || typeof group !== 'object') continue;
    const from = seconds(group.timeFrom);
    const to = seconds(group.timeTo);
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
      becomingBy: change === 'BECMG' && finite(group.timeBec) ? group.timeBec * 1000 : null,
      ...conditions,
      weather: conditions.weatherCode === 'NSW' ? 'no significant weather' :
        describeWeather(conditions.weatherCode),
      ceiling: ceilingFeet({clouds: conditions.clouds, vertVis: conditions.verticalVisibility}),
      category: category(conditions),
      stated: own,
    });
  }
  return periods;
}

/**
 * A terminal forecast in the page's shape (see decodeTaf); times in ms.
 * @typedef {{id: string, name: string, lat: number | null, lon: number | null, issued: number,
 *   bulletin: number, validFrom: number, validTo: number, amended: boolean, raw: string,
 *   periods: ReturnType<typeof decodeGroups>}} Taf
 */

/**
 * One station's TAF in the page's shape, or null without a station identifier: {id, name, lat,
 * lon, issued, bulletin, validFrom, validTo (ms, NaN when unknown), amended, raw, periods}.
 */
function decodeTaf(record) {
  if (!record || typeof record !== 'object') return null;
  const id = text(record.icaoId).trim().toUpperCase();
  if (!/^[A-Z0-9]{3,5}$/.test(id)) return null;
  const raw = text(record.rawTAF);
  return {
    id,
    name: text(record.name),
    lat: finite(record.lat) ? record.lat : null,
    lon: finite(record.lon) ? record.lon : null,
    issued: parseServiceTime(record.issueTime),
    bulletin: parseServiceTime(record.bulletinTime),
    validFrom: seconds(record.validTimeFrom),
    validTo: seconds(record.validTimeTo),
    amended: /^TAF\s+AMD\b/.test(raw),
    raw,
    periods: decodeGroups(record.fcsts),
  };
}

/**
 * Decodes a `tafs` reply body: one TAF per station, the latest issued winning. Throws on a non-list.
 * @param {any} records
 * @returns {Taf[]}
 */
export function decodeTafs(records) {
  if (!Array.isArray(records)) throw new TypeError('TAF reply is not a list of forecasts');
  return newestPerStation(records.slice(0, MAX_TAFS).map(decodeTaf).filter(Boolean),
      (taf) => taf.id, (taf) => taf.issued);
}
