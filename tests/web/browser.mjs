// Browser set-up shared by the page tests and the benchmark: Debian's Chromium driven by
// playwright-core, the built page served from the loopback address, and the stub host.
import {mkdirSync, readFileSync} from 'node:fs';
import {createRequire} from 'node:module';
import {dirname, join, resolve} from 'node:path';
import {fileURLToPath} from 'node:url';
import {describe as describeGroup} from 'node:test';
import {chromium} from 'playwright-core';
import {documentsScript, loadDocuments, stubScript} from './documents.mjs';
import {imageryAnswers, routeImagery} from './imagery.mjs';
import {serveFolder} from './server.mjs';

const here = dirname(fileURLToPath(import.meta.url));
export const REPOSITORY = resolve(here, '..', '..');
/** The built page: CORVANE_WEB_DIR (set by CTest to the build tree's web folder) or build/web. */
export const WEB_DIR = resolve(process.env.CORVANE_WEB_DIR || join(REPOSITORY, 'build', 'web'));
/** Screenshots land here: CORVANE_ARTIFACTS or build/page-artifacts. */
export const ARTIFACTS = resolve(process.env.CORVANE_ARTIFACTS ||
    join(REPOSITORY, 'build', 'page-artifacts'));

// Playwright gives every launch a fresh temporary profile (--user-data-dir) of its own.
const ARGS = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// CORVANE_TEST_SHARD=K/N (set by CTest) makes this process run the K-th of every N top-level
// groups of its test file, so N processes share one long file; every group runs in exactly one.
const [SHARD, SHARDS] = (process.env.CORVANE_TEST_SHARD || '1/1').split('/').map(Number);
if (!(SHARDS >= 1 && SHARD >= 1 && SHARD <= SHARDS)) {
  throw new Error(`CORVANE_TEST_SHARD must be K/N with 1 <= K <= N, not ${process.env.CORVANE_TEST_SHARD}`);
}
let groups = 0;
let depth = 0;

/** node:test's describe(), sharded by CORVANE_TEST_SHARD; groups inside a group are never split. */
export function describe(...args) {
  if (depth === 0 && groups++ % SHARDS !== SHARD - 1) return;
  const body = args.pop();
  describeGroup(...args, function(...context) {
    depth++;
    try {
      return body.apply(this, context);
    } finally {
      depth--;
    }
  });
}

let shared = null;

/** One browser and one server per test file; close() ends both. */
export async function startBrowser() {
  if (shared) return shared;
  const browser = await chromium.launch({
    executablePath: process.env.CORVANE_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--headless', ...ARGS,
      ...(process.env.CORVANE_TRUST_ANY_CERTIFICATE === '1' ? ['--ignore-certificate-errors'] : [])],
  });
  const {server, origin} = await serveFolder(WEB_DIR, {mounts: {
    '/__tests/': here,
    '/__data/': join(here, '..', 'data'),
    '/__modules/': join(REPOSITORY, 'node_modules'),  // the unit tests' mocha and chai
  }});
  shared = {
    browser,
    origin,
    async close() {
      await browser.close();
      await new Promise((done) => server.close(done));
      shared = null;
    },
  };
  return shared;
}

const documentsCache = {};

/**
 * A fresh page (own storage) with the stub host installed before the page's scripts run.
 * options.documents replaces the stub's documents; options.clock installs Playwright's clock at
 * that time (ms) so time-outs and ages can be driven, and options.paused stops it there so only
 * clock.runFor() moves it (map animations then stand still too); options.init is a function run in the page
 * before its scripts (to set stub handlers or storage); options.viewport defaults to 1460×960;
 * options.page names another document of the built folder than index.html; options.imagery
 * replaces answers of the imagery hosts (tests/web/imagery.mjs), which the test answers itself:
 * session.imagery logs their requests, and those to any other host, which are never let out;
 * options.imageryDelayMs holds each of their answers back that long; options.imagery 'network'
 * lets them through to the network (inside tools/run_isolated.sh's namespace only, where
 * CORVANE_TRUST_ANY_CERTIFICATE=1 lets the browser take the services' throwaway certificate).
 */
export async function openPage(options = {}) {
  const {browser, origin} = await startBrowser();
  const context = await browser.newContext({
    viewport: options.viewport || {width: 1460, height: 960},
    // A western zone, so "local time" and UTC differ on the page as they do for its readers.
    timezoneId: options.timezoneId || 'America/Denver',
    locale: 'en-US',
  });
  const imagery = await routeImagery(context, options.imagery === 'network' ? 'network' :
    imageryAnswers(options.clock ?? Date.now(), options.imagery),
      {delayMs: options.imageryDelayMs || 0});
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(new Error(message.text()));
  });
  if (options.clock !== undefined && options.paused) {
    await page.clock.install({time: options.clock - 1000});
    await page.clock.pauseAt(options.clock);
  } else if (options.clock !== undefined) {
    await page.clock.install({time: options.clock});
  }
  const documents = options.documents || (documentsCache.all ||= documentsScript(loadDocuments()));
  await page.addInitScript({content: documents});
  await page.addInitScript({content: stubScript()});
  if (options.init) await page.addInitScript(options.init, options.initArgument);
  await page.goto(`${origin}/${options.page || 'index.html'}${options.query || ''}`);
  // The page goes on from the base map to its data after a frame is painted: the first frame.
  if (options.clock !== undefined && options.paused) await page.clock.runFor(20);
  return {page, context, errors, imagery, close: () => context.close()};
}

/** Saves a screenshot into the artefacts folder and returns its path. */
export async function saveScreenshot(page, name) {
  mkdirSync(ARTIFACTS, {recursive: true});
  const path = join(ARTIFACTS, `${name}.png`);
  await page.screenshot({path, animations: 'disabled'});
  return path;
}

/**
 * Scrolls the element into view in one step. Panels are drawn again whenever a feed arrives, so
 * an action that waits for a stable node can find it replaced under it.
 */
export function scrollIntoView(locator) {
  return locator.evaluate((element) => element.scrollIntoView({block: 'nearest'}));
}

const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

/**
 * axe-core's serious and critical violations on the page as it is now: [{id, help, targets}].
 * The engine is evaluated through the debugging protocol, which the page's policy does not see.
 */
export async function accessibilityViolations(page) {
  await page.evaluate(axeSource);
  return page.evaluate(async () => {
    const {violations} = await window.axe.run(document, {resultTypes: ['violations']});
    return violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
        .map((v) => ({id: v.id, help: v.help, targets: v.nodes.slice(0, 5).map((n) => n.target.join(' '))}));
  });
}

/** The requests the stub host has seen, as posted. */
export function stubRequests(page) {
  return page.evaluate(() => window.corvaneStub.requests);
}

/** Waits (bounded) until the stub has seen a request that `match` accepts; returns them all. */
export async function waitForRequest(page, match) {
  for (let attempt = 0; attempt < 200; attempt++) {
    const requests = await stubRequests(page);
    if (requests.some(match)) return requests;
    await new Promise((resume) => setTimeout(resume, 50));
  }
  throw new Error(`no such request; seen: ${JSON.stringify(await stubRequests(page))}`);
}
