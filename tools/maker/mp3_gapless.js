// Where an MP3's music starts and ends among the samples its frames decode to. An encoder puts
// silence before the music (its delay) and after it (padding to a whole frame), and the decoder
// adds its own delay; LAME's tag, in the stream's first frame, says how much. mediabunny hands
// over every frame's samples as they come, so the decoder here drops them as the native import's
// does (FFmpeg's reading of the same tag), and the music lands on the same samples.

// The decoder's own delay in samples, the same for every MP3 decoder built on the standard's
// filter bank.
export const k_mp3_decoder_delay = 529;

const k_id3_header = 10;
// Enough of the first frame to reach its LAME tag: a frame is at most 1,441 bytes at 320 kbit/s.
const k_first_frame_bytes = 2048;

// Samples per frame: MPEG-1 Layer III 1,152, MPEG-2 and 2.5 576.
function samples_per_frame(version_bits) {
  return version_bits === 3 ? 1152 : 576;
}

// Where in the first frame the Xing or Info header is: after the side information.
function xing_offset(version_bits, channel_mode) {
  const mono = channel_mode === 3;
  if (version_bits === 3) return 4 + (mono ? 17 : 32);
  return 4 + (mono ? 9 : 17);
}

// { skip, length }: the decoded samples to drop before the music, and the music's length in
// samples (null when the file does not say). Any file that is not an MP3 with such a tag gives
// only the decoder's delay, as FFmpeg does.
export async function mp3_gapless(blob) {
  const plain = { skip: k_mp3_decoder_delay, length: null };
  let at = 0;
  // ID3v2 tags before the first frame, each with a 28-bit size in 7-bit bytes.
  for (;;) {
    const header = new Uint8Array(await blob.slice(at, at + k_id3_header).arrayBuffer());
    if (header.length < k_id3_header || header[0] !== 0x49 || header[1] !== 0x44 || header[2] !== 0x33) break;
    const size = (header[6] << 21) | (header[7] << 14) | (header[8] << 7) | header[9];
    at += k_id3_header + size + (header[5] & 0x10 ? k_id3_header : 0);
  }
  const frame = new Uint8Array(await blob.slice(at, at + k_first_frame_bytes).arrayBuffer());
  if (frame.length < 4 || frame[0] !== 0xff || (frame[1] & 0xe0) !== 0xe0) return plain;
  const version_bits = (frame[1] >> 3) & 3;
  const channel_mode = frame[3] >> 6;
  let p = xing_offset(version_bits, channel_mode);
  const word = String.fromCharCode(...frame.subarray(p, p + 4));
  if (word !== 'Xing' && word !== 'Info') return plain;
  const view = new DataView(frame.buffer);
  const flags = view.getUint32(p + 4);
  p += 8;
  let frames = null;
  if (flags & 1) { frames = view.getUint32(p); p += 4; }
  if (flags & 2) p += 4;    // the stream's bytes
  if (flags & 4) p += 100;  // the seeking table
  if (flags & 8) p += 4;    // the quality
  // The LAME tag: the encoder's name in 9 bytes, then 12 more bytes, then the delay and padding
  // in 12 bits each.
  if (p + 24 > frame.length) return plain;
  const encoder = String.fromCharCode(...frame.subarray(p, p + 4));
  if (encoder !== 'LAME' && encoder !== 'Lavf' && encoder !== 'Lavc') return plain;
  const delay = (frame[p + 21] << 4) | (frame[p + 22] >> 4);
  const padding = ((frame[p + 22] & 0x0f) << 8) | frame[p + 23];
  const length = frames === null ? null : frames * samples_per_frame(version_bits) - delay - padding;
  return { skip: delay + k_mp3_decoder_delay, length: length !== null && length > 0 ? length : null };
}
