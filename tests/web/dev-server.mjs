#!/usr/bin/env node
// Development only: serves the built page with the stub host, so the page can be opened in a
// normal browser without the native program.
//   npm run build && node tests/web/dev-server.mjs [build/web] [port]
// then open the printed address (add ?demo=1 for the demo banner).
import {readFileSync} from 'node:fs';
import {dirname, join, resolve} from 'node:path';
import {fileURLToPath} from 'node:url';
import {documentsScript, stubScript} from './documents.mjs';
import {serveFolder} from './server.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const root = resolve(process.argv[2] || join(here, '..', '..', 'build', 'web'));
const port = Number(process.argv[3] || 8080);

// The page's policy allows same-origin scripts only, so the stub comes as two files placed
// before the page's own module.
const index = readFileSync(join(root, 'index.html'), 'utf8').replace('<script type="module"',
    '<script src="/__dev/documents.js"></script>\n<script src="/__dev/stub-bridge.js"></script>\n' +
    '<script type="module"');
const js = 'text/javascript; charset=utf-8';
const {origin} = await serveFolder(root, {port, mounts: {
  '/__tests/': here,
  '/__data/': join(here, '..', 'data'),
  '/__modules/': join(here, '..', '..', 'node_modules'),
}, generated: {
  '/': {type: 'text/html; charset=utf-8', body: index},
  '/index.html': {type: 'text/html; charset=utf-8', body: index},
  '/__dev/documents.js': {type: js, body: documentsScript()},
  '/__dev/stub-bridge.js': {type: js, body: stubScript()},
}});
console.log(`Corvane Weather page with the stub host: ${origin}/index.html`);
console.log(`The page's unit tests (mocha): ${origin}/__tests/unit/index.html`);
