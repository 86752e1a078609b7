// The maker's own rules without a browser: what picture headers declare (refused sizes, files cut
// short), and the resampler's geometry and antialiasing. Pictures are made here by ImageMagick.
import test from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { read_picture_header, size_refusal } from '../../src/platform/web/maker/picture_header.js';
import { fit_geometry, fit_pixels } from '../../src/platform/web/maker/resample.js';

const made = (...args) => new Uint8Array(execFileSync('convert', [...args]));

// A JPEG's SOI and a baseline frame header declaring width x height, and nothing more.
function jpeg_declaring(width, height) {
  return new Uint8Array([0xff, 0xd8, 0xff, 0xc0, 0, 17, 8, height >> 8, height & 255, width >> 8, width & 255, 3,
    1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1]);
}

test('headers give the size; over 200 megapixels is refused in the import\'s words', () => {
  const jpeg = read_picture_header(made('-size', '64x48', 'xc:gray', 'jpg:-'));
  assert.deepEqual([jpeg.format, jpeg.width, jpeg.height, jpeg.complete], ['JPEG', 64, 48, true]);
  const png = read_picture_header(made('-size', '30x20', 'xc:red', 'png:-'));
  assert.deepEqual([png.format, png.width, png.height, png.complete], ['PNG', 30, 20, true]);
  const huge = read_picture_header(jpeg_declaring(20000, 10001));
  assert.equal(size_refusal(huge.width, huge.height, huge), '20000x10001 pixels is over the limit of 200 megapixels');
  assert.equal(size_refusal(20000, 10000, huge), null, 'exactly 200 megapixels is taken');
  // Progressive, colour at full resolution: six bytes a pixel while decoding.
  assert.equal(size_refusal(14000, 13000, { progressive: true, components: 3, subsampled: false }),
    '14000x13000 pixels would take 1.0 GB to decode, over the limit of 1.0 GB');
  assert.equal(read_picture_header(new TextEncoder().encode('not a picture, named .png')), null);
});

test('a JPEG or PNG cut short is told from a whole one', () => {
  for (const format of ['jpg', 'png']) {
    const whole = made('-size', '200x150', 'plasma:', '-seed', '5', `${format}:-`);
    assert.equal(read_picture_header(whole).complete, true, `a whole ${format}`);
    assert.equal(read_picture_header(whole.subarray(0, whole.length - 40)).complete, false, `a ${format} cut short`);
    // Bytes after the end, as some cameras write, leave it whole.
    const trailed = new Uint8Array([...whole, 1, 2, 3, 4]);
    assert.equal(read_picture_header(trailed).complete, true, `a ${format} with bytes after its end`);
  }
  // A progressive JPEG's many scans are stepped over to its end.
  const progressive = made('-size', '200x150', 'plasma:', '-seed', '5', '-interlace', 'JPEG', 'jpg:-');
  const header = read_picture_header(progressive);
  assert.deepEqual([header.progressive, header.complete], [true, true]);
  assert.equal(read_picture_header(progressive.subarray(0, progressive.length >> 1)).complete, false);
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
