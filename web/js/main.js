// Starts the page: the map is drawn first; the layers, panels and the connection to the native
// host come in a module of their own right after, so the first drawing waits for none of them.

import './map-view.js';

performance.mark('corvane:first-map');
import('./app.js');
