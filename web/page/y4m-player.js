// The page's demo clip: a YUV4MPEG2 file (4:2:0, BT.601 limited range, as
// the project's fixture tool renders it), gzipped, played in a loop at its
// frame rate. Browsers play no Y4M themselves; decoding it here needs no
// video encoder in the build.

async function gunzip(response) {
  if (typeof DecompressionStream !== 'function') {
    throw new Error('this browser cannot decompress the demo clip (no DecompressionStream)');
  }
  return new Response(response.body.pipeThrough(new DecompressionStream('gzip'))).arrayBuffer();
}

function parseHeader(bytes) {
  const end = bytes.indexOf(0x0a);
  const header = new TextDecoder().decode(bytes.subarray(0, end)).split(' ');
  if (header[0] !== 'YUV4MPEG2') {
    throw new Error('the demo clip is not a YUV4MPEG2 file');
  }
  const tag = (letter) => header.find((token) => token[0] === letter)?.slice(1);
  const [rateNumerator, rateDenominator] = (tag('F') ?? '30:1').split(':').map(Number);
  return { width: Number(tag('W')), height: Number(tag('H')), fps: rateNumerator / rateDenominator,
    headerLength: end + 1 };
}

export class Y4mPlayer {
  static async load(url) {
    const response = await fetch(url);
    if (!response.ok) {
      throw new Error(`cannot load ${url}: ${response.status}`);
    }
    return new Y4mPlayer(new Uint8Array(url.endsWith('.gz') ? await gunzip(response) : await response.arrayBuffer()));
  }

  constructor(bytes) {
    const { width, height, fps, headerLength } = parseHeader(bytes);
    this.width = width;
    this.height = height;
    this.fps = fps;
    this.label = 'demo clip';
    const frameBytes = (width * height * 3) / 2;
    this._frames = [];
    for (let at = headerLength; at < bytes.length;) {
      // "FRAME" and its optional tags end at a newline.
      const start = bytes.indexOf(0x0a, at) + 1;
      this._frames.push(bytes.subarray(start, start + frameBytes));
      at = start + frameBytes;
    }
    this._shown = -1;
    this._start = performance.now();
  }

  /** The clip's frame of this moment as a new ImageData (the caller may
   * hand its buffer to a worker), or null when it is the one last given. */
  nextFrame() {
    const index = Math.floor(((performance.now() - this._start) * this.fps) / 1000) % this._frames.length;
    if (index === this._shown) {
      return null;
    }
    this._shown = index;
    return this._decode(this._frames[index]);
  }

  _decode(planes) {
    const { width, height } = this;
    const image = new ImageData(width, height);
    const rgba = image.data;
    const chromaWidth = width / 2;
    const cbPlane = width * height;
    const crPlane = cbPlane + (width * height) / 4;
    for (let y = 0; y < height; y++) {
      for (let x = 0; x < width; x++) {
        const chroma = (y >> 1) * chromaWidth + (x >> 1);
        const luma = 1.164383 * (planes[y * width + x] - 16);
        const cb = planes[cbPlane + chroma] - 128;
        const cr = planes[crPlane + chroma] - 128;
        const at = 4 * (y * width + x);
        rgba[at] = luma + 1.596027 * cr;
        rgba[at + 1] = luma - 0.391762 * cb - 0.812968 * cr;
        rgba[at + 2] = luma + 2.017232 * cb;
        rgba[at + 3] = 255;
      }
    }
    return image;
  }
}
