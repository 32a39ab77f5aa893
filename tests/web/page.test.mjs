// The map page in a real browser against the stub host: what it asks for, what it draws and how
// it is used with mouse and keyboard, as a pilot or hiker would use it. Each group names the
// fault of the first version it keeps from coming back.
import assert from 'node:assert/strict';
import {after, it} from 'node:test';
import {REFERENCE_TIME, documentsScript, loadDocuments, stubScript} from './documents.mjs';
import {accessibilityViolations, describe, openPage, saveScreenshot, scrollIntoView, startBrowser, stubRequests,
  waitForRequest} from './browser.mjs';

after(async () => (await startBrowser()).close());

const MINUTE = 60000;
const COLOURS = {VFR: 'rgb(61, 220, 132)', MVFR: 'rgb(77, 163, 255)', IFR: 'rgb(255, 92, 92)',
  LIFR: 'rgb(232, 107, 255)'};

async function ready(options = {}) {
  const session = await openPage({clock: REFERENCE_TIME, ...options});
  await session.page.locator('path.station-marker').first().waitFor();
  return session;
}

const station = (page, id) => page.locator(`path.station-marker[data-station="${id}"]`);
const fill = (page, id) => station(page, id).evaluate((path) => getComputedStyle(path).fill);

function rowsOf(page, selector) {
  return page.locator(selector).evaluate((list) => Object.fromEntries([...list.querySelectorAll('dt')]
      .map((dt) => [dt.textContent, dt.nextElementSibling.textContent])));
}

async function selectTab(page, name) {
  await page.getByRole('tab', {name}).click();
}

async function search(page, text, option = null) {
  const input = page.locator('#search-input');
  await input.fill(text);
  if (option) await page.getByRole('option', {name: option}).first().waitFor();
  await input.press('Enter');
}

/** The centre of an element in page pixels. */
async function centre(locator) {
  const box = await locator.boundingBox();
  return {x: box.x + box.width / 2, y: box.y + box.height / 2};
}

/** Waits until an element stops moving (the map's pan and zoom animations are over). */
async function settled(locator) {
  let last = null;
  for (let i = 0; i < 50; i++) {
    const box = JSON.stringify(await locator.boundingBox());
    if (box === last) return;
    last = box;
    await new Promise((resume) => setTimeout(resume, 100));
  }
}

/** What a click at the element's centre would hit: its class and data attributes. */
function hitAt(page, {x, y}) {
  return page.evaluate(([px, py]) => {
    const hit = document.elementFromPoint(px, py);
    return {className: hit?.getAttribute('class') || '', station: hit?.dataset?.station || null};
  }, [x, y]);
}

// Nine SIGMETs (three to draw, one across the antimeridian, five that cannot be drawn) and more
// CWAs than the page reads.
const HOSTILE_HAZARDS = () => {
  const stub = window.corvaneStub;
  const [turbulence, icing, dust] = window.corvaneStubDocuments.sigmets.slice(4);
  const ring = (count) => Array.from({length: count}, (_, i) => ({lat: 40 + Math.sin((2 * Math.PI * i) / count),
    lon: -112 + Math.cos((2 * Math.PI * i) / count)}));
  const across = [[30, 179], [30, -179], [50, -179], [50, 179], [30, 179]].map(([lat, lon]) => ({lat, lon}));
  stub.handlers.hazards = () => {
    const reply = stub.defaults.hazards();
    // Nine SIGMETs: three to draw, one across the antimeridian, five that cannot be drawn.
    reply.body.sigmets = [turbulence, icing, dust, {...turbulence, alphaChar: 'R', seriesId: '9', coords: across},
      {...turbulence, coords: ring(501)}, null, {...icing, coords: icing.coords.slice(0, 2)},
      {...dust, coords: [{lat: 95, lon: 0}, ...dust.coords]}, {...dust, hazard: ''}];
    reply.body.cwas = Array(2001).fill(reply.body.cwas[4]);  // Tucson's, away from Salt Lake City
    return reply;
  };
  };

const alertsHere = (page) => page.locator('#panel-point .alerts-here .alert-event').allTextContents();

describe('requests', () => {
  it('asks for every layer at start, each message within the host\'s limits', async () => {
    const {page, close, errors} = await ready();
    const requests = await waitForRequest(page, (r) => r.operation === 'alerts');
    assert.deepEqual(requests.slice(0, 3).map(({operation, argument}) => [operation, argument]),
        [['metars', ''], ['pireps', ''], ['alerts', '']]);
    await search(page, '40.76, -111.89', '40.76, -111.89');
    await page.locator('.observation').waitFor();
    for (const request of await stubRequests(page)) {
      assert.deepEqual(Object.keys(request).sort(), ['argument', 'id', 'operation']);
      assert.ok(Number.isSafeInteger(request.id) && request.id > 0, String(request.id));
      assert.ok(Buffer.byteLength(JSON.stringify(request)) <= 2048);
      assert.ok(Buffer.byteLength(request.argument) <= 96);
    }
    assert.equal((await stubRequests(page)).find((r) => r.operation === 'point').argument, '40.76,-111.89');
    assert.deepEqual(errors, []);
    await close();
  });

  // On a busy machine the base map used to appear only with the data, seconds after the window.
  it('paints the base map before any data, and asks for the stations while it does', async () => {
    const {page, close} = await ready({init: () => {
      window.firstSeen = {};
      new MutationObserver(() => {
        const map = document.getElementById('map');
        if (map?.dataset.drawn && !window.firstSeen.base) window.firstSeen.base = performance.now();
        if (document.querySelector('path.station-marker') && !window.firstSeen.marks) {
          window.firstSeen.marks = performance.now();
        }
      }).observe(document, {subtree: true, childList: true, attributes: true});
      const post = window.chrome.webview.postMessage.bind(window.chrome.webview);
      window.chrome.webview.postMessage = (message) => {
        window.firstSeen[message.operation] ??= performance.now();
        post(message);
      };
    }});
    await page.waitForFunction(() => document.getElementById('map').dataset.drawn === 'metars');
    // The base map is on the screen before the rest of the page starts (its first request is
    // the pilot reports) and before any mark is drawn; the stations were asked before either.
    const seen = await page.evaluate(() => window.firstSeen);
    assert.ok(seen.metars < seen.base && seen.base < seen.pireps && seen.base <= seen.marks, JSON.stringify(seen));
    await close();
  });

  // Replies can cross a reload: the host answers every request it took, after the reload too.
  it('uses ids of its own in each load and drops a reply to a request of the load before', async () => {
    const init = () => {
      const stub = window.corvaneStub;
      // Each point reply names its argument as the place, so the panel shows whose reply it is.
      stub.handlers.point = (argument) => {
        const reply = stub.defaults.point(argument);
        reply.body.point = JSON.parse(JSON.stringify(reply.body.point));
        reply.body.point.properties.relativeLocation.properties.city = `Reply for ${argument}`;
        const earlier = JSON.parse(sessionStorage.getItem('held') || '[]');
        sessionStorage.removeItem('held');
        for (const data of earlier) stub.deliver(data);  // the old load's answers arrive first
        return reply;
      };
      if (!sessionStorage.getItem('reloaded')) stub.hold = true;
    };
    const {page, close} = await openPage({clock: REFERENCE_TIME, init});
    await waitForRequest(page, (r) => r.operation === 'alerts');
    const firstIds = (await stubRequests(page)).map((r) => r.id);
    await search(page, '40.5, -111.5', '40.5, -111.5');
    await waitForRequest(page, (r) => r.operation === 'point');
    await page.evaluate(() => {
      sessionStorage.setItem('held', JSON.stringify(window.corvaneStub.held()));
      sessionStorage.setItem('reloaded', '1');
    });
    await page.reload();
    await page.locator('path.station-marker').first().waitFor();
    const secondIds = (await stubRequests(page)).map((r) => r.id);
    assert.ok(secondIds.every((id) => !firstIds.includes(id)), `${firstIds} / ${secondIds}`);
    await search(page, '40.76, -111.89', '40.76, -111.89');
    await page.locator('#panel-point .observation').waitFor();
    assert.equal(await page.locator('#panel-point .panel-title').textContent(), 'Near Reply for 40.76,-111.89, UT');
    await close();
  });
});

describe('alerts on the map and at the point (every alert shown; clicks in alert areas)', () => {
  it('draws all eight alerts, the five without a shape over their own zones, and says so in the legend, list and detail', async () => {
    const {page, close} = await ready();
    await page.locator('path.alert-shape[data-zones]').nth(4).waitFor();
    const drawn = await page.locator('path.alert-shape').evaluateAll((paths) =>
      [...new Set(paths.flatMap((path) => path.dataset.alerts.split(' ')))]);
    assert.equal(drawn.length, 8);
    assert.equal(await page.locator('path.alert-shape:not(.county-drawn):not([data-zones])').count(), 3);
    assert.equal(await page.locator('path.alert-shape.county-drawn').count(), 0);
    // Each zone asked once, through the host's zone operation.
    const zones = (await stubRequests(page)).filter((r) => r.operation === 'zone').map((r) => r.argument);
    assert.equal(zones.length, 14);
    assert.equal(new Set(zones).size, 14);
    assert.ok(zones.includes('forecast/UTZ110') && zones.includes('county/MTC053'), String(zones));
    // The Winter Storm Warning lies over the Wasatch and Uinta mountains, not over the valley
    // below them, though its SAME codes name Salt Lake County: Salt Lake City's airport is under
    // the Wind Advisory only.
    const storm = page.locator('path.alert-shape[data-zones="forecast/UTZ110 forecast/UTZ111 forecast/UTZ112"]');
    const wind = page.locator('path.alert-shape[data-zones="forecast/UTZ105 forecast/UTZ106 forecast/UTZ107"]');
    const airport = await centre(station(page, 'KSLC'));
    const inside = (path) => path.evaluate((node, {x, y}) =>
      node.isPointInFill(new DOMPoint(x, y).matrixTransform(node.getScreenCTM().inverse())), airport);
    assert.deepEqual([await inside(storm), await inside(wind)], [false, true]);
    const legend = await page.locator('.layer[data-layer="alerts"] .legend').last().textContent();
    assert.match(legend, /Filled, solid edge: the alert's own area, or its forecast zones/);
    assert.match(legend, /Dashed edge: drawn over whole counties/);
    assert.match(await page.locator('.layer[data-layer="alerts"] .count').textContent(),
        /^8 alerts in force; 5 drawn over their zones, 0 by county/);
    assert.match(await page.getByRole('tab', {name: /Alerts/}).textContent(), /Alerts 8$/);
    await selectTab(page, 'Alerts');
    assert.equal(await page.locator('.alert-item').count(), 8);
    assert.equal(await page.locator('.alert-item .drawn-note').count(), 0);
    const item = page.locator('.alert-item', {hasText: 'Winter Storm Warning'});
    assert.equal(await item.locator('.alert-when').textContent(),
        'From Fri Nov 20 17:00 MST until Sat Nov 21 17:00 MST');
    await item.click();
    assert.match(await page.locator('.alert-detail .drawn-as').textContent(), /^Drawn over its forecast zones/);
    const rows = await rowsOf(page, '.alert-detail .facts');
    assert.equal(rows.Onset, 'Fri Nov 20 17:00 MST');
    assert.equal(rows['Message expires'], 'Sat Nov 21 03:00 MST');
    // Oregon's Freezing Fog Advisory in its own zone's time.
    await page.locator('.alert-item', {hasText: 'Freezing Fog Advisory'}).click();
    assert.match((await rowsOf(page, '.alert-detail .facts')).Onset, /^Fri Nov 20 03:12 PST$/);
    await close();
  });

  it('keeps zone shapes across a restart, and falls back to counties, said so, for zones it cannot get', async () => {
    const first = await ready();
    await first.page.locator('path.alert-shape[data-zones]').nth(4).waitFor();
    const url = first.page.url();
    await first.page.waitForFunction(() => localStorage.getItem('corvane.zones'));
    const page = await first.context.newPage();
    await page.clock.install({time: REFERENCE_TIME + 10 * MINUTE});
    await page.addInitScript({content: documentsScript(loadDocuments())});
    await page.addInitScript({content: stubScript()});
    // Offline now for zones: the kept shapes must do, and nothing is asked again.
    await page.addInitScript(() => {
      window.corvaneStub.handlers.zone = (argument) => ({status: 502, body: {error: 'Weather download failed',
        source: `https://api.weather.gov/zones/${argument}`}});
    });
    await page.goto(url);
    await page.locator('path.alert-shape[data-zones]').nth(4).waitFor();
    assert.deepEqual((await stubRequests(page)).filter((r) => r.operation === 'zone'), []);
    await first.close();

    const {page: fresh, close} = await ready({init: () => {
      window.corvaneStub.handlers.zone = (argument) => (argument.startsWith('forecast/IDZ') ?
        {status: 502, body: {error: 'Weather download failed (HTTP 503)', source: `https://api.weather.gov/zones/${argument}`}} :
        window.corvaneStub.defaults.zone(argument));
    }});
    await fresh.locator('path.alert-shape.county-drawn').waitFor();
    assert.equal(await fresh.locator('path.alert-shape.county-drawn').getAttribute('data-counties'),
        '16005 16011 16019 16031 16051 16077');
    await fresh.locator('.status-entry[data-source="zones"]').waitFor({state: 'attached'});
    assert.match(await fresh.locator('.status-entry[data-source="zones"]').textContent(),
        /3 zones could not be loaded; their alerts are drawn over whole counties/);
    await selectTab(fresh, 'Alerts');
    await fresh.locator('.alert-item', {hasText: 'Special Weather Statement'}).click();
    assert.match(await fresh.locator('.alert-detail .drawn-as').textContent(),
        /^Drawn over whole counties: the shapes of its zones could not be loaded/);
    await close();
  });

  it('lists the alerts in force at the chosen spot; a click inside an alert area asks for the forecast there', async () => {
    const {page, close} = await ready();
    await page.locator('path.alert-shape[data-zones]').first().waitFor();
    // A click inside an alert's own shape gives the forecast there, with the alert.
    await search(page, 'Tucson', 'Tucson, AZ');  // the Flash Flood Warning's area, zoomed in
    await page.locator('.station-plot').first().waitFor();  // station plots from zoom 9
    await settled(page.locator('.leaflet-map-pane'));
    const before = (await stubRequests(page)).filter((r) => r.operation === 'point').length;
    // A spot inside the warning's own shape where no mark lies.
    const at = await page.evaluate(() => {
      for (const path of document.querySelectorAll('path.alert-shape:not(.county-drawn)')) {
        const box = path.getBoundingClientRect();
        const toShape = path.getScreenCTM().inverse();
        for (let i = 1; i < 10; i++) {
          for (let j = 1; j < 10; j++) {
            const x = box.left + (box.width * i) / 10;
            const y = box.top + (box.height * j) / 10;
            const inside = path.isPointInFill(new DOMPoint(x, y).matrixTransform(toShape));
            const hit = document.elementFromPoint(x, y);
            // The map itself or a picture drawn on it (radar, base map), never a mark or shape.
            if (inside && (hit?.classList.contains('leaflet-container') || hit?.tagName === 'IMG')) return {x, y};
          }
        }
      }
      return null;
    });
    assert.ok(at, 'a spot inside an alert shape free of markers');
    await page.mouse.click(at.x, at.y);
    await page.locator('#panel-point .alerts-here .alert-event').first().waitFor();
    const points = (await stubRequests(page)).filter((r) => r.operation === 'point');
    assert.equal(points.length, before + 1);
    assert.equal(await page.locator('.alert-detail').count(), 0, 'the click opened no alert');
    assert.ok((await alertsHere(page)).includes('Flash Flood Warning'), String(await alertsHere(page)));
    await page.locator('#panel-point .observation').waitFor();
    // Salt Lake City: its zone UTZ105 is under the Wind Advisory; the Winter Storm Warning's
    // mountain zones share the county but not the valley.
    await search(page, '40.76, -111.89', '40.76, -111.89');
    await page.locator('#panel-point .coordinates', {hasText: '40.76, -111.89'}).waitFor();
    await page.locator('#panel-point .observation').waitFor();
    assert.deepEqual(await alertsHere(page), ['Wind Advisory']);
    await page.locator('#panel-point .alerts-here .alert-item').first().click();
    assert.equal(await page.getByRole('tab', {name: /Alerts/}).getAttribute('aria-selected'), 'true');
    await close();
  });

  it('takes alerts that ran out off the map and the list, with a note', async () => {
    // 18:20Z: the Tornado Warning ended at 18:15Z; the others are still in force.
    const {page, close} = await ready({clock: REFERENCE_TIME + 20 * MINUTE});
    // Zones and counties come in tasks of their own: the map is read once every shape is in.
    const drawn = () => page.locator('path.alert-shape').evaluateAll((paths) =>
      new Set(paths.flatMap((path) => path.dataset.alerts.split(' '))).size);
    await page.locator('.layer[data-layer="alerts"] .count').waitFor();
    for (let wait = 0; wait < 50 && await drawn() < 7; wait++) await page.waitForTimeout(100);
    assert.equal(await drawn(), 7);
    await selectTab(page, 'Alerts');
    assert.equal(await page.locator('.alert-item', {hasText: 'Tornado Warning'}).count(), 0);
    // In Ventura County's own time.
    assert.equal(await page.locator('.expired-note').textContent(),
        'Ended since the last update, so no longer shown: Tornado Warning (Fri Nov 20 10:15 PST).');
    assert.match(await page.getByRole('tab', {name: /Alerts/}).textContent(), /Alerts 7$/);
    await close();
  });
});

describe('old data never passes as new', () => {
  it('marks a 17-day-old document fetched just now, old station reports and stale layers on the map', async () => {
    const init = () => {
      const documents = window.corvaneStubDocuments;
      const days = 17 * 24 * 3600 * 1000;
      const shift = (text) => new Date(Date.parse(text) - days).toISOString();
      documents.alerts.updated = shift(documents.alerts.updated);
      for (const feature of documents.alerts.features) {
        for (const key of ['sent', 'effective', 'onset', 'expires', 'ends']) {
          if (feature.properties[key]) feature.properties[key] = shift(feature.properties[key]);
        }
      }
      for (const record of documents.metarWest) {
        if (record.icaoId !== 'KSLC') record.obsTime -= 3 * 3600;  // three hours old; KSLC current
      }
    };
    const {page, close} = await ready({init});
    await page.locator('.layer[data-layer="alerts"] .stale-badge').waitFor();
    assert.match(await page.locator('.layer[data-layer="alerts"] .stale-reason').textContent(),
        /the data itself is from 17 d ago/);
    assert.equal(await page.locator('path.alert-shape').count(), 0, 'every alert has run out');
    assert.equal(await station(page, 'KSLC').getAttribute('data-old'), null);
    assert.equal(await station(page, 'KLAS').getAttribute('data-old'), 'true');
    assert.match(await station(page, 'KLAS').getAttribute('aria-label'), /an old report/);
    assert.match(await page.locator('.layer[data-layer="metars"] .count').textContent(),
        /with a report over 90 min old/);
    // The map itself says it: the alert pane is dimmed and the reason stands on the map.
    assert.equal(await page.evaluate(() => document.querySelector('.leaflet-alerts-pane')
        .classList.contains('is-stale')), true);
    assert.match(await page.locator('.map-status').textContent(), /Alerts \(dimmed\): the data itself is from 17 d ago/);
    await close();
  });

  it('leaves the hours already past out of a saved point forecast', async () => {
    const first = await ready();
    await search(first.page, '40.76, -111.89', '40.76, -111.89');
    await first.page.locator('.hourly-chart').waitFor();
    const url = first.page.url();
    const page = await first.context.newPage();
    await page.clock.install({time: REFERENCE_TIME + 5 * 60 * MINUTE});  // 23:00Z
    await page.addInitScript({content: 'window.corvaneStubDocuments = {};'});
    await page.addInitScript({content: stubScript()});
    await page.addInitScript(() => (window.corvaneStub.hold = true));
    await page.goto(url);
    await page.getByRole('tab', {name: 'Point'}).click();
    await page.getByRole('button', {name: 'Show as table'}).click();
    const firstHour = await page.locator('.hourly-table tbody th').first().textContent();
    assert.equal(firstHour, 'Fri Nov 20 16:00 MST');
    assert.equal(await page.locator('#panel-point .stale-badge').first().textContent(), 'Saved');
    await first.close();
  });
});

describe('the chosen point and the clicks (point under layers; clutter taking clicks)', () => {
  it('marks the chosen point above every layer', async () => {
    const {page, close} = await ready();
    await page.locator('path.alert-shape[data-zones]').first().waitFor();
    await search(page, '40.76, -111.89', '40.76, -111.89');
    await page.locator('#panel-point .observation').waitFor();
    const marker = page.locator('path.point-marker');
    await settled(marker);
    const at = await centre(marker);
    const box = await marker.boundingBox();
    // The ring's edge, where it meets the base map, the zone-drawn alert and the station layer.
    const hit = await hitAt(page, {x: at.x + box.width / 2 - 1, y: at.y});
    assert.match(hit.className, /point-marker/);
    assert.match((await hitAt(page, at)).className, /point-dot/);
    await close();
  });

  it('keeps the airports clickable beside pilot reports and thins the reports by zoom', async () => {
    const {page, close} = await ready();
    await page.locator('.pirep-symbol').first().waitFor();
    for (const id of ['KSLC', 'KLAS', 'KPHX', 'KSEA', 'KPDX', 'KSFO', 'KLAX']) {
      assert.equal((await hitAt(page, await centre(station(page, id)))).station, id, id);
    }
    const shown = await page.locator('.pirep-symbol').count();
    assert.ok(shown < 20, `${shown} reports drawn at the start zoom`);
    assert.match(await page.locator('.layer[data-layer="pireps"] .count').textContent(),
        new RegExp(`^20 reports, 20 in the altitude range, ${shown} shown at this zoom$`));
    await station(page, 'KSLC').dispatchEvent('click');
    assert.equal(await page.locator('.station-popup').getAttribute('data-station'), 'KSLC');
    await close();
  });
});

describe('a base map to orient by', () => {
  it('names more places as one zooms in and adds county lines and airport identifiers', async () => {
    const {page, close} = await ready();
    await page.locator('.place-label').first().waitFor({state: 'attached'});
    const wide = await page.locator('.place-label').count();
    assert.equal(await page.locator('path.county-line').count(), 0);
    assert.equal(await page.locator('.station-label').count(), 0);
    await search(page, 'Salt Lake City', 'Salt Lake City, UT');
    // From zoom 9 the identifier stands in the station's plot.
    await page.locator('.station-plot .plot-id', {hasText: 'KSLC'}).waitFor();
    const close_ = await page.locator('.place-label').allTextContents();
    assert.ok(close_.length > 3 && close_.includes('Ogden'), `${wide} → ${close_}`);
    assert.ok(await page.locator('path.county-line').count() > 0);
    await close();
  });
});

/**
 * The pairs of things drawn over one another in the map's view where at least one is a label
 * (place name, airport identifier, hazard label) rather than a weather mark.
 */
function overprinted(page) {
  return page.evaluate(() => {
    const view = document.querySelector('#map').getBoundingClientRect();
    const kinds = [['.place-label > span', true], ['.station-label', true], ['.hazard-label', true],
      ['.pirep-icon', false], ['path.station-marker', false], ['path.point-marker', false]];
    const boxes = [];
    for (const [selector, label] of kinds) {
      for (const element of document.querySelectorAll(selector)) {
        const box = element.getBoundingClientRect();
        if (getComputedStyle(element).visibility === 'hidden' || !box.width || box.right <= view.left ||
            box.left >= view.right || box.bottom <= view.top || box.top >= view.bottom) continue;
        boxes.push({label, name: `${selector} ${element.textContent || element.dataset.station || ''}`, box});
      }
    }
    const pairs = [];
    for (let i = 0; i < boxes.length; i++) {
      for (let j = i + 1; j < boxes.length; j++) {
        const [a, b] = [boxes[i], boxes[j]];
        if ((a.label || b.label) && a.box.left < b.box.right - 1 && b.box.left < a.box.right - 1 &&
            a.box.top < b.box.bottom - 1 && b.box.top < a.box.bottom - 1) pairs.push(`${a.name} / ${b.name}`);
      }
    }
    return pairs;
  });
}

describe('a map read at a glance (one palette, two meanings; labels overprinted)', () => {
  it('gives alerts and hazards styles of their own, the legend\'s exactly, and a calm alert fill', async () => {
    const {page, close} = await ready();
    await page.locator('path.hazard').first().waitFor();
    await page.locator('path.alert-shape').first().waitFor();
    // Each swatch of the two legends and each shape drawn, with its computed style.
    const {legend, drawn} = await page.evaluate(() => {
      const styleOf = (path) => {
        const style = getComputedStyle(path);
        return [style.stroke, style.strokeDasharray, style.strokeWidth, style.fill, style.fillOpacity].join(' | ');
      };
      const items = document.querySelectorAll('.layer[data-layer="alerts"] .legend li, .layer[data-layer="hazards"] .legend li');
      return {
        legend: [...items].filter((li) => li.querySelector('svg rect')).map((li) => ({family: li.closest('.layer').dataset.layer,
          text: li.textContent, className: li.querySelector('svg rect').getAttribute('class'),
          style: styleOf(li.querySelector('svg rect'))})),
        drawn: [...document.querySelectorAll('#map path.hazard, #map path.alert-shape')].map((path) =>
          [path.getAttribute('class'), styleOf(path)]),
      };
    });
    assert.equal(legend.length, 12, JSON.stringify(legend.map((entry) => entry.text)));  // 5 severities, 1 area kind, 6 hazards
    const seen = new Map();
    for (const {text, style} of legend) {
      assert.ok(!seen.has(style), `"${text}" is drawn like "${seen.get(style)}": ${style}`);
      seen.set(style, text);
    }
    const part = (entry, index) => entry.style.split(' | ')[index];
    const alertColours = new Set(legend.filter((e) => e.family === 'alerts').flatMap((e) => [part(e, 0), part(e, 3)]));
    for (const entry of legend) {
      if (entry.family === 'alerts') {
        assert.notEqual(part(entry, 3), 'none', `${entry.text} is filled`);
        assert.ok(Number(part(entry, 4)) <= 0.15, `${entry.text}: fill opacity ${part(entry, 4)}`);
      } else {
        assert.ok(!alertColours.has(part(entry, 0)), `${entry.text} has an alert's colour ${part(entry, 0)}`);
        assert.match(part(entry, 3), /^(none|url\(.*\))$/, `${entry.text} is outlined or hatched`);
      }
    }
    // What the map draws is what the legend shows.
    const byClass = new Map(legend.map((entry) => [entry.className, entry.style]));
    const matched = drawn.filter(([className]) => byClass.has(className));
    for (const [className, style] of matched) assert.equal(style, byClass.get(className), className);
    assert.deepEqual([...new Set(matched.map(([className]) => className.split(' ')[0]))].sort(), ['alert-shape', 'hazard']);
    assert.ok(matched.length >= 10, `${matched.length} of ${drawn.length} shapes have their own legend entry`);
    await close();
  });

  it('paints hundreds of hazard areas on a canvas in the legend\'s colours', async () => {
    const {page, close} = await ready({init: () => {
      const documents = window.corvaneStubDocuments;
      for (const name of ['sigmets', 'gairmets', 'cwas']) documents[name] = Array(25).fill(documents[name]).flat();
    }});
    await page.locator('.hazards-pane canvas').waitFor();
    await page.waitForTimeout(500);  // drawn a slice at a time
    const {legend, painted} = await page.evaluate(() => {
      const canvas = document.querySelector('.hazards-pane canvas');
      const {data} = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
      const painted = new Set();
      for (let i = 0; i < data.length; i += 4) {
        if (data[i + 3] === 255) painted.add(`rgb(${data[i]}, ${data[i + 1]}, ${data[i + 2]})`);
      }
      return {painted: [...painted], legend: [...document.querySelectorAll('.layer[data-layer="hazards"] .legend rect')]
          .map((rect) => getComputedStyle(rect).stroke)};
    });
    assert.equal(await page.locator('path.hazard').count(), 0);
    assert.deepEqual([...new Set(legend)].filter((colour) => !painted.includes(colour)), [], JSON.stringify(painted.slice(0, 20)));
    await close();
  });

  for (const [width, height] of [[1460, 960], [920, 650]]) {
    it(`lets names give way to weather marks at the start view and at zoom 6–7 (${width}×${height})`, async () => {
      const {page, close} = await ready({viewport: {width, height}});
      await page.locator('.place-label').first().waitFor({state: 'attached'});
      await page.locator('.pirep-symbol').first().waitFor();
      await page.locator('path.hazard').first().waitFor();
      assert.deepEqual(await overprinted(page), []);
      const named = await page.locator('.place-label > span:not(.label-yielded)').allTextContents();
      for (const city of ['Seattle', 'Portland', 'Boise', 'Phoenix']) assert.ok(named.includes(city), `${city}: ${named}`);
      for (let i = 0; i < 2; i++) {
        await page.locator('.leaflet-control-zoom-in').click();
        await page.waitForTimeout(600);
      }
      await page.locator('.hazard-label').first().waitFor();
      assert.deepEqual(await overprinted(page), []);
      const hazards = await page.locator('.hazard-label:not(.label-yielded)').allTextContents();
      assert.ok(hazards.includes('TURB FL200–350'), JSON.stringify(hazards));
      await saveScreenshot(page, `labels-zoomed-${width}x${height}`);
      await close();
    });
  }
});

describe('a readable forecast chart', () => {
  it('fills the panel with 12 px labels, dated days, night, a now line and two axes, and keeps the table', async () => {
    const {page, close} = await ready();
    await search(page, '40.76, -111.89', '40.76, -111.89');
    const chart = page.locator('svg.hourly-chart');
    await chart.waitFor();
    const panel = await page.locator('#panel-point').evaluate((p) => p.clientWidth - 24);
    const width = (await chart.boundingBox()).width;
    assert.ok(width >= panel - 1, `${width} px in a ${panel} px panel`);
    const sizes = await chart.locator('text').evaluateAll((texts) =>
      texts.map((t) => parseFloat(getComputedStyle(t).fontSize) * t.getScreenCTM().a));
    assert.ok(Math.min(...sizes) >= 12, String(sizes));
    assert.deepEqual(await chart.locator('.chart-date').allTextContents(), ['Fri Nov 20', 'Sat Nov 21', 'Sun Nov 22']);
    assert.ok(await chart.locator('.chart-night').count() >= 2);
    assert.equal(await chart.locator('.chart-now-label').textContent(), 'Now');
    assert.deepEqual(await chart.locator('.chart-pop-label').allTextContents(), ['0%', '50%', '100%']);
    const ticks = await chart.locator('.chart-label:not(.chart-date):not(.chart-pop-label):not(.chart-title):not(.chart-now-label)')
        .allTextContents();
    assert.ok(ticks.filter((t) => /^\d+$/.test(t)).length >= 8, String(ticks));
    await page.getByRole('button', {name: 'Show as table'}).click();
    // 11:00 MST: the forecast's first hour (10:00) is over and left out.
    assert.equal(await page.locator('.hourly-table tbody tr').count(), 47);
    assert.equal(await page.locator('.hourly-table tbody th').first().textContent(), 'Fri Nov 20 11:00 MST');
    await close();
  });
});

describe('search', () => {
  it('finds towns, coordinates in the written forms and any station, and keeps focus in the field', async () => {
    const {page, close} = await ready();
    const input = page.locator('#search-input');
    await search(page, 'Moab', 'Moab, UT');
    const request = (await waitForRequest(page, (r) => r.operation === 'point')).find((r) => r.operation === 'point');
    const [lat, lon] = request.argument.split(',').map(Number);
    assert.ok(Math.abs(lat - 38.57) < 0.05 && Math.abs(lon + 109.55) < 0.05, request.argument);
    assert.equal(await page.evaluate(() => document.activeElement.id), 'search-input');
    await input.fill('40°45′36″N 111°53′24″W');
    assert.equal(await page.locator('#search-list').getByRole('option').first().textContent(), '40.76, -111.89Coordinates: the forecast there');
    // Every airport of the area, by name, also those without a current report.
    // The park named first, the airport beside it.
    await input.fill('Bryce');
    await page.getByRole('option', {name: /^Bryce Canyon National Park/}).waitFor();
    const options = await page.locator('#search-list').getByRole('option').allTextContents();
    assert.match(options[0], /^Bryce Canyon National Park, UTNational Park$/);
    assert.ok(options.some((option) => /^KBCE/.test(option)), JSON.stringify(options));
    await input.fill('kgcn');
    await input.press('Enter');
    await page.locator('.station-popup[data-station="KGCN"]').waitFor();
    await input.fill('Nowhere at all');
    assert.equal(await page.locator('#search-message').textContent(),
        'No place, station or coordinates match "Nowhere at all".');
    await close();
  });
});

describe('pilot reports', () => {
  it('explains its symbols with the same glyphs, and filters by an altitude range whose counts follow', async () => {
    const {page, close} = await ready();
    await page.locator('.pirep-symbol').first().waitFor();
    const glyphs = (selector) => page.locator(selector).evaluateAll((paths) => paths.map((p) => p.getAttribute('d')));
    const legend = new Set(await glyphs('.layer[data-layer="pireps"] .legend path.glyph'));
    for (const d of await glyphs('.pirep-symbol path.glyph')) assert.ok(legend.has(d), d);
    assert.match(await page.locator('.layer[data-layer="pireps"] .note').textContent(),
        /altitude in hundreds of feet: 080 is 8,000 ft, 240 is 24,000 ft \(FL240\).*paler after 30 minutes/);
    await page.locator('#pirep-altitude-from').selectOption('24000');
    assert.deepEqual((await page.locator('.pirep-level').allTextContents()).sort(), ['240', '370', '390']);
    assert.match(await page.locator('.layer[data-layer="pireps"] .count').textContent(), /^20 reports, 3 in the altitude range/);
    await page.locator('#pirep-altitude-from').selectOption('0');
    await page.locator('#pirep-altitude-to').selectOption('10000');
    assert.match(await page.locator('.layer[data-layer="pireps"] .count').textContent(), /^20 reports, 12 in the altitude range/);
    await close();
  });

  it('opens a report from the keyboard and names its level as shown', async () => {
    const {page, close} = await ready();
    await selectTab(page, 'Stations');
    const entry = page.locator('.view-list button', {hasText: 'Urgent pilot report'}).first();
    await entry.focus();
    await page.keyboard.press('Enter');
    await page.locator('.pirep-popup').waitFor();
    assert.equal(await page.locator('.pirep-popup .popup-title').textContent(), 'Urgent pilot report');
    const labels = await page.locator('.pirep-icon').evaluateAll((icons) => icons.map((icon) =>
      [icon.querySelector('.pirep-level').textContent, icon.getAttribute('aria-label')]));
    for (const [level, label] of labels) assert.ok(label.includes(level), `${level}: ${label}`);
    await close();
  });
});

describe('stations', () => {
  it('tells the flight category by colour and shape, and decodes the report in the popup', async () => {
    const {page, close} = await ready();
    assert.ok(await page.locator('path.station-marker').count() >= 55);
    const shapes = {};
    for (const [id, category] of [['KSLC', 'VFR'], ['KPDX', 'MVFR'], ['KSEA', 'IFR'], ['KOLM', 'LIFR']]) {
      assert.equal(await fill(page, id), COLOURS[category]);
      shapes[category] = (await station(page, id).getAttribute('d')).replace(/[\d.\s-]/g, '');
    }
    assert.equal(new Set(Object.values(shapes)).size, 4, JSON.stringify(shapes));
    assert.equal(await fill(page, 'KSUN'), COLOURS.MVFR);  // derived from 3SM OVC015
    await station(page, 'KSLC').dispatchEvent('click');
    const rows = await rowsOf(page, '.station-popup .facts');
    assert.equal(rows.Wind, '180° at 22 kt, gusts 34 kt');
    assert.equal(rows.Visibility, '10+ SM');
    assert.equal(rows.Clouds, 'few 5,000 ft, broken 9,000 ft, overcast 14,000 ft');
    assert.equal(rows['Temperature / dew point'], '55 °F / 38 °F');
    assert.equal(rows.Altimeter, '29.81 inHg');
    assert.equal(rows.Observed, '10:54 MST (6 min ago)');
    assert.match(await page.locator('.station-popup .raw').first().textContent(), /^METAR KSLC 201754Z 18022G34KT/);
    await close();
  });

  // With the computer on Pacific time the page used to say PST for Salt Lake City, while the
  // service's own texts there speak Mountain time.
  it('shows each place\'s own time, whatever the computer\'s zone, and Local + UTC for pilots', async () => {
    const {page, close} = await ready({timezoneId: 'America/Los_Angeles'});
    await page.waitForFunction(() => window.corvaneStub.requests.some((r) => r.operation === 'tafs'));
    const popupTimes = async (id) => {
      await station(page, id).dispatchEvent('click');
      await page.locator(`.station-popup[data-station="${id}"] .taf-period`).first().waitFor();
      return [(await rowsOf(page, `.station-popup[data-station="${id}"] .facts`)).Observed,
        await page.locator(`.station-popup[data-station="${id}"] .taf-when`).first().textContent()];
    };
    assert.deepEqual(await popupTimes('KSLC'), ['10:54 MST (6 min ago)', ' From Fri Nov 20 11:00 MST to 17:00 MST: ']);
    assert.deepEqual(await popupTimes('KPHX'), ['10:51 MST (9 min ago)', ' From Fri Nov 20 11:00 MST to 20:00 MST: ']);
    assert.equal((await popupTimes('KSEA'))[0], '09:53 PST (7 min ago)');
    await search(page, '40.76, -111.89', '40.76, -111.89');
    await page.locator('#panel-point .observation').waitFor();
    await page.getByRole('button', {name: 'Show as table'}).click();
    assert.equal(await page.locator('.hourly-table tbody th').first().textContent(), 'Fri Nov 20 11:00 MST');
    assert.match((await rowsOf(page, '#panel-point .observation')).Observed, /^10:54 MST /);
    await selectTab(page, 'Units');
    await page.getByRole('radio', {name: 'Local + UTC', exact: true}).check();
    assert.deepEqual(await popupTimes('KSLC'), ['10:54 MST (17:54Z) (6 min ago)',
      ' From Fri Nov 20 11:00 MST (18:00Z) to 17:00 MST (Sat 00:00Z): ']);
    await selectTab(page, 'Point');
    assert.equal(await page.locator('.hourly-table tbody th').first().textContent(), 'Fri Nov 20 11:00 MST (18:00Z)');
    await close();
  });

  it('remembers favourites and units across a restart, and shows every time in the zone chosen', async () => {
    const {page, close} = await ready();
    await station(page, 'KSLC').dispatchEvent('click');
    await page.locator('.station-popup .favourite-toggle').click();
    await selectTab(page, 'Units');
    const radio = (name) => page.getByRole('radio', {name, exact: true});
    await radio('°C').check();
    await radio('km/h').check();
    await radio('hPa').check();
    await radio('km').check();
    await radio('UTC (Z)').check();
    await station(page, 'KSLC').dispatchEvent('click');
    const rows = await rowsOf(page, '.station-popup .facts');
    assert.equal(rows['Temperature / dew point'], '12.8 °C / 3.3 °C');
    assert.equal(rows.Wind, '180° at 41 km/h, gusts 63 km/h');
    assert.equal(rows.Altimeter, '1009.5 hPa');
    assert.equal(rows.Visibility, '16+ km');
    assert.equal(rows.Observed, '17:54Z (6 min ago)');
    await page.reload();
    await page.locator('path.station-marker').first().waitFor();
    await selectTab(page, 'Stations');
    assert.match(await page.locator('.favourite-list li').first().textContent(), /KSLC VFR · 12.8 °C/);
    await selectTab(page, 'Units');
    assert.equal(await radio('UTC (Z)').isChecked(), true);
    await close();
  });
});

describe('keyboard and screen readers', () => {
  it('reaches the controls first, picks a map point with the crosshair, and closes a popup focus left', async () => {
    const {page, close} = await ready();
    const stops = [];
    for (let i = 0; i < 9; i++) {
      await page.keyboard.press('Tab');
      stops.push(await page.evaluate(() => document.activeElement.id || document.activeElement.className));
    }
    assert.deepEqual(stops.slice(0, 5), ['search-input', '', 'refresh-all', 'about-open', 'tab-layers']);
    assert.equal(await page.locator('[tabindex="0"].station-marker, .pirep-icon[tabindex="0"]').count(), 0);
    // The map: arrows move it under the crosshair, Enter chooses the spot.
    await page.locator('#map').focus();
    await page.keyboard.press('ArrowLeft');
    assert.equal(await page.locator('.crosshair.shown').count(), 1);
    await page.keyboard.press('Enter');
    await page.locator('#panel-point .observation').waitFor();
    const argument = (await stubRequests(page)).find((r) => r.operation === 'point').argument;
    assert.match(argument, /^\d+(\.\d+)?,-\d+(\.\d+)?$/);
    // A station from the list; its popup closes when focus moves on to the tabs.
    await selectTab(page, 'Stations');
    await page.locator('.view-list button[data-station="KSLC"]').first().press('Enter');
    await page.locator('.station-popup').waitFor();
    await page.getByRole('tab', {name: 'Units'}).focus();
    await page.locator('.station-popup').waitFor({state: 'detached'});
    await close();
  });

  it('has no serious or critical axe violation in the main states', async () => {
    const {page, close} = await ready();
    await page.locator('.place-label').first().waitFor({state: 'attached'});
    const states = {start: await accessibilityViolations(page)};
    // Switched off and on, the METAR layer's marks keep their role, label and data.
    const marks = () => page.locator('path.station-marker').evaluateAll((paths) => [paths.length,
      paths.filter((path) => path.getAttribute('role') === 'button' && path.getAttribute('aria-label') &&
        path.dataset.station).length]);
    const [drawn] = await marks();
    assert.ok(drawn >= 55, String(drawn));
    await page.locator('#layer-metars').uncheck();
    assert.deepEqual(await marks(), [0, 0]);
    await page.locator('#layer-metars').check();
    assert.deepEqual(await marks(), [drawn, drawn]);
    states.metarsAgain = await accessibilityViolations(page);
    await search(page, '40.76, -111.89', '40.76, -111.89');
    await page.locator('#panel-point .observation').waitFor();
    states.point = await accessibilityViolations(page);
    await selectTab(page, 'Alerts');
    await page.locator('#panel-alerts .alert-item').first().click();
    states.alert = await accessibilityViolations(page);
    await station(page, 'KSLC').dispatchEvent('click');
    await page.locator('.station-popup .taf-period').first().waitFor();
    // Colours are judged once the popup has faded in fully.
    await page.waitForFunction(() => getComputedStyle(document.querySelector('.leaflet-popup')).opacity === '1');
    states.popup = await accessibilityViolations(page);
    assert.equal(await page.getByRole('button', {name: 'Close KSLC details', exact: true}).count(), 1);
    for (const tab of ['Stations', 'Units']) {
      await selectTab(page, tab);
      states[tab] = await accessibilityViolations(page);
    }
    await page.locator('#search-input').fill('Salt');
    states.search = await accessibilityViolations(page);
    assert.deepEqual(states, {start: [], metarsAgain: [], point: [], alert: [], popup: [], Stations: [], Units: [],
      search: []});
    await close();
  });
});

describe('TAFs, hazards, the 12-hour forecast and the discussion', () => {
  it('shows the TAF in a station popup with each period\'s flight category and the raw text', async () => {
    const {page, close} = await ready();
    await waitForRequest(page, (r) => r.operation === 'tafs' && r.argument === '');
    await page.waitForFunction(() => window.corvaneStub.requests.some((r) => r.operation === 'tafs'));
    await page.waitForTimeout(200);
    await station(page, 'KSLC').dispatchEvent('click');
    const taf = page.locator('.station-popup .taf');
    await taf.locator('.taf-period').first().waitFor();
    const periods = await taf.locator('.taf-period').evaluateAll((items) => items.map((item) =>
      [item.querySelector('.badge').textContent, item.querySelector('.taf-when').textContent.trim()]));
    assert.deepEqual(periods[0], ['VFR', 'From Fri Nov 20 11:00 MST to 17:00 MST:']);
    assert.ok(periods.some(([category, when]) => category === 'MVFR' && when.startsWith('Temporarily')), JSON.stringify(periods));
    assert.ok(periods.some(([category]) => category === 'LIFR'), JSON.stringify(periods));
    assert.match(await taf.locator('.raw').textContent(), /^TAF KSLC 201720Z 2018\/2124/);
    await close();
  });

  // A popup opened before the TAF reply used to say "Loading the TAFs…" until it was reopened.
  it('fills an open station popup\'s TAF when the reply or the failure lands, where the popup stands', async () => {
    for (const [failure, expected] of [[null, /^TAF KSLC 201720Z/],
      [{status: 502, body: {error: 'Weather download failed (HTTP 503)'}}, /^The TAFs could not be loaded: Weather download failed/]]) {
      const {page, close} = await ready({init: () => {
        window.corvaneStub.handlers.tafs = (argument, {id}) => void (window.heldTafs = {id, argument});
      }});
      await page.waitForFunction(() => window.heldTafs);
      await station(page, 'KSLC').dispatchEvent('click');
      const taf = page.locator('.station-popup .taf');
      assert.equal(await taf.locator('.note').textContent(), 'Loading the TAFs…');
      // The tip's place against the station, and whether the popup's top lies inside the map.
      const place = () => page.evaluate(() => [...['.leaflet-popup-tip', '.leaflet-popup-content-wrapper']
        .map((selector) => document.querySelector(selector).getBoundingClientRect()),
      document.querySelector('path.station-marker[data-station="KSLC"]').getBoundingClientRect(),
      document.querySelector('#map').getBoundingClientRect()]).then(([tip, box, mark, map]) => [Math.round(tip.y - mark.y), box.top >= map.top]);
      await page.waitForFunction(() => document.querySelector('.leaflet-popup-content-wrapper').getBoundingClientRect().top >=
        document.querySelector('#map').getBoundingClientRect().top);  // the opening pan is over
      const before = await place();
      await page.evaluate((reply) => window.corvaneStub.deliver({id: window.heldTafs.id,
        ...(reply || window.corvaneStub.defaults.tafs(window.heldTafs.argument))}), failure);
      await taf.locator(failure ? '.layer-error' : '.raw').waitFor();
      assert.match(await taf.locator(failure ? '.layer-error' : '.raw').textContent(), expected);
      assert.deepEqual(await place(), before);
      await close();
    }
  });

  it('starts on the G-AIRMET snapshot valid now, moves on by itself, and filters by altitude', async () => {
    const {page, close} = await ready({clock: REFERENCE_TIME + 10 * MINUTE});  // 18:10Z
    await page.locator('path.hazard').first().waitFor();
    const snapshot = () => page.locator('#hazard-snapshot option:checked').textContent();
    const gairmets = () => page.locator('path.hazard[data-hazard="gairmet"]').evaluateAll((paths) =>
      paths.map((path) => path.dataset.title).sort());
    const count = () => page.locator('.layer[data-layer="hazards"] .count').textContent();
    assert.equal(await snapshot(), 'Valid 18Z · 11:00 MST (now)');
    assert.deepEqual(await page.locator('#hazard-snapshot option').allTextContents(), ['Valid 15Z · 08:00 MST (past)',
      'Valid 18Z · 11:00 MST (now)', 'Valid 21Z · 14:00 MST', 'Valid 00Z · 17:00 MST', 'Valid 03Z · 20:00 MST']);
    assert.deepEqual(await gairmets(), ['G-AIRMET Sierra 3W', 'G-AIRMET Tango 8W', 'G-AIRMET Zulu 13W']);
    assert.match(await count(), /^6 SIGMETs, 13 G-AIRMETs \(all snapshots\), 5 CWAs; 14 shown for this snapshot and range$/);
    assert.match(await page.locator('.layer[data-layer="hazards"] .layer-status').textContent(),
        /1 area lies wholly outside the western states and is not shown\./);
    // Another snapshot stays chosen while this one is valid; the altitude range counts along.
    await page.locator('#hazard-snapshot').selectOption({label: 'Valid 03Z · 20:00 MST'});
    assert.deepEqual(await gairmets(), ['G-AIRMET Tango 9W']);
    await page.locator('#hazard-altitude-from').selectOption('36000');
    const high = await page.locator('path.hazard').count();
    assert.ok(high > 0 && high < 14, `${high} above FL360`);
    assert.match(await count(), new RegExp(`; ${high} shown for this snapshot and range$`));
    await page.locator('#hazard-altitude-from').selectOption('0');
    // 19:31Z: the 21Z snapshot's window has begun, and the map moves on to it by itself.
    await page.clock.fastForward(81 * MINUTE);
    await page.waitForFunction(() => document.querySelector('#hazard-snapshot option:checked')?.textContent ===
        'Valid 21Z · 14:00 MST (now)');
    assert.deepEqual(await gairmets(), ['G-AIRMET Zulu 11W']);
    await close();
  });

  it('takes SIGMETs and CWAs off the map at their end, with the alerts\' note, and details each hazard', async () => {
    const {page, close} = await ready({clock: REFERENCE_TIME + 120 * MINUTE});  // 20:00Z
    await page.locator('path.hazard').first().waitFor();
    const kinds = await page.locator('path.hazard').evaluateAll((paths) => [...new Set(paths.map((p) => p.dataset.hazard))].sort());
    assert.deepEqual(kinds, ['gairmet', 'sigmet']);
    assert.equal(await page.locator('.layer[data-layer="hazards"] .layer-note', {hasText: 'Ended'}).textContent(),
        'Ended since the last update, so no longer shown: Convective SIGMET 12W (Fri Nov 20 12:55 MST); ' +
        'Convective SIGMET 13W (Fri Nov 20 12:55 MST); Convective SIGMET 14W (Fri Nov 20 12:55 MST); ' +
        'CWA ZLC 101 (Fri Nov 20 12:45 MST); CWA ZSE 201 (Fri Nov 20 12:30 MST); CWA ZOA 301 (Fri Nov 20 12:00 MST); ' +
        'CWA ZLA 102 (Fri Nov 20 12:50 MST); CWA ZAB 101 (Fri Nov 20 12:40 MST).');
    assert.match(await page.locator('.layer[data-layer="hazards"] .count').textContent(), /^3 SIGMETs, 13 G-AIRMETs \(all snapshots\), 0 CWAs/);
    await search(page, '40.76, -111.89', '40.76, -111.89');
    const here = page.locator('#panel-point .hazards-here');
    await here.waitFor();
    const summaries = await here.locator('summary').allTextContents();
    assert.ok(summaries.includes('SIGMET NOVEMBER 2 · Turbulence (occasionally severe) · FL200 to FL350 · until 14:40 MST'),
        JSON.stringify(summaries));
    assert.ok(summaries.every((text) => !text.startsWith('CWA')), 'the Salt Lake City CWA has ended');
    const sigmet = here.locator('li', {hasText: 'SIGMET NOVEMBER 2'});
    await sigmet.locator('summary').click();
    assert.deepEqual(await rowsOf(page, '#panel-point .hazards-here li.sigmet .facts'), {
      What: 'Turbulence (occasionally severe)', Heights: 'FL200 to FL350',
      Valid: 'Fri Nov 20 10:40 MST to 14:40 MST', Source: 'SIGMET (KKCI), issued Fri Nov 20 10:40 MST'});
    assert.match(await sigmet.locator('.raw').textContent(), /^WSUS05 KKCI 201740/);
    // A G-AIRMET names its snapshot and what it is due to, and has no empty text box.
    const gairmet = here.locator('li.gairmet').first();
    await gairmet.locator('summary').click();
    const rows = await gairmet.locator('.facts').evaluate((list) => Object.fromEntries([...list.querySelectorAll('dt')]
        .map((dt) => [dt.textContent, dt.nextElementSibling.textContent])));
    assert.match(rows.Snapshot, /^pictures Fri Nov 20 14:00 MST, 6 h after issue$/);
    assert.match(rows.Source, /^G-AIRMET \w+ \(.+\), issued Fri Nov 20 07:45 MST$/);
    assert.equal(await gairmet.locator('.raw').count(), 0);
    await close();
  });

  it('says what it leaves out, and draws an area across the antimeridian where it lies', async () => {
    const {page, close} = await ready({init: HOSTILE_HAZARDS});
    const status = page.locator('.layer[data-layer="hazards"] .layer-status');
    await status.locator('.count').waitFor();
    assert.match(await status.locator('.count').textContent(), /^3 SIGMETs, 13 G-AIRMETs \(all snapshots\), 2,000 CWAs;/);
    assert.deepEqual(await status.locator('.layer-note').allTextContents(), [
      'Showing 2,000 of 2,001 CWAs: the most the map reads from one reply.',
      '5 areas could not be drawn (no usable shape or time).',
      '1 area lies wholly outside the western states and is not shown.']);
    // Thousands of areas go on a canvas; once the CWAs end (20:00Z) the few left are paths again.
    await page.locator('.hazards-pane canvas').waitFor();
    assert.equal(await page.locator('path.hazard').count(), 0);
    await page.clock.fastForward(120 * MINUTE);
    await page.waitForFunction(() => {
      const shown = /([\d,]+) shown/.exec(document.querySelector('.layer[data-layer="hazards"] .count').textContent);
      return Number(shown[1]) < 300 && document.querySelectorAll('path.hazard').length === Number(shown[1]);
    });
    assert.equal(await page.locator('.hazards-pane canvas').evaluate((canvas) =>
      canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data.some((value) => value)), false);
    // No band across the whole map, and nothing of it at Salt Lake City.
    const mapWidth = (await page.locator('#map').boundingBox()).width;
    const widest = await page.locator('path.hazard').evaluateAll((paths) => Math.max(...paths.map((p) => p.getBoundingClientRect().width)));
    assert.ok(widest < mapWidth * 0.6, `${widest} px of a ${mapWidth} px map`);
    await search(page, '40.76, -111.89', '40.76, -111.89');
    await page.locator('#panel-point .hazards-here').waitFor();
    const titles = await page.locator('#panel-point .hazard-title').allTextContents();
    assert.ok(titles.includes('SIGMET NOVEMBER 2') && !titles.includes('SIGMET ROMEO 9'), JSON.stringify(titles));
    await close();
  });

  it('puts the 12-hour periods above the chart and opens the office\'s discussion', async () => {
    const {page, close} = await ready();
    await search(page, '40.76, -111.89', '40.76, -111.89');
    await page.locator('.period').first().waitFor();
    assert.deepEqual((await stubRequests(page)).filter((r) => ['forecast', 'discussion'].includes(r.operation))
        .map((r) => [r.operation, r.argument]), [['forecast', 'SLC/101,174']]);
    const order = await page.locator('#panel-point').evaluate((panel) =>
      [...panel.querySelectorAll('.periods, .hourly')].map((section) => section.className));
    assert.deepEqual(order, ['periods', 'hourly']);
    assert.equal(await page.locator('.period strong').first().textContent(), 'This Afternoon');
    assert.match(await page.locator('.period').first().textContent(), /High \d+ °F/);
    await page.getByRole('button', {name: 'Forecast discussion'}).click();
    await page.locator('.discussion h4').first().waitFor();
    // The panel drawn anew with the discussion keeps focus on the button that asked for it.
    assert.deepEqual(await page.evaluate(() => [document.activeElement.textContent,
      document.activeElement.getAttribute('aria-expanded')]), ['Forecast discussion', 'true']);
    assert.deepEqual((await page.locator('.discussion h4').allTextContents()).slice(0, 2), ['SYNOPSIS', 'DISCUSSION']);
    assert.deepEqual((await stubRequests(page)).filter((r) => r.operation === 'discussion').map((r) => r.argument), ['SLC']);
    await close();
  });
});

// The aviation service allows about 100 requests a minute per address and blocks clients that
// poll harder; panning used to send a METAR box at every crossing of a quarter degree (39–40 a
// minute with the mouse, about 130 with the arrow keys, 56 with the wheel).
// The view travels west from Salt Lake City, then south: always into new country, the worst
// case for the budget, since a tile asked once is fresh for five minutes.
const heading = (cycle, limit) => (cycle < limit ? {dx: -1, dy: 0} : {dx: 0, dy: 1});
const MODES = {
  // A drag of 200 px, 40 ms a step.
  async mouse(page, at, cycle) {
    const {dx, dy} = heading(cycle, 22);
    await page.mouse.move(at.x, at.y);
    await page.mouse.down();
    for (let step = 1; step <= 5; step++) {
      await page.mouse.move(at.x - 40 * step * dx, at.y - 40 * step * dy);  // drag the map the other way
      await page.clock.runFor(40);
    }
    await page.mouse.up();
  },
  // Five presses of an arrow key 100 ms apart, each a pan of Leaflet's 80 px.
  async keys(page, at, cycle) {
    const key = heading(cycle, 11).dx ? 'ArrowLeft' : 'ArrowDown';
    for (let press = 0; press < 5; press++) {
      await page.keyboard.press(key);
      await page.clock.runFor(100);
    }
  },
  // The wheel in at a spot ahead of the view, then out at a spot behind it: the view wanders on.
  async wheel(page, at, cycle) {
    const {dx, dy} = heading(cycle, 16);
    const side = cycle % 2 ? -1 : 1;  // in ahead, out behind
    await page.mouse.move(at.x + 250 * dx * side, at.y + 180 * dy * side);
    await page.mouse.wheel(0, cycle % 2 ? 100 : -100);
    await page.clock.runFor(400);
  },
};

// One group for each way of moving, so that the shards share the minutes of panning. The keys
// and the wheel move faster than the ceiling allows at one of the zooms and must be held back;
// a drag asks no more than the ceiling.
const HELD_BACK = {mouse: false, keys: true, wheel: true};
for (const [mode, move] of Object.entries(MODES)) describe(`request budget while panning with the ${mode}`, () => {
  it('asks the aviation service at most 10 times a minute, and says what waits', async (t) => {
    const rates = {};
    let waited = false;
    // At zoom 9 (a valley and its ranges) and zoom 8, where the same moves travel twice as far.
    for (const zoom of [9, 8]) {
      const {page, close} = await ready({paused: true, init: () => {
        // Each message with the page's own (Playwright's) time, to count per minute.
        const post = window.chrome.webview.postMessage.bind(window.chrome.webview);
        window.sent = [];
        window.chrome.webview.postMessage = (message) => {
          window.sent.push({time: Date.now(), operation: message.operation, argument: message.argument});
          post(message);
        };
      }});
      await page.clock.runFor(100);  // the place names come after the first drawing
      await page.locator('.place-label').first().waitFor();
      await search(page, 'Salt Lake City', 'Salt Lake City, UT');
      await page.clock.runFor(2000);  // the flight there, and its first rest
      const map = await page.locator('#map').boundingBox();
      const at = {x: map.x + map.width / 2, y: map.y + map.height / 2};
      await page.locator('#map').focus();
      if (zoom === 8) {
        await page.keyboard.press('Minus');
        await page.clock.runFor(2000);
      }
      const start = await page.evaluate(() => Date.now());
      let sawWaiting = false;
      for (let cycle = 0; (await page.evaluate(() => Date.now())) - start < 60000; cycle++) {
        await move(page, at, cycle);
        await page.clock.runFor(1300);  // rests just long enough to ask
        sawWaiting ||= (await page.locator('.map-waiting').count()) > 0;
      }
      const end = await page.evaluate(() => Date.now());
      const boxes = (await page.evaluate(() => window.sent)).filter((m) =>
        m.operation === 'metars' && m.argument !== '' && m.time >= 0);
      const inRun = boxes.filter((m) => m.time >= start && m.time < end);
      // The most in any minute, by a sliding window from each request.
      const most = Math.max(0, ...boxes.map((m) => boxes.filter((o) => o.time >= m.time && o.time < m.time + 60000).length));
      const key = `${mode} at zoom ${zoom}`;
      rates[key] = {perMinute: Math.round((inRun.length * 60000) / (end - start)), mostInAnyMinute: most};
      assert.ok(most <= 10, `${key}: ${most} METAR boxes in one minute`);
      assert.ok(inRun.length >= 5, `${key}: the view was asked for (${inRun.length})`);
      // Moving faster than the ceiling allows, the reader is told what waits.
      if (inRun.length >= 10) assert.ok(sawWaiting, `${key}: "Waiting to ask for this area" shown`);
      waited ||= sawWaiting;
      for (const {argument} of boxes) {
        const [south, west, north, east] = argument.split(',').map(Number);
        assert.ok((south - 31) % 2 === 0 && (west + 125) % 2 === 0 && north - south <= 8 && east - west <= 8, argument);
      }
      await close();
    }
    t.diagnostic(`METAR box requests while panning for a minute: ${JSON.stringify(rates)}`);
    assert.equal(waited, HELD_BACK[mode], `panning with the ${mode}: "Waiting to ask for this area" shown`);
  });
});

describe('screenshots', () => {
  // Every state a reader meets, at the largest and the smallest window, for a person to look at.
  for (const [width, height] of [[1460, 960], [920, 650]]) {
    it(`saves each state at ${width}×${height}`, async () => {
      const size = `${width}x${height}`;
      const shot = (page, name) => saveScreenshot(page, `${name}-${size}`);
      const viewport = {width, height};
      let session = await ready({viewport});
      const {page} = session;
      await page.locator('.place-label').first().waitFor({state: 'attached'});
      await page.locator('path.hazard').first().waitFor();
      await shot(page, 'start');
      await scrollIntoView(page.locator('.layer[data-layer="hazards"]'));
      await shot(page, 'hazards');
      await search(page, 'Salt Lake City', 'Salt Lake City, UT');
      await page.locator('.period').first().waitFor();
      await settled(page.locator('path.point-marker'));
      await shot(page, 'zoomed-places-zone-alert');
      await page.locator('#panel-point .hazards-here li.sigmet summary').click();
      await scrollIntoView(page.locator('#panel-point .hazards-here'));
      await shot(page, 'hazard-detail');
      await scrollIntoView(page.locator('#panel-point .hourly'));
      await shot(page, 'point-forecast-chart');
      await station(page, 'KSLC').dispatchEvent('click');
      await page.locator('.station-popup .taf-period').first().waitFor();
      await page.waitForTimeout(400);
      await scrollIntoView(page.locator('.station-popup .taf-title'));
      await shot(page, 'taf-popup');
      await page.keyboard.press('Escape');
      await page.locator('#search-input').fill('Moa');
      await page.locator('#search-list').getByRole('option').first().waitFor();
      await shot(page, 'place-search');
      await page.locator('#search-input').fill('');
      await page.locator('#map').focus();
      await page.keyboard.press('ArrowUp');
      await shot(page, 'keyboard-crosshair');
      await session.close();

      session = await ready({viewport, clock: REFERENCE_TIME + 20 * MINUTE});
      await session.page.locator('path.alert-shape[data-zones]').first().waitFor();
      await session.page.getByRole('tab', {name: /Alerts/}).click();
      await shot(session.page, 'expired-alert');
      await session.close();

      session = await ready({viewport, init: () => {
        for (const record of window.corvaneStubDocuments.metarWest) record.obsTime -= 3 * 3600;
        window.corvaneStubDocuments.alerts.updated = '2026-11-03T17:58:00+00:00';
      }});
      await session.page.locator('.map-stale').first().waitFor();
      await shot(session.page, 'stale-data');
      await session.close();

      session = await ready({viewport, init: HOSTILE_HAZARDS});
      await session.page.locator('.layer[data-layer="hazards"] .layer-note').first().waitFor();
      await scrollIntoView(session.page.locator('.layer[data-layer="hazards"]'));
      await shot(session.page, 'hazards-antimeridian-limits');
      await session.close();
    });
  }
});

describe('demo label', () => {
  it('shows the banner with ?demo=1 or when the host sets window.corvaneDemo', async () => {
    for (const options of [{query: '?demo=1'}, {init: () => (window.corvaneDemo = true)}]) {
      const {page, close} = await ready(options);
      assert.equal(await page.locator('#demo-banner').textContent(), 'Demo data — not live weather');
      await close();
    }
    const {page, close} = await ready();
    assert.equal(await page.locator('#demo-banner').isVisible(), false);
    await close();
  });
});
