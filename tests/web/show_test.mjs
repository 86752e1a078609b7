// The web show in headless Chromium, one scenario a run:
//   node show_test.mjs virtual_clock|canvas_readback|live|missing_picture
// Environment: SITE (the built site), NATIVE_CAPTURE (the native velmorastik-capture),
// NATIVE_DATA (a folder holding the data/ the site was built with). Every scenario also fails on
// any error the page reports in its console.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { Browser } from './browser.mjs';
import { serve } from './serve.mjs';
import { native_frames, native_hashes, bgrx_to_rgba, k_frame_bytes } from './frames.mjs';

const k_fps = 60;
// The whole show in virtual time, as fast as the page goes: a few minutes at most.
const k_whole_show_seconds = 400;
// A frame of the first set's effect over a picture, well after the intro's fades.
const k_readback_frame = Number(process.env.READBACK_FRAME ?? 900);

const site = process.env.SITE;
const capture = process.env.NATIVE_CAPTURE;
const data_parent = process.env.NATIVE_DATA;

// Text in a visible element, found by what it says rather than by the page's ids.
const visible_text = (pattern) => `(() => {
  const re = ${pattern};
  for (const e of document.querySelectorAll('body *')) {
    const r = e.getBoundingClientRect(), s = getComputedStyle(e);
    if (r.width > 0 && r.height > 0 && s.visibility !== 'hidden' && s.display !== 'none' && Number(s.opacity) > 0
        && re.test(e.innerText ?? '') && [...e.children].every((c) => !re.test(c.innerText ?? ''))) {
      return { text: e.innerText, x: r.x + r.width / 2, y: r.y + r.height / 2 };
    }
  }
  return null;
})()`;

function no_errors(page, allowed = () => false) {
  const errors = page.errors.filter((e) => !allowed(e));
  assert.ok(errors.length === 0, `the page reported errors:\n${errors.join('\n')}`);
}

async function virtual_clock({ page, url }) {
  const [page_hashes, expected] = await Promise.all([
    (async () => {
      await page.goto(`${url}index.html?clock=virtual&fps=${k_fps}`);
      await page.wait_for('window.showDone === true', k_whole_show_seconds, 'window.showDone');
      return page.eval('window.showFrameHashes');
    })(),
    native_hashes(capture, data_parent, k_fps),
  ]);
  assert.ok(Array.isArray(page_hashes), `showFrameHashes is ${typeof page_hashes}`);
  for (const hash of page_hashes) assert.match(hash, /^[0-9a-f]{16}$/, 'a frame hash is not 16 lower-case hex digits');
  const common = Math.min(page_hashes.length, expected.length);
  for (let i = 0; i < common; i++) {
    assert.equal(page_hashes[i], expected[i], `frame ${i} differs: page ${page_hashes[i]}, native ${expected[i]}`);
  }
  assert.equal(page_hashes.length, expected.length, `the page drew ${page_hashes.length} frames, the native show ${expected.length}`);
  assert.equal(await page.eval(`window.__webtest.audio_contexts.filter((c) => c.state === 'running').length`), 0,
    'sound plays in virtual-clock mode');
  no_errors(page);
  console.log(`virtual clock: ${page_hashes.length} frames equal the native show's`);
}

// The canvas is read back right after the page's putImageData of the chosen frame: what a person
// sees, compared with the native frame turned from B, G, R, x to R, G, B, opaque.
async function canvas_readback({ page, url }) {
  // The test mode stops after the frames asked for, the last one left on the canvas.
  await page.goto(`${url}index.html?clock=virtual&fps=${k_fps}&frames=${k_readback_frame + 1}`);
  await page.wait_for('window.showDone === true', k_whole_show_seconds, `frame ${k_readback_frame} drawn`);
  const base64 = await page.eval(`(() => {
    const canvas = document.querySelector('canvas');
    const d = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let s = '';
    for (let i = 0; i < d.length; i += 0x8000) s += String.fromCharCode(...d.subarray(i, i + 0x8000));
    return btoa(s);
  })()`);
  const canvas = Buffer.from(base64, 'base64');
  assert.equal(canvas.length, k_frame_bytes, 'the canvas is not 640x480');

  let native = null;
  await native_frames(capture, data_parent, ['--fps', String(k_fps), '--frames', String(k_readback_frame)],
    (frame) => { native = Buffer.from(frame); });
  assert.ok(native, `the capture tool wrote no frame ${k_readback_frame}`);
  // A uniform frame would let a blank canvas pass: the chosen frame must show a picture.
  const colours = new Set();
  for (let i = 0; i < native.length && colours.size < 100; i += 4 * 97) colours.add(native.readUInt32LE(i) & 0xffffff);
  assert.ok(colours.size >= 100, `frame ${k_readback_frame} has only ${colours.size} colours: choose a frame with a picture`);
  const rgba = bgrx_to_rgba(native);
  const first = canvas.findIndex((byte, i) => byte !== rgba[i]);
  if (first >= 0) {
    const pixel = first >> 2;
    assert.fail(`canvas differs from frame ${k_readback_frame} first at pixel (${pixel % 640}, ${Math.floor(pixel / 640)}):` +
      ` canvas ${[...canvas.subarray(pixel * 4, pixel * 4 + 4)]}, frame ${[...rgba.subarray(pixel * 4, pixel * 4 + 4)]}`);
  }
  no_errors(page);
  console.log(`canvas readback: frame ${k_readback_frame} equal`);
}

async function live({ page, url }) {
  await page.goto(`${url}index.html`);
  const overlay = await page.wait_for(visible_text('/click to start/i'), 60, 'the "Click to start" overlay');
  assert.equal(await page.eval('window.__webtest.frames_drawn'), 0, 'frames were drawn before the click');
  await page.click(overlay.x, overlay.y);
  await page.wait_for(`window.__webtest.audio_contexts.some((c) => c.state === 'running')`, 20, 'a running AudioContext');
  await page.wait_for('window.__webtest.frames_drawn >= 60', 20, 'the show drawing 60 frames');
  assert.equal(await page.eval(visible_text('/click to start/i')), null, 'the start overlay is still shown after the click');
  await page.press('Escape', 'Escape', 27);
  const offer = await page.wait_for(visible_text('/again/i'), 10, 'the offer to play again');
  const after_escape = await page.eval('window.__webtest.frames_drawn');
  await new Promise((resolve) => setTimeout(resolve, 500));
  assert.equal(await page.eval('window.__webtest.frames_drawn'), after_escape, 'frames are still drawn after Escape');
  assert.deepEqual(await page.eval('window.__webtest.audio_contexts.map((c) => c.state)').then((s) => s.filter((x) => x === 'running')),
    [], 'the sound still runs after Escape');
  no_errors(page);
  console.log(`live: started by a click, sound running, ${after_escape} frames, Escape offered "${offer.text.trim()}"`);
}

async function missing_picture({ page, url }) {
  const missing = 'data/gfx/misc/tzback.jpg';
  await page.goto(`${url}index.html?clock=virtual&fps=${k_fps}`);
  await page.wait_for(visible_text('/ERROR LOCATING\\.\\.\\./'), 60, 'the "ERROR LOCATING..." message');
  // The box's text and its caption (the path) may be separate elements: find the one holding both.
  const message = await page.eval(visible_text(`/ERROR LOCATING\\.\\.\\.[\\s\\S]*${missing.replaceAll('/', '\\/').replaceAll('.', '\\.')}/`));
  assert.ok(message, `the message does not name ${missing}: "${await page.eval('document.body.innerText')}"`);
  // The failed download and the message's own copy in the console are this scenario's errors;
  // nothing else may be.
  no_errors(page, (e) => e.includes('tzback.jpg'));
  console.log(`missing picture: "${message.text.trim().replace(/\s+/g, ' ')}"`);
}

// A copy of the site without the intro's background, for missing_picture.
function site_without_picture(work) {
  const copy = path.join(work, 'site');
  fs.cpSync(site, copy, { recursive: true });
  fs.rmSync(path.join(copy, 'data/gfx/misc/tzback.jpg'));
  return copy;
}

const scenarios = { virtual_clock, canvas_readback, live, missing_picture };
const name = process.argv[2];
if (!scenarios[name]) {
  console.error(`usage: show_test.mjs ${Object.keys(scenarios).join('|')}`);
  process.exit(64);
}
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorastik-web-'));
const server = await serve(name === 'missing_picture' ? site_without_picture(work) : site);
const browser = await Browser.launch();
// Stopped from outside (CTest's timeout, Ctrl-C): no browser is left running.
for (const [signal, code] of [['SIGINT', 130], ['SIGTERM', 143]]) {
  process.on(signal, async () => {
    await browser.kill();
    fs.rmSync(work, { recursive: true, force: true });
    process.exit(code);
  });
}
let status = 0;
try {
  const page = await browser.new_page();
  await scenarios[name]({ page, url: server.url });
} catch (error) {
  console.error(`FAIL ${name}: ${error.message}`);
  status = 1;
} finally {
  await browser.close();
  await server.close();
  fs.rmSync(work, { recursive: true, force: true });
}
process.exit(status);
