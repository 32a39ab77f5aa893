// How the page behaves when the host fails: error replies, silence, a busy host, malformed and
// hostile data, and data kept from an earlier run.
import assert from 'node:assert/strict';
import {after, it} from 'node:test';
import {REFERENCE_TIME, WEST_BBOX, stubScript} from './documents.mjs';
import {describe, openPage, saveScreenshot, scrollIntoView, startBrowser, stubRequests, waitForRequest} from
  './browser.mjs';

after(async () => (await startBrowser()).close());

const MINUTE = 60000;
const HOSTILE = '<img src=x onerror="window.hacked=1">';

async function ready(options = {}) {
  const session = await openPage({clock: REFERENCE_TIME, ...options});
  await session.page.locator('path.station-marker').first().waitFor();
  return session;
}

const station = (page, id) => page.locator(`path.station-marker[data-station="${id}"]`);

async function typePoint(page, text) {
  await page.locator('#search-input').fill(text);
  await page.locator('#search-list').getByRole('option').first().waitFor();
  await page.locator('#search-input').press('Enter');
}

describe('error replies', () => {
  it('shows a 502 text and its source, and keeps the last good stations', async () => {
    const {page, close} = await ready();
    const source = `https://aviationweather.gov/api/data/metar?bbox=${WEST_BBOX}&format=json`;
    await page.evaluate((url) => {
      window.corvaneStub.handlers.metars = () => ({status: 502, body: {
        error: 'Aviation weather service returned an unexpected data format', source: url}});
    }, source);
    await page.getByRole('button', {name: 'Refresh METAR stations'}).click();
    const entry = page.locator('.status-entry[data-source="metars"]');
    await entry.waitFor({state: 'attached'});
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
    await page.getByRole('button', {name: 'Retry Aviation weather service'}).click();
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

  it('refuses typed text that is no place, station or coordinates without asking the host', async () => {
    const {page, close} = await ready();
    for (const text of ['Qqqq', '95, -111.89', '40.76, -111.89, 3']) {
      await page.locator('#search-input').fill(text);
      await page.locator('#search-input').press('Enter');
      assert.equal(await page.locator('#search-message').textContent(),
          `No place, station or coordinates match "${text}".`);
    }
    assert.equal((await stubRequests(page)).filter((r) => r.operation === 'point').length, 0);
    await close();
  });

  it('shows a 500 without a body text by its status, never a blank panel', async () => {
    const {page, close} = await ready({init: () => {
      window.corvaneStub.handlers.alerts = () => ({status: 500, body: null});
    }});
    await page.getByRole('tab', {name: 'Alerts'}).click();
    const entry = page.locator('.status-entry[data-source="alerts"]');
    await entry.waitFor({state: 'attached'});
    assert.match(await entry.textContent(), /The weather host answered with status 500/);
    assert.match(await page.locator('.layer[data-layer="alerts"] .layer-error').textContent(),
        /^Not available: /);
    assert.equal(await page.locator('#panel-alerts .alert-list').textContent(),
        'Alerts are not available: The weather host answered with status 500. Choose Retry in ' +
        'the status area or Refresh on the Layers tab.');
    await close();
  });
});

describe('time-outs and a busy host', () => {
  it('shows a time-out after 30 s without a reply, with a retry that works', async () => {
    const {page, close} = await ready({paused: true, init: () => {
      window.corvaneStub.handlers.point = () => null;  // the host ignores the message
    }});
    await typePoint(page, '40.76,-111.89');
    await page.locator('#panel-point .loading').first().waitFor();
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
    await page.addInitScript({content: stubScript()});
    await page.addInitScript(() => (window.corvaneStub.hold = true));
    await page.goto(url);
    await page.locator('path.station-marker').first().waitFor();
    assert.ok(await page.locator('path.station-marker').count() >= 55);
    assert.match(await page.locator('.layer[data-layer="pireps"] .count').textContent(), /^20 reports/);
    const layer = page.locator('.layer[data-layer="metars"]');
    assert.equal(await layer.locator('.stale-badge').textContent(), 'Saved');
    assert.match(await layer.locator('.freshness').textContent(), /fetched 11:00 MST \(40 min ago\) — saved from an earlier run/);
    await saveScreenshot(page, 'saved-data-1460x960');
    // Fresh replies (empty documents this time) replace the saved data.
    await page.evaluate(() => window.corvaneStub.release());
    await layer.locator('.stale-badge').waitFor({state: 'detached'});
    assert.equal(await page.locator('.pirep-symbol').count(), 0);
    await first.close();
  });

  it('shows the saved 12-hour forecast with its age after an offline restart', async () => {
    for (const [width, height] of [[1460, 960], [920, 650]]) {
      const first = await ready({viewport: {width, height}});
      await typePoint(first.page, '40.76,-111.89');
      await first.page.locator('#panel-point .period').first().waitFor();
      const url = first.page.url();
      const page = await first.context.newPage();
      await page.clock.install({time: REFERENCE_TIME + 70 * MINUTE});
      await page.addInitScript({content: stubScript()});
      // No connection: every request reaches the host, whose downloads all fail.
      await page.addInitScript(() => {
        const stub = window.corvaneStub;
        for (const operation of Object.keys(stub.defaults)) {
          stub.handlers[operation] = () => ({status: 502, body: {
            error: 'Weather download failed: Could not resolve host: api.weather.gov'}});
        }
      });
      await page.goto(url);
      await page.getByRole('tab', {name: 'Point'}).click();
      const saved = page.locator('#panel-point .periods .freshness');
      await saved.waitFor();
      await page.locator('.status-entry[data-source="point"]').waitFor({state: 'attached'});
      assert.match(await saved.textContent(),
          /^SavedThe forecast is not available offline: showing the one saved Fri Nov 20 11:00 MST \(1 h (9|10) min ago\)\.$/);
      assert.equal(await page.locator('#panel-point .period strong').first().textContent(), 'This Afternoon');
      assert.equal(await page.locator('#panel-point .periods .empty').count(), 0);
      await scrollIntoView(page.locator('#panel-point .periods .freshness'));
      await saveScreenshot(page, `offline-point-${width}x${height}`);
      await first.close();
    }
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
    await entry.waitFor({state: 'attached'});
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
      for (const record of documents.tafs) Object.assign(record, {rawTAF: text, name: text});
      for (const record of documents.sigmets) Object.assign(record, {rawAirSigmet: text});
      documents.discussion.productText = `${text}\n.SYNOPSIS...${text}\n&&\n`;
      documents.observation.properties.textDescription = text;
    }, initArgument: HOSTILE});
    // The TAFs are asked after the layers: their reply is in before the popup opens.
    await waitForRequest(page, (r) => r.operation === 'tafs');
    await page.waitForTimeout(200);
    await page.locator('path.station-marker[data-station="KSLC"]').dispatchEvent('click');
    assert.equal(await page.locator('.station-popup .raw').first().textContent(), HOSTILE);
    await page.locator('.station-popup .taf .raw').waitFor();
    assert.equal(await page.locator('.station-popup .taf .raw').textContent(), HOSTILE);
    await page.locator('.pirep-icon').first().dispatchEvent('click');
    assert.equal(await page.locator('.pirep-popup .raw').textContent(), HOSTILE);
    await page.getByRole('tab', {name: 'Alerts'}).click();
    await page.locator('.alert-item').first().click();
    assert.equal(await page.locator('.alert-detail .alert-title').textContent(), HOSTILE);
    await typePoint(page, '40.76,-111.89');
    await page.locator('.observation').waitFor();
    await page.getByRole('button', {name: 'Forecast discussion'}).click();
    await page.locator('.discussion-text').first().waitFor();
    assert.equal(await page.locator('.discussion-text').first().textContent(), HOSTILE);
    // The map's own picture tiles aside, no image made it onto the page.
    assert.equal(await page.evaluate(() => document.querySelectorAll('img:not(.leaflet-tile):not(.imagery-frame)').length), 0);
    assert.equal(await page.evaluate(() => window.hacked), undefined);
    await close();
  });
});

// Times beyond what the browser's date formatting takes once made station popups impossible to
// open, left the METAR panel on "Loading…" and stopped the 30-second tick for every layer.
const HOSTILE_TIMES = () => {
  const documents = window.corvaneStubDocuments;
  const byId = (list, id) => list.find((record) => record.icaoId === id);
  byId(documents.tafs, 'KSLC').fcsts[1].timeTo = 1e13;
  byId(documents.tafs, 'KLAX').fcsts[2].timeFrom = -3600;
  byId(documents.tafs, 'KSFO').issueTime = '9999-12-31T00:00:00Z';
  byId(documents.metarWest, 'KFLG').obsTime = 1e300;
  byId(documents.metarWest, 'KYUM').obsTime = Date.UTC(9999, 0, 1) / 1000;
  byId(documents.metarWest, 'KEKO').obsTime = -3600;
  documents.pireps[0].obsTime = 1e300;
  documents.sigmets[4].validTimeTo = 1e13;
  documents.alerts.features[0].properties.ends = '+275760-09-13T00:00:00Z';
};

/** The freshness lines of the four weather layers. */
const WEATHER_LAYERS = ['metars', 'pireps', 'alerts', 'hazards'];
const freshness = (page) => page.evaluate((names) => names.map((name) =>
  document.querySelector(`.layer[data-layer="${name}"] .freshness`)?.textContent ?? ''), WEATHER_LAYERS);

describe('times outside any possible range', () => {
  it('opens the station popup, leaves "Loading…" and keeps every layer\'s age moving, saying what it left out', async () => {
    const {page, close, errors} = await ready({init: HOSTILE_TIMES});
    await page.waitForFunction(() => window.corvaneStub.requests.some((r) => r.operation === 'tafs'));
    const layers = page.locator('#panel-layers');
    await layers.locator('.layer[data-layer="hazards"] .count').waitFor();
    assert.equal(await layers.locator('.loading').count(), 0);
    const notes = async (name) => page.locator(`.layer[data-layer="${name}"] .layer-note`).allTextContents();
    assert.deepEqual(await notes('metars'), ['3 reports left out: their times lie outside the possible range.']);
    assert.deepEqual(await notes('pireps'), ['1 report left out: its time lies outside the possible range.']);
    assert.deepEqual(await notes('alerts'), ['1 alert left out: its time lies outside the possible range.']);
    assert.ok((await notes('hazards')).includes('1 area left out: its time lies outside the possible range.'));
    await station(page, 'KSLC').dispatchEvent('click');
    const taf = page.locator('.station-popup .taf');
    await taf.locator('.taf-period').first().waitFor();
    assert.equal(await taf.locator('.taf-note').textContent(), '1 forecast group left out: its time lies outside the possible range.');
    assert.equal(await page.locator('.station-popup .facts dd').first().textContent(), '10:54 MST (6 min ago)');
    await page.keyboard.press('Escape');
    await station(page, 'KSFO').dispatchEvent('click');
    await page.locator('.station-popup[data-station="KSFO"] .taf .note').waitFor();
    assert.equal(await page.locator('.station-popup[data-station="KSFO"] .taf .note').textContent(),
        'This airport\'s TAF is not shown: its times lie outside the possible range.');
    const before = await freshness(page);
    await page.clock.fastForward(2 * MINUTE + 1000);
    await page.waitForFunction((names) => names.every((name) =>
      document.querySelector(`.layer[data-layer="${name}"] .freshness`)?.textContent.includes('(2 min ago)')), WEATHER_LAYERS);
    assert.notDeepEqual(await freshness(page), before);
    assert.deepEqual(errors, []);
    await close();
  });

  it('keeps the other layers and the tick going when one layer\'s panel throws', async () => {
    // The oldest pilot report's time makes the browser's formatter throw, as an impossible one did.
    const {page, close, errors} = await ready({init: () => {
      const oldest = Math.min(...window.corvaneStubDocuments.pireps.map((r) => r.obsTime)) * 1000;
      const formatToParts = Intl.DateTimeFormat.prototype.formatToParts;
      Intl.DateTimeFormat.prototype.formatToParts = function (ms) {
        if (ms === oldest) throw new RangeError('date value is not finite in DateTimeFormat formatToParts()');
        return formatToParts.call(this, ms);
      };
    }});
    await page.locator('.layer[data-layer="hazards"] .count').waitFor();
    await page.clock.fastForward(2 * MINUTE + 1000);
    await page.waitForFunction(() => ['metars', 'alerts', 'hazards'].every((name) =>
      document.querySelector(`.layer[data-layer="${name}"] .freshness`)?.textContent.includes('(2 min ago)')));
    // The station marks, alert shapes and hazards are all drawn; the failure is in the console.
    assert.ok(await page.locator('path.hazard').count() > 0 && await page.locator('path.alert-shape').count() > 0);
    assert.ok(errors.length > 0 && errors.every((error) => /Pilot reports status failed|date value is not finite/.test(error.message)),
        errors.map((error) => error.message).join('\n'));
    await close();
  });
});

// Service text with a right-to-left override at its end and words of 10,000 characters: the
// page's own words beside it keep their order, and the panels keep their width.
const RLO = '\u202e';
const LONG_WORD = 'W'.repeat(10000);
const HOSTILE_TEXT = ([rlo, word]) => {
  const documents = window.corvaneStubDocuments;
  const end = (text) => `${text}${rlo}`;
  documents.discussion.issuingOffice = end(documents.discussion.issuingOffice);
  documents.discussion.productText = documents.discussion.productText.replace('.SYNOPSIS...', `.SYNOPSIS...${word} `);
  for (const record of documents.metarWest) record.name = end(record.name);
  documents.stations.features[0].properties.name = end(documents.stations.features[0].properties.name);
  documents.points.properties.relativeLocation.properties.city = end('Salt Lake City');
  for (const feature of documents.alerts.features) {
    Object.assign(feature.properties, {event: end(feature.properties.event), areaDesc: end(feature.properties.areaDesc)});
  }
  for (const record of [...documents.sigmets, ...documents.cwas]) record.hazard = end(record.hazard);
  for (const period of documents.forecast.properties.periods) {
    Object.assign(period, {name: end(period.name), windSpeed: end(period.windSpeed), detailedForecast: `${word} ${period.detailedForecast}`});
  }
  documents.sigmets[4].seriesId = word;
};

/**
 * Every text of the page that holds `mark` and is not isolated: the nearest ancestor that
 * isolates it (unicode-bidi isolate, or a block of its own) holds the page's words as well.
 */
function unisolated(page, mark) {
  return page.evaluate((rlo) => {
    const found = [];
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
      if (!node.data.includes(rlo) || node.parentElement.closest('[hidden], svg')) continue;
      let boundary = node.parentElement;
      for (;;) {
        const style = getComputedStyle(boundary);
        if (/isolate|plaintext/.test(style.unicodeBidi) || style.display !== 'inline') break;
        boundary = boundary.parentElement;
      }
      // The mark ends each service text here: words after it in the same text, unless closed by
      // U+2069 (pop directional isolate), would be the page's own, reordered.
      const after = node.data.split(rlo).slice(1);
      if (boundary.textContent.trim() !== node.data.trim() || after.some((rest) => rest.trim() && !rest.startsWith('\u2069'))) {
        found.push(boundary.textContent.slice(0, 120));
      }
    }
    return found;
  }, mark);
}

describe('service text beside the page\'s own words', () => {
  it('isolates text with a right-to-left override, and wraps a 10,000-character word inside the panels', async () => {
    for (const [width, height] of [[1460, 960], [920, 650]]) {
      const {page, close} = await ready({viewport: {width, height}, init: HOSTILE_TEXT, initArgument: [RLO, LONG_WORD]});
      const panel = page.locator('#panel-point');
      const widthBefore = (await page.locator('.sidebar').boundingBox()).width;
      await typePoint(page, '40.76,-111.89');
      await panel.locator('.period').first().waitFor();
      await page.getByRole('button', {name: 'Forecast discussion'}).click();
      await panel.locator('.discussion-text').first().waitFor();
      await panel.locator('.hazards-here summary').first().waitFor();
      for (const summary of await panel.locator('.hazards-here summary').all()) await summary.click();
      assert.match(await panel.locator('.discussion .note').first().textContent(), new RegExp(`^KSLC${RLO}, issued `));
      assert.deepEqual(await unisolated(page, RLO), []);
      const sizes = await panel.evaluate((node) => ({scroll: node.scrollWidth, client: node.clientWidth}));
      assert.ok(sizes.scroll <= sizes.client, `point panel: ${JSON.stringify(sizes)}`);
      assert.equal((await page.locator('.sidebar').boundingBox()).width, widthBefore);
      await saveScreenshot(page, `long-word-point-panel-${width}x${height}`);
      await scrollIntoView(panel.locator('.period-text').first());
      await saveScreenshot(page, `long-word-periods-${width}x${height}`);
      await station(page, 'KSLC').dispatchEvent('click');
      await page.locator('.station-popup .taf').waitFor();
      await page.getByRole('tab', {name: /Alerts/}).click();
      await page.locator('#panel-alerts .alert-item').first().click();
      assert.deepEqual(await unisolated(page, RLO), []);
      await close();
    }
  });
});

describe('problems, loading and the small window', () => {
  it('groups failures by service in one line each, the addresses in the details, and fits the map below', async () => {
    for (const [width, height] of [[1460, 960], [920, 650]]) {
      const {page, close} = await ready({viewport: {width, height}, init: () => {
        const stub = window.corvaneStub;
        stub.handlers.pireps = () => ({status: 500, body: {error: 'Weather worker failed'}});
        stub.handlers.alerts = () => ({status: 429, body: {error: 'Weather requests are busy. Try again in a moment.'}});
        stub.handlers.point = () => ({status: 400, body: {error: 'Select a point in the contiguous United States'}});
        stub.handlers.hazards = () => ({status: 502, body: {error: 'Weather download failed (HTTP 503)',
          source: 'https://aviationweather.gov/api/data/airsigmet?format=json'}});
      }});
      const mapBefore = await page.locator('#map').boundingBox();
      const source = `https://aviationweather.gov/api/data/metar?bbox=${WEST_BBOX}&format=json`;
      await page.evaluate((url) => {
        // The whole area fails; the boxes of the point's view, asked once it is chosen, hold none.
        window.corvaneStub.handlers.metars = (argument) => (argument ? {status: 200, body: []} :
          {status: 502, body: {error: 'Weather download failed (HTTP 503)', source: url}});
      }, source);
      await page.getByRole('button', {name: 'Refresh METAR stations'}).click();
      await page.locator('.status-entry[data-source="alerts"]').waitFor({state: 'attached', timeout: 15000});
      await page.locator('.status-entry[data-source="metars"]').waitFor({state: 'attached'});
      // The map fits into what is left: still at its first view, it shows the whole area again,
      // its southern stations included, not cut off below the window.
      await page.waitForTimeout(300);  // the refit after the last entry came
      const marks = await page.evaluate(() => {
        const box = document.querySelector('#map').getBoundingClientRect();
        const rects = [...document.querySelectorAll('path.station-marker')].map((path) => path.getBoundingClientRect());
        return {south: Math.max(...rects.map((r) => r.bottom)), north: Math.min(...rects.map((r) => r.top)),
          top: box.top, bottom: box.bottom, count: rects.length};
      });
      assert.ok(marks.count >= 55 && marks.south <= marks.bottom && marks.north >= marks.top, JSON.stringify(marks));
      await typePoint(page, '40.76,-111.89');
      await page.locator('.status-entry[data-source="point"]').waitFor({state: 'attached'});
      const lines = page.locator('.status-line');
      assert.deepEqual((await lines.evaluateAll((nodes) => nodes.map((node) =>
        node.firstChild.textContent + node.childNodes[1].textContent))).sort(),
      ['Aviation weather service: 3 requests failed', 'National Weather Service: 2 requests failed']);
      const line = page.locator('.status-group[data-service="aviation"] .status-line');
      assert.ok((await line.textContent()).startsWith('Aviation weather service: 3 requests failed — RetryDetails'));
      // One line per service; no address is shown until the reader asks for the details.
      const area = await page.locator('#status').boundingBox();
      assert.ok(area.height <= 64, `${area.height} px`);
      assert.equal(await page.locator('.status-source').first().isVisible(), false);
      const map = await page.locator('#map').boundingBox();
      assert.ok(Math.abs(map.y - (area.y + area.height)) <= 1 && map.y + map.height <= height + 0.5,
          `${JSON.stringify(map)} below ${JSON.stringify(area)}`);
      assert.ok(map.height < mapBefore.height);
      await saveScreenshot(page, `errors-${width}x${height}`);
      await page.locator('.status-group[data-service="aviation"] summary').click();
      assert.equal(await page.locator('.status-entry[data-source="metars"] .status-source').textContent(),
          ` (source: ${source})`);
      const advice = await page.locator('.status-group[data-service="aviation"] .status-advice').allTextContents();
      assert.match(advice.join('|'), /internal error/);
      await saveScreenshot(page, `errors-details-${width}x${height}`);
      // Retry asks each failed source of the group again.
      const asked = async () => (await stubRequests(page)).filter((r) => ['metars', 'pireps', 'hazards'].includes(r.operation)).length;
      const before = await asked();
      await page.getByRole('button', {name: 'Retry Aviation weather service'}).click();
      await page.waitForFunction((n) => window.corvaneStub.requests.filter((r) =>
        ['metars', 'pireps', 'hazards'].includes(r.operation)).length >= n + 3, before);
      await close();
    }
    const {page, close} = await openPage({clock: REFERENCE_TIME, init: () => delete window.chrome.webview});
    await page.locator('.status-entry').first().waitFor({state: 'attached'});
    assert.match(await page.locator('.status-entry').first().textContent(),
        /The weather host is not available.*open the map from the program/);
    await close();
  });

  it('shows loading on the map and in each panel until the first replies arrive', async () => {
    const {page, close} = await openPage({clock: REFERENCE_TIME, init: () => (window.corvaneStub.hold = true)});
    await page.locator('.map-loading').waitFor();
    assert.equal(await page.locator('.map-loading').textContent(), 'Loading METAR stations, Pilot reports, Alerts, Aviation hazards…');
    assert.equal(await page.locator('#panel-layers .loading').count(), 4);
    assert.equal(await page.locator('#panel-alerts .alert-list').textContent(), 'Loading alerts…');
    await typePoint(page, '40.76,-111.89');
    assert.equal(await page.locator('#panel-point .loading').first().textContent(), 'Loading the weather here…');
    assert.match(await page.locator('.map-loading').textContent(), /Point forecast/);
    await page.evaluate(() => window.corvaneStub.release());
    await page.locator('#panel-point .observation').waitFor();
    // Then the forecast, the alerts' zones and, once the zoomed view has rested, its tiles.
    await page.evaluate(() => (window.corvaneStub.hold = false));
    await page.evaluate(() => window.corvaneStub.release());
    await page.locator('.map-loading').waitFor({state: 'detached'});
    await close();
  });

  it('says a full western list may lack stations and fills the view from smaller boxes, at most 10 a minute', async (t) => {
    // 450 more stations over the West; the whole-area reply stops at 400, as the service's does.
    const {page, close} = await ready({init: () => {
      const documents = window.corvaneStubDocuments;
      const template = documents.metarWest[0];
      documents.metarWest.push(...Array.from({length: 450}, (_, i) => ({...template, icaoId: `Q${String(i).padStart(3, '0')}`,
        lat: 31.3 + (i % 18), lon: -124.7 + Math.floor(i / 18) * 0.9})));
      // The boxes are kept back until the notes are read, then answered.
      window.keptBoxes = [];
      window.corvaneStub.handlers.metars = (argument, {id}) => (!argument ? {status: 200, body: documents.metarWest.slice(0, 400)} :
        window.keptBoxes ? (window.keptBoxes.push({id, argument}), null) : window.corvaneStub.defaults.metars(argument));
    }});
    const incomplete = page.locator('.map-status .map-unavailable');
    await incomplete.waitFor();
    assert.equal(await incomplete.textContent(), 'IncompleteMETAR stations in view: some stations may be missing: the ' +
      'western list reached the aviation service\'s limit of 400 reports per request; the view is being asked for in smaller boxes');
    const layer = page.locator('.layer[data-layer="metars"]');
    assert.equal(await layer.locator('.layer-note').first().textContent(), 'The aviation service sends at most 400 ' +
      'reports per request and this list reached that: some stations may be missing. The map asks for the stations in view in smaller boxes.');
    await page.evaluate(() => {
      for (const {id, argument} of window.keptBoxes) window.corvaneStub.deliver({id, ...window.corvaneStub.defaults.metars(argument)});
      window.keptBoxes = null;
    });
    await page.clock.fastForward(2 * MINUTE);
    await incomplete.waitFor({state: 'detached'});
    const total = await page.evaluate(() => window.corvaneStubDocuments.metarWest.length);
    await page.waitForFunction((count) => document.querySelector('.layer[data-layer="metars"] .count')
        ?.textContent.startsWith(`${count} stations`), total);
    const boxes = (await stubRequests(page)).filter((r) => r.operation === 'metars' && r.argument !== '');
    assert.ok(boxes.length >= 2 && boxes.length <= 20, `${boxes.length} boxes`);
    t.diagnostic(`a full western list at the start view: ${boxes.length} METAR boxes to fill it`);
    await close();
  });

  it('fits 920×650 in one row of controls', async () => {
    const {page, close} = await ready({viewport: {width: 920, height: 650}});
    const bar = await page.locator('.top-bar').evaluate((node) => ({height: node.offsetHeight,
      scroll: node.scrollWidth, client: node.clientWidth,
      tops: [...node.querySelectorAll('button, input, h1')].map((child) => child.getBoundingClientRect().top)}));
    assert.ok(bar.height <= 48 && bar.scroll <= bar.client, JSON.stringify(bar));
    assert.ok(Math.max(...bar.tops) - Math.min(...bar.tops) < 8, 'every control on one row');
    await close();
  });

  // A station chosen from search used to open with its header 325 px (1460×960) and 170 px
  // (920×650) above the map, and the TAF out of reach below it.
  it('opens every station popup wholly inside the map, header first, its TAF scrolled to inside it', async () => {
    for (const [width, height] of [[1460, 960], [920, 650]]) {
      const {page, close} = await ready({viewport: {width, height}});
      await page.waitForFunction(() => window.corvaneStub.requests.some((r) => r.operation === 'tafs'));
      for (const [id, how] of [['KSLC', 'search'], ['KSEA', 'click'], ['KLAX', 'click'], ['KPHX', 'search']]) {
        if (how === 'search') {
          await page.locator('#search-input').fill(id);
          await page.getByRole('option', {name: new RegExp(`^${id}`)}).first().waitFor();
          await page.locator('#search-input').press('Enter');
        } else {
          await page.locator(`path.station-marker[data-station="${id}"]`).dispatchEvent('click');
        }
        const popup = page.locator('.leaflet-popup', {has: page.locator(`.station-popup[data-station="${id}"]`)});
        await popup.locator('.taf-period').first().waitFor({state: 'attached'});
        let box = null;
        for (let wait = 0; wait < 40; wait++) {  // the map pans to bring the popup into view
          await page.waitForTimeout(100);
          const now = await popup.locator('.leaflet-popup-content-wrapper').boundingBox();
          if (box && JSON.stringify(now) === JSON.stringify(box)) break;
          box = now;
        }
        const map = await page.locator('#map').boundingBox();
        const where = `${id} from ${how} at ${width}×${height}: ${JSON.stringify(box)} in ${JSON.stringify(map)}`;
        assert.ok(box.y >= map.y && box.x >= map.x && box.x + box.width <= map.x + map.width &&
          box.y + box.height <= map.y + map.height, where);
        const title = await popup.locator('.popup-title').boundingBox();
        assert.ok(title.y >= box.y && title.y < box.y + 40, `header first: ${where}`);
        // No map control lies over it: the picture loop gives way while a popup is open.
        assert.ok(!(await page.locator('.loop-control').isVisible()), `loop control over the popup: ${where}`);
        // Long content scrolls inside the popup, and the TAF comes into view there.
        await scrollIntoView(popup.locator('.taf-title'));
        const taf = await popup.locator('.taf-title').boundingBox();
        assert.ok(taf.y >= box.y && taf.y + taf.height <= box.y + box.height, `TAF: ${where}`);
        assert.deepEqual(await page.locator('#map').boundingBox(), map, 'the page itself did not scroll');
        if (id === 'KSLC') await saveScreenshot(page, `station-popup-search-${width}x${height}`);
      }
      await close();
    }
  });
});
