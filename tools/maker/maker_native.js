// The maker's WebAssembly module (velmorastik-maker.js and .wasm beside the page: the native
// import's own code for the soundtrack's length, fade and MP3 encoding, for measuring a picture
// before it is decoded and for encoding it) in a worker of its own, so that encoding never stalls the page.
// A worker for each soundtrack, ended by close(), which gives its memory back; the pictures' one
// lives with the page.

export function open_maker_native(url = new URL('velmorastik-maker.js', document.baseURI)) {
  const worker = new Worker(url);
  const waiting = new Map();
  let next_id = 1;
  let broken = null;
  const fail_all = (error) => {
    broken = error;
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
  // A script that cannot be fetched or run: every question fails, naming the file.
  worker.onerror = (event) => {
    event.preventDefault();
    fail_all(new Error(`the maker's encoder (${url.pathname.split('/').pop()}) could not start` +
      (event.message ? `: ${event.message}` : '')));
  };
  const ask = (message, transfer = []) => {
    if (broken) return Promise.reject(broken);
    return new Promise((resolve, reject) => {
      const id = next_id++;
      waiting.set(id, { resolve, reject });
      worker.postMessage({ id, ...message }, transfer);
    });
  };
  return {
    // { show_frames, rate, channels, min_rate, fade_frames }: the soundtrack as the show wants it;
    // { frame_width, frame_height, texture_size }: its pictures.
    facts: () => ask({ request: 'facts' }).then((answer) => answer.facts),
    // Interleaved stereo at the facts' rate, at most show_frames frames (its buffer is handed
    // over): resolves to { mp3, pcm, faded }, pcm as encoded (faded when as long as the show).
    soundtrack: (pcm) => ask({ request: 'soundtrack', pcm }, [pcm.buffer]),
    // A picture measured before it is decoded: a JPEG's bytes (handed over), read by libjpeg, or
    // the width, height and components its header gave. Resolves to { width, height, refusal },
    // refusal in the import's words, or null when the picture is taken.
    // width x height RGB samples (copied: they stay the caller's) as a baseline JPEG, the bytes
    // the import writes.
    encode_picture: (rgb, width, height) => ask({ request: 'encode', rgb, width, height }).then((answer) => answer.jpeg),
    picture: (jpeg, { width = 0, height = 0, components = 4 } = {}) =>
      ask({ request: 'picture', bytes: jpeg, width, height, components }, jpeg ? [jpeg.buffer] : []),
    close: () => {
      worker.terminate();
      fail_all(new Error('the maker\'s encoder was closed'));
    },
  };
}
