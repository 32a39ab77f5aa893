// A wind barb as pilots read it: the staff points into the wind (where it blows from), with a
// pennant for each 50 kt, a long barb for each 10 and a short one for 5, on the staff's
// clockwise side; calm or light and variable is a ring around the station.

import {svgEl} from '../dom.js';

/**
 * The feathers of a speed in knots, rounded to 5 kt: {pennants, barbs, half}.
 * @param {number} knots
 */
function barbFeathers(knots) {
  let rest = Math.round(knots / 5) * 5;
  const pennants = Math.floor(rest / 50);
  rest -= pennants * 50;
  const barbs = Math.floor(rest / 10);
  return {pennants, barbs, half: rest - barbs * 10 === 5};
}

/**
 * The barb's path in a box of `size` px around the station at its centre, for a wind from
 * `direction` degrees at `knots` (direction null: light and variable).
 * @param {number | null} direction @param {number} knots @param {number} [size=44]
 */
export function windBarb(direction, knots, size = 44, className = 'wind-barb') {
  const c = size / 2;
  const parts = [];
  if (direction === null || Math.round(knots / 5) * 5 === 0) {
    parts.push(svgEl('circle', {className: 'barb-calm', cx: c, cy: c, r: 5}));
  } else {
    const length = c - 2;
    const step = Math.max(3.5, size / 11);
    const feather = size / 4.4;
    let d = `M${c} ${c}V${c - length}`;
    let y = c - length;
    const {pennants, barbs, half} = barbFeathers(knots);
    const fill = [];
    for (let i = 0; i < pennants; i++) {
      fill.push(`M${c} ${y}L${c + feather} ${y + step * 0.6}L${c} ${y + step * 1.2}Z`);
      y += step * 1.4;
    }
    for (let i = 0; i < barbs; i++) {
      d += `M${c} ${y}L${c + feather} ${y - step * 0.9}`;
      y += step;
    }
    // A lone short barb stands a step in from the tip, so it is not read as a long one.
    if (half) d += `M${c} ${y + (pennants || barbs ? 0 : step)}L${c + feather / 2} ${y + (pennants || barbs ? 0 : step) - step * 0.45}`;
    parts.push(svgEl('g', {transform: `rotate(${direction} ${c} ${c})`},
        svgEl('path', {className: 'barb-line', d}),
        fill.length ? svgEl('path', {className: 'barb-pennant', d: fill.join('')}) : null));
  }
  parts.push(svgEl('circle', {className: 'barb-station', cx: c, cy: c, r: 2}));
  return svgEl('svg', {className, viewBox: `0 0 ${size} ${size}`, width: size, height: size,
    'aria-hidden': 'true', focusable: 'false'}, ...parts);
}
