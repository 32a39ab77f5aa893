// The project's service test documents that the stub host answers from, located through
// tests/data/routes.json as the fake services do, and the stub host itself as one script.
import {readFileSync} from 'node:fs';
import {dirname, join, resolve} from 'node:path';
import {fileURLToPath} from 'node:url';
import * as esbuild from 'esbuild';
import {METAR_AREA} from '../../web/js/geo.js';

const here = dirname(fileURLToPath(import.meta.url));
const data = resolve(here, '..', 'data');

/** The western box as the services' `bbox` parameter is written: "south,west,north,east". */
export const WEST_BBOX = [METAR_AREA.south, METAR_AREA.west, METAR_AREA.north, METAR_AREA.east].join(',');
const routes = JSON.parse(readFileSync(join(data, 'routes.json'), 'utf8'));

function document(host, path) {
  const route = routes.find((r) => r.host === host && r.path === path && r.status === 200);
  if (!route) throw new Error(`no route for ${host}${path} in tests/data/routes.json`);
  return JSON.parse(readFileSync(join(data, route.file), 'utf8'));
}

const NWS = 'api.weather.gov';
const AWC = 'aviationweather.gov';

/** The documents the stub needs, by the names stub-bridge.js uses. */
export function loadDocuments() {
  return {
    metarWest: document(AWC, `/api/data/metar?bbox=${WEST_BBOX}&format=json`),
    metarIds: document(AWC, '/api/data/metar?ids=KSGU,KCDC,KAZC,KBCE,KPGA,KGCN&format=json'),
    pireps: document(AWC, `/api/data/pirep?bbox=${WEST_BBOX}&age=3&format=json`),
    alerts: document(NWS, '/alerts/active?area=UT,AZ,NV,CA,CO,NM,OR,WA,ID,MT,WY'),
    points: document(NWS, '/points/40.76,-111.89'),
    hourly: document(NWS, '/gridpoints/SLC/101,174/forecast/hourly'),
    grid: document(NWS, '/gridpoints/SLC/101,174'),
    stations: document(NWS, '/gridpoints/SLC/101,174/stations'),
    observation: document(NWS, '/stations/KSLC/observations/latest'),
    tafs: document(AWC, `/api/data/taf?bbox=${WEST_BBOX}&format=json`),
    sigmets: document(AWC, '/api/data/airsigmet?format=json'),
    gairmets: document(AWC, '/api/data/gairmet?format=json'),
    cwas: document(AWC, '/api/data/cwa?format=json'),
    forecast: document(NWS, '/gridpoints/SLC/101,174/forecast'),
    discussion: document(NWS, '/products/types/AFD/locations/SLC/latest'),
    // The winds bulletins by the `winds` argument.
    winds: {'06': document(NWS, '/products/types/FD1/locations/US1/latest'),
      '12': document(NWS, '/products/types/FD3/locations/US3/latest'),
      high: document(NWS, '/products/types/FD8/locations/US7/latest')},
    outlooks: {HWO: document(NWS, '/products/types/HWO/locations/SLC/latest'),
      FWF: document(NWS, '/products/types/FWF/locations/SLC/latest')},
    avalanche: document('api.avalanche.org', '/v2/public/products/map-layer'),
    // Every zone document, by the `zone` argument naming it: "forecast/UTZ110".
    zones: Object.fromEntries(routes.filter((r) => r.host === NWS && r.path.startsWith('/zones/'))
        .map((r) => [r.path.slice('/zones/'.length), document(NWS, r.path)])),
  };
}

/** A script that sets window.corvaneStubDocuments, for the stub to read. */
export function documentsScript(documents = loadDocuments()) {
  return `window.corvaneStubDocuments = ${JSON.stringify(documents)};\n`;
}

let stub = null;

/** The stub host (stub-bridge.js with the page modules it imports) as one classic script. */
export function stubScript() {
  stub ||= esbuild.buildSync({entryPoints: [join(here, 'stub-bridge.js')], bundle: true,
    format: 'iife', write: false, logLevel: 'warning'}).outputFiles[0].text;
  return stub;
}

/** Reference time of the documents: 2026-11-20T18:00:00Z. */
export const REFERENCE_TIME = Date.UTC(2026, 10, 20, 18, 0, 0);
