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

const figures = {radarOn: [], loopReady: [], step: [], longTasks: [], cpuPerSecond: [], cpuLongest: [], browserCpu: []};
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
  const cpu = await playingCpu(page);
  figures.cpuPerSecond.push(cpu.perSecond);
  figures.cpuLongest.push(cpu.longest);
  figures.browserCpu.push(cpu.browserCpu);
  await close();
}

/**
 * The CPU time of all the browser's processes while the loop plays 3 s more (raster and compositing
 * are done outside the page's thread); then the page's main-thread CPU time over 3 s, from a trace: per
 * second, and of its longest task. Unlike the long-task figures, these hold on a machine busy with other work,
 * where waiting for a core stretches every task.
 */
async function playingCpu(page) {
  const {browser} = await startBrowser();
  // The steps paused the loop: it plays again first.
  await page.evaluate(() => {
    performance.clearMarks();
    if (document.querySelector('.loop-play').textContent === 'Play') document.querySelector('.loop-play').click();
  });
  const processes = await browser.newBrowserCDPSession();
  const cpuTime = async () => (await processes.send('SystemInfo.getProcessInfo')).processInfo
      .reduce((sum, {cpuTime: seconds}) => sum + seconds, 0);
  await page.waitForTimeout(500);
  const before = await cpuTime();
  await page.waitForTimeout(3000);
  const browserCpu = (await cpuTime() - before) * 1000 / 3;
  await processes.detach();
  await browser.startTracing(page, {categories: ['toplevel', 'blink.user_timing', '__metadata']});
  await page.waitForTimeout(500);  // past the trace's own start in the page
  await page.evaluate(async () => {
    performance.mark('bench-from');
    await new Promise((resume) => setTimeout(resume, 3000));
    performance.mark('bench-to');
  });
  const {traceEvents} = JSON.parse((await browser.stopTracing()).toString());
  const at = (name) => traceEvents.find((e) => e.name === name && e.cat.includes('user_timing'));
  const [from, to] = [at('bench-from'), at('bench-to')];
  // The marks carry the thread's CPU clock (tts) as well as the wall clock (ts).
  const tasks = traceEvents.filter((e) => e.name === 'ThreadControllerImpl::RunTask' && e.ph === 'X' &&
    e.pid === from.pid && e.tid === from.tid && e.ts >= from.ts && e.ts <= to.ts);
  return {perSecond: (to.tts - from.tts) / 1000 / ((to.ts - from.ts) / 1e6), browserCpu,
    longest: Math.max(0, ...tasks.map((e) => (e.tdur ?? e.dur) / 1000))};
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
line('  main-thread CPU while playing, per second', median(figures.cpuPerSecond));
line('  CPU time of the longest task while playing', Math.max(...figures.cpuLongest));
line('  all the browser\'s processes\' CPU while playing, per second', median(figures.browserCpu));
line('renderer peak, page without imagery', withoutImagery, 'MiB');
line('renderer peak, 2-hour radar loop playing a minute', withLoop, 'MiB');
line('  difference (goal at most +150 MiB)', withLoop - withoutImagery, 'MiB');
