// The show's page: fetches the data set into memory (of the soundtrack, which the browser streams
// as it plays, only its first bytes) and plays it on the stage after a click. With
// ?clock=virtual&fps=N it plays at once against a virtual clock, silent, and leaves every frame's
// hash in window.showFrameHashes; &frames=N stops it after N frames with the last one on the canvas.
import { show_facts } from './show_program.js';
import { open_stage, show_message, test_mode } from './show_player.js';
import { keep_site_offline } from './offline.js';

const element = (id) => document.getElementById(id);

// The show reads only the soundtrack's head to tell its format; this is far more than that.
const k_streamed_head = 65536;


// The file's bytes, or its first limit bytes (a server may send more than the range asked for);
// null when the server has no such file, which the show then names as natively.
async function fetch_file(path, on_bytes, limit = Infinity) {
  const ranged = limit !== Infinity ? { headers: { Range: 'bytes=0-' + (limit - 1) } } : {};
  const response = await fetch('data/' + path, ranged);
  if (response.status === 416) return new Uint8Array(0);  // no first byte: an empty file
  if (!response.ok) return null;
  const reader = response.body.getReader();
  const parts = [];
  let size = 0;
  while (size < limit) {
    const { done, value } = await reader.read();
    if (done) break;
    const part = value.subarray(0, limit - size);
    parts.push(part);
    size += part.length;
    on_bytes(part.length);
  }
  if (size >= limit) reader.cancel().catch(() => {});
  const bytes = new Uint8Array(size);
  let at = 0;
  for (const part of parts) { bytes.set(part, at); at += part.length; }
  return bytes;
}

// Sizes first (HEAD), so that the bar moves with the bytes rather than with the files.
async function load_data_set({ files: paths, soundtrack }) {
  const limit_of = (path) => (path === soundtrack ? k_streamed_head : Infinity);
  const sizes = await Promise.all(paths.map(async (path) => {
    try {
      const head = await fetch('data/' + path, { method: 'HEAD' });
      const size = head.ok ? parseInt(head.headers.get('Content-Length') || '0', 10) : 0;
      return Math.min(size, limit_of(path));
    } catch { return 0; }
  }));
  const total = sizes.reduce((a, b) => a + b, 0) || 1;
  let received = 0;
  const bar = element('loading-progress');
  const files = {};
  await Promise.all(paths.map(async (path) => {
    const bytes = await fetch_file(path, (n) => { received += n; bar.value = Math.min(1, received / total); }, limit_of(path));
    if (bytes) files[path] = bytes;
  }));
  bar.value = 1;
  return files;
}

async function main() {
  // Opened as a file the page can fetch nothing: say how to open it instead.
  if (location.protocol === 'file:') {
    element('loading').hidden = true;
    show_message('The show must be served over HTTP; it cannot play from a file opened in the browser.',
      'Serve this folder with scripts/web --serve, or with any static web server, and open the address it gives.');
    return;
  }
  keep_site_offline();
  try {
    const facts = await show_facts();
    const stage = open_stage(facts, test_mode(facts));
    const files = await load_data_set(facts);
    element('loading').hidden = true;
    stage.play(files, { ask: !test_mode(facts).virtual_fps });
  } catch (error) {
    element('loading-text').textContent = 'The show cannot be loaded: ' + error;
    console.error(error);
  }
}

main();
