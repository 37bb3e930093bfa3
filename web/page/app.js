// The live page: frames from the camera (getUserMedia), the demo clip, or a
// dropped video or picture, tracked one at a time in a worker; each tracked
// frame is drawn with its overlay, so that the overlay always fits the
// picture it was found in. window.markeyeStats holds what the page measured
// (tests and benchmarks read it).

import { drawOverlay } from './overlay.js';
import { Y4mPlayer } from './y4m-player.js';

const params = new URLSearchParams(location.search);
const view = document.getElementById('view');
const viewContext = view.getContext('2d');
const grab = document.createElement('canvas');
const grabContext = grab.getContext('2d', { willReadFrequently: true });
const statsText = document.getElementById('stats');
const statusText = document.getElementById('status');

// Frames kept in markeyeStats.recent, and the window of the fps figure.
const RECENT_FRAMES = 120;
const FPS_WINDOW_MS = 1000;

const stats = {
  ready: false,
  source: null,
  worker: false,
  frames: 0,
  fps: 0,
  trackMs: null,
  medianTrackMs: null,
  patterns: [],
  recent: [],
  error: null,
};
window.markeyeStats = stats;

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

function showError(message) {
  stats.error = message;
  statusText.textContent = message;
}

// ---- tracking: in a module worker, or in this thread when none starts ----

class WorkerEngine {
  static start() {
    const worker = new Worker(new URL('./tracker-worker.js', import.meta.url), { type: 'module' });
    return new Promise((resolve, reject) => {
      worker.onerror = (event) => reject(new Error(event.message || 'the tracking worker did not start'));
      worker.onmessage = ({ data }) => {
        if (data.type === 'ready') {
          resolve(new WorkerEngine(worker, data));
        } else if (data.type === 'error') {
          reject(new Error(data.message));
        }
      };
      worker.postMessage({ type: 'start' });
    });
  }

  constructor(worker, ready) {
    this.worker = worker;
    this.markerWidth = ready.markerWidth;
    this.patterns = ready.patterns;
    this._pending = null;
    worker.onmessage = ({ data }) => this._receive(data);
  }

  _receive(data) {
    const pending = this._pending;
    this._pending = null;
    if (data.type === 'error') {
      pending?.reject(Object.assign(new Error(data.message), { buffer: data.buffer }));
    } else {
      pending?.resolve(data);
    }
  }

  _call(message, transfer = []) {
    return new Promise((resolve, reject) => {
      this._pending = { resolve, reject };
      this.worker.postMessage(message, transfer);
    });
  }

  async track(image) {
    const { buffer } = image.data;
    const result = await this._call({ type: 'track', buffer, width: image.width, height: image.height }, [buffer]);
    return { ...result, image: new ImageData(new Uint8ClampedArray(result.buffer), result.width, result.height) };
  }

  async addPattern(name, image) {
    return (await this._call({ type: 'addPattern', name, image })).patterns;
  }
}

class InlineEngine {
  static async start() {
    const { createSession } = await import('./tracking.js');
    return new InlineEngine(await createSession());
  }

  constructor(session) {
    this.session = session;
    this.markerWidth = session.markerWidth;
    this.patterns = session.patternNames();
  }

  async track(image) {
    return { ...this.session.track(image), image };
  }

  async addPattern(name, image) {
    return this.session.addPattern(name, image);
  }
}

// ---- frame sources: each gives its newest frame as ImageData, or null ----

class VideoSource {
  constructor(video, label) {
    this.video = video;
    this.label = label;
    this._fresh = true;
    this._lastTime = -1;
    if (video.requestVideoFrameCallback) {
      const onFrame = () => {
        this._fresh = true;
        video.requestVideoFrameCallback(onFrame);
      };
      video.requestVideoFrameCallback(onFrame);
    }
  }

  nextFrame() {
    const { video } = this;
    if (video.readyState < 2 || video.videoWidth === 0) {
      return null;
    }
    const fresh = video.requestVideoFrameCallback ? this._fresh : video.currentTime !== this._lastTime;
    if (!fresh) {
      return null;
    }
    this._fresh = false;
    this._lastTime = video.currentTime;
    return grabFrame(video, video.videoWidth, video.videoHeight);
  }

  stop() {
    this.video.srcObject?.getTracks().forEach((track) => track.stop());
    this.video.pause();
  }
}

class PictureSource {
  constructor(bitmap, label) {
    this.bitmap = bitmap;
    this.label = label;
  }

  // A still picture is tracked again at every display frame.
  nextFrame() {
    return grabFrame(this.bitmap, this.bitmap.width, this.bitmap.height);
  }

  stop() {}
}

function grabFrame(drawable, width, height) {
  if (grab.width !== width || grab.height !== height) {
    grab.width = width;
    grab.height = height;
  }
  grabContext.drawImage(drawable, 0, 0, width, height);
  return grabContext.getImageData(0, 0, width, height);
}

async function playVideo(setUp, label) {
  const video = document.createElement('video');
  video.muted = true;
  video.playsInline = true;
  video.loop = true;
  setUp(video);
  await video.play();
  return new VideoSource(video, label);
}

async function cameraSource() {
  if (!navigator.mediaDevices?.getUserMedia) {
    throw new Error('no camera access in this browser');
  }
  const stream = await navigator.mediaDevices.getUserMedia({
    video: { width: { ideal: 640 }, height: { ideal: 480 }, facingMode: 'environment' },
    audio: false,
  });
  return playVideo((video) => { video.srcObject = stream; }, 'camera');
}

async function fileSource(file) {
  if (file.type.startsWith('video/')) {
    return playVideo((video) => { video.src = URL.createObjectURL(file); }, file.name);
  }
  return new PictureSource(await createImageBitmap(file), file.name);
}

// ---- the loop ----

let engine = null;
let source = null;
let busy = false;
let frameTimes = [];

function report(result, now) {
  stats.frames++;
  stats.trackMs = result.trackMs;
  frameTimes.push(now);
  frameTimes = frameTimes.filter((t) => now - t <= FPS_WINDOW_MS);
  stats.fps = frameTimes.length > 1 ? ((frameTimes.length - 1) * 1000) / (now - frameTimes[0]) : 0;
  stats.recent.push({
    index: stats.frames - 1,
    time: now,
    width: result.width ?? result.image.width,
    height: result.height ?? result.image.height,
    trackMs: result.trackMs,
    detections: result.detections.map(({ modelView, ...d }) => ({ ...d, modelView: Array.from(modelView) })),
  });
  if (stats.recent.length > RECENT_FRAMES) {
    stats.recent.shift();
  }
  stats.medianTrackMs = median(stats.recent.map((r) => r.trackMs));
  statsText.textContent = `${source.label} ${result.image.width} x ${result.image.height} · ` +
    `${stats.fps.toFixed(1)} fps · tracking ${result.trackMs.toFixed(2)} ms ` +
    `(median ${stats.medianTrackMs.toFixed(2)} ms) · ${result.detections.length} found`;
}

function draw(result) {
  const { image } = result;
  if (view.width !== image.width || view.height !== image.height) {
    view.width = image.width;
    view.height = image.height;
  }
  viewContext.putImageData(image, 0, 0);
  drawOverlay(viewContext, result.detections, result.projection, engine.markerWidth);
}

async function trackNext() {
  const image = source?.nextFrame();
  if (!image) {
    return;
  }
  busy = true;
  try {
    const result = await engine.track(image);
    draw(result);
    report(result, performance.now());
  } catch (error) {
    showError(error.message);
  } finally {
    busy = false;
  }
}

function loop() {
  if (!busy && engine) {
    trackNext();
  }
  requestAnimationFrame(loop);
}

async function useSource(next) {
  source?.stop();
  source = next;
  stats.source = next.label;
  stats.recent = [];
  frameTimes = [];
  statusText.textContent = `tracking ${next.label}`;
}

async function startDemo() {
  await useSource(await Y4mPlayer.load('demo.y4m.gz'));
}

// ---- the page's controls ----

function wireControls() {
  document.getElementById('use-camera').onclick = () => cameraSource().then(useSource, (e) => showError(e.message));
  document.getElementById('use-demo').onclick = () => startDemo().catch((e) => showError(e.message));
  document.getElementById('open-file').onchange = (event) => {
    const [file] = event.target.files;
    if (file) {
      fileSource(file).then(useSource, (e) => showError(e.message));
    }
  };
  document.body.ondragover = (event) => event.preventDefault();
  document.body.ondrop = (event) => {
    event.preventDefault();
    const [file] = event.dataTransfer.files;
    if (file) {
      fileSource(file).then(useSource, (e) => showError(e.message));
    }
  };
  document.getElementById('pattern-file').onchange = async (event) => {
    const [file] = event.target.files;
    if (file) {
      await addPicturePattern(file, document.getElementById('with-border').checked).catch((e) => showError(e.message));
    }
  };
}

// A marker's picture as the tracker wants it: upright, its central picture
// only; a whole marker's black border (a quarter of its side all round) is
// cut away first.
async function addPicturePattern(file, withBorder) {
  const bitmap = await createImageBitmap(file);
  const inset = withBorder ? 0.25 : 0;
  const [x, y] = [Math.round(bitmap.width * inset), Math.round(bitmap.height * inset)];
  const [w, h] = [bitmap.width - 2 * x, bitmap.height - 2 * y];
  const canvas = document.createElement('canvas');
  [canvas.width, canvas.height] = [w, h];
  const context = canvas.getContext('2d');
  context.drawImage(bitmap, x, y, w, h, 0, 0, w, h);
  const pixels = context.getImageData(0, 0, w, h);
  const name = file.name.replace(/\.[^.]*$/, '');
  stats.patterns = await engine.addPattern(name, { data: pixels.data, width: w, height: h });
  showPatterns();
}

function showPatterns() {
  document.getElementById('patterns').textContent = `patterns: ${stats.patterns.join(', ')}`;
}

async function main() {
  wireControls();
  try {
    engine = params.get('worker') === '0' ? await InlineEngine.start() :
      await WorkerEngine.start().catch(() => InlineEngine.start());
  } catch (error) {
    showError(`the tracker did not load: ${error.message}`);
    return;
  }
  stats.worker = engine instanceof WorkerEngine;
  stats.patterns = engine.patterns;
  showPatterns();
  stats.ready = true;
  try {
    if (params.get('source') === 'demo') {
      throw new Error('demo clip asked for');
    }
    await useSource(await cameraSource());
  } catch (error) {
    statusText.textContent = `no camera (${error.message}): playing the demo clip`;
    await startDemo().catch((e) => showError(`no camera, and the demo clip did not load: ${e.message}`));
  }
  requestAnimationFrame(loop);
}

main();
