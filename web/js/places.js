// Place names on the base map: the zoom at which each town's label first shows, so the map
// names the biggest places first and more as one zooms in, without labels piling up. The build
// computes it once for the place list (scripts/web-data.mjs); the page only compares zooms.

const TILE_PIXELS = 256;

/**
 * Web Mercator pixel position {x, y} of a point at a map zoom (Leaflet's default projection).
 * @param {number} lat
 * @param {number} lon
 * @param {number} zoom
 * @returns {{x: number, y: number}}
 */
export function mercatorPixel(lat, lon, zoom) {
  const scale = TILE_PIXELS * 2 ** zoom;
  const sin = Math.sin(lat * Math.PI / 180);
  return {
    x: (lon + 180) / 360 * scale,
    y: (0.5 - Math.log((1 + sin) / (1 - sin)) / (4 * Math.PI)) * scale,
  };
}

/**
 * The smallest population named at a zoom: 200,000 at zoom 4, a quarter of that per step in.
 * @param {number} zoom
 * @returns {number}
 */
export function populationFloor(zoom) {
  return 200000 / 4 ** (zoom - 4);
}

/**
 * The first zoom at which each of `places` ({lat, lon, population}) shows, in input order: from
 * minZoom up, the places already shown keep their spot and the others join, largest population
 * first, where they reach the zoom's population floor and lie at least `spacing` pixels from
 * every label shown at that zoom. A place that never fits up to maxZoom gets maxZoom + 1.
 * @param {{lat: number, lon: number, population?: number}[]} places
 * @param {{minZoom?: number, maxZoom?: number, spacing?: number, floor?: (zoom: number) => number}} [how]
 *   minZoom 4, maxZoom 12, spacing 64 px, floor populationFloor
 * @returns {number[]}
 */
export function labelZooms(places, {minZoom = 4, maxZoom = 12, spacing = 64,
  floor = populationFloor} = {}) {
  const order = places.map((_, index) => index)
      .sort((a, b) => (places[b].population || 0) - (places[a].population || 0));
  const zooms = new Array(places.length).fill(maxZoom + 1);
  for (let zoom = minZoom; zoom <= maxZoom; zoom++) {
    const cells = new Map();  // "column,row" of a spacing-sized cell → pixels of its labels
    const pixel = (index) => mercatorPixel(places[index].lat, places[index].lon, zoom);
    const cellKey = (x, y) => `${Math.floor(x / spacing)},${Math.floor(y / spacing)}`;
    const add = (point) => {
      const key = cellKey(point.x, point.y);
      if (!cells.has(key)) cells.set(key, []);
      cells.get(key).push(point);
    };
    const crowded = ({x, y}) => {
      for (let dx = -1; dx <= 1; dx++) {
        for (let dy = -1; dy <= 1; dy++) {
          const near = cells.get(cellKey(x + dx * spacing, y + dy * spacing)) || [];
          if (near.some((other) => Math.hypot(other.x - x, other.y - y) < spacing)) return true;
        }
      }
      return false;
    };
    // Labels shown at a lower zoom stay: they only move apart as the map grows.
    for (const index of order) if (zooms[index] < zoom) add(pixel(index));
    for (const index of order) {
      if (zooms[index] < zoom || !((places[index].population || 0) >= floor(zoom))) continue;
      const point = pixel(index);
      if (crowded(point)) continue;
      zooms[index] = zoom;
      add(point);
    }
  }
  return zooms;
}
