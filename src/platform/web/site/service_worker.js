// The site's service worker: keeps every file of one build in a cache of its own, so that both
// pages, once visited, load and work with no server. scripts/lib/site_worker.mjs bundles it into the
// built site with SITE_PRECACHE: the build's version (a hash of every file's path and bytes) and
// each file's path and SHA-256 (as a subresource-integrity string).
//
// An update is a new worker (its version changed): it fetches the whole new set, each file checked
// against its digest, into a new cache, and installs only when every file is there; it takes over
// once no page of the old build is open, and only then deletes the old caches, so that a page
// never gets one build's files from another's.
import { requested_range } from './byte_range.mjs';

const { version, files } = SITE_PRECACHE;
const k_prefix = 'velmorastik-site-';
const k_cache = k_prefix + version;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(k_cache).then((cache) => {
    // Past the HTTP cache, and refused unless each file is the build's own bytes: a server that
    // changed its site meanwhile fails the install rather than mixing two builds. addAll keeps
    // all of them or none.
    const requests = files.map(([path, integrity]) =>
      new Request(new URL(path, self.registration.scope), { cache: 'no-store', integrity }));
    return cache.addAll(requests);
  }));
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const name of await caches.keys()) {
      if (name.startsWith(k_prefix) && name !== k_cache) await caches.delete(name);
    }
    // A first visit's page, loaded from the server just now, is served from here too: a file it
    // fetches later (the maker's encoder, when music is chosen) comes with no server.
    await self.clients.claim();
  })());
});

self.addEventListener('fetch', (event) => {
  const { request } = event;
  if (request.method !== 'GET' && request.method !== 'HEAD') return;
  if (new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(answer(request));
});

// The cached file, whole or the range asked for; the network for what the build does not hold.
async function answer(request) {
  const url = new URL(request.url);
  url.search = '';
  url.hash = '';
  if (url.pathname.endsWith('/')) url.pathname += 'index.html';
  const cache = await caches.open(k_cache);
  const cached = await cache.match(url.href);
  if (!cached) return fetch(request);
  const head = request.method === 'HEAD';
  const range_header = request.headers.get('Range');
  if (!range_header) return head ? new Response(null, { status: cached.status, headers: cached.headers }) : cached;
  const body = await cached.blob();
  const range = requested_range(range_header, body.size);
  if (range === null) return head ? new Response(null, { status: cached.status, headers: cached.headers }) : cached;
  const headers = new Headers(cached.headers);
  if (range === 'unsatisfiable') {
    headers.set('Content-Range', `bytes */${body.size}`);
    headers.delete('Content-Length');
    return new Response(null, { status: 416, headers });
  }
  headers.set('Content-Range', `bytes ${range.start}-${range.end}/${body.size}`);
  headers.set('Content-Length', String(range.end - range.start + 1));
  return new Response(head ? null : body.slice(range.start, range.end + 1), { status: 206, headers });
}
