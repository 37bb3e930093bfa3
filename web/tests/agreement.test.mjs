// The module finds what the native library finds, to the last digits: every
// run of the fixture tool (frames, cameras, patterns, options) set up as a
// page would, and the rendered truth as an independent check of the whole.

import assert from 'node:assert/strict';
import { before, describe, test } from 'node:test';

import { assertAgrees, assertClose, fixtures, frame, frameRecord, loadModule, POSE_TOLERANCE, trackerSettings }
  from './support.mjs';

// Against the renderer's truth, the library is within these on the fixture
// frames (measured worst 0.17 px, 0.24 degrees, 0.1 % of the distance); the
// bounds leave room but catch a flipped axis, a swapped vertex or a wrong
// camera.
const TRUTH_CORNER_PX = 0.5;
const TRUTH_ROTATION_DEGREES = 1.5;
const TRUTH_DISTANCE_FRACTION = 0.02;

function rotationAngleDegrees(a, b) {
  // The angle of a^T b from its trace.
  let trace = 0;
  for (let i = 0; i < 3; i++) {
    for (let k = 0; k < 3; k++) {
      trace += a[3 * k + i] * b[3 * k + i];
    }
  }
  return (Math.acos(Math.min(1, Math.max(-1, (trace - 1) / 2))) * 180) / Math.PI;
}

describe('module against the native library', () => {
  let markeye;
  before(async () => { markeye = await loadModule(); });

  for (const record of fixtures.runs) {
    test(record.name, () => {
      const tracker = new markeye.Tracker(trackerSettings(record));
      try {
        const found = tracker.track(frame(record.frame));
        assertAgrees(found, record.detections, record.name);
        const best = Array.from(tracker.bestConfidences());
        assertClose(best.map((v) => (Number.isNaN(v) ? -1 : v)),
          record.bestConfidences.map((v) => (v === null ? -1 : v)), POSE_TOLERANCE, 'best confidences');
      } finally {
        tracker.delete();
      }
    });
  }
});

describe('module against the rendered truth', () => {
  let markeye;
  before(async () => { markeye = await loadModule(); });

  for (const record of fixtures.frames.filter((f) => !f.name.startsWith('bench'))) {
    test(record.name, () => {
      const camera = record.name.startsWith('distorted') ?
        fixtures.runs.find((r) => r.frame === record.name && r.camera?.file) : null;
      const tracker = new markeye.Tracker(camera ? trackerSettings(camera) : {});
      try {
        const found = tracker.track(frame(record.name));
        const shown = frameRecord(record.name).truth.filter((t) => t.inFrame);
        assert.deepEqual(found.map((d) => d.name).sort(), shown.map((t) => t.name).sort());
        for (const truth of shown) {
          const d = found.find((f) => f.name === truth.name);
          assertClose(d.corners.flat(), truth.corners.flat(), TRUTH_CORNER_PX, `${truth.name} corners`);
          const angle = rotationAngleDegrees(d.rotation, truth.rotation);
          assert.ok(angle < TRUTH_ROTATION_DEGREES, `${truth.name}: rotation off by ${angle} degrees`);
          const distance = Math.hypot(...truth.translation);
          const off = Math.hypot(...d.translation.map((t, i) => t - truth.translation[i]));
          assert.ok(off < TRUTH_DISTANCE_FRACTION * distance, `${truth.name}: translation off by ${off} mm`);
        }
      } finally {
        tracker.delete();
      }
    });
  }
});
