// One popup at a time, owned by the map rather than by a marker, so redrawing a layer (on zoom,
// on fresh data) does not close what the reader is looking at.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';

/**
 * Opens content (a DOM node) at latlng. When opened from the keyboard, focus moves into the popup
 * and returns to `opener` when the popup closes.
 */
export function showPopup(map, latlng, content, {opener = null, fromKeyboard = false} = {}) {
  const popup = L.popup({maxWidth: 360, minWidth: 260, autoPanPadding: [24, 24],
    className: 'weather-popup'})
      .setLatLng(latlng)
      .setContent(content)
      .openOn(map);
  // Leaflet closes popups on Escape only while the map itself has focus.
  content.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') {
      event.stopPropagation();
      map.closePopup(popup);
    }
  });
  if (fromKeyboard) {
    const target = content.querySelector('[data-autofocus]') || content;
    if (!target.hasAttribute('tabindex')) target.setAttribute('tabindex', '-1');
    target.focus();
    popup.once('remove', () => {
      if (opener && opener.isConnected) opener.focus();
    });
  }
  return popup;
}

/** Makes an SVG path or marker element a keyboard button with a text alternative. */
export function makeKeyboardTarget(element, labelText, activate) {
  if (!element) return;
  element.setAttribute('tabindex', '0');
  element.setAttribute('role', 'button');
  element.setAttribute('aria-label', labelText);
  element.addEventListener('keydown', (event) => {
    if (event.key === 'Enter' || event.key === ' ') {
      event.preventDefault();
      event.stopPropagation();
      activate(element);
    }
  });
}
