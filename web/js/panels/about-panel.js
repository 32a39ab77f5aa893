// The About panel: a dialog with the program's version, where the data comes from, the
// third-party notices, and the plain statement that this map is not an official briefing.

import {BUILD_INFO} from '../build-info.js';
import {el} from '../dom.js';

const NOT_A_BRIEFING = 'Corvane Weather is not an official weather briefing. Its data ' +
  'comes from public services and can be late, incomplete or wrong. Before you fly, get an ' +
  'official briefing from Flight Service (1800wxbrief.com); before you head out on land, read the ' +
  'forecast and the alerts of the National Weather Service for where you are going.';

function versionText(info) {
  return info.version ? `Version ${info.version}` : 'Development build (no version)';
}

function sourceItem(source) {
  return el('li', {className: 'about-source'},
      el('a', {href: source.url}, source.name),
      el('span', {text: `: ${source.provides}` +
          (source.via?.length ? ` (through ${source.via.join(', ')})` : '') + '.'}),
      el('div', {className: 'about-terms'}, source.terms,
          source.termsUrl ? [' ', el('a', {href: source.termsUrl, text: 'Terms',
            'aria-label': `Terms of ${source.name}`})] : null),
      source.attribution ? el('div', {className: 'about-terms', text: source.attribution}) : null);
}

function componentItem(component) {
  const title = [component.name, component.version].filter(Boolean).join(' ');
  return el('li', {className: 'about-component'},
      el('details', {},
          el('summary', {}, title, component.licence ?
            el('span', {className: 'about-licence', text: ` · ${component.licence}`}) : null),
          component.author ? el('div', {className: 'about-terms', text: `By ${component.author}`}) : null,
          el('a', {href: component.url, text: component.url}),
          el('pre', {className: 'about-licence-text', text: component.text})));
}

function buildDialog(info) {
  const close = el('button', {type: 'button', className: 'about-close', text: 'Close'});
  const dialog = el('dialog', {id: 'about-dialog', className: 'about-dialog',
    'aria-labelledby': 'about-title'},
  el('div', {className: 'about-head'},
      el('h2', {id: 'about-title', text: 'Corvane Weather'}), close),
  el('p', {id: 'about-version', className: 'about-version', text: versionText(info)}),
  el('p', {text: 'A weather map of the western United States: airport reports, pilot ' +
      'reports, alerts and point forecasts.'}),
  el('p', {id: 'about-not-a-briefing', className: 'about-warning', role: 'note',
    text: NOT_A_BRIEFING}),
  el('h3', {text: 'Data sources'}),
  el('ul', {id: 'about-sources', className: 'about-list'}, info.dataSources.map(sourceItem)),
  el('h3', {text: 'Third-party software'}),
  el('p', {className: 'about-terms', text: 'Corvane Weather includes the following ' +
      'software; each entry shows its licence.'}),
  el('ul', {id: 'about-notices', className: 'about-list'}, info.components.map(componentItem)));
  close.addEventListener('click', () => dialog.close());
  // A click on the backdrop (outside the dialog's box) closes it too.
  dialog.addEventListener('click', (event) => {
    if (event.target === dialog) {
      const box = dialog.getBoundingClientRect();
      const inside = event.clientX >= box.left && event.clientX <= box.right &&
        event.clientY >= box.top && event.clientY <= box.bottom;
      if (!inside) dialog.close();
    }
  });
  return dialog;
}

/**
 * Puts the About button into `slot` (the top bar's menu); the dialog it opens is built on first
 * use. Returns {open, close}.
 * @param {HTMLElement} slot
 * @param {typeof BUILD_INFO} [info=BUILD_INFO]
 */
export function createAboutPanel(slot, info = BUILD_INFO) {
  const opener = el('button', {id: 'about-open', type: 'button', className: 'about-open',
    'aria-haspopup': 'dialog', text: 'About'});
  slot.appendChild(opener);
  let dialog = null;
  function open() {
    if (!dialog) {
      dialog = buildDialog(info);
      dialog.addEventListener('close', () => opener.focus());
      document.body.appendChild(dialog);
    }
    if (!dialog.open) dialog.showModal();
  }
  opener.addEventListener('click', open);
  return {open, close: () => dialog?.close()};
}
