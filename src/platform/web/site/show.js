// The page around the show: fetches the data set into the module's file system (of the soundtrack,
// which the browser streams as it plays, only its first bytes), starts the show on a click
// (browsers start sound only after one), passes keys in, scales the canvas, shows the show's
// messages and offers to play again. With ?clock=virtual&fps=N it plays at once
// against a virtual clock, silent, and leaves every frame's hash in window.showFrameHashes;
// &frames=N stops it after N frames with the last one on the canvas.
// On the maker's page (<body data-maker>) nothing is fetched: the maker hands a set it made in
// memory to window.velmorastikShowPlayer.play, and hears every end as a "show-ended" event.
"use strict";

(function () {
  // The files the show reads, as natively under data/, are k_data_set_files of data_set.js, which
  // the build makes from the show's own table. The soundtrack is played from the server by the
  // browser, however long it is; the show reads only its head to tell its format, and this is far
  // more than that.
  const k_streamed_files = { [k_data_set_soundtrack]: 65536 };

  const k_width = 640;
  const k_height = 480;
  // The keys the show knows, as Windows' virtual-key codes; any other key goes by its keyCode.
  const k_key_codes = { Escape: 27, ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40 };

  const params = new URLSearchParams(location.search);
  const virtual_fps = params.get("clock") === "virtual" ? parseInt(params.get("fps") || "60", 10) : 0;
  // Test mode only: stop after this many frames, the last one left on the canvas.
  const frame_limit = virtual_fps ? parseInt(params.get("frames") || "0", 10) : 0;

  const canvas = document.getElementById("show-canvas");
  const context = canvas.getContext("2d", { alpha: false });
  const element = (id) => document.getElementById(id);

  let data = null;     // path under data/ -> bytes, for every file the server had
  let module = null;   // the running show, while it runs
  let audio_context = null;
  let wasm_binary = null;  // the program's bytes when the page has them already
  const maker_page = document.body.hasAttribute("data-maker");

  // Whole device pixels per show pixel where the window allows, so that every pixel stays sharp;
  // a window smaller than the show shrinks it, keeping 4:3.
  function fit_canvas() {
    const ratio = window.devicePixelRatio || 1;
    const fit = Math.min(window.innerWidth * ratio / k_width, window.innerHeight * ratio / k_height);
    const scale = fit >= 1 ? Math.floor(fit) : fit;
    canvas.style.width = (k_width * scale / ratio) + "px";
    canvas.style.height = (k_height * scale / ratio) + "px";
  }

  // The file's bytes, or its first limit bytes (a server may send more than the range asked for).
  async function fetch_file(path, on_bytes, limit = Infinity) {
    const ranged = limit !== Infinity ? { headers: { Range: "bytes=0-" + (limit - 1) } } : {};
    const response = await fetch("data/" + path, ranged);
    if (response.status === 416) return new Uint8Array(0);  // no first byte: an empty file
    if (!response.ok) return null;  // the show says which file is missing, as natively
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
  async function load_data_set() {
    const sizes = await Promise.all(k_data_set_files.map(async (path) => {
      try {
        const head = await fetch("data/" + path, { method: "HEAD" });
        const size = head.ok ? parseInt(head.headers.get("Content-Length") || "0", 10) : 0;
        return Math.min(size, k_streamed_files[path] || Infinity);
      } catch { return 0; }
    }));
    const total = sizes.reduce((a, b) => a + b, 0) || 1;
    let received = 0;
    const bar = element("loading-progress");
    const files = {};
    await Promise.all(k_data_set_files.map(async (path) => {
      const bytes = await fetch_file(path, (n) => { received += n; bar.value = Math.min(1, received / total); },
                                     k_streamed_files[path]);
      if (bytes) files[path] = bytes;
    }));
    bar.value = 1;
    return files;
  }

  function write_data_set(fs) {
    for (const [path, bytes] of Object.entries(data)) {
      const parts = ("data/" + path).split("/");
      let folder = "";
      for (const part of parts.slice(0, -1)) {
        folder += "/" + part;
        try { fs.mkdir(folder); } catch { /* already there */ }
      }
      fs.writeFile("/" + parts.join("/"), bytes);
    }
    // data/ exists even when the server had none of it, so the show names the first missing file.
    try { fs.mkdir("/data"); } catch { /* already there */ }
  }

  function show_message(text, caption) {
    element("message-text").textContent = text;
    element("message-caption").textContent = caption;
    element("message").hidden = false;
  }

  // The show's end: 1 ran to its end, 0 stopped with Escape, 2 failed.
  function on_end(status, instance) {
    if (!module) return;
    // A fatal end leaves the soundtrack's element playing and downloading.
    if (module.web_music) module.web_music.stop();
    module = null;
    if (virtual_fps) instance.ccall("web_publish_hashes", null, [], []);
    window.showExitStatus = status;
    if (audio_context) { audio_context.close(); audio_context = null; }
    element("replay").hidden = false;
    if (virtual_fps) window.showDone = true;
    document.dispatchEvent(new CustomEvent("show-ended", { detail: status }));
  }

  async function start() {
    element("start-overlay").hidden = true;
    element("message").hidden = true;
    element("replay").hidden = true;
    if (!virtual_fps) {
      try {
        // Made and started on the click, which lets it sound; the show waits for it to start, a
        // short time at most, since a browser without a sound output may never start it.
        audio_context = new AudioContext();
        audio_context.resume().catch(() => {});
        // For the browser tests: the context the soundtrack plays through.
        window.showAudioContext = audio_context;
      } catch (error) {
        console.log("no audio context: " + error);
        audio_context = null;
      }
    }
    const options = {
      web_keys: [],
      web_context: context,
      audio_context: audio_context,
      on_message: show_message,
      on_frame_hashes: (hashes) => { window.showFrameHashes = hashes; },
      print: (text) => console.log(text),
      printErr: (text) => console.log(text),
      // The maker's soundtrack exists only in the page, not on the site for an element to stream.
      web_soundtrack_in_memory: maker_page,
      ...(wasm_binary ? { wasmBinary: wasm_binary } : {}),
      preRun: [(m) => write_data_set(m.FS)],
      // Every end comes through exit(), which unwinds the module by throwing; the page takes the
      // status once the module's stack is gone.
      quit: (status, thrown) => { setTimeout(() => on_end(status, instance)); throw thrown; },
    };
    module = options;
    const instance = await create_velmorastik(options);
    // For the browser tests and the performance figures: the running module.
    window.showInstance = instance;
    // The show starts in the browser's full-screen mode when the page is in it already.
    const windowed = document.fullscreenElement ? 0 : 1;
    // An end before the show's first wait throws at once; a later one rejects the promise.
    const ended = (error) => {
      if (!error || error.name !== "ExitStatus") console.error(error);
    };
    try {
      instance.ccall("web_show", "number", ["number", "number", "number"], [windowed, virtual_fps, frame_limit],
                     { async: true }).catch(ended);
    } catch (error) {
      ended(error);
    }
  }

  document.addEventListener("keydown", (event) => {
    if (!module) return;
    const code = k_key_codes[event.key] !== undefined ? k_key_codes[event.key] : event.keyCode;
    module.web_keys.push(code);
    if (event.key in k_key_codes) event.preventDefault();
  });

  element("start-overlay").addEventListener("click", start);
  element("replay").addEventListener("click", start);
  element("fullscreen-button").addEventListener("click", () => {
    if (document.fullscreenElement) document.exitFullscreen();
    else element("stage").requestFullscreen().then(() => {
      // Escape would only leave full screen; held down it still does, pressed it ends the show.
      if (navigator.keyboard && navigator.keyboard.lock) navigator.keyboard.lock(["Escape"]).catch(() => {});
    }, (error) => console.log("no full screen: " + error));
  });
  window.addEventListener("resize", fit_canvas);
  document.addEventListener("fullscreenchange", fit_canvas);
  fit_canvas();

  if (maker_page) {
    window.velmorastikShowPlayer = {
      // files: path under data/ -> bytes; program: velmorastik.wasm's bytes, fetched once by the
      // maker, so that playing asks the server for nothing. Called from a click, so that the sound
      // may start.
      play(files, program) {
        if (module) return false;
        data = files;
        wasm_binary = program;
        start();
        return true;
      },
    };
    return;
  }

  // Opened as a file the page can fetch nothing: say how to open it instead.
  if (location.protocol === "file:") {
    element("loading").hidden = true;
    show_message("The show must be served over HTTP; it cannot play from a file opened in the browser.",
                 "Serve this folder with scripts/web --serve, or with any static web server, and open the address it gives.");
    return;
  }

  load_data_set().then((files) => {
    data = files;
    element("loading").hidden = true;
    if (virtual_fps) start();
    else element("start-overlay").hidden = false;
  }, (error) => {
    element("loading-text").textContent = "The show cannot be loaded: " + error;
    console.error(error);
  });
})();
