// The base map's data that the first drawing does not wait for: county shapes (alerts drawn by
// county, the county under a point, county lines) and place names. Both are modules of the
// build's data folder, imported after the map is up.

import feature from '../../vendor/topojson-client/feature.js';
import merge from '../../vendor/topojson-client/merge.js';
import mesh from '../../vendor/topojson-client/mesh.js';
import {alertPolygons, insidePolygons} from '../alerts.js';
import {yieldToBrowser} from '../slices.js';

/**
 * @typedef {ReturnType<typeof countyLookup>} CountyLookup
 */

/**
 * Counties from a TopoJSON topology whose geometries carry 5-digit ids: shape(id) gives the
 * county's polygons as [lat, lon] rings (null for an unknown id), outline(ids) the outline of
 * several counties together (the same form; [] when none is known), at(lat, lon) the id of the
 * county holding a point (null outside them all), lines the county borders as GeoJSON.
 */
/** @param {import('../../data/counties.js').CountyTopology} topology */
function countyLookup(topology) {
  const counties = topology.objects.counties;
  const geometries = new Map(counties.geometries.map((g) => [g.id, g]));
  const outlines = new Map();  // sorted ids → polygons; alerts often name the same counties
  const shapes = new Map();
  const boxes = [];
  for (const county of feature(topology, counties).features) {
    const polygons = alertPolygons(county.geometry);
    if (!polygons.length) continue;
    shapes.set(county.id, polygons);
    const points = polygons.flat(2);
    const lats = points.map((p) => p[0]);
    const lons = points.map((p) => p[1]);
    boxes.push({id: county.id, south: Math.min(...lats), north: Math.max(...lats),
      west: Math.min(...lons), east: Math.max(...lons)});
  }
  return {
    shape: (id) => shapes.get(id) || null,
    outline(ids) {
      const key = [...ids].sort().join(' ');
      if (!outlines.has(key)) {
        const known = ids.map((id) => geometries.get(id)).filter(Boolean);
        outlines.set(key, known.length ? alertPolygons(merge(topology, known)) : []);
      }
      return outlines.get(key);
    },
    at(lat, lon) {
      for (const box of boxes) {
        if (lat < box.south || lat > box.north || lon < box.west || lon > box.east) continue;
        if (insidePolygons(shapes.get(box.id), {lat, lon})) return box.id;
      }
      return null;
    },
    lines: () => mesh(topology, counties, (a, b) => a !== b),
    size: shapes.size,
  };
}

/**
 * Imports the county topology and the place list; resolves {counties, places}.
 * @returns {Promise<{counties: CountyLookup, places: import('../../data/places.js').Place[]}>}
 */
export async function loadBaseData() {
  const [counties, places] = await Promise.all([import('../../data/counties.js'),
    import('../../data/places.js')]);
  await yieldToBrowser();  // the modules' own running was one task; the county table is another
  return {counties: countyLookup(counties.default), places: places.default};
}

/**
 * Imports the station directory: [{id, name, state, lat, lon, size}].
 * @returns {Promise<import('../../data/stations.js').DirectoryStation[]>}
 */
export async function loadStationDirectory() {
  return (await import('../../data/stations.js')).default;
}
