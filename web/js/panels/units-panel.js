// Unit choice per quantity.

import {el, replaceChildren} from '../dom.js';
import {UNIT_CHOICES} from '../units.js';

const NAMES = {temperature: 'Temperature', speed: 'Wind speed', pressure: 'Pressure',
  distance: 'Visibility and distance'};
const LABELS = {F: '°F', C: '°C'};

/** Radio groups, one per quantity; onChange(units) gets the new choice. */
export function createUnitsPanel(container, units, onChange) {
  let current = {...units};
  const groups = Object.entries(UNIT_CHOICES).map(([quantity, choices]) =>
    el('fieldset', {className: 'unit-group'},
        el('legend', {text: NAMES[quantity]}),
        ...choices.map((choice) => {
          const id = `unit-${quantity}-${choice.replace('/', '')}`;
          const input = el('input', {type: 'radio', name: `unit-${quantity}`, id, value: choice,
            checked: units[quantity] === choice});
          input.addEventListener('change', () => {
            if (!input.checked) return;
            current = {...current, [quantity]: choice};
            onChange(current);
          });
          return el('span', {className: 'choice'}, input, el('label', {for: id, text: LABELS[choice] || choice}));
        })));
  replaceChildren(container, ...groups);
}
