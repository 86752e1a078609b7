// The maker's state and what it makes of it: the pictures in order, each checked when added and
// fitted (once per fit, and kept) when it fills one of the show's places, the texture and music
// chosen, and the data set in memory, path under data/ -> bytes, exactly as velmorastik-import
// writes it. The page's controls and window.velmorastikMaker both
// go through here.
import { check_picture, PictureRefused } from './picture_fit.js';
import { fill_places, place_notes } from './places.js';
import { open_maker_native } from './maker_native.js';
import { FitPool } from './fit_pool.js';

let g_next_id = 1;

export class Maker {
  constructor() {
    // The show's places (paths under data/, in order), its texture's and soundtrack's, once loaded.
    this.places = [];
    this.texture_path = null;
    this.soundtrack_path = null;
    // { id, file, name, checked (check_picture's answer), fitted: { contain, cover } (promises of
    // RGB bytes), encoded: the same of their JPEGs }, in order
    this.pictures = [];
    this.fit = 'contain';
    this.texture = null;
    this.music = null;
    this.music_start = 0;
    this.defaults = null;  // the default set's texture and soundtrack, from the site
    this.native = null;    // the maker's module (open_maker_native), once the defaults are loaded
    this.pool = null;      // the workers that fit pictures (FitPool), from then on too
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
    this.pool = new FitPool();
    const [texture, soundtrack, facts] = await Promise.all([get(this.texture_path), get(this.soundtrack_path), this.native.facts(),
      this.pool.start()]);
    const { frame_width, frame_height, texture_size, rate } = facts;
    this.sizes = { frame_width, frame_height, texture_size };
    this.music_rate = rate;
    this.defaults = { texture, soundtrack };
  }

  // Checks files and adds those taken after the pictures there, and fits those that fill a place
  // (the others when they are moved into one); resolves to the notes for those left out (named,
  // with the reason). on_listed() is called once they are in the order, on_fitted(picture, rgb) as
  // each is fitted.
  async add_pictures(files, { on_listed = () => {}, on_fitted = () => {} } = {}) {
    const notes = [];
    for (const [n, file] of files.entries()) {
      const name = file.name || `picture ${this.pictures.length + 1}`;
      this.on_progress(`Reading picture ${n + 1} of ${files.length}: ${name}`);
      let checked;
      try {
        checked = await check_picture(file, this.native);
      } catch (error) {
        notes.push(`${name}: ${reason_of(error)}: left out`);
        continue;
      }
      const picture = { id: g_next_id++, file, name, checked, fitted: {}, encoded: {} };
      this.pictures.push(picture);
      // Fitted while the next files are read.
      if (this.pictures.length <= this.places.length) this.fitted(picture).catch(() => {});
    }
    on_listed();
    notes.push(...await this.fit_placed(on_fitted));
    return notes;
  }

  // Fits every picture that fills a place under the current fit, those not yet fitted all at once;
  // one the browser cannot decode is taken out, and the next takes its place. Resolves to the notes
  // on those taken out; on_fitted(picture, rgb) is called as each is fitted.
  async fit_placed(on_fitted = () => {}) {
    const notes = [];
    for (;;) {
      const placed = this.pictures.slice(0, this.places.length);
      let done = 0;
      const fits = placed.map((picture) => this.fitted(picture).then((rgb) => {
        this.on_progress(`Fitting the pictures: ${++done} of ${placed.length}`);
        on_fitted(picture, rgb);
      }));
      const refused = (await Promise.allSettled(fits)).flatMap((result, n) =>
        (result.status === 'rejected' ? [[placed[n], result.reason]] : []));
      this.on_progress('');
      if (refused.length === 0) return notes;
      for (const [picture, error] of refused) {
        if (!(error instanceof PictureRefused)) throw error;
        this.pictures.splice(this.pictures.indexOf(picture), 1);
        notes.push(`${picture.name}: ${reason_of(error)}: left out`);
      }
    }
  }

  // The picture's pixels under the current fit (a promise of RGB bytes), fitted now if they were
  // not yet: a picture is fitted once for each fit, however often it is asked for.
  fitted(picture) {
    const fit = this.fit;
    if (!picture.fitted[fit]) {
      const { frame_width, frame_height } = this.sizes;
      const fitting = this.pool.fit(picture.file, picture.checked, frame_width, frame_height, fit);
      picture.fitted[fit] = fitting;
      // Encoded as soon as it is fitted, while the others are being fitted.
      picture.encoded[fit] = fitting.then((rgb) => this.native.encode_picture(rgb, frame_width, frame_height));
      picture.encoded[fit].catch(() => {});
      // A failure is not kept: asked again, it is tried again.
      fitting.catch(() => {
        if (picture.fitted[fit] !== fitting) return;
        delete picture.fitted[fit];
        delete picture.encoded[fit];
      });
    }
    return picture.fitted[fit];
  }

  // The picture's JPEG under the current fit, as the import writes it.
  async encoded(picture) {
    await this.fitted(picture);
    return picture.encoded[this.fit];
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
    const left_out = await this.fit_placed();
    if (this.pictures.length === 0) throw new Error('Choose at least one picture first.');
    const notes = [...left_out, ...this.order_notes()];
    const used = this.pictures.slice(0, this.places.length);
    this.on_progress('Encoding the pictures');
    const jpegs = await Promise.all(used.map((picture) => this.encoded(picture)));
    const files = {};
    fill_places(used.length, this.places.length).forEach((index, place) => { files[this.places[place]] = jpegs[index]; });

    files[this.texture_path] = this.defaults.texture;
    if (this.texture) {
      this.on_progress(`Fitting the texture: ${this.texture.name || 'texture'}`);
      try {
        const { texture_size } = this.sizes;
        files[this.texture_path] = await this.pool.fit(this.texture, await check_picture(this.texture, this.native),
          texture_size, texture_size, 'cover');
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
