// The pictures of the weather and the base map: radar (on by default), satellite (off), the
// base-map choice, their blocks at the top of the layer panel and the loop control on the map.
// The page loads these images straight from the three imagery hosts its policy names; no
// request carries anything of the reader's.

import {el, replaceChildren} from '../dom.js';
import {loadJson, saveJson} from '../store.js';
import {formatTime} from '../time.js';
import {BASE_MAPS, BaseMap} from './base-map.js';
import {domainTimes, radarTimes} from './capabilities.js';
import {SOURCES} from './frames.js';
import {LoopControl} from './loop-control.js';
import {ImagerySource} from './source.js';
import {wmsUrl} from './tiles.js';

const TICK_MS = 30000;
const RADAR_SERVICE = 'https://opengeo.ncep.noaa.gov/geoserver/conus/conus_bref_qcd/ows';
export const RADAR_LAYER = 'conus_bref_qcd';
const SATELLITE_WMTS = 'https://gibs.earthdata.nasa.gov/wmts/epsg3857/best/wmts.cgi';
const SATELLITE_WMS = 'https://gibs.earthdata.nasa.gov/wms/epsg3857/best/wms.cgi';
// The tile matrix set the satellite layers' domains are asked for (both are 2 km products).
const SATELLITE_MATRIX_SET = 'GoogleMapsCompatible_Level7';
export const SATELLITE_PRODUCTS = {
  infrared: {layer: 'GOES-West_ABI_Band13_Clean_Infrared', label: 'Infrared (day and night)'},
  geocolor: {layer: 'GOES-West_ABI_GeoColor', label: 'GeoColor'},
};
// Times far older than a loop reaches are of no use.
const KEEP_TIMES_MS = 7 * 3600000;

/** The NWS reflectivity colours by their lower dBZ bound. @type {[number, string][]} */
export const DBZ_COLOURS = [
  [5, '#04e9e7'], [10, '#019ff4'], [15, '#0300f4'], [20, '#02fd02'], [25, '#01c501'], [30, '#008e00'],
  [35, '#fdf802'], [40, '#e5bc00'], [45, '#fd9500'], [50, '#fd0000'], [55, '#d40000'], [60, '#bc0000'],
  [65, '#f800fd'], [70, '#9854c6'], [75, '#fdfdfd'],
];

const clock = (ms) => formatTime(ms, {form: 'clock'});
const isoSeconds = (ms) => new Date(ms).toISOString().replace(/\.\d{3}Z$/, 'Z');

function dbzLegend() {
  const ramp = el('div', {className: 'dbz-ramp', role: 'img', 'aria-label':
    'Reflectivity colours from 5 dBZ (light, cyan) through green, yellow and red to 75 dBZ (white, extreme)'});
  for (const [dbz, colour] of DBZ_COLOURS) {
    const cell = el('span', {className: 'dbz-cell', title: `${dbz} dBZ`});
    cell.style.background = colour;
    ramp.appendChild(cell);
  }
  return el('div', {className: 'dbz-legend'},
      el('div', {className: 'dbz-title', text: 'Reflectivity (dBZ)'}), ramp,
      el('div', {className: 'dbz-scale', 'aria-hidden': 'true'},
          ...[5, 20, 35, 50, 65].map((dbz) => el('span', {text: String(dbz)}))),
      el('div', {className: 'note', text: 'Light rain ≈ 20, heavy rain and hail 50 and above.'}));
}

function opacityControl(id, source) {
  /** @type {HTMLInputElement} */
  const input = el('input', {type: 'range', id, min: '20', max: '100', step: '5',
    value: String(Math.round(source.opacity * 100))});
  input.addEventListener('input', () => {
    source.setOpacity(Number(input.value) / 100);
    saveJson(`${id}`, Number(input.value));
  });
  const stored = Number(loadJson(id));
  if (stored >= 20 && stored <= 100) {
    input.value = String(stored);
    source.setOpacity(stored / 100);
  }
  return el('div', {className: 'panel-row imagery-opacity'}, el('label', {for: id, text: 'Opacity'}), input);
}

/**
 * Sets up the imagery: its blocks go first in `container` (the layer panel).
 * @param {{map: any, container: HTMLElement, mapStatus: {set(key: string, entry: any): void},
 *   now?: () => number}} parts
 */
export function createImagery({map, container, mapStatus, now = () => Date.now()}) {
  const blocks = new Map();
  const onChange = (source) => {
    draw(source);
    loopControl?.update();
  };
  let product = SATELLITE_PRODUCTS[loadJson('satellite-product')] ? loadJson('satellite-product') : 'infrared';
  const radar = new ImagerySource({map, pane: 'radar', limits: SOURCES.radar, now, onChange,
    timesUrl: () => `${RADAR_SERVICE}?service=WMS&version=1.3.0&request=GetCapabilities`,
    readTimes: (text) => radarTimes(text, RADAR_LAYER, {keepMs: KEEP_TIMES_MS}),
    imageUrl: (time, bounds, width, height) => wmsUrl(RADAR_SERVICE, {LAYERS: RADAR_LAYER,
      TIME: new Date(time).toISOString()}, bounds, width, height)});
  const satellite = new ImagerySource({map, pane: 'satellite', limits: SOURCES.satellite, now, onChange,
    timesUrl: () => `${SATELLITE_WMTS}?SERVICE=WMTS&REQUEST=DescribeDomains&VERSION=1.0.0&LAYER=` +
      `${SATELLITE_PRODUCTS[product].layer}&TILEMATRIXSET=${SATELLITE_MATRIX_SET}`,
    readTimes: (text) => domainTimes(text, {keepMs: KEEP_TIMES_MS}),
    imageUrl: (time, bounds, width, height) => wmsUrl(SATELLITE_WMS, {LAYERS: SATELLITE_PRODUCTS[product].layer,
      TIME: isoSeconds(time)}, bounds, width, height)});
  const sources = [radar, satellite];

  const baseMap = new BaseMap({map, pane: 'baseTiles', onChange: () => drawBaseMapState()});
  const baseStatus = el('p', {className: 'layer-status base-map-status'});
  const baseChoice = el('fieldset', {className: 'base-map-choice'},
      el('legend', {text: 'Base map'}),
      ...Object.entries(BASE_MAPS).map(([key, {label}]) => {
        const input = el('input', {type: 'radio', name: 'base-map', id: `base-map-${key}`, value: key});
        input.addEventListener('change', () => {
          baseMap.choose(key);
          saveJson('base-map', key);
        });
        return el('label', {className: 'base-map-option', for: `base-map-${key}`}, input, label);
      }));
  const baseBlock = el('section', {className: 'layer imagery-block', dataset: {layer: 'base-map'}},
      baseChoice, baseStatus,
      el('p', {className: 'note', text: 'Terrain and Topographic: USGS The National Map.'}));

  function drawBaseMapState() {
    const state = baseMap.state();
    const texts = {plain: 'The offline map: states, counties and place names.', loading: 'Loading base map tiles…',
      drawn: '', partial: 'Some base map tiles could not be loaded; the plain map shows there.',
      unavailable: 'The base map tiles are unavailable; showing the plain map.'};
    baseStatus.textContent = texts[state];
    baseStatus.hidden = !texts[state];
    baseStatus.classList.toggle('layer-error', state === 'unavailable' || state === 'partial');
    baseBlock.classList.toggle('is-stale', state === 'unavailable');
    mapStatus.set('base-map', {label: 'Base map', loading: false, stale: '',
      unavailable: state === 'unavailable' ? 'tiles unavailable, showing the plain map' : ''});
  }

  function sourceBlock(source, key, extra) {
    const id = `layer-${key}`;
    const toggle = el('input', {type: 'checkbox', id, checked: source.visible});
    toggle.addEventListener('change', () => {
      source.setVisible(toggle.checked);
      saveJson(`${key}-shown`, toggle.checked);
    });
    const refresh = el('button', {type: 'button', className: 'refresh', text: 'Refresh',
      'aria-label': `Refresh ${source.label}`, on: {click: () => source.refresh()}});
    const status = el('div', {className: 'layer-status', 'aria-live': 'off'});
    const block = el('section', {className: 'layer imagery-block', dataset: {layer: key},
      'aria-labelledby': `${id}-title`},
    el('h3', {className: 'layer-head', id: `${id}-title`}, toggle, el('label', {for: id, text: source.label}), refresh),
    status, ...extra);
    blocks.set(source, {status, refresh, block, key});
    return block;
  }

  const productChoice = el('select', {id: 'satellite-product', 'aria-label': 'Satellite picture'},
      ...Object.entries(SATELLITE_PRODUCTS).map(([key, {label}]) =>
        el('option', {value: key, text: label, selected: key === product})));
  productChoice.addEventListener('change', () => {
    product = productChoice.value;
    saveJson('satellite-product', product);
    satellite.reset();
  });

  const radarBlock = sourceBlock(radar, 'radar', [opacityControl('radar-opacity', radar), dbzLegend(),
    el('p', {className: 'note', text: 'Base reflectivity mosaic, NWS (opengeo.ncep.noaa.gov).'})]);
  const satelliteBlock = sourceBlock(satellite, 'satellite', [
    el('div', {className: 'panel-row'}, el('label', {for: 'satellite-product', text: 'Picture'}), productChoice),
    opacityControl('satellite-opacity', satellite),
    el('p', {className: 'note', text: 'GOES-West imagery, NASA GIBS (gibs.earthdata.nasa.gov).'})]);
  container.prepend(baseBlock, radarBlock, satelliteBlock);

  /** @param {ImagerySource} source */
  function draw(source, at = now()) {
    const entry = blocks.get(source);
    if (!entry) return;
    const state = source.state(at);
    const reason = source.reason(clock, at);
    const lines = [];
    if (!source.visible) {
      lines.push(el('p', {className: 'note', text: 'Off.'}));
    } else if (source.loading && !source.times.length && !source.error) {
      lines.push(el('p', {className: 'loading', text: 'Loading…'}));
    } else if (source.error || state === 'gone') {
      lines.push(el('p', {className: 'layer-error', text: source.error ? reason :
        (reason || `${source.label} not available: no times listed`)}));
    } else {
      lines.push(el('p', {className: `freshness${state === 'stale' ? ' stale' : ''}`},
          state === 'stale' ? el('span', {className: 'stale-badge', text: 'Stale'}) : null,
          source.frameText(clock, at),
          state === 'stale' ? el('span', {className: 'stale-reason',
            text: ` — over ${source.limits.staleMs / 60000} min old, may not show the weather now`}) : null));
    }
    const failures = source.visible ? source.failures() : '';
    if (failures) lines.push(el('p', {className: 'layer-error imagery-failures', text: failures}));
    if (source.loading && source.times.length) lines.push(el('p', {className: 'loading', text: 'Refreshing…'}));
    replaceChildren(entry.status, ...lines);
    entry.refresh.disabled = source.loading || !source.visible;
    entry.block.classList.toggle('is-stale', source.visible && state !== 'current');
    const stale = source.visible && !source.error && state === 'stale';
    map.getPane(source.options.pane)?.classList.toggle('is-stale', stale);
    mapStatus.set(entry.key, {label: source.label, loading: source.visible && source.loading && !source.times.length,
      stale: stale ? reason : '', problem: failures && source.visible ? failures : '',
      unavailable: source.visible && !source.loading && (source.error || state === 'gone') ?
        (reason || 'no times listed').replace(/^Not shown: /, '') : ''});
  }

  const loopControl = new LoopControl({sources, formatClock: clock});
  loopControl.addTo(map);

  const storedBase = loadJson('base-map');
  const choice = BASE_MAPS[storedBase] ? storedBase : 'terrain';
  /** @type {HTMLInputElement} */ (baseChoice.querySelector(`#base-map-${choice}`)).checked = true;
  baseMap.choose(choice);
  const shown = (key, fallback) => (typeof loadJson(`${key}-shown`) === 'boolean' ? loadJson(`${key}-shown`) : fallback);
  for (const [source, key, fallback] of /** @type {[ImagerySource, string, boolean][]} */ (
    [[radar, 'radar', true], [satellite, 'satellite', false]])) {
    const visible = shown(key, fallback);
    /** @type {HTMLInputElement} */ (blocks.get(source).block.querySelector('input[type=checkbox]')).checked = visible;
    if (visible) source.setVisible(true);
    else draw(source);
  }
  loopControl.update();

  // Ages move on between refreshes: a frame turns stale, or too old to show.
  setInterval(() => {
    for (const source of sources) {
      if (source.visible && !source.loop) source.showNewest();
      draw(source);
    }
    loopControl.update();
  }, TICK_MS);

  return {radar, satellite, baseMap, loopControl,
    refreshAll: () => sources.filter((source) => source.visible).forEach((source) => source.refresh())};
}
