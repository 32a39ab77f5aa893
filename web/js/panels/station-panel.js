// The Stations tab: favourite stations, then the stations and pilot reports in view as lists,
// which is how the keyboard reaches the marks on the map without tabbing through each of them.

import {el, replaceChildren} from '../dom.js';
import {levelText} from '../map/pirep-layer.js';
import {formatAge} from '../time.js';
import {formatTemperature} from '../units.js';
import {pirepLabel} from './describe.js';
import {stationSwatch} from './legends.js';

const LIST_LIMIT = 40;

/**
 * @typedef {import('../metar.js').Station} Station
 * @typedef {import('../pirep.js').Pirep} Pirep
 * @typedef {object} StationPanelOptions
 * @property {{station(id: string): Station | undefined, open(id: string, opener?: HTMLElement): boolean,
 *   inView(): Station[]}} stations  the station layer: a station's current report, centring it
 *   with its popup open, those in view nearest the map's centre first
 * @property {{inView(): Pirep[], open(report: Pirep, opener?: HTMLElement): void}} reports  the
 *   pilot report layer: those in view newest first, opening one's popup
 * @property {() => Set<string>} favourites
 * @property {(id: string) => void} removeFavourite
 * @property {() => import('../units.js').Units} units
 * @property {() => number} now
 * @property {() => boolean} [loading]  the stations are still on their way; false by default
 */

/**
 * Favourites and in-view lists; update() redraws them from the current data and view.
 * @param {HTMLElement} container
 * @param {StationPanelOptions} options
 */
export function createStationPanel(container, {stations, reports: reportLayer, favourites, removeFavourite,
  units, now, loading = () => false}) {
  const station = (id) => stations.station(id);
  const open = (id, opener) => stations.open(id, opener);
  const list = el('ul', {className: 'favourite-list', 'aria-label': 'Favourite stations'});
  const inView = el('ul', {className: 'view-list', 'aria-label': 'Stations in view'});
  const reports = el('ul', {className: 'view-list', 'aria-label': 'Pilot reports in view'});
  const viewNote = el('p', {className: 'note'});
  replaceChildren(container, el('h2', {className: 'panel-title', text: 'Stations'}),
      el('h3', {text: 'Favourite stations'}), list,
      el('h3', {text: 'Stations in view'}), viewNote, inView,
      el('h3', {text: 'Pilot reports in view'}), reports);

  function summary(known) {
    return [known.category || 'category unknown', formatTemperature(known.temperature, units().temperature),
      formatAge(now() - known.time)].join(' · ');
  }

  function stationButton(known, onClick) {
    return el('button', {type: 'button', className: 'favourite-open', dataset: {station: known.id},
      on: {click: onClick}}, stationSwatch(known.category), ` ${known.id} `,
    el('span', {className: 'muted', text: summary(known)}));
  }

  function drawFavourites() {
    const ids = [...favourites()];
    if (!ids.length) {
      replaceChildren(list, el('li', {className: 'empty',
        text: 'None yet. Open a station and choose "Add to favourites".'}));
      return;
    }
    replaceChildren(list, ...ids.map((id) => {
      const known = station(id);
      return el('li', {dataset: {station: id}},
          known ? stationButton(known, (event) => open(id, event.currentTarget)) :
              el('span', {className: 'favourite-open muted', text: `${id} · no current report`}),
          el('button', {type: 'button', className: 'favourite-remove', text: 'Remove',
            'aria-label': `Remove ${id} from favourites`, on: {click: () => removeFavourite(id)}}));
    }));
  }

  function drawInView() {
    const shown = stations.inView();
    viewNote.textContent = shown.length > LIST_LIMIT ?
        `The ${LIST_LIMIT} nearest the map's centre of ${shown.length}; zoom in for others.` : '';
    replaceChildren(inView, ...(shown.length ? shown.slice(0, LIST_LIMIT).map((known) =>
      el('li', null, stationButton(known, (event) => open(known.id, event.currentTarget)))) :
      [el('li', {className: loading() ? 'loading' : 'empty',
        text: loading() ? 'Loading the stations…' : 'No stations in view.'})]));
    const pireps = reportLayer.inView();
    replaceChildren(reports, ...(pireps.length ? pireps.slice(0, LIST_LIMIT).map((report) =>
      el('li', null, el('button', {type: 'button', className: 'favourite-open',
        on: {click: (event) => reportLayer.open(report, event.currentTarget)}},
      `${levelText(report)} · ${pirepLabel(report, now())}`))) :
      [el('li', {className: 'empty', text: 'No pilot reports in view.'})]));
  }

  return {
    update() {
      drawFavourites();
      drawInView();
    },
    updateView: drawInView,
  };
}
