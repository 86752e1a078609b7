// The maker's pictures fitted in workers (picture_fitter.js, beside the page as maker_fitter.js), as
// many at once as the machine has cores, so that twelve photos take the time of a few; and no more
// at once than the decoded pixels' budget allows, so that large photos do not add up to more memory
// than the tab can have. The workers start with the page (start()), so that fitting asks nothing of
// the server, and drop their buffers once there is nothing to fit.
import { PictureRefused, upright_size } from './picture_fit.js';
import { load_shrink } from './resample.mjs';

// The memory the pictures being fitted may hold together; a picture larger than this is fitted
// alone.
const k_budget_bytes = 192 * 2 ** 20;
// What fitting holds at most for each decoded pixel (measured in Chromium): the decoder's frame,
// the pixels copied out of it (or the canvas they are drawn on and read back from), 4 bytes each,
// the resampling's floats and what the engine keeps besides.
const k_bytes_per_pixel = 24;
// Workers idle this long drop their buffers.
const k_idle_ms = 1000;

export class FitPool {
  constructor(url = new URL('maker_fitter.js', document.baseURI), size = navigator.hardwareConcurrency || 2) {
    this.url = url;
    this.size = Math.max(1, size);
    this.queue = [];        // jobs not started, in the order asked
    this.idle = [];         // workers waiting for a job
    this.busy = new Map();  // worker -> its job
    this.in_flight = 0;     // the bytes the started jobs hold
    this.next_id = 1;
    this.idle_timer = null;
    // Where WebCodecs decodes, a JPEG is decoded only as large as it is needed; elsewhere whole.
    this.scaled_decode = typeof ImageDecoder === 'function';
  }

  // Starts the workers, which wait for pictures; resolves once each has loaded its script.
  start() {
    const started = [];
    while (this.idle.length + this.busy.size < this.size) {
      const worker = this.#start_worker();
      started.push(new Promise((resolve, reject) => { worker.started = { resolve, reject }; }));
      this.idle.push(worker);
    }
    return Promise.all(started);
  }

  // file (a File or Blob; picture: check_picture's answer about it) fitted to width x height:
  // resolves to RGB bytes, or rejects with PictureRefused when the browser cannot decode it.
  fit(file, picture, width, height, fit) {
    return new Promise((resolve, reject) => {
      const job = { id: this.next_id++, message: { file, picture, width, height, fit }, resolve, reject };
      job.bytes = this.#cost(file, picture, width, height, fit);
      this.queue.push(job);
      this.#pump();
    });
  }

  // The bytes a job holds at most: its file's (the decoder keeps them) and its decoded pixels'.
  #cost(file, picture, width, height, fit) {
    const upright = upright_size(picture);
    const shrink = picture.format === 'JPEG' && this.scaled_decode ?
      load_shrink(upright.width, upright.height, width, height, fit) : 1;
    return file.size + Math.ceil(upright.width / shrink) * Math.ceil(upright.height / shrink) * k_bytes_per_pixel;
  }

  // Starts the jobs at the queue's head while there are workers for them and the budget allows.
  #pump() {
    clearTimeout(this.idle_timer);
    while (this.queue.length > 0 && (this.idle.length > 0 || this.busy.size < this.size)) {
      const job = this.queue[0];
      if (this.busy.size > 0 && this.in_flight + job.bytes > k_budget_bytes) break;
      this.queue.shift();
      const worker = this.idle.pop() ?? this.#start_worker();
      this.busy.set(worker, job);
      this.in_flight += job.bytes;
      worker.postMessage({ id: job.id, ...job.message });
    }
    if (this.busy.size === 0 && this.queue.length === 0) {
      this.idle_timer = setTimeout(() => { for (const worker of this.idle) worker.postMessage({ rest: true }); }, k_idle_ms);
    }
  }

  #start_worker() {
    const worker = new Worker(this.url);
    worker.onmessage = ({ data }) => {
      if (data.ready) {
        worker.started?.resolve();
        return;
      }
      const job = this.busy.get(worker);
      if (!job || data.id !== job.id) return;
      this.#finish(worker, job);
      this.idle.push(worker);
      // A decoder that resamples: JPEGs decoded whole (picture_fit.js), their memory counted so.
      if (data.resamples) this.scaled_decode = false;
      if (data.rgb) job.resolve(data.rgb);
      else if (data.refusal !== undefined) job.reject(new PictureRefused(data.refusal));
      else job.reject(new Error(data.error));
      this.#pump();
    };
    // A script that cannot be fetched or run fails its job, naming the file; the worker is dropped.
    worker.onerror = (event) => {
      event.preventDefault();
      const job = this.busy.get(worker);
      worker.terminate();
      this.idle = this.idle.filter((other) => other !== worker);
      worker.started?.reject(new Error(`the maker's picture fitter (${this.url.pathname.split('/').pop()}) could not start` +
        (event.message ? `: ${event.message}` : '')));
      if (job) {
        this.#finish(worker, job);
        job.reject(new Error(`the maker's picture fitter (${this.url.pathname.split('/').pop()}) failed` +
          (event.message ? `: ${event.message}` : '')));
      }
      this.#pump();
    };
    return worker;
  }

  #finish(worker, job) {
    this.busy.delete(worker);
    this.in_flight -= job.bytes;
  }
}
