// The layer list: per layer a switch, how current its data is (from the data's own times), a
// refresh button, its filters, counts and legend. A layer's block is a section: the generic ones
// of the four weather layers are built here too.

import {el, replaceChildren} from '../dom.js';
import {formatTime} from '../time.js';
import {MAX_ALERTS} from '../alerts.js';
import {MAX_ITEMS} from '../hazards.js';
import {MAX_STATIONS, METAR_REPLY_CAP, fullReply} from '../metar.js';
import {MAX_PIREPS} from '../pirep.js';
import {avalancheSection} from './avalanche-section.js';
import {endedNote, freshnessLine} from './freshness.js';
import {windsSection} from './winds-section.js';
import {alertLegend, altitudeRange, hazardLegend, metarLegend, pirepLegend,
  snapshotChoice} from './legends.js';

/**
 * One layer's block.
 * @typedef {object} LayerSection
 * @property {import('../feed.js').Feed<any>} feed  the layer's data
 * @property {{setVisible(shown: boolean): void}} layer  what the block's switch shows or hides
 * @property {(now: number, reason: string) => HTMLElement} freshness  the data-time line
 * @property {() => string} count  the counts line, once there is data
 * @property {(recount: () => void) => HTMLElement} [controls]  filters; they call recount() after
 *   a change
 * @property {() => HTMLElement} [legend]
 * @property {(now: number) => (string | HTMLElement)[]} [notes]  what the layer leaves out and
 *   why, once there is data: limits, areas it could not draw, items that ended
 * @property {(now: number) => void} [refresh]  brings the controls up to date
 * @property {boolean} [startHidden]  the layer starts switched off
 */

/**
 * Draws one block per section; update(feed, now) redraws that feed's status lines.
 * @param {HTMLElement} container @param {LayerSection[]} sections
 */
function createLayerPanel(container, sections) {
  const blocks = new Map();
  const rows = sections.map((section) => {
    const {feed} = section;
    const id = `layer-${feed.name}`;
    const toggle = el('input', {type: 'checkbox', id, checked: !section.startHidden});
    if (section.startHidden) section.layer.setVisible(false);
    toggle.addEventListener('change', () => section.layer.setVisible(toggle.checked));
    const status = el('div', {className: 'layer-status', 'aria-live': 'off'});
    const refresh = el('button', {type: 'button', className: 'refresh', text: 'Refresh',
      'aria-label': `Refresh ${feed.label}`, on: {click: () => feed.refresh()}});
    const block = el('section', {className: 'layer', dataset: {layer: feed.name},
      'aria-labelledby': `${id}-title`},
    el('h3', {className: 'layer-head', id: `${id}-title`},
        toggle, el('label', {for: id, text: feed.label}), refresh),
    status, section.controls?.(() => recount(feed.name)) || null, section.legend?.() || null);
    blocks.set(feed.name, {status, refresh, section, block});
    return block;
  });
  replaceChildren(container, el('h2', {className: 'visually-hidden', text: 'Layers'}), ...rows);

  /** Redraws only the count line of a section (after a filter change). @param {string} name */
  function recount(name) {
    const entry = blocks.get(name);
    const line = entry?.status.querySelector('.count');
    if (line) line.textContent = entry.section.count();
  }

  return {
    /** @param {import('../feed.js').Feed<any>} feed @param {number} now */
    update(feed, now) {
      const entry = blocks.get(feed.name);
      if (!entry) return;
      const reason = feed.staleReason(now);
      const lines = [];
      if (feed.data === null && feed.loading) {
        lines.push(el('p', {className: 'loading', text: 'Loading…'}));
      } else {
        lines.push(entry.section.freshness(now, reason));
      }
      if (feed.data !== null) {
        lines.push(el('p', {className: 'count', text: entry.section.count()}),
            ...(entry.section.notes?.(now) || []).map((note) => (typeof note === 'string' ?
              el('p', {className: 'note layer-note', text: note}) : note)));
        entry.section.refresh?.(now);
      }
      if (feed.loading && feed.data !== null) lines.push(el('p', {className: 'loading', text: 'Refreshing…'}));
      if (feed.error && !feed.loading) {
        lines.push(el('p', {className: 'layer-error', text: feed.data === null ?
          `Not available: ${feed.error.message}` :
          `Refresh failed: ${feed.error.message}. Showing the last good data.`}));
      }
      replaceChildren(entry.status, ...lines);
      entry.block.classList.toggle('is-stale', reason !== '');
      entry.refresh.disabled = feed.loading;
    },
    recount,
  };
}

const number = (count) => count.toLocaleString('en-US');

/**
 * What a layer left out of a reply, in the words of its panel: the records past the most it
 * reads ("Showing 20,000 of 25,000 reports: the most the map reads from one reply.") and those
 * with a time outside the data's possible range.
 * @param {{received?: number, outOfRange?: number}} data  as the decoders count them
 * @param {number} most  the most the layer reads from one reply
 * @param {[string, string]} nouns  one and many ("report", "reports")
 * @returns {string[]}
 */
export function leftOutNotes({received = 0, outOfRange = 0}, most, [one, many]) {
  const notes = [];
  if (received > most) {
    notes.push(`Showing ${number(most)} of ${number(received)} ${many}: the most the map reads from one reply.`);
  }
  if (outOfRange) {
    notes.push(`${number(outOfRange)} ${outOfRange === 1 ? one : many} left out: ` +
      `${outOfRange === 1 ? 'its time lies' : 'their times lie'} outside the possible range.`);
  }
  return notes;
}

/** "17:47Z to 17:57Z" over the items' times; one time when they agree, empty when none is known. */
function timeRange(items) {
  const times = items.map((item) => item.time).filter(Number.isFinite);
  if (!times.length) return '';
  const low = Math.min(...times);
  const high = Math.max(...times);
  const clock = (ms) => formatTime(ms, {form: 'clock'});
  return low === high ? clock(high) : `${clock(low)} to ${clock(high)}`;
}

/** The freshness line of a feed, with the data's times as dataText() words them. */
function feedFreshness(feed, dataText = () => '') {
  return (now, reason) => freshnessLine({dataText: dataText(), fetchedAt: feed.fetchedAt, now,
    reason, fromStorage: feed.fromStorage});
}

/**
 * The layer panel of the page's weather layers, each given by its feed and map layer: their
 * blocks in this order, and the panes each draws into (marked on the map when its data is stale).
 * @param {HTMLElement} container
 * @param {{metars: Parameters<typeof metarSection>[0], pireps: Parameters<typeof pirepSection>[0],
 *   alerts: Parameters<typeof alertSection>[0], hazards: Parameters<typeof hazardSection>[0],
 *   winds: Parameters<typeof windsSection>[0], avalanche: Parameters<typeof avalancheSection>[0]}} layers
 * @returns {{panel: ReturnType<typeof createLayerPanel>, feeds: import('../feed.js').Feed<any>[],
 *   panes: Map<import('../feed.js').Feed<any>, string[]>}}
 */
export function setUpLayerPanel(container, {metars, pireps, alerts, hazards, winds, avalanche}) {
  const weatherLayers = [
    {panes: ['stations', 'stationLabels'], section: metarSection(metars)},
    {panes: ['pireps'], section: pirepSection(pireps)},
    {panes: ['alerts'], section: alertSection(alerts)},
    {panes: ['hazards', 'hazardLabels'], section: hazardSection(hazards)},
    {panes: ['winds'], section: windsSection(winds)},
    {panes: ['avalanche'], section: avalancheSection(avalanche)},
  ];
  return {panel: createLayerPanel(container, weatherLayers.map(({section}) => section)),
    feeds: weatherLayers.map(({section}) => section.feed),
    panes: new Map(weatherLayers.map(({section, panes}) => [section.feed, panes]))};
}

/**
 * The stations' block.
 * @param {{feed: import('../feed.js').Feed<any>, layer: import('../map/metar-layer.js').MetarLayer,
 *   now: () => number}} parts
 * @returns {LayerSection}
 */
function metarSection({feed, layer, now}) {
  return {feed, layer,
    freshness: feedFreshness(feed, () => `reports ${timeRange(layer.stations())}`),
    count: () => {
      const old = layer.oldCount(now());
      return `${layer.stations().length} stations, ${layer.shownCount()} shown at this zoom` +
          (old ? `; ${old} with a report over 90 min old (hollow)` : '');
    },
    notes: () => [...(fullReply(feed.data) ? [`The aviation service sends at most ${METAR_REPLY_CAP} reports ` +
      'per request and this list reached that: some stations may be missing. The map asks for the ' +
      'stations in view in smaller boxes.'] : []), ...leftOutNotes(feed.data, MAX_STATIONS, ['report', 'reports'])],
    legend: metarLegend};
}

/**
 * The pilot reports' block, with its altitude range.
 * @param {{feed: import('../feed.js').Feed<any>, layer: import('../map/pirep-layer.js').PirepLayer}} parts
 * @returns {LayerSection}
 */
function pirepSection({feed, layer}) {
  return {feed, layer,
    freshness: feedFreshness(feed, () => `reports ${timeRange(feed.data || [])}`),
    count: () => `${feed.data.length} reports, ${layer.inRangeCount()} in the altitude ` +
        `range, ${layer.shownCount()} shown at this zoom`,
    notes: () => leftOutNotes(feed.data, MAX_PIREPS, ['report', 'reports']),
    controls: (recount) => altitudeRange('pirep-altitude', (range) => {
      layer.setRange(range);
      recount();
    }),
    legend: pirepLegend};
}

/**
 * The alerts' block; `active()` gives the alerts in force.
 * @param {{feed: import('../feed.js').Feed<any>, layer: import('../map/alert-layer.js').AlertLayer,
 *   active: () => import('../alerts.js').Alert[]}} parts
 * @returns {LayerSection}
 */
function alertSection({feed, layer, active}) {
  return {feed, layer,
    freshness: (now, reason) => freshnessLine({dataTime: feed.data?.updated, fetchedAt: feed.fetchedAt,
      now, reason, fromStorage: feed.fromStorage}),
    count: () => {
      const drawn = active().map((alert) => layer.drawnAs(alert));
      const of = (kind) => drawn.filter((how) => how === kind).length;
      return `${drawn.length} alerts in force; ${of('zones')} drawn over their zones, ${of('counties')} by county` +
        (of('loading') ? `, ${of('loading')} waiting for their zones` : '') +
        (of('none') ? `, ${of('none')} not on the map (no area it can draw)` : '');
    },
    notes: () => leftOutNotes(feed.data, MAX_ALERTS, ['alert', 'alerts']),
    legend: alertLegend};
}

const PRODUCT_NAMES = {sigmets: 'SIGMETs', gairmets: 'G-AIRMETs', cwas: 'CWAs'};
const plural = (count, one, many) => `${count.toLocaleString('en-US')} ${count === 1 ? one : many}`;

/**
 * The aviation hazards' block, with the G-AIRMET snapshot and the altitude range.
 * @param {{feed: import('../feed.js').Feed<any>, layer: import('../map/hazard-layer.js').HazardLayer}} parts
 * @returns {LayerSection}
 */
function hazardSection({feed, layer}) {
  const snapshots = snapshotChoice('hazard-snapshot', (validTime) => {
    layer.chooseSnapshot(validTime);
    recountLater();
  });
  let recountLater = () => {};
  return {feed, layer,
    freshness: feedFreshness(feed),
    count: () => {
      const {unavailable} = feed.data;
      const count = (...kinds) => layer.current.filter((item) => kinds.includes(item.kind)).length
          .toLocaleString('en-US');
      return `${count('sigmet', 'convective-sigmet')} SIGMETs, ${count('gairmet')} G-AIRMETs ` +
          `(all snapshots), ${count('cwa')} CWAs; ${layer.shownCount().toLocaleString('en-US')} shown ` +
          'for this snapshot and range' +
          (unavailable.length ? `; not available: ${unavailable.join(', ')}` : '');
    },
    notes: () => {
      const counts = Object.entries(feed.data.counts || {});
      const sum = (member) => counts.reduce((total, [, count]) => total + (count[member] || 0), 0);
      /** @type {(string | HTMLElement)[]} */
      const notes = counts.filter(([, count]) => count.received > MAX_ITEMS).map(([name, count]) =>
        `Showing ${MAX_ITEMS.toLocaleString('en-US')} of ${count.received.toLocaleString('en-US')} ` +
        `${PRODUCT_NAMES[name]}: the most the map reads from one reply.`);
      const outOfRange = sum('outOfRange');
      if (outOfRange) {
        notes.push(`${plural(outOfRange, 'area', 'areas')} left out: ${outOfRange === 1 ? 'its time lies' :
          'their times lie'} outside the possible range.`);
      }
      if (sum('undrawable')) {
        notes.push(`${plural(sum('undrawable'), 'area', 'areas')} could not be drawn (no usable shape or time).`);
      }
      const outside = sum('outside');
      if (outside) {
        notes.push(outside === 1 ? '1 area lies wholly outside the western states and is not shown.' :
          `${plural(outside, 'area', 'areas')} lie wholly outside the western states and are not shown.`);
      }
      if (layer.ended.length) {
        notes.push(endedNote(layer.ended.map((item) => ({name: item.title, end: item.to})), 'note layer-note'));
      }
      return notes;
    },
    refresh: (now) => snapshots.update(layer.items, layer.validTime, now),
    controls: (recount) => {
      recountLater = recount;
      return el('div', null, snapshots.element,
          altitudeRange('hazard-altitude', ({low, high}) => {
            layer.setBand({lowFeet: low, highFeet: high});
            recount();
          }));
    },
    legend: hazardLegend};
}
