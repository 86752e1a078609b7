// The show as a video file, made in the page: a module of the show of its own plays the set in
// virtual time at the chosen rate, as velmorastik-capture does, and hands each frame as it is drawn,
// already a BT.709 limited-range I420 picture, to WebCodecs through mediabunny; the encoder's queue
// holds the show back, so that only a few frames are ever in memory. The codec is the first that
// really encodes a frame here: H.264 in MP4, else VP9 in WebM, else AV1 in WebM; the soundtrack as
// Opus (or AAC in MP4), cut or padded with silence to the show's length.
import {
  Output, Mp4OutputFormat, WebMOutputFormat, BufferTarget, VideoSampleSource, VideoSample,
  AudioBufferSource, canEncodeVideo, canEncodeAudio,
} from 'mediabunny';
import { create_show, start_show } from '../../src/platform/web/site/show_program.js';

const k_video_bitrate = 4_000_000;
const k_audio_bitrate = 160_000;
// Opus codes at 48 kHz whatever it is given.
const k_audio_rate = 48000;
// As players expect a video, and as velmorastik-capture tags its own: the frames are converted to
// this by the show's module, so no browser converts them by rules of its own.
const k_colour_space = { primaries: 'bt709', transfer: 'bt709', matrix: 'bt709', fullRange: false };

export class ExportCancelled extends Error {
  constructor() {
    super('The video export was cancelled.');
    this.name = 'AbortError';
  }
}

// In the order they are tried: the most widely played first.
const k_choices = [
  { video: 'avc', name: 'H.264', container: 'MP4', mime: 'video/mp4', extension: 'mp4', audio: ['opus', 'aac'],
    format: () => new Mp4OutputFormat({ fastStart: 'in-memory' }) },
  { video: 'vp9', name: 'VP9', container: 'WebM', mime: 'video/webm', extension: 'webm', audio: ['opus'],
    format: () => new WebMOutputFormat() },
  { video: 'av1', name: 'AV1', container: 'WebM', mime: 'video/webm', extension: 'webm', audio: ['opus'],
    format: () => new WebMOutputFormat() },
];
const k_audio_names = { opus: 'Opus', aac: 'AAC' };

// H.264 from the encoder as Annex B, its parameter sets in the stream, from which the MP4's
// description is written: Firefox's own description repeats each parameter set's header byte,
// which decoders read as a sequence parameter set that does not exist ("sps_id 1 out of range").
function annex_b_for_avc(config) {
  if (config.codec.startsWith('avc1')) config.avc = { ...config.avc, format: 'annexb' };
}

// The output and its two tracks as an export makes them, for the trial and the export alike.
async function open_output(choice, audio_codec, fps) {
  const output = new Output({ format: choice.format(), target: new BufferTarget() });
  const video = new VideoSampleSource({ codec: choice.video, bitrate: k_video_bitrate, keyFrameInterval: 2,
    onEncoderConfig: annex_b_for_avc });
  const audio = new AudioBufferSource({ codec: audio_codec, bitrate: k_audio_bitrate });
  output.addVideoTrack(video, { frameRate: fps });
  output.addAudioTrack(audio);
  await output.start();
  return { output, video, audio };
}

// A frame as the show hands them: I420 bytes of width x height, tagged.
function video_frame(bytes, width, height, index, fps) {
  return new VideoFrame(bytes, { format: 'I420', codedWidth: width, codedHeight: height, colorSpace: k_colour_space,
    timestamp: Math.round(index * 1e6 / fps), duration: Math.round(1e6 / fps) });
}

// A picture of the frame's size with detail in every plane: ramps of luma and colour.
function trial_picture(width, height) {
  const bytes = new Uint8Array(width * height * 3 / 2);
  for (let y = 0; y < height; y++) for (let x = 0; x < width; x++) bytes[y * width + x] = 16 + (x * 219 / width | 0);
  const chroma = bytes.subarray(width * height);
  for (let i = 0; i < chroma.length; i++) chroma[i] = 16 + (i * 7 % 225);
  return bytes;
}

// True when a whole video of one real frame and a moment of sound is made with this choice: a
// browser may say it encodes a configuration and then fail to (and Safari's checks may throw).
async function makes_a_video(choice, audio_codec, { frame_width, frame_height }) {
  let made = null;
  try {
    const fps = 30;
    if (!await canEncodeVideo(choice.video, { width: frame_width, height: frame_height, bitrate: k_video_bitrate })) return false;
    if (!await canEncodeAudio(audio_codec, { numberOfChannels: 2, sampleRate: k_audio_rate, bitrate: k_audio_bitrate })) return false;
    made = await open_output(choice, audio_codec, fps);
    const sample = new VideoSample(video_frame(trial_picture(frame_width, frame_height), frame_width, frame_height, 0, fps));
    try {
      await made.video.add(sample);
    } finally {
      sample.close();
    }
    await made.audio.add(new AudioBuffer({ numberOfChannels: 2, length: k_audio_rate / 10, sampleRate: k_audio_rate }));
    await made.output.finalize();
    return made.output.target.buffer.byteLength > 0;
  } catch {
    if (made && made.output.state !== 'finalized') await made.output.cancel().catch(() => {});
    return false;
  }
}

let g_format = null;

// The first container and codecs that make a video of frames of the given size (the maker's
// module's) in this browser, found once: { format, video, audio, mime, extension, label }.
export function video_format(sizes) {
  g_format ??= choose_format(sizes);
  return g_format;
}

async function choose_format(sizes) {
  // Without these the trials below would fail as a missing name; the person is told what is missing.
  const missing = ['VideoEncoder', 'AudioEncoder', 'VideoFrame'].filter((name) => typeof globalThis[name] !== 'function');
  if (missing.length) {
    throw new Error(`This browser cannot make a video: it has no ${missing.join(' and no ')} (WebCodecs). ` +
      'The data set (.zip) plays the same show in a browser that has them, and on Linux and Windows.');
  }
  for (const choice of k_choices) {
    for (const audio of choice.audio) {
      if (await makes_a_video(choice, audio, sizes)) {
        return { ...choice, audio, label: `${choice.container} (${choice.name} video, ${k_audio_names[audio]} sound)` };
      }
    }
  }
  throw new Error('This browser cannot encode H.264, VP9 or AV1 video with Opus or AAC sound, so it cannot make a video. ' +
    'The data set (.zip) plays the same show in a browser that can, and on Linux and Windows.');
}

// The soundtrack over exactly seconds at 48 kHz stereo: music shorter than the show is followed by
// silence, as the show plays it; longer is cut where the show ends. pcm: interleaved 16-bit stereo
// at rate (the maker's own soundtrack), or null to decode mp3 (the default set's).
async function soundtrack_buffer(pcm, rate, mp3, seconds) {
  let source;
  if (pcm) {
    const frames = pcm.length / 2;
    source = new AudioBuffer({ numberOfChannels: 2, length: Math.max(1, frames), sampleRate: rate });
    const left = source.getChannelData(0);
    const right = source.getChannelData(1);
    for (let i = 0; i < frames; i++) {
      left[i] = pcm[2 * i] / 32768;
      right[i] = pcm[2 * i + 1] / 32768;
    }
  } else {
    // decodeAudioData takes the bytes over: it is given a copy.
    source = await new OfflineAudioContext(2, 1, k_audio_rate).decodeAudioData(mp3.slice().buffer);
  }
  const length = Math.round(seconds * k_audio_rate);
  const context = new OfflineAudioContext(2, length, k_audio_rate);
  const node = new AudioBufferSourceNode(context, { buffer: source });
  node.connect(context.destination);
  node.start(0);
  return context.startRendering();
}

// files: path under data/ -> bytes (the set); pcm: the maker's soundtrack's samples at pcm_rate,
// or null; soundtrack_path: where files holds the MP3; frame_count: the show's frames at fps;
// sizes: the frame's, from the maker's module. Resolves to { blob, hashes (every frame's FNV-1a
// as the test mode records it), format }; rejects with ExportCancelled once signal aborts.
export async function export_video({ files, pcm, pcm_rate, soundtrack_path, fps, frame_count, sizes,
  on_progress = () => {}, signal = null }) {
  const format = await video_format(sizes);
  const seconds = frame_count / fps;
  const started = performance.now();
  const cancelled = () => signal && signal.aborted;

  const { output, video, audio } = await open_output(format, format.audio, fps);
  try {
    await audio.add(await soundtrack_buffer(pcm, pcm_rate, pcm ? null : files[soundtrack_path], seconds));
    audio.close();

    let hashes = null;
    let message = null;
    let frames = 0;
    let failure = null;
    let status = 2;
    const ended = new Promise((resolve) => {
      create_show(files, {
        in_memory: true,
        on_message: (text, caption) => { message = caption ? `${text} ${caption}` : text; },
        on_frame_hashes: (list) => { hashes = list; },
        on_video_frame: async (bytes, index) => {
          if (cancelled() || failure) return true;
          try {
            const sample = new VideoSample(video_frame(bytes, sizes.frame_width, sizes.frame_height, index, fps));
            try {
              await video.add(sample);
            } finally {
              sample.close();
            }
          } catch (error) {
            failure = error;
            return true;
          }
          frames = index + 1;
          const elapsed = (performance.now() - started) / 1000;
          on_progress({ fraction: frames / frame_count, frames, frame_count,
            seconds_left: frames > 0 ? elapsed * (frame_count - frames) / frames : null });
          return false;
        },
        on_end: (end, instance) => {
          instance.ccall('web_publish_hashes', null, [], []);
          status = end;
          resolve();
        },
      }).then((instance) => start_show(instance, 'web_export_video', [fps]), (error) => { failure = error; resolve(); });
    });
    await ended;
    if (cancelled()) throw new ExportCancelled();
    if (failure) throw failure;
    if (status !== 1 && status !== 0) throw new Error(`the show could not be played: ${message || `status ${status}`}`);
    if (frames !== frame_count) throw new Error(`the show gave ${frames} frames, not the ${frame_count} of its timeline`);
    video.close();
    await output.finalize();
    return { blob: new Blob([output.target.buffer], { type: format.mime }), hashes, format };
  } catch (error) {
    if (output.state !== 'finalized') await output.cancel().catch(() => {});
    throw error;
  }
}
