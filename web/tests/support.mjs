// What the module's Node tests share: the built module, imported as a user
// imports it (MARKEYE_WEB_DIST, web/dist by default), and the fixture tool's
// frames, truth and native detections (MARKEYE_WEB_FIXTURES).

import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
export const DIST = process.env.MARKEYE_WEB_DIST ?? path.join(here, '..', 'dist');
export const FIXTURES = process.env.MARKEYE_WEB_FIXTURES;
if (!FIXTURES) {
  throw new Error('set MARKEYE_WEB_FIXTURES to the folder markeye_web_fixtures frames wrote');
}

// The module hands over the library's doubles unchanged: it agrees with the
// native library this closely (corners in pixels; rotation terms; the
// translation in millimetres; confidences).
export const CORNER_TOLERANCE_PX = 1e-6;
export const POSE_TOLERANCE = 1e-9;

export const fixtures = JSON.parse(readFileSync(path.join(FIXTURES, 'fixtures.json'), 'utf8'));

export async function loadModule() {
  const { default: loadMarkeye } = await import(pathToFileURL(path.join(DIST, 'markeye.mjs')).href);
  return loadMarkeye();
}

export function fixtureBytes(file) {
  const bytes = readFileSync(path.join(FIXTURES, file));
  return bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length);
}

const frames = new Map();
/** A test frame as a canvas gives it: { data: Uint8ClampedArray, width, height }. */
export function frame(name) {
  if (!frames.has(name)) {
    const record = fixtures.frames.find((f) => f.name === name);
    assert.ok(record, `no fixture frame ${name}`);
    frames.set(name, { data: new Uint8ClampedArray(fixtureBytes(record.file)), width: record.width,
      height: record.height });
  }
  return frames.get(name);
}

export function frameRecord(name) {
  return fixtures.frames.find((f) => f.name === name);
}

export function run(name) {
  const found = fixtures.runs.find((r) => r.name === name);
  assert.ok(found, `no fixture run ${name}`);
  return found;
}

/** The Tracker settings a run describes, as a page would give them. */
export function trackerSettings(record) {
  const settings = { ...record.options };
  if (record.camera?.file) {
    settings.camera = fixtureBytes(record.camera.file);
  } else if (record.camera) {
    settings.camera = { ...record.camera };
  }
  if (record.patterns) {
    settings.patterns = record.patterns.map((p) => (p.file ?
      { name: p.name, text: readFileSync(path.join(FIXTURES, p.file), 'latin1') } :
      { name: p.name, image: { data: new Uint8ClampedArray(fixtureBytes(p.picture)), width: 16, height: 16 } }));
  }
  return settings;
}

export function assertClose(actual, expected, tolerance, what) {
  assert.equal(actual.length, expected.length, `${what}: length`);
  actual.forEach((value, i) => {
    assert.ok(Math.abs(value - expected[i]) <= tolerance,
      `${what}[${i}]: ${value} differs from ${expected[i]} by more than ${tolerance}`);
  });
}

/** The module's detections are the native library's: same patterns, names
 * and directions in the same order, numbers within the tolerances. */
export function assertAgrees(found, expected, what) {
  assert.deepEqual(found.map((d) => [d.pattern, d.name, d.direction]),
    expected.map((d) => [d.pattern, d.name, d.direction]), `${what}: patterns and directions`);
  found.forEach((d, i) => {
    const e = expected[i];
    const label = `${what}, ${e.name}`;
    assertClose([d.confidence], [e.confidence], POSE_TOLERANCE, `${label} confidence`);
    assertClose(d.corners.flat(), e.corners.flat(), CORNER_TOLERANCE_PX, `${label} corners`);
    assertClose(d.rotation, e.rotation, POSE_TOLERANCE, `${label} rotation`);
    assertClose(d.translation, e.translation, POSE_TOLERANCE, `${label} translation`);
    assertClose([d.reprojectionError], [e.reprojectionError], CORNER_TOLERANCE_PX, `${label} reprojection error`);
  });
}

/** A column-major 4 x 4 matrix times a column vector, in doubles. */
export function transform(matrix, vector) {
  return [0, 1, 2, 3].map((row) => vector.reduce((sum, value, column) => sum + matrix[4 * column + row] * value, 0));
}
