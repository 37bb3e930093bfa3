// One tracking session of the page: the module's tracker over the built-in
// markers and the user's own patterns, tracking RGBA frames and timing each
// call. The worker (tracker-worker.js) runs it off the main thread; app.js
// runs it in place when no module worker can be started.

import loadMarkeye from './markeye.mjs';

// Depth range of the overlay's projection, in millimetres of an 80 mm marker.
const NEAR = 10;
const FAR = 10000;

export async function createSession() {
  const markeye = await loadMarkeye();
  const builtins = markeye.builtinPatternNames.map((name) => ({ builtin: name }));
  const own = [];
  let tracker = new markeye.Tracker({ patterns: builtins });

  return {
    version: markeye.version,
    markerWidth: markeye.defaultOptions.markerWidth,

    /** Adds a pattern made from a marker's central picture (ImageData-like). */
    addPattern(name, image) {
      const next = new markeye.Tracker({ patterns: [...builtins, ...own, { name, image }] });
      own.push({ name, image });
      tracker.delete();
      tracker = next;
      return tracker.patterns.map((pattern) => pattern.name);
    },

    /** Tracks one frame: its detections, the projection for its size and
     * the milliseconds the module's track() took. */
    track(frame) {
      const start = performance.now();
      const detections = tracker.track(frame);
      const trackMs = performance.now() - start;
      return { detections, trackMs, projection: tracker.projection(NEAR, FAR) };
    },

    patternNames() {
      return tracker.patterns.map((pattern) => pattern.name);
    },
  };
}
