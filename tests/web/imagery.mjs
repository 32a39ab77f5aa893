// The three imagery hosts as the page tests and the benchmark answer them, in their real shapes:
// the radar's WMS capabilities and GetMap tiles, the satellite service's DescribeDomains and
// tiles, and base-map tiles. Each answer can be replaced per test (faults, hangs), and every
// request is logged. Tiles are small PNGs made here: one known colour per source.
import {crc32, deflateSync} from 'node:zlib';

export const IMAGERY_HOSTS = ['opengeo.ncep.noaa.gov', 'gibs.earthdata.nasa.gov', 'basemap.nationalmap.gov'];
const MINUTE = 60000;

/** The colours drawn: radar a 35 dBZ yellow, satellite a cloud grey, base map a terrain brown. */
export const TILE_COLOURS = {radar: [253, 248, 2, 255], satellite: [200, 200, 200, 255], base: [120, 100, 70, 255]};

/** Salt Lake City in the map's projection (EPSG:3857 metres): the tests' one radar echo. */
export const ECHO_AT = {lat: 40.76, lon: -111.89};
const mercator = ({lat, lon}) => ({x: lon * 20037508.34 / 180,
  y: Math.log(Math.tan((90 + lat) * Math.PI / 360)) * 6378137});

/** True when the WMS picture asked for by `url` holds the echo. */
export function holdsEcho(url) {
  const bbox = [...url.searchParams].find(([key]) => key.toLowerCase() === 'bbox')?.[1].split(',').map(Number);
  const {x, y} = mercator(ECHO_AT);
  return Boolean(bbox) && x >= bbox[0] && x <= bbox[2] && y >= bbox[1] && y <= bbox[3];
}

const pngs = new Map();

/**
 * A radar picture: clear, with one echo (a square of the radar colour) in its middle. Made once
 * per size: making one takes tens of ms of this process, which would otherwise queue a loop's
 * answers behind each other and be measured as the page's.
 */
export function echoPng(size = 256) {
  const key = `echo/${size}`;
  if (!pngs.has(key)) {
    pngs.set(key, makePng(TILE_COLOURS.radar, size, size, (x, y) => Math.abs(x - size / 2) < size / 16 &&
      Math.abs(y - size / 2) < size / 16));
  }
  return pngs.get(key);
}

/** A PNG of `width`×`height` pixels of one RGBA colour (made once per colour and size). */
export function solidPng(rgba, width = 256, height = 256) {
  const key = `${rgba}/${width}/${height}`;
  if (!pngs.has(key)) pngs.set(key, makePng(rgba, width, height));
  return pngs.get(key);
}

function makePng(rgba, width, height, where = () => true) {
  const chunk = (type, data) => {
    const length = Buffer.alloc(4);
    length.writeUInt32BE(data.length);
    const body = Buffer.concat([Buffer.from(type, 'ascii'), data]);
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(body));
    return Buffer.concat([length, body, crc]);
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header.set([8, 6, 0, 0, 0], 8);  // 8 bits, RGBA
  const clear = [0, 0, 0, 0];
  const rows = Array.from({length: height}, (_, y) => Buffer.concat([Buffer.from([0]),
    Buffer.from(Array.from({length: width}, (_, x) => (where(x, y) ? rgba : clear)).flat())]));
  const pixels = Buffer.concat(rows);
  return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', header),
    chunk('IDAT', deflateSync(pixels)), chunk('IEND', Buffer.alloc(0))]);
}

const iso = (ms) => new Date(ms).toISOString().replace('.000Z', 'Z');

/** The radar times a test lists by default: every 2 minutes for 2 hours, the newest 2 min before `now`. */
export function radarScanTimes(now, {ageMs = 2 * MINUTE, count = 60, stepMs = 2 * MINUTE} = {}) {
  const newest = Math.floor((now - ageMs) / MINUTE) * MINUTE;
  return Array.from({length: count}, (_, i) => newest - (count - 1 - i) * stepMs);
}

/** A WMS 1.3.0 capabilities document of the radar workspace, listing `times` for `layer`. */
export function radarCapabilities(times, layer = 'conus_bref_qcd') {
  return `<?xml version="1.0" encoding="UTF-8"?>
<WMS_Capabilities version="1.3.0" xmlns="http://www.opengis.net/wms" xmlns:xlink="http://www.w3.org/1999/xlink">
<Service><Name>WMS</Name><Title>NOAA NWS radar</Title></Service>
<Capability><Layer><Title>conus</Title><CRS>EPSG:3857</CRS>
<Layer queryable="1" opaque="0"><Name>${layer}</Name><Title>Base reflectivity</Title><CRS>EPSG:3857</CRS>
<Dimension name="time" default="${iso(times[times.length - 1])}" units="ISO8601">${times.map(iso).join(',')}</Dimension>
</Layer></Layer></Capability></WMS_Capabilities>`;
}

/** A WMTS DescribeDomains answer whose time domain is `value` ("start/end/PT10M", comma lists). */
export function domainsDocument(value) {
  return `<?xml version="1.0" encoding="UTF-8"?>
<Domains xmlns="http://demo.geo-solutions.it/share/wmts-multidim/wmts_multi_dimensional.xsd" xmlns:ows="http://www.opengis.net/ows/1.1">
<SpaceDomain><BoundingBox CRS="urn:ogc:def:crs:EPSG:6.3:3857" minx="-20037508.34" miny="-20037508.34" maxx="20037508.34" maxy="20037508.34"/></SpaceDomain>
<DimensionDomain><ows:Identifier>time</ows:Identifier><Domain>${value}</Domain><Size>1</Size></DimensionDomain>
</Domains>`;
}

/** The service exception document a WMS server answers, with status 200, for a time it lacks. */
export const SERVICE_EXCEPTION = `<?xml version="1.0" encoding="UTF-8"?>
<ServiceExceptionReport version="1.3.0" xmlns="http://www.opengis.net/ogc">
<ServiceException code="InvalidDimensionValue">Time value not available</ServiceException></ServiceExceptionReport>`;

/**
 * The default answers, at the page's clock `now`; `overrides` replaces any of
 * radarCapabilities, radarTile, satelliteDomains, satelliteTile, baseTile:
 * (url: URL) => {status?, type?, body} | 'hang'.
 */
export function imageryAnswers(now, overrides = {}) {
  const png = (colour) => ({type: 'image/png', body: solidPng(colour)});
  const satelliteEnd = Math.floor((now - 30 * MINUTE) / (10 * MINUTE)) * 10 * MINUTE;
  return {
    radarCapabilities: () => ({type: 'application/vnd.ogc.wms_xml', body: radarCapabilities(radarScanTimes(now))}),
    radarTile: (url) => (holdsEcho(url) ? {type: 'image/png', body: echoPng()} : png([0, 0, 0, 0])),
    satelliteDomains: () => ({type: 'text/xml',
      body: domainsDocument(`${iso(satelliteEnd - 30 * 24 * 60 * MINUTE)}/${iso(satelliteEnd)}/PT10M`)}),
    satelliteTile: () => png(TILE_COLOURS.satellite),
    baseTile: () => ({type: 'image/jpeg', body: solidPng(TILE_COLOURS.base)}),
    ...overrides,
  };
}

/** Which answer a request of an imagery host gets. */
function answerFor(answers, url) {
  const query = (name) => [...url.searchParams].find(([key]) => key.toLowerCase() === name)?.[1] || '';
  if (url.hostname === 'opengeo.ncep.noaa.gov') {
    return query('request') === 'GetCapabilities' ? answers.radarCapabilities(url) : answers.radarTile(url);
  }
  if (url.hostname === 'gibs.earthdata.nasa.gov') {
    return query('request') === 'DescribeDomains' ? answers.satelliteDomains(url) : answers.satelliteTile(url);
  }
  return answers.baseTile(url);
}

/**
 * Answers the imagery hosts in a Playwright browser context (each answer `delayMs` late), or lets
 * them through to the network when `answers` is 'network'; returns the log of request URLs.
 * Requests to any other host outside the loopback address are aborted and logged as foreign.
 */
export async function routeImagery(context, answers, {delayMs = 0} = {}) {
  const log = {requests: [], foreign: []};
  await context.route((url) => url.hostname !== '127.0.0.1', async (route) => {
    const url = new URL(route.request().url());
    if (!IMAGERY_HOSTS.includes(url.hostname)) {
      log.foreign.push(url.href);
      return route.abort('blockedbyclient');
    }
    log.requests.push(url.href);
    if (answers === 'network') return route.continue();  // to the services of a private namespace
    if (delayMs) await new Promise((resume) => setTimeout(resume, delayMs));
    const answer = answerFor(answers, url);
    if (answer === 'hang') return;  // never answered
    return route.fulfill({status: answer.status || 200, contentType: answer.type,
      headers: {'access-control-allow-origin': '*', 'cache-control': 'max-age=120'}, body: answer.body});
  });
  return log;
}
