// A static file server for the built site, on 127.0.0.1 and a port the system picks.
//   node serve.mjs SITE_DIR [PORT]     prints the URL, serves until interrupted
// The browser tests import serve() and stop it themselves.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

// The browser refuses to compile WebAssembly streamed with any other type than application/wasm.
const k_types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json',
  '.wasm': 'application/wasm',
  '.jpg': 'image/jpeg',
  '.jpeg': 'image/jpeg',
  '.png': 'image/png',
  '.ico': 'image/x-icon',
  '.svg': 'image/svg+xml',
  '.mp3': 'audio/mpeg',
  '.ogg': 'audio/ogg',
  '.wav': 'audio/wav',
  '.flac': 'audio/flac',
  '.txt': 'text/plain; charset=utf-8',
};

export function content_type(file) {
  return k_types[path.extname(file).toLowerCase()] ?? 'application/octet-stream';
}

// Maps a request's path to a file under root, or null when it would leave root.
export function resolve_request(root, url) {
  let pathname;
  try {
    pathname = decodeURIComponent(new URL(url, 'http://host').pathname);
  } catch {
    return null;
  }
  if (pathname.includes('\0')) return null;
  const file = path.join(root, pathname.endsWith('/') ? pathname + 'index.html' : pathname);
  const relative = path.relative(root, file);
  if (relative.startsWith('..') || path.isAbsolute(relative)) return null;
  return file;
}

// Serves root on 127.0.0.1:port (0: any free port); resolves to { url, close() }.
export function serve(root, port = 0) {
  root = path.resolve(root);
  const server = http.createServer((request, response) => {
    const file = resolve_request(root, request.url);
    if (!file || (request.method !== 'GET' && request.method !== 'HEAD')) {
      response.writeHead(file ? 405 : 400).end();
      return;
    }
    fs.stat(file, (error, stats) => {
      if (error || !stats.isFile()) {
        response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n');
        return;
      }
      // No caching: a person replacing a picture sees it on the next load.
      response.writeHead(200, {
        'Content-Type': content_type(file),
        'Content-Length': stats.size,
        'Cache-Control': 'no-store',
      });
      if (request.method === 'HEAD') { response.end(); return; }
      fs.createReadStream(file).on('error', () => response.destroy()).pipe(response);
    });
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => {
      const url = `http://127.0.0.1:${server.address().port}/`;
      resolve({ url, close: () => new Promise((done) => { server.closeAllConnections(); server.close(done); }) });
    });
  });
}

if (process.argv[1] && fileURLToPath(import.meta.url) === path.resolve(process.argv[1])) {
  const [root, port] = process.argv.slice(2);
  if (!root || !fs.existsSync(path.join(root, 'index.html'))) {
    console.error('usage: serve.mjs SITE_DIR [PORT]   (SITE_DIR holds index.html)');
    process.exit(64);
  }
  const { url } = await serve(root, Number(port ?? 0));
  console.log(url);
  for (const signal of ['SIGINT', 'SIGTERM']) process.on(signal, () => process.exit(0));
}
