// The sound tests' page script, bundled by sound_test.mjs with the maker's own modules: runs
// make_soundtrack on the file the test set in the page's file input and keeps the result for the
// test to read back in pieces.
import { make_soundtrack } from '../../tools/maker/soundtrack.js';

let g_result = null;

function base64(bytes) {
  let text = '';
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(text);
}

window.sound_test = {
  // The soundtrack of the input's file; what the test checks in the page, or the error's message.
  async make(options = {}) {
    g_result = null;
    const progress = [];
    const started = performance.now();
    try {
      const result = await make_soundtrack(document.querySelector('#music').files[0],
        { ...options, on_progress: (fraction) => progress.push(fraction) });
      g_result = result;
      return {
        duration_ms: result.duration_ms, notes: result.notes, mp3_bytes: result.mp3.length,
        pcm_frames: result.pcm.length / 2, elapsed_ms: performance.now() - started,
        progress_in_order: progress.every((p, i) => p >= 0 && p <= 1 && (i === 0 || p >= progress[i - 1])),
        progress_first: progress[0], progress_last: progress.at(-1),
      };
    } catch (error) {
      return { error: error.message };
    }
  },
  // Bytes [start, end) of the last result's mp3 or of its pcm's little-endian bytes, in base64.
  piece(which, start, end) {
    const bytes = which === 'mp3' ? g_result.mp3
      : new Uint8Array(g_result.pcm.buffer, g_result.pcm.byteOffset, g_result.pcm.byteLength);
    return base64(bytes.subarray(start, end));
  },
  size(which) {
    return which === 'mp3' ? g_result.mp3.length : g_result.pcm.byteLength;
  },
};
