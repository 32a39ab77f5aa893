#!/usr/bin/env node
// Imagery benchmark (not a test): the imagery hosts answered locally with 150 ms added to every
// answer. Times from switching the radar on to its newest frame drawn, from Play to a 1-hour
// loop ready, the main-thread work of a frame step while playing (and long tasks), and the
// renderer's peak memory with a 2-hour loop playing for a minute against the page without
// imagery. Each time figure is the median of several fresh page loads in Debian's Chromium.
//   node bench/page/imagery.mjs [runs]        (after npm run build, or with CORVANE_WEB_DIR)
import {readFileSync} from 'node:fs';
import {openPage, startBrowser} from '../../tests/web/browser.mjs';

const runs = Number(process.argv[2] || 5);
const LATENCY_MS = 150;
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const hidden = (key) => `localStorage.setItem('corvane.${key}-shown', 'false')`;

/** Waits in the page until `condition` holds at a frame; resolves with performance.now() then. */
const atFrame = (page, condition) => page.evaluate((source) => new Promise((done) => {
  const check = new Function(`return (${source})`);
  const look = () => (check() ? done(performance.now()) : requestAnimationFrame(look));
  look();
}), condition);

const FRAME_DRAWN = `[...document.querySelectorAll('.radar-pane img')].some((img) =>
  Number(img.style.opacity) > 0 && img.complete && img.naturalWidth > 0)`;
const LOOP_READY = `(() => /frame \\d+ of \\d+/.test(document.querySelector('.loop-time').textContent) &&
  document.querySelector('.loop-note').hidden && document.querySelector('.loop-play').textContent === 'Pause')()`;

const figures = {radarOn: [], loopReady: [], step: [], longTasks: []};
for (let run = 0; run < runs; run++) {
  const {page, close} = await openPage({imageryDelayMs: LATENCY_MS, init: new Function(hidden('radar'))});
  await page.locator('path.station-marker').first().waitFor();
  await page.waitForTimeout(500);
  const started = await page.evaluate(() => {
    const at = performance.now();
    document.getElementById('layer-radar').click();
    return at;
  });
  figures.radarOn.push(await atFrame(page, FRAME_DRAWN) - started);
  const play = await page.evaluate(() => {
    const at = performance.now();
    document.querySelector('.loop-play').click();
    return at;
  });
  figures.loopReady.push(await atFrame(page, LOOP_READY) - play);
  // While playing: long tasks, and the cost of each step as the arrow key makes it.
  const {steps, longTasks} = await page.evaluate(async () => {
    const tasks = [];
    new PerformanceObserver((list) => tasks.push(...list.getEntries().map((e) => e.duration)))
        .observe({type: 'longtask'});
    await new Promise((resume) => setTimeout(resume, 3000));
    const slider = document.querySelector('.loop-slider');
    const times = [];
    for (let i = 0; i < 20; i++) {
      const before = performance.now();
      slider.dispatchEvent(new KeyboardEvent('keydown', {key: 'ArrowRight', bubbles: true}));
      times.push(performance.now() - before);
      await new Promise((resume) => requestAnimationFrame(resume));
    }
    return {steps: times, longTasks: tasks};
  });
  figures.step.push(...steps);
  figures.longTasks.push(longTasks.length ? Math.max(...longTasks) : 0);
  await close();
}

// Peak memory (VmHWM) of this browser's renderer processes started for one page: a 2-hour loop
// playing for a minute, and the same page with radar and satellite off.
async function rendererPeaks() {
  const {browser} = await startBrowser();
  const cdp = await browser.newBrowserCDPSession();
  const {processInfo} = await cdp.send('SystemInfo.getProcessInfo');
  await cdp.detach();
  const peaks = new Map();
  for (const {id, type} of processInfo) {
    if (type !== 'renderer') continue;
    try {
      peaks.set(id, Number(/VmHWM:\s+(\d+)/.exec(readFileSync(`/proc/${id}/status`, 'utf8'))[1]) / 1024);
    } catch { /* ended */ }
  }
  return peaks;
}

async function peakWith(imagery) {
  const before = new Set((await rendererPeaks()).keys());
  const {page, close} = await openPage({imageryDelayMs: LATENCY_MS,
    init: imagery ? undefined : new Function(`${hidden('radar')}; ${hidden('satellite')}`)});
  await page.locator('path.station-marker').first().waitFor();
  if (imagery) {
    await page.selectOption('select[aria-label="Loop length"]', String(2 * 3600000));
    await page.locator('.loop-play').click();
    await atFrame(page, LOOP_READY);
  }
  await page.waitForTimeout(60000);
  const peak = [...(await rendererPeaks())].filter(([pid]) => !before.has(pid)).reduce((sum, [, mib]) => sum + mib, 0);
  await close();
  return peak;
}
const withoutImagery = await peakWith(false);
const withLoop = await peakWith(true);
await (await startBrowser()).close();

const line = (name, value, unit = 'ms') => console.log(`${name.padEnd(58)} ${value.toFixed(1).padStart(8)} ${unit}`);
console.log(`Imagery, median of ${runs} page loads at 1460×960, every answer ${LATENCY_MS} ms late:`);
line('radar switched on to its newest frame drawn', median(figures.radarOn));
console.log(`${'  to one answer + the capabilities answer (goal at most 1.3)'.padEnd(58)} ${(median(figures.radarOn) / (2 * LATENCY_MS)).toFixed(2).padStart(8)}`);
line('Play to a 1-hour loop ready (31 frames)', median(figures.loopReady));
console.log(`${'  to one frame drawn (goal at most 2)'.padEnd(58)} ${(median(figures.loopReady) / (median(figures.radarOn) - LATENCY_MS)).toFixed(2).padStart(8)}`);
line('frame step while playing, main thread (goal 16 ms)', median(figures.step));
line('  slowest step', Math.max(...figures.step));
line('longest task while playing (goal under 50 ms)', Math.max(...figures.longTasks));
line('renderer peak, page without imagery', withoutImagery, 'MiB');
line('renderer peak, 2-hour radar loop playing a minute', withLoop, 'MiB');
line('  difference (goal at most +150 MiB)', withLoop - withoutImagery, 'MiB');
