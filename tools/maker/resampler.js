// Decoded music of any rate and channel count made into the soundtrack's 16-bit stereo at 44.1
// kHz, streamed: the decoder's pieces go in as they come and the output is written into one array
// the size of the show, so that the memory is the soundtrack's whatever the music's length.
//
// Band-limited as the native import's resampler is (a Kaiser-windowed sinc, beta 9, 16 taps on
// each side at the input's rate, cut off at the input's Nyquist frequency or, going down, at 97%
// of the output's, with the taps widened to match), in polyphase form: exact for every pair of rates whose ratio reduces to at most k_max_phases phases (48,
// 32, 22.05, 16, 11.025 and 8 kHz and more), linearly between k_max_phases phases otherwise.
// Output frame n lies at n / 44100 s of the music, so a start offset lands on the same samples as
// the import's.

const k_taps_per_side = 16;
const k_cutoff = 0.97;
const k_kaiser_beta = 9;
const k_max_phases = 2048;

// A channel of music between -1 and 1 as a 16-bit sample, rounded and clipped as the native
// conversion does.
function to_int16(value) {
  const v = Math.round(value * 32768);
  return v > 32767 ? 32767 : v < -32768 ? -32768 : v;
}

function bessel_i0(x) {
  let sum = 1, term = 1;
  for (let k = 1; k < 64; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

function gcd(a, b) {
  while (b) [a, b] = [b, a % b];
  return a;
}

// How each of a file's channels reaches the left and the right, for the usual layouts of 1 to 8
// channels (front left, right, centre, low frequencies, back and side pairs, in WAVE's order):
// the centre and the surrounds at -3 dB to their sides, the low frequencies left out, and the
// whole scaled down when a side would sum over 1. A single channel goes to both at -3 dB, as the
// native import's conversion gives it; past 8 channels only the first two are heard.
export function stereo_matrix(channels) {
  const h = Math.SQRT1_2;
  // Each row: [left gain, right gain] per input channel.
  const layouts = {
    1: [[h, h]],
    2: [[1, 0], [0, 1]],
    3: [[1, 0], [0, 1], [h, h]],
    4: [[1, 0], [0, 1], [h, 0], [0, h]],
    5: [[1, 0], [0, 1], [h, h], [h, 0], [0, h]],
    6: [[1, 0], [0, 1], [h, h], [0, 0], [h, 0], [0, h]],
    7: [[1, 0], [0, 1], [h, h], [0, 0], [h * h, h * h], [h, 0], [0, h]],
    8: [[1, 0], [0, 1], [h, h], [0, 0], [h, 0], [0, h], [h, 0], [0, h]],
  };
  const rows = layouts[channels] ?? [[1, 0], [0, 1], ...Array(channels - 2).fill([0, 0])];
  const sum = (side) => rows.reduce((total, row) => total + Math.abs(row[side]), 0);
  const scale = Math.max(1, sum(0), sum(1));
  return rows.map(([l, r]) => [l / scale, r / scale]);
}

export class StereoResampler {
  // Music of in_rate Hz and channels channels into output (interleaved stereo Int16Array), whose
  // first frame is frame first_output of the music at out_rate; it stops when output is full.
  constructor({ in_rate, out_rate, channels, first_output, output }) {
    this.in_rate = in_rate;
    this.out_rate = out_rate;
    this.matrix = stereo_matrix(channels);
    this.output = output;
    this.capacity_frames = output.length / 2;
    this.written = 0;
    this.next_output = first_output;
    this.same_rate = in_rate === out_rate;
    // The cut as a share of the input's Nyquist frequency, and the taps on each side in input
    // samples, widened as much as the cut is lowered.
    const cut = Math.min(1, (k_cutoff * out_rate) / in_rate);
    this.half = Math.ceil(k_taps_per_side / cut);
    const reduced = out_rate / gcd(in_rate, out_rate);
    this.phases = Math.min(reduced, k_max_phases);
    this.exact = reduced <= k_max_phases;
    this.table = this.same_rate ? null : make_table(this.half, this.phases, 0.5 * cut);
    // The music not yet used, mixed to stereo: history[0] is input frame history_start.
    this.left = new Float32Array(4096);
    this.right = new Float32Array(4096);
    this.history_start = null;
    this.history_length = 0;
    this.ended = false;
  }

  get full() { return this.written >= this.capacity_frames; }

  // Adds frames frames of planar float samples (planes[c][i]) starting at input frame
  // first_input of the music (its first piece's place; later pieces follow it without a gap).
  push(planes, frames, first_input) {
    if (this.full || frames === 0) return;
    if (this.history_start === null) this.history_start = first_input;
    this.#make_room(frames);
    const at = this.history_length;
    const left = this.left, right = this.right;
    for (let i = 0; i < frames; ++i) { left[at + i] = 0; right[at + i] = 0; }
    this.matrix.forEach(([l, r], c) => {
      if (l === 0 && r === 0) return;
      const plane = planes[c];
      for (let i = 0; i < frames; ++i) {
        const v = plane[i];
        left[at + i] += l * v;
        right[at + i] += r * v;
      }
    });
    this.history_length += frames;
    this.#produce();
  }

  // The music has ended: what it still owes is made, the samples past its end taken as silence.
  finish() {
    this.ended = true;
    if (this.history_start !== null) this.#produce();
  }

  #make_room(frames) {
    // Only the frames the next output still reaches are kept.
    const keep_from = this.same_rate ? this.next_output
      : Math.floor((this.next_output * this.in_rate) / this.out_rate) - this.half + 1;
    const drop = Math.max(0, Math.min(this.history_length, keep_from - this.history_start));
    if (drop > 0) {
      this.left.copyWithin(0, drop, this.history_length);
      this.right.copyWithin(0, drop, this.history_length);
      this.history_start += drop;
      this.history_length -= drop;
    }
    const needed = this.history_length + frames;
    if (needed > this.left.length) {
      const size = Math.max(needed, this.left.length * 2);
      const grow = (old) => { const a = new Float32Array(size); a.set(old.subarray(0, this.history_length)); return a; };
      this.left = grow(this.left);
      this.right = grow(this.right);
    }
  }

  #produce() {
    if (this.same_rate) this.#copy();
    else this.#filter();
  }

  #copy() {
    const end = this.history_start + this.history_length;
    const out = this.output;
    while (!this.full && this.next_output < end) {
      const k = this.next_output - this.history_start;  // below 0: before the music's first frame
      out[2 * this.written] = k < 0 ? 0 : to_int16(this.left[k]);
      out[2 * this.written + 1] = k < 0 ? 0 : to_int16(this.right[k]);
      ++this.written;
      ++this.next_output;
    }
  }

  #filter() {
    const { in_rate, out_rate, half, phases, exact, table, left, right, output } = this;
    const taps = 2 * half;
    const start = this.history_start, length = this.history_length, end = start + length;
    // After the end, outputs are owed up to the music's last input frame.
    const last = this.ended ? Math.ceil((end * out_rate) / in_rate) : Infinity;
    let n = this.next_output, written = this.written;
    const capacity = this.capacity_frames;
    while (written < capacity && n < last) {
      const position = n * in_rate;  // exact: n stays far below 2^53 / in_rate
      const centre = Math.floor(position / out_rate);
      if (!this.ended && centre + half >= end) break;
      const remainder = position - centre * out_rate;
      let phase, fraction;
      if (exact) {
        phase = (remainder * phases) / out_rate;
        fraction = 0;
      } else {
        const p = (remainder * phases) / out_rate;
        phase = Math.floor(p);
        fraction = p - phase;
      }
      const row = phase * taps, next_row = row + taps;
      const first = centre - half + 1 - start;
      let l = 0, r = 0;
      for (let m = 0; m < taps; ++m) {
        const k = first + m;
        if (k < 0 || k >= length) continue;  // before the music's first frame or after its end
        const c = fraction === 0 ? table[row + m] : table[row + m] + fraction * (table[next_row + m] - table[row + m]);
        l += c * left[k];
        r += c * right[k];
      }
      output[2 * written] = to_int16(l);
      output[2 * written + 1] = to_int16(r);
      ++written;
      ++n;
    }
    this.next_output = n;
    this.written = written;
  }
}

// phases + 1 rows of 2 * half taps: row p holds the taps for an output p / phases of an input
// frame past the centre tap, each row summing to 1 so that a constant passes unchanged.
function make_table(half, phases, cutoff) {
  const taps = 2 * half;
  const table = new Float32Array((phases + 1) * taps);
  const i0_beta = bessel_i0(k_kaiser_beta);
  for (let p = 0; p <= phases; ++p) {
    let sum = 0;
    const row = new Float64Array(taps);
    for (let m = 0; m < taps; ++m) {
      const t = p / phases + half - 1 - m;  // distance from the output to this tap, in input frames
      const u = t / half;
      if (Math.abs(u) >= 1) continue;
      const x = 2 * cutoff * t;
      const sinc = x === 0 ? 1 : Math.sin(Math.PI * x) / (Math.PI * x);
      const window = bessel_i0(k_kaiser_beta * Math.sqrt(1 - u * u)) / i0_beta;
      row[m] = 2 * cutoff * sinc * window;
      sum += row[m];
    }
    for (let m = 0; m < taps; ++m) table[p * taps + m] = row[m] / sum;
  }
  return table;
}
