// The flight's own picture in a real browser against the stub host: winds aloft on the map, the
// route with its corridor and the briefing along it, as a pilot reads them before a flight.
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {mkdirSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {after, describe, it} from 'node:test';
import {REFERENCE_TIME} from './documents.mjs';
import {ARTIFACTS, accessibilityViolations, openPage, saveScreenshot, scrollIntoView, startBrowser, stubRequests} from './browser.mjs';

after(async () => (await startBrowser()).close());

async function ready(options = {}) {
  const session = await openPage({clock: REFERENCE_TIME, ...options});
  await session.page.locator('path.station-marker').first().waitFor();
  return session;
}

async function showWinds(page, level) {
  await page.locator('#layer-winds').check();
  await page.locator('#winds-level').selectOption(String(level));
  await page.locator('.winds-icon').first().waitFor();
}

describe('winds aloft', () => {
  it('draws barbs and temperatures at the western stations for the chosen level, with the valid window beside it', async () => {
    const {page, close} = await ready();
    assert.equal(await page.locator('.winds-icon').count(), 0, 'the layer starts switched off');
    assert.deepEqual((await stubRequests(page)).filter((r) => r.operation === 'winds'), [], 'asked only when wanted');
    await showWinds(page, 12000);
    assert.deepEqual((await stubRequests(page)).filter((r) => r.operation === 'winds').map((r) => r.argument), ['06']);
    assert.equal(await page.locator('#winds-valid').textContent(), 'Valid 18:00Z, for use 14:00Z–21:00Z');
    assert.equal(await page.locator('.winds-icon').count(), 56, 'the western stations only');
    const slc = page.locator('.winds-icon[aria-label^="Salt Lake City (SLC)"]');
    assert.equal(await slc.getAttribute('aria-label'), 'Salt Lake City (SLC) at 12,000 ft: 260° 51 kt, -14 °C');
    assert.match(await page.locator('.layer[data-layer="winds"] .count').textContent(),
        /^56 western stations; 56 with a wind at 12,000 ft/);
    await slc.dispatchEvent('click');
    const popup = page.locator('.winds-popup');
    await popup.waitFor();
    const rows = await popup.locator('tbody tr').evaluateAll((trs) => trs.map((tr) => tr.innerText.split('\t').join(' | ')));
    assert.deepEqual(rows, ['39,000 ft | 260° 130 kt | -59 °C', '34,000 ft | 260° 124 kt | -58 °C',
      '30,000 ft | 260° 110 kt | -50 °C', '24,000 ft | 260° 90 kt | -38 °C', '18,000 ft | 260° 71 kt | -26 °C',
      '12,000 ft | 260° 51 kt | -14 °C', '9,000 ft | 260° 41 kt | -8 °C', '6,000 ft | 260° 31 kt | —',
      '3,000 ft | none (near the ground) | —']);
    assert.equal(await popup.locator('tr.chosen th').textContent(), '12,000 ft');
    await saveScreenshot(page, 'winds-aloft-1460x960');
    await page.locator('#winds-bulletin').selectOption('12');
    await page.waitForFunction(() => document.querySelector('#winds-valid').textContent.startsWith('Valid 00:00Z'));
    assert.equal(await page.locator('#winds-valid').textContent(), 'Valid 00:00Z, for use 21:00Z–06:00Z');
    await close();
  });
  it('refuses a table of the wrong shape whole, with a status line', async () => {
    const {page, close} = await ready({init: () => {
      const product = window.corvaneStubDocuments.winds['06'];
      product.productText = product.productText.replace('\nSLC         2631', '\nSLC        2631 ');
    }});
    await page.locator('#layer-winds').check();
    await page.locator('.status-entry[data-source="winds"]').waitFor({state: 'attached'});
    assert.match(await page.locator('.status-entry[data-source="winds"] .status-error').textContent(),
        /the row of SLC: "2631" does not end under 6000/);
    assert.equal(await page.locator('.winds-icon').count(), 0, 'nothing of it drawn');
    assert.match(await page.locator('.layer[data-layer="winds"] .layer-error').textContent(), /^Not available: /);
    await close();
  });
});

async function planRoute(page, text) {
  await page.locator('#search-input').fill(text);
  await page.getByRole('option', {name: /^Route /}).first().waitFor();
  await page.locator('#search-input').press('Enter');
  await page.locator('#briefing-profile').waitFor();
  // The bulletin is asked with the first briefing: wait until the briefing has its answer.
  await page.waitForFunction(() => !/loading/.test(document.querySelector('#briefing-winds .data-line')?.textContent ?? 'loading'));
}

const metarBoxes = async (page) => (await stubRequests(page)).filter((r) => r.operation === 'metars' && r.argument !== '');

describe('route and briefing', () => {
  it('takes a route from the search field, draws it with its corridor and briefs it in the standard order', async () => {
    const {page, close} = await ready();
    const before = (await metarBoxes(page)).length;
    await planRoute(page, 'KSLC KGJT');
    assert.equal(await page.getByRole('tab', {name: 'Route'}).getAttribute('aria-selected'), 'true');
    assert.equal(await page.locator('path.route-line').count(), 1);
    assert.equal(await page.locator('path.route-corridor').count(), 1);
    const titles = await page.locator('.briefing-section h3').allTextContents();
    assert.deepEqual(titles, ['Adverse conditions', 'Current conditions', 'En-route and destination forecast',
      'Winds aloft and times', 'Pilot reports', 'Vertical profile']);
    const summary = await page.locator('.briefing-summary').innerText();
    assert.match(summary, /KSLC → KGJT/);
    assert.match(summary, /187 NM at 9,500 ft, 120 kt true airspeed, corridor ±25 NM/);
    assert.match(summary, /Departure Fri Nov 20 11:30 MST/);
    assert.match(summary, /Average tailwind \d+ kt/);
    assert.match(await page.locator('.not-official').textContent(), /^This is not an official weather briefing/);
    // Every section carries its data's time or says what is missing.
    for (const id of ['adverse', 'current', 'forecast', 'winds', 'pireps']) {
      assert.ok((await page.locator(`#briefing-${id} .data-line`).count()) >= 1, id);
    }
    assert.match(await page.locator('#briefing-winds .data-line').textContent(), /FD1US1: Valid 18:00Z, for use 14:00Z–21:00Z/);
    assert.ok((await page.locator('#briefing-current li').count()) >= 1, 'METARs in the corridor');
    // The route's boxes went through the budget: at most six new ones.
    await page.clock.runFor(70000);
    const asked = (await metarBoxes(page)).length - before;
    assert.ok(asked >= 1 && asked <= 6, `${asked} boxes for the route`);
    assert.match(await page.locator('#route-budget').textContent(), /^Corridor METAR boxes: \d+ tiles, \d+ fresh, 0 being asked, 0 waiting/);
    // Planned again with a narrower corridor: the fresh tiles serve it, nothing new is asked.
    await page.locator('#route-corridor').selectOption('10');
    await page.clock.runFor(70000);
    assert.equal((await metarBoxes(page)).length - before, asked, 'no new box for the same corridor');
    console.log(`route KSLC KGJT: ${asked} METAR boxes the first time, 0 when planned again`);
    await close();
  });
  it('prints the briefing alone, every section and product time, with the not-official statement', async () => {
    const {page, close} = await ready({viewport: {width: 920, height: 650}});
    await planRoute(page, 'KSLC KGJT');
    await page.emulateMedia({media: 'print'});
    assert.equal(await page.locator('#map').isVisible(), false, 'no map on paper');
    assert.equal(await page.locator('.top-bar').isVisible(), false);
    assert.equal(await page.locator('.route-form').isVisible(), false);
    // What the paper says: the PDF's own text (poppler's pdftotext), and its first page as a picture.
    mkdirSync(ARTIFACTS, {recursive: true});
    const file = join(ARTIFACTS, 'printed-briefing.pdf');
    writeFileSync(file, await page.pdf({format: 'Letter', printBackground: false}));
    const printed = execFileSync('pdftotext', ['-enc', 'UTF-8', file, '-'], {encoding: 'utf8'}).replace(/\s+/g, ' ');
    execFileSync('pdftoppm', ['-png', '-r', '80', '-f', '1', '-l', '1', '-singlefile', file, join(ARTIFACTS, 'printed-briefing-page1')]);
    for (const words of ['KSLC → KGJT', 'Adverse conditions', 'Current conditions', 'En-route and destination forecast',
      'Winds aloft and times', 'Pilot reports', 'Vertical profile', 'Aviation hazards fetched', 'Alerts updated',
      'METARs observed', 'Winds aloft FD1US1: Valid 18:00Z', 'This is not an official weather briefing']) {
      assert.ok(printed.includes(words), words);
    }
    const colour = await page.locator('.briefing-section h3').first().evaluate((h) => getComputedStyle(h).color);
    assert.equal(colour, 'rgb(0, 0, 0)', 'black on white');
    await page.setViewportSize({width: 794, height: 1123});  // an A4 page at 96 px per inch
    await saveScreenshot(page, 'printed-briefing');
    const pages = Number(/Pages:\s+(\d+)/.exec(execFileSync('pdfinfo', [file], {encoding: 'utf8'}))[1]);
    assert.ok(pages >= 1 && pages <= 6, `${pages} printed pages`);
    await close();
  });
  it('keeps the route across a restart and says when data is missing', async () => {
    const {page, close} = await ready({init: () => {
      window.corvaneStub.handlers.winds = () => ({status: 502, body: {error: 'Weather service returned HTTP 503: x'}});
    }});
    await planRoute(page, 'KSLC KGJT');
    assert.match(await page.locator('#briefing-winds .data-line').textContent(), /^Winds aloft: not available/);
    assert.match(await page.locator('.briefing-summary').innerText(), /Winds aloft not known for all of the route/);
    const stored = await page.evaluate(() => JSON.parse(localStorage.getItem('corvane.route')));
    assert.deepEqual([stored.text, stored.points.map((p) => p.label), stored.altitude, stored.tas, stored.corridor],
        ['KSLC KGJT', ['KSLC', 'KGJT'], 9500, 120, 25]);
    await page.reload();
    await page.locator('path.station-marker').first().waitFor();
    await page.getByRole('tab', {name: 'Route'}).click();
    await page.locator('#briefing-profile').waitFor();
    assert.match(await page.locator('.briefing-summary').innerText(), /KSLC → KGJT/);
    await close();
  });
});

async function zoomToSaltLake(page) {
  await page.locator('#search-input').fill('Salt Lake City');
  await page.getByRole('option', {name: 'Salt Lake City, UT'}).first().waitFor();
  await page.locator('#search-input').press('Enter');
  await page.locator('.station-plot[data-station="KSLC"]').waitFor();
}

describe('station plots', () => {
  it('draws the station model around each mark from zoom 9, the mark keeping its category', async () => {
    const {page, close} = await ready();
    assert.equal(await page.locator('.station-plot').count(), 0, 'none at the start zoom');
    await zoomToSaltLake(page);
    const plot = page.locator('.station-plot[data-station="KSLC"]');
    const text = async (part) => (await plot.locator(part).textContent()).trim();
    // METAR KSLC 201754Z 18022G34KT 10SM -SHRA FEW050 BKN090 OVC140 13/03 A2981
    assert.deepEqual([await text('.plot-temperature'), await text('.plot-dewpoint'), await text('.plot-visibility'),
      await text('.plot-altimeter'), await text('.plot-cover'), await text('.plot-id')],
    ['13', '3', '10+ -SHRA', '29.81', '050', 'KSLC']);
    assert.equal(await plot.locator('.sky-cover circle.cover-fill').count(), 1, 'overcast: the ring filled');
    assert.equal(await plot.locator('.plot-barb g').getAttribute('transform'), 'rotate(180 32 32)', 'wind from 180°');
    assert.equal(await page.locator('path.station-marker[data-station="KSLC"]').getAttribute('data-category'), 'VFR');
    await close();
  });
});

describe('screenshots of the flight picture', () => {
  for (const [width, height] of [[1460, 960], [920, 650]]) {
    it(`saves each state at ${width}×${height}`, async () => {
      const size = `${width}x${height}`;
      const {page, close} = await ready({viewport: {width, height}});
      await showWinds(page, 9000);
      await scrollIntoView(page.locator('.layer[data-layer="winds"]'));
      await saveScreenshot(page, `winds-${size}`);
      assert.deepEqual(await accessibilityViolations(page), []);
      await page.locator('#layer-winds').uncheck();
      await planRoute(page, 'KSLC KGJT');
      // The corridor's boxes in, and the briefing drawn again with them, before the pictures.
      await page.waitForFunction(() => /0 being asked, 0 waiting/.test(document.getElementById('route-budget').textContent));
      await page.waitForTimeout(600);
      await saveScreenshot(page, `route-briefing-${size}`);
      assert.deepEqual(await accessibilityViolations(page), [], 'the Route tab');
      await scrollIntoView(page.locator('#briefing-profile'));
      await saveScreenshot(page, `route-profile-${size}`);
      assert.deepEqual(await accessibilityViolations(page), [], 'the profile');
      await zoomToSaltLake(page);
      await page.waitForTimeout(600);
      await saveScreenshot(page, `station-plots-${size}`);
      await close();
    });
  }
});
