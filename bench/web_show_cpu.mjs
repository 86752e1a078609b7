// The live web show's cost in the browser: the CPU time of all of Chromium's processes over
// 20 s of the show (after 2 s of start-up), per frame drawn and as a share of one core.
//   node web_show_cpu.mjs SITE_DIR
import fs from 'node:fs';
import { execFileSync } from 'node:child_process';
import { Browser } from '../tests/web/browser.mjs';
import { serve } from '../tests/web/serve.mjs';

const k_warm_up_seconds = 2;
const k_seconds = 20;
const ticks_per_second = Number(execFileSync('getconf', ['CLK_TCK']).toString());
const sleep = (seconds) => new Promise((resolve) => setTimeout(resolve, seconds * 1000));

// utime + stime of each process, in clock ticks.
function cpu_ticks(pids) {
  const ticks = new Map();
  for (const pid of pids) {
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      ticks.set(pid, Number(fields[11]) + Number(fields[12]));
    } catch { /* ended meanwhile */ }
  }
  return ticks;
}

const site = process.argv[2];
const server = await serve(site);
const browser = await Browser.launch();
try {
  const page = await browser.new_page();
  await page.goto(`${server.url}index.html`);
  const overlay = await page.wait_for(`(() => {
    for (const e of document.querySelectorAll('body *')) {
      const r = e.getBoundingClientRect();
      if (r.width > 0 && /click to start/i.test(e.innerText ?? '') && ![...e.children].some((c) => /click to start/i.test(c.innerText ?? '')))
        return { x: r.x + r.width / 2, y: r.y + r.height / 2 };
    }
    return null;
  })()`, 60, 'the start overlay');
  // The page may show its overlay a moment before it listens for the click: click until it starts.
  for (let tries = 0; tries < 10 && !(await page.eval('window.__webtest.frames_drawn')); tries++) {
    await page.click(overlay.x, overlay.y);
    await sleep(0.5);
  }
  await sleep(k_warm_up_seconds);
  const frames_before = await page.eval('window.__webtest.frames_drawn');
  const before = cpu_ticks(browser.process_ids());
  const started = process.hrtime.bigint();
  await sleep(k_seconds);
  const after = cpu_ticks(browser.process_ids());
  const frames_after = await page.eval('window.__webtest.frames_drawn');
  const seconds = Number(process.hrtime.bigint() - started) / 1e9;
  let ticks = 0;
  for (const [pid, t] of after) ticks += t - (before.get(pid) ?? 0);
  const frames = frames_after - frames_before;
  if (frames <= 0) throw new Error('no frame was drawn: did the show start?');
  const cpu_seconds = ticks / ticks_per_second;
  console.log(`frames drawn: ${frames} in ${seconds.toFixed(1)} s (${(frames / seconds).toFixed(1)} a second)`);
  console.log(`Chromium CPU: ${(100 * cpu_seconds / seconds).toFixed(1)}% of one core, ` +
    `${(1000 * cpu_seconds / frames).toFixed(2)} ms per frame (${after.size} processes)`);
} finally {
  await browser.close();
  await server.close();
}
