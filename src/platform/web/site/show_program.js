// The show's WebAssembly program, the one way the page, the maker's Play and its video make it:
// velmorastik.js (an ES module, beside the page) and velmorastik.wasm, fetched and compiled once,
// so that every later play asks the server for nothing and costs only its own memory. An instance
// made afresh for every play, so that playing again starts from a clean program; exit() ends a
// play as natively.
// The show's facts (the frame's size, the rate its length is told at, its keys, the data set's
// files and the places under the effect) come from an instance of its own that never plays.

let g_program = null;
let g_factory = null;
let g_facts = null;

// velmorastik.wasm, compiled.
function program() {
  g_program ??= fetch(new URL('velmorastik.wasm', document.baseURI)).then((response) => {
    if (!response.ok) throw new Error(`velmorastik.wasm: the server answered ${response.status}`);
    return response.arrayBuffer();
  }).then((bytes) => WebAssembly.compile(bytes));
  return g_program;
}

// The factory's options that instantiate the compiled program rather than fetch and compile it again.
function compiled(module) {
  return {
    instantiateWasm: (imports, receive) => {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module),
        (error) => console.error(`velmorastik.wasm could not start: ${error}`));
      return {};
    },
  };
}

// The module's factory. Its address is made at run time, so that the bundler leaves the program
// to its own file rather than copying it into each page's script.
function factory() {
  g_factory ??= import(new URL('velmorastik.js', document.baseURI).href).then((script) => script.default);
  return g_factory;
}

// Puts files (path under data/ -> bytes) in the module's file system under /data.
function write_data_set(fs, files) {
  // data/ exists even when there is no file at all, so the show names the first missing one.
  try { fs.mkdir('/data'); } catch { /* already there */ }
  for (const [path, bytes] of Object.entries(files)) {
    const parts = ('data/' + path).split('/');
    let folder = '';
    for (const part of parts.slice(0, -1)) {
      folder += '/' + part;
      try { fs.mkdir(folder); } catch { /* already there */ }
    }
    fs.writeFile('/' + parts.join('/'), bytes);
  }
}

// A module of the show holding files, ready to play. hooks are the page's side of the program:
//   on_end(status, instance)   every end (1 to its end, 0 stopped, 2 failed), once the module's
//                              stack is gone; exit() unwinds the module by throwing
//   on_message(text, caption)  a message box's text
//   on_frame_hashes(hashes)    the test mode's record, when asked for with web_publish_hashes
//   on_video_frame(bytes, index) the video's frames, each awaited (true stops the show)
//   context                    the canvas's 2D context, or null to draw nowhere
//   audio_context              the AudioContext the soundtrack plays through, or null
//   keys                       the array the page pushes key codes into
//   in_memory                  the soundtrack is in files, not on the site for an element to stream
export async function create_show(files, hooks) {
  const [create, module] = await Promise.all([factory(), program()]);
  const made = create({
    ...compiled(module),
    web_keys: hooks.keys ?? [],
    web_context: hooks.context ?? null,
    audio_context: hooks.audio_context ?? null,
    web_soundtrack_in_memory: hooks.in_memory ?? false,
    on_message: hooks.on_message ?? (() => {}),
    on_frame_hashes: hooks.on_frame_hashes ?? (() => {}),
    ...(hooks.on_video_frame ? { on_video_frame: hooks.on_video_frame } : {}),
    print: (text) => console.log(text),
    printErr: (text) => console.log(text),
    preRun: [(m) => write_data_set(m.FS, files)],
    quit: (status, thrown) => {
      setTimeout(() => made.then((m) => hooks.on_end?.(status, m)));
      throw thrown;
    },
  });
  return made;
}

// Calls an entry of the show's (web_show, web_export_video) that ends through exit(): an end
// before the show's first wait throws at once, a later one rejects; both reach hooks.on_end.
export function start_show(instance, entry, args) {
  const ended = (error) => {
    if (error && error.name !== 'ExitStatus') console.error(error);
  };
  try {
    instance.ccall(entry, 'number', args.map(() => 'number'), args, { async: true }).catch(ended);
  } catch (error) {
    ended(error);
  }
}

// { frame_width, frame_height, fps, keys (name -> code), files, pictures, texture, soundtrack
// (paths under data/), effect_places (per picture, in order), frame_count(fps) }.
export function show_facts() {
  g_facts ??= Promise.all([factory(), program()]).then(async ([create, module]) => {
    const m = await create({ ...compiled(module), print: (text) => console.log(text), printErr: (text) => console.log(text) });
    const facts = JSON.parse(m.ccall('web_facts', 'string', [], []));
    return { ...facts, frame_count: (fps) => (fps > 0 ? m._web_show_frame_count(fps) : 0) };
  });
  return g_facts;
}
