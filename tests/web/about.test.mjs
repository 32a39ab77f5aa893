// The About panel: opened from the top bar, it names the program and the build's version, links
// the data sources, carries every third-party notice and says plainly that the map is not an
// official briefing; it closes with its button or Escape and gives the focus back.
import assert from 'node:assert/strict';
import {after, describe, it} from 'node:test';
import {REFERENCE_TIME} from './documents.mjs';
import {openPage, saveScreenshot, startBrowser} from './browser.mjs';

after(async () => (await startBrowser()).close());

const VERSION = process.env.CORVANE_VERSION;

async function openAbout(options = {}) {
  const session = await openPage({clock: REFERENCE_TIME, ...options});
  await session.page.locator('path.station-marker').first().waitFor();
  await session.page.getByRole('button', {name: 'About'}).click();
  await session.page.getByRole('dialog', {name: 'Corvane Weather'}).waitFor();
  return session;
}

describe('About panel', () => {
  it('shows the version of this build', {skip: !VERSION && 'CORVANE_VERSION is not set'}, async () => {
    const {page, close, errors} = await openAbout();
    assert.equal(await page.locator('#about-version').textContent(), `Version ${VERSION}`);
    assert.deepEqual(errors, []);
    await close();
  });

  it('says the data is not an official briefing', async () => {
    const {page, close} = await openAbout();
    const note = page.locator('#about-not-a-briefing');
    assert.match(await note.textContent(), /^Corvane Weather is not an official weather briefing\./);
    assert.equal(await note.getAttribute('role'), 'note');
    await close();
  });

  it('links every data source and its terms over https', async () => {
    const {page, close} = await openAbout();
    const links = await page.locator('#about-sources a').evaluateAll((anchors) =>
      anchors.map((a) => [a.textContent, a.getAttribute('href')]));
    const byName = Object.fromEntries(links);
    assert.equal(byName['National Weather Service (NOAA)'], 'https://www.weather.gov/');
    assert.equal(byName['Aviation Weather Center (NOAA)'], 'https://aviationweather.gov/');
    assert.match(byName['US Census Bureau'], /^https:\/\/www\.census\.gov\//);
    const avalanche = 'National Avalanche Center (USDA Forest Service) and the avalanche centers of avalanche.org';
    assert.equal(byName[avalanche], 'https://avalanche.org/');
    assert.match(await page.locator('#about-sources').textContent(), /marks a forecast past its end as expired/);
    for (const [, href] of links) assert.match(href, /^https:\/\//);
    assert.match(await page.locator('#about-sources').textContent(), /\(through us-atlas\)/);
    await close();
  });

  it('carries the notice of every shipped package, its licence text folded', async () => {
    const {page, close} = await openAbout();
    const notices = page.locator('#about-notices details');
    const titles = await notices.locator('summary').allTextContents();
    for (const expected of [/^leaflet 1\.9\.4 · BSD-2-Clause$/, /^topojson-client 3\.1\.0 · ISC$/,
      /^us-atlas 3\.0\.1 · ISC$/, /^JSON for Modern C\+\+ \(nlohmann\/json\) [\d.]+ · Expat$/]) {
      assert.ok(titles.some((title) => expected.test(title)), `${expected} in ${titles}`);
    }
    const leaflet = notices.filter({hasText: 'leaflet 1.9.4'});
    assert.equal(await leaflet.locator('pre').isVisible(), false);
    await leaflet.locator('summary').click();
    assert.match(await leaflet.locator('pre').textContent(), /Copyright \(c\) 2010-2023, Volodymyr Agafonkin/);
    assert.match(await leaflet.locator('a').getAttribute('href'), /^https:\/\//);
    await close();
  });

  it('closes with Escape or its button and gives the focus back to the opener', async () => {
    const {page, close} = await openAbout();
    const dialog = page.getByRole('dialog', {name: 'Corvane Weather'});
    await page.keyboard.press('Escape');
    await dialog.waitFor({state: 'hidden'});
    assert.equal(await page.evaluate(() => document.activeElement.id), 'about-open');
    await page.keyboard.press('Enter');
    await dialog.waitFor();
    await page.getByRole('button', {name: 'Close'}).click();
    await dialog.waitFor({state: 'hidden'});
    assert.equal(await page.evaluate(() => document.activeElement.id), 'about-open');
    assert.equal(await page.locator('dialog').count(), 1, 'opened twice, built once');
    await close();
  });

  for (const viewport of [{width: 1460, height: 960}, {width: 920, height: 650}]) {
    it(`fits a ${viewport.width}×${viewport.height} window`, async () => {
      const {page, close} = await openAbout({viewport});
      await page.locator('#about-notices summary').first().click();
      const box = await page.getByRole('dialog').boundingBox();
      assert.ok(box.x >= 0 && box.y >= 0 && box.x + box.width <= viewport.width &&
          box.y + box.height <= viewport.height, JSON.stringify(box));
      await saveScreenshot(page, `about-${viewport.width}x${viewport.height}`);
      await close();
    });
  }
});
