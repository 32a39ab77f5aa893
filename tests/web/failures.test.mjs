// How the page behaves when the host fails: error replies, silence, a busy host, malformed and
// hostile data, and data kept from an earlier run.
import assert from 'node:assert/strict';
import {after, describe, it} from 'node:test';
import {REFERENCE_TIME} from './documents.mjs';
import {openPage, saveScreenshot, startBrowser, stubRequests, waitForRequest} from './browser.mjs';

after(async () => (await startBrowser()).close());

const MINUTE = 60000;
const HOSTILE = '<img src=x onerror="window.hacked=1">';

async function ready(options = {}) {
  const session = await openPage({clock: REFERENCE_TIME, ...options});
  await session.page.locator('path.station-marker').first().waitFor();
  return session;
}

async function typePoint(page, text) {
  await page.locator('#point-input').fill(text);
  await page.locator('#point-input').press('Enter');
}

describe('error replies', () => {
  it('shows a 502 text and its source, and keeps the last good stations', async () => {
    const {page, close} = await ready();
    const source = 'https://aviationweather.gov/api/data/metar?bbox=31,-125,49.5,-102&format=json';
    await page.evaluate((url) => {
      window.corvaneStub.handlers.metars = () => ({status: 502, body: {
        error: 'Aviation weather service returned an unexpected data format', source: url}});
    }, source);
    await page.getByRole('button', {name: 'Refresh METAR stations'}).click();
    const entry = page.locator('.status-entry[data-source="metars"]');
    await entry.waitFor();
    assert.equal(await entry.locator('.status-error').textContent(),
        'Aviation weather service returned an unexpected data format');
    assert.equal(await entry.locator('.status-source').textContent(), ` (source: ${source})`);
    assert.match(await entry.textContent(), /Showing the last good data\./);
    assert.ok(await page.locator('path.station-marker').count() >= 55);
    const layer = page.locator('.layer[data-layer="metars"]');
    assert.match(await layer.locator('.layer-error').textContent(), /^Refresh failed: Aviation weather/);
    assert.equal(await layer.locator('.stale-badge').textContent(), 'Stale');
    // The retry in the status area asks again and clears the error once the host answers.
    await page.evaluate(() => delete window.corvaneStub.handlers.metars);
    await entry.getByRole('button', {name: 'Retry METAR stations'}).click();
    await entry.waitFor({state: 'detached'});
    assert.equal(await layer.locator('.stale-badge').count(), 0);
    await close();
  });

  it('shows the host\'s 400 text for a point outside the area', async () => {
    const {page, close} = await ready();
    await typePoint(page, '51.5072,-0.1276');
    const box = page.locator('#panel-point .error-box');
    await box.waitFor();
    assert.equal(await box.locator('p').first().textContent(), 'Select a point in the contiguous United States');
    assert.match(await page.locator('.status-entry[data-source="point"]').textContent(),
        /Point weather: Select a point in the contiguous United States/);
    await close();
  });

  it('refuses typed text that is not coordinates without asking the host', async () => {
    const {page, close} = await ready();
    await typePoint(page, 'Salt Lake City');
    assert.equal(await page.locator('#point-message').textContent(),
        'Expected point coordinates as latitude,longitude');
    assert.equal((await stubRequests(page)).filter((r) => r.operation === 'point').length, 0);
    await close();
  });

  it('shows a 500 without a body text by its status, never a blank panel', async () => {
    const {page, close} = await ready({init: () => {
      window.corvaneStub.handlers.alerts = () => ({status: 500, body: null});
    }});
    await page.getByRole('tab', {name: 'Alerts'}).click();
    const entry = page.locator('.status-entry[data-source="alerts"]');
    await entry.waitFor();
    assert.match(await entry.textContent(), /The weather host answered with status 500/);
    assert.match(await page.locator('.layer[data-layer="alerts"] .layer-error').textContent(),
        /^Not available: /);
    assert.equal(await page.locator('.alert-list').textContent(),
        'Alerts are not available: The weather host answered with status 500');
    await close();
  });
});

describe('time-outs and a busy host', () => {
  it('shows a time-out after 30 s without a reply, with a retry that works', async () => {
    const {page, close} = await ready({paused: true, init: () => {
      window.corvaneStub.handlers.point = () => null;  // the host ignores the message
    }});
    await typePoint(page, '40.76,-111.89');
    await page.locator('#panel-point .loading').waitFor();
    await page.clock.runFor(29 * 1000);
    assert.equal(await page.locator('#panel-point .error-box').count(), 0);
    await page.clock.runFor(1000);
    const box = page.locator('#panel-point .error-box');
    await box.waitFor();
    assert.equal(await box.locator('p').first().textContent(), 'No reply from the weather host within 30 s');
    await page.evaluate(() => delete window.corvaneStub.handlers.point);
    await box.getByRole('button', {name: 'Retry'}).click();
    await page.locator('.observation').waitFor();
    assert.equal(await page.locator('.status-entry[data-source="point"]').count(), 0);
    await close();
  });

  it('asks again after a short pause when the host is busy', async () => {
    const {page, close} = await openPage({clock: REFERENCE_TIME, paused: true, init: () => {
      let busy = 1;
      window.corvaneStub.handlers.pireps = (argument) => (busy-- > 0 ?
        {status: 429, body: {error: 'Weather requests are busy. Try again in a moment.'}} :
        window.corvaneStub.defaults.pireps(argument));
    }});
    await waitForRequest(page, (r) => r.operation === 'pireps');
    assert.equal(await page.locator('.pirep-symbol').count(), 0);
    await page.clock.runFor(1000);
    await page.locator('.pirep-symbol').first().waitFor();
    const pireps = (await stubRequests(page)).filter((r) => r.operation === 'pireps');
    assert.equal(pireps.length, 2);
    assert.equal(await page.locator('.status-entry').count(), 0);
    await close();
  });

  it('refreshes each layer on the host\'s cache lifetimes', async () => {
    const {page, close} = await ready();
    const count = async (operation) => (await stubRequests(page)).filter((r) => r.operation === operation).length;
    await page.clock.runFor(3 * MINUTE);
    assert.deepEqual([await count('pireps'), await count('metars'), await count('alerts')], [2, 1, 1]);
    await page.clock.runFor(2 * MINUTE);
    assert.deepEqual([await count('pireps'), await count('metars'), await count('alerts')], [2, 2, 2]);
    await close();
  });
});

describe('saved data', () => {
  it('draws the last good data at start-up with its age, then replaces it', async () => {
    const first = await ready();
    await first.page.locator('.pirep-symbol').first().waitFor();
    await first.page.locator('path.alert-shape').first().waitFor();
    const url = first.page.url();
    const fetchedAt = await first.page.evaluate(() =>
      JSON.parse(localStorage.getItem('corvane.layer.metars')).fetchedAt);
    const page = await first.context.newPage();
    await page.clock.install({time: fetchedAt + 40 * MINUTE});
    await page.addInitScript({content: 'window.corvaneStubDocuments = {};'});
    await page.addInitScript({path: new URL('./stub-bridge.js', import.meta.url).pathname});
    await page.addInitScript(() => (window.corvaneStub.hold = true));
    await page.goto(url);
    await page.locator('path.station-marker').first().waitFor();
    assert.ok(await page.locator('path.station-marker').count() >= 55);
    assert.equal(await page.locator('.pirep-symbol').count(), 20);
    const layer = page.locator('.layer[data-layer="metars"]');
    assert.equal(await layer.locator('.stale-badge').textContent(), 'Saved');
    assert.match(await layer.locator('.freshness').textContent(), / \(40 min ago\)$/);
    await saveScreenshot(page, 'saved-data-1460x960');
    // Fresh replies (empty documents this time) replace the saved data.
    await page.evaluate(() => window.corvaneStub.release());
    await layer.locator('.stale-badge').waitFor({state: 'detached'});
    assert.equal(await page.locator('.pirep-symbol').count(), 0);
    await first.close();
  });

  it('ignores damaged saved data', async () => {
    const {page, close} = await ready({init: () => {
      localStorage.setItem('corvane.layer.metars', '{not json');
      localStorage.setItem('corvane.layer.pireps', JSON.stringify({fetchedAt: 1, body: {}}));
      localStorage.setItem('corvane.units', JSON.stringify({temperature: 'K'}));
      localStorage.setItem('corvane.favourites', JSON.stringify(['<b>', 5, 'KSLC']));
    }});
    await page.getByRole('tab', {name: 'Stations'}).click();
    assert.equal(await page.locator('.favourite-list li').count(), 1);
    await close();
  });
});

describe('malformed and hostile replies', () => {
  it('survives replies of the wrong shape without breaking the other layers', async () => {
    const {page, close, errors} = await openPage({clock: REFERENCE_TIME, init: () => {
      const junk = [null, 1, 'x', [], {lat: 'a'}, {lat: 40, lon: [-111]}];
      window.corvaneStub.handlers.metars = () => ({status: 200, body: {features: 'nope'}});
      window.corvaneStub.handlers.pireps = () => ({status: 200,
        body: Array.from({length: 60000}, (_, i) => junk[i % junk.length])});
      window.corvaneStub.handlers.point = () => ({status: 200, body: {grid: 5, hourly: 'x',
        observation: {properties: {temperature: 'hot', timestamp: {}}, geometry: 7},
        point: [], warnings: 'none'}});
    }});
    await page.locator('path.alert-shape').first().waitFor();
    const entry = page.locator('.status-entry[data-source="metars"]');
    await entry.waitFor();
    assert.match(await entry.textContent(), /Unexpected reply from the weather host: METAR reply is not a list/);
    assert.match(await page.locator('.layer[data-layer="pireps"] .count').textContent(), /^0 reports/);
    await typePoint(page, '40.76,-111.89');
    await page.locator('.observation').waitFor();
    assert.equal(await page.locator('.observation dd').nth(3).textContent(), '—');
    assert.equal(await page.locator('.grid .empty').textContent(), 'No grid forecast in this reply.');
    assert.deepEqual(errors, []);
    await close();
  });

  it('shows hostile text in alerts and reports as text and runs nothing', async () => {
    const {page, close} = await openPage({clock: REFERENCE_TIME, init: (text) => {
      const documents = window.corvaneStubDocuments;
      for (const feature of documents.alerts.features) {
        Object.assign(feature.properties, {event: text, headline: text, description: text,
          instruction: text, areaDesc: text});
      }
      for (const record of documents.metarWest) Object.assign(record, {rawOb: text, name: text});
      for (const record of documents.pireps) Object.assign(record, {rawOb: text, acType: text});
      documents.observation.properties.textDescription = text;
    }, initArgument: HOSTILE});
    await page.locator('path.station-marker[data-station="KSLC"]').dispatchEvent('click');
    assert.equal(await page.locator('.station-popup .raw').textContent(), HOSTILE);
    await page.locator('.pirep-icon').first().dispatchEvent('click');
    assert.equal(await page.locator('.pirep-popup .raw').textContent(), HOSTILE);
    await page.getByRole('tab', {name: 'Alerts'}).click();
    await page.locator('.alert-item').first().click();
    assert.equal(await page.locator('.alert-detail .alert-title').textContent(), HOSTILE);
    await typePoint(page, '40.76,-111.89');
    await page.locator('.observation').waitFor();
    assert.equal(await page.evaluate(() => document.querySelectorAll('img').length), 0);
    assert.equal(await page.evaluate(() => window.hacked), undefined);
    await close();
  });
});
