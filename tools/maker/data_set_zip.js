// The data set as a .zip holding data/ as velmorastik-import writes it, to unzip where the show
// starts. Pictures and the soundtrack are compressed already: they are stored, and only the raw
// texture is deflated.
import { zipSync } from 'fflate';

// files: path under data/ -> bytes. Resolves to the archive's bytes.
export function zip_data_set(files) {
  const entries = {};
  for (const [path, bytes] of Object.entries(files)) {
    entries['data/' + path] = [bytes, { level: /\.(jpe?g|mp3)$/i.test(path) ? 0 : 6 }];
  }
  return zipSync(entries);
}
