// The `point` reply: the nearest station's observation, the hourly forecast and the grid values
// that matter to pilots and hikers. Units follow units.js (°C, knots, statute miles, feet).

import {bearingDegrees, distanceMetres} from './geo.js';
import {TimeOutOfRange, decodeEach, parseValidTime, serviceTime} from './time.js';
import {celsiusFromFahrenheit, feetFromMetres, knotsFromKmh, knotsFromMph,
  milesFromMetres} from './units.js';

const text = (value) => (typeof value === 'string' ? value.trim() : '');
const finite = (value) => typeof value === 'number' && Number.isFinite(value);
const object = (value) => (value && typeof value === 'object' && !Array.isArray(value) ? value : null);

/** A measurement {unitCode, value} converted to the page's unit; null when missing or unknown. */
function measurement(entry) {
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
function decodeObservation(observation, point, now) {
  const properties = object(object(observation)?.properties);
  if (!properties) return null;
  const coordinates = object(observation.geometry)?.coordinates;
  let distance = null;
  let bearing = null;
  let station = null;
  if (Array.isArray(coordinates) && finite(coordinates[0]) && finite(coordinates[1])) {
    station = {lat: coordinates[1], lon: coordinates[0]};
    if (point) {
      distance = distanceMetres(point, station);
      bearing = bearingDegrees(point, station);
    }
  }
  const visibility = measurement(properties.visibility);
  return {
    name: text(properties.stationName) || text(properties.name),
    id: text(properties.stationIdentifier) || text(properties.stationId),
    distance,
    bearing,
    lat: station ? station.lat : null,
    lon: station ? station.lon : null,
    time: serviceTime(Date.parse(text(properties.timestamp)), 'report', now),
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
function parseWindText(value) {
  const match = /(\d+)(?:\s*to\s*(\d+))?\s*(mph|kt|km\/h)/i.exec(text(value));
  if (!match) return null;
  const speed = Number(match[2] || match[1]);
  const unit = match[3].toLowerCase();
  return unit === 'kt' ? speed : unit === 'mph' ? knotsFromMph(speed) : knotsFromKmh(speed);
}

const layerIndexes = new WeakMap();

/**
 * A grid layer's values as intervals sorted by start, built once per layer object, so looking
 * a time up is a binary search instead of a scan that parses every "validTime" again (a large
 * grid has hundreds of thousands of values). at(time) gives the converted value or null.
 */
function indexGridLayer(layer) {
  const source = object(layer);
  if (!source) return null;
  const known = layerIndexes.get(source);
  if (known) return known;
  const rows = [];
  for (const entry of Array.isArray(source.values) ? source.values : []) {
    const interval = parseValidTime(entry?.validTime);
    if (interval) rows.push({...interval, value: measurement({unitCode: source.uom, value: entry.value})});
  }
  // Stable, so of two intervals starting together the earlier one in the document wins.
  rows.sort((a, b) => a.start - b.start);
  const index = {
    size: rows.length,
    at(time) {
      let low = 0;
      let high = rows.length - 1;
      let found = -1;
      while (low <= high) {
        const middle = (low + high) >> 1;
        if (rows[middle].start <= time) {
          found = middle;
          low = middle + 1;
        } else {
          high = middle - 1;
        }
      }
      return found >= 0 && time < rows[found].end ? rows[found].value : null;
    },
  };
  layerIndexes.set(source, index);
  return index;
}

/**
 * Hourly periods as chart rows {start, end, startText, temperature, wind, gust, pop, forecast}:
 * at most `limit` of them, from the hour that contains `now` on (hours already past are left
 * out, so a saved forecast never charts them).
 */
function hourlySeries(hourly, grid, checkedAt, limit = 48, now = -Infinity) {
  const periods = object(object(hourly)?.properties)?.periods;
  if (!Array.isArray(periods)) return Object.assign([], {outOfRange: 0});
  const gustLayer = indexGridLayer(object(object(grid)?.properties)?.windGust);
  const rows = [];
  let outOfRange = 0;
  for (const period of periods) {
    if (rows.length >= limit) break;
    let start;
    let ending;
    try {
      start = serviceTime(Date.parse(text(period?.startTime)), 'forecast', checkedAt);
      ending = serviceTime(Date.parse(text(period?.endTime)), 'forecast', checkedAt);
    } catch (error) {
      if (!(error instanceof TimeOutOfRange)) throw error;
      outOfRange++;
      continue;
    }
    if (!Number.isFinite(start)) continue;
    const end = Number.isFinite(ending) && ending > start ? ending : start + 3600000;
    if (end <= now) continue;
    let temperature = finite(period.temperature) ? period.temperature : null;
    if (temperature !== null && period.temperatureUnit !== 'C') {
      temperature = celsiusFromFahrenheit(temperature);
    }
    const pop = measurement(period.probabilityOfPrecipitation);
    rows.push({
      start,
      end,
      startText: text(period.startTime),
      temperature,
      wind: parseWindText(period.windSpeed),
      windDirection: text(period.windDirection),
      gust: gustLayer ? gustLayer.at(start) : null,
      pop: pop ?? 0,
      forecast: text(period.shortForecast),
    });
  }
  return Object.assign(rows, {outOfRange});
}

/** Grid layers shown in the point panel, with how to convert their values for display. */
const GRID_LAYERS = [
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
 * @param {any} grid  a grid document, or {properties} of its layers
 * @param {number} now
 * @param {number} [hours=24]
 */
export function gridSummary(grid, now, hours = 24) {
  const properties = object(object(grid)?.properties);
  if (!properties) return [];
  const rows = [];
  for (const layer of GRID_LAYERS) {
    const source = indexGridLayer(properties[layer.key]);
    if (!source || source.size === 0) continue;
    const samples = [];
    for (let hour = 0; hour < hours; hour++) {
      const value = displayValue(layer.kind, source.at(now + hour * 3600000));
      if (value !== null) samples.push(value);
    }
    if (!samples.length) continue;
    rows.push({
      ...layer,
      now: displayValue(layer.kind, source.at(now)),
      low: Math.min(...samples),
      high: Math.max(...samples),
    });
  }
  return rows;
}

const ZONE_CODE = /\/zones\/(?:forecast|county|fire)\/([A-Z]{2}[CZ]\d{3})$/;

/** The zone codes ("UTZ105", "UTC035") of a points document, for matching alerts by area. */
function pointZones(points) {
  const properties = object(object(points)?.properties);
  if (!properties) return [];
  return ['forecastZone', 'county', 'fireWeatherZone']
      .map((key) => ZONE_CODE.exec(text(properties[key]))?.[1]).filter(Boolean);
}

/** The forecast office and grid cell of a points document as {office, x, y}; null if unusable. */
function pointGrid(points) {
  const properties = object(object(points)?.properties);
  const office = text(properties?.gridId);
  const x = Number(properties?.gridX);
  const y = Number(properties?.gridY);
  if (!/^[A-Z]{3}$/.test(office) || !Number.isInteger(x) || !Number.isInteger(y) ||
      x < 0 || x > 999 || y < 0 || y > 999) {
    return null;
  }
  return {office, x, y};
}

const KEPT_GRID_LAYERS = new Set([...GRID_LAYERS.map((layer) => layer.key), 'windGust']);

/**
 * The reply with only the grid layers the page shows, for keeping in local storage: a large
 * grid document holds tens of layers the page never reads and would not fit the store.
 * @param {any} body
 */
export function compactPointBody(body) {
  const grid = object(object(body)?.grid);
  const properties = object(grid?.properties);
  if (!properties) return body;
  const kept = Object.fromEntries(Object.entries(properties).filter(([key, value]) =>
    KEPT_GRID_LAYERS.has(key) || !object(value) || !Array.isArray(value.values)));
  return {...body, grid: {...grid, properties: kept}};
}

/**
 * A point reply's parts, each null or empty when missing: the observation, every hourly period
 * (`hours`; the panel leaves out those already past when it draws), the grid layers it shows,
 * the times of the products, the point's zones and grid cell, and the reply's warnings.
 * @param {any} body
 * @param {{lat: number, lon: number}} point
 * @param {number} now
 */
export function decodePointReply(body, point, now) {
  const reply = object(body);
  if (!reply) throw new TypeError('Point reply is not an object');
  const warnings = Array.isArray(reply.warnings) ?
      reply.warnings.filter((w) => typeof w === 'string').slice(0, 20) : [];
  const location = object(object(object(reply.point)?.properties)?.relativeLocation)?.properties;
  const gridProperties = object(object(reply.grid)?.properties);
  const gridLayers = gridProperties ? Object.fromEntries([...KEPT_GRID_LAYERS]
      .filter((key) => key in gridProperties).map((key) => [key, gridProperties[key]])) : null;
  const hours = hourlySeries(reply.hourly, reply.grid, now, 200);
  if (hours.outOfRange) {
    warnings.push(`${hours.outOfRange === 1 ? 'One hour' : `${hours.outOfRange} hours`} of the hourly ` +
      'forecast left out: their times lie outside the possible range.');
  }
  const {items: [observation = null], outOfRange: observationOutOfRange} = decodeEach([reply.observation],
      (document) => decodeObservation(document, point, now));
  if (observationOutOfRange) {
    warnings.push('The latest observation is not shown: its time lies outside the possible range.');
  }
  // Times the products give of themselves: unknown rather than impossible.
  const ownTime = (value) => decodeEach([value], (written) => serviceTime(Date.parse(text(written)), 'report', now))
      .items[0] ?? NaN;
  // Build the indexes now, while the reply is being taken in, not at the first drawing.
  for (const layer of Object.values(gridLayers || {})) indexGridLayer(layer);
  return {
    observation,
    hours,
    series: hours.filter((row) => row.end > now).slice(0, 48),
    gridLayers,
    grid: gridSummary(reply.grid, now),
    forecastTime: ownTime(object(object(reply.hourly)?.properties)?.generatedAt),
    gridTime: ownTime(gridProperties?.updateTime),
    retrievedAt: ownTime(reply.retrievedAt),
    source: text(reply.source),
    place: location ? [text(location.city), text(location.state)].filter(Boolean).join(', ') : '',
    placeParts: location ? [text(location.city), text(location.state)].filter(Boolean) : [],
    zones: pointZones(reply.point),
    cell: pointGrid(reply.point),
    timeZone: text(object(object(reply.point)?.properties)?.timeZone),
    warnings,
  };
}
