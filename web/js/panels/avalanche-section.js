// The avalanche layer's block in the layer list: when the forecasts were issued, the zones by
// danger, when the layer asks again, the legend in the map's own styles and the source.

import {dangerOf, inAvalancheSeason, zoneDanger} from '../avalanche.js';
import {el, svgEl} from '../dom.js';
import {zoneStyle} from '../map/avalanche-layer.js';
import {formatTime} from '../time.js';
import {freshnessLine} from './freshness.js';

/** A swatch drawn with the map's own style for a zone of `level` (or an expired one). */
function swatch(zone) {
  const style = zoneStyle(zone, 0);
  return svgEl('svg', {className: 'swatch-svg', viewBox: '0 0 20 14', width: 20, height: 14,
    'aria-hidden': 'true', focusable: 'false'},
  svgEl('rect', {x: 1.5, y: 1.5, width: 17, height: 11, stroke: style.color,
    'stroke-width': Math.min(3, style.weight), 'stroke-dasharray': style.dashArray || null,
    fill: style.fill === false ? 'none' : style.fillColor, 'fill-opacity': style.fill === false ? null : style.fillOpacity}));
}

const legendZone = (level, extra = {}) => ({level, fill: '', stroke: '', end: Number.MAX_SAFE_INTEGER,
  offSeason: false, ...extra});

function avalancheLegend() {
  const item = (zone, text) => el('li', null, swatch(zone), text);
  return el('div', null,
      el('ul', {className: 'legend', 'aria-label': 'Avalanche danger'},
          ...[1, 2, 3, 4, 5].map((level) => item(legendZone(level), dangerOf(level).label +
            (level === 5 ? ' (thick red outline)' : ''))),
          item(legendZone(-1), 'Information available, no rating'),
          item(legendZone(0), 'No information (outline only)'),
          item(legendZone(3, {end: -1}), 'Expired forecast (dashed, no colour)')),
      el('p', {className: 'note', text: 'Danger on the North American Public Avalanche Danger Scale, ' +
        'from the National Avalanche Center (avalanche.org) and its member centers. Click a zone for ' +
        'its danger, advice and the center\'s full forecast.'}));
}

/**
 * The avalanche block.
 * @param {{feed: import('../feed.js').Feed<any>, layer: import('../map/avalanche-layer.js').AvalancheLayer,
 *   nextAsk: () => number, now: () => number}} parts
 * @returns {import('./layer-panel.js').LayerSection}
 */
export function avalancheSection({feed, layer, nextAsk, now}) {
  return {feed, layer, startHidden: !layer.visible,
    freshness: (at, reason) => {
      const starts = (feed.data?.zones || []).map((zone) => zone.start).filter(Number.isFinite);
      const text = starts.length ? `forecasts issued ${formatTime(Math.min(...starts))} to ${formatTime(Math.max(...starts))}` : '';
      return freshnessLine({dataText: text, fetchedAt: feed.fetchedAt, now: at, reason, fromStorage: feed.fromStorage});
    },
    count: () => {
      const counts = new Map();
      let expired = 0;
      for (const zone of feed.data.zones) {
        const danger = zoneDanger(zone, now());
        if (danger.style === 'expired') expired++;
        else counts.set(danger.word, (counts.get(danger.word) || 0) + 1);
      }
      const order = ['Extreme', 'High', 'Considerable', 'Moderate', 'Low', 'No rating', 'Unknown'];
      return `${feed.data.zones.length} zones: ` + order.filter((word) => counts.get(word))
          .map((word) => `${counts.get(word)} ${word}`).join(', ') + (expired ? `; ${expired} expired` : '');
    },
    notes: (at) => {
      const notes = [];
      if (feed.data.undrawable) notes.push(`${feed.data.undrawable} zones had no shape the map can draw.`);
      const next = nextAsk();
      notes.push(!layer.visible ? 'Hidden: the map does not ask for the forecasts while the layer is off.' :
        Number.isFinite(next) ? `Asks again ${formatTime(next, {form: 'clock'})}: every 15 minutes from 5 to 10 am ` +
          'Mountain time, when the centers publish, hourly otherwise.' : '');
      if (!inAvalancheSeason(at)) notes.push('Outside the season (December to April) most centers publish no rating.');
      return notes.filter(Boolean);
    },
    legend: avalancheLegend};
}
