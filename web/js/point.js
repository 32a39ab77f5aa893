// The `point` reply: the nearest station's observation, the hourly forecast and the grid values
// that matter to pilots and hikers. Units follow units.js (°C, knots, statute miles, feet).

import {bearingDegrees, distanceMetres} from './geo.js';
import {parseValidTime} from './time.js';
import {celsiusFromFahrenheit, feetFromMetres, knotsFromKmh, knotsFromMph,
  milesFromMetres} from './units.js';

const text = (value) => (typeof value === 'string' ? value.trim() : '');
const finite = (value) => typeof value === 'number' && Number.isFinite(value);
const object = (value) => (value && typeof value === 'object' && !Array.isArray(value) ? value : null);

/** A measurement {unitCode, value} converted to the page's unit; null when missing or unknown. */
export function measurement(entry) {
  const value = object(entry)?.value;
  if (!finite(value)) return null;
  switch (object(entry).unitCode) {
    case 'wmoUnit:degC': return value;
    case 'wmoUnit:degF': return celsiusFromFahrenheit(value);
    case 'wmoUnit:km_h-1': return knotsFromKmh(value);
    case 'wmoUnit:m_s-1': return knotsFromKmh(value * 3.6);
    case 'wmoUnit:Pa': return value / 100;  // to hPa
    case 'wmoUnit:m': return value;  // callers pick miles or feet
    case 'wmoUnit:percent': return value;
    case 'wmoUnit:degree_(angle)': return value;
    default: return null;
  }
}

/** The observation of a point reply in the page's shape; null when the reply has none. */
export function decodeObservation(observation, point) {
  const properties = object(object(observation)?.properties);
  if (!properties) return null;
  const coordinates = object(observation.geometry)?.coordinates;
  let distance = null;
  let bearing = null;
  if (Array.isArray(coordinates) && finite(coordinates[0]) && finite(coordinates[1]) && point) {
    const station = {lat: coordinates[1], lon: coordinates[0]};
    distance = distanceMetres(point, station);
    bearing = bearingDegrees(point, station);
  }
  const visibility = measurement(properties.visibility);
  return {
    name: text(properties.stationName) || text(properties.name),
    id: text(properties.stationIdentifier) || text(properties.stationId),
    distance,
    bearing,
    time: Date.parse(text(properties.timestamp)),
    description: text(properties.textDescription),
    raw: text(properties.rawMessage),
    temperature: measurement(properties.temperature),
    dewpoint: measurement(properties.dewpoint),
    humidity: measurement(properties.relativeHumidity),
    windDirection: measurement(properties.windDirection),
    windSpeed: measurement(properties.windSpeed),
    windGust: measurement(properties.windGust),
    pressure: measurement(properties.barometricPressure) ?? measurement(properties.seaLevelPressure),
    visibility: visibility === null ? null : milesFromMetres(visibility),
  };
}

/** Knots from an hourly wind text ("15 mph", "10 to 15 mph" takes the higher); null if unreadable. */
export function parseWindText(value) {
  const match = /(\d+)(?:\s*to\s*(\d+))?\s*(mph|kt|km\/h)/i.exec(text(value));
  if (!match) return null;
  const speed = Number(match[2] || match[1]);
  const unit = match[3].toLowerCase();
  return unit === 'kt' ? speed : unit === 'mph' ? knotsFromMph(speed) : knotsFromKmh(speed);
}

/** The value of a grid layer at a time; null when no interval covers it. */
export function gridValueAt(layer, time) {
  const values = Array.isArray(object(layer)?.values) ? layer.values : [];
  for (const entry of values) {
    const interval = parseValidTime(entry?.validTime);
    if (interval && interval.start <= time && time < interval.end) {
      return measurement({unitCode: layer.uom, value: entry.value});
    }
  }
  return null;
}

/** Hourly periods as chart rows {start, startText, temperature, wind, gust, pop, forecast}. */
export function hourlySeries(hourly, grid, limit = 48) {
  const periods = object(object(hourly)?.properties)?.periods;
  if (!Array.isArray(periods)) return [];
  const gustLayer = object(object(grid)?.properties)?.windGust;
  const rows = [];
  for (const period of periods) {
    if (rows.length >= limit) break;
    const start = Date.parse(text(period?.startTime));
    if (!Number.isFinite(start)) continue;
    let temperature = finite(period.temperature) ? period.temperature : null;
    if (temperature !== null && period.temperatureUnit !== 'C') {
      temperature = celsiusFromFahrenheit(temperature);
    }
    const pop = measurement(period.probabilityOfPrecipitation);
    rows.push({
      start,
      startText: text(period.startTime),
      temperature,
      wind: parseWindText(period.windSpeed),
      windDirection: text(period.windDirection),
      gust: gustLayer ? gridValueAt(gustLayer, start) : null,
      pop: pop ?? 0,
      forecast: text(period.shortForecast),
    });
  }
  return rows;
}

/** Grid layers shown in the point panel, with how to convert their values for display. */
export const GRID_LAYERS = [
  {key: 'skyCover', label: 'Sky cover', kind: 'percent'},
  {key: 'ceilingHeight', label: 'Ceiling', kind: 'height'},
  {key: 'visibility', label: 'Visibility', kind: 'visibility'},
  {key: 'probabilityOfThunder', label: 'Probability of thunder', kind: 'percent'},
  {key: 'windGust', label: 'Wind gust', kind: 'speed'},
  {key: 'snowLevel', label: 'Snow level', kind: 'height'},
];

function displayValue(kind, value) {
  if (value === null) return null;
  if (kind === 'height') return feetFromMetres(value);
  if (kind === 'visibility') return milesFromMetres(value);
  return value;
}

/**
 * For each grid layer that has values: the value now and the lowest and highest over the next
 * `hours` hours. Rows: {key, label, kind, now, low, high}.
 */
export function gridSummary(grid, now, hours = 24) {
  const properties = object(object(grid)?.properties);
  if (!properties) return [];
  const rows = [];
  for (const layer of GRID_LAYERS) {
    const source = object(properties[layer.key]);
    if (!source || !Array.isArray(source.values) || source.values.length === 0) continue;
    const samples = [];
    for (let hour = 0; hour < hours; hour++) {
      const value = displayValue(layer.kind, gridValueAt(source, now + hour * 3600000));
      if (value !== null) samples.push(value);
    }
    if (!samples.length) continue;
    rows.push({
      ...layer,
      now: displayValue(layer.kind, gridValueAt(source, now)),
      low: Math.min(...samples),
      high: Math.max(...samples),
    });
  }
  return rows;
}

/** A point reply's parts, each null when missing: {observation, series, grid, warnings, ...}. */
export function decodePointReply(body, point, now) {
  const reply = object(body);
  if (!reply) throw new TypeError('Point reply is not an object');
  const warnings = Array.isArray(reply.warnings) ?
      reply.warnings.filter((w) => typeof w === 'string').slice(0, 20) : [];
  const location = object(object(object(reply.point)?.properties)?.relativeLocation)?.properties;
  return {
    observation: decodeObservation(reply.observation, point),
    series: hourlySeries(reply.hourly, reply.grid),
    grid: gridSummary(reply.grid, now),
    forecastTime: Date.parse(text(object(object(reply.hourly)?.properties)?.generatedAt)),
    retrievedAt: Date.parse(text(reply.retrievedAt)),
    source: text(reply.source),
    place: location ? [text(location.city), text(location.state)].filter(Boolean).join(', ') : '',
    warnings,
  };
}
