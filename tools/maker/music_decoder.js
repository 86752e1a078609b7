// A person's music decoded in the browser from a start offset, only as far as the show lasts:
// mediabunny reads the container a slice at a time and WebCodecs' AudioDecoder decodes it, and
// the decoding stops once the show's length is made, so that a two-hour file costs what a
// two-minute one does.
import {
  ADTS, AudioSampleSink, BlobSource, FLAC, Input, MATROSKA, MP3, MP4, OGG, QTFF, UnsupportedInputFormatError,
  WAVE, WEBM,
} from 'mediabunny';
import { mp3_gapless } from './mp3_gapless.js';
import { StereoResampler } from './resampler.js';

// Audio files and films of the usual kinds; none of them names another file (a playlist such as
// HLS's would have the page fetch what it names).
const k_formats = [MP3, WAVE, OGG, FLAC, MP4, QTFF, MATROSKA, WEBM, ADTS];
// Decoding starts this much before the start asked for, so that the resampler's filter has the
// music it reaches back to, and an MP3 frame that needs the frames before it (its bit reservoir)
// is decoded whole: at least two frames at 8 kHz.
const k_lead_in_seconds = 0.2;

// A failure the maker shows as it is: the reason alone, the caller adds the file's name.
export class MusicRefused extends Error {}

// Decodes file from start_seconds into at most facts.show_frames frames of interleaved 16-bit
// stereo at facts.rate, calling on_progress with the share of the show's length made so far.
// Resolves to { pcm, stopped }: pcm exactly as long as what was made; stopped, a reason, when the
// decoder failed partway and what came before it was kept. Rejects with MusicRefused when nothing
// can be made of the file.
export async function decode_music(file, start_seconds, facts, on_progress = () => {}) {
  const input = new Input({ formats: k_formats, source: new BlobSource(file) });
  try {
    const track = await primary_audio_track(input);
    const [in_rate, channels] = await Promise.all([track.getSampleRate(), track.getNumberOfChannels()]);
    if (in_rate < facts.min_rate) {
      throw new MusicRefused(`its sample rate, ${in_rate} Hz, is below ${facts.min_rate} Hz`);
    }
    if (!(await track.canDecode())) {
      throw new MusicRefused(`this browser has no decoder for its sound (${(await track.getCodec()) ?? 'an unknown codec'})`);
    }
    const trim = await music_bounds(input, track, file, in_rate);
    const output = new Int16Array(facts.show_frames * 2);
    const resampler = new StereoResampler({
      in_rate, out_rate: facts.rate, channels, first_output: Math.round(start_seconds * facts.rate), output,
    });
    const stopped = await feed(track, resampler, { in_rate, channels, start_seconds, facts, trim, on_progress });
    resampler.finish();
    if (resampler.written === 0) {
      throw new MusicRefused(start_seconds > 0 ? 'it ends before the start asked for' : 'no sound could be decoded from it');
    }
    return { pcm: output.subarray(0, resampler.written * 2), stopped };
  } finally {
    input.dispose();
  }
}

// { skip, length, from_the_start }: the decoded frames to drop before the music, its length in
// frames when known, and whether it must be decoded from its beginning to land on the right frames.
async function music_bounds(input, track, file, in_rate) {
  // MP3's decoded samples start with the encoder's and decoder's delays, which FFmpeg drops,
  // and end with the encoder's padding, all of which its LAME tag gives.
  if ((await input.getFormat()) === MP3) return { ...(await mp3_gapless(file)), from_the_start: false };
  // The others end where their container says (Ogg's last page, MP4's edit list), not where
  // their last packet's samples do. Ogg says it only in its last page, which is read for it.
  const format = await input.getFormat();
  const seconds = await (format === OGG ? track.computeDuration() : track.getDurationFromMetadata()).catch(() => null);
  return {
    skip: 0,
    length: seconds ? Math.round(seconds * in_rate) : null,
    // After a seek, a Vorbis decoder makes nothing of the first packet it is given, and the
    // browser's decoder labels what follows with that packet's time: one packet early.
    from_the_start: (await track.getCodec()) === 'vorbis',
  };
}

async function primary_audio_track(input) {
  let track;
  try {
    track = await input.getPrimaryAudioTrack();
  } catch (error) {
    if (error instanceof UnsupportedInputFormatError) throw new MusicRefused('not a music file this browser can read');
    throw new MusicRefused(`cannot read it (${error.message})`);
  }
  if (!track) throw new MusicRefused('it holds no sound');
  return track;
}

// Hands the decoder's pieces to the resampler until the show's length is made or the music
// ends, within the bounds music_bounds gives. Resolves to null, or to the reason the decoder
// failed partway.
async function feed(track, resampler, { in_rate, channels, start_seconds, facts, trim, on_progress }) {
  const sink = new AudioSampleSink(track);
  const skip_seconds = trim.skip / in_rate;
  // Before 0: a container that starts with priming (AAC's) gives it with times below 0.
  const from = trim.from_the_start ? 0 : start_seconds + skip_seconds - k_lead_in_seconds;
  const until = start_seconds + skip_seconds + facts.show_frames / facts.rate + 1;
  const end = trim.length ?? Infinity;
  let planes = [];
  try {
    for await (const sample of sink.samples(from, until)) {
      try {
        const first = Math.round(sample.timestamp * in_rate) - trim.skip;
        const frames = Math.min(sample.numberOfFrames, end - first);
        if (frames <= 0) break;
        if (planes.length === 0 || planes[0].length < frames) {
          planes = Array.from({ length: channels }, () => new Float32Array(Math.max(frames, 4096)));
        }
        const present = Math.min(channels, sample.numberOfChannels);
        for (let c = 0; c < channels; ++c) {
          if (c < present) sample.copyTo(planes[c], { planeIndex: c, format: 'f32-planar', frameCount: frames });
          else planes[c].fill(0, 0, frames);
        }
        resampler.push(planes, frames, first);
      } finally {
        sample.close();
      }
      on_progress(resampler.written / facts.show_frames);
      if (resampler.full) break;
    }
  } catch (error) {
    if (resampler.written === 0) throw new MusicRefused(`cannot decode it (${error.message})`);
    return error.message;
  }
  return null;
}
