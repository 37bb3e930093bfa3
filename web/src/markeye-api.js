// markeye.mjs's public side: loadMarkeye() and the Tracker class over the
// compiled library (createMarkeyeWasm, defined just above this file in the
// built module). See docs/web.md for the API and its conventions.

// Numbers in the module's record of one detection (WebTracker.h).
const DETECTION_VALUES = 26;
const TRACKER_KEYS = new Set(['camera', 'patterns']);
const OPTION_TYPES = {
  markerWidth: 'number',
  minConfidence: 'number',
  minMargin: 'number',
  binarisation: ['tile', 'fixed'],
  threshold: 'integer',
  subpixelEdges: 'boolean',
  poseSolver: ['planar', 'plugin'],
  pluginCompatible: 'boolean',
  temporal: 'temporal',
};
// The fields of the temporal option, as TemporalOptions in C++.
const TEMPORAL_TYPES = {
  enabled: 'boolean',
  filter: 'boolean',
  minCutoffHz: 'number',
  rotationBeta: 'number',
  translationBeta: 'number',
  depthBeta: 'number',
  derivativeCutoffHz: 'number',
  maxLostFrames: 'integer',
  frameRate: 'number',
};

/** Every refusal of the library (a bad camera file, pattern, option or
 * frame); its message is the library's one line naming the fault. */
export class MarkeyeError extends Error {
  constructor(message) {
    super(message);
    this.name = 'MarkeyeError';
  }
}

function isNode() {
  return typeof process === 'object' && typeof process.versions === 'object' &&
      typeof process.versions.node === 'string';
}

// The compiled module: given, or read beside this file (from disk under
// Node, where the loader's own fetch of a file URL fails).
async function compileWasm(options) {
  if (options.wasmModule instanceof WebAssembly.Module) {
    return options.wasmModule;
  }
  if (options.wasmBinary) {
    return WebAssembly.compile(options.wasmBinary);
  }
  const url = options.wasmUrl ? new URL(options.wasmUrl, import.meta.url) : new URL('markeye.wasm', import.meta.url);
  if (url.protocol === 'file:' && isNode()) {
    const { readFile } = await import('node:fs/promises');
    return WebAssembly.compile(await readFile(url));
  }
  const response = fetch(url, { credentials: 'same-origin' });
  if (WebAssembly.compileStreaming) {
    try {
      return await WebAssembly.compileStreaming(response);
    } catch (error) {
      // A server that does not say application/wasm: compile the bytes.
    }
  }
  const answer = await response;
  if (!answer.ok) {
    throw new Error(`markeye: cannot load ${url}: ${answer.status} ${answer.statusText}`);
  }
  return WebAssembly.compile(await answer.arrayBuffer());
}

async function instantiate(options) {
  const wasmModule = await compileWasm(options);
  let failed;
  const failure = new Promise((_, reject) => { failed = reject; });
  const ready = createMarkeyeWasm({
    instantiateWasm(imports, receiveInstance) {
      WebAssembly.instantiate(wasmModule, imports).then((instance) => receiveInstance(instance, wasmModule), failed);
      return {};
    },
    print: () => {},
    printErr: () => {},
  });
  return Promise.race([ready, failure]);
}

function checkValue(name, type, value) {
  const good = Array.isArray(type) ? type.includes(value) :
    type === 'integer' ? Number.isInteger(value) : typeof value === type;
  if (!good) {
    const wanted = Array.isArray(type) ? type.map((t) => `"${t}"`).join(' or ') : `a ${type}`;
    throw new TypeError(`markeye: tracker option ${name} must be ${wanted}, not ${JSON.stringify(value)}`);
  }
}

// temporal: true or false, or an object of TEMPORAL_TYPES' fields.
function checkTemporal(value) {
  if (typeof value === 'boolean') {
    return;
  }
  if (!value || typeof value !== 'object' || Array.isArray(value)) {
    throw new TypeError(`markeye: tracker option temporal must be a boolean or an object, not ${JSON.stringify(value)}`);
  }
  for (const [key, field] of Object.entries(value)) {
    const type = TEMPORAL_TYPES[key];
    if (type === undefined) {
      throw new TypeError(`markeye: unknown field "${key}" of tracker option temporal (there are ` +
          `${Object.keys(TEMPORAL_TYPES).join(', ')})`);
    }
    checkValue(`temporal.${key}`, type, field);
  }
}

function checkOptions(options) {
  for (const [key, value] of Object.entries(options)) {
    const type = OPTION_TYPES[key];
    if (type === undefined) {
      throw new TypeError(`markeye: unknown tracker option "${key}" (there are camera, patterns, ` +
          `${Object.keys(OPTION_TYPES).join(', ')})`);
    }
    if (type === 'temporal') {
      checkTemporal(value);
    } else {
      checkValue(key, type, value);
    }
  }
}

// The temporal option in full: a boolean turns it on or off with the
// defaults; an object turns it on unless it says enabled: false, its other
// fields keeping their defaults.
function temporalOf(value, defaults) {
  if (value === undefined) {
    return defaults;
  }
  return typeof value === 'boolean' ? { ...defaults, enabled: value } : { ...defaults, enabled: true, ...value };
}

// Pixels of an ImageData or { data, width, height } (RGBA bytes, packed rows).
function pixelsOf(image, what) {
  if (!image || typeof image !== 'object') {
    throw new TypeError(`markeye: ${what} must be an ImageData or { data, width, height }`);
  }
  const { data, width, height } = image;
  if (!Number.isInteger(width) || !Number.isInteger(height) || width <= 0 || height <= 0) {
    throw new TypeError(`markeye: ${what} needs a positive integer width and height`);
  }
  if (!(data instanceof Uint8ClampedArray || data instanceof Uint8Array)) {
    throw new TypeError(`markeye: ${what}.data must be a Uint8ClampedArray or Uint8Array of RGBA bytes`);
  }
  const size = 4 * width * height;
  if (data.length < size) {
    throw new TypeError(`markeye: ${what}.data holds ${data.length} bytes, ${width} x ${height} RGBA needs ${size}`);
  }
  return { data: data.length === size ? data : data.subarray(0, size), width, height };
}

function bytesOf(value) {
  if (value instanceof ArrayBuffer) {
    return new Uint8Array(value);
  }
  if (ArrayBuffer.isView(value)) {
    return new Uint8Array(value.buffer, value.byteOffset, value.byteLength);
  }
  return null;
}

function isPicture(value) {
  return value && typeof value === 'object' && 'data' in value && 'width' in value && 'height' in value;
}

// The OpenGL modelview of a pose: the library's camera frame (x right, y
// down, z forward) turned to OpenGL's (y up, looking down -z), that is rows
// 1 and 2 of [R | t] negated; column-major.
function modelViewOf(values, at) {
  const r = (row, column) => values[at + 11 + 3 * row + column];
  const t = (row) => values[at + 20 + row];
  return new Float32Array([
    r(0, 0), -r(1, 0), -r(2, 0), 0,
    r(0, 1), -r(1, 1), -r(2, 1), 0,
    r(0, 2), -r(1, 2), -r(2, 2), 0,
    t(0), -t(1), -t(2), 1,
  ]);
}

function makeApi(wasm) {
  if (wasm.DETECTION_VALUES !== DETECTION_VALUES) {
    throw new Error('markeye: markeye.mjs and markeye.wasm are of different builds');
  }
  const defaults = wasm.defaultOptions();
  Object.freeze(defaults.temporal);
  Object.freeze(defaults);
  const builtinPatternNames = Object.freeze(wasm.builtinNames());

  function check(native, succeeded) {
    if (!succeeded) {
      throw new MarkeyeError(native.lastError());
    }
  }

  function addPattern(native, item, index) {
    const named = item && typeof item === 'object' && !isPicture(item) && !bytesOf(item);
    const given = named && item.name !== undefined ? String(item.name) : null;
    const grid = named && item.grid !== undefined ? item.grid : 0;
    const [gridWidth, gridHeight] = Array.isArray(grid) ? grid : [grid, grid];
    if (!Number.isInteger(gridWidth) || !Number.isInteger(gridHeight)) {
      throw new TypeError(`markeye: patterns[${index}].grid must be an integer or [width, height]`);
    }
    const source = named ? (item.text ?? item.bytes ?? item.image) : item;
    if (named && item.builtin !== undefined) {
      check(native, native.addBuiltinPattern(String(item.builtin)));
    } else if (typeof source === 'string') {
      check(native, native.addPatternText(source, given ?? `pattern ${index}`, gridWidth, gridHeight));
    } else if (bytesOf(source)) {
      // Pattern files are ASCII numbers: one byte, one character.
      const text = new TextDecoder('latin1').decode(bytesOf(source));
      check(native, native.addPatternText(text, given ?? `pattern ${index}`, gridWidth, gridHeight));
    } else if (isPicture(source)) {
      const { data, width, height } = pixelsOf(source, `patterns[${index}]`);
      check(native, native.addPatternPicture(new Uint8Array(data.buffer, data.byteOffset, data.length), width,
          height, gridWidth, gridHeight, given ?? `picture ${index}`));
    } else {
      throw new TypeError(`markeye: patterns[${index}] must be a pattern file's text, its bytes ` +
          '(ArrayBuffer), a picture (ImageData), { name, text | bytes | image, grid } or { builtin }');
    }
  }

  function setCamera(native, camera) {
    if (camera === undefined || camera === null) {
      return;
    }
    const bytes = bytesOf(camera);
    if (bytes) {
      check(native, native.setCameraBytes(bytes));
      return;
    }
    if (typeof camera !== 'object') {
      throw new TypeError('markeye: camera must be a camera file\'s bytes (ArrayBuffer), ' +
          '{ width, height, fovDegrees } or { width, height, fx, fy, cx, cy }');
    }
    const { width, height, fovDegrees } = camera;
    if (!Number.isInteger(width) || !Number.isInteger(height)) {
      throw new TypeError('markeye: camera width and height must be integers');
    }
    if (camera.fx === undefined && !(fovDegrees > 0 && fovDegrees < 180)) {
      throw new RangeError(`markeye: camera fovDegrees must be between 0 and 180, not ${fovDegrees}`);
    }
    const fx = camera.fx ?? (width / 2) / Math.tan((fovDegrees * Math.PI) / 360);
    const fy = camera.fy ?? fx;
    const cx = camera.cx ?? width / 2;
    const cy = camera.cy ?? height / 2;
    check(native, native.setCameraIntrinsics(width, height, fx, fy, cx, cy));
  }

  /** Finds the markers of known patterns in RGBA frames; see docs/web.md. */
  class Tracker {
    #native;
    #names;
    #width = 0;
    #height = 0;
    #buffer = 0;

    constructor(settings = {}) {
      const options = {};
      for (const [key, value] of Object.entries(settings)) {
        if (!TRACKER_KEYS.has(key) && value !== undefined) {
          options[key] = value;
        }
      }
      checkOptions(options);
      const native = new wasm.WebTracker();
      try {
        setCamera(native, settings.camera);
        if (settings.patterns === undefined || settings.patterns === null) {
          check(native, native.addBuiltinPatterns());
        } else if (!Array.isArray(settings.patterns)) {
          throw new TypeError('markeye: patterns must be an array');
        } else {
          settings.patterns.forEach((item, index) => addPattern(native, item, index));
        }
        native.setOptions({ ...defaults, ...options, temporal: temporalOf(options.temporal, defaults.temporal) });
        check(native, native.build());
      } catch (error) {
        native.delete();
        throw error;
      }
      this.#native = native;
      this.#names = native.patterns().map((pattern) => pattern.name);
    }

    #alive() {
      if (!this.#native) {
        throw new MarkeyeError('tracker: used after delete()');
      }
      return this.#native;
    }

    /** The markers in an ImageData or { data, width, height } frame, shown
     * at time seconds (with temporal tracking; by default one period of
     * temporal.frameRate after the last frame, the first at 0). */
    track(image, time) {
      const native = this.#alive();
      if (time !== undefined && !Number.isFinite(time)) {
        throw new TypeError(`markeye: track's time must be a finite number of seconds, not ${JSON.stringify(time)}`);
      }
      const { data, width, height } = pixelsOf(image, 'frame');
      if (width !== this.#width || height !== this.#height) {
        this.#buffer = native.frameBuffer(width, height);
        this.#width = width;
        this.#height = height;
      }
      wasm.HEAPU8.set(data, this.#buffer);
      const count = native.track(width, height, time ?? NaN);
      check(native, count >= 0);
      const values = new Float64Array(wasm.HEAPU8.buffer, native.results(), count * DETECTION_VALUES);
      const found = [];
      for (let i = 0; i < count; i++) {
        const at = i * DETECTION_VALUES;
        const pattern = values[at];
        found.push({
          pattern,
          name: this.#names[pattern],
          confidence: values[at + 1],
          direction: values[at + 2],
          corners: [0, 1, 2, 3].map((k) => [values[at + 3 + 2 * k], values[at + 4 + 2 * k]]),
          rotation: Array.from(values.subarray(at + 11, at + 20)),
          translation: Array.from(values.subarray(at + 20, at + 23)),
          modelView: modelViewOf(values, at),
          reprojectionError: values[at + 23],
          poseAmbiguity: values[at + 24],
          trackId: values[at + 25],
        });
      }
      return found;
    }

    /** Temporal tracking forgets every marker: the next frame starts a new
     * sequence (after a seek, or a cut). Track numbers go on. */
    resetTracks() {
      const native = this.#alive();
      check(native, native.resetTracks());
    }

    /** Builds the buffers for frames of this size now, as the first such
     * frame would. */
    prepare(width, height) {
      const native = this.#alive();
      if (!Number.isInteger(width) || !Number.isInteger(height)) {
        throw new TypeError('markeye: prepare needs an integer width and height');
      }
      check(native, native.prepare(width, height));
    }

    /** The OpenGL projection (column-major Float32Array(16)) of the camera
     * of the last frame, mapping the modelview's eye frame to clip space so
     * that the viewport over the whole frame puts points on the frame's
     * pixels; near and far are distances along the optical axis in the unit
     * of markerWidth. */
    projection(near = 10, far = 10000) {
      if (!(near > 0) || !(far > near)) {
        throw new RangeError(`markeye: projection needs 0 < near < far, not ${near}, ${far}`);
      }
      const camera = this.camera;
      if (!camera) {
        throw new MarkeyeError('tracker: no camera yet (the built-in one is made for the first frame\'s size): ' +
            'track a frame first, or give a camera');
      }
      const { width, height } = camera;
      // Scaled so that the third row gives the depth along the optical axis.
      const p = camera.projection.map((value) => value / camera.projection[10]);
      // P of the OpenGL eye frame: columns 1 and 2 of P negated.
      const q = (row, column) => (column === 1 || column === 2 ? -1 : 1) * p[4 * row + column];
      // Pixel centres are integers: the frame spans -0.5 to width - 0.5.
      const sx = 2 / width;
      const sy = 2 / height;
      const m = new Float32Array(16);
      for (let c = 0; c < 4; c++) {
        m[4 * c] = sx * q(0, c) + (sx / 2 - 1) * q(2, c);
        m[4 * c + 1] = -sy * q(1, c) + (1 - sy / 2) * q(2, c);
        m[4 * c + 3] = q(2, c);
      }
      m[10] = -(far + near) / (far - near);
      m[14] = (-2 * far * near) / (far - near);
      return m;
    }

    /** The camera of the last frame (or the one given, before any frame):
     * { name, width, height, projection: 12 numbers row by row, distortion:
     * [centre x, centre y, coefficient, scale] }; null before the first
     * frame with the built-in camera. */
    get camera() {
      return this.#alive().camera();
    }

    /** The patterns in order: { name, gridWidth, gridHeight }. */
    get patterns() {
      return this.#alive().patterns();
    }

    get options() {
      return this.#alive().options();
    }

    /** Per pattern, its best confidence over the last frame's squares, found
     * or not; NaN when the frame held no square. Empty before any frame. */
    bestConfidences() {
      const native = this.#alive();
      const at = native.bestConfidences();
      return at === 0 ? new Float64Array(0) :
        new Float64Array(wasm.HEAPU8.buffer, at, this.#names.length).slice();
    }

    /** Frees the C++ side; the tracker is not usable afterwards. */
    delete() {
      if (this.#native) {
        this.#native.delete();
        this.#native = null;
      }
    }
  }

  return Object.freeze({
    Tracker,
    MarkeyeError,
    version: wasm.version(),
    defaultOptions: defaults,
    builtinPatternNames,
  });
}

/** Loads the module: `const markeye = await loadMarkeye()`. Options:
 * wasmUrl (where markeye.wasm is; beside markeye.mjs by default),
 * wasmBinary (its bytes) or wasmModule (a compiled WebAssembly.Module). */
export default async function loadMarkeye(options = {}) {
  return makeApi(await instantiate(options));
}
