// Which time zone a place keeps: from the build's table of the West (data/time-zones.js, looked
// up in the time zone boundaries at build time), loaded after the first drawing. Until it is
// loaded, and outside the area, no zone is known and times show in this computer's zone.

/** @typedef {import('../data/time-zones.js').TimeZoneTable} TimeZoneTable */

/** @type {TimeZoneTable | null} */
let table = null;

/** Uses the table from now on. @param {TimeZoneTable} loaded */
export function setTimeZoneTable(loaded) {
  table = loaded;
}

/**
 * The IANA zone in force at a spot ("America/Denver"); null where the table does not reach or
 * before it is loaded.
 * @param {number} lat @param {number} lon
 * @returns {string | null}
 */
export function timeZoneAt(lat, lon) {
  if (!table || !Number.isFinite(lat) || !Number.isFinite(lon)) return null;
  const row = Math.floor((lat - table.south) / table.step);
  let column = Math.floor((lon - table.west) / table.step);
  const runs = table.runs[row];
  if (!runs || column < 0) return null;
  for (let i = 0; i < runs.length; i += 2) {
    if (column < runs[i + 1]) return table.zones[runs[i]] || null;
    column -= runs[i + 1];
  }
  return null;  // east of the last cell
}

/**
 * A station's zone: its own where the table names it (an airport beside a zone line), else the
 * zone at its position.
 * @param {{id?: string, lat: number, lon: number}} station
 * @returns {string | null}
 */
export function stationTimeZone(station) {
  const own = table && station.id && Object.hasOwn(table.stations, station.id) ? table.stations[station.id] : null;
  return own || timeZoneAt(station.lat, station.lon);
}
