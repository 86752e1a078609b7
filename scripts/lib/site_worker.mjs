// Writes the built site's service worker (SITE/service_worker.js) from
// src/platform/web/site/service_worker.js, bundled by esbuild with the list of every file the site
// holds, each file's SHA-256, and the version: a hash of all of them, so that any changed byte
// gives a new worker and a new cache. Run by scripts/web after it writes the site, and again by
// hand after replacing files in a built site:
//   node scripts/lib/site_worker.mjs SITE
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import * as esbuild from 'esbuild';

const k_worker = 'service_worker.js';
const k_source = fileURLToPath(new URL('../../src/platform/web/site/service_worker.js', import.meta.url));

// Every regular file under site, as paths with '/', sorted, but the worker itself.
function site_files(site, folder = '') {
  const found = [];
  for (const entry of fs.readdirSync(path.join(site, folder), { withFileTypes: true })) {
    const relative = folder ? `${folder}/${entry.name}` : entry.name;
    if (entry.isDirectory()) found.push(...site_files(site, relative));
    else if (entry.isFile() && relative !== k_worker) found.push(relative);
  }
  return found.sort();
}

function precache_list(site) {
  const files = site_files(site).map((file) =>
    [file, 'sha256-' + crypto.createHash('sha256').update(fs.readFileSync(path.join(site, file))).digest('base64')]);
  const version = crypto.createHash('sha256').update(files.map(([file, digest]) => `${file} ${digest}\n`).join(''))
    .digest('hex').slice(0, 32);
  return { version, files };
}

const site = process.argv[2];
if (!site || !fs.existsSync(path.join(site, 'index.html'))) {
  console.error('usage: site_worker.mjs SITE   (SITE holds index.html)');
  process.exit(64);
}
const list = precache_list(site);
await esbuild.build({
  entryPoints: [k_source], bundle: true, minify: true, format: 'iife', target: ['chrome110', 'firefox115'],
  logLevel: 'warning', outfile: path.join(site, k_worker), define: { SITE_PRECACHE: JSON.stringify(list) },
});
console.error(`web: ${k_worker} keeps ${list.files.length} files, version ${list.version}`);
