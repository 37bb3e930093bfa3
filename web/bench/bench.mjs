#!/usr/bin/env node
// Node benchmark of the module: median ms per 640 x 480 and 1280 x 720 frame
// with six patterns, beside the native library on the same frames when the
// fixture tool is given (its bench command times Tracker::track()).
//
//   node web/bench/bench.mjs DIST FIXTURES [markeye_web_fixtures]

import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

import { timeFrames, TIMED_FRAMES } from './timing.mjs';

const [dist, fixtures, tool] = process.argv.slice(2);
if (!dist || !fixtures) {
  console.error('usage: node web/bench/bench.mjs DIST FIXTURES [markeye_web_fixtures]');
  process.exit(2);
}
const { default: loadMarkeye } = await import(pathToFileURL(path.join(dist, 'markeye.mjs')).href);
const markeye = await loadMarkeye();
const record = JSON.parse(readFileSync(path.join(fixtures, 'fixtures.json'), 'utf8'));
const patterns = record.benchPatterns.map((file) => ({ name: path.parse(file).name,
  text: readFileSync(path.join(fixtures, file), 'latin1') }));
const frames = record.frames.filter((f) => f.name.startsWith('bench')).map((f) => ({
  name: f.name, width: f.width, height: f.height, data: new Uint8ClampedArray(readFileSync(path.join(fixtures, f.file))),
}));

const results = timeFrames(markeye, frames, patterns);
const native = tool ? JSON.parse(execFileSync(tool, ['bench', String(TIMED_FRAMES)], { encoding: 'utf8' })) : null;
console.log(`markeye ${markeye.version}, Node ${process.versions.node}, ${patterns.length} patterns, ` +
  `median of ${TIMED_FRAMES} frames`);
for (const r of results) {
  const n = native?.sizes.find((s) => s.width === r.width && s.height === r.height);
  const against = n ? `   native ${n.medianMs.toFixed(3)} ms   ratio ${(r.medianMs / n.medianMs).toFixed(2)}` : '';
  console.log(`${r.width} x ${r.height}: ${r.found} found, module ${r.medianMs.toFixed(3)} ms${against}`);
}
