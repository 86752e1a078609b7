// The page's half of bench/maker_speed.sh, in Chromium, or the browser WEB_BROWSER names:
//   node bench/maker_speed.mjs speed SITE PHOTO... [-- HEIC...]
//     "fit S": the median over three runs of make() with the photos; "heic S": the same with the
//     HEIC files, when given; "video S": of exportVideo at 30 fps on the photos' set; in seconds,
//     with each run's times.
//   node bench/maker_speed.mjs video SITE PHOTO...
//     "video S" alone.
//   node bench/maker_speed.mjs memory SITE PHOTO...
//     "memory MB": the median over three runs, each in a browser of its own, of how far the
//     browser's memory (all its processes' PSS) rose over the loaded, settled page while make()
//     fitted the photos, with each run's.
import { Browser } from '../tests/web/browser.mjs';
import { serve } from '../tests/web/serve.mjs';

const [mode, site, ...files] = process.argv.slice(2);
const photos = files.includes('--') ? files.slice(0, files.indexOf('--')) : files;
const heics = files.includes('--') ? files.slice(files.indexOf('--') + 1) : [];
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const make = (id = 'bench') => `(async () => { const t = performance.now();
  await velmorastikMaker.make({ pictures: [...document.getElementById('${id}').files] });
  return (performance.now() - t) / 1000; })()`;
const runs = (times) => `${median(times).toFixed(3)} (runs ${times.map((t) => t.toFixed(2)).join(' ')})`;

// A page of browser with the maker loaded and the photos chosen in a file input of its own.
async function maker_page(browser, url) {
  const page = await browser.new_page();
  await page.goto(`${url}maker.html`);
  await page.wait_for('window.makerReady === true', 60, 'the maker ready');
  for (const [id, chosen] of [['bench', photos], ['bench-heic', heics]]) {
    if (!chosen.length) continue;
    await page.eval(`document.body.append(Object.assign(document.createElement('input'), { type: 'file', id: '${id}', multiple: true, hidden: true }))`);
    await page.set_files(`#${id}`, chosen);
  }
  return page;
}

async function speed(url, fitting) {
  const browser = await Browser.launch();
  try {
    const page = await maker_page(browser, url);
    if (fitting) {
      const heic_fits = [];
      for (let run = 0; run < 3 && heics.length; run++) heic_fits.push(await page.eval(make('bench-heic')));
      const fits = [];
      for (let run = 0; run < 3; run++) fits.push(await page.eval(make()));
      console.log(`fit ${runs(fits)}`);
      if (heic_fits.length) console.log(`heic ${runs(heic_fits)}`);
    } else {
      // The set the video is made of.
      await page.eval(make());
    }
    const videos = [];
    for (let run = 0; run < 3; run++) {
      videos.push(await page.eval(`(async () => { const t = performance.now();
        await velmorastikMaker.exportVideo({ fps: 30 });
        return (performance.now() - t) / 1000; })()`));
    }
    console.log(`video ${runs(videos)}`);
  } finally {
    await browser.close();
  }
}

// The most the browser's memory rose over its settled reading while the photos were fitted, in MB.
async function memory_run(url) {
  const browser = await Browser.launch();
  try {
    const page = await maker_page(browser, url);
    const before = await browser.settled_memory_bytes();
    let peak = before;
    let sampling = true;
    // Read back to back: each reading walks every process's smaps, a few milliseconds.
    const sampler = (async () => {
      while (sampling) {
        peak = Math.max(peak, browser.memory_bytes());
        await new Promise((resolve) => setTimeout(resolve, 20));
      }
    })();
    try {
      await page.eval(make());
    } finally {
      sampling = false;
      await sampler;
    }
    return (Math.max(peak, browser.memory_bytes()) - before) / 2 ** 20;
  } finally {
    await browser.close();
  }
}

const server = await serve(site);
try {
  if (mode === 'speed' || mode === 'video') {
    await speed(server.url, mode === 'speed');
  } else if (mode === 'memory') {
    const rises = [];
    for (let run = 0; run < 3; run++) rises.push(await memory_run(server.url));
    console.log(`memory ${median(rises).toFixed(0)} (runs ${rises.map((m) => m.toFixed(0)).join(' ')})`);
  } else {
    console.error('usage: maker_speed.mjs speed|video|memory SITE PHOTO... [-- HEIC...]');
    process.exitCode = 64;
  }
} finally {
  await server.close();
}
