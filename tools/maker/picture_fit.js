// A person's picture as the show wants it, decoded by the browser: turned upright by its EXIF
// orientation, in sRGB, any transparency laid over black, fitted to the frame. A picture is
// refused before decoding when its size cannot be read, is over the import's limits (measured by
// the maker's module: see maker_native.js) or it is cut short.
import { read_picture_header, k_not_a_picture } from './picture_header.mjs';
import { fit_pixels } from './resample.mjs';
import { decode_heif } from './heif_decode.js';

// The reason a picture is left out; its message is the one the maker shows beside the file's name.
export class PictureRefused extends Error {}

// The picture upright, in sRGB, over black: { rgba, width, height, format }. native is an open
// maker's module (open_maker_native). Rejects with PictureRefused saying why it cannot be used.
export async function decode_picture(file, native) {
  const bytes = new Uint8Array(await file.arrayBuffer());
  const header = read_picture_header(bytes);
  if (!header) throw new PictureRefused(k_not_a_picture);
  // Never decoded to find out: a size the header does not give is a refusal.
  if (header.format !== 'JPEG' && !(header.width > 0 && header.height > 0)) {
    throw new PictureRefused(`a ${header.format} file whose size cannot be read from its header`);
  }
  const checked = await native.picture(header.format === 'JPEG' ? bytes.slice() : null, header);
  if (checked.refusal) throw new PictureRefused(checked.refusal);
  if (!header.complete) throw new PictureRefused(`a ${header.format} file cut short: it ends before its picture does`);
  let bitmap;
  try {
    // from-image: upright by the EXIF orientation; default: converted from its profile to the
    // canvas's sRGB.
    bitmap = await createImageBitmap(new Blob([bytes]), {
      imageOrientation: 'from-image', colorSpaceConversion: 'default', premultiplyAlpha: 'premultiply',
    });
  } catch {
    if (header.format === 'HEIC') return decode_heic(bytes);
    throw new PictureRefused(`the browser cannot decode this ${header.format} file`);
  }
  try {
    const { width, height } = bitmap;
    // Upright, a picture may have turned; it may not have grown.
    if (width * height > checked.width * checked.height) {
      throw new PictureRefused(`decoded at ${width}x${height}, larger than its header's ${checked.width}x${checked.height}`);
    }
    // An opaque canvas starts black: drawing over it lays any transparency over black.
    const canvas = new OffscreenCanvas(width, height);
    const context = canvas.getContext('2d', { alpha: false, willReadFrequently: true });
    context.drawImage(bitmap, 0, 0);
    const rgba = context.getImageData(0, 0, width, height, { colorSpace: 'srgb' }).data;
    return { rgba, width, height, format: header ? header.format : 'picture' };
  } finally {
    bitmap.close();
  }
}

// A HEIC the browser could not decode, by the maker's HEIF module instead.
async function decode_heic(bytes) {
  const decoded = await decode_heif(bytes);
  if (decoded.refusal) throw new PictureRefused(decoded.refusal);
  return { rgba: decoded.rgba, width: decoded.width, height: decoded.height, format: 'HEIC' };
}

// The picture fitted to width x height: RGB bytes, rows back to back.
export async function fit_picture(file, width, height, fit, native) {
  const picture = await decode_picture(file, native);
  return fit_pixels(picture.rgba, picture.width, picture.height, width, height, fit);
}
