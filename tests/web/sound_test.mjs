// The maker's soundtrack (tools/maker/soundtrack.js) in a headless browser (browser.mjs), one scenario
// a run, against the native velmorastik-import on the same music made by ffmpeg:
//   node sound_test.mjs long_music|same_bytes|short_music|music_start|two_hours|refused
// Environment: MAKER_MODULE (the folder of velmorastik-maker.js and .wasm), NATIVE_IMPORT (a native
// velmorastik-import), CHROMIUM. The page is a small one of the test's own, served like the site
// (the same server and content security policy), with the maker's modules bundled by esbuild from
// the project's node_modules. Skips (status 77), saying why, when something is missing. Every
// scenario also fails on any error the page reports in its console.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { engine_missing, k_engine, run_scenario } from './browser.mjs';

const k_here = path.dirname(fileURLToPath(import.meta.url));
const k_root = path.resolve(k_here, '../..');
const k_rate = 44100;
// One MP3 frame: how far two encodings' decoded lengths may differ.
const k_mp3_frame = 1152;
const k_fade_seconds = 5.1;
// A sweep over the whole band, left at half scale and right at a quarter (a swap shows).
const k_sweep_amplitude = [0.5, 0.25];
// The maker's resampling against libswresample's defaults (the ffmpeg tool's and the import's) on
// that sweep, and its soundtrack decoded against the import's, as signal-to-difference ratios.
// Measured here: 92.9 dB and 74.6 dB; the bounds leave room for another machine's floating point.
const k_min_resampler_snr_db = 80;
const k_min_soundtrack_snr_db = 50;
// 7067 frames at 60 fps.
const k_show_frames = 5194245;
// What making the soundtrack may add to the browser's memory: the soundtrack twice (the page's
// and the module's copy, 21 MB each), the MP3, the module and the decoder's buffers. Firefox frees
// the decoder's garbage later, the later the busier the machine (106 to 241 MB measured): it is
// held to the tab's budget of 300 MB.
const k_max_growth_bytes = (k_engine === 'firefox' ? 300 : 200) * 1024 * 1024;

const maker_module = process.env.MAKER_MODULE;
const native_import = process.env.NATIVE_IMPORT;

function skip(why) {
  console.log(`SKIPPED: ${why}`);
  process.exit(77);
}

const run = (program, args) => execFileSync(program, args, { stdio: ['ignore', 'pipe', 'pipe'], maxBuffer: 1 << 30 });
const ffmpeg = (...args) => run('ffmpeg', ['-nostdin', '-loglevel', 'error', '-y', ...args]);

// Any audio file as interleaved 16-bit stereo at 44.1 kHz, through FFmpeg's own conversion.
function decode(file) {
  const bytes = ffmpeg('-i', file, '-ac', '2', '-ar', String(k_rate), '-f', 's16le', '-c:a', 'pcm_s16le', '-');
  return new Int16Array(bytes.buffer, bytes.byteOffset, bytes.length / 2);
}

// The native import's soundtrack for music from start seconds: the MP3 file's path.
function native_mp3(work, music, start = 0) {
  const picture = path.join(work, 'picture.png');
  if (!fs.existsSync(picture)) run('convert', ['-size', '64x48', 'xc:gray50', picture]);
  const out = path.join(work, `native-${path.basename(music)}-${start}`);
  run(native_import, ['--music', music, '--music-start', String(start), out, picture]);
  return path.join(out, 'data/sfx/lumo.mp3');
}

const native_soundtrack = (work, music, start = 0) => decode(native_mp3(work, music, start));

const frames_of = (pcm) => pcm.length / 2;

// Root mean square of one channel between two times, relative to full scale.
function rms(pcm, channel, from_seconds, to_seconds) {
  const first = Math.max(0, Math.round(from_seconds * k_rate));
  const last = Math.min(frames_of(pcm), Math.round(to_seconds * k_rate));
  let sum = 0;
  for (let i = first; i < last; ++i) sum += (pcm[2 * i + channel] / 32768) ** 2;
  return Math.sqrt(sum / Math.max(1, last - first));
}

// The signal against its difference from the reference over the first frames, both channels.
function snr_db(pcm, reference, frames) {
  let signal = 0, noise = 0;
  for (let i = 0; i < 2 * frames; ++i) {
    signal += reference[i] * reference[i];
    noise += (pcm[i] - reference[i]) ** 2;
  }
  return 10 * Math.log10(signal / Math.max(noise, 1));
}

// The first frame where the left channel rises over a tenth of full scale.
function onset(pcm) {
  for (let i = 0; i < frames_of(pcm); ++i) if (Math.abs(pcm[2 * i]) > 3277) return i;
  return -1;
}

function no_errors(page) {
  assert.ok(page.errors.length === 0, `the page reported errors:\n${page.errors.join('\n')}`);
}

// Sets the page's file input to file, as a person choosing it would.
async function choose(page, file) {
  await page.set_files('#music', [file]);
}

async function make(page, file, options = {}) {
  await choose(page, file);
  return page.eval(`window.sound_test.make(${JSON.stringify(options)})`);
}

// The last result's mp3 (a Buffer) or pcm (an Int16Array), read back in pieces.
async function read(page, which) {
  const size = await page.eval(`window.sound_test.size('${which}')`);
  const pieces = [];
  for (let at = 0; at < size; at += 4 << 20) {
    pieces.push(Buffer.from(await page.eval(`window.sound_test.piece('${which}', ${at}, ${at + (4 << 20)})`), 'base64'));
  }
  const bytes = Buffer.concat(pieces);
  return which === 'mp3' ? bytes : new Int16Array(bytes.buffer, bytes.byteOffset, bytes.length / 2);
}

// The maker's MP3, written out and decoded by FFmpeg.
async function made_soundtrack(page, work, name) {
  const file = path.join(work, name);
  fs.writeFileSync(file, await read(page, 'mp3'));
  return decode(file);
}

function made_ok(made) {
  assert.equal(made.error, undefined, `make_soundtrack failed: ${made.error}`);
  assert.ok(made.progress_in_order, 'the progress went backwards or out of 0 to 1');
  assert.equal(made.progress_first, 0, 'the progress did not start at 0');
  assert.equal(made.progress_last, 1, 'the progress did not end at 1');
}

// 130 s of a sweep at 48 kHz in FLAC: cut to the show's length, fading out, as the import does.
async function long_music({ page, work }) {
  const music = path.join(work, 'sweep.flac');
  const phase = '2*PI*(20*t+19980/260*t*t)';
  ffmpeg('-f', 'lavfi', '-i',
    `aevalsrc=exprs=${k_sweep_amplitude[0]}*sin(${phase})|${k_sweep_amplitude[1]}*sin(${phase}):s=48000:d=130`,
    '-c:a', 'flac', music);
  const made = await make(page, music);
  made_ok(made);
  const native = native_soundtrack(work, music);
  const ours = await made_soundtrack(page, work, 'sweep.mp3');
  const pcm = await read(page, 'pcm');
  const show_frames = frames_of(native);
  assert.equal(show_frames, k_show_frames, 'the native import\'s soundtrack is not the show\'s length');
  assert.equal(frames_of(pcm), show_frames, 'the soundtrack before encoding is not the show\'s length');
  assert.ok(Math.abs(frames_of(ours) - show_frames) <= k_mp3_frame,
    `the MP3 decodes to ${frames_of(ours)} frames, the import's to ${show_frames}`);
  assert.ok(Math.abs(made.duration_ms - (show_frames * 1000) / k_rate) < 0.5, `duration_ms is ${made.duration_ms}`);

  // Loud as the music until the fade, then a quarter sine down to silence over 5.1 s.
  const length = frames_of(ours) / k_rate;
  for (const channel of [0, 1]) {
    const level = k_sweep_amplitude[channel] * Math.SQRT1_2;
    const at = (from, to) => rms(ours, channel, from, to) / level;
    assert.ok(Math.abs(at(50, 51) - 1) < 0.05, `channel ${channel} plays at ${at(50, 51)} of the music's level`);
    assert.ok(Math.abs(at(length - k_fade_seconds - 0.5, length - k_fade_seconds - 0.1) - 1) < 0.05,
      `channel ${channel} is at ${at(length - k_fade_seconds - 0.5, length - k_fade_seconds - 0.1)} before the fade`);
    const halfway = at(length - k_fade_seconds / 2 - 0.05, length - k_fade_seconds / 2 + 0.05);
    assert.ok(Math.abs(halfway - Math.SQRT1_2) < 0.05, `channel ${channel} is at ${halfway} halfway through the fade`);
    assert.ok(at(length - 0.1, length) < 0.03, `channel ${channel} is at ${at(length - 0.1, length)} in the last 100 ms`);
  }

  // The resampling against libswresample's, before the fade; the soundtracks against each other.
  const reference = decode(music);
  const unfaded = show_frames - Math.round(k_fade_seconds * k_rate);
  const resampler_snr = snr_db(pcm, reference, unfaded);
  const soundtrack_snr = snr_db(ours, native, Math.min(frames_of(ours), show_frames));
  console.log(`long music: ${frames_of(pcm)} frames (import ${show_frames}), MP3 ${made.mp3_bytes} bytes in ` +
    `${(made.elapsed_ms / 1000).toFixed(1)} s; resampling ${resampler_snr.toFixed(1)} dB from libswresample's, ` +
    `soundtrack ${soundtrack_snr.toFixed(1)} dB from the import's; notes: ${JSON.stringify(made.notes)}`);
  assert.ok(resampler_snr >= k_min_resampler_snr_db, `the resampling is ${resampler_snr.toFixed(1)} dB from libswresample's`);
  assert.ok(soundtrack_snr >= k_min_soundtrack_snr_db, `the soundtrack is ${soundtrack_snr.toFixed(1)} dB from the import's`);
  assert.match(made.notes.join('\n'), /fading out over the last 5\.1 s/);
  no_errors(page);
}

// Music already at 44.1 kHz in 16-bit stereo passes unchanged to the encoder on both sides, so
// the maker's MP3 is the import's, byte for byte: the same cut, fade, LAME and tag.
async function same_bytes({ page, work }) {
  const music = path.join(work, 'sweep.wav');
  const phase = (f0) => `2*PI*(${f0}*t+19980/260*t*t)`;
  ffmpeg('-f', 'lavfi', '-i', `aevalsrc=exprs=0.5*sin(${phase(20)})|0.3*sin(${phase(30)}):s=${k_rate}:d=130`,
    '-c:a', 'pcm_s16le', music);
  const made = await make(page, music);
  made_ok(made);
  const ours = await read(page, 'mp3');
  const native = fs.readFileSync(native_mp3(work, music));
  const first = ours.findIndex((byte, i) => byte !== native[i]);
  console.log(`same bytes: the maker's MP3 ${ours.length} bytes, the import's ${native.length}` +
    (first >= 0 ? `, first differing at byte ${first}` : ', equal'));
  assert.equal(ours.length, native.length, 'the MP3s differ in length');
  assert.equal(first, -1, `the MP3s differ first at byte ${first}`);
  no_errors(page);
}

// 10 s of a mono tone at 22.05 kHz in MP3: kept whole, without a fade, both sides as the import's.
async function short_music({ page, work }) {
  const music = path.join(work, 'short.mp3');
  ffmpeg('-f', 'lavfi', '-i', 'sine=frequency=440:sample_rate=22050:duration=10', '-af', 'volume=0.5',
    '-c:a', 'libmp3lame', '-b:a', '96k', music);
  const made = await make(page, music);
  made_ok(made);
  const native = native_soundtrack(work, music);
  const ours = await made_soundtrack(page, work, 'short-made.mp3');
  console.log(`short music: ${frames_of(ours)} frames (import ${frames_of(native)}), left ${rms(ours, 0, 1, 9).toFixed(4)}` +
    ` right ${rms(ours, 1, 1, 9).toFixed(4)} (import ${rms(native, 0, 1, 9).toFixed(4)}, ${rms(native, 1, 1, 9).toFixed(4)});` +
    ` notes: ${JSON.stringify(made.notes)}`);
  assert.ok(Math.abs(frames_of(ours) - frames_of(native)) <= k_mp3_frame,
    `the MP3 decodes to ${frames_of(ours)} frames, the import's to ${frames_of(native)}`);
  assert.ok(Math.abs(made.pcm_frames - 10 * k_rate) <= k_mp3_frame, `${made.pcm_frames} frames made of 10 s`);
  for (const channel of [0, 1]) {
    const native_level = rms(native, channel, 1, 9);
    assert.ok(Math.abs(rms(ours, channel, 1, 9) / native_level - 1) < 0.03,
      `channel ${channel} plays at ${rms(ours, channel, 1, 9)}, the import's at ${native_level}`);
    assert.ok(Math.abs(rms(ours, channel, 9.8, 9.95) / native_level - 1) < 0.05, `channel ${channel} is not as loud at its end`);
  }
  assert.match(made.notes.join('\n'), /kept whole/);
  no_errors(page);
}

// 3 s of silence then a tone, from 2.5 s on: the tone at 0.5 s, as the import puts it. In Ogg
// Vorbis at 48 kHz and in MP3 at 44.1 kHz, whose decoders start differently after a seek.
async function music_start({ page, work }) {
  for (const [name, codec] of [['late.ogg', ['libvorbis', '-q:a', '6']], ['late.mp3', ['libmp3lame', '-b:a', '128k']]]) {
    const music = path.join(work, name);
    ffmpeg('-f', 'lavfi', '-i', 'aevalsrc=exprs=if(gte(t\\,3)\\,0.5*sin(2*PI*440*t)\\,0):s=48000:d=12', '-ac', '2',
      ...(name.endsWith('.mp3') ? ['-ar', String(k_rate)] : []), '-c:a', ...codec, music);
    const made = await make(page, music, { start_seconds: 2.5 });
    made_ok(made);
    const native = native_soundtrack(work, music, 2.5);
    const ours = await made_soundtrack(page, work, `made-${name}.mp3`);
    const [our_onset, native_onset] = [onset(ours), onset(native)];
    console.log(`music start, ${name}: ${frames_of(ours)} frames (import ${frames_of(native)}), the tone from frame ` +
      `${our_onset} (import ${native_onset}); notes: ${JSON.stringify(made.notes)}`);
    assert.ok(Math.abs(frames_of(ours) - frames_of(native)) <= k_mp3_frame,
      `${name}: the MP3 decodes to ${frames_of(ours)} frames, the import's to ${frames_of(native)}`);
    assert.ok(Math.abs(made.pcm_frames - 9.5 * k_rate) <= k_mp3_frame, `${name}: ${made.pcm_frames} frames made of 9.5 s`);
    assert.ok(Math.abs(our_onset - native_onset) <= 0.002 * k_rate,
      `${name}: the tone starts at frame ${our_onset}, the import's at ${native_onset}`);
    assert.ok(rms(ours, 0, 0, 0.45) < 0.001, `${name}: sound before the tone`);
    assert.match(made.notes.join('\n'), /from 0:02\.5 on/);
  }
  no_errors(page);
}

// Two hours of music from its 60th minute: the show's length, at no more memory than a short file
// (decoded whole, two hours of float stereo would take 2.5 GB). A 20 s MP3 repeated end to end,
// with no header that states its length, so that reaching the start means reading the frames.
async function two_hours({ page, work, browser }) {
  const piece = path.join(work, 'piece.mp3');
  ffmpeg('-f', 'lavfi', '-i', 'sine=frequency=330:duration=20', '-ac', '2', '-ar', String(k_rate), '-b:a', '32k',
    '-write_xing', '0', '-id3v2_version', '0', piece);
  const music = path.join(work, 'two-hours.mp3');
  const bytes = fs.readFileSync(piece);
  const out = fs.openSync(music, 'w');
  for (let n = 0; n < 2 * 60 * 3; ++n) fs.writeSync(out, bytes);
  fs.closeSync(out);
  await choose(page, music);
  const before = await browser.settled_memory_bytes();
  let most = before;
  const making = page.eval('window.sound_test.make({ start_seconds: 3600 })');
  let done = false;
  making.finally(() => { done = true; });
  while (!done) {
    most = Math.max(most, browser.memory_bytes());
    await new Promise((resolve) => setTimeout(resolve, 200));
  }
  const made = await making;
  made_ok(made);
  const mb = (n) => (n / 1048576).toFixed(1);
  console.log(`two hours: ${made.pcm_frames} frames from 1:00:00 in ${(made.elapsed_ms / 1000).toFixed(1)} s; browser memory ` +
    `${mb(before)} MB before, at most ${mb(most)} MB while making (+${mb(most - before)} MB)`);
  assert.equal(made.pcm_frames, k_show_frames, 'not the show\'s length');
  assert.ok(most - before <= k_max_growth_bytes, `the browser's memory grew by ${mb(most - before)} MB`);
  assert.match(made.notes.join('\n'), /from 1:00:00\.0 on, fading out/);
  no_errors(page);
}

// A text file named .mp3 and music below 8 kHz are refused by name; the maker goes on working.
async function refused({ page, work }) {
  const text = path.join(work, 'notes.mp3');
  fs.writeFileSync(text, 'Shopping: bread, milk, two lemons.\n'.repeat(40));
  const low = path.join(work, 'low.wav');
  ffmpeg('-f', 'lavfi', '-i', 'sine=frequency=300:sample_rate=6000:duration=2', low);
  const fine = path.join(work, 'fine.wav');
  ffmpeg('-f', 'lavfi', '-i', 'sine=frequency=300:sample_rate=44100:duration=2', '-ac', '2', fine);

  const not_music = await make(page, text);
  assert.match(not_music.error ?? '', /^notes\.mp3: not a music file/, `for a text file: ${JSON.stringify(not_music)}`);
  const too_low = await make(page, low);
  assert.match(too_low.error ?? '', /^low\.wav: its sample rate, 6000 Hz, is below 8000 Hz$/, `for 6 kHz: ${JSON.stringify(too_low)}`);
  const bad_start = await make(page, fine, { start_seconds: -1 });
  assert.match(bad_start.error ?? '', /^fine\.wav: the start must be seconds from 0 on/, `for a start of -1: ${JSON.stringify(bad_start)}`);
  const past_end = await make(page, fine, { start_seconds: 5 });
  assert.match(past_end.error ?? '', /^fine\.wav: it ends before the start asked for$/, `for a start past the end: ${JSON.stringify(past_end)}`);
  const after = await make(page, fine);
  made_ok(after);
  assert.equal(after.pcm_frames, 2 * k_rate, 'the same rate is not copied frame for frame');
  console.log(`refused: "${not_music.error}", "${too_low.error}", "${bad_start.error}", "${past_end.error}"; then ` +
    `fine.wav made (${after.pcm_frames} frames)`);
  no_errors(page);
}

const scenarios = { long_music, same_bytes, short_music, music_start, two_hours, refused };
const name = process.argv[2];
if (!scenarios[name]) {
  console.error(`usage: sound_test.mjs ${Object.keys(scenarios).join('|')}`);
  process.exit(64);
}
if (engine_missing()) skip(engine_missing());
for (const tool of ['ffmpeg', 'convert']) {
  try { run('sh', ['-c', `command -v ${tool}`]); } catch { skip(`${tool} is not installed (it makes and decodes the test's music)`); }
}
if (!maker_module || !fs.existsSync(path.join(maker_module, 'velmorastik-maker.wasm'))) {
  skip(`no maker module in '${maker_module ?? ''}' (the web build makes velmorastik-maker.js and .wasm)`);
}
if (!native_import || !fs.existsSync(native_import)) skip(`no native import at '${native_import ?? ''}' (the native build makes it)`);
const esbuild_path = path.join(k_root, 'node_modules/esbuild/lib/main.js');
if (!fs.existsSync(esbuild_path)) skip('no esbuild in node_modules (scripts/web installs it with npm ci)');

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorastik-sound-'));
const site = path.join(work, 'site');
fs.mkdirSync(site);
const esbuild = await import(esbuild_path);
await esbuild.build({
  entryPoints: [path.join(k_here, 'sound_page.mjs')], bundle: true, format: 'esm', outfile: path.join(site, 'sound_page.js'),
  logLevel: 'error',
});
fs.writeFileSync(path.join(site, 'index.html'), '<!doctype html><meta charset="utf-8"><title>sound</title>' +
  '<link rel="icon" href="data:,"><input type="file" id="music"><script type="module" src="sound_page.js"></script>\n');
for (const file of ['velmorastik-maker.js', 'velmorastik-maker.wasm']) fs.copyFileSync(path.join(maker_module, file), path.join(site, file));

// Each scenario starts on the test's page, its script loaded.
await run_scenario(name, site, work, async ({ page, url, work, browser }) => {
  await page.goto(`${url}index.html`);
  await page.wait_for('window.sound_test !== undefined', 20, 'the page\'s script');
  await scenarios[name]({ page, work, browser });
});
