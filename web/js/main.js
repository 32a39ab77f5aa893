// Starts the page: the map is drawn first; the layers, panels and the connection to the native
// host come in a module of their own once the base map is on the screen, so the first drawing
// waits for none of them and no data is drawn before it.

import {drawRestOfBaseMap, map} from './map-view.js';
import './connection.js';
import {afterPaint} from './dom.js';
import {setUpTabs} from './panels/tabs.js';

// The tabs answer from the first frame: a click while the rest of the page loads is not lost.
export const tabs = setUpTabs(/** @type {HTMLElement} */ (document.getElementById('tabs')));

performance.mark('corvane:first-map');
afterPaint(() => {
  performance.mark('corvane:map-drawn');
  map.getContainer().dataset.drawn = 'base';  // the page's signal: the base map is on the screen
  import('./app.js');
  setTimeout(drawRestOfBaseMap, 0);
});
