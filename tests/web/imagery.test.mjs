// Radar, satellite and the base map in a real browser, the three imagery hosts answered by the
// test in their real shapes (tests/web/imagery.mjs): what is drawn, how old it says it is, what
// happens when a service fails in each of the ways it can, the loop, and the page's policy.
import assert from 'node:assert/strict';
import {after, describe, it} from 'node:test';
import {REFERENCE_TIME} from './documents.mjs';
import {accessibilityViolations, openPage, saveScreenshot, startBrowser} from './browser.mjs';
import {SERVICE_EXCEPTION, radarCapabilities, radarScanTimes, solidPng} from './imagery.mjs';

const CLEAR_TILE = () => ({type: 'image/png', body: solidPng([0, 0, 0, 0])});

after(async () => (await startBrowser()).close());

const MINUTE = 60000;
const radarRequests = (imagery) => imagery.requests.filter((url) => /opengeo.*GetMap/.test(url));
const timeOf = (url) => new URL(url).searchParams.get('TIME');
const radarStatus = (page) => page.locator('[data-layer="radar"] .layer-status').innerText();

async function waitFor(check, what) {
  for (let i = 0; i < 200; i++) {
    if (await check()) return;
    await new Promise((resume) => setTimeout(resume, 50));
  }
  throw new Error(`timed out waiting for ${what}`);
}

async function ready(options = {}) {
  const session = await openPage({clock: REFERENCE_TIME, ...options});
  await session.page.locator('path.station-marker').first().waitFor();
  return session;
}

/** The radar pictures on the map: loaded from blob addresses, and how opaque. */
function radarTiles(page) {
  return page.evaluate(() => [...document.querySelectorAll('.radar-pane img')].map((img) => ({
    loaded: img.complete && img.naturalWidth > 0, blob: img.src.startsWith('blob:'),
    hidden: img.style.visibility === 'hidden', opacity: Number(img.style.opacity)})));
}

const capabilitiesAged = (ageMinutes) => () => ({type: 'text/xml',
  body: radarCapabilities(radarScanTimes(REFERENCE_TIME, {ageMs: ageMinutes * MINUTE}))});

describe('radar', () => {
  it('draws the newest listed scan under the station marks and says its time and age', async () => {
    const {page, close, errors, imagery} = await ready();
    await waitFor(async () => (await radarTiles(page)).some((t) => t.loaded && t.opacity > 0), 'radar tiles');
    assert.match(await radarStatus(page), /^Radar 10:58 MST · 2 min old$/);
    const newest = new Date(radarScanTimes(REFERENCE_TIME).at(-1)).toISOString();
    const asked = radarRequests(imagery);
    assert.ok(asked.length > 0);
    for (const url of asked) {
      const query = new URL(url).searchParams;
      assert.equal(query.get('TIME'), newest);
      assert.equal(query.get('LAYERS'), 'conus_bref_qcd');
      assert.equal(query.get('CRS'), 'EPSG:3857');
    }
    const tiles = (await radarTiles(page)).filter((t) => t.loaded);
    assert.ok(tiles.every((t) => t.blob && t.opacity === 0.75), JSON.stringify(tiles.slice(0, 3)));
    // Under the stations, over the base map.
    const z = await page.evaluate(() => ['baseTiles', 'radar', 'stations'].map((name) =>
      Number(getComputedStyle(document.querySelector(`.${name}-pane`)).zIndex)));
    assert.ok(z[0] < z[1] && z[1] < z[2], String(z));
    assert.equal(await page.locator('.radar-pane.is-stale').count(), 0);
    assert.deepEqual(errors, []);
    assert.deepEqual(imagery.foreign, []);
    await close();
  });

  const ageCases = [
    ['at 9 minutes is current', 9, {stale: false, drawn: true, text: /^Radar 10:51 MST · 9 min old$/}],
    ['past 10 minutes is stale: dimmed, and the map says why', 15,
      {stale: true, drawn: true, text: /Stale.*Radar 10:45 MST · 15 min old — over 10 min old, may not show the weather now/}],
    ['past 60 minutes is not drawn', 75,
      {stale: false, drawn: false, text: /Not shown: the newest scan is from 09:45 MST, 1 h 15 min old \(the map shows none over 60 min old\)/}],
  ];
  for (const [name, age, expected] of ageCases) {
    it(`a scan ${name}`, async () => {
      const {page, close, imagery} = await ready({imagery: {radarCapabilities: capabilitiesAged(age)}});
      await waitFor(async () => !/Loading/.test(await radarStatus(page)), 'the radar times');
      if (expected.drawn) await waitFor(async () => (await radarTiles(page)).some((t) => t.loaded), 'radar tiles');
      assert.match((await radarStatus(page)).replace(/\n+/g, ' '), expected.text);
      assert.equal(await page.locator('.radar-pane.is-stale').count(), expected.stale ? 1 : 0);
      const mapStatus = await page.locator('.map-status').innerText();
      if (expected.stale) assert.match(mapStatus, /Stale\s*Radar \(dimmed\): the newest scan is from 10:45 MST/);
      if (!expected.drawn) {
        assert.equal(radarRequests(imagery).length, 0);
        assert.match(mapStatus, /Not shown\s*Radar: the newest scan is from 09:45 MST/);
      }
      await close();
    });
  }

  const capabilityFaults = [
    ['a service exception document with status 200', () => ({type: 'application/vnd.ogc.se_xml', body: SERVICE_EXCEPTION}),
      /Radar times could not be read: the service answered with an exception: Time value not available/],
    ['a 503', () => ({status: 503, type: 'text/html', body: '<h1>Service Unavailable</h1>'}),
      /Radar times could not be read: the service answered 503/],
    ['a document of another layer', () => ({type: 'text/xml',
      body: radarCapabilities(radarScanTimes(REFERENCE_TIME), 'conus_cref_qcd')}),
    /Radar times could not be read: the layer conus_bref_qcd is not listed/],
  ];
  for (const [name, answer, text] of capabilityFaults) {
    it(`draws nothing and says why when the times come as ${name}`, async () => {
      const {page, close, imagery} = await ready({imagery: {radarCapabilities: answer}});
      await waitFor(async () => text.test(await radarStatus(page)), 'the reason');
      assert.equal(radarRequests(imagery).length, 0);
      assert.equal(await page.locator('.radar-pane img').count(), 0);
      await close();
    });
  }

  const tileFaults = [
    ['a service exception answered with 200', () => ({type: 'application/vnd.ogc.se_xml', body: SERVICE_EXCEPTION}),
      /1 image failed \(1 service exception\); left blank, not shown as current/],
    ['a 404', () => ({status: 404, type: 'text/html', body: 'not found'}), /1 image failed \(1 error answer\)/],
    ['a broken image', () => ({type: 'image/png', body: 'GIF89a not a picture'}), /1 image failed \(1 broken image\)/],
    ['no answer at all', () => 'hang', /1 image failed \(1 no answer in time\)/],
  ];
  for (const [name, answer, text] of tileFaults) {
    it(`drops the frame and counts it when it gets ${name}`, async () => {
      const {page, close, errors, imagery} = await ready({imagery: {radarTile: () => answer()}});
      await waitFor(async () => radarRequests(imagery).length > 0, 'the frame to be asked for');
      if (name === 'no answer at all') await page.clock.runFor(21000);
      await waitFor(async () => text.test(await radarStatus(page)), `"${text}"`);
      assert.equal((await radarTiles(page)).filter((t) => t.loaded && !t.hidden).length, 0);
      assert.match(await page.locator('.map-status').innerText(), /Incomplete\s*Radar: 1 image failed/);
      assert.deepEqual(errors.filter((e) => !/Failed to load resource/.test(e.message)), []);
      await close();
    });
  }

  it('is not asked for while hidden, and asks again every 2 minutes while shown', async () => {
    const {page, close, imagery} = await ready();
    const capabilities = () => imagery.requests.filter((url) => /GetCapabilities/.test(url)).length;
    await waitFor(async () => capabilities() === 1, 'the first capabilities');
    await page.clock.runFor(2 * MINUTE + 1000);
    await waitFor(async () => capabilities() === 2, 'the refresh');
    await page.locator('#layer-radar').uncheck();
    await page.clock.runFor(6 * MINUTE);
    assert.equal(capabilities(), 2);
    assert.equal(await page.locator('.radar-pane img').count(), 0);
    await close();
  });
});

describe('radar loop', () => {
  it('preloads every frame once, plays, and steps by keyboard with the time announced', async () => {
    const {page, close, errors, imagery} = await ready();
    await waitFor(async () => (await radarTiles(page)).some((t) => t.loaded), 'radar tiles');
    const play = page.getByRole('button', {name: 'Play the radar loop'});
    await play.click();
    await waitFor(async () => /frame 31 of 31/.test(await page.locator('.loop-time').innerText()) &&
      !(await page.locator('.loop-note').isVisible()), 'the loop to be loaded');
    const asked = () => radarRequests(imagery);
    const once = asked().length;
    assert.equal(new Set(asked().map(timeOf)).size, 31);
    assert.equal(new Set(asked()).size, once, 'a tile asked twice');
    await page.clock.runFor(3000);
    await waitFor(async () => !/frame 31 of 31/.test(await page.locator('.loop-time').innerText()), 'playing');
    assert.equal(await page.locator('.loop-control .visually-hidden').textContent(), '');
    await page.clock.runFor(20000);  // over two rounds: a replay asks nothing
    assert.equal(asked().length, once);
    // Space pauses (focus on the control), the arrows step and say the frame's time.
    await page.getByRole('button', {name: 'Pause the radar loop'}).focus();
    await page.keyboard.press(' ');
    await page.getByRole('button', {name: 'Play the radar loop'}).waitFor();
    const before = Number(await page.locator('.loop-slider').inputValue());
    await page.keyboard.press('ArrowLeft');
    assert.equal(Number(await page.locator('.loop-slider').inputValue()), (before + 30) % 31);
    assert.match(await page.locator('.loop-control .visually-hidden').textContent(), /^Radar \d\d:\d\d MST$/);
    assert.deepEqual(await accessibilityViolations(page), []);
    assert.deepEqual(errors, []);
    await close();
  });

  it('says how many frames are incomplete', async () => {
    const times = radarScanTimes(REFERENCE_TIME);
    const broken = new Set([times.at(-3), times.at(-5)].map((t) => new Date(t).toISOString()));
    const {page, close} = await ready({imagery: {radarTile: (url) => (broken.has(url.searchParams.get('TIME')) ?
      {type: 'text/xml', body: SERVICE_EXCEPTION} : CLEAR_TILE())}});
    await page.getByRole('button', {name: 'Play the radar loop'}).click();
    await waitFor(async () => /2 of 31 frames incomplete/.test(await page.locator('.loop-note').innerText()), 'the note');
    await close();
  });
});

describe('base map and policy', () => {
  it('shows the plain map, and says so, when the tiles fail; the choice is remembered', async () => {
    const {page, close, imagery} = await ready({imagery: {baseTile: () => ({status: 503, type: 'text/html', body: 'down'})}});
    const status = page.locator('.base-map-status');
    await waitFor(async () => /unavailable; showing the plain map/.test(await status.innerText()), 'the note');
    assert.ok(await page.locator('.base-pane path.state-west').count() > 0);
    assert.ok(imagery.requests.some((url) => /USGSShadedReliefOnly\/MapServer\/tile\/\d+\/\d+\/\d+$/.test(url)));
    assert.ok(imagery.requests.some((url) => /USGSHydroCached/.test(url)));
    await page.getByLabel('Topographic').check();
    await waitFor(async () => imagery.requests.some((url) => /USGSTopo/.test(url)), 'topographic tiles');
    await page.reload();
    await page.locator('path.station-marker').first().waitFor();
    assert.equal(await page.getByLabel('Topographic').isChecked(), true);
    await close();
  });

  it('lets the page reach no host its policy does not name', async () => {
    const {page, close, imagery} = await ready();
    const blocked = await page.evaluate(async () => {
      const violations = [];
      document.addEventListener('securitypolicyviolation', (event) => violations.push(event.violatedDirective));
      const fetched = await fetch('https://foreign.example/data').then(() => 'fetched', () => 'refused');
      const image = new Image();
      await new Promise((done) => {
        image.onerror = image.onload = done;
        image.src = 'https://tile.foreign.example/1/2/3.png';
      });
      await new Promise((resume) => setTimeout(resume, 100));
      return {fetched, violations};
    });
    assert.equal(blocked.fetched, 'refused');
    assert.deepEqual(blocked.violations.sort(), ['connect-src', 'img-src']);
    assert.deepEqual(imagery.foreign, []);
    await close();
  });
});

describe('satellite', () => {
  it('draws the newest listed image when switched on, and says its age', async () => {
    const {page, close, imagery} = await ready();
    await page.locator('#layer-satellite').check();
    const status = page.locator('[data-layer="satellite"] .layer-status');
    await waitFor(async () => /^Satellite 10:30 MST · 30 min old$/.test(await status.innerText()), 'the satellite line');
    const tiles = imagery.requests.filter((url) => /wms\.cgi/.test(url));
    assert.ok(tiles.length > 0);
    assert.ok(tiles.every((url) => /LAYERS=GOES-West_ABI_Band13_Clean_Infrared/.test(url) &&
      /TIME=2026-11-20T17%3A30%3A00Z/.test(url)), tiles[0]);
    assert.ok(imagery.requests.some((url) => /REQUEST=DescribeDomains.*LAYER=GOES-West_ABI_Band13_Clean_Infrared/.test(url)));
    await close();
  });
});

// Every imagery state at both window sizes, saved for a person to judge; the loop control stays
// clear of the zoom buttons, the map's status box and the credit line, inside the map, its frame time whole and true.
describe('imagery screens', () => {
  const tilesDrawn = async (page) => waitFor(() => page.evaluate(() =>
    [...document.querySelectorAll('.radar-pane img, .baseTiles-pane img')].every((img) => img.complete)), 'pictures');
  const states = [
    ['radar-terrain', {}, async () => {}, /^10:58 MST · newest$/],
    ['radar-zoom9-slc', {}, async (page) => {
      await page.locator('#search-input').fill('Salt Lake City');
      // The town, not the airport (whose popup the loop control would give way to), once both are in.
      await page.getByRole('option', {name: 'Salt Lake City, UT'}).first().waitFor();
      await page.locator('#search-input').press('Enter');
      await page.clock.runFor(1500);
      await page.getByRole('tab', {name: 'Layers'}).click();
    }, /^10:58 MST · newest$/],
    ['radar-loop-playing', {}, async (page) => {
      await page.locator('.loop-play').click();
      await waitFor(async () => !(await page.locator('.loop-note').isVisible()), 'the loop to be loaded');
      await page.clock.runFor(2200);
    }, /^\d\d:\d\d MST · frame \d+ of 31$/],
    ['satellite-ir', {}, async (page) => page.locator('#layer-satellite').check(), /^10:58 MST · newest$/],
    ['radar-stale', {imagery: {radarCapabilities: capabilitiesAged(15)}}, async () => {}, /^10:45 MST · newest$/],
    ['radar-unavailable', {imagery: {radarCapabilities: capabilitiesAged(75)}}, async () => {}, /^No frame shown$/],
    ['base-topographic', {}, async (page) => page.getByLabel('Topographic').check(), /^10:58 MST · newest$/],
    ['base-plain', {}, async (page) => page.getByLabel('Plain').check(), /^10:58 MST · newest$/],
  ];
  for (const [width, height] of [[1460, 960], [920, 650]]) {
    for (const [name, options, act, loopTime] of states) {
      it(`${name} at ${width}×${height}`, async () => {
        const {page, close} = await ready({viewport: {width, height}, ...options});
        await waitFor(async () => !/Loading/.test(await radarStatus(page)), 'the radar times');
        await act(page);
        await tilesDrawn(page);
        const box = (selector) => page.locator(selector).first().boundingBox();
        const [map, loop, zoom, status, credit] = await Promise.all(['#map', '.loop-control', '.leaflet-control-zoom',
          '.map-status', '.map-credit'].map(box));
        const apart = (a, b) => !a || !b || a.x + a.width <= b.x || b.x + b.width <= a.x ||
          a.y + a.height <= b.y || b.y + b.height <= a.y;
        if (loop) {
          const where = `${JSON.stringify(loop)} in ${JSON.stringify(map)}`;
          assert.ok(loop.x >= map.x && loop.y >= map.y && loop.x + loop.width <= map.x + map.width, where);
          assert.ok(apart(loop, zoom) && apart(loop, status) && apart(loop, credit),
              `${where}, zoom ${JSON.stringify(zoom)}, status ${JSON.stringify(status)}, credit ${JSON.stringify(credit)}`);
          assert.ok(loop.y + loop.height <= map.y + map.height, where);
          const time = await page.locator('.loop-time').evaluate((node) => node.scrollWidth <= node.clientWidth);
          assert.ok(time, 'the frame time is cut off');
        }
        assert.match(await page.locator('.loop-time').innerText(), loopTime);
        // Too old to draw: nothing to play either.
        assert.equal(await page.locator('.loop-play').isDisabled(), name === 'radar-unavailable');
        await saveScreenshot(page, `imagery-${name}-${width}x${height}`);
        await close();
      });
    }
  }
});
