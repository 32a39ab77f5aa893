// One popup at a time, owned by the map rather than by a marker, so redrawing a layer (on zoom,
// on fresh data) does not close what the reader is looking at.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {afterPaint} from '../dom.js';

const POPUP_PADDING = 24;  // px kept free between a popup and the map's edges
const POPUP_TIP = 48;  // px below a popup's box: its tip and Leaflet's margin, and the border
/** @type {WeakMap<L.Map, L.Popup>} each map's latest popup from showPopup() */
const latestPopup = new WeakMap();

/**
 * Opens content (a DOM node) at latlng. When opened from the keyboard, focus moves into the popup
 * and returns to `opener` when the popup closes. The popup closes when focus moves on to
 * something outside it, so it never hides the map behind the reader's back.
 * @param {L.Map} map
 * @param {L.LatLngExpression} latlng
 * @param {HTMLElement} content
 * @param {{opener?: HTMLElement | SVGElement | null, fromKeyboard?: boolean, name?: string}} [how]
 *   opener null, fromKeyboard false; name: what the popup shows, for its close button ("Close
 *   KSLC details"), 'popup' by default
 */
export function showPopup(map, latlng, content, {opener = null, fromKeyboard = false, name = 'popup'} = {}) {
  // Never taller or wider than the map: a long popup (a station with its TAF) scrolls inside,
  // so the map's pan can always bring all of it into view, its header first.
  const size = map.getSize();
  const popup = L.popup({maxWidth: Math.max(200, Math.min(380, size.x - 2 * POPUP_PADDING - 40)),
    minWidth: Math.min(260, size.x - 2 * POPUP_PADDING - 40),
    maxHeight: Math.max(120, size.y - 2 * POPUP_PADDING - POPUP_TIP),
    autoPanPadding: [POPUP_PADDING, POPUP_PADDING], className: 'weather-popup'})
      .setLatLng(latlng)
      .setContent(content)
      .openOn(map);
  latestPopup.set(map, popup);
  keepInside(map, popup);
  // A popup opens on its header, whatever a focus or an earlier layout scrolled to.
  afterPaint(() => {
    const body = popup.getElement()?.querySelector('.leaflet-popup-content');
    if (body) body.scrollTop = 0;
  });
  // Leaflet closes popups on Escape only while the map itself has focus.
  content.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') {
      event.stopPropagation();
      map.closePopup(popup);
    }
  });
  const container = popup.getElement();
  // Leaflet's button says only "Close popup"; among several open in turn, it should say which.
  const close = container?.querySelector('.leaflet-popup-close-button');
  close?.setAttribute('aria-label', `Close ${name}`);
  close?.setAttribute('title', `Close ${name}`);
  container?.addEventListener('focusout', (event) => {
    const next = /** @type {Node | null} */ (event.relatedTarget);
    // null: focus went nowhere in particular (a click on plain text in the popup).
    if (next && !container.contains(next) && next !== opener) map.closePopup(popup);
  });
  if (fromKeyboard) {
    const target = /** @type {HTMLElement} */ (content.querySelector('[data-autofocus]')) || content;
    if (!target.hasAttribute('tabindex')) target.setAttribute('tabindex', '-1');
    target.focus({preventScroll: true});
    popup.once('remove', () => {
      // Only when focus was inside the popup (now gone with it), never taken from elsewhere.
      const active = document.activeElement;
      const lost = !active || active === document.body || container?.contains(active);
      if (opener && opener.isConnected && lost) opener.focus();
    });
  }
  return popup;
}

/**
 * Changes the map's open popup in place, for data that came after it opened. refresh(content)
 * swaps parts of the content and says whether it did. The popup keeps its place (no pan), its
 * scroll and its focus: the reader may be mid-way through it.
 * @param {L.Map} map @param {(content: HTMLElement) => boolean} refresh
 */
export function refreshOpenPopup(map, refresh) {
  const popup = latestPopup.get(map);
  const body = popup?.isOpen() ? popup.getElement()?.querySelector('.leaflet-popup-content') : null;
  const content = /** @type {HTMLElement | undefined} */ (popup?.getContent());
  if (!body || !(content instanceof HTMLElement)) return;
  const scrollTop = body.scrollTop;
  // The popup grows upwards from its tip: it may grow up to the map's top edge, then scrolls.
  const box = body.getBoundingClientRect();
  const wrapperTop = popup.getElement()?.querySelector('.leaflet-popup-content-wrapper')?.getBoundingClientRect().top ?? box.top;
  const room = box.bottom - (box.top - wrapperTop) - (map.getContainer().getBoundingClientRect().top + POPUP_PADDING);
  if (!refresh(content)) return;
  // Leaflet's update() would put the content in again (losing scroll and focus) and pan the map:
  // only its sizing, within the room above, and its centring on the point.
  const overlay = /** @type {any} */ (popup);
  const {maxHeight} = overlay.options;
  overlay.options.maxHeight = Math.max(box.height, Math.min(maxHeight, room));
  overlay._updateLayout();
  overlay.options.maxHeight = maxHeight;
  overlay._updatePosition();
  body.scrollTop = scrollTop;
}

/**
 * Pans the map until the popup's box lies inside the map's, its header first when it cannot all
 * fit: checked once it is painted and after each move that follows, until it fits or for 3 s at
 * most (Leaflet's own pan reckons with the layout of its moment, which a busy WebKitGTK had not
 * finished). Later moves are the reader's, and a popup may then leave the view.
 * @param {L.Map} map @param {L.Popup} popup
 */
function keepInside(map, popup) {
  const opened = Date.now();
  const fit = () => {
    const wrapper = popup.getElement()?.querySelector('.leaflet-popup-content-wrapper');
    if (!popup.isOpen() || !wrapper || Date.now() - opened > 3000) {
      map.off('moveend', fit);
      return;
    }
    const box = wrapper.getBoundingClientRect();
    const view = map.getContainer().getBoundingClientRect();
    const shift = (low, high, viewLow, viewHigh) => {
      if (high > viewHigh - POPUP_PADDING) return Math.min(high - (viewHigh - POPUP_PADDING), low - (viewLow + POPUP_PADDING));
      return low < viewLow + POPUP_PADDING ? low - (viewLow + POPUP_PADDING) : 0;
    };
    const dx = shift(box.left, box.right, view.left, view.right);
    const dy = shift(box.top, box.bottom, view.top, view.bottom);
    if (Math.abs(dx) >= 1 || Math.abs(dy) >= 1) map.panBy([Math.round(dx), Math.round(dy)]);
    else map.off('moveend', fit);  // inside: the moves from here on are the reader's
  };
  map.on('moveend', fit);
  popup.once('remove', () => map.off('moveend', fit));
  afterPaint(fit);
}

/**
 * Makes an SVG path or marker element a button with a text alternative. It is not a tab stop
 * (hundreds of marks would bury the controls); lists and the map's crosshair reach it instead.
 * @param {HTMLElement | SVGElement | undefined} element
 * @param {string} labelText
 * @param {(element: HTMLElement | SVGElement) => void} activate
 */
export function makeKeyboardTarget(element, labelText, activate) {
  if (!element) return;
  element.setAttribute('tabindex', '-1');
  element.setAttribute('role', 'button');
  element.setAttribute('aria-label', labelText);
  element.addEventListener('keydown', (/** @type {KeyboardEvent} */ event) => {
    if (event.key === 'Enter' || event.key === ' ') {
      event.preventDefault();
      event.stopPropagation();
      activate(element);
    }
  });
}

/**
 * Calls onClick({lat, lon}) for a click on the map, unless the click only closed a popup: a layer
 * of no drawing, so its listeners leave the map with it.
 */
export class MapClicks extends L.Layer {
  /** @param {(point: {lat: number, lon: number}) => void} onClick */
  constructor(onClick) {
    super();
    this.onClick = onClick;
    this.popupOpen = false;
    this.popupWasOpen = false;
  }

  onAdd() {
    return this;
  }

  onRemove() {
    return this;
  }

  getEvents() {
    return {
      popupopen: () => (this.popupOpen = true),
      popupclose: () => (this.popupOpen = false),
      mousedown: () => (this.popupWasOpen = this.popupOpen),
      /** @param {L.LeafletMouseEvent} event */
      click: (event) => {
        if (!this.popupWasOpen) this.onClick({lat: event.latlng.lat, lon: event.latlng.lng});
      },
    };
  }
}
