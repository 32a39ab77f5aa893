// Winds and temperatures aloft on the map: at each western station of the bulletin, a wind barb
// and the temperature for the chosen level; a click gives the station's whole column.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {el} from '../dom.js';
import {windsStation} from '../winds-stations.js';
import {DrawnLayer} from './drawn-layer.js';
import {LABEL_RANK, takePart} from './label-layout.js';
import {makeKeyboardTarget, showPopup} from './popup.js';
import {windBarb} from './wind-barb.js';

const BARB_PX = 44;

/**
 * The words of one cell: "260° 31 kt", "Light and variable", "not given".
 * @param {ReturnType<typeof import('../winds.js').decodeWindCell>} cell
 */
export function windCellText(cell) {
  if (!cell) return 'not given';
  if (cell.light) return 'Light and variable';
  return `${String(cell.direction).padStart(3, '0')}° ${cell.speed}${cell.orMore ? '+' : ''} kt`;
}

/** A temperature aloft in whole °C, as the bulletins give it: "-14 °C". @param {number} celsius */
export function aloftTemperature(celsius) {
  return `${Math.round(celsius) || 0} °C`;
}

/**
 * @typedef {ReturnType<typeof import('../winds.js').decodeWinds>} WindsTable
 * @typedef {WindsTable['stations'][number]} WindsRow
 */

/** The winds layer: setTable(table), setLevel(feet); popup(row, table) builds a column's popup. */
export class WindsLayer extends DrawnLayer {
  /** @param {{popup: (row: WindsRow, table: WindsTable) => HTMLElement, onShow?: () => void}} options */
  constructor({popup, onShow = () => {}}) {
    super();
    this.popup = popup;
    this.onShow = onShow;
    this.temperature = aloftTemperature;
    /** @type {WindsTable | null} */
    this.table = null;
    this.level = 9000;
    this.drawn = 0;
  }

  /** Shown by the layer panel's switch: the bulletin is asked for then. @param {boolean} shown */
  setVisible(shown) {
    super.setVisible(shown);
    if (shown) this.onShow();
  }

  /** @param {WindsTable | null} table */
  setTable(table) {
    this.table = table;
    this.redraw();
  }

  /** @param {number} feet */
  setLevel(feet) {
    this.level = feet;
    this.redraw();
  }

  /** The western rows with a place on the map. */
  rows() {
    return (this.table?.stations || []).filter((row) => windsStation(row.id));
  }

  /** @param {WindsRow} row @param {HTMLElement | SVGElement | null} [opener] */
  open(row, opener = null) {
    const at = windsStation(row.id);
    if (!at || !this.table || !this.map) return;
    showPopup(this.map, [at.lat, at.lon], this.popup(row, this.table),
        {opener, fromKeyboard: opener !== null, name: 'winds aloft column'});
  }

  redraw() {
    this.group.clearLayers();
    this.drawn = 0;
    if (!this.map || !this.table) return;
    const index = this.table.levels.indexOf(this.level);
    if (index < 0) return;
    for (const row of this.rows()) {
      const at = windsStation(row.id);
      const cell = row.winds[index];
      const children = cell ? [windBarb(cell.direction, cell.speed, BARB_PX),
        cell.temperature === null ? null : el('span', {className: 'winds-temperature', text: this.temperature(cell.temperature)})] :
        [el('span', {className: 'winds-none', text: '—'})];
      const marker = L.marker([at.lat, at.lon], {
        pane: 'winds',
        icon: L.divIcon({html: el('div', {className: 'winds-symbol'}, ...children), className: 'winds-icon',
          iconSize: [BARB_PX, BARB_PX], iconAnchor: [BARB_PX / 2, BARB_PX / 2]}),
        keyboard: false,
        bubblingMouseEvents: false,
      });
      marker.on('click', () => this.open(row));
      this.group.addLayer(marker);
      const words = `${at.name} (${row.id}) at ${this.level.toLocaleString('en-US')} ft: ${windCellText(cell)}` +
          (cell?.temperature != null ? `, ${this.temperature(cell.temperature)}` : '');
      makeKeyboardTarget(marker.getElement(), words, (element) => this.open(row, element));
      takePart(marker.getElement(), LABEL_RANK.mark);
      if (cell) this.drawn++;
    }
  }
}
