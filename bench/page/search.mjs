#!/usr/bin/env node
// Search benchmark (not a test): builds the place and station index from the built page's data
// in Chromium and types queries letter by letter, timing every keystroke's search. The goal is
// 20 ms per keystroke for the whole western data set.
//   node bench/page/search.mjs [runs]        (after npm run build, or with CORVANE_WEB_DIR)
import {fileURLToPath} from 'node:url';

import {startBrowser} from '../../tests/web/browser.mjs';

const QUERIES = ['Salt Lake City', 'Moab', 'San Francisco', 'KSLC', 'slc', 'Española', 'st george',
  'Jackson WY', 'Flagstaff', 'Coeur d\'Alene', 'Canyonlands', 'Mount Shasta', '40.76 -111.89',
  'Seattle-Tacoma International', 'x'];

/**
 * Times the search in `page` (any page of the test server's origin): resolves with
 * {entries, buildMs, keystrokes, medianMs, p95Ms, maxMs}.
 */
export function measureSearch(page) {
  return page.evaluate(async (queries) => {
    const [{createSearchIndex}, {default: places}, {default: stations}] = await Promise.all([
      import('/js/search.js'), import('/data/places.js'), import('/data/stations.js')]);
    const started = performance.now();
    const index = createSearchIndex({places, stations});
    const buildMs = performance.now() - started;
    const times = [];
    for (const query of queries) {
      for (let length = 1; length <= query.length; length++) {
        const before = performance.now();
        index.search(query.slice(0, length), {limit: 8});
        times.push(performance.now() - before);
      }
    }
    times.sort((a, b) => a - b);
    const at = (share) => times[Math.min(times.length - 1, Math.floor(times.length * share))];
    return {entries: index.size, buildMs, keystrokes: times.length, medianMs: at(0.5),
      p95Ms: at(0.95), maxMs: times.at(-1)};
  }, QUERIES);
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const runs = Number(process.argv[2] || 9);
  const {browser, origin, close} = await startBrowser();
  const figures = [];
  for (let run = 0; run < runs; run++) {
    const context = await browser.newContext();
    const page = await context.newPage();
    await page.goto(`${origin}/icon.svg`);  // any document of the origin
    figures.push(await measureSearch(page));
    await context.close();
  }
  await close();
  const median = (key) => figures.map((f) => f[key]).sort((a, b) => a - b)[Math.floor(runs / 2)];
  const {entries, keystrokes} = figures[0];
  console.log(`search over ${entries} places and stations, ${keystrokes} keystrokes, median of ` +
      `${runs} runs: index built in ${median('buildMs').toFixed(1)} ms; per keystroke median ` +
      `${median('medianMs').toFixed(2)} ms, 95th percentile ${median('p95Ms').toFixed(2)} ms, ` +
      `slowest ${median('maxMs').toFixed(2)} ms (goal 20 ms)`);
}
