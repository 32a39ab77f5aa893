// The chosen point, marked in a pane above every weather layer, and the keyboard's crosshair:
// with the map focused, the arrow keys move the map under a fixed crosshair and Enter chooses
// the spot beneath it.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {el} from '../dom.js';

/** Point marker and crosshair: set({lat, lon}) marks the point; onChoose(point) on Enter. */
export function createPointMarker(map, {onChoose}) {
  const renderer = L.svg({pane: 'point'});
  // Interactive only so the page can prove it lies on top: a click on it passes to the map.
  const ring = L.circleMarker([0, 0], {renderer, radius: 9, className: 'point-marker', weight: 3,
    fill: false});
  const dot = L.circleMarker([0, 0], {renderer, radius: 2.5, className: 'point-dot', weight: 0,
    fillOpacity: 1});
  const container = map.getContainer();
  const crosshair = el('div', {className: 'crosshair', 'aria-hidden': 'true'},
      el('span', {className: 'crosshair-hint', text: 'Enter: forecast here'}));
  container.appendChild(crosshair);
  let keyboard = false;

  // Shown only when the map has focus from the keyboard, not after a mouse click.
  container.addEventListener('keydown', (event) => {
    if (event.target !== container) return;
    keyboard = true;
    crosshair.classList.add('shown');
    map.closePopup();  // the crosshair and the spot under it, not a popup, are in front now
    if (event.key === 'Enter') {
      event.preventDefault();
      const centre = map.getCenter();
      onChoose({lat: centre.lat, lon: centre.lng});
    }
  });
  container.addEventListener('focus', () => {
    if (container.matches(':focus-visible')) {
      keyboard = true;
      crosshair.classList.add('shown');
    }
  });
  container.addEventListener('blur', () => {
    keyboard = false;
    crosshair.classList.remove('shown');
  });
  container.addEventListener('mousedown', () => {
    if (keyboard) crosshair.classList.remove('shown');
    keyboard = false;
  });

  return {
    set(point) {
      ring.setLatLng([point.lat, point.lon]).addTo(map);
      dot.setLatLng([point.lat, point.lon]).addTo(map);
    },
    crosshairShown: () => crosshair.classList.contains('shown'),
  };
}
