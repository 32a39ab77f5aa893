// The base map under the weather: the National Map's shaded relief with its rivers and lakes
// ("Terrain"), its topographic map ("Topographic"), or the offline vector map alone ("Plain").
// The vector map is always drawn underneath, so where tiles fail it shows through.

import {ImageTiles} from './tiles.js';

export const BASE_MAP_HOST = 'https://basemap.nationalmap.gov';

/** The choices, each with the cached tile services it stacks (bottom first). */
export const BASE_MAPS = {
  terrain: {label: 'Terrain', services: ['USGSShadedReliefOnly', 'USGSHydroCached']},
  topographic: {label: 'Topographic', services: ['USGSTopo']},
  plain: {label: 'Plain', services: []},
};

/** The tile address of a cached National Map service (note: row before column). */
export function baseTileUrl(service, {x, y, z}) {
  return `${BASE_MAP_HOST}/arcgis/rest/services/${service}/MapServer/tile/${z}/${y}/${x}`;
}

export class BaseMap {
  /**
   * @param {{map: any, pane: string, onChange: () => void}} options
   */
  constructor({map, pane, onChange}) {
    this.map = map;
    this.pane = pane;
    this.onChange = onChange;
    this.choice = 'plain';
    /** @type {any[]} */
    this.layers = [];
  }

  /** @param {string} choice  a key of BASE_MAPS */
  choose(choice) {
    if (!BASE_MAPS[choice]) choice = 'terrain';
    this.choice = choice;
    for (const layer of this.layers) layer.remove();
    this.map.getPane(this.pane).dataset.baseMap = choice;
    this.layers = BASE_MAPS[choice].services.map((service, index) => {
      const layer = new ImageTiles({pane: this.pane, maxNativeZoom: 15, zIndex: index, keepBuffer: 2,
        tileUrl: (coords) => baseTileUrl(service, coords)});
      layer.on('load tileerror tileload', () => this.onChange());
      return layer.addTo(this.map);
    });
    this.onChange();
  }

  /** 'plain', 'loading', 'drawn', 'partial' (some tiles failed) or 'unavailable' (all did). */
  state() {
    if (!this.layers.length) return 'plain';
    const loaded = this.layers.reduce((sum, layer) => sum + layer.counts.loaded, 0);
    const failed = this.layers.reduce((sum, layer) => sum + layer.counts.failed, 0);
    if (this.layers.some((layer) => !layer.settled())) return failed && !loaded ? 'unavailable' : 'loading';
    if (failed && !loaded) return 'unavailable';
    return failed ? 'partial' : 'drawn';
  }
}
