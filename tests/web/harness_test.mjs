// The browser tests' own tools, checked without a browser: a wrong pixel order
// here would make every frame comparison meaningless.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { bgrx_to_rgba } from './frames.mjs';
import { serve, content_type } from './serve.mjs';

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
