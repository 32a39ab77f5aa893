#!/usr/bin/env node
// Page benchmark (not a test): time to the first map drawing after load, beside a baseline
// measured in the same run (a bare Leaflet map with the same state shapes, bundled the same
// way); the time to draw 2,000 METAR stations, 300 PIREPs and the hazards layer; and the time
// the search field takes per keystroke; a briefing of a 400 NM route with all of that loaded,
// computed and drawn; 300 station plots at zoom 9; and the decoding of a whole winds-aloft table. Read from the performance marks the page sets; each
// figure is the median of several fresh page loads in Debian's Chromium.
//   node bench/page/run.mjs [runs]
import {copyFileSync, readFileSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import * as esbuild from 'esbuild';
import {documentsScript, loadDocuments} from '../../tests/web/documents.mjs';
import {WEB_DIR, openPage, startBrowser} from '../../tests/web/browser.mjs';

const runs = Number(process.argv[2] || 9);

// A small deterministic generator, so every run draws the same map.
function random(seed) {
  let state = seed;
  return () => ((state = (state * 1103515245 + 12345) % 2147483648) / 2147483648);
}

function stations(count, {south = 31, west = -125, height = 18.5, width = 23} = {}) {
  const next = random(7);
  const now = Math.floor(Date.now() / 1000);
  const covers = [[], [{cover: 'BKN', base: 800}], [{cover: 'OVC', base: 2500}],
    [{cover: 'FEW', base: 6000}], [{cover: 'OVC', base: 300}]];
  return Array.from({length: count}, (_, i) => {
    const clouds = covers[Math.floor(next() * covers.length)];
    return {icaoId: `B${String(i).padStart(4, '0')}`, obsTime: now - Math.floor(next() * 3000),
      temp: Math.round(next() * 30 - 5), dewp: -5, wdir: Math.floor(next() * 36) * 10,
      wspd: Math.floor(next() * 30), visib: next() < 0.8 ? '10+' : Math.round(next() * 50) / 10,
      altim: 1013.2, rawOb: `METAR B${i} 201750Z 18010KT 10SM`, lat: south + next() * height,
      lon: west + next() * width, name: `Bench station ${i}`, clouds};
  });
}

function pireps(count) {
  const next = random(11);
  const now = Math.floor(Date.now() / 1000);
  return Array.from({length: count}, (_, i) => ({obsTime: now - Math.floor(next() * 10800),
    lat: 31 + next() * 18.5, lon: -125 + next() * 23, fltLvl: Math.floor(next() * 400) + 10,
    tbInt1: ['', 'LGT', 'MOD', 'SEV'][i % 4], tbType1: 'CHOP', icgInt1: ['', 'LGT', 'MOD'][i % 3],
    icgType1: 'RIME', pirepType: i % 40 === 0 ? 'Urgent PIREP' : 'PIREP', rawOb: `BENCH UA ${i}`}));
}

// The avalanche layer at the size of every US zone and more: 150 zones of 400 points each.
function avalancheZones(count) {
  const next = random(13);
  const template = loadDocuments().avalanche.features[0];
  return {type: 'FeatureCollection', features: Array.from({length: count}, (_, i) => {
    const lat = 31.5 + next() * 17;
    const lon = -124 + next() * 21;
    const ring = Array.from({length: 400}, (_, k) => {
      const angle = (2 * Math.PI * k) / 399;
      const radius = 0.15 + 0.03 * Math.sin(9 * angle);
      return [lon + radius * Math.cos(angle), lat + radius * Math.sin(angle)];
    });
    ring[399] = ring[0];
    return {...template, id: 9000 + i, properties: {...template.properties, name: `Bench zone ${i}`,
      danger_level: (i % 7) - 1, start_date: new Date(Date.now() - 3600000).toISOString().slice(0, 19),
      end_date: new Date(Date.now() + 20 * 3600000).toISOString().slice(0, 19)},
    geometry: {type: 'Polygon', coordinates: [ring]}};
  })};
}

const documents = {...loadDocuments(), metarWest: stations(2000), metarIds: [], pireps: pireps(300),
  avalanche: avalancheZones(150)};
const script = documentsScript(documents);
// 300 stations inside the map's view at zoom 9 around Salt Lake City, for the station plots.
const PLOT_CENTRE = '40.7, -112.0';
const plotScript = documentsScript({...loadDocuments(), metarWest: stations(300,
  {south: 39.95, west: -113.15, height: 1.5, width: 2.3}), metarIds: []});

// The baseline page beside the built page: same policy, same Leaflet style sheet, one bundle.
copyFileSync(new URL('./baseline.js', import.meta.url), join(WEB_DIR, 'js', 'bench-baseline.js'));
await esbuild.build({entryPoints: [join(WEB_DIR, 'js', 'bench-baseline.js')], bundle: true,
  format: 'esm', minify: true, outfile: join(WEB_DIR, 'js', 'bench-baseline.bundle.js'), logLevel: 'warning'});
const policy = /<meta http-equiv="Content-Security-Policy"[^>]*>/.exec(readFileSync(join(WEB_DIR, 'index.html'), 'utf8'))[0];
writeFileSync(join(WEB_DIR, 'bench-baseline.html'), `<!doctype html><html lang="en"><head><meta charset="utf-8">
${policy}<link rel="stylesheet" href="vendor/leaflet/leaflet.css"><link rel="stylesheet" href="css/page.css">
<script type="module" src="js/bench-baseline.bundle.js"></script></head>
<body><main class="layout"><div id="map" class="map"></div></main></body></html>`);
const SEARCH_TEXT = 'Salt Lake City';

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const figures = {baseline: [], firstMap: [], metars: [], pireps: [], hazards: [], layers: [],
  shown: [], keystroke: [], briefing: [], windsDecode: [], avalanche: [], avalancheDecode: [], point: [],
  parkKeystroke: [], plots: [], plotsOnly: [], briefingFirst: [], plotCount: [], briefingCompute: []};
// About 405 NM from Salt Lake City to Phoenix, in the middle of the stations.
const ROUTE = '40.79,-111.98 34.0,-112.0';
for (let run = 0; run < runs; run++) {
  const bare = await openPage({documents: script, query: '', page: 'bench-baseline.html'});
  await bare.page.waitForFunction(() => performance.getEntriesByName('corvane:first-map').length);
  figures.baseline.push(await bare.page.evaluate(() =>
    performance.getEntriesByName('corvane:first-map')[0].startTime));
  await bare.close();

  const {page, close} = await openPage({documents: script});
  await page.waitForFunction(() => ['corvane:metars-draw', 'corvane:pireps-draw', 'corvane:hazards-draw']
      .every((name) => performance.getEntriesByName(name).length));
  await page.locator('.place-label').first().waitFor({state: 'attached'});  // it may give way to a mark
  await page.waitForTimeout(300);  // the station directory, loaded after the place names
  const marks = await page.evaluate(() => {
    const last = (name) => performance.getEntriesByName(name).at(-1).duration;
    return {
      firstMap: performance.getEntriesByName('corvane:first-map')[0].startTime,
      metars: last('corvane:metars-draw'),
      pireps: last('corvane:pireps-draw'),
      hazards: last('corvane:hazards-draw'),
      layers: last('corvane:metars-draw') + last('corvane:pireps-draw') + last('corvane:hazards-draw'),
      shown: document.querySelectorAll('path.station-marker').length,
    };
  });
  // Each keystroke as typed: the field's input handler runs the search and draws the list.
  const keystrokes = await page.evaluate((text) => {
    const input = document.getElementById('search-input');
    const times = [];
    for (let length = 1; length <= text.length; length++) {
      input.value = text.slice(0, length);
      const start = performance.now();
      input.dispatchEvent(new Event('input'));
      times.push(performance.now() - start);
    }
    return times;
  }, SEARCH_TEXT);
  // Towns, parks and gateway towns together, per keystroke.
  const parkKeystrokes = await page.evaluate((texts) => {
    const input = document.getElementById('search-input');
    const times = [];
    for (const text of texts) {
      for (let length = 1; length <= text.length; length++) {
        input.value = text.slice(0, length);
        const start = performance.now();
        input.dispatchEvent(new Event('input'));
        times.push(performance.now() - start);
      }
    }
    input.value = '';
    input.dispatchEvent(new Event('input'));
    return times;
  }, ['Zion', 'Springdale', 'Grand Staircase', 'Glacier']);
  // The avalanche layer, shown in any season for this, and the point panel with every block.
  if (!(await page.locator('#layer-avalanche').isChecked())) await page.locator('#layer-avalanche').check();
  await page.waitForFunction(() => performance.getEntriesByName('corvane:avalanche-draw').length);
  await page.locator('#search-input').fill('40.59, -111.64');
  await page.locator('#search-input').press('Enter');
  await page.locator('#panel-point .mountain').waitFor();
  await page.waitForTimeout(300);
  const backcountry = await page.evaluate(() => {
    const last = (name) => performance.getEntriesByName(name).at(-1).duration;
    return {avalanche: last('corvane:avalanche-decode') + last('corvane:avalanche-draw'),
      avalancheDecode: last('corvane:avalanche-decode'),
      point: Math.max(...performance.getEntriesByName('corvane:point-draw').slice(-3).map((e) => e.duration))};
  });
  for (const key of Object.keys(marks)) figures[key].push(marks[key]);
  figures.avalanche.push(backcountry.avalanche);
  figures.avalancheDecode.push(backcountry.avalancheDecode);
  figures.point.push(backcountry.point);
  figures.parkKeystroke.push(...parkKeystrokes);
  figures.keystroke.push(...keystrokes);
  // The briefing of a 400 NM route: computed from every layer's data and drawn into the tab.
  await page.getByRole('tab', {name: 'Route'}).click();
  await page.locator('#route-text').fill(ROUTE);
  const before = await page.evaluate(() => performance.getEntriesByName('corvane:briefing').length);
  await page.locator('#route-text').press('Enter');
  await page.waitForFunction((count) => performance.getEntriesByName('corvane:briefing').length > count, before);
  figures.briefingFirst.push(await page.evaluate(() => performance.getEntriesByName('corvane:briefing').at(-1).duration));
  // Once the corridor's boxes and the winds have come, the same route planned again.
  await page.waitForFunction(() => /0 being asked, 0 waiting/.test(document.getElementById('route-budget').textContent) &&
    !/Winds aloft: loading/.test(document.getElementById('briefing').textContent));
  await page.waitForTimeout(500);
  const settled = await page.evaluate(() => performance.getEntriesByName('corvane:briefing').length);
  await page.locator('#route-text').press('Enter');
  await page.waitForFunction((count) => performance.getEntriesByName('corvane:briefing').length > count, settled);
  figures.briefing.push(await page.evaluate(() => performance.getEntriesByName('corvane:briefing').at(-1).duration));
  figures.briefingCompute.push(await page.evaluate(() => performance.getEntriesByName('corvane:briefing-compute').at(-1).duration));
  await close();

  // Station plots: the view at zoom 9 over 300 stations, then the stations drawn again from a
  // refresh (marks, thinning and the plots around them).
  const plotPage = await openPage({documents: plotScript});
  await plotPage.page.waitForFunction(() => performance.getEntriesByName('corvane:metars-drawn').length);
  await plotPage.page.locator('#search-input').fill(PLOT_CENTRE);
  await plotPage.page.locator('#search-input').press('Enter');
  await plotPage.page.locator('.station-plot-icon').first().waitFor({state: 'attached'});
  await plotPage.page.waitForTimeout(2000);  // the view's own boxes, asked once it rests
  const drawn = await plotPage.page.evaluate(() => performance.getEntriesByName('corvane:metars-draw').length);
  await plotPage.page.getByRole('tab', {name: 'Layers'}).click();
  await plotPage.page.getByRole('button', {name: 'Refresh METAR stations'}).click();
  await plotPage.page.waitForFunction((count) => performance.getEntriesByName('corvane:metars-draw').length > count, drawn);
  const plots = await plotPage.page.evaluate(() => ({draw: performance.getEntriesByName('corvane:metars-draw').at(-1).duration,
    plots: performance.getEntriesByName('corvane:plots').at(-1).duration,
    count: document.querySelectorAll('.station-plot-icon').length}));
  figures.plots.push(plots.draw);
  figures.plotsOnly.push(plots.plots);
  figures.plotCount.push(plots.count);
  await plotPage.close();
}
await (await startBrowser()).close();

// A whole national table: the test bulletin's rows three times over under new ids (180 stations).
const {decodeWinds} = await import('../../web/js/winds.js');
const bulletin = documents.winds['06'];
const [head, table] = bulletin.productText.split(/\n(?=FT )/);
const rows = table.split('\n').slice(1).filter(Boolean);
const letters = 'ABCDEFGHIJKLMNOPQRSTUVWXYZ';
const whole = [table.split('\n')[0], ...[0, 1, 2].flatMap((copy) => rows.map((row, i) =>
  `${letters[copy]}${letters[Math.floor(i / 26) % 26]}${letters[i % 26]}${row.slice(3)}`))].join('\n');
const reply = {issuanceTime: bulletin.issuanceTime, productText: `${head}\n${whole}\n`};
for (let i = 0; i < 200; i++) {
  const start = performance.now();
  if (decodeWinds(reply).stations.length !== 180) throw new Error('the bench table did not decode whole');
  figures.windsDecode.push(performance.now() - start);
}

const line = (name, values, unit = 'ms') =>
  console.log(`${name.padEnd(44)} ${median(values).toFixed(1).padStart(8)} ${unit}   ` +
      `(min ${Math.min(...values).toFixed(1)}, max ${Math.max(...values).toFixed(1)})`);
console.log(`Median of ${runs} page loads at 1460×960:`);
line('baseline: bare Leaflet map, first drawing', figures.baseline);
line('first map drawing after navigation start', figures.firstMap);
const ratio = median(figures.firstMap) / median(figures.baseline);
console.log(`${'  ratio to the baseline (goal at most 1.5)'.padEnd(44)} ${ratio.toFixed(2).padStart(8)}`);
line('draw 2,000 METAR stations (thinned)', figures.metars);
console.log(`${'  stations drawn at the start zoom'.padEnd(44)} ${String(median(figures.shown)).padStart(8)}`);
line('draw 300 PIREPs', figures.pireps);
line('draw the hazards layer', figures.hazards);
line('all three layers (goal 100 ms)', figures.layers);
line(`search, per keystroke of "${SEARCH_TEXT}" (goal 20 ms)`, figures.keystroke);
line('briefing of a 400 NM route, computed and drawn (goal 100 ms)', figures.briefing);
line('  of which computing', figures.briefingCompute);
line('  the first one, before its boxes and winds', figures.briefingFirst);
line('300 stations drawn as plots at zoom 9 (goal 50 ms)', figures.plots);
line('  of which the plots', figures.plotsOnly);
console.log(`${'  plots drawn'.padEnd(44)} ${String(median(figures.plotCount)).padStart(8)}`);
line('decode a winds-aloft table of 180 stations (goal 5 ms)', figures.windsDecode);
const worst = Math.max(...figures.keystroke);
console.log(`${'  slowest keystroke'.padEnd(44)} ${worst.toFixed(1).padStart(8)} ms`);
line('avalanche layer, 150 zones decoded and drawn (goal 50 ms)', figures.avalanche);
line('  of which decoding', figures.avalancheDecode);
line('point panel with every block (goal 30 ms)', figures.point);
const sorted = [...figures.parkKeystroke].sort((a, b) => a - b);
console.log(`${'search with parks, 95th percentile (goal 20 ms)'.padEnd(44)} ` +
    `${sorted[Math.floor(sorted.length * 0.95)].toFixed(1).padStart(8)} ms`);
