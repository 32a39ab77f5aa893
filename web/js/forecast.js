// The 12-hour forecast periods of a grid cell (the `forecast` reply: the NWS gridpoint forecast
// document), as the point panel lists them: "Tonight", "Tuesday", text, temperature, wind and
// chance of precipitation. Values may come as plain numbers and texts or, with a feature flag,
// as {unitCode, value} objects; both are read.

import {TimeOutOfRange, decodeEach, serviceTime} from './time.js';

/** Largest number of periods read from one document. */
const MAX_PERIODS = 30;
const UNITS = {'wmoUnit:degF': 'F', 'wmoUnit:degC': 'C', 'wmoUnit:km_h-1': 'km/h',
  'wmoUnit:m_s-1': 'm/s', 'wmoUnit:percent': '%'};

const finite = (value) => typeof value === 'number' && Number.isFinite(value);
const text = (value) => (typeof value === 'string' ? value.trim() : '');

/** A time of the document in ms since 1970 (service offsets kept in mind); NaN when unreadable. */
function time(value) {
  return typeof value === 'string' && value.length <= 64 ? Date.parse(value) : NaN;
}

/** "5 to 10 mph" as written, or a {value | minValue, maxValue, unitCode} object as text. */
function quantityText(value) {
  if (typeof value === 'string') return value.trim();
  if (!value || typeof value !== 'object') return '';
  const unit = UNITS[value.unitCode] || '';
  const number = (n) => `${Math.round(n)}${unit ? ` ${unit}` : ''}`;
  if (finite(value.minValue) && finite(value.maxValue)) {
    return `${Math.round(value.minValue)} to ${number(value.maxValue)}`;
  }
  return finite(value.value) ? number(value.value) : '';
}

function temperature(period) {
  const value = period.temperature;
  if (finite(value)) return {temperature: value, temperatureUnit: text(period.temperatureUnit) || 'F'};
  if (value && typeof value === 'object' && finite(value.value) && UNITS[value.unitCode]) {
    return {temperature: value.value, temperatureUnit: UNITS[value.unitCode]};
  }
  return {temperature: null, temperatureUnit: text(period.temperatureUnit) || null};
}

/** A time the document names about itself: unknown (NaN) when outside the data's range. */
function ownTime(value, now) {
  try {
    return serviceTime(time(value), 'report', now);
  } catch (error) {
    if (!(error instanceof TimeOutOfRange)) throw error;
    return NaN;
  }
}

function decodePeriod(period, now) {
  if (!period || typeof period !== 'object') return null;
  const start = serviceTime(time(period.startTime), 'forecast', now);
  const end = serviceTime(time(period.endTime), 'forecast', now);
  if (!Number.isFinite(start) || !Number.isFinite(end) || end <= start) return null;
  const chance = period.probabilityOfPrecipitation;
  const precipitation = finite(chance) ? chance : finite(chance?.value) ? chance.value : null;
  const trend = text(period.temperatureTrend).toLowerCase();
  return {
    number: finite(period.number) ? period.number : null,
    name: text(period.name),
    start,
    end,
    startText: text(period.startTime),
    endText: text(period.endTime),
    isDaytime: typeof period.isDaytime === 'boolean' ? period.isDaytime : null,
    ...temperature(period),
    trend: trend === 'rising' || trend === 'falling' ? trend : null,
    precipitation,
    windSpeed: quantityText(period.windSpeed),
    windGust: quantityText(period.windGust) || null,
    windDirection: text(period.windDirection),
    shortForecast: text(period.shortForecast),
    detailedForecast: text(period.detailedForecast),
  };
}

/**
 * Decodes a `forecast` reply: {updated, generated (ms, NaN when not given), units, elevation
 * (metres or null), periods: [{number, name, start, end (ms), startText, endText (as the
 * service writes them, with the local offset), isDaytime, temperature, temperatureUnit, trend
 * ("rising", "falling" or null), precipitation (percent or null), windSpeed, windGust (text or
 * null), windDirection, shortForecast, detailedForecast}], received (periods in the document;
 * only the first MAX_PERIODS are read), outOfRange (periods left out for a time outside the
 * data's range)}. Periods without valid times are left out; a document without a periods list
 * throws.
 * @param {any} document
 * @param {number} [now=Date.now()]  ms, for the time check
 */
export function decodeForecast(document, now = Date.now()) {
  const properties = document?.properties;
  if (!properties || typeof properties !== 'object' || !Array.isArray(properties.periods)) {
    throw new TypeError('Forecast reply has no list of periods');
  }
  const {items: periods, outOfRange} = decodeEach(properties.periods.slice(0, MAX_PERIODS),
      (period) => decodePeriod(period, now));
  return {
    received: properties.periods.length,
    outOfRange,
    updated: ownTime(properties.updateTime, now),
    generated: ownTime(properties.generatedAt, now),
    units: text(properties.units),
    elevation: finite(properties.elevation?.value) && properties.elevation.unitCode === 'wmoUnit:m' ?
      properties.elevation.value : null,
    periods,
  };
}

/**
 * The periods not yet over at `now` (ms): a saved forecast shows no past periods.
 * @param {{periods?: any[]} | null} forecast
 * @param {number} now
 */
export function currentPeriods(forecast, now) {
  return (forecast?.periods || []).filter((period) => period.end > now);
}
