// The page's tracking thread (a module worker): frames come in as
// transferred RGBA buffers and go back with what was found, so that the main
// thread only draws.

import { createSession } from './tracking.js';

const session = createSession();

self.onmessage = async ({ data: message }) => {
  try {
    const tracker = await session;
    if (message.type === 'start') {
      self.postMessage({ type: 'ready', version: tracker.version, markerWidth: tracker.markerWidth,
        patterns: tracker.patternNames() });
    } else if (message.type === 'track') {
      const { buffer, width, height, id } = message;
      const result = tracker.track({ data: new Uint8ClampedArray(buffer), width, height });
      self.postMessage({ type: 'tracked', id, buffer, width, height, ...result }, [buffer]);
    } else if (message.type === 'addPattern') {
      const patterns = tracker.addPattern(message.name, message.image);
      self.postMessage({ type: 'patterns', patterns });
    }
  } catch (error) {
    self.postMessage({ type: 'error', message: error.message, id: message.id, buffer: message.buffer },
      message.buffer ? [message.buffer] : []);
  }
};
