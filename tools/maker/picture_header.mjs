// What a picture file says of itself before anything decodes it: its format, the largest size
// any of its frames takes and whether it is whole. The browser's decoders draw a cut-short file
// as far as it goes and decode any size they are handed, where the import refuses both before
// decoding; these readings, with the maker's module measuring JPEGs by libjpeg itself and holding
// every size to the import's limits, keep the maker's rules the import's.

// Every format the maker reads the size of; anything else is refused unread.
export const k_not_a_picture = 'not a picture the maker takes (JPEG, PNG, WebP, GIF, BMP, HEIC or AVIF)';

const be16 = (b, i) => (b[i] << 8) | b[i + 1];
const be32 = (b, i) => ((b[i] << 24) | (b[i + 1] << 16) | (b[i + 2] << 8) | b[i + 3]) >>> 0;
const le16 = (b, i) => b[i] | (b[i + 1] << 8);
const le24 = (b, i) => b[i] | (b[i + 1] << 8) | (b[i + 2] << 16);
const le32 = (b, i) => (b[i] | (b[i + 1] << 8) | (b[i + 2] << 16) | (b[i + 3] << 24)) >>> 0;
const ascii = (b, i, n) => String.fromCharCode(...b.subarray(i, i + n));

// The size that holds every frame: the canvas grown by any frame that reaches past it, as the
// browsers grow it rather than refuse the file.
function extent(size, frame) {
  return { width: Math.max(size.width, frame.x + frame.width), height: Math.max(size.height, frame.y + frame.height) };
}

// The EXIF orientation (1 to 8) in an APP1 segment's body from start to end, or null when it is
// not EXIF or names none: the tag 0x0112 of the TIFF block's first directory.
function exif_orientation(b, start, end) {
  if (end - start < 14 || ascii(b, start, 6) !== 'Exif\0\0') return null;
  const tiff = start + 6;
  const little = ascii(b, tiff, 2) === 'II';
  if (!little && ascii(b, tiff, 2) !== 'MM') return null;
  const u16 = (i) => (little ? le16(b, i) : be16(b, i));
  const u32 = (i) => (little ? le32(b, i) : be32(b, i));
  const directory = tiff + u32(tiff + 4);
  if (directory + 2 > end) return null;
  for (let n = 0, i = directory + 2; n < u16(directory) && i + 12 <= end; n++, i += 12) {
    if (u16(i) !== 0x0112) continue;
    const orientation = u16(i + 8);
    return orientation >= 1 && orientation <= 8 ? orientation : null;
  }
  return null;
}

// Whether a JPEG's markers run to its end-of-image marker, stepping over every segment by its
// length and every scan's coded data up to the next marker; bytes between markers are skipped
// as libjpeg skips them; the first EXIF orientation it gives (1 when none), by which the browsers
// turn it upright; and whether it carries a colour profile. Its size is libjpeg's to read (the
// maker's module).
function jpeg_header(b) {
  let i = 2;
  let orientation = null;
  let profile = false;
  while (i + 1 < b.length) {
    if (b[i] !== 0xff) { i++; continue; }
    const marker = b[i + 1];
    if (marker === 0xff) { i++; continue; }
    if (marker === 0xd9) return { format: 'JPEG', complete: true, orientation: orientation ?? 1, profile };
    if ((marker >= 0xd0 && marker <= 0xd7) || marker === 0x01 || marker === 0x00) { i += 2; continue; }
    if (i + 3 >= b.length) break;
    if (marker === 0xe1 && orientation === null) {
      orientation = exif_orientation(b, i + 4, Math.min(b.length, i + 2 + be16(b, i + 2)));
    }
    if (marker === 0xe2 && i + 16 <= b.length && ascii(b, i + 4, 12) === 'ICC_PROFILE\0') profile = true;
    i += 2 + be16(b, i + 2);
    if (marker === 0xda) {
      // The coded data runs to the first 0xFF that starts a marker (not a stuffed 0x00, a restart
      // marker or fill); indexOf finds each 0xFF far faster than a loop over the bytes.
      for (;;) {
        i = b.indexOf(0xff, i);
        if (i < 0 || i + 1 >= b.length) { i = b.length; break; }
        const next = b[i + 1];
        if (next !== 0 && !(next >= 0xd0 && next <= 0xd7) && next !== 0xff) break;
        i++;
      }
    }
  }
  return { format: 'JPEG', complete: false, orientation: orientation ?? 1, profile };
}

// A PNG's size, grown by every frame of an animated one (fcTL), and whether its chunks run whole
// to IEND.
function png_header(b) {
  if (b.length < 24 || ascii(b, 12, 4) !== 'IHDR') return null;
  let size = { width: be32(b, 16), height: be32(b, 20) };
  for (let i = 8; i + 8 <= b.length;) {
    const end = i + 12 + be32(b, i);
    if (end > b.length) break;
    const type = ascii(b, i + 4, 4);
    if (type === 'IEND') return { format: 'PNG', ...size, complete: true };
    if (type === 'fcTL' && i + 28 <= b.length) {
      size = extent(size, { width: be32(b, i + 12), height: be32(b, i + 16), x: be32(b, i + 20), y: be32(b, i + 24) });
    }
    i = end;
  }
  return { format: 'PNG', ...size, complete: false };
}

// A GIF's canvas grown by every frame's own place and size, and whether its blocks run whole to
// the trailer.
function gif_header(b) {
  let size = { width: le16(b, 6), height: le16(b, 8) };
  const colour_table = (flags) => (flags & 0x80 ? 3 << ((flags & 7) + 1) : 0);
  // Data sub-blocks, each its length then its bytes, up to an empty one: where they end.
  const skip_blocks = (i) => {
    while (i < b.length && b[i] !== 0) i += b[i] + 1;
    return i + 1;
  };
  let i = 13 + colour_table(b[10]);
  while (i < b.length) {
    if (b[i] === 0x3b) return { format: 'GIF', ...size, complete: true };
    if (b[i] === 0x21) {
      i = skip_blocks(i + 2);
    } else if (b[i] === 0x2c && i + 10 <= b.length) {
      size = extent(size, { x: le16(b, i + 1), y: le16(b, i + 3), width: le16(b, i + 5), height: le16(b, i + 7) });
      i = skip_blocks(i + 10 + colour_table(b[i + 9]) + 1);
    } else {
      break;
    }
  }
  return { format: 'GIF', ...size, complete: false };
}

// A WebP's size (its canvas when extended, grown by every frame of an animated one), and whether
// the file is as long as its RIFF header says.
function webp_header(b) {
  const complete = le32(b, 4) + 8 <= b.length;
  const chunk = ascii(b, 12, 4);
  if (chunk === 'VP8 ' && b.length >= 30) {
    return { format: 'WebP', width: le16(b, 26) & 0x3fff, height: le16(b, 28) & 0x3fff, complete };
  }
  if (chunk === 'VP8L' && b.length >= 25) {
    const bits = le32(b, 21);
    return { format: 'WebP', width: (bits & 0x3fff) + 1, height: ((bits >>> 14) & 0x3fff) + 1, complete };
  }
  if (chunk !== 'VP8X' || b.length < 30) return null;
  let size = { width: le24(b, 24) + 1, height: le24(b, 27) + 1 };
  for (let i = 12; i + 8 <= b.length; i += 8 + le32(b, i + 4) + (le32(b, i + 4) & 1)) {
    if (ascii(b, i, 4) === 'ANMF' && i + 24 <= b.length) {
      size = extent(size, {
        x: le24(b, i + 8) * 2, y: le24(b, i + 11) * 2, width: le24(b, i + 14) + 1, height: le24(b, i + 17) + 1,
      });
    }
  }
  return { format: 'WebP', ...size, complete };
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
  return best && { format, ...best, complete: true };
}

// { format, width, height, complete } for the formats above and BMP, width and height left out
// for a JPEG (libjpeg reads them); null for anything else.
export function read_picture_header(b) {
  if (b.length >= 4 && b[0] === 0xff && b[1] === 0xd8 && b[2] === 0xff) return jpeg_header(b);
  if (b.length >= 8 && be32(b, 0) === 0x89504e47 && be32(b, 4) === 0x0d0a1a0a) return png_header(b);
  if (b.length >= 13 && ascii(b, 0, 4) === 'GIF8') return gif_header(b);
  if (b.length >= 16 && ascii(b, 0, 4) === 'RIFF' && ascii(b, 8, 4) === 'WEBP') return webp_header(b);
  if (b.length >= 12 && ascii(b, 4, 4) === 'ftyp') {
    const brand = ascii(b, 8, 4);
    if (brand === 'avif' || brand === 'avis') return heif_header(b, 'AVIF');
    if (['heic', 'heix', 'hevc', 'heim', 'heis', 'mif1', 'msf1'].includes(brand)) return heif_header(b, 'HEIC');
  }
  if (b.length >= 26 && b[0] === 0x42 && b[1] === 0x4d) {
    return { format: 'BMP', width: le32(b, 18) | 0, height: Math.abs(le32(b, 22) | 0), complete: true };
  }
  return null;
}
