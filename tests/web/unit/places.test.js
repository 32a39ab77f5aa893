import counties from '/data/counties.js';
import places from '/data/places.js';
import stations from '/data/stations.js';
import {METAR_AREA, distanceMetres} from '/js/geo.js';
import {labelZooms, mercatorPixel, populationFloor} from '/js/places.js';
import {CRS, latLng} from '/vendor/leaflet/leaflet-src.esm.js';
import {feature} from '/vendor/topojson-client/index.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

const WESTERN_STATES = ['UT', 'AZ', 'NV', 'CA', 'CO', 'NM', 'OR', 'WA', 'ID', 'MT', 'WY'];
const at = (lon, population, lat = 0) => ({lat, lon, population});
// At zoom 4 a degree of longitude is 4096 / 360 pixels: 64 pixels are 5.625°.
const SPACING_DEGREES_AT_4 = 5.625;

/** Fails when two places shown at the same zoom lie closer than `spacing` pixels. */
function assertSpaced(list, zooms, spacing = 64) {
  for (let zoom = 4; zoom <= 12; zoom++) {
    const shown = list.filter((_, i) => zooms[i] <= zoom).map((p) => mercatorPixel(p.lat, p.lon, zoom));
    const cells = new Map();
    for (const point of shown) {
      const key = `${Math.floor(point.x / spacing)},${Math.floor(point.y / spacing)}`;
      for (let dx = -1; dx <= 1; dx++) {
        for (let dy = -1; dy <= 1; dy++) {
          const near = cells.get(`${Math.floor(point.x / spacing) + dx},${Math.floor(point.y / spacing) + dy}`);
          for (const other of near || []) {
            assert.isAtLeast(Math.hypot(other.x - point.x, other.y - point.y), spacing, `zoom ${zoom}`);
          }
        }
      }
      cells.set(key, [...(cells.get(key) || []), point]);
    }
  }
}

describe('#mercatorPixel', () => {
  it('places points where Leaflet\'s Web Mercator does', () => {
    const rows = [
      // lat, lon, zoom
      [0, 0, 0], [0, -180, 0], [0, 180, 2], [85.0511287798, 0, 0], [-85.0511287798, 0, 1],
      [40.76, -111.89, 5], [METAR_AREA.south, METAR_AREA.west, 12], [METAR_AREA.north, METAR_AREA.east, 8],
      [38.5733, -109.5498, 11],
    ];
    for (const [lat, lon, zoom] of rows) {
      const pixel = mercatorPixel(lat, lon, zoom);
      const leaflet = CRS.EPSG3857.latLngToPoint(latLng(lat, lon), zoom);
      assert.closeTo(pixel.x, leaflet.x, 1e-6, `x of ${lat},${lon} at ${zoom}`);
      assert.closeTo(pixel.y, leaflet.y, 1e-6, `y of ${lat},${lon} at ${zoom}`);
    }
    assert.deepEqual(mercatorPixel(0, 0, 0), {x: 128, y: 128});
  });
});

describe('#labelZooms', () => {
  it('names a place from the zoom whose population floor it reaches', () => {
    assert.strictEqual(populationFloor(5), 50000);
    const rows = [[200000, 4], [199999, 5], [50001, 5], [50000, 5], [49999, 6], [1000, 8], [0, 13],
      [undefined, 13]];
    for (const [population, zoom] of rows) {
      assert.deepEqual(labelZooms([at(0, population)]), [zoom], `population ${population}`);
    }
  });
  it('keeps labels a spacing apart and lets the larger place go first', () => {
    const rows = [
      // second place's longitude (first at 0, both large), zooms
      [SPACING_DEGREES_AT_4, [4, 4]], [SPACING_DEGREES_AT_4 - 0.01, [4, 5]],
      [SPACING_DEGREES_AT_4 / 2, [4, 5]], [SPACING_DEGREES_AT_4 / 2 - 0.01, [4, 6]], [0, [4, 13]],
    ];
    for (const [lon, zooms] of rows) {
      assert.deepEqual(labelZooms([at(0, 900000), at(lon, 800000)]), zooms, `at ${lon}°`);
      assert.deepEqual(labelZooms([at(lon, 800000), at(0, 900000)]), [...zooms].reverse(), `at ${lon}°`);
    }
  });
  it('keeps a label already shown when a larger place becomes free beside it', () => {
    // The 900,000 place is crowded out by the largest at zoom 4; the 300,000 place fits there
    // and keeps its spot at zoom 5, so the larger one waits for zoom 6.
    const list = [at(0, 1000000), at(4, 900000), at(6.5, 300000)];
    const zooms = labelZooms(list);
    assert.deepEqual(zooms, [4, 6, 4]);
    assertSpaced(list, zooms);
  });
});

describe('place data', () => {
  it('names the towns of every western state, largest first, spaced at each zoom', () => {
    assert.isAbove(places.length, 2000);
    for (const state of WESTERN_STATES) {
      assert.isAbove(places.filter((place) => place.state === state).length, 15, state);
    }
    for (let i = 1; i < places.length; i++) {
      assert.isAtLeast(places[i - 1].population, places[i].population, places[i].name);
    }
    assertSpaced(places, places.map((place) => place.zoom));
  });
  it('has the towns people look for, the cities first', () => {
    const find = (name, state) => places.find((place) => place.name === name && place.state === state);
    for (const [name, state, lat, lon, zoomAtMost] of [['Salt Lake City', 'UT', 40.76, -111.89, 5],
      ['Denver', 'CO', 39.74, -104.98, 4], ['Moab', 'UT', 38.57, -109.55, 7],
      ['Española', 'NM', 35.99, -106.08, 12], ['Jackson', 'WY', 43.48, -110.76, 8]]) {
      const place = find(name, state);
      assert.isOk(place, name);
      assert.closeTo(place.lat, lat, 0.02, name);
      assert.closeTo(place.lon, lon, 0.02, name);
      assert.isAtMost(place.zoom, zoomAtMost, name);
    }
  });
});

describe('station data', () => {
  it('lists airports with full names, and the same states as the METAR records', async () => {
    const west = await testDocument('awc/metar_west.json');
    const byId = new Map(stations.map((station) => [station.id, station]));
    assert.strictEqual(byId.size, stations.length, 'one entry per identifier');
    for (const station of stations) assert.match(station.id, /^K[A-Z]{3}$/);
    assert.deepEqual(byId.get('KSLC'), {id: 'KSLC', name: 'Salt Lake City International Airport',
      state: 'UT', lat: 40.7856, lon: -111.9807, size: 'large'});
    // The package places a few airports at their town (KTPH 13 km off): all within 15 km, most
    // within 3 km of where the reports place them.
    const offsets = [];
    for (const record of west) {
      const station = byId.get(record.icaoId);
      if (!station) continue;
      assert.strictEqual(station.state, record.name.split(', ').at(-2), record.icaoId);
      const km = distanceMetres(station, record) / 1000;
      assert.isBelow(km, 15, record.icaoId);
      offsets.push(km);
    }
    const compared = offsets.length;
    assert.isAtLeast(offsets.filter((km) => km < 3).length, 0.9 * compared);
    assert.isAtLeast(compared, 55);
  });
});

describe('county data', () => {
  it('draws each county as us-atlas does, with its name and state', async () => {
    const response = await fetch('/__modules/us-atlas/counties-10m.json');
    const atlas = await response.json();
    const whole = new Map(feature(atlas, atlas.objects.counties).features.map((f) => [f.id, f]));
    const west = feature(counties, counties.objects.counties).features;
    assert.isAbove(west.length, 400);
    for (const county of west) {
      assert.deepEqual(county.geometry, whole.get(county.id).geometry, county.id);
    }
    const ids = new Set(west.map((county) => county.id));
    for (const [id, name, state] of [['49035', 'Salt Lake', 'UT'], ['16045', 'Gem', 'ID'],
      ['06037', 'Los Angeles', 'CA'], ['53033', 'King', 'WA']]) {
      assert.deepEqual(west.find((county) => county.id === id).properties, {name, state}, id);
    }
    for (const outside of ['19009', '12086', '36061']) assert.isFalse(ids.has(outside), outside);
  });
});
