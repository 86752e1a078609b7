// The maker's page in headless Chromium or Firefox, one scenario a run:
//   node maker_test.mjs pictures|set_plays|fit_quality|heic|hostile|music_refused|no_webcodecs|offline|phone
// Environment: SITE (the built site), NATIVE_CAPTURE (the native velmorastik-capture),
// NATIVE_IMPORT (the native velmorastik-import). The inputs are made here with ImageMagick; the
// sets the page exports are unzipped and decoded natively. Every scenario also fails on any error
// the page reports in its console.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { execFileSync, spawnSync } from 'node:child_process';
import { run_scenario } from './browser.mjs';
import { native_hashes } from './frames.mjs';
import { encode_heic, heic_file, wide_gamut_profile } from './heif_files.mjs';
import { serve } from './serve.mjs';

const site = process.env.SITE;
const capture = process.env.NATIVE_CAPTURE;
const importer = process.env.NATIVE_IMPORT;

// The show's places under data/, in order, and all its files, from the show's own table.
const k_table = fs.readFileSync(new URL('../../src/show/data_set.txt', import.meta.url), 'utf8')
  .split('\n').map((row) => /^([a-z]+) +(.+)$/.exec(row)).filter(Boolean);
const k_places = k_table.filter(([, kind]) => kind === 'picture').map(([, , file]) => file);
const k_set_files = k_table.map(([, , file]) => file).sort();
// Enough of the show, in virtual time, to reach the first set's effect over its first picture.
const k_played_frames = 901;
// Frames of the show played offline, from the site's set and from the maker's.
const k_offline_frames = 300;
// The maker loaded from the browser's cache is ready within this of the navigation's start (its
// aim is a second; this leaves room for a busy machine).
const k_offline_ready_ms = 3000;
// JPEG at quality 92 moves a flat colour by a few levels.
const k_jpeg_slack = 6;
// The maker's fitting against libvips' (both Lanczos-3 after a box reduction, a JPEG scaled by the
// browser's decoder, or averaged where it resamples, against libjpeg's scaling), mean absolute
// difference per channel, in levels of 255 (at most 1.14 measured in either engine).
const k_fit_mean_difference = 1.5;
// The same for HEIC, decoded by the same libheif and libde265 and converted by the same lcms2 as
// the import's, for each picture of the HEIC scenario: a flat picture turned differs by nothing
// but rounding, a photo's fine detail by the fitting's, a gradient in a wide gamut by the colour
// conversion's (libvips converts after shrinking, the maker before).
const k_heic_mean_difference = { 'turned.heic': 0.25, 'grid.heic': 1.5, 'wide.heic': 0.75 };

const magick = (...args) => execFileSync('convert', args);

// EXIF orientation: an APP1 segment put right after the JPEG's SOI, holding one tag.
function with_orientation(jpeg, orientation) {
  const tiff = Buffer.from([0x49, 0x49, 0x2a, 0x00, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0,
    orientation, 0, 0, 0, 0, 0, 0, 0, 0, 0]);
  const body = Buffer.concat([Buffer.from('Exif\0\0', 'latin1'), tiff]);
  const length = Buffer.from([0, 0]);
  length.writeUInt16BE(body.length + 2);
  return Buffer.concat([jpeg.subarray(0, 2), Buffer.from([0xff, 0xe1]), length, body, jpeg.subarray(2)]);
}

// A file's pixels as RGB bytes, decoded by ImageMagick.
function rgb_of(file) {
  const size = execFileSync('identify', ['-format', '%w %h', file]).toString().split(' ').map(Number);
  return { width: size[0], height: size[1], rgb: execFileSync('convert', [file, '-depth', '8', 'rgb:-']) };
}

function pixel(image, x, y) {
  const i = (y * image.width + x) * 3;
  return [image.rgb[i], image.rgb[i + 1], image.rgb[i + 2]];
}

function assert_colour(image, x, y, expected, what) {
  const got = pixel(image, x, y);
  assert.ok(got.every((v, c) => Math.abs(v - expected[c]) <= k_jpeg_slack),
    `${what}: pixel (${x}, ${y}) is ${got}, expected about ${expected}`);
}

// Text in the page's console that counts as an error, but for what a scenario expects.
function no_errors(page) {
  assert.ok(page.errors.length === 0, `the page reported errors:\n${page.errors.join('\n')}`);
}

// Calls velmorastikMaker.make with the files as pictures (and a texture, music, its start, a fit);
// resolves to the notes.
async function make(page, pictures, { fit = 'contain', texture = null, music = null, music_start = 0 } = {}) {
  await page.eval(`(() => {
    for (const id of ['test-pictures', 'test-texture', 'test-music']) {
      if (document.getElementById(id)) continue;
      const input = Object.assign(document.createElement('input'), { type: 'file', id, multiple: true, hidden: true });
      document.body.append(input);
    }
  })()`);
  await page.set_files('#test-pictures', pictures);
  if (texture) await page.set_files('#test-texture', [texture]);
  if (music) await page.set_files('#test-music', [music]);
  return page.eval(`velmorastikMaker.make({ pictures: [...document.getElementById('test-pictures').files],
    fit: ${JSON.stringify(fit)}, texture: ${texture ? "document.getElementById('test-texture').files[0]" : 'null'},
    music: ${music ? "document.getElementById('test-music').files[0]" : 'null'}, musicStart: ${String(music_start)} })`);
}

// The exported set, unzipped into a new folder under work; resolves to that folder (holding data/).
async function export_set(page, work) {
  const base64 = await page.eval(`velmorastikMaker.exportDataSet().then(async (blob) => {
    const bytes = new Uint8Array(await blob.arrayBuffer());
    let s = '';
    for (let i = 0; i < bytes.length; i += 0x8000) s += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    return btoa(s);
  })`);
  const folder = fs.mkdtempSync(path.join(work, 'set-'));
  const zip = path.join(folder, 'set.zip');
  fs.writeFileSync(zip, Buffer.from(base64, 'base64'));
  execFileSync('unzip', ['-q', zip, '-d', folder]);
  fs.rmSync(zip);
  const listed = [];
  const walk = (dir, prefix) => {
    for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
      if (entry.isDirectory()) walk(path.join(dir, entry.name), prefix + entry.name + '/');
      else listed.push(prefix + entry.name);
    }
  };
  walk(path.join(folder, 'data'), '');
  assert.deepEqual(listed.sort(), k_set_files, 'the zip does not hold data/ as the import writes it');
  return folder;
}

async function open_maker(page, url, query = '') {
  await page.goto(`${url}maker.html${query}`);
  await page.wait_for('window.makerReady === true', 60, 'the maker ready');
}

// Pictures through the page's picker and the interface: orientation, fits, transparency, the
// import's rules for fewer or more than twelve, and files the browser cannot use left out by name.
async function pictures({ page, url, work }) {
  const file = (name) => path.join(work, name);
  // 4000x3000 as stored, a red marker at its stored top-left corner; orientation 6 turns it a
  // quarter clockwise, so that upright it is 3000x4000 with the marker at the top right.
  magick('-size', '4000x3000', 'xc:rgb(128,128,128)', '-fill', 'rgb(255,0,0)', '-draw', 'rectangle 0,0 399,399',
    '-quality', '95', file('plain.jpg'));
  // Followed by 60 MB that no decoder reads, as some cameras pad their files: the maker's module grows
  // its memory to measure it.
  fs.writeFileSync(file('turned.jpg'), Buffer.concat([with_orientation(fs.readFileSync(file('plain.jpg')), 6), Buffer.alloc(60 << 20)]));
  // Transparent red on the left (must come out black, not red), half-transparent white on the right.
  magick('-size', '400x300', 'xc:rgba(255,0,0,0)', '-fill', 'rgba(255,255,255,0.5)', '-draw', 'rectangle 200,0 399,299',
    file('alpha.png'));
  const whole = fs.readFileSync(file('plain.jpg'));
  fs.writeFileSync(file('cut.jpg'), whole.subarray(0, Math.floor(whole.length / 2)));
  fs.writeFileSync(file('notes.png'), 'not a picture at all, whatever its name says\n');

  await open_maker(page, url);
  // Through the picker, as a person chooses them: the two broken files named and left out.
  await page.set_files('#picture-input', [file('turned.jpg'), file('cut.jpg'), file('notes.png'), file('alpha.png')]);
  await page.wait_for(`document.querySelectorAll('#picture-list li').length === 2 && document.getElementById('status').textContent === ''`,
    60, 'two pictures in the list');
  const shown = await page.eval(`[...document.querySelectorAll('#notes li, #order-notes li')].map((li) => li.textContent)`);
  assert.ok(shown.some((n) => /^cut\.jpg: .*cut short.*left out$/.test(n)), `no note on cut.jpg: ${JSON.stringify(shown)}`);
  assert.ok(shown.some((n) => /^notes\.png: not a picture the maker takes \(.*\): left out$/.test(n)),
    `no note on notes.png: ${JSON.stringify(shown)}`);
  assert.ok(shown.includes("2 pictures for the show's 12 places: reused in order"), `notes: ${JSON.stringify(shown)}`);
  // The places say what the show draws: the effect over the intro and the first set's first four.
  const labels = await page.eval(`[...document.querySelectorAll('#place-strip li span')].map((s) => s.textContent)`);
  assert.deepEqual(labels.flatMap((label, place) => (/with the effect$/.test(label) ? [place] : [])), [0, 1, 2, 3, 4],
    `the places' labels: ${JSON.stringify(labels)}`);
  // The keyboard moves the first picture after the second.
  await page.eval(`document.querySelector('#picture-list li').focus()`);
  await page.press('ArrowRight');
  const order = await page.eval(`[...document.querySelectorAll('#picture-list li .name')].map((p) => p.textContent)`);
  assert.deepEqual(order, ['alpha.png', 'turned.jpg'], 'ArrowRight did not move the picture');
  assert.equal(await page.eval('document.activeElement.querySelector(".name")?.textContent'), 'turned.jpg',
    'the moved picture lost the focus');

  let set = await export_set(page, work);
  const intro = rgb_of(path.join(set, 'data', k_places[0]));
  assert.equal(`${intro.width}x${intro.height}`, '640x480');
  assert_colour(intro, 100, 240, [0, 0, 0], 'transparent red over black');
  assert_colour(intro, 540, 240, [128, 128, 128], 'half-transparent white over black');
  // Contain: 3000x4000 upright is 360x480 at x 140; the marker is its top right 48x48.
  const upright = rgb_of(path.join(set, 'data', k_places[1]));
  assert_colour(upright, 476, 24, [255, 0, 0], 'the marker, upright');
  assert_colour(upright, 164, 24, [128, 128, 128], 'the top left, upright');
  assert_colour(upright, 476, 456, [128, 128, 128], 'the bottom right, upright');
  assert_colour(upright, 70, 240, [0, 0, 0], 'the bar on the left');
  assert.deepEqual(fs.readFileSync(path.join(set, 'data', k_places[2])), fs.readFileSync(path.join(set, 'data', k_places[0])),
    'the third place is not the first picture again');

  // A portrait picture, red in its top quarter, green in its middle half, blue in its bottom quarter,
  // under both fits.
  magick('-size', '600x300', 'xc:rgb(255,0,0)', '-size', '600x600', 'xc:rgb(0,255,0)', '-size', '600x300', 'xc:rgb(0,0,255)',
    '-append', '+repage', file('portrait.png'));
  assert.deepEqual(await make(page, [file('portrait.png')], { fit: 'contain' }),
    ["1 picture for the show's 12 places: reused in order"]);
  set = await export_set(page, work);
  let fitted = rgb_of(path.join(set, 'data', k_places[0]));
  // 600x1200 in 480 rows: 240 wide at x 200.
  assert_colour(fitted, 320, 40, [255, 0, 0], 'contain: the top quarter');
  assert_colour(fitted, 320, 240, [0, 255, 0], 'contain: the middle half');
  assert_colour(fitted, 320, 440, [0, 0, 255], 'contain: the bottom quarter');
  assert_colour(fitted, 190, 240, [0, 0, 0], 'contain: the bar on the left');
  assert_colour(fitted, 450, 240, [0, 0, 0], 'contain: the bar on the right');
  await make(page, [file('portrait.png')], { fit: 'cover' });
  set = await export_set(page, work);
  fitted = rgb_of(path.join(set, 'data', k_places[0]));
  // 640x1280, its rows 400 to 879 kept (the picture's 375 to 824): green from edge to edge.
  for (const [x, y] of [[2, 2], [637, 2], [320, 240], [2, 477], [637, 477]]) {
    assert_colour(fitted, x, y, [0, 255, 0], 'cover: the frame');
  }

  // Flat pictures of fourteen colours: five fill the twelve places in turn, fourteen leave two out.
  // Away from the gamut's edges, where YCbCr's rounding moves a flat colour the most.
  const colours = Array.from({ length: 14 }, (_, n) => [40 + (n * 37) % 176, 40 + (n * 91) % 176, 40 + (n * 53) % 176]);
  const flats = colours.map((c, n) => {
    const name = file(`flat-${String(n + 1).padStart(2, '0')}.png`);
    magick('-size', '320x240', `xc:rgb(${c.join(',')})`, name);
    return name;
  });
  assert.deepEqual(await make(page, flats.slice(0, 5)), ["5 pictures for the show's 12 places: reused in order"]);
  set = await export_set(page, work);
  k_places.forEach((place, n) => assert_colour(rgb_of(path.join(set, 'data', place)), 320, 240, colours[n % 5], `5 pictures, ${place}`));
  assert.deepEqual(await make(page, flats), ['left out (the show has 12 places): flat-13.png',
    'left out (the show has 12 places): flat-14.png']);
  set = await export_set(page, work);
  k_places.forEach((place, n) => assert_colour(rgb_of(path.join(set, 'data', place)), 320, 240, colours[n], `14 pictures, ${place}`));
  // Those left out are listed but not fitted (their thumbnails empty) until one is moved into a place.
  const fitted_thumbnails = () => page.eval(`[...document.querySelectorAll('#picture-list .picture canvas')].map((c) =>
    c.getContext('2d').getImageData(c.width >> 1, c.height >> 1, 1, 1).data[3] === 255)`);
  assert.deepEqual(await fitted_thumbnails(), [...Array(12).fill(true), false, false], 'the thumbnails with two left out');
  await page.eval(`document.querySelectorAll('#picture-list .picture')[12].focus()`);
  await page.press('ArrowLeft');
  await page.wait_for(`document.querySelector('#picture-list .picture:nth-child(12) .name').textContent === 'flat-13.png' &&
    document.querySelector('#picture-list .picture:nth-child(12) canvas').getContext('2d').getImageData(40, 30, 1, 1).data[3] === 255`,
  30, 'flat-13.png fitted once moved into the last place');
  set = await export_set(page, work);
  assert_colour(rgb_of(path.join(set, 'data', k_places[11])), 320, 240, colours[12], 'flat-13.png moved into the last place');

  // Play, clicked as a person does: the show runs in the page with its sound, from memory; Escape
  // ends it, and the page offers to play again or to go back.
  const play = await page.eval(`(() => { const button = document.getElementById('play-button');
    button.scrollIntoView({ block: 'center' });
    const r = button.getBoundingClientRect();
    return { x: r.x + r.width / 2, y: r.y + r.height / 2 }; })()`);
  await page.click(play.x, play.y);
  await page.wait_for('window.__webtest.frames_drawn >= 60', 30, 'the show drawing 60 frames');
  await page.wait_for(`window.__webtest.audio_contexts.some((c) => c.state === 'running')`, 10, 'a running AudioContext');
  const silent = page.console.filter((line) => /cannot be played|no sound output/.test(line));
  assert.deepEqual(silent, [], 'the show went silent');
  await page.press('Escape');
  await page.wait_for(`!document.getElementById('replay').hidden && !document.getElementById('back-button').hidden`, 10,
    '"Play again" and "Back to the maker"');
  await page.eval(`document.getElementById('back-button').click()`);
  assert.equal(await page.eval(`document.getElementById('stage').hidden`), true, 'the show still covers the maker');
  no_errors(page);
  console.log('pictures: upright by EXIF, both fits, alpha over black, 2/5/14 pictures, 2 broken files left out: ' +
    JSON.stringify(shown));
}

// The exported set plays natively to the show's end without a word on stderr; Play shows the same
// set in the page, frame for frame the native show's; and nothing is fetched after the page loaded.
async function set_plays({ page, url, work }) {
  const file = (name) => path.join(work, name);
  magick('-size', '1600x1200', 'plasma:red-blue', '-seed', '3', file('a.jpg'));
  magick('-size', '1200x1600', 'gradient:yellow-purple', file('b.png'));
  magick('-size', '900x600', 'xc:rgb(30,160,90)', '-fill', 'white', '-draw', 'circle 450,300 450,100', file('c.webp'));
  magick('-size', '500x500', 'pattern:checkerboard', file('texture.png'));

  const requests = [];
  page.on_request((address) => requests.push(address));
  await open_maker(page, url, `?clock=virtual&fps=60&frames=${k_played_frames}`);
  const loaded = requests.length;
  assert.deepEqual(await make(page, [file('a.jpg'), file('b.png'), file('c.webp')], { texture: file('texture.png') }),
    ["3 pictures for the show's 12 places: reused in order"]);
  const set = await export_set(page, work);
  assert.equal(fs.statSync(path.join(set, 'data/lumo.raw')).size, 196608, 'the texture is not 256x256 RGB');

  const run = spawnSync(capture, ['--raw', '/dev/null', '-C', set], { encoding: 'utf8', timeout: 300000 });
  assert.equal(run.status, 0, `the capture ended with ${run.status}: ${run.stderr}`);
  const show_frames = await page.eval('velmorastikMaker.showFacts.frame_count(60)');
  assert.equal(run.stdout.trim(), `frames: ${show_frames}`, 'the capture did not play the whole show the page counts');
  assert.equal(run.stderr, '', 'the capture said something on stderr');

  await page.eval('velmorastikMaker.play()');
  await page.wait_for('window.showDone === true', 300, 'the show played in the page');
  const played = await page.eval('window.showFrameHashes');
  const native = native_hashes(capture, set, ['--fps', '60', '--frames', `0-${k_played_frames - 1}`]);
  assert.equal(played.length, k_played_frames, `the page played ${played.length} frames`);
  for (let i = 0; i < native.length; i++) assert.equal(played[i], native[i], `frame ${i} differs from the native show's`);
  // A data: address reaches no network (Firefox reports one for a font of its own as a request).
  const after = requests.slice(loaded).filter((r) => !r.startsWith('data:'));
  assert.deepEqual(after, [], 'the maker asked the network for more after it loaded');
  assert.ok(requests.every((r) => r.startsWith(url) || r.startsWith('data:')), `requests elsewhere: ${requests}`);
  no_errors(page);
  console.log(`set plays: the capture printed "${run.stdout.trim()}" with an empty stderr; ${k_played_frames} frames ` +
    `played in the page equal the native ones; ${loaded} requests while loading, none after`);
}

// The maker's fitted pictures beside velmorastik-import's of the same photos.
async function fit_quality({ page, url, work }) {
  const file = (name) => path.join(work, name);
  const photos = {
    'plasma.jpg': ['-size', '4000x3000', 'plasma:fractal', '-seed', '11', '-blur', '0x1'],
    // One-pixel checks: any aliasing in the reduction shows as a pattern.
    'checks.png': ['-size', '4000x3000', 'pattern:gray50'],
    'portrait.jpg': ['-size', '3000x4000', 'gradient:navy-orange', '-fill', 'white', '-draw', 'circle 1500,2000 1500,1000'],
  };
  for (const [name, args] of Object.entries(photos)) magick(...args, file(name));
  const inputs = Object.keys(photos).map(file);
  const native_dir = path.join(work, 'native');
  execFileSync(importer, [native_dir, ...inputs], { stdio: ['ignore', 'ignore', 'pipe'] });

  await open_maker(page, url);
  await make(page, inputs);
  const set = await export_set(page, work);
  const report = [];
  Object.keys(photos).forEach((name, n) => report.push(compare_fits(set, native_dir, n, name, k_fit_mean_difference)));
  no_errors(page);
  console.log(`fit quality, mean absolute difference per channel (R / G / B) from velmorastik-import: ${report.join('; ')}`);
}

// The maker's fit at place n of the set beside the import's in native_dir: asserts that no
// channel differs by more than limit on average; returns "name: R / G / B", those averages.
function compare_fits(set, native_dir, n, name, limit) {
  const ours = rgb_of(path.join(set, 'data', k_places[n]));
  const theirs = rgb_of(path.join(native_dir, 'data', k_places[n]));
  const sums = [0, 0, 0];
  for (let i = 0; i < ours.rgb.length; i++) sums[i % 3] += Math.abs(ours.rgb[i] - theirs.rgb[i]);
  const means = sums.map((s) => s / (ours.rgb.length / 3));
  for (const mean of means) {
    assert.ok(mean <= limit, `${name}: the maker's fit differs from the import's by ${mean.toFixed(2)} on average`);
  }
  return `${name}: ${means.map((m) => m.toFixed(2)).join(' / ')}`;
}

// HEIC, which neither Chromium nor Firefox decodes: the maker's HEIF module. A picture turned by
// its irot, a grid of 512x512 tiles cut to its size (as a phone writes them), one in a wide-gamut
// colour profile, each beside velmorastik-import's fit of the same file; one cut short named and
// left out.
async function heic({ page, url, work }) {
  const file = (name) => path.join(work, name);
  // 1024x768 stored, a red marker at its stored top-left corner; irot 1 turns it a quarter
  // counter-clockwise, so that upright it is 768x1024 with the marker at the bottom left.
  magick('-size', '1024x768', 'xc:rgb(128,128,128)', '-fill', 'rgb(255,0,0)', '-draw', 'rectangle 0,0 127,127', file('marked.png'));
  fs.writeFileSync(file('turned.heic'), heic_file({ width: 1024, height: 768, files: [encode_heic(file('marked.png'), work)], quarter: 1 }));
  // 1200x900, a blue marker at its top right, in 3x2 tiles whose last column and row the grid cuts.
  magick('-size', '1200x900', 'plasma:fractal', '-seed', '5', '-fill', 'rgb(0,0,255)', '-draw', 'rectangle 1100,0 1199,99',
    '-background', 'black', '-extent', '1536x1024', '-crop', '512x512', '+repage', file('tile-%d.png'));
  const tiles = [0, 1, 2, 3, 4, 5].map((n) => encode_heic(file(`tile-${n}.png`), work));
  fs.writeFileSync(file('grid.heic'), heic_file({ width: 1200, height: 900, files: tiles, columns: 3 }));
  fs.writeFileSync(file('wide.icc'), wide_gamut_profile());
  magick('-size', '1024x768', 'gradient:rgb(250,30,20)-rgb(20,240,60)', '-profile', file('wide.icc'), file('wide.png'));
  fs.writeFileSync(file('wide.heic'), heic_file({ width: 1024, height: 768, files: [encode_heic(file('wide.png'), work)] }));
  const whole = fs.readFileSync(file('grid.heic'));
  fs.writeFileSync(file('cut.heic'), whole.subarray(0, Math.floor(whole.length / 2)));
  const names = Object.keys(k_heic_mean_difference);
  const native_dir = path.join(work, 'native');
  execFileSync(importer, [native_dir, ...names.map(file)], { stdio: ['ignore', 'ignore', 'pipe'] });

  await open_maker(page, url);
  const notes = await make(page, [...names, 'cut.heic'].map(file));
  assert.ok(notes.some((n) => /^cut\.heic: a HEIF file cut short: .+: left out$/.test(n)), `no note on cut.heic: ${JSON.stringify(notes)}`);
  assert.ok(notes.includes("3 pictures for the show's 12 places: reused in order"), `notes: ${JSON.stringify(notes)}`);
  const set = await export_set(page, work);
  // Contain: 768x1024 upright is 360x480 at x 140; the marker is its bottom left 45x60.
  const upright = rgb_of(path.join(set, 'data', k_places[0]));
  assert_colour(upright, 160, 460, [255, 0, 0], 'the marker, upright');
  assert_colour(upright, 160, 20, [128, 128, 128], 'the top left, upright');
  assert_colour(upright, 480, 460, [128, 128, 128], 'the bottom right, upright');
  assert_colour(upright, 70, 240, [0, 0, 0], 'the bar on the left');
  // The grid, 4:3, fills the frame: its marker is the top right 53x53.
  assert_colour(rgb_of(path.join(set, 'data', k_places[1])), 620, 20, [0, 0, 255], "the grid's marker");
  const report = names.map((name, n) => compare_fits(set, native_dir, n, name, k_heic_mean_difference[name]));

  // A phone's 12 megapixels (4000x3000 in 8x6 tiles, the same one): the tab's memory (its
  // processes' PSS) grows by at most 300 MB while the picture is decoded and fitted.
  fs.writeFileSync(file('photo.heic'), heic_file({ width: 4000, height: 3000, files: Array(48).fill(tiles[0]), columns: 8 }));
  const before = await page.browser.settled_memory_bytes();
  let peak = before;
  const sampler = setInterval(() => { peak = Math.max(peak, page.browser.memory_bytes()); }, 50);
  const start = performance.now();
  try {
    assert.deepEqual(await make(page, [file('photo.heic')]), ["1 picture for the show's 12 places: reused in order"]);
  } finally {
    clearInterval(sampler);
  }
  const seconds = (performance.now() - start) / 1000;
  const grown = (Math.max(peak, page.browser.memory_bytes()) - before) / 2 ** 20;
  assert.ok(grown <= 300, `12 megapixels of HEIC: the tab grew by ${grown.toFixed(0)} MB`);
  no_errors(page);
  console.log(`HEIC: ${notes.filter((n) => n.startsWith('cut.heic')).join('')}; mean absolute difference per ` +
    `channel (R / G / B) from velmorastik-import: ${report.join('; ')}; 12 megapixels fitted in ` +
    `${seconds.toFixed(2)} s, the tab grown by ${grown.toFixed(0)} MB`);
}

// A JPEG's segments: where the first of the given marker starts, past its start-of-image.
function marker_at(jpeg, kind) {
  for (let i = 2; i + 3 < jpeg.length; i += 2 + jpeg.readUInt16BE(i + 2)) if (jpeg[i + 1] === kind) return i;
  throw new Error(`no marker ${kind.toString(16)}`);
}

// Files made to get past a size check that does not read what the decoder reads: each refused
// from its header within 2 s, the tab's memory (its processes' PSS) growing by at most 300 MB.
async function hostile({ page, url, work }) {
  const file = (name) => path.join(work, name);
  magick('-size', '64x48', 'plasma:', '-seed', '2', '-interlace', 'JPEG', file('small.jpg'));
  const small = fs.readFileSync(file('small.jpg'));
  const frame = marker_at(small, 0xc2);
  const huge = Buffer.from(small);
  huge.writeUInt16BE(23000, frame + 5);
  huge.writeUInt16BE(23000, frame + 7);
  // One stray byte before the frame header, which libjpeg and the browsers skip.
  fs.writeFileSync(file('stray.jpg'), Buffer.concat([huge.subarray(0, frame), Buffer.from([0x2a]), huge.subarray(frame)]));
  // The real frame header, then a small one near the end, which no decoder reaches.
  const fake = Buffer.from(small.subarray(frame, frame + 2 + small.readUInt16BE(frame + 2)));
  fake.writeUInt16BE(100, 5);
  fake.writeUInt16BE(100, 7);
  fs.writeFileSync(file('second.jpg'), Buffer.concat([huge.subarray(0, huge.length - 2), fake, huge.subarray(huge.length - 2)]));
  // A 1x1 canvas whose first frame is 20000x20000.
  const le16 = (n) => [n & 255, n >> 8];
  fs.writeFileSync(file('frames.gif'), Buffer.from([...Buffer.from('GIF89a'), ...le16(1), ...le16(1), 0x80, 0, 0,
    0, 0, 0, 255, 255, 255, 0x2c, ...le16(0), ...le16(0), ...le16(20000), ...le16(20000), 0, 2, 2, 0x44, 0x01, 0, 0x3b]));
  magick('-size', '320x240', 'xc:rgb(40,90,160)', file('good.png'));

  await open_maker(page, url);
  const cases = [
    ['stray.jpg', [file('stray.jpg')], null, 'stray.jpg: 23000x23000 pixels is over the limit of 200 megapixels: left out'],
    ['second.jpg', [file('second.jpg')], null, 'second.jpg: 23000x23000 pixels is over the limit of 200 megapixels: left out'],
    ['frames.gif', [file('frames.gif')], null, 'frames.gif: 20000x20000 pixels is over the limit of 200 megapixels: left out'],
    ['stray.jpg as the texture', [file('good.png')], file('stray.jpg'),
      'stray.jpg: 23000x23000 pixels is over the limit of 200 megapixels: the default texture kept'],
  ];
  const report = [];
  for (const [what, pictures, texture, note] of cases) {
    const before = page.browser.memory_bytes();
    let peak = before;
    const sampler = setInterval(() => { peak = Math.max(peak, page.browser.memory_bytes()); }, 50);
    const start = performance.now();
    let notes;
    try {
      notes = await make(page, pictures, { texture });
    } finally {
      clearInterval(sampler);
    }
    const seconds = (performance.now() - start) / 1000;
    peak = Math.max(peak, page.browser.memory_bytes());
    const grown = (peak - before) / 2 ** 20;
    report.push(`${what}: ${seconds.toFixed(2)} s, +${grown.toFixed(0)} MB`);
    assert.ok(notes.includes(note), `${what}: no note "${note}" in ${JSON.stringify(notes)}`);
    assert.ok(seconds <= 2, `${what}: refused after ${seconds.toFixed(2)} s`);
    assert.ok(grown <= 300, `${what}: the tab grew by ${grown.toFixed(0)} MB`);
  }
  no_errors(page);
  console.log(`hostile pictures refused from their headers: ${report.join('; ')}`);
}


// Music the browser cannot use is named once in its note, the default soundtrack kept; a start
// that is not seconds from 0 on is refused as the import refuses it: a RangeError from make(), and
// from the page's field, marked, nothing made.
async function music_refused({ page, url, work }) {
  const file = (name) => path.join(work, name);
  magick('-size', '64x48', 'xc:rgb(40,90,160)', file('picture.png'));
  fs.writeFileSync(file('tone.mp3'), 'Shopping: bread, milk, two lemons.\n'.repeat(40));
  await open_maker(page, url);
  const notes = await make(page, [file('picture.png')], { music: file('tone.mp3') });
  assert.deepEqual(notes.filter((note) => note.includes('tone.mp3')),
    ['tone.mp3: not a music file this browser can read: the default soundtrack kept'], `notes: ${JSON.stringify(notes)}`);

  for (const [start, said] of [[NaN, 'a number'], [-1, '-1'], [Infinity, 'Infinity']]) {
    const refused = await make(page, [file('picture.png')], { music_start: start }).then((got) => `made: ${got}`, (error) => error.message);
    assert.match(refused, new RegExp(`^in the page: RangeError: the music's start is seconds from 0 on, not ${said}(\\n|$)`), `a start of ${start}`);
  }

  const field = `document.getElementById('music-start')`;
  const type_start = async (text) => {
    await page.eval(`(() => { const field = ${field}; field.scrollIntoView({ block: 'center' }); field.focus(); field.select(); })()`);
    await page.type(text);
    await page.eval(`${field}.blur()`);
  };
  await type_start('-1');
  assert.deepEqual(await page.eval(`[${field}.getAttribute('aria-invalid'), ${field}.validationMessage]`),
    ['true', "the music's start is seconds from 0 on, not -1"], 'the field after -1');
  await page.eval(`document.getElementById('play-button').click()`);
  await page.wait_for(`document.getElementById('status').textContent === "the music's start is seconds from 0 on, not -1"`, 10,
    'Play refusing the start');
  assert.equal(await page.eval(`document.getElementById('stage').hidden`), true, 'Play played with a refused start');
  await type_start('2.5');
  assert.deepEqual(await page.eval(`[${field}.getAttribute('aria-invalid'), ${field}.validationMessage]`), [null, ''],
    'the field after 2.5');
  no_errors(page);
  console.log(`music refused: ${JSON.stringify(notes)}; a start of NaN, -1 or Infinity refused, -1 marked in the field`);
}

// Without WebCodecs (older Safari, Firefox on Android): the set is still made, zipped and played,
// and the video's button, disabled, says why in a sentence.
async function no_webcodecs({ page, url, work }) {
  magick('-size', '64x48', 'xc:rgb(40,90,160)', path.join(work, 'picture.png'));
  await page.before_load('delete window.VideoEncoder; delete window.AudioEncoder;');
  await open_maker(page, url, '?clock=virtual&fps=60&frames=60');
  assert.deepEqual(await make(page, [path.join(work, 'picture.png')]), ["1 picture for the show's 12 places: reused in order"]);
  const [disabled, said] = await page.eval(`[document.getElementById('download-video').disabled,
    document.getElementById('no-video').textContent]`);
  assert.equal(disabled, true, 'the video button is enabled without WebCodecs');
  assert.match(said, /^This browser cannot make a video: it has no VideoEncoder and no AudioEncoder \(WebCodecs\)\. /);
  await export_set(page, work);
  await page.eval('velmorastikMaker.play()');
  await page.wait_for('window.showDone === true', 60, 'the show played in the page');
  assert.equal(await page.eval('window.showFrameHashes.length'), 60, 'the show did not play its 60 frames');
  no_errors(page);
}

// Every file of the built site, as paths under it, sorted; the worker itself is the browser's.
function site_files(folder, prefix = '') {
  return fs.readdirSync(folder, { withFileTypes: true }).flatMap((entry) => (entry.isDirectory()
    ? site_files(path.join(folder, entry.name), `${prefix}${entry.name}/`) : [prefix + entry.name]))
    .filter((file) => file !== 'service_worker.js').sort();
}

// Visited once, the site works with its server gone: the worker has kept every file of it; the show
// plays the native frames, the maker makes a show of pictures and music, exports it and plays it.
async function offline({ page, work }) {
  const file = (name) => path.join(work, name);
  magick('-size', '1200x900', 'plasma:red-blue', '-seed', '5', file('a.jpg'));
  magick('-size', '900x1200', 'gradient:yellow-purple', file('b.png'));
  execFileSync('ffmpeg', ['-nostdin', '-loglevel', 'error', '-f', 'lavfi', '-i', 'sine=frequency=440:duration=8',
    '-ac', '2', file('tone.mp3')]);
  // A server of this scenario's own, to stop.
  const server = await serve(site);
  const url = server.url;
  await open_maker(page, url);
  await page.wait_for(`navigator.serviceWorker.ready.then((r) => r.active.state === 'activated')`, 60, "the site's worker active");
  const cached = await page.eval(`caches.keys().then(async (names) => ({ names,
    paths: (await (await caches.open(names[0])).keys()).map((r) => decodeURI(new URL(r.url).pathname).slice(1)).sort() }))`);
  assert.equal(cached.names.length, 1, `caches: ${cached.names}`);
  assert.deepEqual(cached.paths, site_files(site), "the worker's cache is not the whole site");
  const { installabilityErrors: installability } = await page.devtools('Page.getInstallabilityErrors');
  assert.deepEqual(installability, [], 'the browser would not install the site');
  await server.close();

  await page.goto(`${url}index.html?clock=virtual&fps=60&frames=${k_offline_frames}`);
  await page.wait_for('window.showDone === true', 300, 'the show played offline');
  const show = await page.eval('window.showFrameHashes');
  const native = native_hashes(capture, site, ['--fps', '60', '--frames', `0-${k_offline_frames - 1}`]);
  assert.equal(show.length, k_offline_frames, `the show played ${show.length} frames offline`);
  for (let i = 0; i < native.length; i++) assert.equal(show[i], native[i], `offline, frame ${i} differs from the native show's`);
  // The show asks for the soundtrack's head by a range; a media element asks for ranges too.
  const soundtrack = fs.readFileSync(path.join(site, 'data/sfx/lumo.mp3'));
  const ranged = await page.eval(`Promise.all(['bytes=1000-1999', 'bytes=-10'].map((range) =>
    fetch('data/sfx/lumo.mp3', { headers: { Range: range } }).then(async (r) => ({ status: r.status,
      range: r.headers.get('Content-Range'), bytes: [...new Uint8Array(await r.arrayBuffer())] }))))`);
  assert.deepEqual(ranged, [
    { status: 206, range: `bytes 1000-1999/${soundtrack.length}`, bytes: [...soundtrack.subarray(1000, 2000)] },
    { status: 206, range: `bytes ${soundtrack.length - 10}-${soundtrack.length - 1}/${soundtrack.length}`,
      bytes: [...soundtrack.subarray(-10)] },
  ], 'ranges of the soundtrack from the cache');

  await open_maker(page, url, `?clock=virtual&fps=60&frames=${k_offline_frames}`);
  const ready_ms = await page.eval(`performance.getEntriesByName('maker ready')[0].startTime`);
  const notes = await make(page, [file('a.jpg'), file('b.png')], { music: file('tone.mp3') });
  // The music's note comes from the maker's encoder, which only music makes the maker load.
  assert.deepEqual(notes, ["2 pictures for the show's 12 places: reused in order",
    'tone.mp3: 0:08.0, shorter than the show (1:57.8): kept whole, without a fade'], 'the notes offline');
  const set = await export_set(page, work);
  const music = fs.readFileSync(path.join(set, 'data/sfx/lumo.mp3'));
  assert.ok(!music.equals(soundtrack), 'the exported set kept the default soundtrack');
  await page.eval('velmorastikMaker.play()');
  await page.wait_for('window.showDone === true', 300, "the maker's show played offline");
  const played = await page.eval('window.showFrameHashes');
  const made = native_hashes(capture, set, ['--fps', '60', '--frames', `0-${k_offline_frames - 1}`]);
  assert.equal(played.length, k_offline_frames, `the maker played ${played.length} frames offline`);
  for (let i = 0; i < made.length; i++) assert.equal(played[i], made[i], `the maker's show, frame ${i} differs from the native show's`);
  no_errors(page);
  assert.ok(ready_ms <= k_offline_ready_ms, `the maker was ready ${ready_ms.toFixed(0)} ms after the offline navigation`);
  console.log(`offline: ${cached.paths.length} files cached; with the server stopped the show played ${k_offline_frames} ` +
    `frames equal to the native ones, the maker was ready ${ready_ms.toFixed(0)} ms after the navigation's start, made a ` +
    `show with music (${music.length}-byte soundtrack), exported it and played ${k_offline_frames} frames equal to the native ones`);
}

// On a phone's screen (390x844) with touch: nothing fixed or placed over the page's content, no
// sideways scroll, every button 44 px high and every other control 24 px, and a finger's drag of
// the first picture onto the third puts it there.
async function phone({ page, url, work }) {
  const names = ['red.png', 'green.png', 'blue.png'];
  for (const [n, colour] of ['rgb(200,0,0)', 'rgb(0,200,0)', 'rgb(0,0,200)'].entries()) {
    magick('-size', '400x300', `xc:${colour}`, path.join(work, names[n]));
  }
  await page.phone(390, 844);
  await open_maker(page, url);
  await make(page, names.map((name) => path.join(work, name)));
  const layout = await page.eval(`(() => {
    const shown = (e) => e.getClientRects().length > 0 && getComputedStyle(e).opacity !== '0';
    const name = (e) => e.id || e.textContent.trim().slice(0, 30) || e.tagName;
    const all = [...document.querySelectorAll('body *')].filter(shown);
    return {
      placed: all.filter((e) => ['fixed', 'absolute', 'sticky'].includes(getComputedStyle(e).position)).map(name),
      sideways: document.documentElement.scrollWidth - window.innerWidth,
      low_buttons: all.filter((e) => e.matches('button, .button') && e.getBoundingClientRect().height < 44).map(name),
      small_targets: all.filter((e) => e.matches('a, label, input, select') && e.getBoundingClientRect().height < 24).map(name),
    };
  })()`);
  assert.deepEqual(layout, { placed: [], sideways: 0, low_buttons: [], small_targets: [] }, 'the page on a phone');
  const centres = await page.eval(`(() => {
    document.getElementById('picture-list').scrollIntoView();
    return [...document.querySelectorAll('#picture-list .picture canvas')].map((c) => {
      const r = c.getBoundingClientRect();
      return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
    });
  })()`);
  await page.touch_drag(centres[0], centres[2]);
  const order = await page.eval(`[...document.querySelectorAll('#picture-list .name')].map((n) => n.textContent)`);
  assert.deepEqual(order, ['green.png', 'blue.png', 'red.png'], 'the order after the drag');
  no_errors(page);
}

const scenarios = { pictures, set_plays, fit_quality, heic, hostile, music_refused, no_webcodecs, offline, phone };
const name = process.argv[2];
if (!scenarios[name]) {
  console.error(`usage: maker_test.mjs ${Object.keys(scenarios).join('|')}`);
  process.exit(64);
}
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorastik-maker-'));
await run_scenario(name, site, work, scenarios[name]);
