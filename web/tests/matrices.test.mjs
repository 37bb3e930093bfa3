// modelView and projection(near, far) as WebGL uses them, checked against
// the pixels: the marker's vertices taken through projection x modelView to
// clip space, then through the viewport of the whole frame, land on the
// rendered truth's corners and on the detected ones.

import assert from 'node:assert/strict';
import { before, describe, test } from 'node:test';

import { fixtures, frame, loadModule, transform } from './support.mjs';

// The pose reprojects each vertex onto its detected corner within twice
// the detection's reprojection error (the root mean square over the four
// vertices), plus the rounding of the 32-bit matrices (1e-4 px at 1000 mm);
// with the camera the frame was rendered through, onto the truth's corners
// within the pose's own error (measured under 0.25 px).
const ROUNDING_PX = 1e-3;
const TRUTH_PX = 0.5;
const NEAR = 50;
const FAR = 5000;

// Marker vertices 0 to 3 in the marker frame, for a marker of width w.
const vertices = (w) => [[-w / 2, w / 2, 0, 1], [w / 2, w / 2, 0, 1], [w / 2, -w / 2, 0, 1], [-w / 2, -w / 2, 0, 1]];

// The viewport transform of the whole frame: normalised device coordinates
// to pixels whose centres are integers (so the frame spans -0.5 to w - 0.5).
function toPixel(clip, width, height) {
  const [x, y, , w] = clip;
  return [((x / w + 1) * width) / 2 - 0.5, ((1 - y / w) * height) / 2 - 0.5];
}

// Frames without lens distortion (the projection is the pinhole camera's),
// each with a camera as the tracker is given it.
const CASES = [
  ['four_640', {}],
  ['tilted_640', { markerWidth: 40 }],
  ['wide_1280', {}],
  ['wide_1280', { camera: { width: 1280, height: 720, fovDegrees: 60 } }],
  // A principal point off the centre and unequal focal lengths: the pose
  // differs from the truth, but must still reproject onto the corners.
  ['four_640', { camera: { width: 640, height: 480, fx: 690, fy: 715, cx: 331, cy: 229 } }],
];

describe('modelView and projection', () => {
  let markeye;
  before(async () => { markeye = await loadModule(); });

  for (const [name, settings] of CASES) {
    test(`${name} ${JSON.stringify(settings)}`, () => {
      const tracker = new markeye.Tracker(settings);
      try {
        const { width, height } = frame(name);
        const found = tracker.track(frame(name));
        const projection = tracker.projection(NEAR, FAR);
        assert.ok(projection instanceof Float32Array && projection.length === 16);
        const truth = fixtures.frames.find((f) => f.name === name).truth;
        const markerWidth = settings.markerWidth ?? 80;
        assert.ok(found.length > 0);
        for (const d of found) {
          assert.ok(d.modelView instanceof Float32Array && d.modelView.length === 16);
          const pixels = vertices(markerWidth).map((v) =>
            toPixel(transform(projection, transform(d.modelView, v)), width, height));
          pixels.forEach(([x, y], k) => {
            const [cx, cy] = d.corners[k];
            const bound = 2 * d.reprojectionError + ROUNDING_PX;
            assert.ok(Math.hypot(x - cx, y - cy) < bound, `${d.name} vertex ${k}: ${x}, ${y} vs ${cx}, ${cy}`);
          });
          if (settings.camera === undefined) {
            const shown = truth.find((t) => t.name === d.name);
            pixels.forEach(([x, y], k) => {
              const [tx, ty] = shown.corners[k];
              assert.ok(Math.hypot(x - tx, y - ty) < TRUTH_PX, `${d.name} vertex ${k} vs truth`);
            });
          }
          // OpenGL's frame: the marker lies in front (negative eye z) and
          // its face turns towards the viewer (its z axis has positive eye
          // z); the rotation part is a rotation, not a reflection.
          const m = d.modelView;
          assert.ok(m[14] < 0);
          assert.ok(m[10] > 0);
          const det = m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
            m[8] * (m[1] * m[6] - m[5] * m[2]);
          assert.ok(Math.abs(det - 1) < 1e-5, `determinant ${det}`);
        }
      } finally {
        tracker.delete();
      }
    });
  }

  test('depth: near and far map to -1 and 1 on the optical axis', () => {
    const tracker = new markeye.Tracker({ camera: { width: 640, height: 480, fovDegrees: 50 } });
    try {
      const projection = tracker.projection(NEAR, FAR);
      for (const [distance, depth] of [[NEAR, -1], [FAR, 1]]) {
        const [, , z, w] = transform(projection, [0, 0, -distance, 1]);
        assert.ok(Math.abs(z / w - depth) < 1e-6, `${distance}: ${z / w}`);
      }
      assert.throws(() => tracker.projection(0, 10), RangeError);
      assert.throws(() => tracker.projection(10, 5), RangeError);
    } finally {
      tracker.delete();
    }
  });
});
