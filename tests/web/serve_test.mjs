// The site's server (tests/web/serve.mjs, also behind scripts/web --serve): what it refuses to
// follow or to answer, the headers every answer carries, and its end on a signal.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { serve, requested_range } from './serve.mjs';

// What "at once" means for an answer, and for the server's end after a signal.
const k_prompt_ms = 1000;

// One GET (or method) to the server with exactly these headers; fetch() would set Host itself.
// With within_ms, an answer not complete by then fails rather than waits.
function request(url, target, { method = 'GET', headers = {}, within_ms = 0 } = {}) {
  const { hostname, port } = new URL(url);
  return new Promise((resolve, reject) => {
    const outgoing = http.request({ hostname, port, path: target, method, headers, setHost: false }, (response) => {
      const parts = [];
      response.on('data', (part) => parts.push(part));
      response.on('end', () => resolve({ status: response.statusCode, headers: response.headers, body: Buffer.concat(parts) }));
    });
    outgoing.on('error', reject);
    if (within_ms) {
      const timer = setTimeout(() => {
        outgoing.destroy();
        reject(new Error(`no answer to ${target} within ${within_ms} ms`));
      }, within_ms);
      outgoing.on('close', () => clearTimeout(timer));
    }
    outgoing.end();
  });
}

// A site beside a folder and a file it must not reach, with links out of it and one inside it.
async function with_site(run) {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorastik-serve-'));
  const site = path.join(root, 'site');
  fs.mkdirSync(path.join(site, 'data/sfx'), { recursive: true });
  fs.writeFileSync(path.join(site, 'index.html'), '<p>show</p>');
  fs.writeFileSync(path.join(site, 'data/sfx/lumo.mp3'), Buffer.from([...Array(100).keys()]));
  fs.mkdirSync(path.join(root, 'outside'));
  fs.writeFileSync(path.join(root, 'outside/passwd'), 'root:x:0:0');
  fs.symlinkSync(path.join(root, 'outside'), path.join(site, 'etclink'));
  fs.symlinkSync(path.join(root, 'outside/passwd'), path.join(site, 'data/passwd'));
  fs.symlinkSync('../outside/passwd', path.join(site, 'relative-link'));
  fs.symlinkSync('sfx/lumo.mp3', path.join(site, 'data/music.mp3'));
  // The site itself reached through a link: its real folder is the one served.
  fs.symlinkSync(site, path.join(root, 'site-link'));
  const server = await serve(path.join(root, 'site-link'));
  try {
    await run(server.url, new URL(server.url).port);
  } finally {
    await server.close();
    fs.rmSync(root, { recursive: true, force: true });
  }
}

test('symbolic links out of the site are not followed; links inside it are', () => with_site(async (url, port) => {
  const host = { Host: `127.0.0.1:${port}` };
  for (const target of ['/etclink/passwd', '/data/passwd', '/relative-link', '/etclink/']) {
    const response = await request(url, target, { headers: host });
    assert.equal(response.status, 404, `${target} gave ${response.status}: ${response.body}`);
    assert.ok(!response.body.includes('root:x'), `${target} gave the file outside the site`);
  }
  const inside = await request(url, '/data/music.mp3', { headers: host });
  assert.equal(inside.status, 200, 'a link to a file inside the site');
  assert.equal(inside.body.length, 100);
  assert.equal((await request(url, '/', { headers: host })).body.toString(), '<p>show</p>');
}));

test('only requests to 127.0.0.1:PORT or localhost:PORT are answered', () => with_site(async (url, port) => {
  for (const host of [`127.0.0.1:${port}`, `localhost:${port}`, `LOCALHOST:${port}`]) {
    assert.equal((await request(url, '/index.html', { headers: { Host: host } })).status, 200, host);
  }
  // A rebinding page names its own host; a client may also name the right host on another port,
  // or none at all (which Node's server itself refuses as a bad request).
  for (const headers of [{ Host: `attacker.example:${port}` }, { Host: 'attacker.example' }, { Host: '127.0.0.1' },
    { Host: `127.0.0.1:${Number(port) + 1}` }, { Host: `localhost.attacker.example:${port}` }, {}]) {
    const response = await request(url, '/index.html', { headers });
    assert.equal(response.status, headers.Host ? 421 : 400, `Host ${headers.Host ?? '(none)'} gave ${response.status}`);
    assert.ok(!response.body.includes('show'), 'the refused answer carries the page');
  }
}));

test('every answer carries the content security policy and nosniff', () => with_site(async (url, port) => {
  const host = { Host: `localhost:${port}` };
  const answers = {
    page: await request(url, '/', { headers: host }),
    missing: await request(url, '/missing.txt', { headers: host }),
    'wrong host': await request(url, '/', { headers: { Host: 'attacker.example' } }),
    'wrong method': await request(url, '/', { method: 'POST', headers: host }),
  };
  for (const [what, response] of Object.entries(answers)) {
    assert.equal(response.headers['x-content-type-options'], 'nosniff', what);
    const policy = response.headers['content-security-policy'] ?? '';
    assert.match(policy, /(^|; )script-src 'self' 'wasm-unsafe-eval'(;|$)/, `${what}: ${policy}`);
    assert.match(policy, /(^|; )default-src 'none'(;|$)/, `${what}: ${policy}`);
    assert.doesNotMatch(policy, /unsafe-inline/, what);
  }
  assert.equal(answers['wrong method'].status, 405);
}));

test('a range of the soundtrack is served as asked, so that a player can stream it', () => with_site(async (url, port) => {
  const host = `127.0.0.1:${port}`;
  const part = await request(url, '/data/sfx/lumo.mp3', { headers: { Host: host, Range: 'bytes=10-19' } });
  assert.equal(part.status, 206);
  assert.equal(part.headers['content-range'], 'bytes 10-19/100');
  assert.deepEqual([...part.body], [10, 11, 12, 13, 14, 15, 16, 17, 18, 19]);
  const tail = await request(url, '/data/sfx/lumo.mp3', { headers: { Host: host, Range: 'bytes=-3' } });
  assert.deepEqual([...tail.body], [97, 98, 99]);
  const past = await request(url, '/data/sfx/lumo.mp3', { headers: { Host: host, Range: 'bytes=100-' } });
  assert.equal(past.status, 416);
  assert.equal(past.headers['content-range'], 'bytes */100');
  assert.deepEqual(requested_range('bytes=90-200', 100), { start: 90, end: 99 }, 'an end past the file is cut');
  assert.equal(requested_range('bytes=0-1,5-6', 100), null, 'several ranges: the whole file');
  assert.equal(requested_range('bytes=5-2', 100), null, 'an end before the start: the whole file');
  assert.equal(requested_range('bytes=0-', 0), 'unsatisfiable', 'an empty file has no first byte');
}));

// A named pipe in the site: opening it to read would wait for a writer, holding one of the few
// threads every file request shares. Each request for it is refused at once, a file is still
// served, and the server (its own process, as scripts/web --serve runs it) ends on SIGTERM or
// SIGINT within a second.
test('a named pipe is refused without holding the server, which still ends on a signal', async () => {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorastik-serve-'));
  const children = [];
  try {
    fs.writeFileSync(path.join(root, 'index.html'), '<p>show</p>');
    execFileSync('mkfifo', [path.join(root, 'f.jpg')]);
    for (const signal of ['SIGTERM', 'SIGINT']) {
      const child = spawn(process.execPath, [fileURLToPath(new URL('./serve.mjs', import.meta.url)), root],
        { stdio: ['ignore', 'pipe', 'inherit'] });
      children.push(child);
      const ended = new Promise((resolve) => child.once('exit', (code, by) => resolve({ code, by })));
      const url = await new Promise((resolve, reject) => {
        child.stdout.once('data', (text) => resolve(text.toString().trim()));
        child.once('exit', () => reject(new Error('the server ended before printing its address')));
      });
      const host = { Host: new URL(url).host };
      // More requests than libuv has threads (4), all at once.
      const pipes = await Promise.all(Array.from({ length: 6 }, () =>
        request(url, '/f.jpg', { headers: host, within_ms: k_prompt_ms })));
      assert.deepEqual(pipes.map((r) => r.status), Array(6).fill(404), 'the named pipe');
      const page = await request(url, '/index.html', { headers: host, within_ms: k_prompt_ms });
      assert.equal(page.status, 200, 'a file after the pipe');
      assert.equal(page.body.toString(), '<p>show</p>');
      const sent_at = Date.now();
      child.kill(signal);
      const timer = setTimeout(() => child.kill('SIGKILL'), k_prompt_ms);
      const { code, by } = await ended;
      clearTimeout(timer);
      assert.equal(by, null, `${signal} did not end the server within ${k_prompt_ms} ms (it took SIGKILL)`);
      assert.equal(code, 0, `the server's status after ${signal}`);
      assert.ok(Date.now() - sent_at <= k_prompt_ms, `${signal} took ${Date.now() - sent_at} ms`);
    }
  } finally {
    for (const child of children) if (child.exitCode === null && child.signalCode === null) child.kill('SIGKILL');
    fs.rmSync(root, { recursive: true, force: true });
  }
});
