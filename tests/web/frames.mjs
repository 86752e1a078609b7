// The native show's frames: 640x480 words of B, G, R, x, as the capture tool writes them, and
// their 64-bit FNV-1a hashes, the same the page records for each frame it draws.
import { spawn } from 'node:child_process';

export const k_width = 640;
export const k_height = 480;
export const k_frame_bytes = k_width * k_height * 4;

// 64-bit FNV-1a over bytes, as 16 lower-case hex digits. The state is kept in four 16-bit limbs,
// low first, so that every product is a small exact integer: BigInt arithmetic would take minutes
// over the whole show's 8.7 GB. The prime is 2^40 + 0x1b3: h * prime = h * 0x1b3 + (h << 40).
export function fnv1a64(bytes) {
  let h0 = 0x2325, h1 = 0x8422, h2 = 0x9ce4, h3 = 0xcbf2;
  for (let i = 0; i < bytes.length; i++) {
    h0 ^= bytes[i];
    const a0 = h0 * 0x1b3;
    const a1 = h1 * 0x1b3 + (a0 >>> 16);
    const a2 = h2 * 0x1b3 + (a1 >>> 16) + (h0 << 8);
    const a3 = h3 * 0x1b3 + (a2 >>> 16) + (h1 << 8);
    h0 = a0 & 0xffff; h1 = a1 & 0xffff; h2 = a2 & 0xffff; h3 = a3 & 0xffff;
  }
  return [h3, h2, h1, h0].map((limb) => limb.toString(16).padStart(4, '0')).join('');
}

// The frame's B, G, R, x words as the canvas holds them: R, G, B, opaque.
export function bgrx_to_rgba(frame) {
  const rgba = Buffer.alloc(frame.length);
  for (let i = 0; i < frame.length; i += 4) {
    rgba[i] = frame[i + 2];
    rgba[i + 1] = frame[i + 1];
    rgba[i + 2] = frame[i];
    rgba[i + 3] = 255;
  }
  return rgba;
}

// Runs `capture --raw - -C data_parent ...extra` and calls on_frame(frame, index) for each whole
// frame; resolves to the number of frames once the tool has ended with its status 0.
export function native_frames(capture, data_parent, extra, on_frame) {
  return new Promise((resolve, reject) => {
    const child = spawn(capture, ['--raw', '-', '-C', data_parent, ...extra], { stdio: ['ignore', 'pipe', 'pipe'] });
    let stderr = '';
    let index = 0;
    const frame = Buffer.alloc(k_frame_bytes);
    let filled = 0;
    child.stderr.on('data', (chunk) => { stderr = (stderr + chunk).slice(-4000); });
    child.stdout.on('data', (chunk) => {
      let offset = 0;
      while (offset < chunk.length) {
        const n = Math.min(chunk.length - offset, k_frame_bytes - filled);
        chunk.copy(frame, filled, offset, offset + n);
        filled += n;
        offset += n;
        if (filled === k_frame_bytes) {
          on_frame(frame, index++);
          filled = 0;
        }
      }
    });
    child.on('error', reject);
    child.on('close', (code) => {
      if (code !== 0) reject(new Error(`${capture} ended with status ${code}: ${stderr.trim()}`));
      else if (filled !== 0) reject(new Error(`${capture} wrote ${filled} bytes past its last whole frame`));
      else resolve(index);
    });
  });
}
