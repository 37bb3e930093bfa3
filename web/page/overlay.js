// Draws what was found over a frame on a 2-D canvas: each marker's outline
// (yellow), a dot on its vertex 0 (magenta), its name and confidence, and a
// cube standing on it, taken through projection x modelView exactly as a
// WebGL page would, so that the matrices are seen to fit the picture.

// A column-major 4 x 4 matrix times (x, y, z, 1).
function transform(m, [x, y, z]) {
  return [0, 1, 2, 3].map((row) => m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row]);
}

// Clip space to canvas coordinates: pixel (i, j) of the frame covers the
// canvas square from (i, j) to (i + 1, j + 1).
function toCanvas(clip, width, height) {
  const [x, y, , w] = clip;
  return [((x / w + 1) * width) / 2, ((1 - y / w) * height) / 2];
}

// Library pixel coordinates (pixel centres at integers) to canvas ones.
const centre = ([x, y]) => [x + 0.5, y + 0.5];

function polyline(context, points, close) {
  context.beginPath();
  points.forEach(([x, y], i) => (i === 0 ? context.moveTo(x, y) : context.lineTo(x, y)));
  if (close) {
    context.closePath();
  }
  context.stroke();
}

function drawCube(context, detection, projection, markerWidth, width, height) {
  const h = markerWidth / 2;
  const base = [[-h, h, 0], [h, h, 0], [h, -h, 0], [-h, -h, 0]];
  const top = base.map(([x, y]) => [x, y, markerWidth]);
  const project = (p) => toCanvas(transform(projection, transform(detection.modelView, p)), width, height);
  const [b, t] = [base.map(project), top.map(project)];
  context.strokeStyle = 'rgba(0, 220, 255, 0.9)';
  context.lineWidth = 2;
  polyline(context, t, true);
  b.forEach((point, i) => polyline(context, [point, t[i]], false));
}

export function drawOverlay(context, detections, projection, markerWidth) {
  const { width, height } = context.canvas;
  context.save();
  context.lineJoin = 'round';
  for (const d of detections) {
    drawCube(context, d, projection, markerWidth, width, height);
    const corners = d.corners.map(centre);
    context.strokeStyle = 'yellow';
    context.lineWidth = 3;
    polyline(context, corners, true);
    context.fillStyle = 'magenta';
    context.beginPath();
    context.arc(corners[0][0], corners[0][1], 5, 0, 2 * Math.PI);
    context.fill();
    const label = `${d.name} ${d.confidence.toFixed(2)}`;
    const [x, y] = corners.reduce(([ax, ay], [cx, cy]) => [Math.min(ax, cx), Math.min(ay, cy)], [width, height]);
    context.font = 'bold 16px sans-serif';
    context.fillStyle = 'rgba(0, 0, 0, 0.6)';
    context.fillRect(x, y - 22, context.measureText(label).width + 8, 20);
    context.fillStyle = 'white';
    context.fillText(label, x + 4, y - 7);
  }
  context.restore();
}
