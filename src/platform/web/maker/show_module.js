// The show's own WebAssembly module, made once for the maker and never played: the show's length
// and the places under the effect, from its timeline.
// The program's bytes are fetched once, with the page's files: the maker's module and every play
// of the show are made from them, so that nothing is asked of the server afterwards.
let g_binary = null;
let g_module = null;

// velmorastik.wasm's bytes.
export function program_bytes() {
  g_binary ??= fetch('velmorastik.wasm').then((response) => {
    if (!response.ok) throw new Error(`velmorastik.wasm: the server answered ${response.status}`);
    return response.arrayBuffer();
  });
  return g_binary;
}

async function module() {
  // create_velmorastik is the page's velmorastik.js, loaded before the maker.
  g_module ??= program_bytes().then((binary) => create_velmorastik({
    wasmBinary: binary, print: (text) => console.log(text), printErr: (text) => console.log(text),
  }));
  return g_module;
}

// The show's frame count at fps frames a second.
export async function show_frame_count(fps) {
  return (await module())._web_show_frame_count(fps);
}

// For each of the data set's count pictures in order, whether the show draws the effect over it.
export async function effect_places(count) {
  const m = await module();
  return Array.from({ length: count }, (_, place) => m._web_picture_carries_effect(place) === 1);
}
