// The maker's state and what it makes of it: the pictures in order, each fitted once per fit and
// kept, the texture and music chosen, and the data set in memory, path under data/ -> bytes,
// exactly as velmorastik-import writes it. The page's controls and window.velmorastikMaker both
// go through here.
import { fit_picture, PictureRefused } from './picture_fit.js';
import { fill_places, place_notes } from './places.js';
import { open_maker_native } from './maker_native.js';


let g_next_id = 1;

export class Maker {
  constructor() {
    // The show's places (paths under data/, in order), its texture's and soundtrack's, once loaded.
    this.places = [];
    this.texture_path = null;
    this.soundtrack_path = null;
    this.pictures = [];  // { id, file, name, fitted: { contain, cover } (RGB bytes) }, in order
    this.fit = 'contain';
    this.texture = null;
    this.music = null;
    this.music_start = 0;
    this.defaults = null;  // the default set's texture and soundtrack, from the site
    this.native = null;    // the maker's module (open_maker_native), once the defaults are loaded
    this.sizes = null;     // { frame_width, frame_height, texture_size }, from the module
    this.music_rate = 0;   // the soundtrack's samples a second, from the module
    this.on_progress = () => {};
  }

  // The show's places and files from its facts (show_facts()), and the default set's texture and
  // soundtrack, fetched once with the page's own files.
  async load_defaults(show) {
    this.places = show.pictures;
    this.texture_path = show.texture;
    this.soundtrack_path = show.soundtrack;
    const get = async (path) => {
      const response = await fetch('data/' + path);
      if (!response.ok) throw new Error(`data/${path}: the server answered ${response.status}`);
      return new Uint8Array(await response.arrayBuffer());
    };
    // The module that measures pictures, started with the page's files and kept, so that adding
    // pictures later asks nothing of the server.
    this.native = open_maker_native();
    const [texture, soundtrack, facts] = await Promise.all([get(this.texture_path), get(this.soundtrack_path), this.native.facts()]);
    const { frame_width, frame_height, texture_size, rate } = facts;
    this.sizes = { frame_width, frame_height, texture_size };
    this.music_rate = rate;
    this.defaults = { texture, soundtrack };
  }

  // Fits files and adds them after the pictures there; resolves to the notes for those left out
  // (named, with the reason). on_added(picture) is called as each one is ready.
  async add_pictures(files, on_added = () => {}) {
    const notes = [];
    for (const [n, file] of files.entries()) {
      const name = file.name || `picture ${this.pictures.length + 1}`;
      this.on_progress(`Fitting picture ${n + 1} of ${files.length}: ${name}`);
      const picture = { id: g_next_id++, file, name, fitted: {} };
      try {
        picture.fitted[this.fit] = await this.fit_frame(file);
      } catch (error) {
        notes.push(`${name}: ${reason_of(error)}: left out`);
        continue;
      }
      this.pictures.push(picture);
      on_added(picture);
    }
    this.on_progress('');
    return notes;
  }

  // file fitted to the frame under the current fit.
  fit_frame(file) {
    return fit_picture(file, this.sizes.frame_width, this.sizes.frame_height, this.fit, this.native);
  }

  // The picture's pixels under the current fit, fitted now if they were not yet.
  async fitted(picture) {
    picture.fitted[this.fit] ??= await this.fit_frame(picture.file);
    return picture.fitted[this.fit];
  }

  // Moves the picture at from to to (both indexes in the order).
  move(from, to) {
    if (to < 0 || to >= this.pictures.length || from === to) return;
    const [picture] = this.pictures.splice(from, 1);
    this.pictures.splice(to, 0, picture);
  }

  // The notes the order gives: pictures reused, or left out past the last place.
  order_notes() {
    return place_notes(this.pictures.map((p) => p.name), this.places.length);
  }

  // The data set: { files: path under data/ -> bytes, notes, pcm (the soundtrack's samples when
  // the music is the person's, for the video; else null) }. Throws when there is no picture.
  async make_set() {
    if (this.pictures.length === 0) throw new Error('Choose at least one picture first.');
    const notes = this.order_notes();
    const used = this.pictures.slice(0, this.places.length);
    const jpegs = [];
    for (const [n, picture] of used.entries()) {
      this.on_progress(`Encoding picture ${n + 1} of ${used.length}: ${picture.name}`);
      const { frame_width, frame_height } = this.sizes;
      jpegs.push(await this.native.encode_picture(await this.fitted(picture), frame_width, frame_height));
    }
    const files = {};
    fill_places(used.length, this.places.length).forEach((index, place) => { files[this.places[place]] = jpegs[index]; });

    files[this.texture_path] = this.defaults.texture;
    if (this.texture) {
      this.on_progress(`Fitting the texture: ${this.texture.name || 'texture'}`);
      try {
        files[this.texture_path] = await fit_picture(this.texture, this.sizes.texture_size, this.sizes.texture_size, 'cover', this.native);
      } catch (error) {
        notes.push(`${this.texture.name || 'texture'}: ${reason_of(error)}: the default texture kept`);
      }
    }

    files[this.soundtrack_path] = this.defaults.soundtrack;
    let pcm = null;
    if (this.music) {
      const name = this.music.name || 'music';
      this.on_progress(`Making the soundtrack from ${name}`);
      try {
        // Its own module, loaded only when music is chosen.
        const { make_soundtrack } = await import('./soundtrack.js');
        const made = await make_soundtrack(this.music, {
          start_seconds: this.music_start,
          on_progress: (fraction) => this.on_progress(`Making the soundtrack from ${name}: ${Math.round(fraction * 100)}%`),
        });
        files[this.soundtrack_path] = made.mp3;
        pcm = made.pcm;
        notes.push(...made.notes);
      } catch (error) {
        notes.push(`${name}: ${error.reason ?? reason_of(error)}: the default soundtrack kept`);
      }
    }
    this.on_progress('');
    return { files, notes, pcm };
  }
}

// Where in the music the show starts, in seconds, as the import takes it: a number from 0 on.
// Throws a RangeError for anything else (NaN, a negative number, infinity).
export function music_start_seconds(value) {
  const seconds = Number(value);
  if (!Number.isFinite(seconds) || seconds < 0) {
    throw new RangeError(`the music's start is seconds from 0 on, not ${Number.isNaN(seconds) ? 'a number' : value}`);
  }
  return seconds;
}

// What a failure says to a person: a refusal's own words, else the error's message.
export function reason_of(error) {
  if (error instanceof PictureRefused) return error.message;
  return error && error.message ? error.message : String(error);
}
