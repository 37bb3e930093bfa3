// The module's API as a page uses it: refusals become Errors carrying the
// library's message, options reach the library, frames of several sizes and
// layouts, delete().

import assert from 'node:assert/strict';
import { before, describe, test } from 'node:test';

import { assertAgrees, fixtureBytes, fixtures, frame, loadModule, run } from './support.mjs';

let markeye;
before(async () => { markeye = await loadModule(); });

function cameraBytesWith(change) {
  const bytes = new Uint8Array(fixtureBytes('four_640.cam'));
  change(new DataView(bytes.buffer));
  return bytes.buffer;
}

// Settings the library refuses, and its message for each (one line naming
// the argument and the fault).
const REFUSALS = [
  ['a short camera file', { camera: new ArrayBuffer(120) }, 'camera file too short: 120 of 136 bytes (camera)'],
  ['a camera file of size 0 x 480', { camera: cameraBytesWith((v) => v.setInt32(0, 0)) },
    /^camera file camera is not valid: size 0 x 480/],
  ['a camera file holding NaN', { camera: cameraBytesWith((v) => v.setFloat64(8, NaN)) },
    'camera file camera is not valid: it holds a number that is not finite'],
  ['focal lengths of 0', { camera: { width: 640, height: 480, fx: 0, fy: 0 } },
    'camera from the options is not valid: focal lengths 0.000000 and 0.000000 pixels (both must be positive)'],
  ['a pattern token that is no brightness', { patterns: ['12 200\n7 x 9'] },
    'pattern file pattern 0.pat, line 2: "x" is not a brightness from 0 to 255'],
  ['a named pattern with a brightness of 300', { patterns: [{ name: 'mine', text: '300' }] },
    'pattern file mine.pat, line 1: "300" is not a brightness from 0 to 255'],
  ['a pattern of no square grid', { patterns: ['1 2 3'] },
    'pattern file pattern 0.pat holds 3 numbers, which fill no square grid (16 x 16 takes 3072); give the grid size'],
  ['no pattern', { patterns: [] }, 'a tracker needs at least one pattern'],
  ['an unknown built-in marker', { patterns: [{ builtin: 'star' }] },
    'no built-in marker named "star" (there are flag, arrow, hook, dots, steps, key, tee, moon)'],
  ['min confidence 1.5', { minConfidence: 1.5 }, /^tracker option min_confidence must be from 0 to 1/],
  ['marker width 0', { markerWidth: 0 }, /^tracker option marker_width must be a positive number/],
  ['threshold 300', { threshold: 300 }, /^tracker option threshold must be from 0 to 255/],
];

// Settings of the wrong kind, refused by markeye.mjs before the library.
const TYPE_ERRORS = [
  ['an unknown option', { minConfidance: 0.5 }, /unknown tracker option "minConfidance"/],
  ['a string for a number', { markerWidth: '80' }, /markerWidth must be a number/],
  ['an unknown binarisation', { binarisation: 'otsu' }, /binarisation must be "tile" or "fixed"/],
  ['patterns that are not an array', { patterns: 'flag' }, /patterns must be an array/],
  ['a pattern that is a number', { patterns: [7] }, /patterns\[0\] must be/],
  ['a camera that is a string', { camera: 'cam.dat' }, /camera must be/],
  ['a field of view of 0 degrees', { camera: { width: 640, height: 480, fovDegrees: 0 } }, /fovDegrees must be/],
];

describe('refusals', () => {
  for (const [what, settings, message] of REFUSALS) {
    test(`the library's message for ${what}`, () => {
      assert.throws(() => new markeye.Tracker(settings), (error) => {
        assert.ok(error instanceof markeye.MarkeyeError && error instanceof Error);
        assert.equal(error.name, 'MarkeyeError');
        if (typeof message === 'string') {
          assert.equal(error.message, message);
        } else {
          assert.match(error.message, message);
        }
        return true;
      });
    });
  }
  for (const [what, settings, message] of TYPE_ERRORS) {
    test(`a TypeError or RangeError for ${what}`, () => {
      assert.throws(() => new markeye.Tracker(settings), (error) =>
        (error instanceof TypeError || error instanceof RangeError) && message.test(error.message));
    });
  }

  test('frames that cannot be tracked', () => {
    const tracker = new markeye.Tracker({ camera: fixtureBytes('four_640.cam') });
    try {
      assert.throws(() => tracker.track(frame('wide_1280')), (error) => error instanceof markeye.MarkeyeError &&
        error.message.startsWith('frame size 1280 x 720 does not have the proportions of camera camera (640 x 480)'));
      const small = { data: new Uint8ClampedArray(100), width: 640, height: 480 };
      assert.throws(() => tracker.track(small), /holds 100 bytes, 640 x 480 RGBA needs 1228800/);
      assert.throws(() => tracker.track({ data: [1, 2, 3], width: 1, height: 1 }), TypeError);
      assert.throws(() => tracker.track({ data: new Uint8Array(4), width: 0, height: 1 }), TypeError);
      // The tracker still works after each refusal.
      assertAgrees(tracker.track(frame('four_640')), run('four_640, defaults').detections, 'after refusals');
    } finally {
      tracker.delete();
    }
  });
});

describe('options', () => {
  test('the defaults, names and version are the native library\'s', () => {
    assert.deepEqual({ ...markeye.defaultOptions }, fixtures.defaultOptions);
    assert.deepEqual([...markeye.builtinPatternNames], fixtures.builtinNames);
    assert.equal(markeye.version, fixtures.version);
  });

  test('options given are those used, the others the defaults', () => {
    const tracker = new markeye.Tracker({ markerWidth: 40, minConfidence: 0.7, binarisation: 'fixed' });
    try {
      assert.deepEqual(tracker.options,
        { ...markeye.defaultOptions, markerWidth: 40, minConfidence: 0.7, binarisation: 'fixed' });
    } finally {
      tracker.delete();
    }
  });

  test('marker width scales the translation, not the rotation or corners', () => {
    const expected = run('four_640, defaults').detections;
    const tracker = new markeye.Tracker({ markerWidth: 160 });
    try {
      const found = tracker.track(frame('four_640'));
      assert.equal(found.length, expected.length);
      found.forEach((d, i) => {
        // Doubling a length in binary is exact; the solver's iterations
        // are not, so 1e-9 relative.
        d.translation.forEach((t, k) => assert.ok(Math.abs(t - 2 * expected[i].translation[k]) < 1e-9 * Math.abs(t)));
        d.rotation.forEach((r, k) => assert.ok(Math.abs(r - expected[i].rotation[k]) < 1e-9));
      });
    } finally {
      tracker.delete();
    }
  });

  test('built-in markers by name, among other patterns', () => {
    const expected = run('four_640, defaults').detections;
    const patterns = [{ name: 'mine', text: fixturesText('moon.pat') }, { builtin: 'hook' }, { builtin: 'flag' }];
    const tracker = new markeye.Tracker({ patterns });
    try {
      const found = tracker.track(frame('four_640'));
      // Pattern 1 is hook, pattern 2 flag: the native order is by pattern.
      const renumbered = ['hook', 'flag'].map((name, i) => ({ ...expected.find((d) => d.name === name), pattern: i + 1 }));
      assertAgrees(found, renumbered, 'built-in by name');
      assert.deepEqual(tracker.patterns.map((p) => p.name), ['mine', 'hook', 'flag']);
    } finally {
      tracker.delete();
    }
  });

  test('min confidence leaves out the markers below it', () => {
    const all = run('tilted_640, defaults').detections;
    const limit = (Math.min(...all.map((d) => d.confidence)) + Math.max(...all.map((d) => d.confidence))) / 2;
    const tracker = new markeye.Tracker({ minConfidence: limit });
    try {
      assertAgrees(tracker.track(frame('tilted_640')), all.filter((d) => d.confidence >= limit), 'above the limit');
    } finally {
      tracker.delete();
    }
  });
});

describe('frames', () => {
  test('frame sizes change, the built-in camera follows', () => {
    const tracker = new markeye.Tracker();
    try {
      assert.equal(tracker.camera, null);
      assert.throws(() => tracker.projection(), markeye.MarkeyeError);
      for (const name of ['four_640', 'wide_1280', 'small_320', 'bench_1280', 'four_640']) {
        assertAgrees(tracker.track(frame(name)), run(`${name}, defaults`).detections, name);
        const camera = fixtures.frames.find((f) => f.name === name).camera;
        assert.equal(tracker.camera.width, camera.width);
        assert.equal(tracker.camera.height, camera.height);
        assert.deepEqual(tracker.camera.projection, camera.projection);
      }
    } finally {
      tracker.delete();
    }
  });

  test('ImageData-like frames of Uint8Array, longer data, and the same frame twice', () => {
    const expected = run('four_640, defaults').detections;
    const tracker = new markeye.Tracker();
    try {
      const { data, width, height } = frame('four_640');
      const longer = new Uint8Array(data.length + 64);
      longer.set(data);
      assertAgrees(tracker.track({ data: new Uint8Array(data), width, height }), expected, 'Uint8Array');
      assertAgrees(tracker.track({ data: longer, width, height }), expected, 'longer data');
      const first = tracker.track({ data, width, height });
      const second = tracker.track({ data, width, height });
      assert.deepEqual(second, first);
      // Results are the caller's: tracking again does not change them.
      assert.notEqual(second[0].corners, first[0].corners);
    } finally {
      tracker.delete();
    }
  });

  test('a frame without markers', () => {
    const tracker = new markeye.Tracker();
    try {
      assert.deepEqual(tracker.track({ data: new Uint8ClampedArray(640 * 480 * 4).fill(200), width: 640, height: 480 }), []);
      assert.equal(tracker.bestConfidences().length, 8);
      assert.ok(tracker.bestConfidences().every(Number.isNaN));
    } finally {
      tracker.delete();
    }
  });
});

describe('delete()', () => {
  test('a deleted tracker refuses to work; deleting twice is harmless', () => {
    const tracker = new markeye.Tracker();
    tracker.delete();
    tracker.delete();
    assert.throws(() => tracker.track(frame('four_640')), /used after delete/);
    assert.throws(() => tracker.camera, /used after delete/);
  });

  test('trackers made and deleted give their memory back', () => {
    // Each holds its buffers for 320 x 240 frames, about 6 MB: without
    // delete() freeing them, the module's memory (at most 2 GB) runs out
    // after about 350 (measured), and the tracker refuses with bad_alloc.
    const camera = { width: 320, height: 240, fovDegrees: 50 };
    for (let i = 0; i < 400; i++) {
      const tracker = new markeye.Tracker({ camera, patterns: [{ name: 'flag', text: fixturesText('flag.pat') }] });
      tracker.track(frame('small_320'));
      tracker.delete();
    }
    const tracker = new markeye.Tracker();
    assertAgrees(tracker.track(frame('wide_1280')), run('wide_1280, defaults').detections, 'afterwards');
    tracker.delete();
  });
});

function fixturesText(file) {
  return new TextDecoder('latin1').decode(fixtureBytes(file));
}
