// Unit choice per quantity, and the one choice of time zone for every time on the page.

import {el, replaceChildren} from '../dom.js';
import {TIME_CHOICES} from '../time.js';
import {UNIT_CHOICES} from '../units.js';

/** @typedef {import('../units.js').Units} Units */

const NAMES = {temperature: 'Temperature', speed: 'Wind speed', pressure: 'Pressure',
  distance: 'Visibility and distance', time: 'Times'};
const LABELS = {F: '°F', C: '°C', local: 'Local time', utc: 'UTC (Z)', both: 'Local + UTC'};

/**
 * Radio groups, one per quantity and one for times; onChange(settings) gets the new choice.
 * @param {HTMLElement} container
 * @param {Units & {time: string}} settings
 * @param {(settings: Units & {time: string}) => void} onChange
 */
export function createUnitsPanel(container, settings, onChange) {
  let current = {...settings};
  const choices = {...UNIT_CHOICES, time: TIME_CHOICES};
  const groups = Object.entries(choices).map(([quantity, options]) =>
    el('fieldset', {className: 'unit-group'},
        el('legend', {text: NAMES[quantity]}),
        ...options.map((choice) => {
          const id = `unit-${quantity}-${choice.replace('/', '')}`;
          const input = el('input', {type: 'radio', name: `unit-${quantity}`, id, value: choice,
            checked: settings[quantity] === choice});
          input.addEventListener('change', () => {
            if (!input.checked) return;
            current = {...current, [quantity]: choice};
            onChange(current);
          });
          return el('span', {className: 'choice'}, input, el('label', {for: id, text: LABELS[choice] || choice}));
        })));
  replaceChildren(container, el('h2', {className: 'visually-hidden', text: 'Units and time'}), ...groups,
      el('p', {className: 'note', text: 'Local time is the time zone of the place: a forecast in ' +
        'the point\'s, a report or TAF in its station\'s, named as MST or PDT. Every time on the page, ' +
        'in popups, lists and the chart, follows this choice.'}));
}
