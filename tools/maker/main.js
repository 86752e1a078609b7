// The maker's page: its controls, the pictures as thumbnails in the show's order (reordered by
// dragging or by keys), the notes, Play and the data set's download; and window.velmorastikMaker,
// which the controls use too, for tests and people who script the page.
import { Maker, music_start_seconds, reason_of } from './maker.js';
import { fill_places, place_label } from './places.js';
import { show_facts } from '../../src/platform/web/site/show_program.js';
import { open_stage, test_mode } from '../../src/platform/web/site/show_player.js';
import { keep_site_offline } from '../../src/platform/web/site/offline.js';
import { zip_data_set } from './data_set_zip.js';
import { download } from './download.js';
import { export_video, video_format } from './video_export.js';

const element = (id) => document.getElementById(id);
const maker = new Maker();
maker.on_progress = set_status;
// Once the page has started (start): the show's facts, and the stage Play uses.
let facts = null;
let stage = null;
let g_notes = [];     // about the inputs chosen, shown until the next choice
let g_busy = Promise.resolve();
// The set for the inputs as they are: made again only after a change, which forgets it.
let g_made = null;
// The RangeError while the music's start field holds no start: nothing is made until it does.
let g_start_refused = null;

function set_status(text) { element('status').textContent = text; }

// The notes on the files chosen; those on the order are shown, kept up to date, under the pictures.
function show_notes(all) {
  const order = maker.order_notes();
  const notes = all.filter((note) => !order.includes(note));
  const list = element('notes');
  list.replaceChildren(...notes.map((note) => Object.assign(document.createElement('li'), { textContent: note })));
  element('notes-section').hidden = notes.length === 0;
}

// Work one after another, so that a second choice waits for the first; the controls say so.
function serially(work) {
  const run = g_busy.then(work);
  g_busy = run.catch(() => {});
  return run;
}

// A thumbnail of the fitted RGB picture, the frame's size.
function thumbnail(rgb) {
  const { frame_width, frame_height } = maker.sizes;
  const rgba = new Uint8ClampedArray(frame_width * frame_height * 4);
  for (let i = 0, j = 0; i < rgb.length; i += 3, j += 4) {
    rgba[j] = rgb[i]; rgba[j + 1] = rgb[i + 1]; rgba[j + 2] = rgb[i + 2]; rgba[j + 3] = 255;
  }
  const full = document.createElement('canvas');
  full.width = frame_width;
  full.height = frame_height;
  full.getContext('2d').putImageData(new ImageData(rgba, frame_width, frame_height), 0, 0);
  const small = document.createElement('canvas');
  // A quarter of the frame's width, its shape kept.
  small.width = Math.round(frame_width / 4);
  small.height = Math.round(frame_height / 4);
  const context = small.getContext('2d');
  context.imageSmoothingQuality = 'high';
  context.drawImage(full, 0, 0, small.width, small.height);
  return small;
}

// The places each picture fills (numbered from 1), by the order.
function places_of_pictures() {
  const places = maker.pictures.map(() => []);
  fill_places(Math.min(maker.pictures.length, maker.places.length), maker.places.length)
    .forEach((index, place) => places[index].push(place + 1));
  return places;
}

// The show's places in order, each with the picture that fills it and whether the show draws the
// effect over it.
function render_places() {
  const filling = fill_places(Math.min(maker.pictures.length, maker.places.length), maker.places.length);
  element('place-strip').replaceChildren(...maker.places.map((path, place) => {
    const item = document.createElement('li');
    // An eighth of the frame's width, its shape kept.
    const canvas = Object.assign(document.createElement('canvas'),
      { width: Math.round(facts.frame_width / 8), height: Math.round(facts.frame_height / 8) });
    const picture = filling.length ? maker.pictures[filling[place]] : null;
    const image = picture && g_thumbnails.get(picture.id);
    if (image) canvas.getContext('2d').drawImage(image, 0, 0, canvas.width, canvas.height);
    const name = place_label(path, facts.effect_places[place]);
    const label = Object.assign(document.createElement('span'), { textContent: `${place + 1}. ${name}` });
    item.setAttribute('aria-label', `Place ${place + 1}, ${name}: ${picture ? picture.name : 'empty'}`);
    item.append(canvas, label);
    return item;
  }));
}

const g_thumbnails = new Map();  // picture id -> canvas, for the fit it was made with
let g_dragged = null;  // the picture being dragged: { index, x, y, pointer, moved }

function render_pictures(focus_id = null) {
  g_made = null;
  const list = element('picture-list');
  const places = places_of_pictures();
  const count = maker.pictures.length;
  list.replaceChildren(...maker.pictures.map((picture, index) => {
    const item = document.createElement('li');
    item.className = 'picture';
    item.tabIndex = 0;
    item.dataset.id = picture.id;
    const where = places[index].length ? `${places[index].length === 1 ? 'place' : 'places'} ${places[index].join(', ')}` :
      `left out: the show has ${maker.places.length} places`;
    if (!places[index].length) item.classList.add('left-out');
    item.setAttribute('aria-label', `Picture ${index + 1} of ${count}, ${picture.name}: ${where}. ` +
      'Arrow keys move it, Delete removes it.');
    // Until it is fitted (or while it is left out), an empty frame to drag it by.
    item.append(g_thumbnails.get(picture.id) ?? Object.assign(document.createElement('canvas'),
      { width: Math.round(maker.sizes.frame_width / 4), height: Math.round(maker.sizes.frame_height / 4) }));
    const caption = document.createElement('p');
    caption.className = 'places';
    caption.textContent = where;
    const name = document.createElement('p');
    name.className = 'name';
    name.textContent = picture.name;
    const buttons = document.createElement('div');
    buttons.className = 'buttons';
    for (const [label, text, action] of [['Move earlier', '◀', () => move(index, index - 1)],
      ['Move later', '▶', () => move(index, index + 1)], ['Remove', '✕', () => remove(index)]]) {
      const button = Object.assign(document.createElement('button'), { type: 'button', textContent: text, title: label });
      button.setAttribute('aria-label', `${label}: ${picture.name}`);
      button.tabIndex = -1;
      button.addEventListener('click', action);
      buttons.append(button);
    }
    item.append(caption, name, buttons);
    item.addEventListener('keydown', (event) => {
      const step = { ArrowLeft: -1, ArrowUp: -1, ArrowRight: 1, ArrowDown: 1 }[event.key];
      if (step) { event.preventDefault(); move(index, index + step); }
      if (event.key === 'Delete' || event.key === 'Backspace') { event.preventDefault(); remove(index); }
    });
    // Dragged by its picture, with a mouse, a pen or a finger (the picture takes no scrolling
    // touch): let go over another picture, it takes that one's place.
    item.addEventListener('pointerdown', (event) => {
      if (event.button !== 0 || !event.target.closest('canvas')) return;
      g_dragged = { index, x: event.clientX, y: event.clientY, pointer: event.pointerId, moved: false };
      item.setPointerCapture(event.pointerId);
    });
    item.addEventListener('pointermove', (event) => {
      if (g_dragged?.pointer !== event.pointerId) return;
      // A few pixels of a hand's unsteadiness are not a drag.
      if (Math.hypot(event.clientX - g_dragged.x, event.clientY - g_dragged.y) > 8) {
        g_dragged.moved = true;
        item.classList.add('dragging');
      }
    });
    item.addEventListener('pointerup', (event) => {
      const drag = g_dragged;
      g_dragged = null;
      item.classList.remove('dragging');
      if (drag?.pointer !== event.pointerId || !drag.moved) return;
      const over = document.elementFromPoint(event.clientX, event.clientY)?.closest('#picture-list .picture');
      if (over) move(drag.index, [...list.children].indexOf(over));
    });
    item.addEventListener('pointercancel', () => {
      g_dragged = null;
      item.classList.remove('dragging');
    });
    return item;
  }));
  element('picture-count').textContent = count === 0 ? 'No pictures yet.' :
    `${count} ${count === 1 ? 'picture' : 'pictures'} for the show's ${maker.places.length} places.`;
  element('order-notes').replaceChildren(...maker.order_notes().map((note) =>
    Object.assign(document.createElement('li'), { textContent: note })));
  render_places();
  if (focus_id !== null) list.querySelector(`[data-id="${focus_id}"]`)?.focus();
  const empty = count === 0;
  element('play-button').disabled = empty;
  element('download-set').disabled = empty;
  element('download-video').disabled = empty || g_video !== null || g_no_video;
}

function move(from, to) {
  const picture = maker.pictures[from];
  maker.move(from, to);
  render_pictures(picture.id);
  fit_places();
}

function remove(index) {
  const [picture] = maker.pictures.splice(index, 1);
  g_thumbnails.delete(picture.id);
  const next = maker.pictures[Math.min(index, maker.pictures.length - 1)];
  render_pictures(next ? next.id : null);
  fit_places();
}

// A fitted picture's thumbnail, shown; the list keeps the focus where it was.
function show_fitted(picture, rgb) {
  if (g_thumbnails.has(picture.id)) return;
  g_thumbnails.set(picture.id, thumbnail(rgb));
  const focused = document.activeElement?.closest?.('#picture-list .picture')?.dataset.id;
  render_pictures(focused ?? null);
}

async function add_pictures(files) {
  return maker.add_pictures(files, { on_listed: () => render_pictures(), on_fitted: show_fitted });
}

// A picture moved into a place, or one taking the place of a picture removed, fitted; any the
// browser cannot decode is taken out, said in the notes.
function fit_places() {
  serially(async () => {
    const notes = await maker.fit_placed(show_fitted);
    if (notes.length === 0) return;
    g_notes.push(...notes);
    show_notes([...g_notes, ...maker.order_notes()]);
    render_pictures();
  }).catch(show_error);
}

// The thumbnails again after the fit changed: the pictures in places fitted anew.
async function refit() {
  g_thumbnails.clear();
  render_pictures();
  g_notes.push(...await maker.fit_placed(show_fitted));
  show_notes([...g_notes, ...maker.order_notes()]);
  render_pictures();
}

// Makes the maker hold exactly these inputs; resolves to the notes shown (files left out and why,
// pictures reused or left out, the soundtrack's notes).
async function make({ pictures = [], music = null, texture = null, fit = 'contain', musicStart = 0 } = {}) {
  if (fit !== 'contain' && fit !== 'cover') throw new Error(`fit is contain or cover, not ${fit}`);
  const music_start = music_start_seconds(musicStart);
  return serially(async () => {
    await g_ready;
    maker.pictures = [];
    g_thumbnails.clear();
    maker.fit = fit;
    element(`fit-${fit}`).checked = true;
    maker.texture = texture;
    maker.music = music;
    element('music-start').value = String(music_start);
    read_music_start();
    element('music-name').textContent = music ? music.name || 'music' : 'the default soundtrack';
    element('texture-name').textContent = texture ? texture.name || 'texture' : 'the default texture';
    render_pictures();
    g_notes = await add_pictures([...pictures]);
    if (maker.pictures.length === 0) {
      const notes = [...g_notes, 'No picture the maker can use: choose at least one.'];
      show_notes(notes);
      return notes;
    }
    const { notes } = await made_set();
    show_notes(notes);
    return notes;
  });
}

async function made_set() {
  if (g_start_refused) throw g_start_refused;
  if (!g_made) {
    const set = await maker.make_set();
    g_made = { files: set.files, notes: [...g_notes, ...set.notes], pcm: set.pcm };
  }
  return g_made;
}

function show_error(error) {
  set_status(reason_of(error));
  console.log('maker: ' + reason_of(error));
}

// Starts the show in the page with the set; from a click, so that its sound may start.
async function play() {
  await g_ready;
  const { files, notes } = await serially(made_set);
  show_notes(notes);
  element('stage').hidden = false;
  element('back-button').hidden = true;
  document.body.classList.add('playing');
  stage.play(files);
}

// The set as a .zip of data/.
async function exportDataSet() {
  await g_ready;
  const { files, notes } = await serially(made_set);
  show_notes(notes);
  return new Blob([zip_data_set(files)], { type: 'application/zip' });
}

// The show as a video at fps (30 or 60) frames a second; onProgress({ fraction, frames,
// frame_count, seconds_left }) as it goes; signal (an AbortSignal) cancels it, which rejects with
// an AbortError and leaves no video.
async function exportVideo({ fps = 30, onProgress = () => {}, signal = null } = {}) {
  if (fps !== 30 && fps !== 60) throw new Error(`fps is 30 or 60, not ${fps}`);
  await g_ready;
  const { files, notes, pcm } = await serially(made_set);
  show_notes(notes);
  const made = await export_video({ files, pcm, pcm_rate: maker.music_rate, soundtrack_path: maker.soundtrack_path, fps,
    frame_count: facts.frame_count(fps), sizes: maker.sizes, on_progress: onProgress, signal });
  // For the tests: every frame's hash as it went to the encoder.
  window.makerVideoFrameHashes = made.hashes;
  return made.blob;
}

// showFacts: the show's facts (show_facts()), once the page has started.
window.velmorastikMaker = { make, play, exportDataSet, exportVideo, showFacts: null };

// Pictures chosen or dropped, added after those there.
function take_pictures(files) {
  serially(async () => {
    await g_ready;
    g_notes = await add_pictures(files);
    show_notes([...g_notes, ...maker.order_notes()]);
  }).catch(show_error);
}

// The page's controls.
element('picture-input').addEventListener('change', (event) => {
  const files = [...event.target.files];
  event.target.value = '';
  take_pictures(files);
});
// Files dropped anywhere on the maker are pictures for it (the browser would otherwise open them
// in place of the page); the drop zone lights up while they are carried.
const drop_zone = element('drop-zone');
for (const type of ['dragenter', 'dragover']) {
  element('maker').addEventListener(type, (event) => {
    if (!event.dataTransfer.types.includes('Files')) return;
    event.preventDefault();
    drop_zone.classList.add('over');
  });
}
drop_zone.addEventListener('dragleave', () => drop_zone.classList.remove('over'));
element('maker').addEventListener('drop', (event) => {
  drop_zone.classList.remove('over');
  if (!event.dataTransfer.types.includes('Files')) return;
  event.preventDefault();
  take_pictures([...event.dataTransfer.files]);
});
for (const fit of ['contain', 'cover']) {
  element(`fit-${fit}`).addEventListener('change', () => {
    maker.fit = fit;
    g_made = null;
    serially(refit).catch(show_error);
  });
}
element('music-input').addEventListener('change', (event) => {
  maker.music = event.target.files[0] || null;
  g_made = null;
  element('music-name').textContent = maker.music ? maker.music.name : 'the default soundtrack';
});
// The music's start from its field, refused as the import refuses it, the field marked.
function read_music_start() {
  const field = element('music-start');
  g_made = null;
  try {
    // An empty field is the default; text the browser cannot read as a number is refused.
    maker.music_start = music_start_seconds(field.validity.badInput ? NaN : field.value || 0);
    g_start_refused = null;
    field.setCustomValidity('');
    field.removeAttribute('aria-invalid');
  } catch (error) {
    g_start_refused = error;
    field.setCustomValidity(error.message);
    field.setAttribute('aria-invalid', 'true');
    set_status(error.message);
  }
}
element('music-start').addEventListener('change', read_music_start);
element('texture-input').addEventListener('change', (event) => {
  maker.texture = event.target.files[0] || null;
  g_made = null;
  element('texture-name').textContent = maker.texture ? maker.texture.name : 'the default texture';
});
element('clear-pictures').addEventListener('click', () => {
  maker.pictures = [];
  g_thumbnails.clear();
  g_notes = [];
  show_notes([]);
  render_pictures();
});
element('play-button').addEventListener('click', () => play().catch(show_error));
element('download-set').addEventListener('click', async () => {
  try {
    const blob = await exportDataSet();
    download(blob, 'velmorastik-data.zip');
    set_status(`The data set is downloaded (${(blob.size / 1048576).toFixed(1)} MB): unzip it where the show starts.`);
  } catch (error) {
    show_error(error);
  }
});
// The video's control: its progress, the time left and Cancel.
let g_video = null;  // the AbortController of the export under way
// True when this browser cannot encode the video: the button stays, disabled, said why beside it.
let g_no_video = false;
function minutes_text(seconds) {
  const s = Math.max(0, Math.round(seconds));
  return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')}`;
}
// A length to the hundredth of a second, as m:ss.hh.
function length_text(seconds) {
  return `${Math.floor(seconds / 60)}:${(seconds % 60).toFixed(2).padStart(5, '0')}`;
}
// The video's own length at the chosen rate: the show ends on a frame of that rate.
function video_seconds(fps) {
  return facts.frame_count(fps) / fps;
}
function show_video_length() {
  const fps = Number(element('video-fps').value);
  element('video-length').textContent = `${facts.frame_count(fps)} frames, ${length_text(video_seconds(fps))}`;
}
element('video-fps').addEventListener('change', () => { if (facts) show_video_length(); });
element('download-video').addEventListener('click', async () => {
  if (g_video) return;
  g_video = new AbortController();
  const fps = Number(element('video-fps').value);
  const bar = element('video-progress');
  element('download-video').disabled = true;
  element('video-cancel').hidden = false;
  element('video-cancel').disabled = false;
  bar.hidden = false;
  bar.value = 0;
  set_status('Making the video…');
  // The button that started it is disabled: the focus waits on Cancel, and comes back after.
  element('video-cancel').focus();
  try {
    const blob = await exportVideo({ fps, signal: g_video.signal, onProgress: ({ fraction, frames, frame_count, seconds_left }) => {
      bar.value = fraction;
      set_status(`Making the video: frame ${frames} of ${frame_count}` +
        (seconds_left !== null ? `, about ${minutes_text(seconds_left)} left` : ''));
    } });
    download(blob, `velmorastik.${blob.type === 'video/webm' ? 'webm' : 'mp4'}`);
    const seconds = video_seconds(fps);
    set_status(`The video is downloaded: ${(blob.size / 1048576).toFixed(1)} MB, ${length_text(seconds)} ` +
      `at ${(blob.size * 8 / seconds / 1e6).toFixed(1)} Mbit/s.`);
  } catch (error) {
    if (error.name === 'AbortError') set_status('The video was cancelled.');
    else show_error(error);
  } finally {
    g_video = null;
    bar.hidden = true;
    element('video-cancel').hidden = true;
    element('download-video').disabled = maker.pictures.length === 0 || g_no_video;
    if (!element('download-video').disabled) element('download-video').focus();
  }
});
element('video-cancel').addEventListener('click', () => {
  if (!g_video) return;
  g_video.abort();
  element('video-cancel').disabled = true;
  set_status('Cancelling the video…');
});

// Leaving the page (a reload, the tab closed) with pictures chosen or a video being made asks first:
// nothing of it is kept.
window.addEventListener('beforeunload', (event) => {
  if (maker.pictures.length === 0 && g_video === null) return;
  event.preventDefault();
  // Older engines ask only when a value is returned.
  event.returnValue = '';
});

document.addEventListener('show-ended', () => { element('back-button').hidden = false; });
element('back-button').addEventListener('click', () => {
  element('stage').hidden = true;
  document.body.classList.remove('playing');
  element('play-button').focus();
});

// The show's facts, then the default set's files and the maker's module, before anything is made.
let g_ready = new Promise(() => {});
async function start() {
  facts = await show_facts();
  window.velmorastikMaker.showFacts = facts;
  stage = open_stage(facts, { ...test_mode(facts), in_memory: true });
  element('frame-size').textContent = `${facts.frame_width}x${facts.frame_height}`;
  for (const count of document.querySelectorAll('.place-count')) count.textContent = String(facts.pictures.length);
  await maker.load_defaults(facts);
  render_pictures();
  video_format(maker.sizes).then((format) => { element('video-format').textContent = format.label; },
    (error) => {
      g_no_video = true;
      element('video-hint').hidden = true;
      element('no-video').textContent = reason_of(error);
      element('no-video').hidden = false;
      element('download-video').disabled = true;
      element('download-video').setAttribute('aria-describedby', 'no-video');
    });
  const frames = facts.frame_count(facts.fps);
  const seconds = frames / facts.fps;
  show_video_length();
  element('show-length').textContent = `The show lasts ${length_text(seconds)} ` +
    `(${frames} frames at ${facts.fps} frames a second): longer music is cut to it and fades out with it.`;
  // The time from the navigation's start to here, for the browser's tools and the tests.
  performance.mark('maker ready');
  window.makerReady = true;
}

if (location.protocol === 'file:') {
  set_status('The maker must be served over HTTP; it cannot work from a file opened in the browser. ' +
    'Serve this folder with scripts/web --serve, or with any static web server, and open the address it gives.');
} else {
  keep_site_offline();
  g_ready = start();
  g_ready.catch((error) => {
    set_status('The maker cannot start: ' + reason_of(error));
    console.error(error);
  });
}
