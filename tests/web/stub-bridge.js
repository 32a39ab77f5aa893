// A stand-in for the native host's window.chrome.webview, for tests and for viewing the page in
// a normal browser. It answers the host's operations from the project's service test documents
// (window.corvaneStubDocuments, see documents.mjs) the way the host does, checks what the host
// checks, and lets a test replace any answer:
//   corvaneStub.requests             every message posted, as posted
//   corvaneStub.handlers[operation]  = (argument, message) => reply | null  (null: no reply)
//   corvaneStub.hold = true          keep replies until corvaneStub.release()
//   corvaneStub.held()               the replies kept back, as they would be delivered
//   corvaneStub.deliver(data)        delivers any reply object (e.g. one kept from before a reload)
// A reply is {status, body}. Replies arrive asynchronously, each as a task of its own, as the
// host's message events do (a microtask would run every reply of a burst in one task).
// It shares the page's own rules (the western box, the newest report per station): stubScript()
// in documents.mjs bundles it into one script for the page to run before its own.
import {METAR_AREA} from '../../web/js/geo.js';
import {newestPerStation} from '../../web/js/metar.js';

{
  const documents = window.corvaneStubDocuments || {};
  const listeners = new Set();
  const held = [];
  // One port, so replies keep the order of their requests.
  const replies = new MessageChannel();
  const queued = [];
  replies.port1.onmessage = () => queued.shift()();
  const {south: SOUTH, west: WEST, north: NORTH, east: EAST} = METAR_AREA;
  const boundsError = (kind) => `${kind} bounds must be inside ${SOUTH} to ${NORTH} N, ${-WEST} to ${-EAST} W`;
  const outside = (south, west, north, east) => south < SOUTH || north > NORTH || west < WEST ||
      east > EAST || south >= north || west >= east;

  function error(status, text, source) {
    const body = {error: text};
    if (source) body.source = source;
    return {status, body};
  }

  function numbers(argument, count) {
    const parts = argument.split(',');
    if (parts.length !== count) return null;
    const values = parts.map((part) => (part.trim() === '' ? NaN : Number(part)));
    return values.every(Number.isFinite) ? values : null;
  }

  // As the host merges: the newest report per station (one without a time counts as oldest), by id.
  function mergeMetars(...lists) {
    return newestPerStation(lists.flatMap((list) => list || []), (record) => record.icaoId,
        (record) => (Number.isInteger(record.obsTime) ? record.obsTime : 0))
        .sort((a, b) => (a.icaoId < b.icaoId ? -1 : a.icaoId > b.icaoId ? 1 : 0));
  }

  function metars(argument) {
    if (argument === '') return {status: 200, body: mergeMetars(documents.metarWest, documents.metarIds)};
    const box = numbers(argument, 4);
    if (!box) return error(400, 'Expected METAR bounds as south,west,north,east');
    const [south, west, north, east] = box;
    if (outside(south, west, north, east)) return error(400, boundsError('METAR'));
    return {status: 200, body: (documents.metarWest || []).filter((r) =>
      r.lat >= south && r.lat <= north && r.lon >= west && r.lon <= east)};
  }

  function point(argument) {
    const values = numbers(argument, 2);
    if (!values) return error(400, 'Expected point coordinates as latitude,longitude');
    const [lat, lon] = values;
    if (lat < 24 || lat > 50.5 || lon < -126 || lon > -66) {
      return error(400, 'Select a point in the contiguous United States');
    }
    const observation = JSON.parse(JSON.stringify(documents.observation || null));
    const station = documents.stations && documents.stations.features[0];
    if (observation && station) {
      observation.properties.stationName = station.properties.name || '';
      observation.properties.stationIdentifier = station.properties.stationIdentifier || '';
    }
    return {status: 200, body: {
      grid: documents.grid || null,
      hourly: documents.hourly || null,
      observation,
      point: documents.points || null,
      retrievedAt: new Date().toISOString().replace(/\.\d+Z$/, 'Z'),
      source: 'NOAA National Weather Service',
      warnings: [],
    }};
  }

  function tafs(argument) {
    if (argument === '') return {status: 200, body: documents.tafs || []};
    const box = numbers(argument, 4);
    if (!box) return error(400, 'Expected TAF bounds as south,west,north,east');
    const [south, west, north, east] = box;
    if (outside(south, west, north, east)) return error(400, boundsError('TAF'));
    return {status: 200, body: (documents.tafs || []).filter((r) =>
      r.lat >= south && r.lat <= north && r.lon >= west && r.lon <= east)};
  }

  // The grid cell of the points document is the only one with a forecast; any other is a 404.
  function forecast(argument) {
    const match = /^([A-Z]{3})\/(\d{1,3}),(\d{1,3})$/.exec(argument);
    if (!match) return error(400, 'Expected a forecast grid as office/x,y');
    const properties = (documents.points || {}).properties || {};
    const url = `https://api.weather.gov/gridpoints/${argument}/forecast`;
    if (match[1] !== properties.gridId || Number(match[2]) !== Number(properties.gridX) ||
        Number(match[3]) !== Number(properties.gridY) || !documents.forecast) {
      return error(502, `Weather download failed (HTTP 404): ${url}`, url);
    }
    return {status: 200, body: documents.forecast};
  }

  function discussion(argument) {
    if (!/^[A-Z]{3}$/.test(argument)) return error(400, 'Expected a forecast office as three letters');
    const url = `https://api.weather.gov/products/types/AFD/locations/${argument}/latest`;
    const product = documents.discussion;
    if (!product || argument !== ((documents.points || {}).properties || {}).gridId) {
      return error(502, `Weather download failed (HTTP 404): ${url}`, url);
    }
    const member = (name) => (name in product ? product[name] : null);
    return {status: 200, body: {issuanceTime: member('issuanceTime'),
      issuingOffice: member('issuingOffice'), productText: product.productText}};
  }

  // The bulletins the documents hold; any other of the four is a 404, as at the fake services.
  const WINDS = {'06': ['FD1', 'US1'], '12': ['FD3', 'US3'], '24': ['FD5', 'US5'], high: ['FD8', 'US7']};
  function winds(argument) {
    if (!Object.hasOwn(WINDS, argument)) return error(400, 'Expected a winds bulletin as 06, 12, 24 or high');
    const [type, location] = WINDS[argument];
    const url = `https://api.weather.gov/products/types/${type}/locations/${location}/latest`;
    const product = (documents.winds || {})[argument];
    if (!product) return error(502, `Weather service returned HTTP 404: ${url}`, url);
    const member = (name) => (name in product ? product[name] : null);
    return {status: 200, body: {issuanceTime: member('issuanceTime'),
      issuingOffice: member('issuingOffice'), productText: product.productText}};
  }

  // The office's outlooks of the documents: any other office, or type, is the service's 404.
  function outlook(argument) {
    const match = /^(HWO|FWF)\/([A-Z]{3})$/.exec(argument);
    if (!match) return error(400, 'Expected an outlook as HWO/OFFICE or FWF/OFFICE');
    const url = `https://api.weather.gov/products/types/${match[1]}/locations/${match[2]}/latest`;
    const product = (documents.outlooks || {})[match[1]];
    if (!product || match[2] !== ((documents.points || {}).properties || {}).gridId) {
      return error(502, `Weather service returned HTTP 404: ${url}`);
    }
    return {status: 200, body: {issuanceTime: product.issuanceTime, issuingOffice: product.issuingOffice,
      productText: product.productText}};
  }

  // The host's checks of a zone argument, and its 502 for a zone the services do not know.
  function zone(argument) {
    if (!/^(forecast|county|fire)\/[A-Z]{2}[CZ]\d{3}$/.test(argument)) {
      return error(400, 'Expected a zone as TYPE/ID (forecast/UTZ110, county/UTC035, fire/UTZ478)');
    }
    const url = `https://api.weather.gov/zones/${argument}`;
    const found = (documents.zones || {})[argument];
    return found ? {status: 200, body: found} : error(502, `Weather download failed (HTTP 404): ${url}`, url);
  }

  const defaults = {
    metars,
    pireps: () => ({status: 200, body: documents.pireps || []}),
    alerts: () => ({status: 200, body: documents.alerts || {type: 'FeatureCollection', features: []}}),
    point,
    tafs,
    hazards: () => ({status: 200, body: {cwas: documents.cwas || [], gairmets: documents.gairmets || [],
      sigmets: documents.sigmets || [], warnings: []}}),
    forecast,
    discussion,
    zone,
    winds,
    outlook,
    avalanche: () => ({status: 200, body: documents.avalanche || {type: 'FeatureCollection', features: []}}),
  };

  const stub = {
    requests: [],
    handlers: {},
    hold: false,
    release() {
      for (const entry of held.splice(0)) entry.send();
    },
    held: () => held.map((entry) => entry.data),
    deliver: (data) => deliver(data),
    defaults,
  };

  function deliver(data) {
    for (const listener of [...listeners]) listener({data});
  }

  window.chrome = window.chrome || {};
  window.chrome.webview = {
    postMessage(message) {
      stub.requests.push(JSON.parse(JSON.stringify(message)));
      // What the host ignores without a reply.
      if (!message || typeof message !== 'object' || Array.isArray(message)) return;
      if (JSON.stringify(message).length > 2048) return;
      const id = message.id;
      if (!(typeof id === 'string' || Number.isInteger(id)) || JSON.stringify(id).length > 100) return;
      const operation = message.operation === undefined ? '' : message.operation;
      const argument = message.argument === undefined ? '' : message.argument;
      let reply;
      if (typeof argument === 'string' && new TextEncoder().encode(argument).length > 96) {
        reply = error(400, 'Weather request argument is too long');
      } else if (!(operation in defaults)) {
        reply = error(400, 'Unsupported weather operation');
      } else {
        const handler = stub.handlers[operation] || defaults[operation];
        reply = handler(argument, message);
      }
      if (reply === null || reply === undefined) return;
      const data = {body: reply.body, id, status: reply.status};
      const send = () => deliver(data);
      if (stub.hold) held.push({send, data});
      else {
        queued.push(send);
        replies.port2.postMessage(null);
      }
    },
    addEventListener(type, listener) {
      if (type === 'message') listeners.add(listener);
    },
    removeEventListener(type, listener) {
      listeners.delete(listener);
    },
  };
  window.corvaneStub = stub;
}
