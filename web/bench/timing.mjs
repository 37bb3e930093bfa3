// The module's benchmark, shared by Node (bench.mjs) and the browser
// (bench.html): milliseconds of Tracker.track() per frame, the whole call as
// a page makes it (the copy into the module, tracking, the result objects),
// on the fixture tool's benchmark frames with its six patterns.

// Frames tracked untimed first (buffers made, code warmed up), then timed.
export const WARM_UP_FRAMES = 50;
export const TIMED_FRAMES = 300;

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

/** frames: [{ name, data, width, height }]; patterns: [{ name, text }]. */
export function timeFrames(markeye, frames, patterns, timed = TIMED_FRAMES) {
  const results = [];
  for (const frame of frames) {
    const tracker = new markeye.Tracker({ patterns });
    try {
      let found = 0;
      for (let i = 0; i < WARM_UP_FRAMES; i++) {
        found = tracker.track(frame).length;
      }
      const times = [];
      for (let i = 0; i < timed; i++) {
        const start = performance.now();
        tracker.track(frame);
        times.push(performance.now() - start);
      }
      results.push({ frame: frame.name, width: frame.width, height: frame.height, patterns: patterns.length, found,
        medianMs: median(times), minMs: Math.min(...times) });
    } finally {
      tracker.delete();
    }
  }
  return results;
}
