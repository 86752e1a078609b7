// The browser tests' own tools, checked without a browser: a wrong hash or a wrong pixel order
// here would make every frame comparison meaningless.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fnv1a64, bgrx_to_rgba } from './frames.mjs';
import { serve, content_type } from './serve.mjs';

// The definition itself, in 64-bit BigInt arithmetic: slow, but plainly right.
function fnv1a64_reference(bytes) {
  let h = 14695981039346656037n;
  for (const byte of bytes) h = ((h ^ BigInt(byte)) * 1099511628211n) & 0xffffffffffffffffn;
  return h.toString(16).padStart(16, '0');
}

test('the frame hash is 64-bit FNV-1a', () => {
  assert.equal(fnv1a64(Buffer.alloc(0)), 'cbf29ce484222325', 'empty input: the offset basis');
  assert.equal(fnv1a64(Buffer.from('a')), 'af63dc4c8601ec8c');
  assert.equal(fnv1a64(Buffer.from('foobar')), '85944171f73967e8');
  // Every byte value, long runs of 0xff (the limbs' carries at their largest), and noise.
  const inputs = [Buffer.from([...Array(256).keys()]), Buffer.alloc(4096, 0xff)];
  let seed = 12345;
  inputs.push(Buffer.from(Array.from({ length: 10000 }, () => (seed = (seed * 1103515245 + 12345) >>> 0) >>> 24)));
  for (const input of inputs) assert.equal(fnv1a64(input), fnv1a64_reference(input), `${input.length} bytes`);
});

test('a frame of B, G, R, x words reads back from a canvas as R, G, B, opaque', () => {
  const frame = Buffer.from([1, 2, 3, 0, 10, 20, 30, 99]);
  assert.deepEqual([...bgrx_to_rgba(frame)], [3, 2, 1, 255, 30, 20, 10, 255]);
});

test('the server gives the site with its types, and nothing outside it', async () => {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorastik-serve-'));
  fs.mkdirSync(path.join(root, 'site/data'), { recursive: true });
  fs.writeFileSync(path.join(root, 'site/index.html'), '<p>show</p>');
  fs.writeFileSync(path.join(root, 'site/show.wasm'), Buffer.from([0, 0x61, 0x73, 0x6d]));
  fs.writeFileSync(path.join(root, 'secret.txt'), 'outside');
  const server = await serve(path.join(root, 'site'));
  try {
    const index = await fetch(server.url);
    assert.equal(index.status, 200);
    assert.equal(await index.text(), '<p>show</p>');
    const wasm = await fetch(`${server.url}show.wasm`);
    assert.equal(wasm.headers.get('content-type'), 'application/wasm');
    assert.equal((await wasm.arrayBuffer()).byteLength, 4);
    assert.equal((await fetch(`${server.url}data/gfx/misc/tzback.jpg`)).status, 404);
    assert.equal((await fetch(`${server.url}data/`)).status, 404, 'a folder without index.html');
    for (const escape of ['%2e%2e/secret.txt', '..%2fsecret.txt', 'data/..%2f..%2fsecret.txt']) {
      const response = await fetch(`${server.url}${escape}`);
      assert.notEqual(response.status, 200, `${escape} reached a file outside the site`);
    }
  } finally {
    await server.close();
    fs.rmSync(root, { recursive: true, force: true });
  }
  assert.equal(content_type('a/b.JPG'), 'image/jpeg');
  assert.equal(content_type('lumo.raw'), 'application/octet-stream');
  assert.equal(content_type('sfx/lumo.mp3'), 'audio/mpeg');
});
