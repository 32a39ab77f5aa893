// The map page in a real browser against the stub host: what it asks for, what it draws and how
// it is used with mouse and keyboard.
import assert from 'node:assert/strict';
import {after, describe, it} from 'node:test';
import {REFERENCE_TIME} from './documents.mjs';
import {openPage, saveScreenshot, startBrowser, stubRequests, waitForRequest} from './browser.mjs';

after(async () => (await startBrowser()).close());

const COLOURS = {VFR: 'rgb(61, 220, 132)', MVFR: 'rgb(77, 163, 255)', IFR: 'rgb(255, 92, 92)',
  LIFR: 'rgb(232, 107, 255)'};

async function ready(options = {}) {
  const session = await openPage({clock: REFERENCE_TIME, ...options});
  await session.page.locator('path.station-marker').first().waitFor();
  return session;
}

const fill = (page, id) => page.locator(`path.station-marker[data-station="${id}"]`)
    .evaluate((path) => getComputedStyle(path).fill);

function rowsOf(page, selector) {
  return page.locator(selector).evaluate((list) => Object.fromEntries([...list.querySelectorAll('dt')]
      .map((dt) => [dt.textContent, dt.nextElementSibling.textContent])));
}

async function selectTab(page, name) {
  await page.getByRole('tab', {name}).click();
}

describe('requests', () => {
  it('asks at start for the whole area, the pilot reports and the alerts', async () => {
    const {page, close, errors} = await ready();
    const requests = await waitForRequest(page, (r) => r.operation === 'alerts');
    assert.deepEqual(requests.map(({operation, argument}) => [operation, argument]),
        [['metars', ''], ['pireps', ''], ['alerts', '']]);
    for (const request of requests) assert.ok(Number.isInteger(request.id));
    assert.equal(new Set(requests.map((r) => r.id)).size, requests.length);
    assert.deepEqual(errors, []);
    await close();
  });

  it('asks for the visible box when zoomed in, inside the allowed area and within 96 bytes', async () => {
    const {page, close} = await ready();
    await selectTab(page, 'Stations');
    await page.locator('#station-input').fill('kslc');
    await page.locator('#station-input').press('Enter');
    const requests = await waitForRequest(page, (r) => r.operation === 'metars' && r.argument !== '');
    const boxes = requests.filter((r) => r.operation === 'metars' && r.argument !== '');
    for (const {argument} of boxes) {
      assert.match(argument, /^-?\d+(\.\d+)?(,-?\d+(\.\d+)?){3}$/);
      assert.ok(Buffer.byteLength(argument) <= 96);
      const [south, west, north, east] = argument.split(',').map(Number);
      assert.ok(south >= 31 && north <= 49.5 && west >= -125 && east <= -102, argument);
      assert.ok(south < 40.78 && north > 40.78 && west < -111.97 && east > -111.97, argument);
    }
    await page.locator('.station-popup[data-station="KSLC"]').waitFor();
    assert.equal(await page.locator('#status').isHidden(), true, 'no error from the box request');
    await close();
  });

  it('keeps every message within the host\'s limits', async () => {
    const {page, close} = await ready();
    await page.locator('#point-input').fill('40.76,-111.89');
    await page.locator('#point-input').press('Enter');
    await page.locator('#refresh-all').click();
    const requests = await waitForRequest(page, (r) => r.operation === 'point');
    for (const request of requests) {
      assert.deepEqual(Object.keys(request).sort(), ['argument', 'id', 'operation']);
      assert.ok(['metars', 'pireps', 'alerts', 'point'].includes(request.operation));
      assert.equal(typeof request.argument, 'string');
      assert.ok(Buffer.byteLength(JSON.stringify(request)) <= 2048);
      assert.ok(Buffer.byteLength(request.argument) <= 96);
    }
    await close();
  });
});

describe('METAR stations', () => {
  it('draws a marker per station coloured by flight category', async () => {
    const {page, close} = await ready();
    assert.ok(await page.locator('path.station-marker').count() >= 55);
    assert.equal(await fill(page, 'KSLC'), COLOURS.VFR);
    assert.equal(await fill(page, 'KPDX'), COLOURS.MVFR);
    assert.equal(await fill(page, 'KSEA'), COLOURS.IFR);
    assert.equal(await fill(page, 'KOLM'), COLOURS.LIFR);
    // No category in the report: derived from 3SM OVC015.
    assert.equal(await fill(page, 'KSUN'), COLOURS.MVFR);
    await close();
  });

  it('opens a popup with the raw report and its decoding on click', async () => {
    const {page, close} = await ready();
    await page.locator('path.station-marker[data-station="KSLC"]').dispatchEvent('click');
    const rows = await rowsOf(page, '.station-popup .facts');
    assert.equal(rows.Wind, '180° at 22 kt, gusts 34 kt');
    assert.equal(rows.Visibility, '10+ SM');
    assert.equal(rows.Weather, 'light rain showers');
    assert.equal(rows.Clouds, 'few 5,000 ft, broken 9,000 ft, overcast 14,000 ft');
    assert.equal(rows.Ceiling, '9,000 ft');
    assert.equal(rows['Temperature / dew point'], '55 °F / 38 °F');
    assert.equal(rows.Altimeter, '29.81 inHg');
    assert.equal(rows.Observed, '17:54Z (6 min ago)');
    assert.match(await page.locator('.station-popup .raw').textContent(), /^METAR KSLC 201754Z 18022G34KT/);
    await close();
  });

  it('gives each marker a text alternative', async () => {
    const {page, close} = await ready();
    const label = await page.locator('path.station-marker[data-station="KCNY"]').getAttribute('aria-label');
    assert.match(label, /^KCNY .*VFR, wind variable at 4 kt/);
    await close();
  });

  it('finds a station by identifier and remembers favourites across a restart', async () => {
    const {page, context, close} = await ready();
    await selectTab(page, 'Stations');
    await page.locator('#station-input').fill('nope');
    await page.locator('#station-input').press('Enter');
    assert.equal(await page.locator('.search-message').textContent(), 'No station "nope" in the loaded reports.');
    await page.locator('#station-input').fill('SLC');
    await page.locator('#station-input').press('Enter');
    await page.locator('.station-popup .favourite-toggle').click();
    assert.match(await page.locator('.favourite-list').textContent(), /KSLC VFR · 55 °F · 6 min ago/);
    const again = await context.newPage();
    await again.clock.install({time: REFERENCE_TIME});
    await again.addInitScript({path: new URL('./stub-bridge.js', import.meta.url).pathname});
    await again.goto(page.url());
    await again.getByRole('tab', {name: 'Stations'}).click();
    assert.match(await again.locator('.favourite-list li').first().textContent(), /^KSLC/);
    await close();
  });
});

describe('pilot reports', () => {
  it('draws every report with its level, emphasises urgent ones and filters by altitude', async () => {
    const {page, close} = await ready();
    await page.locator('.pirep-symbol').first().waitFor();
    assert.equal(await page.locator('.pirep-symbol').count(), 20);
    assert.equal(await page.locator('.pirep-symbol.urgent').count(), 2);
    await page.locator('#pirep-band').selectOption('high');
    assert.deepEqual((await page.locator('.pirep-level').allTextContents()).sort(), ['240', '370', '390']);
    await page.locator('#pirep-band').selectOption('low');
    assert.equal(await page.locator('.pirep-symbol').count(), 12);
    await close();
  });

  it('fades older reports', async () => {
    const {page, close} = await ready();
    await page.locator('.pirep-icon').first().waitFor();
    const opacities = await page.locator('.pirep-icon').evaluateAll((icons) =>
      icons.map((icon) => Number(getComputedStyle(icon).opacity)));
    assert.ok(opacities.includes(1));
    assert.ok(Math.min(...opacities) < 0.7, String(opacities));
    await close();
  });

  it('shows the raw text from the keyboard', async () => {
    const {page, close} = await ready();
    const urgent = page.locator('.pirep-icon', {has: page.locator('.pirep-symbol.urgent')}).first();
    await urgent.focus();
    await page.keyboard.press('Enter');
    await page.locator('.pirep-popup').waitFor();
    assert.equal(await page.locator('.pirep-popup .popup-title').textContent(), 'Urgent pilot report');
    assert.match(await page.locator('.pirep-popup .raw').textContent(), / UUA /);
    await close();
  });
});

describe('alerts', () => {
  it('draws the three shaped alerts and lists the rest as not drawn', async () => {
    const {page, close} = await ready();
    await page.locator('path.alert-shape').first().waitFor();
    assert.equal(await page.locator('path.alert-shape').count(), 3);
    await selectTab(page, 'Alerts');
    assert.equal(await page.locator('.alert-item').count(), 8);
    assert.equal(await page.locator('.alert-item .no-shape').count(), 5);
    assert.equal(await page.locator('.alert-item .badge').first().textContent(), 'Extreme');
    await close();
  });

  it('sorts the list and opens the full text with Enter', async () => {
    const {page, close} = await ready();
    await selectTab(page, 'Alerts');
    await page.locator('#alert-sort').selectOption('ends');
    assert.equal(await page.locator('.alert-item .alert-event').last().textContent(), 'Air Quality Alert');
    await page.locator('#alert-sort').selectOption('event');
    const events = await page.locator('.alert-item .alert-event').allTextContents();
    assert.deepEqual(events, [...events].sort());
    await page.locator('.alert-item', {hasText: 'Flash Flood Warning'}).focus();
    await page.keyboard.press('Enter');
    const detail = page.locator('.alert-detail');
    assert.match(await detail.textContent(), /Cañada/);
    assert.equal(await page.evaluate(() => document.activeElement.className), 'alert-title');
    const rows = await rowsOf(page, '.alert-detail .facts');
    assert.equal(rows.Area, 'Pima, AZ; Pinal, AZ');
    assert.equal(rows.Onset, '2026-11-20 10:31 (UTC-07:00)');
    assert.ok(await detail.locator('h4', {hasText: 'Instructions'}).count());
    await close();
  });

  it('opens an alert from its shape on the map', async () => {
    const {page, close} = await ready();
    await page.locator('path.alert-shape').first().waitFor();
    await page.locator('path.alert-shape').first().dispatchEvent('click');
    await page.locator('.alert-detail').waitFor();
    assert.equal(await page.getByRole('tab', {name: 'Alerts'}).getAttribute('aria-selected'), 'true');
    await close();
  });
});

describe('point weather', () => {
  it('shows the nearest observation, chart, table and grid for typed coordinates', async () => {
    const {page, close} = await ready();
    await page.locator('#point-input').fill(' 40.76 , -111.89 ');
    await page.locator('#point-input').press('Enter');
    const requests = await waitForRequest(page, (r) => r.operation === 'point');
    assert.equal(requests.find((r) => r.operation === 'point').argument, '40.76,-111.89');
    await page.locator('.observation').waitFor();
    assert.equal(await page.locator('.observation h3').textContent(),
        'Now at Salt Lake City, Salt Lake City International Airport (KSLC)');
    const rows = await rowsOf(page, '.observation .facts');
    assert.equal(rows.Station, '4.4 mi WNW of the point (288°)');
    assert.equal(rows.Observed, '17:54Z (6 min ago)');
    assert.equal(rows.Temperature, '55 °F');
    assert.equal(rows['Dew point'], '38 °F');
    assert.equal(rows.Humidity, '52 %');
    assert.equal(rows.Wind, '180° at 22 kt');
    assert.equal(rows.Pressure, '29.81 inHg');
    assert.equal(rows.Visibility, '10 SM');
    const chart = page.locator('svg.hourly-chart');
    assert.equal(await chart.getAttribute('role'), 'img');
    assert.match(await page.locator('#hourly-chart-title').textContent(), /^Hourly forecast for 48 hours/);
    await page.getByRole('button', {name: 'Show as table'}).click();
    assert.equal(await page.locator('.hourly-table tbody tr').count(), 48);
    const grid = await page.locator('.grid-table tbody th').allTextContents();
    assert.deepEqual(grid, ['Sky cover', 'Ceiling', 'Visibility', 'Probability of thunder',
      'Wind gust', 'Snow level']);
    assert.equal(await page.locator('.warnings').count(), 0);
    await close();
  });

  it('asks for the clicked point as latitude,longitude', async () => {
    const {page, close} = await ready();
    const box = await page.locator('#map').boundingBox();
    await page.mouse.click(box.x + box.width * 0.62, box.y + box.height * 0.93);
    const requests = await waitForRequest(page, (r) => r.operation === 'point');
    const {argument} = requests.find((r) => r.operation === 'point');
    assert.match(argument, /^-?\d{1,2}(\.\d{1,4})?,-\d{2,3}(\.\d{1,4})?$/);
    await page.locator('.observation').waitFor();
    await close();
  });

  it('shows the reply\'s warnings plainly', async () => {
    const {page, close} = await ready({init: () => {
      window.corvaneStub.handlers.point = (argument) => {
        const reply = window.corvaneStub.defaults.point(argument);
        reply.body.hourly = null;
        reply.body.warnings = ['hourly: Weather download failed (HTTP 503): https://api.weather.gov/gridpoints/SLC/101,174/forecast/hourly'];
        return reply;
      };
    }});
    await page.locator('#point-input').fill('40.76,-111.89');
    await page.locator('#point-input').press('Enter');
    await page.locator('.warnings li').waitFor();
    assert.match(await page.locator('.warnings li').textContent(), /^hourly: Weather download failed \(HTTP 503\)/);
    assert.equal(await page.locator('.hourly .empty').textContent(), 'No hourly forecast in this reply.');
    assert.ok(await page.locator('.observation').count());
    await close();
  });
});

describe('units', () => {
  it('converts on choice and remembers the choice', async () => {
    const {page, close} = await ready();
    await selectTab(page, 'Units');
    const radio = (name) => page.getByRole('radio', {name, exact: true});
    await radio('°C').check();
    await radio('km/h').check();
    await radio('hPa').check();
    await radio('km').check();
    await page.locator('path.station-marker[data-station="KSLC"]').dispatchEvent('click');
    const rows = await rowsOf(page, '.station-popup .facts');
    assert.equal(rows['Temperature / dew point'], '12.8 °C / 3.3 °C');
    assert.equal(rows.Wind, '180° at 41 km/h, gusts 63 km/h');
    assert.equal(rows.Altimeter, '1009.5 hPa');
    assert.equal(rows.Visibility, '16+ km');
    await page.reload();
    await page.locator('path.station-marker').first().waitFor();
    await selectTab(page, 'Units');
    assert.equal(await radio('°C').isChecked(), true);
    assert.equal(await radio('km/h').isChecked(), true);
    await close();
  });
});

describe('keyboard', () => {
  it('reaches the controls in order and moves between tabs with the arrow keys', async () => {
    const {page, close} = await ready();
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'point-input');
    await page.keyboard.press('Tab');
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'refresh-all');
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'about-open');
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'tab-layers');
    await page.keyboard.press('ArrowRight');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'tab-point');
    assert.equal(await page.locator('#panel-point').isVisible(), true);
    await page.keyboard.press('End');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'tab-units');
    const outline = await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle);
    assert.equal(outline, 'solid', 'focus is visible');
    await close();
  });

  it('opens a station from the keyboard and returns focus when the popup closes', async () => {
    const {page, close} = await ready();
    const marker = page.locator('path.station-marker[data-station="KSLC"]');
    await marker.focus();
    await page.keyboard.press('Enter');
    await page.locator('.station-popup').waitFor();
    assert.equal(await page.evaluate(() => document.activeElement.classList.contains('popup-title')), true);
    await page.keyboard.press('Escape');
    await page.locator('.station-popup').waitFor({state: 'detached'});
    assert.equal(await page.evaluate(() => document.activeElement.dataset.station), 'KSLC');
    await close();
  });
});

describe('demo label', () => {
  it('shows the banner with ?demo=1 or when the host sets window.corvaneDemo', async () => {
    for (const options of [{query: '?demo=1'}, {init: () => (window.corvaneDemo = true)}]) {
      const {page, close} = await ready(options);
      assert.equal(await page.locator('#demo-banner').isVisible(), true);
      assert.equal(await page.locator('#demo-banner').textContent(), 'Demo data — not live weather');
      await close();
    }
    const {page, close} = await ready();
    assert.equal(await page.locator('#demo-banner').isVisible(), false);
    await close();
  });
});

describe('layout', () => {
  for (const [width, height] of [[1460, 960], [920, 650]]) {
    it(`fits ${width}×${height} and is saved as a screenshot`, async () => {
      const {page, close, errors} = await ready({viewport: {width, height}});
      await page.locator('.pirep-symbol').first().waitFor();
      const size = await page.evaluate(() => ({width: document.documentElement.scrollWidth,
        height: document.documentElement.scrollHeight}));
      assert.deepEqual(size, {width, height});
      const map = await page.locator('#map').boundingBox();
      assert.ok(map.width > 500 && map.height > 450, JSON.stringify(map));
      await saveScreenshot(page, `map-${width}x${height}`);
      await page.locator('#point-input').fill('40.76,-111.89');
      await page.locator('#point-input').press('Enter');
      await page.locator('.observation').waitFor();
      await saveScreenshot(page, `point-${width}x${height}`);
      await selectTab(page, 'Alerts');
      await page.locator('.alert-item').first().click();
      await page.locator('path.station-marker[data-station="KSLC"]').dispatchEvent('click');
      await page.locator('.station-popup').waitFor();
      await saveScreenshot(page, `alerts-popup-${width}x${height}`);
      assert.deepEqual(errors, []);
      await close();
    });
  }
});
