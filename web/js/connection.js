// The page's one connection to the native host, opened with the map: the first request (the
// METAR stations, what a reader looks for first) is on its way while the base map draws and the
// rest of the page loads, instead of after it.

import {createBridge} from './bridge.js';

export const bridge = createBridge();

/** The whole area's stations, asked at once: settles with {body} or {error}, never rejects. */
export const firstStations = bridge.request('metars', '').then((body) => ({body}), (error) => ({error}));
