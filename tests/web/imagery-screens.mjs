// Pictures of the imagery states, drawn from the demo's own radar, satellite and base-map
// answers (demo/imagery.py) for a person to judge; not a test. Run inside the namespace:
//   CORVANE_IMAGERY_NOW=1795197600 CORVANE_TRUST_ANY_CERTIFICATE=1 tools/run_isolated.sh \
//     --services demo/demo_services.py -- node tests/web/imagery-screens.mjs
import {REFERENCE_TIME} from './documents.mjs';
import {openPage, saveScreenshot, startBrowser} from './browser.mjs';

const MINUTE = 60000;
const drawn = (page) => page.waitForFunction(() => [...document.querySelectorAll('.radar-pane img, .baseTiles-pane img')]
    .every((img) => img.complete), null, {timeout: 60000});
const sizes = [{width: 1460, height: 960}, {width: 920, height: 650}];
const states = [
  ['radar-terrain', {}, async () => {}],
  ['radar-zoom9-slc', {}, async (page) => {
    await page.locator('#search-input').fill('Salt Lake City');
    await page.getByRole('option', {name: /Salt Lake City/}).first().waitFor();
    await page.locator('#search-input').press('Enter');
    await page.waitForTimeout(1500);
    await page.getByRole('tab', {name: 'Layers'}).click();
  }],
  ['radar-loop-playing', {}, async (page) => {
    await page.locator('.loop-play').click();
    await page.waitForFunction(() => document.querySelector('.loop-play').textContent === 'Pause' &&
      document.querySelector('.loop-note').hidden, null, {timeout: 120000});
    await page.waitForTimeout(2200);
  }],
  ['satellite-ir', {}, async (page) => {
    await page.locator('#layer-satellite').check();
    await page.waitForTimeout(3000);
  }],
  ['radar-stale', {clock: REFERENCE_TIME + 15 * MINUTE}, async () => {}],
  ['radar-unavailable', {clock: REFERENCE_TIME + 75 * MINUTE}, async () => {}],
  ['base-topographic', {}, async (page) => {
    await page.getByLabel('Topographic').check();
    await page.waitForTimeout(2000);
  }],
  ['base-plain', {}, async (page) => {
    await page.getByLabel('Plain').check();
    await page.waitForTimeout(500);
  }],
];
for (const viewport of sizes) {
  for (const [name, options, act] of states) {
    const {page, close} = await openPage({clock: REFERENCE_TIME, imagery: 'network', viewport, ...options});
    await page.locator('path.station-marker').first().waitFor();
    await page.waitForTimeout(2500);
    await act(page);
    await drawn(page);
    console.log(await saveScreenshot(page, `imagery-${name}-${viewport.width}`));
    await close();
  }
}
await (await startBrowser()).close();
