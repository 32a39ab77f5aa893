// Winds and temperatures aloft: the `winds` reply {issuanceTime, issuingOffice, productText}
// holds a bulletin in its fixed-column layout. The columns come from its "FT" line; each cell
// ends under its level's label, so a blank cell (a level within 1,500 ft of the station) is
// told from a missing one by position, never by splitting on blanks.

const MINUTE = 60000;
const HOUR = 60 * MINUTE;
const DAY = 24 * HOUR;
// A national bulletin is some 30 kB; anything much larger is not one.
const MAX_TEXT = 400000;
const MAX_ROWS = 1000;
// Above this level temperatures are written without their (always negative) sign.
const UNSIGNED_ABOVE_FEET = 24000;
const CELL = /^(\d\d)(\d\d)([+-]\d\d|\d\d)?$/;
const ROW_ID = /^[A-Z0-9]{3}$/;

/** A bulletin that cannot be read whole: its text says what is wrong, for the status line. */
export class WindsTableError extends Error {
  constructor(message) {
    super(message);
    this.name = 'WindsTableError';
  }
}

/**
 * One cell at `level` feet: null when blank, else {direction (degrees true, null when light and
 * variable), speed (kt), orMore (coded 199 kt: 199 or more), light, temperature (°C or null)}.
 * Throws WindsTableError for a cell that follows no coding rule.
 * @param {string} cell
 * @param {number} level
 */
export function decodeWindCell(cell, level) {
  const text = cell.trim();
  if (!text) return null;
  const match = CELL.exec(text);
  if (!match) throw new WindsTableError(`"${text}" at ${level} ft is not a wind group`);
  const [dd, ff] = [Number(match[1]), Number(match[2])];
  let temperature = null;
  if (match[3] !== undefined) {
    const signed = /^[+-]/.test(match[3]);
    if (!signed && level <= UNSIGNED_ABOVE_FEET) {
      throw new WindsTableError(`"${text}" at ${level} ft has a temperature without its sign`);
    }
    temperature = signed ? Number(match[3]) : -Number(match[3]);
    if (Object.is(temperature, -0)) temperature = 0;
  }
  if (dd === 99 && ff === 0) return {direction: null, speed: 0, orMore: false, light: true, temperature};
  if (dd >= 1 && dd <= 36) return {direction: dd * 10, speed: ff, orMore: false, light: false, temperature};
  // 100 kt and more: 50 added to the direction, 100 taken off the speed; 99 stands for 199 or more.
  if (dd >= 51 && dd <= 86) {
    return {direction: (dd - 50) * 10, speed: ff + 100, orMore: ff === 99, light: false, temperature};
  }
  throw new WindsTableError(`"${text}" at ${level} ft has no direction ${dd}0°`);
}

/** The moment of a day-of-month time "DDHHMM": the one within half a month of `near`. */
function dayTime(text, near) {
  const [day, hour, minute] = [Number(text.slice(0, 2)), Number(text.slice(2, 4)), Number(text.slice(4, 6))];
  if (day < 1 || day > 31 || hour > 23 || minute > 59) return NaN;
  const base = new Date(near);
  let best = NaN;
  for (const months of [-1, 0, 1]) {
    const candidate = Date.UTC(base.getUTCFullYear(), base.getUTCMonth() + months, day, hour, minute);
    if (new Date(candidate).getUTCDate() !== day) continue;  // no such day in that month
    if (Number.isNaN(best) || Math.abs(candidate - near) < Math.abs(best - near)) best = candidate;
  }
  return best;
}

/** "HHMM" as the last such moment at or before `time` (`before`), or the first after it. */
function clockTime(text, time, before) {
  const [hour, minute] = [Number(text.slice(0, 2)), Number(text.slice(2, 4))];
  if (hour > 24 || minute > 59) return NaN;
  const day = Math.floor(time / DAY) * DAY;
  let moment = day + hour * HOUR + minute * MINUTE;
  if (before) {
    while (moment > time) moment -= DAY;
  } else {
    while (moment <= time) moment += DAY;
  }
  return moment;
}

/**
 * Decodes a `winds` reply: {product ("FD1US1", or "" when the text does not name it), issued,
 * basedOn, valid, useFrom, useTo (ms), levels [feet], stations [{id, winds: [cell or null] by
 * level]}}. A bulletin that is not whole and exact (no valid time, no "FT" line, a cell off its
 * column or following no rule) throws WindsTableError, so nothing of it is drawn.
 * @param {any} reply
 * @param {number} [now]  for a reply without an issuance time
 */
export function decodeWinds(reply, now = Date.now()) {
  if (!reply || typeof reply !== 'object' || typeof reply.productText !== 'string') {
    throw new WindsTableError('the reply holds no bulletin text');
  }
  if (reply.productText.length > MAX_TEXT) throw new WindsTableError('the text is far longer than a bulletin');
  const issued = typeof reply.issuanceTime === 'string' ? Date.parse(reply.issuanceTime) : NaN;
  const near = Number.isFinite(issued) ? issued : now;
  const lines = reply.productText.replace(/\r\n?/g, '\n').split('\n');
  const product = lines.map((line) => line.trim()).find((line) => /^FD\dUS\d$/.test(line)) || '';
  const based = lines.map((line) => /^DATA BASED ON (\d{6})Z/.exec(line.trim())).find(Boolean);
  const validLine = lines.map((line) => /^VALID (\d{6})Z\s+FOR USE (\d{4})-(\d{4})Z/.exec(line.trim())).find(Boolean);
  if (!validLine) throw new WindsTableError('it has no "VALID … FOR USE …" line');
  const valid = dayTime(validLine[1], near);
  const useFrom = clockTime(validLine[2], valid, true);
  const useTo = clockTime(validLine[3], useFrom, false);
  if (!Number.isFinite(valid) || !Number.isFinite(useFrom) || !Number.isFinite(useTo) ||
      useTo - useFrom > DAY || useTo < valid) {
    throw new WindsTableError(`its valid time "${validLine[0]}" cannot be read`);
  }
  const header = lines.findIndex((line) => /^FT\s/.test(line));
  if (header < 0) throw new WindsTableError('it has no "FT" line naming its levels');
  const labels = [...lines[header].matchAll(/\S+/g)].slice(1);
  const levels = labels.map((label) => (/^\d{4,5}$/.test(label[0]) ? Number(label[0]) : NaN));
  if (!levels.length || levels.some((level, i) => !Number.isFinite(level) || (i && level <= levels[i - 1]))) {
    throw new WindsTableError(`its "FT" line "${lines[header].trim()}" does not name rising levels`);
  }
  const ends = labels.map((label) => label.index + label[0].length);
  const starts = [4, ...ends.slice(0, -1)];
  if (starts[0] >= ends[0]) throw new WindsTableError('its first level starts inside the station column');
  const stations = [];
  const seen = new Set();
  for (const line of lines.slice(header + 1)) {
    const row = line.trimEnd();
    if (!row) {
      if (stations.length) break;  // the table ends at its first blank line
      continue;
    }
    if (row === '$$') break;
    const id = row.slice(0, 3);
    if (!ROW_ID.test(id) || (row.length > 3 && row[3] !== ' ')) {
      throw new WindsTableError(`the row "${row.slice(0, 24)}" does not start with a station`);
    }
    if (row.length > ends[ends.length - 1]) {
      throw new WindsTableError(`the row of ${id} runs past its last column`);
    }
    if (seen.has(id)) throw new WindsTableError(`${id} has two rows`);
    seen.add(id);
    const winds = levels.map((level, i) => {
      const cell = row.slice(starts[i], ends[i]);
      // A cell ends under its level's label: one that ends early belongs to a shifted table.
      if (cell.trim() && cell.trimEnd().length !== ends[i] - starts[i]) {
        throw new WindsTableError(`the row of ${id}: "${cell.trim()}" does not end under ${level}`);
      }
      try {
        return decodeWindCell(cell, level);
      } catch (error) {
        throw new WindsTableError(`the row of ${id}: ${error.message}`);
      }
    });
    stations.push({id, winds});
    if (stations.length > MAX_ROWS) throw new WindsTableError('it has more rows than any bulletin');
  }
  if (!stations.length) throw new WindsTableError('it has no station rows');
  return {product, issued, basedOn: based ? dayTime(based[1], near) : NaN, valid, useFrom, useTo, levels, stations};
}

/**
 * The wind and temperature of one station's column at `feet`, between the two levels around it
 * (as vectors; light and variable counts as calm): {direction, speed, temperature, light} or
 * null when the column has neither level (below its first reported one, above its last).
 * @param {{levels: number[]}} table
 * @param {{winds: (ReturnType<typeof decodeWindCell>)[]}} station
 * @param {number} feet
 */
export function columnAt(table, station, feet) {
  const {levels} = table;
  let upper = levels.findIndex((level) => level >= feet);
  if (upper < 0) return null;
  const lower = levels[upper] === feet ? upper : upper - 1;
  if (lower < 0) return null;
  const [a, b] = [station.winds[lower], station.winds[upper]];
  if (!a || !b) return null;
  const share = lower === upper ? 0 : (feet - levels[lower]) / (levels[upper] - levels[lower]);
  const [ua, va] = components(a);
  const [ub, vb] = components(b);
  const [u, v] = [ua + (ub - ua) * share, va + (vb - va) * share];
  const temperature = a.temperature !== null && b.temperature !== null ?
    a.temperature + (b.temperature - a.temperature) * share : share < 0.5 ? a.temperature : b.temperature;
  return fromComponents(u, v, temperature);
}

/** East and north components (kt) of the air's motion for a wind blowing from `direction`. */
function components(wind) {
  if (wind.light || wind.direction === null) return [0, 0];
  const radians = (wind.direction * Math.PI) / 180;
  return [-wind.speed * Math.sin(radians), -wind.speed * Math.cos(radians)];
}

function fromComponents(u, v, temperature) {
  const speed = Math.hypot(u, v);
  if (speed < 0.5) return {direction: null, speed: 0, temperature, light: true};
  const direction = ((Math.atan2(-u, -v) * 180) / Math.PI + 360) % 360;
  return {direction: Math.round(direction) || 360, speed, temperature, light: false};
}

/**
 * The wind at a place and altitude: weighted by inverse distance squared over the nearest
 * stations (at most `count`, within `withinNm`) whose columns reach that altitude; null when
 * none does. `position(id)` gives a station's {lat, lon} or null.
 * @param {ReturnType<typeof decodeWinds>} table
 * @param {(id: string) => ({lat: number, lon: number} | null)} position
 * @param {{lat: number, lon: number}} point
 * @param {number} feet
 */
export function windAt(table, position, point, feet, {count = 3, withinNm = 250} = {}) {
  return windField(table, position, feet, {count, withinNm})(point);
}

/**
 * windAt for many places at one altitude: the stations' positions and their winds at `feet`
 * are found once, so each place costs only the distances.
 * @param {ReturnType<typeof decodeWinds>} table
 * @param {(id: string) => ({lat: number, lon: number} | null)} position
 * @param {number} feet
 * @returns {(point: {lat: number, lon: number}) => ReturnType<typeof fromComponents> & {stations: string[]} | null}
 */
export function windField(table, position, feet, {count = 3, withinNm = 250} = {}) {
  const columns = [];
  for (const station of table.stations) {
    const at = position(station.id);
    const wind = at && columnAt(table, station, feet);
    if (wind) columns.push({at, wind, id: station.id, uv: components(wind)});
  }
  return (point) => {
    const near = [];
    for (const column of columns) {
      const nm = nauticalMiles(point, column.at);
      if (nm <= withinNm) near.push({nm, column});
    }
    near.sort((a, b) => a.nm - b.nm);
    const used = near.slice(0, count);
    if (!used.length) return null;
    let [u, v, t, weights, tWeights] = [0, 0, 0, 0, 0];
    for (const {nm, column} of used) {
      const weight = 1 / Math.max(nm, 1) ** 2;
      u += column.uv[0] * weight;
      v += column.uv[1] * weight;
      weights += weight;
      if (column.wind.temperature !== null) {
        t += column.wind.temperature * weight;
        tWeights += weight;
      }
    }
    return {...fromComponents(u / weights, v / weights, tWeights ? t / tWeights : null),
      stations: used.map((entry) => entry.column.id)};
  };
}

const EARTH_NM = 3440.065;

/** Great-circle distance in nautical miles. */
export function nauticalMiles(from, to) {
  const rad = Math.PI / 180;
  const dLat = (to.lat - from.lat) * rad;
  const dLon = (to.lon - from.lon) * rad;
  const h = Math.sin(dLat / 2) ** 2 + Math.cos(from.lat * rad) * Math.cos(to.lat * rad) * Math.sin(dLon / 2) ** 2;
  return 2 * EARTH_NM * Math.asin(Math.min(1, Math.sqrt(h)));
}
