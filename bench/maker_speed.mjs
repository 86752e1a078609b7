// The page's half of bench/maker_speed.sh: node bench/maker_speed.mjs SITE PHOTO... [-- HEIC...]
// Prints "fit S" (the median over three runs of make() with the photos), "heic S" (the same with
// the HEIC files, when given) and "video S" (of exportVideo at 30 fps, on the photos' set), in
// seconds, and each run's times.
import { Browser } from '../tests/web/browser.mjs';
import { serve } from '../tests/web/serve.mjs';

const [site, ...files] = process.argv.slice(2);
const photos = files.includes('--') ? files.slice(0, files.indexOf('--')) : files;
const heics = files.includes('--') ? files.slice(files.indexOf('--') + 1) : [];
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const server = await serve(site);
const browser = await Browser.launch();
try {
  const page = await browser.new_page();
  await page.goto(`${server.url}maker.html`);
  await page.wait_for('window.makerReady === true', 60, 'the maker ready');
  const fit_times = async (id, pictures) => {
    await page.eval(`document.body.append(Object.assign(document.createElement('input'), { type: 'file', id: '${id}', multiple: true, hidden: true }))`);
    await page.set_files(`#${id}`, pictures);
    const times = [];
    for (let run = 0; run < 3; run++) {
      times.push(await page.eval(`(async () => { const t = performance.now();
        await velmorastikMaker.make({ pictures: [...document.getElementById('${id}').files] });
        return (performance.now() - t) / 1000; })()`));
    }
    return times;
  };
  const heic_fits = heics.length ? await fit_times('bench-heic', heics) : [];
  const fits = await fit_times('bench', photos);
  const videos = [];
  for (let run = 0; run < 3; run++) {
    videos.push(await page.eval(`(async () => { const t = performance.now();
      const blob = await velmorastikMaker.exportVideo({ fps: 30 });
      return (performance.now() - t) / 1000; })()`));
  }
  console.log(`fit ${median(fits).toFixed(3)} (runs ${fits.map((t) => t.toFixed(2)).join(' ')})`);
  if (heic_fits.length) console.log(`heic ${median(heic_fits).toFixed(3)} (runs ${heic_fits.map((t) => t.toFixed(2)).join(' ')})`);
  console.log(`video ${median(videos).toFixed(3)} (runs ${videos.map((t) => t.toFixed(2)).join(' ')})`);
} finally {
  await browser.close();
  await server.close();
}
