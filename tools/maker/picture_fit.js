// A person's picture as the show wants it, decoded by the browser: turned upright by its EXIF
// orientation, in sRGB, any transparency laid over black, fitted to the frame. A picture is
// refused before decoding when its size cannot be read, is over the import's limits (measured by
// the maker's module: see maker_native.js) or it is cut short. The page checks a picture
// (check_picture); a fitting worker (picture_fitter.js, through fit_pool.js) decodes and fits it.
import { read_picture_header, k_not_a_picture } from './picture_header.mjs';
import { fit_pixels, load_shrink, scratch } from './resample.mjs';
import { decode_heif } from './heif_decode.js';

// The reason a picture is left out; its message is the one the maker shows beside the file's name.
export class PictureRefused extends Error {}

const k_types = { JPEG: 'image/jpeg', PNG: 'image/png', WebP: 'image/webp', GIF: 'image/gif', BMP: 'image/bmp',
  AVIF: 'image/avif', HEIC: 'image/heic' };

// What the page learns of a picture before anything decodes it: { format, width, height (as
// stored), orientation (EXIF, 1 to 8), profile (whether a JPEG carries a colour profile) }. native is an open maker's module (open_maker_native).
// Rejects with PictureRefused saying why it cannot be used.
export async function check_picture(file, native) {
  const bytes = new Uint8Array(await file.arrayBuffer());
  const header = read_picture_header(bytes);
  if (!header) throw new PictureRefused(k_not_a_picture);
  // Never decoded to find out: a size the header does not give is a refusal.
  if (header.format !== 'JPEG' && !(header.width > 0 && header.height > 0)) {
    throw new PictureRefused(`a ${header.format} file whose size cannot be read from its header`);
  }
  // The bytes are the module's from here: the worker decodes the file itself.
  const checked = await native.picture(header.format === 'JPEG' ? bytes : null, header);
  if (checked.refusal) throw new PictureRefused(checked.refusal);
  if (!header.complete) throw new PictureRefused(`a ${header.format} file cut short: it ends before its picture does`);
  return { format: header.format, width: checked.width, height: checked.height, orientation: header.orientation ?? 1,
    profile: header.profile ?? true };
}

// The size a checked picture stands at once upright: EXIF orientations 5 to 8 turn it a quarter.
export function upright_size({ width, height, orientation }) {
  return orientation >= 5 ? { width: height, height: width } : { width, height };
}

// Set once this worker's browser has decoded a JPEG to exactly the odd size asked: its decoder
// resamples (Firefox's), where libjpeg scales in its IDCT, to a size of its own.
export let g_decoder_resamples = false;
// Up to this many pixels, a picture whose decoder resamples is decoded whole and box-averaged by
// the factor libjpeg would have scaled it by, the nearer to the import's; past it, the decoder's
// own resampling keeps the memory down.
const k_whole_decode_pixels = 50e6;

// The picture's pixels upright, in sRGB, over black: { rgba, width, height, box, bgr }, decoded at
// 1/shrink of its upright size (1, 2, 4 or 8; a JPEG's decoder scales it as it decodes) or whole,
// box: the factor by which the fitting is still to average it, as the decoder could not scale it;
// bgr: its samples in the order B, G, R, as the decoder's frame held them.
// file: the File; picture: check_picture's answer.
export async function decode_picture(file, picture, shrink = 1) {
  const upright = upright_size(picture);
  const whole = picture.width * picture.height;
  // Scaled, the size libjpeg gives: its scaled IDCT rounds up.
  const wanted = shrink > 1 ? { width: Math.ceil(upright.width / shrink), height: Math.ceil(upright.height / shrink) } : null;
  let asked = wanted;
  if (wanted && g_decoder_resamples) {
    if (whole <= k_whole_decode_pixels) return { ...await decode_picture(file, picture, 1), box: shrink };
  } else if (wanted) {
    // A pixel more each way: a decoder that scales in its IDCT gives its own size all the same.
    asked = { width: wanted.width + 1, height: wanted.height + 1 };
  }
  let decoded;
  try {
    decoded = await decode_image(file, picture.format, asked);
  } catch (error) {
    if (picture.format === 'HEIC' && error instanceof PictureRefused) return decode_heic(file);
    throw error;
  }
  try {
    const { width, height } = decoded;
    // Upright, a picture may have turned; it may not have grown.
    if (width * height > whole) {
      throw new PictureRefused(`decoded at ${width}x${height}, larger than its header's ${picture.width}x${picture.height}`);
    }
    if (asked !== wanted && width === asked.width && height === asked.height) {
      g_decoder_resamples = true;
      decoded.close();
      return decode_picture(file, picture, shrink);
    }
    // A decoder that turned it otherwise than its header says, or scaled it to another shape, is
    // asked again for the whole picture.
    const near = (a, b) => Math.abs(a - b) <= 1;
    if (wanted && !(near(width, wanted.width) && near(height, wanted.height)) &&
        !(width === upright.width && height === upright.height)) {
      decoded.close();
      return decode_picture(file, picture, 1);
    }
    // A JPEG without a profile decodes to sRGB samples already, which are copied straight out of
    // the decoder's frame: a canvas drawn on in a worker leaves Chromium holding memory for it.
    if (picture.format === 'JPEG' && !picture.profile) {
      const samples = await frame_samples(decoded.frame);
      if (samples) return { ...samples, box: 1 };
    }
    // An opaque canvas starts black: drawing over it lays any transparency over black. Each
    // stage's memory is given back as soon as the next has what it needs.
    const canvas = new OffscreenCanvas(width, height);
    const context = canvas.getContext('2d', { alpha: false, willReadFrequently: true });
    context.drawImage(decoded.image, 0, 0);
    decoded.close();
    const rgba = context.getImageData(0, 0, width, height, { colorSpace: 'srgb' }).data;
    canvas.width = canvas.height = 0;
    return { rgba, width, height, box: 1 };
  } finally {
    decoded.close();
  }
}

// A decoded frame (VideoFrame) of opaque 8-bit RGB as { rgba (the fourth byte unused), width,
// height, bgr }, turned upright by the frame's rotation and then its flip as drawImage turns it;
// null for any other frame, which goes through a canvas.
async function frame_samples(frame) {
  if (!frame || (frame.format !== 'BGRX' && frame.format !== 'RGBX')) return null;
  const { width: w, height: h } = frame.visibleRect;
  const stored = scratch('stored', Uint8Array, w * h * 4);
  await frame.copyTo(stored, { layout: [{ offset: 0, stride: w * 4 }] });
  const [r, b] = frame.format === 'BGRX' ? [2, 0] : [0, 2];
  const rotation = frame.rotation ?? 0;
  const flip = frame.flip ?? false;
  // Upright as stored, the samples are fitted in their own order.
  if (rotation === 0 && !flip) return { rgba: stored, width: w, height: h, bgr: r !== 0 };
  const turned = rotation % 180 !== 0;
  const width = turned ? h : w, height = turned ? w : h;
  const rgba = scratch('upright', Uint8Array, width * height * 4);
  for (let y = 0, j = 0; y < height; y++) {
    for (let x0 = 0; x0 < width; x0++, j += 4) {
      const x = flip ? width - 1 - x0 : x0;
      // The stored pixel that the rotation brings to (x, y).
      const [sx, sy] = rotation === 90 ? [y, h - 1 - x] : rotation === 180 ? [w - 1 - x, h - 1 - y] :
        rotation === 270 ? [w - 1 - y, x] : [x, y];
      const i = (sy * w + sx) * 4;
      rgba[j] = stored[i + r]; rgba[j + 1] = stored[i + 1]; rgba[j + 2] = stored[i + b];
    }
  }
  return { rgba, width, height, bgr: false };
}

// A HEIC the browser could not decode, by the maker's HEIF module instead, whole.
async function decode_heic(file) {
  const decoded = await decode_heif(new Uint8Array(await file.arrayBuffer()),
    new URL('velmorastik-heif.js', self.location.href));
  if (decoded.refusal) throw new PictureRefused(decoded.refusal);
  return { rgba: decoded.rgba, width: decoded.width, height: decoded.height, box: 1 };
}

// f, run the first time only.
function once(f) {
  let done = false;
  return () => { if (!done) { done = true; f(); } };
}

// Whether this browser's WebCodecs decodes type; false where ImageDecoder is missing, or its
// question is (older Safari) or throws.
async function image_decoder_takes(type) {
  try {
    return typeof ImageDecoder === 'function' && typeof ImageDecoder.isTypeSupported === 'function' &&
      await ImageDecoder.isTypeSupported(type);
  } catch {
    return false;
  }
}

// The file decoded by the browser, upright (its EXIF orientation) and converted from its profile
// to sRGB, at wanted (upright) when given and the decoder can: { image (for drawImage), width,
// height, close() }. Only a JPEG is asked for a size: its decoder scales while it decodes, where
// the others would decode whole and then resample.
async function decode_image(file, format, wanted) {
  const type = k_types[format];
  const refused = () => new PictureRefused(`the browser cannot decode this ${format} file`);
  const size = format === 'JPEG' && wanted ? wanted : null;
  if (await image_decoder_takes(type)) {
    const decoder = new ImageDecoder({
      data: await file.arrayBuffer(), type, colorSpaceConversion: 'default', preferAnimation: false,
      ...(size && { desiredWidth: size.width, desiredHeight: size.height }),
    });
    // Closed before its data is all read, a decoder rejects these (Firefox reports them unhandled).
    decoder.completed?.catch(() => {});
    decoder.tracks?.ready?.catch(() => {});
    let image;
    try {
      ({ image } = await decoder.decode({ frameIndex: 0 }));
    } catch {
      decoder.close();
      throw refused();
    }
    // A frame's display size is its upright one: drawImage turns it by the frame's rotation.
    return { image, frame: image, width: image.displayWidth, height: image.displayHeight,
      close: once(() => { image.close(); decoder.close(); }) };
  }
  let bitmap;
  try {
    // from-image: upright by the EXIF orientation; default: converted from its profile to sRGB.
    bitmap = await createImageBitmap(file, {
      imageOrientation: 'from-image', colorSpaceConversion: 'default', premultiplyAlpha: 'premultiply',
      ...(size && { resizeWidth: size.width, resizeHeight: size.height, resizeQuality: 'high' }),
    });
  } catch {
    throw refused();
  }
  return { image: bitmap, width: bitmap.width, height: bitmap.height, close: once(() => bitmap.close()) };
}

// The picture fitted to width x height: RGB bytes, rows back to back. A JPEG is decoded only as
// large as the fitting needs, as the import's libvips decodes it. kernel: fit_pixels's.
export async function fit_picture(file, picture, width, height, fit, kernel = null) {
  const upright = upright_size(picture);
  const shrink = picture.format === 'JPEG' ? load_shrink(upright.width, upright.height, width, height, fit) : 1;
  const decoded = await decode_picture(file, picture, shrink);
  return fit_pixels(decoded.rgba, decoded.width, decoded.height, width, height, fit,
    { kernel, load_box: decoded.box, bgr: decoded.bgr });
}
