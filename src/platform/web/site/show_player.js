// The stage the show plays on, on the show's page and the maker's: the canvas scaled to the window,
// keys passed in, a click to start (browsers start sound only after one), the show's messages,
// full screen and playing again. Every end is dispatched as a "show-ended" event (detail: the
// status). With a virtual clock it plays silent and as fast as it can draw, and leaves every
// frame's hash in window.showFrameHashes.
import { create_show, start_show } from './show_program.js';

const element = (id) => document.getElementById(id);

// A message box of the show's, or the page's own in its words, over the stage.
export function show_message(text, caption) {
  element('message-text').textContent = text;
  element('message-caption').textContent = caption;
  element('message').hidden = false;
}

// The test mode the page's address asks for: ?clock=virtual&fps=N plays against a virtual clock at
// N frames a second (the show's own rate, facts.fps, without &fps), &frames=N stops after N frames;
// { virtual_fps: 0 } plays live.
export function test_mode(facts, address = location) {
  const params = new URLSearchParams(address.search);
  const virtual_fps = params.get('clock') === 'virtual' ? parseInt(params.get('fps') || String(facts.fps), 10) : 0;
  return { virtual_fps, frame_limit: virtual_fps ? parseInt(params.get('frames') || '0', 10) : 0 };
}

// facts: show_facts(); virtual_fps: 0 plays live, else test mode at that rate; frame_limit: test
// mode stops after so many frames (0: at the end); in_memory: the files hold the soundtrack whole
// (the maker's), where the page's streams from the site.
export function open_stage(facts, { virtual_fps = 0, frame_limit = 0, in_memory = false } = {}) {
  const { frame_width, frame_height, keys } = facts;
  const canvas = element('show-canvas');
  canvas.width = frame_width;
  canvas.height = frame_height;
  const context = canvas.getContext('2d', { alpha: false });
  let files = null;
  let playing = null;  // the hooks of the play under way
  let audio_context = null;

  // Whole device pixels per show pixel where the window allows, so that every pixel stays sharp;
  // a window smaller than the show shrinks it, keeping its shape.
  function fit_canvas() {
    const ratio = window.devicePixelRatio || 1;
    const fit = Math.min(window.innerWidth * ratio / frame_width, window.innerHeight * ratio / frame_height);
    const scale = fit >= 1 ? Math.floor(fit) : fit;
    canvas.style.width = (frame_width * scale / ratio) + 'px';
    canvas.style.height = (frame_height * scale / ratio) + 'px';
  }

  function on_end(status, instance) {
    if (!playing) return;
    // A fatal end leaves the soundtrack's element playing and downloading.
    if (instance.web_music) instance.web_music.stop();
    playing = null;
    if (virtual_fps) instance.ccall('web_publish_hashes', null, [], []);
    window.showExitStatus = status;
    if (audio_context) { audio_context.close(); audio_context = null; }
    element('replay').hidden = false;
    // The one control left on the stage: Enter plays again, Tab leads on from it.
    element('replay').focus();
    if (virtual_fps) window.showDone = true;
    document.dispatchEvent(new CustomEvent('show-ended', { detail: status }));
  }

  async function start() {
    element('start-overlay').hidden = true;
    element('message').hidden = true;
    element('replay').hidden = true;
    if (!virtual_fps) {
      try {
        // Made and started on the click, which lets it sound; the show waits for it to start, a
        // short time at most, since a browser without a sound output may never start it.
        audio_context = new AudioContext();
        audio_context.resume().catch(() => {});
        // For the browser tests: the context the soundtrack plays through.
        window.showAudioContext = audio_context;
      } catch (error) {
        console.log('no audio context: ' + error);
        audio_context = null;
      }
    }
    const hooks = {
      keys: [], context, audio_context, in_memory, on_end, on_message: show_message,
      on_frame_hashes: (hashes) => { window.showFrameHashes = hashes; },
    };
    playing = hooks;
    const instance = await create_show(files, hooks);
    // For the browser tests and the performance figures: the running module.
    window.showInstance = instance;
    // The show starts in the browser's full-screen mode when the page is in it already.
    const windowed = document.fullscreenElement ? 0 : 1;
    start_show(instance, 'web_show', [windowed, virtual_fps, frame_limit]);
  }

  document.addEventListener('keydown', (event) => {
    if (!playing) return;
    playing.keys.push(keys[event.key] !== undefined ? keys[event.key] : event.keyCode);
    if (event.key in keys) event.preventDefault();
  });
  element('start-overlay').addEventListener('click', start);
  element('replay').addEventListener('click', start);
  element('fullscreen-button').addEventListener('click', () => {
    if (document.fullscreenElement) document.exitFullscreen();
    else element('stage').requestFullscreen().then(() => {
      // Escape would only leave full screen; held down it still does, pressed it ends the show.
      if (navigator.keyboard && navigator.keyboard.lock) navigator.keyboard.lock(['Escape']).catch(() => {});
    }, (error) => console.log('no full screen: ' + error));
  });
  window.addEventListener('resize', fit_canvas);
  document.addEventListener('fullscreenchange', fit_canvas);
  fit_canvas();

  return {
    // Plays files (path under data/ -> bytes) now, or, when ask is true, once the person clicks
    // the start overlay. False while a play is under way.
    play(set, { ask = false } = {}) {
      if (playing) return false;
      files = set;
      if (ask) element('start-overlay').hidden = false;
      else start();
      return true;
    },
  };
}
