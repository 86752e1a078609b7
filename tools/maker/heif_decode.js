// HEIC for browsers that have no decoder of their own (Chromium and Firefox among them): the
// maker's HEIF module (velmorastik-heif.js and .wasm beside the page: libheif with libde265 and
// lcms2, see heif/heif_exports.cpp), which measures the file against the import's limits before
// decoding it, as the import does. A worker is started for each picture and ended as soon as it
// answers: a WebAssembly module's memory never shrinks (some 190 MB after a 12-megapixel
// picture), and ending it gives that back before the page fits the picture.

// The HEIC file's bytes (handed over) decoded by the module's script at url: resolves to { rgba,
// width, height } upright, in sRGB, over black, or to { refusal } saying in the import's words why
// it is not taken.
export function decode_heif(bytes, url) {
  const worker = new Worker(url);
  return new Promise((resolve, reject) => {
    worker.onmessage = ({ data }) => {
      if (data.error !== undefined) reject(new Error(`the maker's HEIC decoder failed: ${data.error}`));
      else resolve(data);
    };
    // A script that cannot be fetched or run, or a module that cannot start.
    worker.onerror = (event) => {
      event.preventDefault();
      reject(new Error(`the maker's HEIC decoder (${url.pathname.split('/').pop()}) failed` +
        (event.message ? `: ${event.message}` : '')));
    };
    worker.postMessage({ id: 1, bytes }, [bytes.buffer]);
  }).finally(() => worker.terminate());
}
