// The search box's suggestions: towns and stations by any word's beginning, regardless of case
// and accents, and positions written as coordinates. The index is built once from the data and
// answers each keystroke without scanning every entry.
import {parseCoordinates} from './coordinates.js';
import {formatCoordinate} from './geo.js';

// Short forms people type for words in place and airport names.
const SHORT_FORMS = {saint: 'st', fort: 'ft', mount: 'mt', international: 'intl',
  regional: 'rgnl', municipal: 'muni'};
const LONG_FORMS = Object.fromEntries(Object.entries(SHORT_FORMS).map(([long, short]) => [short, long]));
const STATION_ID = /^[A-Z0-9]{3,5}$/;
// Sorts after every letter: a prefix followed by it bounds all the words that start with it.
const HIGHEST_CHARACTER = '\uffff';
const AIRPORT_SIZES = {large: 3, medium: 2, small: 1};

/**
 * `text` folded for matching: accents gone, lower case, apostrophes dropped, other marks blanks.
 * @param {any} text
 * @returns {string}
 */
export function foldText(text) {
  const written = String(text ?? '');
  if (!/[^\x20-\x7e]/.test(written)) {  // plain ASCII, most names: the quick way
    return written.toLowerCase().replace(/'/g, '').replace(/[^a-z0-9]+/g, ' ').trim();
  }
  return written.normalize('NFD').replace(/\p{M}+/gu, '').toLowerCase()
      .replace(/['’]/g, '').replace(/[^\p{L}\p{N}]+/gu, ' ').trim();
}

/** Folded text with each word in its short form ("saint george" → "st george"), for ranking. */
function canonical(text) {
  return foldText(text).split(' ').map((word) => SHORT_FORMS[word] || word).join(' ');
}

/** The words an entry is found by: those of its names in both forms, and its state as written. */
function wordsOf(names, state) {
  const words = new Set(state ? [state.toLowerCase()] : []);
  for (const text of names) {
    // "Coeur d'Alene" is found as "coeur dalene" and as "coeur d alene".
    for (const folded of [foldText(text), foldText(String(text ?? '').replace(/['’]/g, ' '))]) {
      for (const word of folded.split(' ')) {
        if (!word) continue;
        words.add(word);
        if (SHORT_FORMS[word]) words.add(SHORT_FORMS[word]);
        if (LONG_FORMS[word]) words.add(LONG_FORMS[word]);
      }
    }
  }
  return [...words];
}

const placeOk = (place) => typeof place?.name === 'string' && place.name.trim() !== '' &&
    Number.isFinite(place.lat) && Number.isFinite(place.lon);

/** The first position in the sorted `words` whose word is not below `word`. */
function lowerBound(words, word) {
  let low = 0;
  let high = words.length;
  while (low < high) {
    const middle = (low + high) >> 1;
    if (words[middle] < word) low = middle + 1;
    else high = middle;
  }
  return low;
}

/**
 * Builds the index once from `places` ({name, state, lat, lon, population}) and `stations`
 * ({id, name, state, lat, lon, size: 'large'|'medium'|'small' or none}); a station listed
 * twice keeps its first entry (put stations
 * from the METAR replies before the directory to prefer their names and positions). Entries
 * without a name, identifier or position are left out. Returns {size, search}.
 * @param {{places?: {name: string, state?: string, lat: number, lon: number, population?: number}[],
 *   stations?: {id: string, name?: string, state?: string, lat: number, lon: number, size?: string}[]}} [data]
 *   both default []
 */
export function createSearchIndex({places = [], stations = []} = {}) {
  const entries = [];
  const ids = new Set();
  for (const station of stations) {
    const id = typeof station?.id === 'string' ? station.id.trim().toUpperCase() : '';
    if (!STATION_ID.test(id) || ids.has(id) || !Number.isFinite(station.lat) ||
        !Number.isFinite(station.lon)) continue;
    ids.add(id);
    const name = typeof station.name === 'string' ? station.name.trim() : '';
    const state = typeof station.state === 'string' ? station.state : '';
    const shortId = /^K[A-Z]{3}$/.test(id) ? id.slice(1) : '';  // "SLC" finds KSLC
    entries.push({kind: 'station', id, name, state, lat: station.lat, lon: station.lon,
      folded: canonical(name), words: wordsOf([id, shortId, name], state), shortId,
      rank: AIRPORT_SIZES[station.size] || 0});
  }
  for (const place of places) {
    if (!placeOk(place)) continue;
    const state = typeof place.state === 'string' ? place.state : '';
    entries.push({kind: 'place', name: place.name.trim(), state, lat: place.lat, lon: place.lon,
      population: Number.isFinite(place.population) ? place.population : 0,
      folded: canonical(place.name), words: wordsOf([place.name], state)});
  }
  // Every entry's words in one sorted list, so a word's beginning is found by bisection.
  const pairs = entries.flatMap((entry, index) => entry.words.map((word) => [word, index]))
      .sort((a, b) => (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0));
  const words = pairs.map((pair) => pair[0]);
  const owners = pairs.map((pair) => pair[1]);

  // Lower tiers first: the station named by its identifier, the town named in full, towns and
  // stations whose name starts with the text, then any word's beginning. `folded` is canonical.
  function tier(entry, folded) {
    if (entry.kind === 'station') {
      const id = entry.id.toLowerCase();
      if (id === folded || entry.shortId.toLowerCase() === folded) return 1;
      if (id.startsWith(folded)) return 4;
      return entry.folded.startsWith(folded) ? 5 : 7;
    }
    if (entry.folded === folded || `${entry.folded} ${entry.state.toLowerCase()}` === folded) return 2;
    return entry.folded.startsWith(folded) ? 3 : 6;
  }

  /**
   * Up to `limit` suggestions for `query`: {kind: 'coordinates'|'station'|'place', name, state,
   * lat, lon, label}, stations with their `id`, places with their `population`; towns by
   * population, stations by airport size, then identifier within a tier. Never throws; [] for
   * nothing found.
   */
  function search(query, {limit = 8} = {}) {
    if (typeof query !== 'string' || !(limit >= 1)) return [];
    const found = [];
    const position = parseCoordinates(query);
    if (position) {
      found.push({kind: 'coordinates', name: query.trim(), state: '', ...position,
        label: `${position.lat.toFixed(4)}, ${position.lon.toFixed(4)}`});
    }
    const folded = foldText(query);
    if (!folded || position) return found.slice(0, limit);
    const queryWords = [...new Set(folded.split(' '))];
    const ranked = canonical(query);
    const key = queryWords.reduce((a, b) => (b.length > a.length ? b : a));
    const candidates = new Set();
    for (let at = lowerBound(words, key), end = lowerBound(words, key + HIGHEST_CHARACTER); at < end; at++) {
      candidates.add(owners[at]);
    }
    const matches = [];
    for (const index of candidates) {
      const entry = entries[index];
      if (queryWords.every((word) => entry.words.some((own) => own.startsWith(word)))) {
        matches.push({entry, tier: tier(entry, ranked)});
      }
    }
    const byText = (a, b) => (a < b ? -1 : a > b ? 1 : 0);
    matches.sort((a, b) => a.tier - b.tier ||
        (b.entry.population ?? -1) - (a.entry.population ?? -1) ||
        (b.entry.rank ?? 0) - (a.entry.rank ?? 0) ||
        byText(a.entry.id ?? '', b.entry.id ?? '') || byText(a.entry.name, b.entry.name));
    const chosen = matches.slice(0, limit - found.length);
    // A long list of towns keeps one line for the best station that matches too.
    const station = matches.find((match) => match.entry.kind === 'station');
    if (station && !chosen.includes(station) && chosen.length >= 2) chosen[chosen.length - 1] = station;
    return [...found, ...chosen.map(({entry}) => suggestion(entry))];
  }

  return {size: entries.length, search};
}

function suggestion(entry) {
  const where = entry.state ? `, ${entry.state}` : '';
  if (entry.kind === 'station') {
    return {kind: 'station', id: entry.id, name: entry.name, state: entry.state, lat: entry.lat,
      lon: entry.lon, label: `${entry.id}${entry.name ? ` ${entry.name}` : ''}${where}`};
  }
  return {kind: 'place', name: entry.name, state: entry.state, lat: entry.lat, lon: entry.lon,
    population: entry.population, label: `${entry.name}${where}`};
}

/**
 * @typedef {object} Suggestion  one line of the search field's list
 * @property {'place' | 'coordinates' | 'station' | 'route'} kind
 * @property {string} label  what the line says and the field takes when it is chosen
 * @property {string} detail  the line's second part
 * @property {{lat: number, lon: number}} point  where it is
 * @property {string} [id]  a station's identifier
 * @property {{lat: number, lon: number, label: string}[]} [points]  a written route's points
 */

/**
 * What the search field looks through: place names, the stations of the METAR replies (their
 * names are the ones on the map, so they come first) and the airport directory, each given to
 * set() when it arrives. suggest(query, limit) answers the field; a station for which
 * hasReport(id) is false says it has no current report.
 * @param {{hasReport: (id: string) => boolean}} options
 */
export function createSearchSources({hasReport}) {
  const sources = {places: [], reported: [], directory: []};
  /** @type {ReturnType<typeof createSearchIndex> | null} built when first asked after a change */
  let index = null;
  return {
    /**
     * Takes new data; the index is built again only when the field next asks, so a refresh of
     * tens of thousands of stations costs nothing until someone searches.
     * @param {{places?: {name: string, state: string, lat: number, lon: number, population: number}[],
     *   reported?: {id: string, name: string, lat: number, lon: number}[],
     *   directory?: {id: string, name: string, state: string, lat: number, lon: number}[]}} parts
     */
    set(parts) {
      Object.assign(sources, parts);
      index = null;
    },
    /** @param {string} query @param {number} limit @returns {Suggestion[]} */
    suggest(query, limit) {
      index ||= createSearchIndex({places: sources.places, stations: [...sources.reported, ...sources.directory]});
      return index.search(query, {limit}).map((found) => {
        const point = {lat: found.lat, lon: found.lon};
        if (found.kind === 'station') {
          return {kind: 'station', label: found.id, id: found.id, point,
            detail: `${found.name}${found.state ? `, ${found.state}` : ''}${hasReport(found.id) ? '' : ' · no current report'}`};
        }
        if (found.kind === 'coordinates') {
          return {kind: 'coordinates', label: `${formatCoordinate(found.lat)}, ${formatCoordinate(found.lon)}`,
            detail: 'Coordinates: the forecast there', point};
        }
        return {kind: 'place', label: `${found.name}, ${found.state}`, point,
          detail: found.population ? `Town · ${found.population.toLocaleString('en-US')} people` : 'Town'};
      });
    },
  };
}
