// Shrinking a picture to the show's size without aliasing, in the way of the import's libvips
// thumbnail: first a box average by a whole factor (cheap, and the bulk of the reduction), then a
// Lanczos-3 kernel widened by what remains of the reduction, so that no detail finer than an
// output pixel folds back into it. Works on the sRGB values as they are, as libvips does.

// Where a picture of src_w x src_h goes in a frame of dst_w x dst_h: resized to width x height,
// then placed at (x, y) in the frame (negative: cropped, for cover). Contain keeps the whole
// picture, cover fills the frame; the picture's centre stays the frame's.
export function fit_geometry(src_w, src_h, dst_w, dst_h, fit) {
  const scale = fit === 'cover' ? Math.max(dst_w / src_w, dst_h / src_h) : Math.min(dst_w / src_w, dst_h / src_h);
  // The side that fits exactly is exact, whatever rounding gives the other.
  const width = Math.max(1, Math.abs(scale - dst_w / src_w) < 1e-12 ? dst_w : Math.round(src_w * scale));
  const height = Math.max(1, Math.abs(scale - dst_h / src_h) < 1e-12 ? dst_h : Math.round(src_h * scale));
  return { width, height, x: Math.floor((dst_w - width) / 2), y: Math.floor((dst_h - height) / 2) };
}

// The whole factor (1, 2, 4 or 8) by which a JPEG of src_w x src_h (upright) is best decoded for a
// frame of dst_w x dst_h, as libvips' thumbnail shrinks on load: the largest that leaves the
// resampling at least twice the frame's resolution to work from.
export function load_shrink(src_w, src_h, dst_w, dst_h, fit) {
  const shrink = fit === 'cover' ? Math.min(src_w / dst_w, src_h / dst_h) : Math.max(src_w / dst_w, src_h / dst_h);
  return shrink >= 16 ? 8 : shrink >= 8 ? 4 : shrink >= 4 ? 2 : 1;
}

// Buffers kept from one fitting to the next (a worker fits one picture at a time), so that a
// worker's memory stays that of its largest picture rather than growing with garbage until the
// engine collects it. A view of length elements of the named buffer, grown when too short.
const g_scratch = new Map();
export function scratch(name, Type, length) {
  let buffer = g_scratch.get(name);
  if (!(buffer instanceof Type) || buffer.length < length) {
    buffer = new Type(length);
    g_scratch.set(name, buffer);
  }
  return buffer.subarray(0, length);
}

// Lets the kept buffers go, for the collector.
export function drop_scratch() {
  g_scratch.clear();
}

// Averages factor x factor blocks of an RGBA picture into RGB floats; the last partial row and
// column of blocks are left out, as a shrink on load does.
function box_shrink(rgba, width, height, factor) {
  const out_w = Math.max(1, Math.floor(width / factor));
  const out_h = Math.max(1, Math.floor(height / factor));
  const out = scratch('box', Float32Array, out_w * out_h * 3);
  const sums = new Float32Array(out_w * 3);
  const area = factor * factor;
  for (let oy = 0; oy < out_h; oy++) {
    sums.fill(0);
    for (let y = oy * factor; y < (oy + 1) * factor; y++) {
      let i = y * width * 4;
      for (let ox = 0; ox < out_w; ox++) {
        let r = 0, g = 0, b = 0;
        for (let k = 0; k < factor; k++, i += 4) { r += rgba[i]; g += rgba[i + 1]; b += rgba[i + 2]; }
        sums[ox * 3] += r; sums[ox * 3 + 1] += g; sums[ox * 3 + 2] += b;
      }
    }
    const row = oy * out_w * 3;
    for (let j = 0; j < out_w * 3; j++) out[row + j] = sums[j] / area;
  }
  return { pixels: out, width: out_w, height: out_h };
}

function lanczos3(x) {
  if (x === 0) return 1;
  if (x <= -3 || x >= 3) return 0;
  const px = Math.PI * x;
  return 3 * Math.sin(px) * Math.sin(px / 3) / (px * px);
}

// For each of out_n outputs along an axis of in_n samples: the inputs its taps read (the edge
// samples repeating past the picture's borders) and their weights (summing to 1), the kernel
// widened by the reduction so that it low-passes first.
export function axis_weights(in_n, out_n) {
  const ratio = in_n / out_n;
  const stretch = Math.max(1, ratio);
  const support = 3 * stretch;
  const taps = Math.ceil(support) * 2 + 1;
  const inputs = new Int32Array(out_n * taps);
  const weights = new Float32Array(out_n * taps);
  for (let o = 0; o < out_n; o++) {
    const centre = (o + 0.5) * ratio - 0.5;
    const start = Math.ceil(centre - support);
    let total = 0;
    for (let t = 0; t < taps; t++) {
      const w = lanczos3((start + t - centre) / stretch);
      weights[o * taps + t] = w;
      inputs[o * taps + t] = Math.min(in_n - 1, Math.max(0, start + t));
      total += w;
    }
    for (let t = 0; t < taps; t++) weights[o * taps + t] /= total;
  }
  return { inputs, weights, taps };
}

// One pass along rows (horizontal) of a picture of step samples a pixel (RGB floats, or the
// RGBA bytes themselves when there was no box to average), its first three read: in_w x rows ->
// out_w x rows of RGB floats.
function resample_rows(src, step, in_w, rows, out_w) {
  const { inputs, weights, taps } = axis_weights(in_w, out_w);
  const out = scratch('rows', Float32Array, out_w * rows * 3);
  for (let y = 0; y < rows; y++) {
    const row = y * in_w * step;
    for (let o = 0; o < out_w; o++) {
      let r = 0, g = 0, b = 0;
      const base = o * taps;
      for (let t = 0; t < taps; t++) {
        const w = weights[base + t];
        const i = row + inputs[base + t] * step;
        r += src[i] * w; g += src[i + 1] * w; b += src[i + 2] * w;
      }
      const j = (y * out_w + o) * 3;
      out[j] = r; out[j + 1] = g; out[j + 2] = b;
    }
  }
  return out;
}

// The same down columns: in_h rows of width -> out_h rows.
function resample_columns(src, width, in_h, out_h) {
  const { inputs, weights, taps } = axis_weights(in_h, out_h);
  const out = scratch('columns', Float32Array, width * out_h * 3).fill(0);
  const stride = width * 3;
  for (let o = 0; o < out_h; o++) {
    const base = o * taps;
    const row = o * stride;
    for (let t = 0; t < taps; t++) {
      const w = weights[base + t];
      if (w === 0) continue;
      const from = inputs[base + t] * stride;
      for (let j = 0; j < stride; j++) out[row + j] += src[from + j] * w;
    }
  }
  return out;
}

// The box reduction by factor and the two Lanczos passes of an RGBA picture to width x height:
// RGB floats, rows back to back.
function resample(rgba, src_w, src_h, factor, width, height) {
  // Without a box, the rows are read from the RGBA bytes: no float copy of the whole picture.
  const boxed = factor > 1 ? { ...box_shrink(rgba, src_w, src_h, factor), step: 3 } :
    { pixels: rgba, width: src_w, height: src_h, step: 4 };
  const across = resample_rows(boxed.pixels, boxed.step, boxed.width, boxed.height, width);
  return resample_columns(across, width, boxed.height, height);
}

// An RGBA picture (alpha already laid over black) fitted into a dst_w x dst_h frame: RGB bytes,
// rows back to back, black where the picture does not reach. kernel: the same resampling done
// otherwise (fit_kernel.js), giving samples_per_pixel floats a pixel; else this module's.
// load_box: a reduction owed first, in place of a decoder's scaling, by a box of that factor.
// bgr: the samples are in the order B, G, R (as a decoder's frame may hold them).
export function fit_pixels(rgba, src_w, src_h, dst_w, dst_h, fit, { kernel = null, load_box = 1, bgr = false } = {}) {
  const place = fit_geometry(src_w, src_h, dst_w, dst_h, fit);
  // A box of half the reduction or less leaves the kernel at least twice the output's size to
  // work from, as libvips' thumbnail does (two boxes in a row are one of both factors).
  const factor = load_box *
    Math.max(1, Math.floor(Math.min(src_w / load_box / place.width, src_h / load_box / place.height) / 2));
  let fitted = null;
  let step = 3;
  try {
    fitted = kernel?.resample(rgba, src_w, src_h, factor, place.width, place.height);
    step = kernel?.samples_per_pixel ?? 3;
  } catch {
    // A picture too large for the kernel's memory: resampled here, where the engine's is.
  }
  fitted ??= resample(rgba, src_w, src_h, factor, place.width, place.height);
  // Resampled, the samples are in the order they came in.
  const [red, blue] = bgr ? [2, 0] : [0, 2];
  const out = new Uint8Array(dst_w * dst_h * 3);
  for (let y = Math.max(0, place.y); y < Math.min(dst_h, place.y + place.height); y++) {
    for (let x = Math.max(0, place.x); x < Math.min(dst_w, place.x + place.width); x++) {
      const i = ((y - place.y) * place.width + (x - place.x)) * step;
      const o = (y * dst_w + x) * 3;
      // Rounded and held to 0..255: the kernel's lobes overshoot at hard edges.
      out[o] = Math.min(255, Math.max(0, Math.round(fitted[i + red])));
      out[o + 1] = Math.min(255, Math.max(0, Math.round(fitted[i + 1])));
      out[o + 2] = Math.min(255, Math.max(0, Math.round(fitted[i + blue])));
    }
  }
  return out;
}
