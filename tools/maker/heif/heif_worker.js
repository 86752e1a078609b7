// The maker's HEIC decoder in its worker (appended after the module's factory): the page sends a
// file's bytes (handed over) and is answered, with its question's id, by the picture upright in
// sRGB over black ({ rgba, width, height }, the samples handed over), by { refusal } in the
// import's words, or by an error in words. See tools/maker/heif_decode.js.
(() => {
  const module_ready = create_velmorastik_heif();
  // A module that cannot start fails every question, not the worker.
  module_ready.catch(() => {});

  function decode(module, bytes) {
    // The buffer first: making room may grow the module's memory, which leaves older views empty.
    const buffer = module._heif_file_buffer(bytes.length);
    module.HEAPU8.set(bytes, buffer);
    const at = module._heif_decode() >> 2;
    // The views are taken after decoding: the module's memory may have grown meanwhile.
    const [width, height, channels, pixels, text] = module.HEAP32.subarray(at, at + 5);
    const refusal = new TextDecoder().decode(module.HEAPU8.subarray(text, module.HEAPU8.indexOf(0, text)));
    if (refusal) return { answer: { refusal }, transfer: [] };
    // RGBA for the page, as its canvas gives other pictures: from RGB, opaque.
    let rgba;
    if (channels === 4) {
      rgba = module.HEAPU8.slice(pixels, pixels + width * height * 4);
    } else {
      const rgb = module.HEAPU8.subarray(pixels, pixels + width * height * 3);
      rgba = new Uint8Array(width * height * 4);
      for (let i = 0, o = 0; i < rgb.length; i += 3, o += 4) {
        rgba[o] = rgb[i];
        rgba[o + 1] = rgb[i + 1];
        rgba[o + 2] = rgb[i + 2];
        rgba[o + 3] = 255;
      }
    }
    module._heif_release();
    return { answer: { rgba, width, height }, transfer: [rgba.buffer] };
  }

  self.onmessage = async ({ data }) => {
    const { id, bytes } = data;
    try {
      const { answer, transfer } = decode(await module_ready, bytes);
      self.postMessage({ id, ...answer }, transfer);
    } catch (error) {
      self.postMessage({ id, error: String(error && error.message ? error.message : error) });
    }
  };
})();
