// Avalanche danger: the National Avalanche Center's map layer (the host's `avalanche` reply),
// every US forecast zone with today's danger on the North American Public Avalanche Danger
// Scale, and when to ask for it again. Forecasts past their end are expired, never today's.

import {insidePolygons} from './alerts.js';
import {zonedParts} from './time.js';
import {simplifyGeoJsonRing} from './zones.js';

const MINUTE = 60000;
const HOUR = 60 * MINUTE;
const MAX_ZONES = 1000;
const MAX_POLYGONS = 100;
const MAX_RING_POINTS = 50000;
// As the alerts' zones: about 100 m, which the map cannot tell from the full line below zoom 11.
const SIMPLIFY_DEGREES = 0.001;

/**
 * The scale by level: its word, the travel advice the scale gives, and its colour for when the
 * service sends none. −1: the centre publishes information without a rating; 0: no rating.
 */
const SCALE = new Map([
  [-1, {word: 'No rating', note: 'Avalanche information available, no rating', colour: '#cccccc'}],
  [0, {word: 'No rating', note: 'No rating', colour: ''}],
  [1, {word: 'Low', colour: '#50b848',
    advice: 'Generally safe avalanche conditions. Watch for unstable snow on isolated terrain features.'}],
  [2, {word: 'Moderate', colour: '#fff200',
    advice: 'Heightened avalanche conditions on specific terrain features. Evaluate snow and terrain carefully; identify features of concern.'}],
  [3, {word: 'Considerable', colour: '#f7941e',
    advice: 'Dangerous avalanche conditions. Careful snowpack evaluation, cautious route-finding and conservative decision-making essential.'}],
  [4, {word: 'High', colour: '#ed1c24',
    advice: 'Very dangerous avalanche conditions. Travel in avalanche terrain not recommended.'}],
  [5, {word: 'Extreme', colour: '#231f20', advice: 'Avoid all avalanche terrain.'}],
]);

/**
 * How a zone's danger is drawn and named. `style`: 'rated' (filled in the scale's colour; thick
 * red outline at Extreme), 'information' (grey with a blue outline: information, no rating),
 * 'outline' (outline only: no information), 'expired' (the forecast ended).
 * @typedef {{level: number | null, word: string, label: string, style: 'rated' | 'information' |
 *   'outline' | 'expired'}} Danger
 */

/**
 * The danger of a level as the service sends it (−1, 0, 1–5; anything else is unknown).
 * @param {any} level
 * @returns {Danger}
 */
export function dangerOf(level) {
  const known = Number.isInteger(level) ? SCALE.get(level) : undefined;
  if (!known) return {level: null, word: 'Unknown', label: 'Danger not known', style: 'outline'};
  if (level === -1) return {level, word: known.word, label: known.note, style: 'information'};
  if (level === 0) return {level, word: known.word, label: 'No rating', style: 'outline'};
  return {level, word: known.word, label: `${level} – ${known.word}`, style: 'rated'};
}

/** The scale's own travel advice for a level; '' for none. @param {number | null} level */
export function scaleAdvice(level) {
  return SCALE.get(level)?.advice || '';
}

/** The scale's colour of a level; '' for none. @param {number | null} level */
export function scaleColour(level) {
  return SCALE.get(level)?.colour || '';
}

const text = (value, max = 400) => (typeof value === 'string' ? value.trim().slice(0, max) : '');
const HEX_COLOUR = /^#(?:[0-9a-f]{3}|[0-9a-f]{6})$/i;
const colour = (value) => (HEX_COLOUR.test(text(value)) ? text(value).toLowerCase() : '');
const webLink = (value) => (/^https:\/\/[^\s"<>]+$/.test(text(value, 2000)) ? text(value, 2000) : '');

/**
 * A time of the map layer in ms. The service writes them without an offset ("2026-11-20T13:30:00"),
 * read as UTC; one with an offset or Z is read as written. NaN when missing or unreadable.
 * @param {any} value
 */
export function layerTime(value) {
  const written = text(value, 40);
  if (!/^\d{4}-\d\d-\d\dT\d\d:\d\d(:\d\d(\.\d+)?)?(Z|[+-]\d\d:?\d\d)?$/.test(written)) return NaN;
  return Date.parse(/(Z|[+-]\d\d:?\d\d)$/.test(written) ? written : `${written}Z`);
}

function zonePolygons(geometry) {
  const parts = geometry?.type === 'Polygon' ? [geometry.coordinates] :
      geometry?.type === 'MultiPolygon' && Array.isArray(geometry.coordinates) ? geometry.coordinates : [];
  const polygons = [];
  for (const polygon of parts.slice(0, MAX_POLYGONS)) {
    if (!Array.isArray(polygon)) continue;
    const rings = polygon.slice(0, 50).map((points) => simplifyGeoJsonRing(points, MAX_RING_POINTS, SIMPLIFY_DEGREES));
    if (rings[0]) polygons.push(rings.filter(Boolean));
  }
  return polygons;
}

/**
 * One forecast zone in the page's shape.
 * @typedef {object} AvalancheZone
 * @property {string} key  the feature's id, or its centre and name
 * @property {string} name @property {string} center @property {string} centerId
 * @property {string} centerLink @property {string} state @property {string} timeZone
 * @property {number | null} level @property {string} dangerText  the service's word
 * @property {string} fill @property {string} stroke @property {string} fontColour
 * @property {string} advice @property {string} link  the forecast, or the centre's home page
 * @property {number} start @property {number} end  ms; NaN when not given
 * @property {boolean} offSeason @property {string} warning  a warning's text, if any
 * @property {[number, number][][][]} polygons  [lat, lon] rings
 */

/**
 * The host's `avalanche` reply as {zones, received, undrawable}; throws a TypeError for a reply
 * that is not a feature collection.
 * @param {any} body
 * @returns {{zones: AvalancheZone[], received: number, undrawable: number}}
 */
export function decodeAvalanche(body) {
  if (!body || typeof body !== 'object' || !Array.isArray(body.features)) {
    throw new TypeError('Avalanche reply has no features');
  }
  const zones = [];
  let undrawable = 0;
  for (const feature of body.features.slice(0, MAX_ZONES)) {
    const properties = feature && typeof feature === 'object' && feature.properties &&
      typeof feature.properties === 'object' ? feature.properties : null;
    const polygons = properties ? zonePolygons(feature.geometry) : [];
    if (!polygons.length) {
      undrawable++;
      continue;
    }
    const level = Number.isInteger(properties.danger_level) ? properties.danger_level : null;
    const warning = properties.warning && typeof properties.warning === 'object' ?
      properties.warning.product : null;
    zones.push({
      key: feature.id !== undefined && feature.id !== null ? String(feature.id).slice(0, 40) :
        `${text(properties.center_id, 20)} ${text(properties.name, 120)}`,
      name: text(properties.name, 120) || 'Forecast zone',
      center: text(properties.center, 120),
      centerId: text(properties.center_id, 20),
      centerLink: webLink(properties.center_link),
      state: text(properties.state, 8),
      timeZone: /^[A-Za-z_]+(\/[A-Za-z_+-]+)*$/.test(text(properties.timezone, 60)) ?
        text(properties.timezone, 60) : '',
      level,
      dangerText: text(properties.danger, 40),
      fill: colour(properties.color),
      stroke: colour(properties.stroke),
      fontColour: colour(properties.font_color),
      advice: text(properties.travel_advice, 600),
      link: webLink(properties.link) || webLink(properties.center_link),
      start: layerTime(properties.start_date),
      end: layerTime(properties.end_date),
      offSeason: properties.off_season === true,
      warning: typeof warning === 'string' ? text(warning, 600) : '',
      polygons,
    });
  }
  return {zones, received: body.features.length, undrawable};
}

/**
 * The danger of a zone at `now`: a forecast past its end is expired; a centre out of season, or
 * a zone with a rating but no forecast times, has no information today.
 * @param {AvalancheZone} zone @param {number} now
 * @returns {Danger}
 */
export function zoneDanger(zone, now) {
  const danger = dangerOf(zone.level);
  if (Number.isFinite(zone.end) && now >= zone.end) {
    return {...danger, label: `Expired (was ${danger.label})`, style: 'expired'};
  }
  if (zone.offSeason && danger.style === 'rated') return {...dangerOf(0), label: 'Out of season'};
  if (danger.style === 'rated' && !Number.isFinite(zone.end)) {
    return {...dangerOf(null), label: 'No forecast times given'};
  }
  return danger;
}

/**
 * The zones that hold a point, highest rating first (zones of two centres may overlap).
 * @param {AvalancheZone[]} zones @param {{lat: number, lon: number}} point
 */
export function zonesAt(zones, point) {
  return zones.filter((zone) => insidePolygons(zone.polygons, point))
      .sort((a, b) => (b.level ?? -2) - (a.level ?? -2));
}

// The season and the asking times follow the centres' own: a forecast is usually out between
// 5 and 10 am Mountain time, from December to April.
const MOUNTAIN = 'America/Denver';
const SEASON_MONTHS = new Set([11, 0, 1, 2, 3]);  // December to April (0-based)
const MORNING = {from: 5, to: 10};
/** How often the layer is asked during the morning, and otherwise. */
const MORNING_INTERVAL_MS = 15 * MINUTE;
export const USUAL_INTERVAL_MS = HOUR;

/** Whether `now` lies in the avalanche season (December to April, in Mountain time). @param {number} now */
export function inAvalancheSeason(now) {
  return SEASON_MONTHS.has(zonedParts(now, MOUNTAIN).month);
}

/**
 * When to ask again after asking at `askedAt`: 15 minutes on during the forecasts' morning
 * (5–10 am Mountain time), otherwise an hour on, or the morning's start if that comes first.
 * @param {number} askedAt  ms
 * @returns {number} ms
 */
export function nextAvalancheAsk(askedAt) {
  const hour = zonedParts(askedAt, MOUNTAIN).hour;
  if (hour >= MORNING.from && hour < MORNING.to) return askedAt + MORNING_INTERVAL_MS;
  // Mountain time is a whole number of hours off UTC, so its hours start on UTC's.
  for (let t = Math.floor(askedAt / HOUR) * HOUR + HOUR; t <= askedAt + USUAL_INTERVAL_MS; t += HOUR) {
    if (zonedParts(t, MOUNTAIN).hour === MORNING.from) return t;
  }
  return askedAt + USUAL_INTERVAL_MS;
}
