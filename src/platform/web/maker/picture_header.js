// What a picture file says of itself before anything decodes it: its format, its size and
// whether it is whole. The browser's decoders draw a cut-short JPEG or PNG as far as it goes and
// decode any size they are handed, where the import refuses both before decoding; these checks
// keep the maker's rules the import's.

// As the import: a photo of today's largest cameras fits, a file declaring billions of pixels in
// a few bytes does not; a progressive JPEG keeps all its coefficients while it decodes.
export const k_max_picture_pixels = 200_000_000;
export const k_max_decode_bytes = 2 ** 30;

const be16 = (b, i) => (b[i] << 8) | b[i + 1];
const be32 = (b, i) => ((b[i] << 24) | (b[i + 1] << 16) | (b[i + 2] << 8) | b[i + 3]) >>> 0;
const le16 = (b, i) => b[i] | (b[i + 1] << 8);
const le24 = (b, i) => b[i] | (b[i + 1] << 8) | (b[i + 2] << 16);
const le32 = (b, i) => (b[i] | (b[i + 1] << 8) | (b[i + 2] << 16) | (b[i + 3] << 24)) >>> 0;
const ascii = (b, i, n) => String.fromCharCode(...b.subarray(i, i + n));

// A JPEG's frame header and whether its markers run to the end-of-image marker: every segment is
// stepped over by its length, every scan's coded data up to the next real marker.
function jpeg_header(b) {
  let header = null;
  let i = 2;
  while (i + 1 < b.length) {
    if (b[i] !== 0xff) break;
    const marker = b[i + 1];
    if (marker === 0xff) { i++; continue; }
    if (marker === 0xd9) return header && { ...header, complete: true };
    if ((marker >= 0xd0 && marker <= 0xd7) || marker === 0x01) { i += 2; continue; }
    if (i + 3 >= b.length) break;
    const next = i + 2 + be16(b, i + 2);
    // SOF0..SOF15 but DHT (C4), JPG (C8) and DAC (CC).
    if (marker >= 0xc0 && marker <= 0xcf && marker !== 0xc4 && marker !== 0xc8 && marker !== 0xcc && i + 9 < b.length) {
      const components = b[i + 9];
      let subsampled = false;
      for (let c = 0; c < components && i + 11 + c * 3 < b.length; c++) subsampled ||= b[i + 11 + c * 3] !== 0x11;
      header = {
        format: 'JPEG', height: be16(b, i + 5), width: be16(b, i + 7), components,
        progressive: marker === 0xc2 || marker === 0xc6 || marker === 0xca || marker === 0xce, subsampled,
      };
    }
    i = next;
    if (marker === 0xda) {
      while (i + 1 < b.length && !(b[i] === 0xff && b[i + 1] !== 0 && !(b[i + 1] >= 0xd0 && b[i + 1] <= 0xd7) &&
                                   b[i + 1] !== 0xff)) i++;
    }
  }
  return header && { ...header, complete: false };
}

// A PNG's size, and whether its chunks run whole to IEND.
function png_header(b) {
  if (b.length < 24 || ascii(b, 12, 4) !== 'IHDR') return null;
  const header = { format: 'PNG', width: be32(b, 16), height: be32(b, 20), components: 4, complete: false };
  for (let i = 8; i + 8 <= b.length;) {
    const end = i + 12 + be32(b, i);
    if (end > b.length) break;
    if (ascii(b, i + 4, 4) === 'IEND') return { ...header, complete: true };
    i = end;
  }
  return header;
}

function webp_header(b) {
  const chunk = ascii(b, 12, 4);
  const header = { format: 'WebP', components: 4, complete: le32(b, 4) + 8 <= b.length };
  if (chunk === 'VP8 ' && b.length >= 30) return { ...header, width: le16(b, 26) & 0x3fff, height: le16(b, 28) & 0x3fff };
  if (chunk === 'VP8L' && b.length >= 25) {
    const bits = le32(b, 21);
    return { ...header, width: (bits & 0x3fff) + 1, height: ((bits >>> 14) & 0x3fff) + 1 };
  }
  if (chunk === 'VP8X' && b.length >= 30) return { ...header, width: le24(b, 24) + 1, height: le24(b, 27) + 1 };
  return null;
}

// HEIC and AVIF: the largest image spatial extent ('ispe') the file declares, its primary
// picture's whole size among them (a grid's tiles are smaller).
function heif_header(b, format) {
  let best = null;
  const end = Math.min(b.length, 1 << 20);
  for (let i = 4; i + 16 <= end; i++) {
    if (b[i] !== 0x69 || ascii(b, i, 4) !== 'ispe') continue;
    const width = be32(b, i + 8);
    const height = be32(b, i + 12);
    if (!best || width * height > best.width * best.height) best = { width, height };
  }
  return best && { format, ...best, components: 4, complete: true };
}

// { format, width, height, components, progressive, subsampled, complete } for the formats above,
// GIF and BMP; null for anything else (the browser may still decode it: its size is checked then).
export function read_picture_header(b) {
  if (b.length >= 4 && b[0] === 0xff && b[1] === 0xd8 && b[2] === 0xff) return jpeg_header(b);
  if (b.length >= 8 && be32(b, 0) === 0x89504e47 && be32(b, 4) === 0x0d0a1a0a) return png_header(b);
  if (b.length >= 10 && ascii(b, 0, 4) === 'GIF8') {
    return { format: 'GIF', width: le16(b, 6), height: le16(b, 8), components: 4, complete: b[b.length - 1] === 0x3b };
  }
  if (b.length >= 16 && ascii(b, 0, 4) === 'RIFF' && ascii(b, 8, 4) === 'WEBP') return webp_header(b);
  if (b.length >= 12 && ascii(b, 4, 4) === 'ftyp') {
    const brand = ascii(b, 8, 4);
    if (brand === 'avif' || brand === 'avis') return heif_header(b, 'AVIF');
    if (['heic', 'heix', 'hevc', 'heim', 'heis', 'mif1', 'msf1'].includes(brand)) return heif_header(b, 'HEIC');
  }
  if (b.length >= 26 && b[0] === 0x42 && b[1] === 0x4d) {
    return { format: 'BMP', width: le32(b, 18) | 0, height: Math.abs(le32(b, 22) | 0), components: 4, complete: true };
  }
  return null;
}

// Why a picture of this size is refused before it is decoded, in the import's words; null when
// it is taken.
export function size_refusal(width, height, header = {}) {
  const size = `${width}x${height}`;
  const pixels = width * height;
  if (pixels > k_max_picture_pixels) {
    return `${size} pixels is over the limit of ${k_max_picture_pixels / 1e6} megapixels`;
  }
  if (header.progressive) {
    const bands = header.components === 3 && header.subsampled ? 2 : header.components;
    const bytes = pixels * 2 * bands;
    const gb = (n) => (n / 2 ** 30).toFixed(1) + ' GB';
    if (bytes > k_max_decode_bytes) {
      return `${size} pixels would take ${gb(bytes)} to decode, over the limit of ${gb(k_max_decode_bytes)}`;
    }
  }
  return null;
}
