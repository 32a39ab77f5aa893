// The search field of the top bar: towns, coordinates and stations as suggestions in a list
// box (the usual combobox pattern: arrow keys move, Enter chooses, Escape closes). Choosing
// keeps focus in the field, so the next search is one keystroke away.

import {el, replaceChildren} from '../dom.js';

const LIMIT = 8;

/**
 * @typedef {import('../search.js').Suggestion} Suggestion
 * @typedef {object} SearchBoxOptions
 * @property {HTMLFormElement} form  submitting it chooses the active suggestion
 * @property {HTMLInputElement} input  the field
 * @property {HTMLElement} listbox  the suggestions' list
 * @property {HTMLElement} message  the line under the field
 * @property {(query: string, limit: number) => Suggestion[]} suggest
 * @property {(suggestion: Suggestion) => string} choose  acts on the chosen suggestion; returns
 *   a short text for the message line
 */

/**
 * Wires the field. suggest(query, limit) gives [{kind, label, detail}] for what was typed
 * (kind: 'place', 'coordinates' or 'station'); choose(suggestion) acts on the chosen one and
 * returns a short confirmation or an error text for the message line.
 * @param {SearchBoxOptions} options
 */
export function createSearchBox({form, input, listbox, message, suggest, choose}) {
  let suggestions = [];
  let active = -1;
  let moved = false;  // the user chose an option with the arrow keys
  let typing = false;  // text typed and not yet chosen or dismissed

  function close() {
    typing = false;
    suggestions = [];
    active = -1;
    listbox.hidden = true;
    input.setAttribute('aria-expanded', 'false');
    input.removeAttribute('aria-activedescendant');
    replaceChildren(listbox);
  }

  function draw() {
    if (!suggestions.length) {
      close();
      return;
    }
    listbox.hidden = false;
    input.setAttribute('aria-expanded', 'true');
    replaceChildren(listbox, ...suggestions.map((suggestion, index) => {
      const option = el('li', {id: `search-option-${index}`, role: 'option',
        className: `search-option kind-${suggestion.kind}`, 'aria-selected': String(index === active)},
      el('span', {className: 'option-label', text: suggestion.label}),
      suggestion.detail ? el('span', {className: 'option-detail', text: suggestion.detail}) : null);
      // mousedown, not click: the field must not lose focus first.
      option.addEventListener('mousedown', (event) => {
        event.preventDefault();
        pick(index);
      });
      return option;
    }));
    if (active >= 0) input.setAttribute('aria-activedescendant', `search-option-${active}`);
    else input.removeAttribute('aria-activedescendant');
  }

  function update() {
    const query = input.value.trim();
    message.textContent = '';
    if (!query) {
      close();
      return;
    }
    suggestions = suggest(query, LIMIT);
    active = suggestions.length ? 0 : -1;
    moved = false;
    draw();
    typing = true;  // also with no match: the index may still grow
    if (!suggestions.length) message.textContent = `No place, station or coordinates match "${query.slice(0, 40)}".`;
  }

  // The index grows after the first drawing (place names, the airport directory, each METAR
  // reply): what is typed meanwhile is answered again. An option the user moved to with the
  // arrow keys stays chosen; otherwise the best match, which may be new, comes first.
  function refresh() {
    if (!typing || document.activeElement !== input || !input.value.trim()) return;
    const movedTo = moved ? suggestions[active]?.label : undefined;
    update();
    const kept = suggestions.findIndex((suggestion) => suggestion.label === movedTo);
    if (kept >= 0) {
      active = kept;
      moved = true;
      draw();
    }
  }

  function pick(index) {
    const suggestion = suggestions[index];
    if (!suggestion) return;
    close();
    input.value = suggestion.label;
    message.textContent = choose(suggestion) || '';
    input.focus();
  }

  input.setAttribute('role', 'combobox');
  input.setAttribute('aria-autocomplete', 'list');
  input.setAttribute('aria-expanded', 'false');
  input.setAttribute('aria-controls', listbox.id);
  input.addEventListener('input', update);
  input.addEventListener('keydown', (event) => {
    if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
      if (!suggestions.length) update();
      if (!suggestions.length) return;
      event.preventDefault();
      const step = event.key === 'ArrowDown' ? 1 : -1;
      active = (active + step + suggestions.length) % suggestions.length;
      moved = true;
      draw();
    } else if (event.key === 'Escape' && suggestions.length) {
      event.preventDefault();
      close();
    }
  });
  input.addEventListener('blur', () => setTimeout(() => {
    if (document.activeElement !== input) close();
  }, 0));
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    if (!suggestions.length) update();
    if (suggestions.length) pick(Math.max(active, 0));
  });
  return {update, refresh, close};
}
