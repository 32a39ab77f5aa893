// What the backcountry reads from the grid data the point reply already carries: the fire
// weather (each value with its plain-language band) and the mountain forecast (snow level
// against the forecast's own elevation, wind chill, snow and rain per period, sky cover and
// thunder). Values come in the page's units (°C, knots, feet, millimetres) from point.js.

import {feetFromMetres} from './units.js';

const HOUR = 3600000;

/** The Haines index's potential for large or erratic fire growth. @param {number} value */
export function hainesBand(value) {
  if (!Number.isFinite(value)) return '';
  if (value <= 3) return 'very low potential for large fire growth';
  if (value === 4) return 'low potential for large fire growth';
  if (value === 5) return 'moderate potential for large fire growth';
  return 'high potential for large or erratic fire growth';
}

/** The lightning activity level in words. @param {number} value */
export function lightningBand(value) {
  if (!Number.isFinite(value) || value < 1) return '';
  const level = Math.min(6, Math.round(value));
  return ['no thunderstorms', 'isolated thunderstorms (1–5 strikes per 5 min)',
    'thunderstorms likely: widely scattered (6–10 strikes per 5 min)',
    'thunderstorms likely: scattered (11–15 strikes per 5 min)',
    'thunderstorms likely: numerous (over 15 strikes per 5 min)',
    'dry lightning: thunderstorms without rain'][level - 1];
}

/** The Lavdas atmospheric dispersion index in words. @param {number} value */
export function dispersionBand(value) {
  if (!Number.isFinite(value)) return '';
  if (value <= 6) return 'very poor dispersion';
  if (value <= 12) return 'poor dispersion';
  if (value <= 20) return 'poor to fair dispersion';
  if (value <= 40) return 'fair dispersion';
  if (value <= 60) return 'fair to good dispersion';
  if (value <= 100) return 'good dispersion';
  return 'very good dispersion (may mean hazardous burning conditions)';
}

/**
 * The fire-weather quantities of the grid, in the order the block shows them. `kind` says how
 * a value is shown; `band` names it in words. The Red Flag threat, grassland fire danger and
 * dispersion indexes are office products whose scales the service does not publish: shown as
 * given, without a band.
 */
const FIRE_WEATHER = [
  {key: 'redFlagThreatIndex', label: 'Red Flag threat index', kind: 'index'},
  {key: 'hainesIndex', label: 'Haines index', kind: 'index', band: hainesBand},
  {key: 'lightningActivityLevel', label: 'Lightning activity level', kind: 'index', band: lightningBand},
  {key: 'mixingHeight', label: 'Mixing height', kind: 'height'},
  {key: 'transportWindSpeed', label: 'Transport wind', kind: 'wind', direction: 'transportWindDirection'},
  {key: 'twentyFootWindSpeed', label: '20-ft wind', kind: 'wind', direction: 'twentyFootWindDirection'},
  {key: 'atmosphericDispersionIndex', label: 'Dispersion', kind: 'index', band: dispersionBand},
  {key: 'dispersionIndex', label: 'Dispersion index', kind: 'index'},
  {key: 'grasslandFireDangerIndex', label: 'Grassland fire danger index', kind: 'index'},
];

/** The grid layers the backcountry blocks read, kept with the point's reply. */
export const BACKCOUNTRY_LAYERS = [...FIRE_WEATHER.flatMap((row) => [row.key, row.direction].filter(Boolean)),
  'snowLevel', 'windChill', 'apparentTemperature', 'snowfallAmount', 'quantitativePrecipitation',
  'skyCover', 'probabilityOfThunder', 'dewpoint', 'windGust', 'temperature'];

/**
 * @typedef {{at(time: number): number | null, size: number, sum(from: number, to: number): number | null,
 *   extreme(from: number, to: number, pick: (a: number, b: number) => number): number | null}} GridIndex
 */

/**
 * The fire-weather rows at a point: per quantity present, the value now and the highest over
 * the next `hours` (its time too), with their bands; [] when the grid carries none of them.
 * @param {(key: string) => GridIndex | null} layer  the grid's index of a layer
 * @param {number} now
 * @param {number} [hours=24]
 */
export function fireWeatherRows(layer, now, hours = 24) {
  const rows = [];
  for (const row of FIRE_WEATHER) {
    const source = layer(row.key);
    if (!source || !source.size) continue;
    // Heights come in metres; the panel shows feet or metres from feet.
    const at = (time) => {
      const found = source.at(time);
      return found !== null && row.kind === 'height' ? feetFromMetres(found) : found;
    };
    let peak = null;
    let peakAt = NaN;
    for (let hour = 0; hour < hours; hour++) {
      const value = at(now + hour * HOUR);
      if (value !== null && (peak === null || value > peak)) {
        peak = value;
        peakAt = now + hour * HOUR;
      }
    }
    if (peak === null) continue;
    const current = at(now);
    const direction = row.direction ? layer(row.direction) : null;
    rows.push({...row, now: current, peak, peakAt,
      nowDirection: direction ? direction.at(now) : null,
      peakDirection: direction ? direction.at(peakAt) : null,
      nowBand: row.band && current !== null ? row.band(current) : '',
      peakBand: row.band ? row.band(peak) : ''});
  }
  return rows;
}

/**
 * "Snow level 6,500 ft — 1,800 ft below this spot's forecast elevation" as its parts: the snow
 * level (ft), the elevation it is measured against (ft) and the difference (positive: above).
 * @param {number | null} snowLevelFeet @param {number | null} elevationFeet
 * @returns {{snowLevel: number, elevation: number, difference: number, relation: 'above' | 'below' | 'at'} | null}
 */
export function snowLevelRelation(snowLevelFeet, elevationFeet) {
  if (!Number.isFinite(snowLevelFeet) || !Number.isFinite(elevationFeet)) return null;
  // Rounded to 100 ft first, as the forecast itself is no finer.
  const difference = Math.round((snowLevelFeet - elevationFeet) / 100) * 100;
  return {snowLevel: snowLevelFeet, elevation: elevationFeet, difference: Math.abs(difference),
    relation: difference > 0 ? 'above' : difference < 0 ? 'below' : 'at'};
}

/**
 * The mountain forecast by 12-hour period: snow and liquid precipitation (mm) summed over the
 * period, the lowest snow level (ft), the lowest wind chill and apparent temperature (°C), the
 * mean sky cover (%), the highest chance of thunder (%) and the highest gust (knots).
 * @param {(key: string) => GridIndex | null} layer
 * @param {{name: string, start: number, end: number, isDaytime: boolean | null}[]} periods
 */
export function mountainRows(layer, periods) {
  const low = (a, b) => Math.min(a, b);
  const high = (a, b) => Math.max(a, b);
  const extreme = (key, pick, period) => layer(key)?.extreme(period.start, period.end, pick) ?? null;
  return periods.map((period) => {
    const snowLevelMetres = extreme('snowLevel', low, period);
    const sky = layer('skyCover');
    let skySum = 0;
    let skyHours = 0;
    for (let t = period.start; sky && t < period.end; t += HOUR) {
      const value = sky.at(t);
      if (value !== null) {
        skySum += value;
        skyHours++;
      }
    }
    return {
      name: period.name,
      start: period.start,
      end: period.end,
      isDaytime: period.isDaytime,
      snow: layer('snowfallAmount')?.sum(period.start, period.end) ?? null,
      liquid: layer('quantitativePrecipitation')?.sum(period.start, period.end) ?? null,
      snowLevel: snowLevelMetres === null ? null : feetFromMetres(snowLevelMetres),
      windChill: extreme('windChill', low, period),
      apparent: extreme('apparentTemperature', low, period),
      apparentHigh: extreme('apparentTemperature', high, period),
      sky: skyHours ? skySum / skyHours : null,
      thunder: extreme('probabilityOfThunder', high, period),
      gust: extreme('windGust', high, period),
    };
  });
}

/** Sky cover in the NWS's words, from its per cent (eighths: 0, 1–2, 3–5, 6–7, 8). */
export function skyWords(percent, daytime = true) {
  if (!Number.isFinite(percent)) return '';
  const eighths = Math.round((percent / 100) * 8);
  if (eighths === 0) return daytime ? 'Sunny' : 'Clear';
  if (eighths <= 2) return daytime ? 'Mostly sunny' : 'Mostly clear';
  if (eighths <= 5) return daytime ? 'Partly sunny' : 'Partly cloudy';
  if (eighths <= 7) return 'Mostly cloudy';
  return 'Cloudy';
}

const COMPASS = ['N', 'NNE', 'NE', 'ENE', 'E', 'ESE', 'SE', 'SSE', 'S', 'SSW', 'SW', 'WSW', 'W', 'WNW', 'NW', 'NNW'];

/** Degrees of a compass direction ("SW" → 225); NaN for anything else. @param {string} text */
export function compassDegrees(text) {
  const index = COMPASS.indexOf(String(text).trim().toUpperCase());
  return index < 0 ? NaN : index * 22.5;
}

/** Whether an alert is one of fire weather: Red Flag Warnings and Fire Weather Watches. */
export function isFireWeatherAlert(alert) {
  return /^(Red Flag Warning|Fire Weather Watch)$/i.test(alert?.event || '');
}

/**
 * The alerts with the fire-weather ones first, each group keeping its order.
 * @template {{event?: string}} A @param {A[]} alerts @returns {A[]}
 */
export function fireWeatherFirst(alerts) {
  return [...alerts.filter(isFireWeatherAlert), ...alerts.filter((alert) => !isFireWeatherAlert(alert))];
}
