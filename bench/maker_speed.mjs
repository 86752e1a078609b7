// The page's half of bench/maker_speed.sh, in Chromium:
//   node bench/maker_speed.mjs speed SITE PHOTO...
//     "fit S": the median over three runs of make() with the photos; "video S": of exportVideo at
//     30 fps; in seconds, with each run's times.
//   node bench/maker_speed.mjs memory SITE PHOTO...
//     "memory MB": the median over three runs, each in a browser of its own, of how far the
//     browser's memory (all its processes' PSS) rose over the loaded, settled page while make()
//     fitted the photos, with each run's.
import { Browser } from '../tests/web/browser.mjs';
import { serve } from '../tests/web/serve.mjs';

const [mode, site, ...photos] = process.argv.slice(2);
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const make = `(async () => { const t = performance.now();
  await velmorastikMaker.make({ pictures: [...document.getElementById('bench').files] });
  return (performance.now() - t) / 1000; })()`;

// A page of browser with the maker loaded and the photos chosen in a file input of its own.
async function maker_page(browser, url) {
  const page = await browser.new_page();
  await page.goto(`${url}maker.html`);
  await page.wait_for('window.makerReady === true', 60, 'the maker ready');
  await page.eval(`document.body.append(Object.assign(document.createElement('input'), { type: 'file', id: 'bench', multiple: true, hidden: true }))`);
  await page.set_files('#bench', photos);
  return page;
}

async function speed(url) {
  const browser = await Browser.launch();
  try {
    const page = await maker_page(browser, url);
    const fits = [];
    const videos = [];
    for (let run = 0; run < 3; run++) fits.push(await page.eval(make));
    for (let run = 0; run < 3; run++) {
      videos.push(await page.eval(`(async () => { const t = performance.now();
        await velmorastikMaker.exportVideo({ fps: 30 });
        return (performance.now() - t) / 1000; })()`));
    }
    console.log(`fit ${median(fits).toFixed(3)} (runs ${fits.map((t) => t.toFixed(2)).join(' ')})`);
    console.log(`video ${median(videos).toFixed(3)} (runs ${videos.map((t) => t.toFixed(2)).join(' ')})`);
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
      await page.eval(make);
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
  if (mode === 'speed') {
    await speed(server.url);
  } else if (mode === 'memory') {
    const runs = [];
    for (let run = 0; run < 3; run++) runs.push(await memory_run(server.url));
    console.log(`memory ${median(runs).toFixed(0)} (runs ${runs.map((m) => m.toFixed(0)).join(' ')})`);
  } else {
    console.error('usage: maker_speed.mjs speed|memory SITE PHOTO...');
    process.exitCode = 64;
  }
} finally {
  await server.close();
}
