#!/usr/bin/env node
// Page benchmark (not a test): time to the first map drawing after load, and the time to draw
// 2,000 METAR stations and 300 PIREPs, read from the performance marks the page sets. Each
// figure is the median of several fresh page loads in Debian's Chromium.
//   node bench/page/run.mjs [runs]
import {documentsScript, loadDocuments} from '../../tests/web/documents.mjs';
import {openPage, startBrowser} from '../../tests/web/browser.mjs';

const runs = Number(process.argv[2] || 9);

// A small deterministic generator, so every run draws the same map.
function random(seed) {
  let state = seed;
  return () => ((state = (state * 1103515245 + 12345) % 2147483648) / 2147483648);
}

function stations(count) {
  const next = random(7);
  const now = Math.floor(Date.now() / 1000);
  const covers = [[], [{cover: 'BKN', base: 800}], [{cover: 'OVC', base: 2500}],
    [{cover: 'FEW', base: 6000}], [{cover: 'OVC', base: 300}]];
  return Array.from({length: count}, (_, i) => {
    const clouds = covers[Math.floor(next() * covers.length)];
    return {icaoId: `B${String(i).padStart(4, '0')}`, obsTime: now - Math.floor(next() * 3000),
      temp: Math.round(next() * 30 - 5), dewp: -5, wdir: Math.floor(next() * 36) * 10,
      wspd: Math.floor(next() * 30), visib: next() < 0.8 ? '10+' : Math.round(next() * 50) / 10,
      altim: 1013.2, rawOb: `METAR B${i} 201750Z 18010KT 10SM`, lat: 31 + next() * 18.5,
      lon: -125 + next() * 23, name: `Bench station ${i}`, clouds};
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

const documents = {...loadDocuments(), metarWest: stations(2000), metarIds: [], pireps: pireps(300)};
const script = documentsScript(documents);

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const figures = {firstMap: [], metars: [], pireps: [], shown: []};
for (let run = 0; run < runs; run++) {
  const {page, close} = await openPage({documents: script});
  await page.locator('.pirep-symbol').nth(299).waitFor();
  await page.locator('path.station-marker').first().waitFor();
  const marks = await page.evaluate(() => ({
    firstMap: performance.getEntriesByName('corvane:first-map')[0].startTime,
    metars: performance.getEntriesByName('corvane:metars-draw').at(-1).duration,
    pireps: performance.getEntriesByName('corvane:pireps-draw').at(-1).duration,
    shown: document.querySelectorAll('path.station-marker').length,
  }));
  for (const key of Object.keys(figures)) figures[key].push(marks[key]);
  await close();
}
await (await startBrowser()).close();

const line = (name, values, unit = 'ms') =>
  console.log(`${name.padEnd(44)} ${median(values).toFixed(1).padStart(8)} ${unit}   ` +
      `(min ${Math.min(...values).toFixed(1)}, max ${Math.max(...values).toFixed(1)})`);
console.log(`Median of ${runs} page loads at 1460×960:`);
line('first map drawing after navigation start', figures.firstMap);
line('draw 2,000 METAR stations (thinned)', figures.metars);
console.log(`${'  stations drawn at the start zoom'.padEnd(44)} ${String(median(figures.shown)).padStart(8)}`);
line('draw 300 PIREPs', figures.pireps);
