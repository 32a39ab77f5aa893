// A tiny static server for the built page folder, on the loopback address only. Optional extra
// mounts map a URL prefix to another folder (the tests' own files).
import {createReadStream, statSync} from 'node:fs';
import {createServer} from 'node:http';
import {extname, join, normalize, resolve, sep} from 'node:path';

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8', '.css': 'text/css; charset=utf-8',
  '.json': 'application/json; charset=utf-8', '.png': 'image/png', '.svg': 'image/svg+xml',
  '.map': 'application/json; charset=utf-8',
};

/**
 * Serves `root` at "/" and each {prefix: folder} of `mounts`; `generated` maps exact paths to
 * {type, body} made in memory. Resolves with {server, origin}.
 */
export function serveFolder(root, {mounts = {}, generated = {}, port = 0} = {}) {
  const folders = [...Object.entries(mounts), ['/', root]];
  const server = createServer((request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    if (generated[path]) {
      response.writeHead(200, {'content-type': generated[path].type, 'cache-control': 'no-store'});
      response.end(generated[path].body);
      return;
    }
    const [prefix, folder] = folders.find(([p]) => path.startsWith(p));
    const base = resolve(folder);
    let file = normalize(join(base, path.slice(prefix.length)));
    if (file !== base && !file.startsWith(base + sep)) {
      response.writeHead(403).end();
      return;
    }
    try {
      if (statSync(file).isDirectory()) file = join(file, 'index.html');
      statSync(file);
    } catch {
      response.writeHead(404, {'content-type': 'text/plain'}).end('not found');
      return;
    }
    response.writeHead(200, {'content-type': TYPES[extname(file)] || 'application/octet-stream',
      'cache-control': 'no-store'});
    createReadStream(file).pipe(response);
  });
  return new Promise((resolveServer) => {
    server.listen(port, '127.0.0.1', () => {
      resolveServer({server, origin: `http://127.0.0.1:${server.address().port}`});
    });
  });
}
