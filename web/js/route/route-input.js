// A route as a pilot writes it in the search field or the Route tab: airport ids, towns or
// coordinates one after another ("KSLC KPVU KCDC", "Salt Lake City 39.5,-111.2 KGJT"), read
// longest match first so a town of several words stays one point.

import {parseCoordinates} from '../coordinates.js';
import {foldText} from '../search.js';

const MAX_WORDS = 4;
const MAX_POINTS = 20;

/**
 * @typedef {{kind: string, label: string, id?: string, point: {lat: number, lon: number}}} Found
 * @typedef {(query: string, limit: number) => Found[]} Suggest
 */

/** The one point a piece of text names exactly, or null. @param {string} text @param {Suggest} suggest */
function resolve(text, suggest) {
  const upper = text.toUpperCase();
  if (/^[A-Z0-9]{3,4}$/.test(upper)) {
    const stations = suggest(upper, 8).filter((s) => s.kind === 'station');
    const station = stations.find((s) => s.id === upper) || stations.find((s) => s.id === `K${upper}`);
    if (station) return {lat: station.point.lat, lon: station.point.lon, label: station.id};
  }
  if (/[\d]/.test(text)) {
    const at = parseCoordinates(text);
    if (at) return {...at, label: text.replace(/\s+/g, ' ')};
    return null;
  }
  const folded = foldText(text);
  const place = suggest(text, 8).find((s) => s.kind === 'place' &&
    (foldText(s.label) === folded || foldText(s.label.replace(/, [A-Z]{2}$/, '')) === folded));
  return place ? {lat: place.point.lat, lon: place.point.lon, label: place.label} : null;
}

/**
 * The points of a written route: {points, unknown (the first words no point was found for, or
 * '')}. Words are separated by blanks; "to", "-", "→" and commas between points are ignored.
 * @param {string} text @param {Suggest} suggest
 */
export function parseRoute(text, suggest) {
  const words = String(text).trim().replace(/[→]/g, ' ').split(/\s+/).filter((word) =>
    word && !/^(to|-|–|>)$/i.test(word));
  const points = [];
  let i = 0;
  while (i < words.length && points.length <= MAX_POINTS) {
    let found = null;
    for (let end = Math.min(words.length, i + MAX_WORDS); end > i && !found; end--) {
      const piece = words.slice(i, end).join(' ').replace(/^,|,$/g, '');
      const point = piece ? resolve(piece, suggest) : null;
      if (point) found = {point, end};
    }
    if (!found) return {points, unknown: words[i]};
    points.push(found.point);
    i = found.end;
  }
  if (points.length > MAX_POINTS) return {points: points.slice(0, MAX_POINTS), unknown: 'more than 20 points'};
  return {points, unknown: ''};
}

/**
 * What the search field offers for a written route of two points or more, or null.
 * @param {string} text @param {Suggest} suggest
 * @returns {import('../search.js').Suggestion | null}
 */
function routeSuggestion(text, suggest) {
  if (!/\s/.test(text.trim())) return null;
  const {points, unknown} = parseRoute(text, suggest);
  if (unknown || points.length < 2) return null;
  return {kind: 'route', points, label: `Route ${points.map((p) => p.label).join(' → ')}`,
    detail: 'Plan this route: briefing on the Route tab', point: points[0]};
}

/**
 * The search field's suggestions: a written route first when the text is one, then what
 * `suggest` finds for it.
 * @param {(query: string, limit: number) => import('../search.js').Suggestion[]} suggest
 * @returns {(query: string, limit: number) => import('../search.js').Suggestion[]}
 */
export function withRouteSuggestion(suggest) {
  return (query, limit) => {
    const planned = routeSuggestion(query, suggest);
    return planned ? [planned, ...suggest(query, limit - 1)] : suggest(query, limit);
  };
}
