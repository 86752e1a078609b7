// HEIC for browsers that have no decoder of their own (Chromium and Firefox among them): the
// maker's HEIF module (velmorastik-heif.js and .wasm beside the page: libheif with libde265 and
// lcms2, see heif/heif_exports.cpp), started in a worker the first time such a picture is chosen
// and kept for the next ones. It measures the file against the import's limits before decoding
// it, as the import does.

let g_decoder = null;

function open_decoder(url) {
  const worker = new Worker(url);
  const waiting = new Map();
  let next_id = 1;
  const decoder = { worker, waiting };
  const fail_all = (error) => {
    // The next picture starts a new worker: one that failed (its memory exhausted, its file
    // missing) is not asked again.
    if (g_decoder === decoder) g_decoder = null;
    worker.terminate();
    for (const { reject } of waiting.values()) reject(error);
    waiting.clear();
  };
  worker.onmessage = ({ data }) => {
    const waiter = waiting.get(data.id);
    if (!waiter) return;
    waiting.delete(data.id);
    if (data.error !== undefined) waiter.reject(new Error(data.error));
    else waiter.resolve(data);
  };
  worker.onerror = (event) => {
    event.preventDefault();
    fail_all(new Error(`the maker's HEIC decoder (${url.pathname.split('/').pop()}) failed` +
      (event.message ? `: ${event.message}` : '')));
  };
  decoder.decode = (bytes) => new Promise((resolve, reject) => {
    const id = next_id++;
    waiting.set(id, { resolve, reject });
    worker.postMessage({ id, bytes }, [bytes.buffer]);
  });
  return decoder;
}

// The HEIC file's bytes (handed over) decoded: resolves to { rgba, width, height } upright, in
// sRGB, over black, or to { refusal } saying in the import's words why it is not taken.
export function decode_heif(bytes, url = new URL('velmorastik-heif.js', document.baseURI)) {
  g_decoder ??= open_decoder(url);
  return g_decoder.decode(bytes);
}
