// The maker's soundtrack: a person's music made into the show's sfx/lumo.mp3 exactly as
// velmorastik-import makes it. The browser decodes the music from the start offset, only as far
// as the show lasts (music_decoder.js), and resamples it to 44.1 kHz stereo (resampler.js); the
// native import's own code, compiled to WebAssembly (maker_native.js), gives the show's length,
// fades music as long as the show out over its last 5.1 s, keeps shorter music whole, and
// encodes it with LAME at the import's bit rate.
import { decode_music, MusicRefused } from './music_decoder.js';
import { open_maker_native } from './maker_native.js';

// The share of the progress the decoding takes (about 2.4 s of 8.6 s for a 48 kHz FLAC here); the
// encoding, which reports nothing until it ends, the rest.
const k_decoding_share = 0.3;

// m:ss.s, or h:mm:ss.s from an hour on, as the notes give lengths and places in the music.
export function clock_text(seconds) {
  const tenths = Math.round(seconds * 10);
  const hours = Math.floor(tenths / 36000);
  const minutes = Math.floor((tenths % 36000) / 600);
  const rest = ((tenths % 600) / 10).toFixed(1).padStart(4, '0');
  return hours > 0 ? `${hours}:${String(minutes).padStart(2, '0')}:${rest}` : `${minutes}:${rest}`;
}

// file: a File or Blob of music in any format the browser decodes. Resolves to { mp3 (Uint8Array),
// pcm (Int16Array, interleaved stereo at 44.1 kHz, as encoded), duration_ms, notes (sentences for
// the person) }, or rejects with an Error whose message names the file and the reason (and whose
// reason is the reason alone).
// on_progress(fraction) is called with 0 to 1 as the work goes on.
export async function make_soundtrack(file, { start_seconds = 0, on_progress = () => {}, maker_url = undefined } = {}) {
  const name = (file && file.name) || 'the music';
  // The message names the music, for callers that show it as it is; reason alone is there for
  // those that name the music themselves.
  const refuse = (reason) => Object.assign(new Error(`${name}: ${reason}`), { reason });
  if (!(file instanceof Blob)) throw refuse('not a file');
  if (typeof start_seconds !== 'number' || !Number.isFinite(start_seconds) || start_seconds < 0) {
    throw refuse(`the start must be seconds from 0 on, not ${start_seconds}`);
  }
  on_progress(0);
  const native = open_maker_native(maker_url);
  try {
    const facts = await native.facts();
    let decoded;
    try {
      decoded = await decode_music(file, start_seconds, facts, (share) => on_progress(share * k_decoding_share));
    } catch (error) {
      if (error instanceof MusicRefused) throw refuse(error.message);
      throw refuse(`cannot decode it (${error.message})`);
    }
    on_progress(k_decoding_share);
    const frames = decoded.pcm.length / 2;
    const made = await native.soundtrack(decoded.pcm);
    on_progress(1);
    const seconds = frames / facts.rate;
    const from = start_seconds > 0 ? ` from ${clock_text(start_seconds)} on` : '';
    const notes = [];
    if (decoded.stopped) {
      notes.push(`${name}: decoding stopped after ${clock_text(seconds)} of it${from} (${decoded.stopped}); ` +
        'what came before is kept');
    }
    if (made.faded) {
      notes.push(`${name}: the show's ${clock_text(seconds)}${from}, fading out over the last ` +
        `${(facts.fade_frames / facts.rate).toFixed(1)} s`);
    } else {
      notes.push(`${name}: ${clock_text(seconds)}${from}, shorter than the show ` +
        `(${clock_text(facts.show_frames / facts.rate)}): kept whole, without a fade`);
    }
    return { mp3: made.mp3, pcm: made.pcm, duration_ms: (frames * 1000) / facts.rate, notes };
  } catch (error) {
    throw error.reason !== undefined ? error : refuse(error.message);
  } finally {
    native.close();
  }
}
