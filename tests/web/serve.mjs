// A static file server for the built site, on 127.0.0.1 and a port the system picks.
//   node serve.mjs SITE_DIR [PORT]     prints the URL, serves until SIGINT or SIGTERM
// The browser tests import serve() and stop it themselves. It answers only requests addressed to
// it by its own name (127.0.0.1:PORT or localhost:PORT), so that a page on another name that
// resolves here (DNS rebinding) cannot read the site, and it serves only regular files whose real
// path is inside the site's real folder: a symbolic link out of the site is not followed, and a
// folder, a named pipe or a device is not found.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { requested_range } from '../../src/platform/web/site/byte_range.mjs';

export { requested_range };

// The browser refuses to compile WebAssembly streamed with any other type than application/wasm.
const k_types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json',
  '.webmanifest': 'application/manifest+json',
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

// The page's scripts and styles are its own files, never inline; the program is WebAssembly,
// which the browser compiles only with 'wasm-unsafe-eval'. The maker's encoder and the service
// worker that keeps the site offline are the site's own scripts, as is the manifest that lets a
// browser install it. A test's own page may have an empty data: URL for its icon.
export const k_content_security_policy = [
  "default-src 'none'", "script-src 'self' 'wasm-unsafe-eval'", "worker-src 'self'", "style-src 'self'",
  "img-src 'self' data:", "media-src 'self'", "connect-src 'self'", "manifest-src 'self'", "base-uri 'none'",
  "form-action 'none'", "frame-ancestors 'none'",
].join('; ');

// On every answer, errors too. No HTTP caching: a person replacing a picture sees it on the next
// load (once the site's worker is rewritten for it, where a browser keeps the site offline).
const k_headers = {
  'Content-Security-Policy': k_content_security_policy,
  'X-Content-Type-Options': 'nosniff',
  'Cache-Control': 'no-store',
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

// The real path of file when it is a regular file inside real_root, else null.
async function open_inside(real_root, file) {
  let real;
  try {
    real = await fs.promises.realpath(file);
  } catch {
    return null;
  }
  const relative = path.relative(real_root, real);
  if (relative.startsWith('..') || path.isAbsolute(relative)) return null;
  let handle;
  try {
    // The real path has no link in it; one put there meanwhile is refused, not followed. A named
    // pipe opened to read would wait for a writer, holding one of the few threads every file
    // request shares (and the process's exit, which waits for them): opened without waiting,
    // it is refused below like a folder or a device.
    handle = await fs.promises.open(real, fs.constants.O_RDONLY | fs.constants.O_NOFOLLOW | fs.constants.O_NONBLOCK);
    const stats = await handle.stat();
    if (stats.isFile()) return { handle, size: stats.size, real };
  } catch { /* gone or unreadable meanwhile */ }
  await handle?.close();
  return null;
}

// How long a signalled server may take to close its connections before it exits regardless.
const k_stop_ms = 500;

function answer(response, status, text, headers = {}) {
  response.writeHead(status, { ...k_headers, 'Content-Type': 'text/plain; charset=utf-8', ...headers }).end(text + '\n');
}

// Serves root on 127.0.0.1:port (0: any free port); resolves to { url, close() }.
export function serve(root, port = 0) {
  const real_root = fs.realpathSync(root);
  let hosts = [];
  const server = http.createServer(async (request, response) => {
    if (!hosts.includes((request.headers.host ?? '').toLowerCase())) {
      answer(response, 421, 'this server answers only to ' + hosts.join(' or '));
      return;
    }
    if (request.method !== 'GET' && request.method !== 'HEAD') {
      answer(response, 405, 'method not allowed', { Allow: 'GET, HEAD' });
      return;
    }
    const file = resolve_request(real_root, request.url);
    const opened = file && await open_inside(real_root, file);
    if (!opened) {
      answer(response, file ? 404 : 400, file ? 'not found' : 'bad request');
      return;
    }
    const { handle, size, real } = opened;
    const range = requested_range(request.headers.range, size);
    if (range === 'unsatisfiable') {
      await handle.close();
      answer(response, 416, 'range not satisfiable', { 'Content-Range': `bytes */${size}` });
      return;
    }
    const { start, end } = range ?? { start: 0, end: size - 1 };
    response.writeHead(range ? 206 : 200, {
      ...k_headers,
      'Content-Type': content_type(real),
      'Content-Length': end - start + 1,
      'Accept-Ranges': 'bytes',
      ...(range ? { 'Content-Range': `bytes ${start}-${end}/${size}` } : {}),
    });
    if (request.method === 'HEAD' || size === 0) {
      await handle.close();
      response.end();
      return;
    }
    handle.createReadStream({ start, end }).on('error', () => response.destroy()).pipe(response);
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => {
      const { port: bound } = server.address();
      hosts = [`127.0.0.1:${bound}`, `localhost:${bound}`];
      const url = `http://127.0.0.1:${bound}/`;
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
  const server = await serve(root, Number(port ?? 0));
  console.log(server.url);
  // Ends within a second whatever is in flight: the connections closed, or the time up.
  for (const signal of ['SIGINT', 'SIGTERM']) {
    process.on(signal, () => {
      setTimeout(() => process.exit(0), k_stop_ms).unref();
      server.close().then(() => process.exit(0));
    });
  }
}
