// The maker's own rules without a browser: what picture headers declare (refused sizes, files cut
// short, the size of every frame), and the resampler's geometry and antialiasing. Pictures are made here by ImageMagick.
import test from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { read_picture_header } from '../../tools/maker/picture_header.mjs';
import { fit_geometry, fit_pixels } from '../../tools/maker/resample.mjs';

const made = (...args) => new Uint8Array(execFileSync('convert', [...args]));
const le = (value, bytes) => Array.from({ length: bytes }, (_, k) => (value >> (8 * k)) & 255);
const be32 = (value) => [value >>> 24, (value >> 16) & 255, (value >> 8) & 255, value & 255];
const ascii = (text) => [...text].map((c) => c.charCodeAt(0));

// The size read is the one that holds every frame, as the browsers grow a canvas to its frames.
test('headers give the size that holds every frame; a file of no format read is not taken', () => {
  const png = read_picture_header(made('-size', '30x20', 'xc:red', 'png:-'));
  assert.deepEqual([png.format, png.width, png.height, png.complete], ['PNG', 30, 20, true]);
  // An animated PNG: a frame of 20000x10 at (5, 7) behind a 30x20 header.
  const fctl = [0, 0, 0, 26, ...ascii('fcTL'), ...be32(0), ...be32(20000), ...be32(10), ...be32(5), ...be32(7),
    0, 1, 0, 10, 0, 0, 0, 0, 0, 0];
  const apng = read_picture_header(new Uint8Array([...png_parts(made('-size', '30x20', 'xc:red', 'png:-'), fctl)]));
  assert.deepEqual([apng.width, apng.height, apng.complete], [20005, 20, true]);
  // A GIF of a 1x1 canvas whose one frame is 20000x20000 at (5, 7).
  const gif = new Uint8Array([...ascii('GIF89a'), ...le(1, 2), ...le(1, 2), 0, 0, 0,
    0x2c, ...le(5, 2), ...le(7, 2), ...le(20000, 2), ...le(20000, 2), 0, 2, 2, 0x4c, 0x01, 0, 0x3b]);
  assert.deepEqual(Object.values(read_picture_header(gif)), ['GIF', 20005, 20007, true]);
  assert.equal(read_picture_header(gif.subarray(0, gif.length - 3)).complete, false, 'a GIF cut in its frame');
  // An animated WebP: a 1x1 canvas, one frame of 16000x300 at (2, 4).
  const anmf = [...ascii('ANMF'), ...le(16, 4), ...le(1, 3), ...le(2, 3), ...le(15999, 3), ...le(299, 3), 0, 0, 0, 0];
  const vp8x = [...ascii('VP8X'), ...le(10, 4), 2, 0, 0, 0, ...le(0, 3), ...le(0, 3)];
  const webp = new Uint8Array([...ascii('RIFF'), ...le(4 + vp8x.length + anmf.length, 4), ...ascii('WEBP'), ...vp8x, ...anmf]);
  assert.deepEqual(Object.values(read_picture_header(webp)), ['WebP', 16002, 304, true]);
  assert.equal(read_picture_header(new TextEncoder().encode('not a picture, named .png')), null);
});

// png's chunks with extra put right after its header chunk.
function* png_parts(png, extra) {
  yield* png.subarray(0, 33);
  yield* extra;
  yield* png.subarray(33);
}

test('a JPEG or PNG cut short is told from a whole one', () => {
  for (const format of ['jpg', 'png']) {
    const whole = made('-size', '200x150', 'plasma:', '-seed', '5', `${format}:-`);
    assert.equal(read_picture_header(whole).complete, true, `a whole ${format}`);
    assert.equal(read_picture_header(whole.subarray(0, whole.length - 40)).complete, false, `a ${format} cut short`);
    // Bytes after the end, as some cameras write, leave it whole.
    const trailed = new Uint8Array([...whole, 1, 2, 3, 4]);
    assert.equal(read_picture_header(trailed).complete, true, `a ${format} with bytes after its end`);
  }
  // A progressive JPEG's many scans are stepped over to its end, and stray bytes before a marker,
  // which libjpeg skips, do not stop the walk.
  const progressive = made('-size', '200x150', 'plasma:', '-seed', '5', '-interlace', 'JPEG', 'jpg:-');
  assert.equal(read_picture_header(progressive).complete, true);
  assert.equal(read_picture_header(progressive.subarray(0, progressive.length >> 1)).complete, false);
  const second = 4 + ((progressive[4] << 8) | progressive[5]);
  const stray = new Uint8Array([...progressive.subarray(0, second), 0x00, 0x17, ...progressive.subarray(second)]);
  assert.equal(read_picture_header(stray).complete, true);
});

// The browsers turn a JPEG by the first EXIF orientation in it, in either byte order, past an XMP
// block in another APP1; the maker must know the turn before decoding, to ask for a smaller size.
test('a JPEG\'s EXIF orientation and colour profile are read from its header', () => {
  const jpeg = made('-size', '40x30', 'xc:red', 'jpg:-');
  const segment = (marker, body) => [0xff, marker, (body.length + 2) >> 8, (body.length + 2) & 255, ...body];
  const exif = (little, orientation) => {
    const u16 = (v) => (little ? [v & 255, v >> 8] : [v >> 8, v & 255]);
    const u32 = (v) => (little ? [...u16(v & 0xffff), ...u16(v >>> 16)] : [...u16(v >>> 16), ...u16(v & 0xffff)]);
    return segment(0xe1, [...ascii('Exif\0\0'), ...ascii(little ? 'II' : 'MM'), ...u16(42), ...u32(8), ...u16(2),
      ...u16(0x010f), ...u16(2), ...u32(4), ...ascii('cam\0'), ...u16(0x0112), ...u16(3), ...u32(1), ...u16(orientation), 0, 0,
      ...u32(0)]);
  };
  const xmp = segment(0xe1, ascii('http://ns.adobe.com/xap/1.0/\0<x/>'));
  const icc = segment(0xe2, [...ascii('ICC_PROFILE\0'), 1, 1, ...Array(16).fill(0)]);
  const with_segments = (...segments) => new Uint8Array([...jpeg.subarray(0, 2), ...segments.flat(), ...jpeg.subarray(2)]);
  const read = (bytes) => { const { orientation, profile } = read_picture_header(bytes); return [orientation, profile]; };
  assert.deepEqual(read(jpeg), [1, false]);
  assert.deepEqual(read(with_segments(exif(true, 6))), [6, false]);
  assert.deepEqual(read(with_segments(xmp, exif(false, 8), icc)), [8, true]);
  assert.deepEqual(read(with_segments(exif(true, 3), exif(true, 6))), [3, false], 'the first orientation counts');
});

test('contain and cover keep the picture\'s shape and centre', () => {
  assert.deepEqual(fit_geometry(3000, 4000, 640, 480, 'contain'), { width: 360, height: 480, x: 140, y: 0 });
  assert.deepEqual(fit_geometry(600, 1200, 640, 480, 'cover'), { width: 640, height: 1280, x: 0, y: -400 });
  assert.deepEqual(fit_geometry(4000, 3000, 640, 480, 'cover'), { width: 640, height: 480, x: 0, y: 0 });
  assert.deepEqual(fit_geometry(1000, 100, 256, 256, 'cover'), { width: 2560, height: 256, x: -1152, y: 0 });
});

test('one-pixel checks shrink to an even grey, without aliasing', () => {
  const [width, height] = [1999, 1501];
  const rgba = new Uint8Array(width * height * 4);
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) rgba.fill((x + y) % 2 ? 255 : 0, (y * width + x) * 4, (y * width + x) * 4 + 3);
  }
  const rgb = fit_pixels(rgba, width, height, 640, 480, 'contain');
  // 1999x1501 in 640x480: 639 wide (rounded), so one column of bar.
  let low = 255, high = 0;
  for (let y = 8; y < 472; y++) {
    for (let x = 8; x < 630; x++) {
      const v = rgb[(y * 640 + x) * 3];
      low = Math.min(low, v);
      high = Math.max(high, v);
    }
  }
  assert.ok(low >= 125 && high <= 130, `the checks come out between ${low} and ${high}, not an even grey`);
});
