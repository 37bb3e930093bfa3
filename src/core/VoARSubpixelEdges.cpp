#include "VoARSubpixelEdges.h"

#include <algorithm>
#include <cmath>

namespace VoTrack {

namespace {

// Profiles run along the pixel axis nearer to the edge's normal; a point
// where the edge's normal has less than this share along it (the lens bends
// the edge off the axis chosen for its ideal line) is skipped. It bounds a
// profile's half-length along its axis to MAX_REACH / MIN_AXIS_SHARE.
constexpr double MIN_AXIS_SHARE = 0.6;
// A point's profiles are centred within one half-length of its start, so
// their pixels span four half-lengths and a pixel more on either side.
static_assert(VoARSubpixelEdges::MAX_PROFILE_PIXELS >= 4.0 * VoARSubpixelEdges::MAX_REACH / MIN_AXIS_SHARE + 3.0,
              "the pixels of a point's profiles fit the buffers");
// A profile reaches this share of the square's depth across the edge: the
// marker's border is a quarter of its side, so the profile's inner end stays
// within 40 % of the border, clear of the picture even when blurred.
constexpr double REACH_SHARE = 0.1;
// The inner ends of a point's profiles keep this far (pixels) from the
// neighbouring edge, so that none reads it: two standard deviations of a
// blur of 1.5 pixels, less the corner's error.
constexpr double CORNER_CLEARANCE = 3.0;
// Corners sharper than this sine (about 20 degrees) are taken as this sharp.
constexpr double MIN_CORNER_SINE = 0.35;
// Shortest stretch of an edge (pixels) between the corner margins worth
// locating points on.
constexpr double MIN_SPAN = 4.0;
// Step (pixels) along the ideal edge to find its observed direction.
constexpr double TANGENT_STEP = 1.0;
// Profiles per point: each centred where the last two put the step (a
// secant step), until that moves less than CONVERGED (pixels). A profile
// whose centre is off the step finds it short of where it is, by a factor
// (slope) of 1 for a sharp step, down to about 0.2 for a step blurred by 1.5
// pixels in a profile of 1.5 pixels' reach; MIN_SLOPE bounds its estimate.
// Sharp steps take two profiles, blurred or noisy ones mostly three or four.
constexpr int32_t MAX_PROFILE_PASSES = 10;
constexpr double CONVERGED = 0.005;
constexpr double MIN_SLOPE = 0.05;
// The dark and bright levels are the brightness in the middle of the last
// LEVEL_LENGTH (pixels) at either end of a profile.
constexpr double LEVEL_LENGTH = 0.5;
// The mid level's slope along an edge is kept only when its square exceeds
// this many of its variances (3 standard deviations). The edge's level
// replaces a point's own only when the points scatter about it by at most
// LEVEL_CONSISTENCY times their noise, and the point by at most
// LEVEL_OUTLIER standard deviations.
constexpr double SLOPE_KEEP = 9.0;
constexpr double LEVEL_CONSISTENCY = 2.0;
constexpr double LEVEL_OUTLIER = 3.0;
// 1.4826 median absolute deviations make one standard deviation of Gaussian
// scatter.
constexpr double MAD_SCALE = 1.4826;
// A point is dropped when it lies farther from the line than 2.5 standard
// deviations, but never when within MIN_OUTLIER_DISTANCE (pixels):
// noise-free points scatter by thousandths of a pixel, and dropping them
// gains nothing.
constexpr double OUTLIER_FACTOR = 2.5 * MAD_SCALE;
constexpr double MIN_OUTLIER_DISTANCE = 0.1;
// Least share of an edge's planned points that must agree with its line.
constexpr double MIN_INLIER_SHARE = 0.4;
// The first line is the one through a pair of points that most points lie
// within SEED_DISTANCE (pixels) of, several times the scatter of good points,
// among SEED_PAIRS pairs of each of two spacings.
constexpr double SEED_DISTANCE = 0.3;
constexpr int32_t SEED_PAIRS = 12;
// Dropping and refitting rounds after the first line.
constexpr int32_t REFIT_ROUNDS = 2;
// Lines meeting at a smaller sine (about 3 degrees) make no corner.
constexpr double MIN_SINE = 0.05;

// Signed distance (pixels) of (i_x, i_y) from the line (A, B, C) with
// B*x + A*y + C = 0 and (A, B) a unit vector.
double signedDistance(const double* i_line, double i_x, double i_y)
{
    return i_line[1] * i_x + i_line[0] * i_y + i_line[2];
}

// The line through (i_x0, i_y0) and (i_x1, i_y1) as (A, B, C); false when
// the points coincide.
bool lineThrough(double i_x0, double i_y0, double i_x1, double i_y1, double* o_line)
{
    const double dx = i_x1 - i_x0;
    const double dy = i_y1 - i_y0;
    const double length = std::hypot(dx, dy);
    if (!(length > 0.0)) {
        return false;
    }
    o_line[0] = dx / length;
    o_line[1] = -dy / length;
    o_line[2] = -(o_line[1] * i_x0 + o_line[0] * i_y0);
    return true;
}

// Where line i_line meets line i_before; false when they are near parallel.
bool intersect(const double* i_line, const double* i_before, double* o_point)
{
    const double w = i_line[0] * i_before[1] - i_before[0] * i_line[1];
    if (!(std::fabs(w) >= MIN_SINE)) {
        return false;
    }
    o_point[0] = (i_before[0] * i_line[2] - i_line[0] * i_before[2]) / w;
    o_point[1] = (i_line[1] * i_before[2] - i_before[1] * i_line[2]) / w;
    return true;
}

// How profiles along axis i_axis (0 for x, 1 for y) cross an edge of unit
// tangent i_tangent whose outward normal is i_outward * (tangent.y,
// -tangent.x): the normal's share along the axis, and how far along the edge
// (towards its end when positive) a profile reaching i_reach inside leans.
struct TAxisLean
{
    double share;
    double lean;
};

TAxisLean axisLean(const TVoARDoublePoint_t& i_tangent, double i_outward, int32_t i_axis, double i_reach)
{
    const double normal = i_axis == 0 ? i_outward * i_tangent.y : -i_outward * i_tangent.x;
    const double along = i_axis == 0 ? i_tangent.x : i_tangent.y;
    const double share = std::fabs(normal);
    return {share, -(normal < 0.0 ? -1.0 : 1.0) * i_reach * along / share};
}

// How far (pixels) from corner i_corner, where the edge towards i_along
// meets the edge towards i_across, a point on the first edge must be for a
// profile reaching i_reach inside the square from it to stay
// CORNER_CLEARANCE from the second edge.
double cornerMargin(const double* i_corner, const double* i_along, const double* i_across, double i_reach)
{
    const double ax = i_along[0] - i_corner[0];
    const double ay = i_along[1] - i_corner[1];
    const double bx = i_across[0] - i_corner[0];
    const double by = i_across[1] - i_corner[1];
    const double lengths = std::hypot(ax, ay) * std::hypot(bx, by);
    const double cosine = (ax * bx + ay * by) / lengths;
    const double sine = std::fabs(ax * by - ay * bx) / lengths;
    // NaN (a corner on another) takes the sharpest angle.
    const double safe_sine = sine >= MIN_CORNER_SINE ? sine : MIN_CORNER_SINE;
    const double safe_cosine = cosine <= 1.0 ? std::max(0.0, cosine) : 1.0;
    return (CORNER_CLEARANCE + i_reach * safe_cosine) / safe_sine;
}

// The median (the upper one of an even count) of io_values[0..i_count),
// which it reorders; i_count > 0.
double medianOf(double* io_values, int32_t i_count)
{
    double* middle = io_values + i_count / 2;
    std::nth_element(io_values, middle, io_values + i_count);
    return *middle;
}

}  // namespace

VoARSubpixelEdges::VoARSubpixelEdges(const IVoARCameraDistortionFactor* i_distortion, int32_t i_width,
                                     int32_t i_height)
    : _distortion(i_distortion), _width(i_width), _height(i_height), _points(), _x(), _y(), _inlier(), _scratch(),
      _pixel_x(), _pixel_y(), _rgb(), _row()
{
}

bool VoARSubpixelEdges::refine(const IVoARRgbRaster& i_raster, VoARSquare* io_square)
{
    if (i_raster.getWidth() != _width || i_raster.getHeight() != _height) {
        return false;
    }
    const IVoARRgbPixelReader& reader = *i_raster.getRgbPixelReader();
    double lines[4][3];
    for (int32_t i = 0; i < 4; i++) {
        TEdgeFrame frame;
        if (!planEdge(*io_square, i, &frame)) {
            return false;
        }
        const int32_t found = locatePoints(reader, frame);
        if (!fitLine(found, frame.count, io_square->edge_lines[i], lines[i])) {
            return false;
        }
    }
    double corners[4][2];
    for (int32_t i = 0; i < 4; i++) {
        // Corner i joins the edge before it to edge i.
        if (!intersect(lines[i], lines[(i + 3) % 4], corners[i])) {
            return false;
        }
        const double* coarse = io_square->ideal_vertices[i];
        if (!(std::hypot(corners[i][0] - coarse[0], corners[i][1] - coarse[1]) <= MAX_CORNER_SHIFT)) {
            return false;
        }
    }
    std::copy(&lines[0][0], &lines[0][0] + 12, &io_square->edge_lines[0][0]);
    std::copy(&corners[0][0], &corners[0][0] + 8, &io_square->ideal_vertices[0][0]);
    return true;
}

bool VoARSubpixelEdges::planEdge(const VoARSquare& i_square, int32_t i_edge, TEdgeFrame* o_frame) const
{
    const double* p0 = i_square.ideal_vertices[i_edge];
    const double* p1 = i_square.ideal_vertices[(i_edge + 1) % 4];
    const double length = std::hypot(p1[0] - p0[0], p1[1] - p0[1]);
    if (!(length > 0.0 && std::isfinite(length))) {
        return false;
    }
    const TVoARDoublePoint_t tangent = {(p1[0] - p0[0]) / length, (p1[1] - p0[1]) / length};
    // The normal (tangent.y, -tangent.x) points out when the two other
    // corners lie behind it; their nearer one gives the square's depth.
    double depth = INFINITY;
    double side = 0.0;
    for (int32_t k = 2; k < 4; k++) {
        const double* corner = i_square.ideal_vertices[(i_edge + k) % 4];
        const double d = tangent.y * (corner[0] - p0[0]) - tangent.x * (corner[1] - p0[1]);
        depth = std::min(depth, std::fabs(d));
        side += d;
    }
    if (!(depth > 0.0 && std::isfinite(depth) && std::isfinite(side))) {
        return false;
    }
    o_frame->start = {p0[0], p0[1]};
    o_frame->tangent = tangent;
    o_frame->outward = side < 0.0 ? 1.0 : -1.0;
    o_frame->reach = std::clamp(REACH_SHARE * depth, MIN_REACH, MAX_REACH);
    return planPoints(i_square, i_edge, length, o_frame);
}

bool VoARSubpixelEdges::planPoints(const VoARSquare& i_square, int32_t i_edge, double i_length,
                                   TEdgeFrame* io_frame) const
{
    const double* p0 = i_square.ideal_vertices[i_edge];
    const double* p1 = i_square.ideal_vertices[(i_edge + 1) % 4];
    const double reach = io_frame->reach;
    const double start_margin = cornerMargin(p0, p1, i_square.ideal_vertices[(i_edge + 3) % 4], reach);
    const double end_margin = cornerMargin(p1, p0, i_square.ideal_vertices[(i_edge + 2) % 4], reach);
    const TAxisLean along_x = axisLean(io_frame->tangent, io_frame->outward, 0, reach);
    const TAxisLean along_y = axisLean(io_frame->tangent, io_frame->outward, 1, reach);
    // Profiles run along the axis nearer to the normal. When both are near
    // enough (an edge near a diagonal), the first half of the edge takes the
    // one whose profiles lean away from its start and the second half the
    // other, so that neither end needs room for a lean.
    io_frame->start_axis = along_x.share >= along_y.share ? 0 : 1;
    io_frame->end_axis = io_frame->start_axis;
    if (std::min(along_x.share, along_y.share) >= MIN_AXIS_SHARE) {
        io_frame->start_axis = along_x.lean >= 0.0 ? 0 : 1;
        io_frame->end_axis = 1 - io_frame->start_axis;
    }
    const TAxisLean& at_start = io_frame->start_axis == 0 ? along_x : along_y;
    const TAxisLean& at_end = io_frame->end_axis == 0 ? along_x : along_y;
    // Putting a point on a row moves it up to half a row along the edge.
    const double start_snap = 0.5 / at_start.share;
    const double end_snap = 0.5 / at_end.share;
    io_frame->middle = 0.5 * i_length;
    io_frame->first = start_margin + start_snap + std::max(0.0, -at_start.lean);
    const double last = i_length - end_margin - end_snap - std::max(0.0, at_end.lean);
    const double span = last - io_frame->first;
    // The points of each half keep clear of the other half's corner too.
    const bool clear = io_frame->middle + start_snap + std::max(0.0, at_start.lean) <= i_length - end_margin &&
                       io_frame->middle - end_snap - std::max(0.0, -at_end.lean) >= start_margin;
    if (!(span >= MIN_SPAN && clear)) {
        return false;
    }
    // Points at least a row apart along either axis, so that no two read
    // the same row; the span is finite here, so the count is in range.
    const double rows = span * std::min(at_start.share, at_end.share);
    io_frame->count = static_cast<int32_t>(std::min(rows, MAX_POINTS - 1.0)) + 1;
    io_frame->spacing = io_frame->count > 1 ? span / (io_frame->count - 1) : 0.0;
    return true;
}

int32_t VoARSubpixelEdges::locatePoints(const IVoARRgbPixelReader& i_reader, const TEdgeFrame& i_frame)
{
    int32_t found = 0;
    for (int32_t k = 0; k < i_frame.count; k++) {
        TEdgePoint& point = _points[static_cast<size_t>(found)];
        if (placePoint(i_frame, i_frame.first + k * i_frame.spacing, &point) && locateAcross(i_reader, &point)) {
            found++;
        }
    }
    if (found < MIN_INLIERS) {
        return found;
    }
    const TMidLevel mids = fitMidLevel(found);
    for (size_t k = 0; k < static_cast<size_t>(found); k++) {
        const TEdgePoint& point = _points[k];
        // Each profile's area was weighed against its own mid level, read
        // from a few noisy pixels; against the edge's, the step lies farther
        // out by the difference over the contrast per unit of profile length.
        // A point whose own level stands out of the noise sees something
        // else (an object) and keeps it.
        const TProfileStep& step = point.step;
        const double deviation = step.mid - mids.level - mids.slope * (point.along - mids.mean_along);
        const bool level = mids.usable && std::fabs(deviation) <= LEVEL_OUTLIER * mids.noise;
        const double offset = level ? step.offset - 2.0 * point.half * deviation / step.contrast : step.offset;
        const double at = point.start + point.sign * offset;
        TVoARDoublePoint_t ideal;
        if (point.axis == 0) {
            _distortion->observ2Ideal(at, point.line, &ideal);
        } else {
            _distortion->observ2Ideal(point.line, at, &ideal);
        }
        _x[k] = ideal.x;
        _y[k] = ideal.y;
    }
    return found;
}

bool VoARSubpixelEdges::placePoint(const TEdgeFrame& i_frame, double i_along, TEdgePoint* o_point) const
{
    const TVoARDoublePoint_t ideal = {i_frame.start.x + i_along * i_frame.tangent.x,
                                      i_frame.start.y + i_along * i_frame.tangent.y};
    const TVoARDoublePoint_t ahead = {ideal.x + TANGENT_STEP * i_frame.tangent.x,
                                      ideal.y + TANGENT_STEP * i_frame.tangent.y};
    TVoARDoublePoint_t foot;
    TVoARDoublePoint_t seen_ahead;
    _distortion->ideal2Observ(&ideal, &foot);
    _distortion->ideal2Observ(&ahead, &seen_ahead);
    const double dx = seen_ahead.x - foot.x;
    const double dy = seen_ahead.y - foot.y;
    const double length = std::hypot(dx, dy);
    // Along the profile's axis (a) and across it (b), in observed pixels.
    const int32_t axis = i_along < i_frame.middle ? i_frame.start_axis : i_frame.end_axis;
    const bool along_x = axis == 0;
    const double foot_a = along_x ? foot.x : foot.y;
    const double foot_b = along_x ? foot.y : foot.x;
    const double tangent_a = (along_x ? dx : dy) / length;
    const double tangent_b = (along_x ? dy : dx) / length;
    // The outward normal's share along the axis, +-tangent_b.
    const double normal_a = along_x ? i_frame.outward * tangent_b : -i_frame.outward * tangent_b;
    // Fails for NaN too, and for a foot too far off to convert.
    if (!(std::fabs(normal_a) >= MIN_AXIS_SHARE && std::fabs(foot_b) < INT32_MAX)) {
        return false;
    }
    const double line = std::round(foot_b);
    o_point->along = i_along;
    o_point->axis = axis;
    o_point->line = static_cast<int32_t>(line);
    o_point->start = foot_a + (line - foot_b) * tangent_a / tangent_b;
    o_point->sign = normal_a < 0.0 ? -1.0 : 1.0;
    o_point->half = i_frame.reach / std::fabs(normal_a);
    return true;
}

bool VoARSubpixelEdges::locateAcross(const IVoARRgbPixelReader& i_reader, TEdgePoint* io_point)
{
    const int32_t axis = io_point->axis;
    // Every profile centred within the half-length of the start lies within
    // twice that: read those pixels once (as far as the frame goes).
    const double size = axis == 0 ? _width : _height;
    const double from = std::max(0.0, io_point->start - 2.0 * io_point->half);
    const double to = std::min(size - 1.0, io_point->start + 2.0 * io_point->half + 1.0);
    // Checked in doubles before converting (NaN fails too).
    if (!(from < to)) {
        return false;
    }
    const int32_t first = static_cast<int32_t>(from);
    if (!readRow(i_reader, axis, io_point->line, first, static_cast<int32_t>(to))) {
        return false;
    }
    double centre = 0.0;
    TProfileStep found;
    if (!readStep(*io_point, first, static_cast<int32_t>(to), centre, &found)) {
        return false;
    }
    // found.offset is about slope * (step - centre).
    double slope = 1.0;
    for (int32_t pass = 1; pass < MAX_PROFILE_PASSES; pass++) {
        const double next = centre + found.offset / slope;
        if (std::fabs(next - centre) < CONVERGED) {
            // The step as the last profile puts it against its own levels,
            // which locatePoints corrects to the edge's.
            io_point->step = {centre + found.offset, found.mid, found.contrast};
            return true;
        }
        // The step lies beyond what the first profile saw.
        if (!(std::fabs(next) < io_point->half)) {
            return false;
        }
        TProfileStep next_found;
        if (!readStep(*io_point, first, static_cast<int32_t>(to), next, &next_found)) {
            return false;
        }
        // The secant of the last two profiles; next differs from centre.
        slope = std::clamp((found.offset - next_found.offset) / (next - centre), MIN_SLOPE, 1.0);
        centre = next;
        found = next_found;
    }
    return false;
}

bool VoARSubpixelEdges::readStep(const TEdgePoint& i_point, int32_t i_first, int32_t i_last, double i_centre,
                                 TProfileStep* o_step) const
{
    const double centre = i_point.start + i_point.sign * i_centre;
    const double from = centre - i_point.half;
    const double to = centre + i_point.half;
    // The interpolation at to reads the pixel after it.
    if (!(from >= i_first && to < i_last)) {
        return false;
    }
    const double low = rowAt(i_first, from + 0.5 * LEVEL_LENGTH);
    const double high = rowAt(i_first, to - 0.5 * LEVEL_LENGTH);
    const double contrast = i_point.sign * (high - low);
    if (!(contrast >= MIN_CONTRAST)) {
        return false;
    }
    // A step from dark to bright at offset e outwards from the centre of a
    // profile of length L encloses the area mid * L - e * contrast under it,
    // whichever way the profile runs and whatever symmetric blur spreads the
    // step: solve for e.
    const double area = rowIntegral(i_first, from, to);
    o_step->mid = 0.5 * (low + high);
    o_step->contrast = contrast;
    o_step->offset = (o_step->mid * (to - from) - area) / contrast;
    return true;
}

bool VoARSubpixelEdges::readRow(const IVoARRgbPixelReader& i_reader, int32_t i_axis, int32_t i_line, int32_t i_first,
                                int32_t i_last)
{
    const int32_t count = i_last - i_first + 1;
    if (count > MAX_PROFILE_PIXELS || i_line < 0 || i_line >= (i_axis == 0 ? _height : _width)) {
        return false;
    }
    for (int32_t i = 0; i < count; i++) {
        _pixel_x[static_cast<size_t>(i)] = i_axis == 0 ? i_first + i : i_line;
        _pixel_y[static_cast<size_t>(i)] = i_axis == 0 ? i_line : i_first + i;
    }
    i_reader.getPixelSet(_pixel_x.data(), _pixel_y.data(), count, _rgb.data());
    for (size_t i = 0; i < static_cast<size_t>(count); i++) {
        _row[i] = _rgb[3 * i] + _rgb[3 * i + 1] + _rgb[3 * i + 2];
    }
    _row_area[0] = 0.0;
    for (size_t i = 1; i < static_cast<size_t>(count); i++) {
        _row_area[i] = _row_area[i - 1] + 0.5 * (_row[i - 1] + _row[i]);
    }
    return true;
}

double VoARSubpixelEdges::rowIntegral(int32_t i_first, double i_from, double i_to) const
{
    return rowPrimitive(i_first, i_to) - rowPrimitive(i_first, i_from);
}

double VoARSubpixelEdges::rowPrimitive(int32_t i_first, double i_at) const
{
    // The interpolation is linear between pixel centres: the area up to the
    // pixel before i_at, then the trapezoid from that pixel to i_at.
    const double base = std::floor(i_at);
    const size_t i = static_cast<size_t>(base - i_first);
    const double f = i_at - base;
    return _row_area[i] + f * (_row[i] + 0.5 * f * (_row[i + 1] - _row[i]));
}

double VoARSubpixelEdges::rowAt(int32_t i_first, double i_at) const
{
    const double base = std::floor(i_at);
    const size_t i = static_cast<size_t>(base - i_first);
    const double f = i_at - base;
    return (1.0 - f) * _row[i] + f * _row[i + 1];
}

VoARSubpixelEdges::TMidLevel VoARSubpixelEdges::fitMidLevel(int32_t i_count)
{
    // Theil and Sen's line, from the pairs of points half the edge apart
    // (the median of their slopes, then the median intercept), which the
    // points under an object do not move: light and background may change
    // along an edge. On a short edge the slope is mostly noise, which would
    // tilt the edge, so it is shrunk towards 0 by its variance, and dropped
    // when under SLOPE_KEEP variances.
    const size_t count = static_cast<size_t>(i_count);
    const size_t gap = count / 2;
    TMidLevel mids;
    mids.mean_along = 0.0;
    for (size_t k = 0; k < count; k++) {
        mids.mean_along += _points[k].along;
        if (k + gap < count) {
            const TEdgePoint& a = _points[k];
            const TEdgePoint& b = _points[k + gap];
            _scratch[k] = (b.step.mid - a.step.mid) / (b.along - a.along);
        }
    }
    mids.mean_along /= i_count;
    mids.slope = medianOf(_scratch.data(), static_cast<int32_t>(count - gap));
    mids.level = medianLevel(i_count, mids.slope, mids.mean_along);
    double spread = 0.0;
    for (size_t k = 0; k < count; k++) {
        const double along = _points[k].along - mids.mean_along;
        _scratch[k] = std::fabs(_points[k].step.mid - mids.level - mids.slope * along);
        spread += along * along;
    }
    mids.noise = MAD_SCALE * medianOf(_scratch.data(), i_count);
    const double variance = mids.noise * mids.noise / spread;
    const double slope2 = mids.slope * mids.slope;
    mids.slope = slope2 > SLOPE_KEEP * variance ? mids.slope - SLOPE_KEEP * variance / mids.slope : 0.0;
    mids.level = medianLevel(i_count, mids.slope, mids.mean_along);
    // The scatter of neighbours' differences is the noise alone, whatever
    // the levels do along the edge; a line that leaves the points scattered
    // much more widely than that does not describe them (another background
    // behind part of the edge).
    for (size_t k = 0; k + 1 < count; k++) {
        _scratch[k] = std::fabs(_points[k + 1].step.mid - _points[k].step.mid);
    }
    const double neighbour_noise = MAD_SCALE * medianOf(_scratch.data(), i_count - 1) / std::sqrt(2.0);
    mids.usable = mids.noise <= LEVEL_CONSISTENCY * neighbour_noise;
    return mids;
}

double VoARSubpixelEdges::medianLevel(int32_t i_count, double i_slope, double i_mean_along)
{
    for (size_t k = 0; k < static_cast<size_t>(i_count); k++) {
        _scratch[k] = _points[k].step.mid - i_slope * (_points[k].along - i_mean_along);
    }
    return medianOf(_scratch.data(), i_count);
}

bool VoARSubpixelEdges::fitLine(int32_t i_count, int32_t i_planned, const double* i_coarse, double* o_line)
{
    const int32_t needed = std::max(MIN_INLIERS, static_cast<int32_t>(std::ceil(MIN_INLIER_SHARE * i_planned)));
    if (i_count < needed) {
        return false;
    }
    if (!seedLine(i_count, o_line)) {
        return false;
    }
    for (int32_t round = 0; round < REFIT_ROUNDS; round++) {
        if (selectInliers(i_count, o_line) < needed) {
            return false;
        }
        fitInliers(i_count, o_line);
    }
    if (o_line[0] * i_coarse[0] + o_line[1] * i_coarse[1] < 0.0) {
        for (int32_t j = 0; j < 3; j++) {
            o_line[j] = -o_line[j];
        }
    }
    return true;
}

bool VoARSubpixelEdges::seedLine(int32_t i_count, double* o_line) const
{
    // Lines through pairs half and a quarter of the points apart, up to
    // SEED_PAIRS of each spread along the edge: an object over up to half of
    // the edge from one end still leaves pairs of good points.
    int32_t best = 0;
    for (int32_t gap : {i_count / 2, i_count / 4}) {
        const int32_t pairs = i_count - gap;
        const int32_t stride = (pairs + SEED_PAIRS - 1) / SEED_PAIRS;
        for (int32_t k = 0; k < pairs; k += stride) {
            const size_t a = static_cast<size_t>(k);
            const size_t b = static_cast<size_t>(k + gap);
            double line[3];
            if (!lineThrough(_x[a], _y[a], _x[b], _y[b], line)) {
                continue;
            }
            int32_t near = 0;
            for (size_t j = 0; j < static_cast<size_t>(i_count); j++) {
                near += std::fabs(signedDistance(line, _x[j], _y[j])) <= SEED_DISTANCE ? 1 : 0;
            }
            if (near > best) {
                best = near;
                std::copy(line, line + 3, o_line);
            }
        }
    }
    return best > 0;
}

int32_t VoARSubpixelEdges::selectInliers(int32_t i_count, const double* i_line)
{
    const double threshold = std::max(OUTLIER_FACTOR * medianDistance(i_count, i_line), MIN_OUTLIER_DISTANCE);
    int32_t inliers = 0;
    for (size_t k = 0; k < static_cast<size_t>(i_count); k++) {
        _inlier[k] = std::fabs(signedDistance(i_line, _x[k], _y[k])) <= threshold;
        inliers += _inlier[k] ? 1 : 0;
    }
    return inliers;
}

double VoARSubpixelEdges::medianDistance(int32_t i_count, const double* i_line)
{
    for (size_t k = 0; k < static_cast<size_t>(i_count); k++) {
        _scratch[k] = std::fabs(signedDistance(i_line, _x[k], _y[k]));
    }
    return medianOf(_scratch.data(), i_count);
}

void VoARSubpixelEdges::fitInliers(int32_t i_count, double* o_line) const
{
    double n = 0.0;
    double mx = 0.0;
    double my = 0.0;
    for (size_t k = 0; k < static_cast<size_t>(i_count); k++) {
        if (_inlier[k]) {
            n += 1.0;
            mx += _x[k];
            my += _y[k];
        }
    }
    mx /= n;
    my /= n;
    double sxx = 0.0;
    double sxy = 0.0;
    double syy = 0.0;
    for (size_t k = 0; k < static_cast<size_t>(i_count); k++) {
        if (_inlier[k]) {
            const double dx = _x[k] - mx;
            const double dy = _y[k] - my;
            sxx += dx * dx;
            sxy += dx * dy;
            syy += dy * dy;
        }
    }
    // The points' major axis is at angle theta; the line's normal is
    // (-sin theta, cos theta), so B = -sin theta and A = cos theta.
    const double theta = 0.5 * std::atan2(2.0 * sxy, sxx - syy);
    o_line[0] = std::cos(theta);
    o_line[1] = -std::sin(theta);
    o_line[2] = -(o_line[1] * mx + o_line[0] * my);
}

}  // namespace VoTrack
