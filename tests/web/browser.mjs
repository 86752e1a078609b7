// A headless browser for the web tests, driven by puppeteer-core: Chromium over the DevTools
// protocol, Firefox over WebDriver BiDi, the same scenarios in both. WEB_BROWSER chooses the engine
// (chromium, the default, or firefox); CHROMIUM and FIREFOX name their programs, the system's
// own by default: nothing is downloaded.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { serve } from './serve.mjs';
import { start_sound_server } from './sound_server.mjs';

// Besides puppeteer's own (no background networking among them): srgb keeps getImageData and
// screenshots exact; a hidden or occluded page would have its animation frames throttled in live mode.
const k_chromium_flags = [
  '--no-sandbox', '--disable-gpu', '--disable-quic', '--disable-component-update', '--disable-sync',
  '--autoplay-policy=no-user-gesture-required', '--force-color-profile=srgb', '--mute-audio',
  '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
  '--disable-backgrounding-occluded-windows',
];

// Autoplay allowed, as Chromium's flag does; no update checks or reports to reach for.
const k_firefox_prefs = {
  'media.autoplay.default': 0,
  'media.autoplay.blocking_policy': 0,
  'app.update.enabled': false,
  'datareporting.policy.dataSubmissionEnabled': false,
  'toolkit.telemetry.enabled': false,
  'browser.safebrowsing.malware.enabled': false,
  'browser.safebrowsing.phishing.enabled': false,
};

const k_engines = {
  chromium: { program: process.env.CHROMIUM ?? '/usr/bin/chromium', package: 'chromium', browser: 'chrome' },
  firefox: { program: process.env.FIREFOX ?? '/usr/bin/firefox-esr', package: 'firefox-esr', browser: 'firefox' },
};

export const k_engine = process.env.WEB_BROWSER ?? 'chromium';

// Why this engine cannot run here, or null when it can.
export function engine_missing() {
  const engine = k_engines[k_engine];
  if (!engine) return `no engine "${k_engine}" (WEB_BROWSER is chromium or firefox)`;
  if (!fs.existsSync(engine.program)) return `no ${k_engine} at ${engine.program} (Debian's ${engine.package} package)`;
  if (!fs.existsSync(new URL('../../node_modules/puppeteer-core/package.json', import.meta.url))) {
    return 'no puppeteer-core in node_modules (scripts/web installs it with npm ci)';
  }
  return null;
}

export class Browser {
  // Starts the browser with a fresh profile in a folder of its own; close() stops it and removes it.
  static async launch() {
    const { default: puppeteer } = await import('puppeteer-core');
    const engine = k_engines[k_engine];
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), `velmorastik-${k_engine}-`));
    const firefox = k_engine === 'firefox';
    // Firefox plays through a sound server, and there may be none (NO_SOUND_SERVER=1 runs it so).
    const sound = firefox && !process.env.NO_SOUND_SERVER ? await start_sound_server() : null;
    const browser = await puppeteer.launch({
      env: sound?.env ?? process.env,
      browser: engine.browser,
      executablePath: engine.program,
      headless: true,
      userDataDir: profile,
      args: firefox ? [] : [...k_chromium_flags, '--window-size=800,600'],
      extraPrefsFirefox: k_firefox_prefs,
      defaultViewport: { width: 800, height: 600 },
      pipe: !firefox,
      // The whole show exported as a video is one long call into the page.
      protocolTimeout: 600_000,
      // The tests end the browser themselves, profile and all, on a signal (run_scenario).
      handleSIGINT: false, handleSIGTERM: false, handleSIGHUP: false,
      dumpio: false,
    });
    return new Browser(browser, profile, sound);
  }

  constructor(browser, profile, sound) {
    this.browser = browser;
    this.profile = profile;
    this.sound = sound;
    this.engine = k_engine;
  }

  async new_page() {
    const page = new Page(this, await this.browser.newPage());
    await page.before_load(k_instrumentation);
    return page;
  }

  // The ids of the browser and every process it started (renderers, content, GPU, utilities).
  process_ids() {
    const children = new Map();
    for (const entry of fs.readdirSync('/proc')) {
      if (!/^\d+$/.test(entry)) continue;
      try {
        const stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
        const parent = Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
        if (!children.has(parent)) children.set(parent, []);
        children.get(parent).push(Number(entry));
      } catch { /* gone meanwhile */ }
    }
    const all = [];
    const queue = [this.browser.process().pid];
    while (queue.length) {
      const pid = queue.pop();
      all.push(pid);
      queue.push(...(children.get(pid) ?? []));
    }
    return all;
  }

  // The memory the browser's processes made for themselves, in bytes: their anonymous and shared
  // memory's proportional set size, each shared page counted once in all, so that a sum over
  // processes means what it says. The files they map (the program, its libraries, fonts) are left
  // out: their share moves as other browsers on the machine start and end.
  memory_bytes() {
    let kilobytes = 0;
    for (const pid of this.process_ids()) {
      let rollup;
      try {
        rollup = fs.readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8');
      } catch { continue; /* gone meanwhile */ }
      // A process ending as it is read maps nothing any more.
      if (!rollup.includes('Rss:')) continue;
      for (const field of ['Pss_Anon', 'Pss_Shmem']) {
        const match = new RegExp(`^${field}:\\s+(\\d+) kB$`, 'm').exec(rollup);
        // A kernel that does not say would make every reading nothing, and every bound hold.
        if (!match) throw new Error(`/proc/${pid}/smaps_rollup gives no ${field}: this kernel is too old to measure by`);
        kilobytes += Number(match[1]);
      }
    }
    return kilobytes * 1024;
  }

  // The memory once the browser has settled: read every quarter second until two seconds of
  // readings lie within 4 MB (at most ten seconds), the most of them; a process still starting
  // or a program still compiling would make a baseline low.
  async settled_memory_bytes() {
    const readings = [];
    const until = Date.now() + 10000;
    for (;;) {
      readings.push(this.memory_bytes());
      const last = readings.slice(-8);
      if (last.length === 8 && Math.max(...last) - Math.min(...last) <= 4 * 1048576) break;
      if (Date.now() > until) break;
      await new Promise((resolve) => setTimeout(resolve, 250));
    }
    return Math.max(...readings.slice(-8));
  }

  // For an interrupted run: ends the browser and its processes at once (it leads a process group
  // of its own), then removes the profile.
  kill() {
    const child = this.browser.process();
    try { process.kill(-child.pid, 'SIGKILL'); } catch { /* already gone */ }
    this.sound?.close();
    fs.rmSync(this.profile, { recursive: true, force: true, maxRetries: 5 });
  }

  async close() {
    const child = this.browser.process();
    const timer = setTimeout(() => { try { process.kill(-child.pid, 'SIGKILL'); } catch { /* gone */ } }, 5000);
    await this.browser.close().catch(() => {});
    clearTimeout(timer);
    this.sound?.close();
    fs.rmSync(this.profile, { recursive: true, force: true, maxRetries: 5 });
  }
}

// Installed before any of the page's own script runs: counts putImageData calls (one a frame
// drawn) and notes when the first one came and when the page was first clicked, reads the canvas
// back right after the call that draws frame readback_frame when a test sets it, keeps every
// AudioContext the page makes, whatever names the page gives them, and every media element it
// plays, and reports a content security policy's refusal as an error in the console.
const k_instrumentation = `(() => {
  const t = window.__webtest = { frames_drawn: 0, audio_contexts: [], media: [], readback_frame: -1, readback: null,
                                 clicked_at: null, first_frame_at: null };
  addEventListener('click', () => { t.clicked_at ??= performance.now(); }, true);
  document.addEventListener('securitypolicyviolation', (e) => {
    console.error('content security policy refused ' + e.blockedURI + ' (' + e.violatedDirective + ')');
  });
  const play = HTMLMediaElement.prototype.play;
  HTMLMediaElement.prototype.play = function (...args) {
    if (!t.media.includes(this)) t.media.push(this);
    return play.apply(this, args);
  };
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...args) {
    const result = put.apply(this, args);
    t.first_frame_at ??= performance.now();
    if (t.frames_drawn++ === t.readback_frame) {
      t.readback = this.getImageData(0, 0, this.canvas.width, this.canvas.height).data;
    }
    return result;
  };
  for (const name of ['AudioContext', 'webkitAudioContext']) {
    const Base = window[name];
    if (typeof Base !== 'function') continue;
    window[name] = class extends Base {
      constructor(...args) { super(...args); t.audio_contexts.push(this); }
    };
  }
})();`;

export class Page {
  constructor(browser, page) {
    this.browser = browser;
    this.page = page;
    // Everything the page reports as an error: console.error, uncaught exceptions, failed loads.
    this.errors = [];
    this.console = [];
    page.on('console', (message) => {
      const type = message.type();
      const text = message.text();
      this.console.push(`${type}: ${text}`);
      if (type === 'error' || type === 'assert') {
        // A failed load's message names its address only in its location.
        const where = message.location()?.url ?? '';
        this.errors.push(`console.${type}: ${text}${where && !text.includes(where) ? ` ${where}` : ''}`);
      }
    });
    page.on('pageerror', (error) => this.errors.push(`exception: ${error.stack ?? error.message ?? error}`));
  }

  // Runs source in every document this page loads from now on, before the page's own scripts.
  before_load(source) {
    return this.page.evaluateOnNewDocument(source);
  }

  // Loads url and waits for its load event.
  async goto(url) {
    await this.page.goto(url, { waitUntil: 'load', timeout: 60_000 });
  }

  // The value of a JavaScript expression in the page (awaited when it is a promise).
  async eval(expression) {
    try {
      return await this.page.evaluate(expression);
    } catch (error) {
      throw new Error(`in the page: ${error.name}: ${error.message}`);
    }
  }

  // Polls expression until it gives a truthy value, which it returns; fails after seconds with what.
  async wait_for(expression, seconds, what) {
    const deadline = Date.now() + seconds * 1000;
    for (;;) {
      // A page stuck in a long task never answers: give up at the deadline all the same.
      let timer;
      const late = new Promise((resolve, reject) => {
        timer = setTimeout(() => reject(new Error(`timed out after ${seconds} s waiting for ${what} (the page does not answer)`)),
          Math.max(0, deadline - Date.now()) + 1000);
      });
      const value = await Promise.race([this.eval(expression), late]).finally(() => clearTimeout(timer));
      if (value) return value;
      if (Date.now() > deadline) throw new Error(`timed out after ${seconds} s waiting for ${what}`);
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
  }

  click(x, y) {
    return this.page.mouse.click(x, y);
  }

  // A key by its name ('Escape', 'ArrowRight'), pressed and released.
  press(key) {
    return this.page.keyboard.press(key);
  }

  // Text typed into the focused element, a key for each character.
  type(text) {
    return this.page.keyboard.type(text);
  }

  // Gives the page's file input (the first matching selector) these files, as a person choosing them.
  async set_files(selector, files) {
    const input = await this.page.$(selector);
    if (!input) throw new Error(`no ${selector} in the page`);
    await input.uploadFile(...files);
    await input.dispose();
  }

  // Chromium's DevTools command method with params, for what no engine-neutral call reads (the
  // page's installability).
  async devtools(method, params = {}) {
    const session = await this.page.createCDPSession();
    try {
      return await session.send(method, params);
    } finally {
      await session.detach();
    }
  }

  // The page as on a phone's screen of width x height CSS pixels, touch its input.
  phone(width, height) {
    return this.page.setViewport({ width, height, deviceScaleFactor: 3, isMobile: true, hasTouch: true });
  }

  // A finger put down at from ({ x, y }, in the viewport's CSS pixels), moved to to in steps and lifted.
  async touch_drag(from, to, steps = 10) {
    const touch = this.page.touchscreen;
    await touch.touchStart(from.x, from.y);
    for (let step = 1; step <= steps; step++) {
      await touch.touchMove(from.x + (to.x - from.x) * step / steps, from.y + (to.y - from.y) * step / steps);
    }
    await touch.touchEnd();
  }

  // Calls listener(url) for every request the page makes from now on.
  on_request(listener) {
    this.page.on('request', (request) => listener(request.url()));
  }
}

// Runs one scenario of a browser test and ends the process with its status: site served on
// 127.0.0.1, a fresh browser and page, scenario({ page, url, work, browser }) awaited, then the
// browser, the server and the work folder gone, also when stopped from outside (CTest's timeout,
// Ctrl-C) so that no browser is left running. A failure prints "FAIL name: message", status 1;
// an engine that cannot run here skips (status 77), saying why.
export async function run_scenario(name, site, work, scenario) {
  const missing = engine_missing();
  if (missing) {
    fs.rmSync(work, { recursive: true, force: true });
    console.log(`SKIPPED: ${missing}`);
    process.exit(77);
  }
  const server = await serve(site);
  const browser = await Browser.launch();
  for (const [signal, code] of [['SIGINT', 130], ['SIGTERM', 143]]) {
    process.on(signal, () => {
      browser.kill();
      fs.rmSync(work, { recursive: true, force: true });
      process.exit(code);
    });
  }
  let status = 0;
  try {
    const page = await browser.new_page();
    await scenario({ page, url: server.url, work, browser });
  } catch (error) {
    console.error(`FAIL ${name} (${k_engine}): ${error.message}`);
    status = 1;
  } finally {
    await browser.close();
    await server.close();
    fs.rmSync(work, { recursive: true, force: true });
  }
  process.exit(status);
}
