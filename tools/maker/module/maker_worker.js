// The maker's module in its worker (appended after the module's factory): the page asks by
// message for the soundtrack's facts, for a soundtrack made from its samples and for a picture's
// size and refusal before it is decoded, and for a fitted picture's JPEG, and each answer
// carries its question's id, or an error in words. See tools/maker/maker_native.js.
(() => {
  const module_ready = create_velmorastik_maker();
  // A module that cannot start fails every question, not the worker.
  module_ready.catch(() => {});

  function facts(module) {
    const at = module._maker_facts() >> 2;
    const [show_frames, rate, channels, min_rate, fade_frames] = module.HEAPU32.subarray(at, at + 5);
    return { show_frames, rate, channels, min_rate, fade_frames };
  }

  function soundtrack(module, pcm) {
    const at = module._maker_soundtrack_buffer(pcm.length / 2);
    if (at === 0) throw new Error('the music is longer than the show');
    module.HEAP16.set(pcm, at >> 1);
    const result = module._maker_finish_soundtrack();
    if (result < 0) throw new Error('the MP3 encoder failed');
    // The views are taken again: the module's memory may have grown while encoding.
    const encoded = module.HEAP16.slice(at >> 1, (at >> 1) + pcm.length);
    const start = module._maker_mp3_data();
    const mp3 = module.HEAPU8.slice(start, start + module._maker_mp3_size());
    return { answer: { mp3, pcm: encoded, faded: result === 1 }, transfer: [mp3.buffer, encoded.buffer] };
  }

  // A JPEG's bytes are measured by libjpeg; any other picture by the size its header gave.
  function picture(module, { bytes, width, height, components }) {
    // The buffer first: making room may grow the module's memory, which detaches the view held before.
    if (bytes) {
      const buffer = module._maker_jpeg_buffer(bytes.length);
      module.HEAPU8.set(bytes, buffer);
    }
    const at = module._maker_check_picture(bytes ? 0 : width, bytes ? 0 : height, components) >> 2;
    const [checked_width, checked_height, text] = module.HEAP32.subarray(at, at + 3);
    const refusal = new TextDecoder().decode(module.HEAPU8.subarray(text, module.HEAPU8.indexOf(0, text)));
    return { width: checked_width, height: checked_height, refusal: refusal || null };
  }

  function picture_sizes(module) {
    const at = module._maker_picture_sizes() >> 2;
    const [frame_width, frame_height, texture_size] = module.HEAP32.subarray(at, at + 3);
    return { frame_width, frame_height, texture_size };
  }

  function encode(module, { rgb, width, height }) {
    const buffer = module._maker_rgb_buffer(width, height);
    module.HEAPU8.set(rgb, buffer);
    const size = module._maker_encode_picture(width, height);
    const at = module._maker_encoded_picture();
    const jpeg = module.HEAPU8.slice(at, at + size);
    return { answer: { jpeg }, transfer: [jpeg.buffer] };
  }

  self.onmessage = async ({ data }) => {
    const { id, request } = data;
    try {
      const module = await module_ready;
      if (request === 'facts') {
        self.postMessage({ id, facts: { ...facts(module), ...picture_sizes(module) } });
      } else if (request === 'encode') {
        const { answer, transfer } = encode(module, data);
        self.postMessage({ id, ...answer }, transfer);
      } else if (request === 'picture') {
        self.postMessage({ id, ...picture(module, data) });
      } else if (request === 'soundtrack') {
        const { answer, transfer } = soundtrack(module, data.pcm);
        self.postMessage({ id, ...answer }, transfer);
      } else {
        throw new Error(`no such request: ${request}`);
      }
    } catch (error) {
      self.postMessage({ id, error: String(error && error.message ? error.message : error) });
    }
  };
})();
