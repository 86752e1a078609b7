// The native show's frames: 640x480 words of B, G, R, x, as the capture tool writes them, and
// their hashes, which the capture tool takes as the page does for each frame it draws.
import { spawn, spawnSync } from 'node:child_process';

export const k_width = 640;
export const k_height = 480;
export const k_frame_bytes = k_width * k_height * 4;

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

// Runs `capture --hashes - -C data_parent ...extra`: the chosen frames' hashes, in order, checked
// to be as many as the capture says it hashed.
export function native_hashes(capture, data_parent, extra) {
  const run = spawnSync(capture, ['--hashes', '-', '-C', data_parent, ...extra], { encoding: 'utf8', maxBuffer: 1 << 26 });
  if (run.status !== 0) throw new Error(`${capture} ended with status ${run.status}: ${run.stderr.trim()}`);
  const lines = run.stdout.trimEnd().split('\n');
  const hashes = lines.slice(0, -2);
  if (lines.at(-1) !== `frames: ${hashes.length}` || !hashes.every((hash) => /^[0-9a-f]{16}$/.test(hash)))
    throw new Error(`${capture} --hashes wrote no whole list: ${lines.slice(-2).join(' / ')}`);
  return hashes;
}
