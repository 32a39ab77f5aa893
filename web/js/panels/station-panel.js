// Station search by identifier and the list of favourite stations.

import {el, replaceChildren} from '../dom.js';
import {formatAge} from '../time.js';
import {formatTemperature} from '../units.js';

/** The identifier a reader most likely means: "slc" → "KSLC" when only the latter is known. */
export function matchStationId(query, has) {
  const id = String(query || '').trim().toUpperCase();
  if (!/^[A-Z0-9]{2,6}$/.test(id)) return null;
  if (has(id)) return id;
  if (id.length === 3 && has(`K${id}`)) return `K${id}`;
  return null;
}

/** Favourites list; update() redraws it from the current station data. */
export function createStationPanel(container, {station, open, favourites, removeFavourite,
  units, now}) {
  const input = el('input', {id: 'station-input', type: 'search', autocomplete: 'off',
    spellcheck: 'false', placeholder: 'KSLC', maxlength: '8'});
  const message = el('p', {className: 'search-message', role: 'status'});
  const form = el('form', {className: 'panel-row search-form', role: 'search'},
      el('label', {for: 'station-input', text: 'Station'}), input,
      el('button', {type: 'submit', text: 'Find'}));
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    const id = matchStationId(input.value, (candidate) => Boolean(station(candidate)));
    if (id) {
      message.textContent = '';
      open(id);
    } else {
      message.textContent = input.value.trim() ?
        `No station "${input.value.trim().slice(0, 12)}" in the loaded reports.` :
        'Type a station identifier such as KSLC.';
    }
  });
  const list = el('ul', {className: 'favourite-list', 'aria-label': 'Favourite stations'});
  replaceChildren(container, form, message, el('h3', {text: 'Favourite stations'}), list);

  return {
    update() {
      const ids = [...favourites()];
      if (!ids.length) {
        replaceChildren(list, el('li', {className: 'empty',
          text: 'None yet. Open a station and choose "Add to favourites".'}));
        return;
      }
      replaceChildren(list, ...ids.map((id) => {
        const known = station(id);
        const summary = known ? [known.category || 'Unknown',
          formatTemperature(known.temperature, units().temperature),
          formatAge(now() - known.time)].join(' · ') : 'no current report';
        return el('li', {dataset: {station: id}},
            el('button', {type: 'button', className: 'favourite-open', disabled: !known,
              on: {click: (event) => open(id, event.currentTarget)}},
            el('span', {className: `badge cat-${(known?.category || 'unknown').toLowerCase()}`,
              text: id}),
            ` ${summary}`),
            el('button', {type: 'button', className: 'favourite-remove', text: 'Remove',
              'aria-label': `Remove ${id} from favourites`, on: {click: () => removeFavourite(id)}}));
      }));
    },
  };
}
