// The maker's video in a headless browser (browser.mjs: Chromium or Firefox), one scenario a run:
//   node video_test.mjs whole_show|vp9_by_trial|cancel
// Environment: SITE (the built site), NATIVE_CAPTURE (the native velmorastik-capture, which
// hashes its frames as the page does). The pictures are made here with ImageMagick; the video is read back with ffprobe.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { execFileSync, spawnSync } from 'node:child_process';
import { run_scenario } from './browser.mjs';
import { native_hashes, k_width, k_height } from './frames.mjs';

const site = process.env.SITE;
const capture = process.env.NATIVE_CAPTURE;

// 30 frames a second keeps the run short: half the frames of the show's own 60.
const k_fps = 30;
// The audio stream's length may differ from the show's by this much (Opus codes 20 ms frames).
const k_audio_slack_s = 0.05;
// Bytes a page hands over per call: a video is tens of megabytes.
const k_chunk = 4 << 20;
// Frames whose colours are compared with the native capture's, pictures fading in and at full
// light, and how far a channel's mean over the frame may lie from it: coding loses detail, not level,
// while a picture decoded with another range or matrix than it was made with lies 5 to 20 levels
// off, most in dark and in saturated frames.
const k_colour_frames = [100, 150, 400, 450, 1400, 1700];
const k_colour_slack = 3;

async function open_maker(page, url, work) {
  const file = (name) => path.join(work, name);
  execFileSync('convert', ['-size', '800x600', 'plasma:red-blue', '-seed', '5', file('a.jpg')]);
  execFileSync('convert', ['-size', '600x800', 'gradient:yellow-purple', file('b.png')]);
  await page.goto(`${url}maker.html`);
  await page.wait_for('window.makerReady === true', 60, 'the maker ready');
  await page.eval(`(() => {
    const input = Object.assign(document.createElement('input'), { type: 'file', id: 'test-pictures', multiple: true, hidden: true });
    document.body.append(input);
  })()`);
  await page.set_files('#test-pictures', [file('a.jpg'), file('b.png')]);
  assert.deepEqual(await page.eval(`velmorastikMaker.make({ pictures: [...document.getElementById('test-pictures').files] })`),
    ["2 pictures for the show's 12 places: reused in order"]);
}

// window[name] (a Blob) written to file, in chunks.
async function save_blob(page, name, file) {
  const size = await page.eval(`window.${name}.size`);
  const fd = fs.openSync(file, 'w');
  for (let at = 0; at < size; at += k_chunk) {
    const base64 = await page.eval(`window.${name}.slice(${at}, ${at + k_chunk}).arrayBuffer().then((b) => {
      const bytes = new Uint8Array(b);
      let s = '';
      for (let i = 0; i < bytes.length; i += 0x8000) s += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      return btoa(s);
    })`);
    fs.writeSync(fd, Buffer.from(base64, 'base64'));
  }
  fs.closeSync(fd);
  return size;
}

// The video's streams as ffprobe reads them, every packet decoded: a warning from the decoder (a
// parameter set the stream does not declare, say) fails as an error does.
function probe(file) {
  const run = spawnSync('ffprobe', ['-v', 'warning', '-count_frames', '-show_entries',
    'stream=codec_type,codec_name,width,height,nb_read_frames,duration,color_range,color_space,color_transfer,color_primaries' +
    ':format=format_name,duration', '-of', 'json', file],
  { encoding: 'utf8' });
  assert.equal(run.status, 0, `ffprobe could not read the video: ${run.stderr}`);
  assert.equal(run.stderr, '', 'ffprobe warned about the video');
  return JSON.parse(run.stdout);
}

// Each channel's mean over each of frames, RGB bytes k_width x k_height.
function channel_means(frames) {
  return frames.map((frame) => [0, 1, 2].map((at) => {
    let sum = 0;
    for (let i = at; i < frame.length; i += 3) sum += frame[i];
    return sum / (k_width * k_height);
  }));
}

// The frames of video_file (those of select, or all) decoded by FFmpeg as players decode them,
// from the video's tags, as RGB.
function decoded_frames(video_file, count, select = null) {
  const decoded = execFileSync('ffmpeg', ['-v', 'error', '-i', video_file, ...(select ? ['-vf', `select=${select}`] : []),
    '-vsync', '0', '-f', 'rawvideo', '-pix_fmt', 'rgb24', '-'], { maxBuffer: 1 << 26 });
  const size = k_width * k_height * 3;
  assert.equal(decoded.length, size * count, `FFmpeg did not decode ${count} frames of ${video_file}`);
  return Array.from({ length: count }, (_, i) => decoded.subarray(i * size, (i + 1) * size));
}

// The frames at k_colour_frames of the page's video and of velmorastik-capture's of the same set,
// both decoded the same way: the largest difference of a channel's mean, and every mean.
function colour_distance(video_file, capture, set, work) {
  const select = k_colour_frames.map((n) => `eq(n\\,${n})`).join('+');
  const video = channel_means(decoded_frames(video_file, k_colour_frames.length, select));
  const native_file = path.join(work, 'native.mkv');
  execFileSync(capture, ['-C', set, '--fps', String(k_fps), '--frames', k_colour_frames.join(','), '--quiet', native_file]);
  const native = channel_means(decoded_frames(native_file, k_colour_frames.length));
  const distance = Math.max(...video.flatMap((means, f) => means.map((m, c) => Math.abs(m - native[f][c]))));
  return { distance, video, native };
}

// The whole show as a video: the codec the page names, every frame of the timeline and each the
// native show's, and a soundtrack as long as the show.
async function whole_show({ page, url, work }, codec = null) {
  await open_maker(page, url, work);
  const frame_count = await page.eval(`velmorastikMaker.showFacts.frame_count(${k_fps})`);
  await page.wait_for(`document.getElementById('video-format').textContent !== '…'`, 30, "the video's format chosen");
  const label = await page.eval(`document.getElementById('video-format').textContent`);
  // The length the page states is the video's own at the rate chosen, not the show's at its own.
  const length = frame_count / k_fps;
  assert.equal(await page.eval(`document.getElementById('video-length').textContent`),
    `${frame_count} frames, ${Math.floor(length / 60)}:${(length % 60).toFixed(2).padStart(5, '0')}`);
  const started = Date.now();
  const progress = await page.eval(`(async () => {
    const seen = [];
    window.__video = await velmorastikMaker.exportVideo({ fps: ${k_fps}, onProgress: (p) => seen.push(p.fraction) });
    return { calls: seen.length, last: seen[seen.length - 1], rising: seen.every((f, i) => i === 0 || f >= seen[i - 1]) };
  })()`);
  const seconds = (Date.now() - started) / 1000;
  assert.equal(progress.last, 1, 'the progress did not reach the end');
  assert.ok(progress.rising, 'the progress went back');
  const type = await page.eval('window.__video.type');
  const video_file = path.join(work, type === 'video/mp4' ? 'show.mp4' : 'show.webm');
  const size = await save_blob(page, '__video', video_file);

  const probed = probe(video_file);
  const video = probed.streams.find((s) => s.codec_type === 'video');
  const audio = probed.streams.find((s) => s.codec_type === 'audio');
  const names = { h264: 'H.264', vp9: 'VP9', av1: 'AV1' };
  if (codec) assert.equal(video.codec_name, codec);
  assert.ok(names[video.codec_name] && label.includes(names[video.codec_name]), `the page names "${label}" for ${video.codec_name}`);
  assert.deepEqual([video.color_range, video.color_space, video.color_transfer, video.color_primaries],
    ['tv', 'bt709', 'bt709', 'bt709'], 'the video is not tagged BT.709, limited range');
  assert.equal(`${video.width}x${video.height}`, '640x480');
  assert.equal(Number(video.nb_read_frames), frame_count, 'the video does not decode to every frame of the show');
  assert.ok(audio, 'the video has no sound');
  assert.equal(audio.codec_name, 'opus');
  // WebM gives no stream its own length: the file's is the longer stream's then.
  const audio_seconds = Number(Number.isFinite(Number(audio.duration)) ? audio.duration : probed.format?.duration);
  const show_seconds = frame_count / k_fps;
  assert.ok(Math.abs(audio_seconds - show_seconds) <= k_audio_slack_s,
    `the sound lasts ${audio_seconds} s, the show ${show_seconds.toFixed(3)} s`);

  // The frames as they went to the encoder against the native capture of the same set.
  const hashes = await page.eval('window.makerVideoFrameHashes');
  const set = path.join(work, 'set');
  fs.mkdirSync(set);
  await page.eval(`velmorastikMaker.exportDataSet().then((b) => { window.__set = b; })`);
  await save_blob(page, '__set', path.join(set, 'set.zip'));
  execFileSync('unzip', ['-q', path.join(set, 'set.zip'), '-d', set]);
  const native = native_hashes(capture, set, ['--fps', String(k_fps)]);
  assert.equal(native.length, frame_count, `the native capture gave ${native.length} frames`);
  assert.equal(hashes.length, frame_count, `the page hashed ${hashes.length} frames`);
  const first_different = hashes.findIndex((h, i) => h !== native[i]);
  assert.equal(first_different, -1, `frame ${first_different} differs from the native capture's`);
  const colours = colour_distance(video_file, capture, set, work);
  assert.ok(colours.distance <= k_colour_slack, `the video's colours lie ${colours.distance.toFixed(2)} levels from the native capture's: ` +
    `${JSON.stringify(colours.video)} against ${JSON.stringify(colours.native)}`);
  assert.deepEqual(page.errors, [], 'the page reported errors');
  // A video's sound is the page's to make: the show's module says nothing of sound.
  assert.deepEqual(page.console.filter((line) => /sound/.test(line)), [], 'the export spoke of sound');
  console.log(`whole show: ${type} ${video.codec_name} + ${audio.codec_name}, ${frame_count} frames at ${k_fps} fps ` +
    `(${show_seconds.toFixed(3)} s of show, sound ${audio_seconds} s), ${(size / 1048576).toFixed(1)} MB ` +
    `in ${seconds.toFixed(1)} s; every frame equals the native capture's, colours within ${colours.distance.toFixed(2)} levels`);
}

// Cancel stops the export, which leaves no video, and the maker can make one afterwards.
async function cancel({ page, url, work }) {
  await open_maker(page, url, work);
  const outcome = await page.eval(`(async () => {
    const controller = new AbortController();
    let frames = 0;
    try {
      const blob = await velmorastikMaker.exportVideo({ fps: ${k_fps}, signal: controller.signal,
        onProgress: (p) => { frames = p.frames; if (p.frames === 90) controller.abort(); } });
      return { blob: blob ? blob.size : null, frames };
    } catch (error) {
      return { error: error.name, frames, hashes: window.makerVideoFrameHashes === undefined };
    }
  })()`);
  assert.deepEqual(outcome, { error: 'AbortError', frames: 90, hashes: true }, 'Cancel did not stop the export at once');
  // The page's own control: the button starts it and Cancel stops it.
  await page.eval(`document.getElementById('download-video').click()`);
  await page.wait_for(`document.getElementById('video-progress').value > 0`, 60, 'the video under way');
  await page.eval(`document.getElementById('video-cancel').click()`);
  await page.wait_for(`document.getElementById('status').textContent === 'The video was cancelled.'`, 30, 'the page saying so');
  assert.equal(await page.eval(`document.getElementById('download-video').disabled`), false, 'the button stays disabled');
  assert.deepEqual(page.errors, [], 'the page reported errors');
  console.log(`cancel: stopped after ${outcome.frames} frames with ${outcome.error}, no video; the page's Cancel too`);
}

// A browser that says it encodes H.264 and then fails to (the encoder's configure throws): the
// trial finds it out, and the whole show comes as VP9 in WebM, tagged and coloured the same.
async function vp9_by_trial(context) {
  await context.page.before_load(`(() => {
    const configure = VideoEncoder.prototype.configure;
    VideoEncoder.prototype.configure = function (config) {
      if (config.codec.startsWith('avc1')) throw new DOMException('no H.264 encoder after all', 'NotSupportedError');
      return configure.call(this, config);
    };
  })()`);
  await whole_show(context, 'vp9');
}

const scenarios = { whole_show, vp9_by_trial, cancel };
const name = process.argv[2];
if (!scenarios[name]) {
  console.error(`usage: video_test.mjs ${Object.keys(scenarios).join('|')}`);
  process.exit(64);
}
for (const [what, value] of [['SITE', site], ['NATIVE_CAPTURE', capture]]) {
  if (!value || !fs.existsSync(value)) { console.log(`SKIPPED: no ${what} at '${value || ''}'`); process.exit(77); }
}
for (const tool of ['convert', 'ffprobe', 'unzip']) {
  if (spawnSync('which', [tool]).status !== 0) { console.log(`SKIPPED: ${tool} is not installed`); process.exit(77); }
}
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorastik-video-'));
await run_scenario(name, site, work, scenarios[name]);
