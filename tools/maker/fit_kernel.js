// The fitting workers' resampling in WebAssembly with 128-bit vectors (velmorastik-fitter.wasm,
// from module/fit_kernel.cpp): resample.mjs's box reduction and Lanczos passes with its weights,
// several times faster than its JavaScript, which stays where the browser has no such vectors.
import { axis_weights } from './resample.mjs';

// The compiled module, or null where it cannot be (no WebAssembly SIMD).
export async function compile_fit_kernel(url) {
  try {
    return await WebAssembly.compileStreaming(fetch(url));
  } catch {
    return null;
  }
}

// A kernel for fit_pixels on module: resample() as resample.mjs's (four floats a pixel, the fourth
// unused), in a memory of its own that grows to the largest picture; rest() lets it go.
export function fit_kernel(module) {
  let instance = null;
  let memory = null;
  const exports = () => {
    if (!instance) {
      // As the module was linked: at most 2 GB.
      memory = new WebAssembly.Memory({ initial: 16, maximum: 32768 });
      instance = new WebAssembly.Instance(module, { env: { memory, emscripten_notify_memory_growth: () => {} } });
      instance.exports._initialize();
    }
    return instance.exports;
  };
  return {
    samples_per_pixel: 4,
    resample(rgba, src_w, src_h, factor, width, height) {
      const k = exports();
      const taken = [];
      const alloc = (bytes) => {
        const at = k.malloc(bytes);
        if (!at) throw new Error(`the fitting kernel has no room for ${bytes} bytes`);
        taken.push(at);
        return at;
      };
      // Views are made after every allocation: the memory may have grown and moved.
      const put = (Type, values) => {
        const at = alloc(values.length * Type.BYTES_PER_ELEMENT);
        new Type(memory.buffer, at, values.length).set(values);
        return at;
      };
      // The taps of each output along an axis of in_n samples, in the kernel's memory.
      const taps_of = (in_n, out_n) => {
        const { inputs, weights, taps } = axis_weights(in_n, out_n);
        return { inputs: put(Int32Array, inputs), weights: put(Float32Array, weights), taps };
      };
      try {
        let source = put(Uint8Array, rgba);
        let [in_w, in_h] = [src_w, src_h];
        if (factor > 1) {
          [in_w, in_h] = [Math.max(1, Math.floor(src_w / factor)), Math.max(1, Math.floor(src_h / factor))];
          const boxed = alloc(in_w * in_h * 16);
          k.fit_box(source, src_w, factor, boxed, in_w, in_h);
          k.free(source);
          taken.splice(taken.indexOf(source), 1);
          source = boxed;
        }
        const across = alloc(width * in_h * 16);
        const rows = taps_of(in_w, width);
        if (factor > 1) k.fit_rows_floats(source, in_w, in_h, width, rows.taps, rows.inputs, rows.weights, across);
        else k.fit_rows_bytes(source, in_w, in_h, width, rows.taps, rows.inputs, rows.weights, across, alloc(in_w * 16));
        const fitted = alloc(width * height * 16);
        const columns = taps_of(in_h, height);
        k.fit_columns(across, width, height, columns.taps, columns.inputs, columns.weights, fitted);
        return new Float32Array(memory.buffer, fitted, width * height * 4).slice();
      } finally {
        for (const at of taken) k.free(at);
      }
    },
    rest() {
      instance = null;
      memory = null;
    },
  };
}
