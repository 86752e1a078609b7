// The web show in a headless browser (browser.mjs: Chromium or Firefox), one scenario a run:
//   node show_test.mjs virtual_clock|canvas_readback|live|missing_picture|long_soundtrack|broken_soundtrack|
//                      no_sound_output|file_page|site_update
// Environment: SITE (the built site), NATIVE_CAPTURE (the native velmorastik-capture),
// NATIVE_DATA (a folder holding the data/ the site was built with). Every scenario also fails on
// any error the page reports in its console.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { execFileSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import { k_engine, run_scenario } from './browser.mjs';
import { native_frames, bgrx_to_rgba, k_frame_bytes } from './frames.mjs';

const k_fps = 60;
// The whole show in virtual time, as fast as the page goes: a few minutes at most.
const k_whole_show_seconds = 400;
// A frame of the first set's effect over a picture, well after the intro's fades.
const k_readback_frame = Number(process.env.READBACK_FRAME ?? 900);
// A long soundtrack must not delay the show: its first frame within this of the click (a
// soundtrack that made it wait longer than the show allows its sound, 2 s, would also leave it
// silent, which the scenario fails too). Firefox starts its audio output through the sound server,
// which alone took 130 to 620 ms at rest and up to 2 s beside a build: there the bound is the
// show's own wait and the time to draw after it...
const k_start_ms = k_engine === 'firefox' ? 2500 : 1000;
// ...nor cost the browser more than this, whatever its length (decoded whole, 45 minutes of
// stereo take about a gigabyte, as 16-bit samples half that). A play itself takes about 50 MB (the
// program's memory, the frame), and Chromium may start a process of its own with the click
// (measured: 110 to 160 MB more in some runs, none in others, with any soundtrack).
const k_memory_growth_bytes = 250 * 1024 * 1024;
// Long enough after the click for a soundtrack being decoded whole to show in the figures.
const k_watch_ms = 8000;
// Without sound output: the page's 2 s wait for the sound, then the show's start, with room for a
// busy machine.
const k_silent_start_ms = 4000;

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

// The native show's frame hashes at k_fps, from the native build's one capture of the whole show
// (NATIVE_SHOW_FRAMES: a hash a line, then its digest and "frames: N"), checked to be whole.
async function native_show_hashes() {
  const lines = (await fs.promises.readFile(process.env.NATIVE_SHOW_FRAMES, 'utf8')).trimEnd().split('\n');
  const count = Number(/^frames: (\d+)$/.exec(lines.at(-1))?.[1]);
  const hashes = lines.slice(0, -2);
  assert.equal(hashes.length, count, `${process.env.NATIVE_SHOW_FRAMES} is not whole`);
  return hashes;
}

async function virtual_clock({ page, url }) {
  const [page_hashes, expected] = await Promise.all([
    (async () => {
      await page.goto(`${url}index.html?clock=virtual&fps=${k_fps}`);
      await page.wait_for('window.showDone === true', k_whole_show_seconds, 'window.showDone');
      return page.eval('window.showFrameHashes');
    })(),
    native_show_hashes(),
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
  await page.wait_for('window.__webtest.media.some((m) => !m.paused && m.currentTime > 0)', 10, 'the soundtrack playing');
  assert.equal(await page.eval(visible_text('/click to start/i')), null, 'the start overlay is still shown after the click');
  await page.press('Escape');
  const offer = await page.wait_for(visible_text('/again/i'), 10, 'the offer to play again');
  const after_escape = await page.eval('window.__webtest.frames_drawn');
  await new Promise((resolve) => setTimeout(resolve, 500));
  assert.equal(await page.eval('window.__webtest.frames_drawn'), after_escape, 'frames are still drawn after Escape');
  assert.deepEqual(await page.eval('window.__webtest.audio_contexts.map((c) => c.state)').then((s) => s.filter((x) => x === 'running')),
    [], 'the sound still runs after Escape');
  assert.equal(await page.eval('window.__webtest.media.every((m) => m.paused)'), true, 'the soundtrack still plays after Escape');
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

// A 45-minute soundtrack: the show starts at once after the click and the browser's memory stays
// about where it was, while the soundtrack plays.
async function long_soundtrack({ page, url, browser }) {
  await page.goto(`${url}index.html`);
  const overlay = await page.wait_for(visible_text('/click to start/i'), 60, 'the "Click to start" overlay');
  // The page as loaded, once its processes have settled: the overlay may show while the program is
  // still being compiled, and what that takes is not the soundtrack's.
  const before = await browser.settled_memory_bytes();
  await page.click(overlay.x, overlay.y);
  let most = before;
  const watch_end = Date.now() + k_watch_ms;
  while (Date.now() < watch_end) {
    most = Math.max(most, browser.memory_bytes());
    await new Promise((resolve) => setTimeout(resolve, 200));
  }
  const { clicked_at, first_frame_at, frames_drawn } = await page.eval(
    '(({ clicked_at, first_frame_at, frames_drawn }) => ({ clicked_at, first_frame_at, frames_drawn }))(window.__webtest)');
  const start_ms = first_frame_at === null ? null : first_frame_at - clicked_at;
  const growth = most - before;
  const mb = (bytes) => (bytes / 1048576).toFixed(1);
  console.log(`long soundtrack: first frame ${start_ms === null ? 'never' : start_ms.toFixed(0) + ' ms'} after the click, ` +
    `${frames_drawn} frames in ${k_watch_ms / 1000} s; browser memory ${mb(before)} MB before the click, ` +
    `at most ${mb(most)} MB after (+${mb(growth)} MB)`);
  assert.ok(clicked_at !== null, 'the click did not reach the page');
  assert.ok(start_ms !== null && start_ms <= k_start_ms, `the first frame came ${start_ms?.toFixed(0)} ms after the click`);
  assert.ok(growth <= k_memory_growth_bytes, `the browser's memory grew by ${mb(growth)} MB`);
  const silent = page.console.filter((line) => /cannot be played|no sound output/.test(line));
  assert.deepEqual(silent, [], 'the show went silent');
  const playing = await page.eval(`window.__webtest.media.filter((m) => !m.paused && m.currentTime > 1)
    .map((m) => ({ at: m.currentTime, duration: m.duration }))`);
  assert.equal(playing.length, 1, `soundtracks playing: ${JSON.stringify(playing)}`);
  assert.ok(playing[0].duration > 44 * 60, `the soundtrack plays as ${playing[0].duration} s long`);
  no_errors(page);
}

// A soundtrack that looks like MP3 but that the browser cannot play: the show plays in silence and
// says why in one line, as natively.
async function broken_soundtrack({ page, url }) {
  await page.goto(`${url}index.html`);
  const overlay = await page.wait_for(visible_text('/click to start/i'), 60, 'the "Click to start" overlay');
  await page.click(overlay.x, overlay.y);
  await page.wait_for('window.__webtest.frames_drawn >= 60', 20, 'the show drawing 60 frames');
  const said = page.console.filter((line) => /soundtrack/.test(line) && /cannot be played/.test(line));
  assert.equal(said.length, 1, `lines about the soundtrack: ${JSON.stringify(said)}`);
  assert.match(said[0], /data\/sfx\/lumo\.mp3 cannot be played \(the browser cannot decode it\): the show goes on in silence/);
  assert.equal(await page.eval('window.__webtest.media.filter((m) => !m.paused).length'), 0, 'something plays');
  no_errors(page);
  console.log(`broken soundtrack: "${said[0]}"`);
}

// Where the browser never starts its sound (AudioContext's resume() never settles, as in Firefox
// without a sound server) or never readies the soundtrack's element, the show and the maker's Play
// start all the same, in silence, with the one line that says why; Escape ends them.
async function no_sound_output({ page, url }) {
  // Chosen by the address's ?stall=, which the page itself ignores.
  await page.before_load(`(() => {
    const stall = new URLSearchParams(location.search).get('stall');
    if (stall === 'context') AudioContext.prototype.resume = () => new Promise(() => {});
    if (stall === 'element') Object.defineProperty(HTMLMediaElement.prototype, 'src', { set() {}, get() { return ''; } });
  })()`);
  const silent_line = /no sound output|cannot be played/;
  const no_output = /^log: no sound output \(the browser's audio did not start in 2 s\): the show goes on in silence$/;
  // A browser with truly no sound output (NO_SOUND_SERVER: Firefox without a sound server) is
  // left as it is; elsewhere its AudioContext is made to stall.
  const real = Boolean(process.env.NO_SOUND_SERVER);
  const cases = [
    { page: real ? 'index.html' : 'index.html?stall=context', said: no_output },
    ...(real ? [] : [{ page: 'index.html?stall=element',
      said: /^log: soundtrack data\/sfx\/lumo\.mp3 cannot be played \(not ready to play after 2 s\): the show goes on in silence$/ }]),
    { page: real ? 'maker.html' : 'maker.html?stall=context', said: no_output },
  ];
  const report = [];
  for (const { page: address, said } of cases) {
    const console_before = page.console.length;
    await page.goto(`${url}${address}`);
    let start;
    if (address.startsWith('maker')) {
      await page.wait_for('window.makerReady === true', 60, 'the maker ready');
      await page.eval(`document.body.append(Object.assign(document.createElement('input'), { type: 'file', hidden: true }))`);
      await page.set_files('input[type=file][hidden]', [path.join(site, 'data/gfx/1/1.jpg')]);
      await page.eval(`velmorastikMaker.make({ pictures: [...document.querySelector('input[type=file][hidden]').files] })`);
      start = await page.eval(`(() => { const button = document.getElementById('play-button');
        button.scrollIntoView({ block: 'center' });
        const r = button.getBoundingClientRect();
        return { x: r.x + r.width / 2, y: r.y + r.height / 2 }; })()`);
    } else {
      start = await page.wait_for(visible_text('/click to start/i'), 60, 'the "Click to start" overlay');
    }
    // The maker draws its thumbnails with the same call as the show's frames: counted from here.
    const drawn = await page.eval('window.__webtest.frames_drawn');
    const clicked_at = Date.now();
    await page.click(start.x, start.y);
    await page.wait_for(`window.__webtest.frames_drawn > ${drawn}`, 20, `${address}: the show's first frame`);
    const start_ms = Date.now() - clicked_at;
    assert.ok(start_ms <= k_silent_start_ms, `${address}: the first frame came ${start_ms} ms after the click`);
    await page.wait_for(`window.__webtest.frames_drawn >= ${drawn + 60}`, 20, `${address}: the show drawing 60 frames`);
    const lines = page.console.slice(console_before).filter((line) => silent_line.test(line));
    assert.equal(lines.length, 1, `${address}: lines about the sound: ${JSON.stringify(lines)}`);
    assert.match(lines[0], said, address);
    await page.press('Escape');
    await page.wait_for(`!document.getElementById('replay').hidden`, 10, `${address}: the offer to play again after Escape`);
    report.push(`${address}: first frame ${start_ms} ms after the click, "${lines[0]}"`);
  }
  no_errors(page);
  console.log(`no sound output: ${report.join('; ')}`);
}

// Opened from the disk rather than a server, the page says that it must be served, and how.
async function file_page({ page }) {
  await page.goto(new URL(`file://${path.resolve(site)}/index.html`).href);
  const message = await page.wait_for(visible_text('/served/i'), 20, 'the page saying that it must be served');
  const all = await page.eval('document.body.innerText');
  assert.match(all, /scripts\/web --serve/, `the page does not say how to serve it: "${all}"`);
  assert.equal(await page.eval('window.__webtest.frames_drawn'), 0, 'frames were drawn');
  no_errors(page);
  console.log(`file page: "${message.text.trim()}"`);
}

// A site rebuilt while a page of it is open: the new build's worker fetches the new set into a
// cache of its own beside the old, the open page keeps getting the old build's files, and once
// that page is gone the new build alone is left.
async function site_update({ page, url, work, browser }) {
  const caches_and_notices = `Promise.all([caches.keys(), fetch('NOTICES.txt').then((r) => r.text())])`;
  const notices = path.join(work, 'site/NOTICES.txt');
  const first = fs.readFileSync(notices, 'utf8');
  await page.goto(`${url}index.html`);
  await page.wait_for(`navigator.serviceWorker.ready.then((r) => r.active.state === 'activated')`, 60, "the first build's worker");
  const [[old_cache]] = await page.eval(caches_and_notices);

  fs.appendFileSync(notices, 'The second build.\n');
  execFileSync(process.execPath, [fileURLToPath(new URL('../../scripts/lib/site_worker.mjs', import.meta.url)), path.join(work, 'site')],
    { stdio: 'ignore' });
  await page.goto(`${url}index.html`);
  await page.wait_for('navigator.serviceWorker.getRegistration().then((r) => r.waiting !== null)', 60, "the second build's worker installed");
  const [during, during_notices] = await page.eval(caches_and_notices);
  assert.equal(during.length, 2, `caches while the first build's page is open: ${during}`);
  assert.ok(during.includes(old_cache), `the first build's cache is gone while its page is open: ${during}`);
  assert.equal(during_notices, first, "the first build's page got the second build's file");

  const second = await browser.new_page();
  await page.goto('about:blank');
  await second.goto(`${url}index.html`);
  await second.wait_for('navigator.serviceWorker.getRegistration().then((r) => r.waiting === null && r.active.state === "activated")',
    60, "the second build's worker active");
  await second.goto(`${url}index.html`);
  const [after, after_notices] = await second.eval(caches_and_notices);
  assert.deepEqual(after, during.filter((name) => name !== old_cache), 'the caches once the first build is closed');
  assert.equal(after_notices, first + 'The second build.\n', "the second build's page");
  no_errors(page);
  no_errors(second);
  console.log(`site update: ${old_cache} kept while its page was open, then ${after[0]} alone`);
}

// A copy of the site without the intro's background, for missing_picture.
function site_without_picture(work) {
  const copy = path.join(work, 'site');
  fs.cpSync(site, copy, { recursive: true });
  fs.rmSync(path.join(copy, 'data/gfx/misc/tzback.jpg'));
  return copy;
}

// A copy of the site whose soundtrack lasts 45 minutes: a 20-second tone at 32 kbit/s (the
// issue's 10.8 MB), written without headers that state its length, repeated end to end.
function site_with_long_soundtrack(work) {
  const copy = path.join(work, 'site');
  fs.cpSync(site, copy, { recursive: true });
  const piece = path.join(work, 'piece.mp3');
  execFileSync('ffmpeg', ['-nostdin', '-loglevel', 'error', '-f', 'lavfi', '-i', 'sine=frequency=330:duration=20',
    '-ac', '2', '-ar', '44100', '-b:a', '32k', '-write_xing', '0', '-id3v2_version', '0', piece]);
  const bytes = fs.readFileSync(piece);
  const soundtrack = fs.openSync(path.join(copy, 'data/sfx/lumo.mp3'), 'w');
  for (let n = 0; n < 45 * 3; ++n) fs.writeSync(soundtrack, bytes);
  fs.closeSync(soundtrack);
  return copy;
}

// A copy of the site whose soundtrack is an ID3 tag's header followed by noise.
function site_with_broken_soundtrack(work) {
  const copy = path.join(work, 'site');
  fs.cpSync(site, copy, { recursive: true });
  let seed = 7;
  const noise = Buffer.from(Array.from({ length: 65536 }, () => (seed = (seed * 1103515245 + 12345) >>> 0) >>> 24));
  fs.writeFileSync(path.join(copy, 'data/sfx/lumo.mp3'), Buffer.concat([Buffer.from('ID3\x03\0\0\0\0\0\0'), noise]));
  return copy;
}

const scenarios = { virtual_clock, canvas_readback, live, missing_picture, long_soundtrack, broken_soundtrack, no_sound_output,
  file_page, site_update };
const sites = {
  missing_picture: site_without_picture,
  long_soundtrack: site_with_long_soundtrack,
  broken_soundtrack: site_with_broken_soundtrack,
  site_update: (work) => {
    fs.cpSync(site, path.join(work, 'site'), { recursive: true });
    return path.join(work, 'site');
  },
};
const name = process.argv[2];
if (!scenarios[name]) {
  console.error(`usage: show_test.mjs ${Object.keys(scenarios).join('|')}`);
  process.exit(64);
}
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorastik-web-'));
await run_scenario(name, sites[name] ? sites[name](work) : site, work, scenarios[name]);
