// Headless Chromium driven over the DevTools protocol through --remote-debugging-pipe: no
// dependency to pin or download, and no port for another process to reach. The browser reads
// commands on its fd 3 and writes replies and events on fd 4, each message JSON ended by a NUL.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { serve } from './serve.mjs';

// Without the background-networking flags Chromium keeps opening connections that a closed
// network refuses; srgb keeps getImageData and screenshots exact.
const k_flags = [
  '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--autoplay-policy=no-user-gesture-required', '--force-color-profile=srgb',
  '--disable-default-apps', '--disable-extensions', '--mute-audio',
  // A hidden or occluded page would have its animation frames throttled in live mode.
  '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
  '--disable-backgrounding-occluded-windows', '--window-size=800,600',
];

export const k_chromium = process.env.CHROMIUM ?? '/usr/bin/chromium';

export class Browser {
  // Starts the browser with a fresh profile; close() stops it and removes the profile.
  static async launch() {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorastik-chromium-'));
    const child = spawn(k_chromium, [...k_flags, `--user-data-dir=${profile}`, '--remote-debugging-pipe', 'about:blank'],
      // A process group of its own, so that an interrupted run can end every process it started.
      { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'], detached: true });
    const browser = new Browser(child, profile);
    await browser.send('Target.setDiscoverTargets', { discover: true });
    return browser;
  }

  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.next_id = 1;
    this.pending = new Map();
    this.listeners = new Set();
    this.stderr = '';
    this.exited = false;
    let buffer = Buffer.alloc(0);
    child.stdio[4].on('data', (chunk) => {
      buffer = Buffer.concat([buffer, chunk]);
      let end;
      while ((end = buffer.indexOf(0)) >= 0) {
        const message = JSON.parse(buffer.subarray(0, end).toString('utf8'));
        buffer = buffer.subarray(end + 1);
        this.#dispatch(message);
      }
    });
    child.stderr.on('data', (chunk) => { this.stderr = (this.stderr + chunk).slice(-4000); });
    child.on('exit', (code, signal) => {
      this.exited = true;
      const error = new Error(`chromium ended (${signal ?? code}): ${this.stderr.trim().split('\n').slice(-5).join(' | ')}`);
      for (const { reject } of this.pending.values()) reject(error);
      this.pending.clear();
    });
    child.stdio[3].on('error', () => {});
  }

  #dispatch(message) {
    if (message.id !== undefined) {
      const waiter = this.pending.get(message.id);
      if (!waiter) return;
      this.pending.delete(message.id);
      if (message.error) waiter.reject(new Error(`${waiter.method}: ${message.error.message} ${message.error.data ?? ''}`));
      else waiter.resolve(message.result);
      return;
    }
    for (const listener of this.listeners) listener(message);
  }

  // Sends one command, to the browser or (with session) to one page; resolves to its result.
  send(method, params = {}, session = undefined) {
    if (this.exited) return Promise.reject(new Error(`chromium has ended; cannot send ${method}`));
    const id = this.next_id++;
    const message = { id, method, params };
    if (session) message.sessionId = session;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject, method });
      this.child.stdio[3].write(JSON.stringify(message) + '\0');
    });
  }

  // Calls listener(message) for every event until the returned function is called.
  on_event(listener) {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }

  async new_page() {
    const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
    const page = new Page(this, sessionId);
    await page.start();
    return page;
  }

  // The ids of the browser and every process it started (renderers, GPU, utilities).
  process_ids() {
    const all = [];
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
    const queue = [this.child.pid];
    while (queue.length) {
      const pid = queue.pop();
      all.push(pid);
      queue.push(...(children.get(pid) ?? []));
    }
    return all;
  }

  // The proportional set size of the browser's processes together, in bytes: each shared page
  // counted once in all, so that a sum over processes means what it says.
  memory_bytes() {
    let kilobytes = 0;
    for (const pid of this.process_ids()) {
      try {
        const match = /^Pss:\s+(\d+) kB$/m.exec(fs.readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8'));
        if (match) kilobytes += Number(match[1]);
      } catch { /* gone meanwhile */ }
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

  // For an interrupted run: ends the browser and its processes at once, then removes the profile.
  async kill() {
    if (!this.exited) {
      const ended = new Promise((resolve) => this.child.once('exit', resolve));
      try { process.kill(-this.child.pid, 'SIGKILL'); } catch { /* already gone */ }
      await ended;
    }
    fs.rmSync(this.profile, { recursive: true, force: true, maxRetries: 5 });
  }

  async close() {
    if (!this.exited) {
      const ended = new Promise((resolve) => this.child.once('exit', resolve));
      this.send('Browser.close').catch(() => {});
      const timer = setTimeout(() => { try { process.kill(-this.child.pid, 'SIGKILL'); } catch { /* gone */ } }, 5000);
      await ended;
      clearTimeout(timer);
    }
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
  constructor(browser, session) {
    this.browser = browser;
    this.session = session;
    // Everything the page reports as an error: console.error, uncaught exceptions, failed loads.
    this.errors = [];
    this.console = [];
    browser.on_event((message) => {
      if (message.sessionId !== session) return;
      const { method, params } = message;
      if (method === 'Runtime.consoleAPICalled') {
        const text = params.args.map((a) => a.value ?? a.description ?? '').join(' ');
        this.console.push(`${params.type}: ${text}`);
        if (params.type === 'error' || params.type === 'assert') this.errors.push(`console.${params.type}: ${text}`);
      } else if (method === 'Runtime.exceptionThrown') {
        const d = params.exceptionDetails;
        this.errors.push(`exception: ${d.exception?.description ?? d.text} at ${d.url ?? ''}:${d.lineNumber}`);
      } else if (method === 'Log.entryAdded' && params.entry.level === 'error') {
        this.errors.push(`log: ${params.entry.text} ${params.entry.url ?? ''}`.trim());
      }
    });
  }

  async start() {
    await this.send('Page.enable');
    await this.send('Runtime.enable');
    await this.send('Log.enable');
    await this.send('Page.addScriptToEvaluateOnNewDocument', { source: k_instrumentation });
  }

  send(method, params = {}) {
    return this.browser.send(method, params, this.session);
  }

  // Runs source in every document this page loads from now on, before the page's own scripts.
  before_load(source) {
    return this.send('Page.addScriptToEvaluateOnNewDocument', { source });
  }

  // Loads url and waits for its load event.
  async goto(url) {
    const loaded = new Promise((resolve) => {
      const stop = this.browser.on_event((m) => {
        if (m.sessionId === this.session && m.method === 'Page.loadEventFired') { stop(); resolve(); }
      });
    });
    const result = await this.send('Page.navigate', { url });
    if (result.errorText) throw new Error(`cannot load ${url}: ${result.errorText}`);
    await loaded;
  }

  // The value of a JavaScript expression in the page (awaited when it is a promise).
  async eval(expression) {
    const result = await this.send('Runtime.evaluate', { expression, returnByValue: true, awaitPromise: true });
    if (result.exceptionDetails) {
      throw new Error(`in the page: ${result.exceptionDetails.exception?.description ?? result.exceptionDetails.text}`);
    }
    return result.result.value;
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

  async click(x, y) {
    for (const type of ['mouseMoved', 'mousePressed', 'mouseReleased']) {
      await this.send('Input.dispatchMouseEvent', { type, x, y, button: 'left', clickCount: 1 });
    }
  }

  async press(key, code, key_code) {
    const common = { key, code, windowsVirtualKeyCode: key_code, nativeVirtualKeyCode: key_code };
    await this.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', ...common });
    await this.send('Input.dispatchKeyEvent', { type: 'keyUp', ...common });
  }
}

// Runs one scenario of a browser test and ends the process with its status: site served on
// 127.0.0.1, a fresh browser and page, scenario({ page, url, work, browser }) awaited, then the
// browser, the server and the work folder gone, also when stopped from outside (CTest's timeout,
// Ctrl-C) so that no browser is left running. A failure prints "FAIL name: message", status 1.
export async function run_scenario(name, site, work, scenario) {
  const server = await serve(site);
  const browser = await Browser.launch();
  for (const [signal, code] of [['SIGINT', 130], ['SIGTERM', 143]]) {
    process.on(signal, async () => {
      await browser.kill();
      fs.rmSync(work, { recursive: true, force: true });
      process.exit(code);
    });
  }
  let status = 0;
  try {
    const page = await browser.new_page();
    await scenario({ page, url: server.url, work, browser });
  } catch (error) {
    console.error(`FAIL ${name}: ${error.message}`);
    status = 1;
  } finally {
    await browser.close();
    await server.close();
    fs.rmSync(work, { recursive: true, force: true });
  }
  process.exit(status);
}
