// Keeps the map readable with thousands of stations: one station per screen cell, the most
// important one (favourites, then the worst flight category, then the newest report).

import {CATEGORIES} from './metar.js';

/** Importance of a station for thinning; higher wins its cell. */
function stationPriority(station, favourites) {
  const category = CATEGORIES.indexOf(station.category);  // -1 unknown, 3 LIFR
  return (favourites?.has(station.id) ? 10 : 0) + (category + 1);
}

/**
 * The stations to draw: `project(station)` gives the screen position {x, y} in pixels at the
 * current zoom; each cell of `cellPx` pixels keeps its most important station.
 * @template {{id: string, category: string | null, time: number}} S
 * @param {S[]} stations
 * @param {(station: S) => {x: number, y: number}} project
 * @param {number} cellPx
 * @param {Set<string>} favourites
 * @returns {S[]}
 */
export function thinStations(stations, project, cellPx, favourites) {
  const cells = new Map();
  for (const station of stations) {
    const point = project(station);
    const key = Math.floor(point.x / cellPx) * 100003 + Math.floor(point.y / cellPx);
    const held = cells.get(key);
    if (!held) {
      cells.set(key, station);
      continue;
    }
    const difference = stationPriority(station, favourites) - stationPriority(held, favourites);
    if (difference > 0 || (difference === 0 && station.time > held.time)) cells.set(key, station);
  }
  return [...cells.values()];
}
