// The winds-aloft block of the layer list (bulletin and level, with the bulletin's valid window
// beside them) and the popup of one station's column.

import {el} from '../dom.js';
import {formatTime} from '../time.js';
import {windsStation} from '../winds-stations.js';
import {aloftTemperature, windCellText} from '../map/winds-layer.js';
import {freshnessLine} from './freshness.js';

const WINDS_LEVELS = [3000, 6000, 9000, 12000, 18000, 24000, 30000, 34000, 39000];
const WINDS_BULLETINS = [['06', '6-hour forecast'], ['12', '12-hour forecast'], ['24', '24-hour forecast']];

const clock = (ms) => formatTime(ms, {form: 'clock', zone: 'UTC', choice: 'utc'});

/**
 * "Valid 18Z, for use 14Z–21Z": the bulletin's own times, in UTC as the bulletin gives them.
 * @param {{valid: number, useFrom: number, useTo: number}} table
 */
export function validWindow(table) {
  return `Valid ${clock(table.valid)}, for use ${clock(table.useFrom)}–${clock(table.useTo)}`;
}

/**
 * The popup of one station's column: every level of the bulletin, its wind and temperature.
 * @param {import('../map/winds-layer.js').WindsRow} row
 * @param {import('../map/winds-layer.js').WindsTable} table
 * @param {{level: number}} how
 */
export function windsPopup(row, table, {level}) {
  const at = windsStation(row.id);
  return el('div', {className: 'popup winds-popup', dataset: {station: row.id}},
      el('h2', {className: 'popup-title', 'data-autofocus': true, tabindex: '-1', text: `Winds aloft ${row.id}`}),
      el('p', {className: 'popup-sub', text: `${at?.name || row.id}, station ${at ? at.elevation.toLocaleString('en-US') : '?'} ft`}),
      el('p', {className: 'note', text: `${validWindow(table)} (${table.product || 'winds aloft bulletin'})`}),
      el('table', {className: 'winds-column'},
          el('thead', null, el('tr', null, el('th', {scope: 'col', text: 'Altitude'}),
              el('th', {scope: 'col', text: 'Wind'}), el('th', {scope: 'col', text: 'Temperature'}))),
          el('tbody', null, ...[...table.levels].reverse().map((feet) => {
            const cell = row.winds[table.levels.indexOf(feet)];
            return el('tr', {className: feet === level ? 'chosen' : ''},
                el('th', {scope: 'row', text: `${feet.toLocaleString('en-US')} ft`}),
                el('td', {text: cell ? windCellText(cell) : 'none (near the ground)'}),
                el('td', {text: cell?.temperature == null ? '—' : aloftTemperature(cell.temperature)}));
          }))),
      el('p', {className: 'note', text: 'Directions are from true north; temperatures in °C as the ' +
        'bulletin gives them. Up to 12,000 ft the levels are above sea level, from 18,000 ft pressure altitudes.'}));
}

/**
 * The winds block: bulletin and level choice; onChoose({bulletin, level}) after a change.
 * @param {{feed: import('../feed.js').Feed<any>, layer: import('../map/winds-layer.js').WindsLayer,
 *   onChoose: (choice: {bulletin: string, level: number}) => void}} parts
 * @returns {import('./layer-panel.js').LayerSection}
 */
export function windsSection({feed, layer, onChoose}) {
  const bulletin = el('select', {id: 'winds-bulletin'}, ...WINDS_BULLETINS.map(([value, text]) =>
    el('option', {value, text, selected: value === feed.argument})));
  const level = el('select', {id: 'winds-level'}, ...WINDS_LEVELS.map((feet) =>
    el('option', {value: feet, text: `${feet.toLocaleString('en-US')} ft`, selected: feet === layer.level})));
  const validText = el('span', {className: 'winds-valid', id: 'winds-valid', 'aria-live': 'polite'});
  const choose = () => onChoose({bulletin: bulletin.value, level: Number(level.value)});
  bulletin.addEventListener('change', choose);
  level.addEventListener('change', choose);
  return {feed, layer, startHidden: true,
    freshness: (now, reason) => freshnessLine({dataText: feed.data ? `bulletin issued ${clock(feed.data.issued)}` : '',
      fetchedAt: feed.fetchedAt, now, reason, fromStorage: feed.fromStorage}),
    count: () => `${layer.rows().length} western stations; ${layer.drawn} with a wind at ` +
        `${layer.level.toLocaleString('en-US')} ft (none within 1,500 ft of the ground)`,
    refresh: () => {
      validText.textContent = feed.data ? validWindow(feed.data) : '';
    },
    controls: () => el('div', {className: 'winds-controls'},
        el('label', {for: bulletin.id, text: 'Bulletin'}), bulletin,
        el('label', {for: level.id, text: 'Level'}), level, validText),
    legend: () => el('p', {className: 'note', text: 'Barbs point into the wind: a pennant is 50 kt, ' +
      'a long barb 10 kt, a short one 5 kt; a ring is light and variable. The number is the ' +
      'temperature at that level.'})};
}
