// The backcountry as a skier in the Wasatch in January and a hiker in the Sierra in August would
// meet it: the avalanche layer and the danger at the spot, fire weather with the Red Flag
// Warning first, the mountain forecast and the office's outlooks. The project's documents are
// moved to those days, so every time in them reads as it would then.
import assert from 'node:assert/strict';
import {after, describe, it} from 'node:test';
import {REFERENCE_TIME, documentsScript, loadDocuments} from './documents.mjs';
import {accessibilityViolations, openPage, saveScreenshot, scrollIntoView, startBrowser, stubRequests} from './browser.mjs';

after(async () => (await startBrowser()).close());

const MINUTE = 60000;
const HOUR = 60 * MINUTE;
const WASATCH_JANUARY = Date.UTC(2027, 0, 15, 17, 0);  // 10:00 MST: the morning's forecasts are out
const SIERRA_AUGUST = Date.UTC(2027, 7, 12, 21, 0);  // 14:00 PDT
const ALTA = {lat: 40.59, lon: -111.64};
const TAHOE = {lat: 38.93, lon: -120.1};

const ISO = /(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)(\.\d+)?(Z|[+-]\d\d:\d\d)?/g;
const UNIX = /("(?:obsTime|validTimeFrom|validTimeTo|timeFrom|timeTo|timeBec|issueTime|receiptTime|expireTime)":)(\d+)/g;

/** The project's documents with every time moved by `ms`, as the demo moves them. */
function movedDocuments(ms, edit = (documents) => documents) {
  const text = JSON.stringify(loadDocuments()).replace(ISO, (whole, time, fraction, offset) => {
    const moved = new Date(Date.parse(`${time}${offset || 'Z'}`) + ms).toISOString().slice(0, 19);
    return offset ? `${moved}Z` : moved;  // the avalanche layer's times have no offset: UTC
  }).replace(UNIX, (whole, member, seconds) => `${member}${Number(seconds) + ms / 1000}`);
  return documentsScript(edit(JSON.parse(text)));
}

/** A Red Flag Warning over the Tahoe basin and a grid of a hot, dry, unstable afternoon. */
function summerAfternoon(documents) {
  const alert = JSON.parse(JSON.stringify(documents.alerts.features[0]));
  const start = new Date(SIERRA_AUGUST - 2 * HOUR).toISOString();
  const end = new Date(SIERRA_AUGUST + 9 * HOUR).toISOString();
  Object.assign(alert, {id: 'https://api.weather.gov/alerts/urn:oid:red-flag-tahoe',
    geometry: {type: 'Polygon', coordinates: [[[-120.6, 38.6], [-119.8, 38.6], [-119.8, 39.3], [-120.6, 39.3], [-120.6, 38.6]]]}});
  Object.assign(alert.properties, {id: 'urn:oid:red-flag-tahoe', event: 'Red Flag Warning', severity: 'Severe',
    headline: 'Red Flag Warning until 11 PM PDT', areaDesc: 'Lake Tahoe Basin', sent: start, effective: start,
    onset: start, expires: end, ends: end, affectedZones: [], geocode: {SAME: ['006017'], UGC: ['CAZ272']}});
  documents.alerts.features.push(alert);
  const grid = documents.grid.properties;
  const all = (value) => ({values: [{validTime: `${new Date(SIERRA_AUGUST - 3 * HOUR).toISOString()}/PT12H`, value}]});
  // The stub answers every point with the Salt Lake City documents: placed at Tahoe here.
  Object.assign(documents.points.properties, {timeZone: 'America/Los_Angeles'});
  Object.assign(documents.points.properties.relativeLocation.properties, {city: 'South Lake Tahoe', state: 'CA'});
  Object.assign(grid, {hainesIndex: all(6), lightningActivityLevel: all(6), redFlagThreatIndex: all(4),
    snowLevel: {uom: 'wmoUnit:m', values: []}, windChill: {uom: 'wmoUnit:degC', values: []}});
  return documents;
}

async function pointAt(page, {lat, lon}) {
  const input = page.locator('#search-input');
  await input.fill(`${lat}, ${lon}`);
  await page.getByRole('option', {name: `${lat}, ${lon}`}).first().waitFor();
  await input.press('Enter');
  await page.locator('#panel-point .period').first().waitFor();
}

const text = (locator) => locator.evaluate((node) => node.textContent.replace(/\s+/g, ' ').trim());

describe('avalanche danger', () => {
  it('draws the zones in the danger colours by the map rules in the season, expired ones without colour', async () => {
    const {page, close, errors} = await openPage({clock: WASATCH_JANUARY,
      documents: movedDocuments(WASATCH_JANUARY - REFERENCE_TIME)});
    await page.locator('path.avalanche-zone').first().waitFor();
    const zones = await page.locator('path.avalanche-zone').evaluateAll((paths) => Object.fromEntries(paths.map((path) =>
      [path.dataset.zone, [path.getAttribute('class').replace(/^avalanche-zone /, ''), path.getAttribute('fill'),
        path.getAttribute('stroke'), path.getAttribute('stroke-width'), path.getAttribute('stroke-dasharray')]])));
    assert.deepEqual(zones, {
      2001: ['danger-rated danger-level-3', '#f7931e', '#000000', '1.5', null],
      2002: ['danger-rated danger-level-2', '#fff300', '#000000', '1.5', null],
      2003: ['danger-rated danger-level-4', '#ef1c24', '#000000', '1.5', null],
      2101: ['danger-rated danger-level-1', '#55b64f', '#000000', '1.5', null],
      2201: ['danger-rated danger-level-5', '#231f20', '#ff0000', '4', null],  // thick red outline
      2202: ['danger-expired', 'none', '#6b6b6b', '1.5', '6 4'],
      2203: ['danger-information', '#cccccc', '#104efb', '2', null],
      2301: ['danger-outline', 'none', '#000000', '1.5', null],
    });
    const block = page.locator('.layer[data-layer="avalanche"]');
    assert.equal(await page.locator('#layer-avalanche').isChecked(), true, 'on by default in January');
    assert.match(await text(block.locator('.count')),
        /^8 zones: 1 Extreme, 1 High, 1 Considerable, 1 Moderate, 1 Low, 2 No rating; 1 expired$/);
    assert.match(await text(block), /Asks again 11:00 MST: every 15 minutes from 5 to 10 am Mountain time/);
    assert.deepEqual(errors, []);
    await close();
  });

  it('starts the point panel with the danger at the spot, its advice, times and the centre\'s link', async () => {
    const {page, close} = await openPage({clock: WASATCH_JANUARY, documents: movedDocuments(WASATCH_JANUARY - REFERENCE_TIME)});
    await page.locator('path.avalanche-zone').first().waitFor();
    await pointAt(page, ALTA);
    const first = page.locator('#panel-point .panel-title ~ section').first();
    assert.equal(await first.getAttribute('class'), 'avalanche-here');
    assert.equal(await text(first.locator('.avalanche-word')), '3 – Considerable');
    assert.equal(await text(first.locator('.avalanche-zone-name')), '· Salt Lake');
    assert.equal(await first.locator('.danger-icon path').getAttribute('fill'), '#f7931e', 'the icon in the zone\'s colour');
    assert.match(await text(first), /Dangerous avalanche conditions\. Careful snowpack evaluation/);
    assert.match(await text(first), /Issued Fri Jan 15 05:30 MST; expires Sat Jan 16 05:30 MST \(in 19 h (29|30) min\)\. Utah Avalanche Center \(UT\)\./);
    assert.equal(await first.getByRole('link').getAttribute('href'), 'https://utahavalanchecenter.org/forecasts/salt-lake');
    assert.deepEqual(await accessibilityViolations(page), []);
    await close();
  });

  it('asks only while shown: hourly, every 15 minutes in the morning, never out of season unless turned on', async () => {
    // 04:30 MST in January: asked at once, then at 5 am, then every 15 minutes.
    const early = Date.UTC(2027, 0, 15, 11, 30);
    let session = await openPage({clock: early, paused: true, documents: movedDocuments(early - REFERENCE_TIME)});
    const count = async () => (await stubRequests(session.page)).filter((r) => r.operation === 'avalanche').length;
    // The count a moment after the clock moved (the request leaves on a promise's turn).
    const asked = async (expected) => {
      for (let i = 0; i < 20 && await count() !== expected; i++) await new Promise((resume) => setTimeout(resume, 50));
      return count();
    };
    await session.page.locator('path.avalanche-zone').first().waitFor();
    assert.equal(await asked(1), 1);
    await session.page.clock.runFor(29 * MINUTE);
    assert.equal(await asked(1), 1, '04:59 MST');
    await session.page.clock.runFor(MINUTE);
    assert.equal(await asked(2), 2, '05:00 MST');
    await session.page.clock.runFor(15 * MINUTE);
    assert.equal(await asked(3), 3, '05:15 MST');
    await session.page.locator('#layer-avalanche').uncheck();
    await session.page.clock.runFor(2 * HOUR);
    assert.equal(await asked(3), 3, 'not while hidden');
    await session.close();

    // August: off, never asked, until the reader turns it on.
    session = await openPage({clock: SIERRA_AUGUST, paused: true, documents: movedDocuments(SIERRA_AUGUST - REFERENCE_TIME)});
    await session.page.locator('.layer[data-layer="avalanche"]').waitFor();
    await session.page.clock.runFor(3 * HOUR);
    assert.equal(await session.page.locator('#layer-avalanche').isChecked(), false);
    assert.equal(await asked(0), 0);
    await session.page.locator('#layer-avalanche').check();
    await session.page.locator('path.avalanche-zone').first().waitFor();
    assert.equal(await asked(1), 1);
    await session.close();
  });
});

describe('fire weather and the mountain forecast', () => {
  it('puts the Red Flag Warning first and shows the fire weather with its bands', async () => {
    const {page, close} = await openPage({clock: SIERRA_AUGUST,
      documents: movedDocuments(SIERRA_AUGUST - REFERENCE_TIME, summerAfternoon)});
    await page.locator('path.station-marker').first().waitFor();
    await pointAt(page, TAHOE);
    await page.locator('#panel-point .alerts-here .alert-event').first().waitFor();
    const events = await page.locator('#panel-point .alerts-here .alert-event').allTextContents();
    assert.equal(events[0], 'Red Flag Warning', JSON.stringify(events));
    assert.equal(await page.locator('#panel-point .avalanche-here').count(), 0, 'out of season, layer off');
    const fire = page.locator('#panel-point .fire-weather');
    assert.equal(await page.locator('#panel-point .alerts-here + .fire-weather').count(), 1, 'the figures right under the warning');
    const rows = await fire.locator('tbody tr').evaluateAll((trs) => Object.fromEntries(trs.map((tr) =>
      [tr.querySelector('th').textContent, tr.querySelector('td').textContent])));
    assert.equal(rows['Haines index'], '6 high potential for large or erratic fire growth');
    assert.equal(rows['Lightning activity level'], '6 dry lightning: thunderstorms without rain');
    assert.equal(rows['Red Flag threat index'], '4');
    assert.equal(rows['Mixing height'], '7,500 ft');
    assert.equal(rows['Transport wind'], 'SSW 28 kt');
    assert.deepEqual(await accessibilityViolations(page), []);
    await close();
  });

  it('relates the snow level to the forecast\'s elevation and follows the Units tab', async () => {
    const {page, close} = await openPage({clock: REFERENCE_TIME});
    await page.locator('path.station-marker').first().waitFor();
    await pointAt(page, {lat: 40.76, lon: -111.89});
    const facts = () => page.locator('#panel-point .mountain dl').evaluate((list) => Object.fromEntries(
      [...list.querySelectorAll('dt')].map((dt) => [dt.textContent, dt.nextElementSibling.textContent])));
    let mountain = await facts();
    assert.equal(mountain['Forecast elevation'], '4,285 ft (the average of the forecast\'s 2.5 km grid cell)');
    assert.equal(mountain['Station elevation'], '4,226 ft at KSLC');
    assert.equal(mountain['Snow level now'], '9,000 ft — 4,700 ft above this forecast\'s elevation (4,285 ft)');
    assert.match(mountain.Daylight, /^civil dawn 06:\d\d MST, sunrise 07:\d\d MST, sunset 17:\d\d MST, civil dusk 17:\d\d MST$/);
    const table = await page.locator('#panel-point .mountain-table tbody tr').first().evaluate((tr) =>
      [...tr.children].map((cell) => cell.textContent));
    assert.equal(table[0], 'This Afternoon');
    // The chart: the dew point beside the temperature, and where the wind comes from every third hour.
    const chart = page.locator('#panel-point .hourly-chart');
    assert.match(await chart.locator('path.chart-dewpoint').getAttribute('d'), /^M[\d.]+ [\d.]+ L/);
    const arrows = await chart.locator('path.chart-wind-arrow').evaluateAll((paths) => paths.map((path) =>
      path.getAttribute('transform').replace(/^translate\([\d.]+ [\d.]+\) /, '')));
    assert.equal(arrows.length, 16, '48 hours, every third');
    assert.equal(arrows[0], 'rotate(180)', 'a south wind, from 180°');
    assert.equal(await text(page.locator('#panel-point .units-note')),
        'The texts are the NWS\'s own words, in °F and mph; the figures follow your units.');
    await page.getByRole('tab', {name: 'Units'}).click();
    await page.locator('#panel-units').getByLabel('km', {exact: true}).check();
    await page.getByRole('tab', {name: 'Point'}).click();
    mountain = await facts();
    assert.equal(mountain['Snow level now'], '2,743 m — 1,433 m above this forecast\'s elevation (1,306 m)');
    await close();
  });

  it('links the outlooks below the discussion with their issuance times and opens them', async () => {
    const {page, close} = await openPage({clock: REFERENCE_TIME});
    await page.locator('path.station-marker').first().waitFor();
    await pointAt(page, {lat: 40.76, lon: -111.89});
    const links = page.locator('#panel-point .outlook-link');
    await links.nth(1).waitFor();
    assert.deepEqual(await links.evaluateAll((items) => items.map((item) => item.textContent)), [
      'Hazardous Weather Outlook · issued Fri Nov 20 03:05 MST (7 h 55 min ago)',
      'Fire Weather Planning Forecast · issued Fri Nov 20 02:35 MST (8 h 25 min ago)']);
    await page.getByRole('button', {name: 'Fire Weather Planning Forecast'}).click();
    const body = page.locator('#panel-point .outlook-text');
    await body.waitFor();
    assert.match(await body.textContent(), /^Fire Weather Planning Forecast for Utah\n/);
    assert.match(await body.textContent(), /\nHaines Index {10}4 {12}3 {12}3\n/, 'the columns as written');
    assert.deepEqual((await stubRequests(page)).filter((r) => r.operation === 'outlook').map((r) => r.argument).sort(),
        ['FWF/SLC', 'HWO/SLC']);
    await close();
  });
});

describe('screenshots', () => {
  for (const [width, height] of [[1460, 960], [920, 650]]) {
    it(`saves the Wasatch in January and the Sierra in August at ${width}×${height}`, async () => {
      const size = `${width}x${height}`;
      let session = await openPage({viewport: {width, height}, clock: WASATCH_JANUARY,
        documents: movedDocuments(WASATCH_JANUARY - REFERENCE_TIME)});
      await session.page.locator('path.avalanche-zone').first().waitFor();
      await pointAt(session.page, ALTA);
      await saveScreenshot(session.page, `wasatch-january-considerable-${size}`);
      await scrollIntoView(session.page.locator('#panel-point .mountain'));
      await saveScreenshot(session.page, `wasatch-january-mountain-${size}`);
      await session.page.getByRole('tab', {name: 'Layers'}).click();
      await scrollIntoView(session.page.locator('.layer[data-layer="avalanche"]'));
      await saveScreenshot(session.page, `wasatch-january-layer-${size}`);
      await session.close();

      session = await openPage({viewport: {width, height}, clock: SIERRA_AUGUST,
        documents: movedDocuments(SIERRA_AUGUST - REFERENCE_TIME, summerAfternoon)});
      await session.page.locator('path.station-marker').first().waitFor();
      await pointAt(session.page, TAHOE);
      await session.page.locator('#panel-point .alerts-here .alert-event').first().waitFor();
      await saveScreenshot(session.page, `sierra-august-red-flag-${size}`);
      await scrollIntoView(session.page.locator('#panel-point .fire-weather'));
      await saveScreenshot(session.page, `sierra-august-fire-weather-${size}`);
      await session.close();
    });
  }
});
