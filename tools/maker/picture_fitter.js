// What each of the maker's fitting workers runs (fit_pool.js starts them): a picture decoded and
// fitted off the page's thread, its RGB handed back. A question: { id, file, picture (as
// check_picture gave it), width, height, fit }; the answer: { id, rgb, resamples (whether the
// decoder resamples: see picture_fit.js) } or { id, refusal } (a PictureRefused's words) or
// { id, error }. { rest: true }: nothing more to fit for now, the buffers kept between pictures
// are let go.
import { fit_picture, PictureRefused, g_decoder_resamples } from './picture_fit.js';
import { drop_scratch } from './resample.mjs';
import { compile_fit_kernel, fit_kernel } from './fit_kernel.js';

// The resampling kernel beside this script, compiled while the page loads; without it (no
// WebAssembly SIMD), resample.mjs's own.
const g_kernel = compile_fit_kernel(new URL('velmorastik-fitter.wasm', self.location.href))
  .then((module) => module && fit_kernel(module));
// Loaded: the page knows its workers are there.
g_kernel.then(() => self.postMessage({ ready: true }));

self.onmessage = async ({ data }) => {
  const kernel = await g_kernel;
  if (data.rest) {
    drop_scratch();
    kernel?.rest();
    return;
  }
  const { id, file, picture, width, height, fit } = data;
  try {
    const rgb = await fit_picture(file, picture, width, height, fit, kernel);
    // The page counts a decode as whole from then on.
    self.postMessage({ id, rgb, resamples: g_decoder_resamples }, [rgb.buffer]);
  } catch (error) {
    if (error instanceof PictureRefused) self.postMessage({ id, refusal: error.message });
    else self.postMessage({ id, error: String(error?.message ?? error) });
  }
};
