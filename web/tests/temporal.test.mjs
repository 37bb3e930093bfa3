// Temporal tracking through the module: a still scene (four_640, four
// markers) with fresh seeded sensor noise in each frame, so that the truth
// does not move and every change from frame to frame is noise; track
// numbers, the filter's smoothing, the time argument, resetTracks() and the
// temporal option's checks.

import assert from 'node:assert/strict';
import { before, describe, test } from 'node:test';

import { frame, loadModule } from './support.mjs';

const FRAMES = 30;
// Sensor noise added to each frame (grey levels), as the library's own
// sequences have.
const NOISE_SIGMA = 3;
const SEED = 21;
// The library halves a still marker's jitter at every distance it was
// measured at (400 to 1500 mm).
const MAX_JITTER_RATIO = 0.5;

let markeye;
let noisyFrames;

// Seeded uniform numbers in [0, 1) (mulberry32), for reproducible noise.
function uniforms(seed) {
  let state = seed >>> 0;
  return () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

function withNoise(image, next) {
  const data = new Uint8ClampedArray(image.data);
  for (let i = 0; i < data.length; i += 4) {
    for (let c = 0; c < 3; c++) {
      // Box-Muller: a normal number from two uniform ones.
      const normal = Math.sqrt(-2 * Math.log(1 - next())) * Math.cos(2 * Math.PI * next());
      data[i + c] = image.data[i + c] + NOISE_SIGMA * normal;
    }
  }
  return { data, width: image.width, height: image.height };
}

before(async () => {
  markeye = await loadModule();
  const next = uniforms(SEED);
  noisyFrames = Array.from({ length: FRAMES }, () => withNoise(frame('four_640'), next));
});

// Per frame, the detections by pattern (each marker of four_640 is a
// pattern of its own).
function trackAll(settings) {
  const tracker = new markeye.Tracker(settings);
  try {
    return noisyFrames.map((image, k) => new Map(tracker.track(image, k / 30).map((d) => [d.pattern, d])));
  } finally {
    tracker.delete();
  }
}

// RMS over frames of the change of the marker's translation (mm).
function jitter(runs, pattern) {
  let squares = 0;
  for (let k = 1; k < runs.length; k++) {
    const [a, b] = [runs[k - 1].get(pattern).translation, runs[k].get(pattern).translation];
    squares += a.reduce((sum, value, i) => sum + (value - b[i]) ** 2, 0);
  }
  return Math.sqrt(squares / (runs.length - 1));
}

const trackIds = (found) => found.map((d) => d.trackId).sort((a, b) => a - b);

describe('temporal tracking', () => {
  test('track numbers stay with their markers', () => {
    const runs = trackAll({ temporal: true });
    const first = new Map([...runs[0]].map(([pattern, d]) => [pattern, d.trackId]));
    assert.equal(first.size, 4);
    assert.deepEqual([...first.values()].sort(), [0, 1, 2, 3]);
    runs.forEach((run, k) => {
      assert.deepEqual(new Map([...run].map(([pattern, d]) => [pattern, d.trackId])), first, `frame ${k}`);
    });
  });

  test('a still marker varies less with temporal tracking', () => {
    const single = trackAll({});
    const temporal = trackAll({ temporal: true });
    const unfiltered = trackAll({ temporal: { filter: false } });
    assert.ok(single.every((run) => [...run.values()].every((d) => d.trackId === -1)));
    for (const pattern of single[0].keys()) {
      const ratio = jitter(temporal, pattern) / jitter(single, pattern);
      assert.ok(ratio <= MAX_JITTER_RATIO, `pattern ${pattern}: jitter ratio ${ratio}`);
      // Without the filter the poses are as measured: no smoothing.
      assert.ok(jitter(unfiltered, pattern) / jitter(single, pattern) > MAX_JITTER_RATIO, `pattern ${pattern}`);
    }
  });

  test('time going back or resetTracks() starts new tracks', () => {
    const tracker = new markeye.Tracker({ temporal: true });
    try {
      assert.deepEqual(trackIds(tracker.track(noisyFrames[0], 1.0)), [0, 1, 2, 3]);
      // Without a time: one period of temporal.frameRate later, the same sequence.
      assert.deepEqual(trackIds(tracker.track(noisyFrames[1])), [0, 1, 2, 3]);
      assert.deepEqual(trackIds(tracker.track(noisyFrames[2], 0.5)), [4, 5, 6, 7]);
      tracker.resetTracks();
      assert.deepEqual(trackIds(tracker.track(noisyFrames[3], 0.6)), [8, 9, 10, 11]);
      assert.throws(() => tracker.track(noisyFrames[4], 'soon'), /track's time must be a finite number/);
    } finally {
      tracker.delete();
    }
  });

  test('the temporal option: a boolean or an object of its fields', () => {
    const defaults = markeye.defaultOptions.temporal;
    const tracker = new markeye.Tracker({ temporal: { minCutoffHz: 0.5, maxLostFrames: 3 } });
    try {
      assert.deepEqual(tracker.options.temporal, { ...defaults, enabled: true, minCutoffHz: 0.5, maxLostFrames: 3 });
    } finally {
      tracker.delete();
    }
    const off = new markeye.Tracker({ temporal: { enabled: false } });
    try {
      assert.deepEqual(off.options.temporal, defaults);
    } finally {
      off.delete();
    }
    assert.throws(() => new markeye.Tracker({ temporal: { cutoff: 1 } }),
      /unknown field "cutoff" of tracker option temporal/);
    assert.throws(() => new markeye.Tracker({ temporal: { depthBeta: 'high' } }), /temporal.depthBeta must be a number/);
    assert.throws(() => new markeye.Tracker({ temporal: 1 }), /temporal must be a boolean or an object/);
    assert.throws(() => new markeye.Tracker({ temporal: { frameRate: 0 } }),
      (error) => error instanceof markeye.MarkeyeError && /^tracker option temporal.frame_rate/.test(error.message));
  });
});
