#include "VoARSquareDetector.h"

#include <algorithm>
#include <limits>

#include "VoARException.h"

namespace VoTrack {

namespace {

// Longest outline accepted for a w x h frame: 2 x (w + h) points. The
// outline arrays hold twice that, so the frame must keep 4 x (w + h) within
// 32 bits.
int32_t maxContourFor(const TVoARIntSize* i_size)
{
    const int64_t limit = 2 * (static_cast<int64_t>(i_size->w) + i_size->h);
    if (2 * limit > std::numeric_limits<int32_t>::max()) {
        throw VoARException();
    }
    return static_cast<int32_t>(limit);
}

// The frame width, once the outline limit is known to hold: checked before
// the frame-sized tables are built, so an impossible frame costs nothing.
int32_t checkedWidth(const TVoARIntSize* i_size)
{
    maxContourFor(i_size);
    return i_size->w;
}

// Share of an edge's points dropped at each end before the line fit: the
// outline bends there.
constexpr double EDGE_TRIM = 0.05;

}  // namespace

VoARSquareDetector::VoARSquareDetector(const IVoARCameraDistortionFactor* i_dist_factor, const TVoARIntSize* i_size)
    : _width(checkedWidth(i_size)),
      _height(i_size->h),
      _label_image(std::make_unique<VoARLabelingImage>(i_size->w, i_size->h)),
      _ideal_map(std::make_unique<VoARObserv2IdealMap>(i_dist_factor, i_size)),
      _labeling(std::make_unique<VoARLabeling_Kestrel>()),
      _pca(std::make_unique<VoARPca2d_MatrixPCA_O2>()),
      _accepted(std::make_unique<VoARAcceptedLabelList>()),
      _max_contour(maxContourFor(i_size)),
      _area_min(AREA_MIN),
      _area_max(AREA_MAX)
{
    _ideal_x = std::make_unique<double[]>(static_cast<std::size_t>(_max_contour));
    _ideal_y = std::make_unique<double[]>(static_cast<std::size_t>(_max_contour));
    _contour_x = std::make_unique<int32_t[]>(static_cast<std::size_t>(_max_contour) * 2);
    _contour_y = std::make_unique<int32_t[]>(static_cast<std::size_t>(_max_contour) * 2);
    _labeling->attachLabelImage(_label_image.get());
}

VoARSquareDetector::~VoARSquareDetector() = default;

void VoARSquareDetector::detectSquares(const IVoARRaster* i_raster, VoARSquareStack* o_square_stack)
{
    o_square_stack->clear();
    _labeling->labeling(*i_raster);
    searchSquares(o_square_stack);
}

void VoARSquareDetector::detectSquaresInDarkMask(const uint8_t* i_dark, VoARSquareStack* o_square_stack)
{
    o_square_stack->clear();
    _labeling->labelingDark(i_dark);
    searchSquares(o_square_stack);
}

void VoARSquareDetector::searchSquares(VoARSquareStack* o_square_stack)
{
    VoARLabelingLabelStack* labels = _label_image->getLabelStack();
    const int32_t label_count = labels->getLength();
    if (label_count < 1) {
        return;
    }
    labels->sortByArea();
    VoARLabelingLabel* const* sorted = labels->getArray();
    int32_t i = 0;
    while (i < label_count && sorted[i]->area > _area_max) {
        i++;
    }
    if (i == label_count) {
        return;
    }
    // Every accepted label has a square on the stack.
    _accepted->reset(std::min(label_count, o_square_stack->getCapacity()));
    for (; i < label_count; i++) {
        const VoARLabelingLabel& label = *sorted[i];
        // Largest first: no later region is large enough either.
        if (label.area < _area_min) {
            return;
        }
        if (isOnBorder(label) || _accepted->isOverlapped(label)) {
            continue;
        }
        int32_t start;
        int32_t count;
        if (!traceOutline(i, &start, &count)) {
            continue;
        }
        // A full stack ends the pass: the squares kept are the largest.
        if (o_square_stack->getLength() >= o_square_stack->getCapacity()) {
            return;
        }
        VoARSquare* square = o_square_stack->pushNew();
        int32_t corners[5];
        if (!findCorners(start, count, label.area, corners) || !fitSquare(corners, square)) {
            o_square_stack->pop();
            continue;
        }
        _accepted->append(&label);
    }
}

void VoARSquareDetector::reserve(int32_t i_square_capacity)
{
    _accepted->reset(i_square_capacity);
}

void VoARSquareDetector::setAreaLimits(int32_t i_min, int32_t i_max)
{
    _area_min = i_min;
    _area_max = i_max;
}

bool VoARSquareDetector::isOnBorder(const VoARLabelingLabel& i_label) const
{
    return i_label.left == 1 || i_label.right == _width - 2 || i_label.top == 1 || i_label.bottom == _height - 2;
}

bool VoARSquareDetector::traceOutline(int32_t i_label_index, int32_t* o_start, int32_t* o_count)
{
    int32_t* x = _contour_x.get();
    int32_t* y = _contour_y.get();
    const int32_t count = _label_image->getContour(i_label_index, _max_contour, x, y);
    if (count == _max_contour) {
        return false;
    }
    // Points 1..f go behind the closing point, so points f..f+count-1 run
    // once around from the farthest point back to it; count < _max_contour
    // keeps them within the arrays.
    const int32_t farthest = farthestPoint(0, 1, count - 1);
    for (int32_t j = 1; j <= farthest; j++) {
        x[count + j - 1] = x[j];
        y[count + j - 1] = y[j];
    }
    *o_start = farthest;
    *o_count = count;
    return true;
}

int32_t VoARSquareDetector::farthestPoint(int32_t i_from, int32_t i_first, int32_t i_last) const
{
    const int32_t* x = _contour_x.get();
    const int32_t* y = _contour_y.get();
    int64_t best = 0;
    int32_t found = i_from;
    for (int32_t i = i_first; i <= i_last; i++) {
        const int64_t dx = x[i] - x[i_from];
        const int64_t dy = y[i] - y[i_from];
        const int64_t distance = dx * dx + dy * dy;
        if (distance > best) {
            best = distance;
            found = i;
        }
    }
    return found;
}

bool VoARSquareDetector::findCorners(int32_t i_start, int32_t i_count, int32_t i_area, int32_t* o_corners)
{
    const int32_t first = i_start;
    const int32_t last = i_start + i_count - 1;
    o_corners[0] = first;
    o_corners[4] = last;
    const int32_t opposite = farthestPoint(first, first + 1, last - 1);
    // Squared distance (pixels^2) from a chord beyond which a point is a
    // corner: grows with the region's area.
    const double threshold = i_area / 0.75 * 0.01;
    if (!splitInto(_corners_a, first, opposite, threshold) || !splitInto(_corners_b, opposite, last, threshold)) {
        return false;
    }
    const int32_t a = _corners_a.getCount();
    const int32_t b = _corners_b.getCount();
    if (a == 1 && b == 1) {
        o_corners[1] = _corners_a[0];
        o_corners[2] = opposite;
        o_corners[3] = _corners_b[0];
        return true;
    }
    if (a > 1 && b == 0) {
        // The farthest point is the last corner but one: split its half.
        if (!splitPair(first, first + (opposite - first) / 2, opposite, threshold)) {
            return false;
        }
        o_corners[1] = _corners_a[0];
        o_corners[2] = _corners_b[0];
        o_corners[3] = opposite;
        return true;
    }
    if (a == 0 && b > 1) {
        if (!splitPair(opposite, (last + opposite) / 2, last, threshold)) {
            return false;
        }
        o_corners[1] = opposite;
        o_corners[2] = _corners_a[0];
        o_corners[3] = _corners_b[0];
        return true;
    }
    return false;
}

bool VoARSquareDetector::splitPair(int32_t i_first, int32_t i_middle, int32_t i_last, double i_threshold)
{
    return splitInto(_corners_a, i_first, i_middle, i_threshold) &&
           splitInto(_corners_b, i_middle, i_last, i_threshold) && _corners_a.getCount() == 1 &&
           _corners_b.getCount() == 1;
}

bool VoARSquareDetector::splitInto(VoARCornerList& io_list, int32_t i_first, int32_t i_last,
                                   double i_threshold) const
{
    io_list.clear();
    return splitCorners(i_first, i_last, i_threshold, 0, io_list);
}

// Appends to io_list, in outline order, the corners of the stretch
// i_first..i_last: the point farthest from the chord when it is far enough,
// then the corners on either side of it. i_pending counts the enclosing
// calls still waiting to append their own point.
bool VoARSquareDetector::splitCorners(int32_t i_first, int32_t i_last, double i_threshold, int32_t i_pending,
                                      VoARCornerList& io_list) const
{
    const int32_t* x = _contour_x.get();
    const int32_t* y = _contour_y.get();
    // The chord as a*x + b*y + c = 0, in 64 bits so no frame size overflows.
    const int64_t a = y[i_last] - y[i_first];
    const int64_t b = x[i_first] - x[i_last];
    const int64_t c = static_cast<int64_t>(x[i_last]) * y[i_first] - static_cast<int64_t>(x[i_first]) * y[i_last];
    double best = 0.0;
    int32_t corner = 0;
    for (int32_t i = i_first + 1; i < i_last; i++) {
        const double d = static_cast<double>(a * x[i] + b * y[i] + c);
        if (d * d > best) {
            best = d * d;
            corner = i;
        }
    }
    // best / chord is the squared distance of that point from the chord. A
    // chord of zero length gives 0 / 0 (no corner) or best / 0 (a corner).
    const double chord = static_cast<double>(a * a + b * b);
    const bool is_corner = chord == 0.0 ? best > 0.0 : best / chord > i_threshold;
    if (!is_corner) {
        return true;
    }
    // This call and each pending one must still append with fewer than
    // MAX_COUNT entries stored; when that cannot be, the split fails anyway,
    // and failing now bounds the recursion on any outline.
    if (io_list.getCount() + i_pending >= VoARCornerList::MAX_COUNT) {
        return false;
    }
    if (!splitCorners(i_first, corner, i_threshold, i_pending + 1, io_list) || !io_list.append(corner)) {
        return false;
    }
    return splitCorners(corner, i_last, i_threshold, i_pending, io_list);
}

bool VoARSquareDetector::fitSquare(const int32_t* i_corners, VoARSquare* o_square)
{
    for (int i = 0; i < 4; i++) {
        if (!fitEdge(i_corners[i], i_corners[i + 1], o_square->edge_lines[i])) {
            return false;
        }
    }
    for (int i = 0; i < 4; i++) {
        // Corner i joins the edge before it, j, to edge i.
        const double* li = o_square->edge_lines[i];
        const double* lj = o_square->edge_lines[(i + 3) % 4];
        const double w1 = li[0] * lj[1] - lj[0] * li[1];
        if (w1 == 0.0) {
            return false;
        }
        o_square->ideal_vertices[i][0] = (lj[0] * li[2] - li[0] * lj[2]) / w1;
        o_square->ideal_vertices[i][1] = (li[1] * lj[2] - lj[1] * li[2]) / w1;
        o_square->image_vertices[i][0] = _contour_x[static_cast<std::size_t>(i_corners[i])];
        o_square->image_vertices[i][1] = _contour_y[static_cast<std::size_t>(i_corners[i])];
    }
    return true;
}

// Fits edge points i_first..i_last, less EDGE_TRIM of them at each end, as
// the line (A, B, C): B*x + A*y + C = 0 in ideal coordinates, (A, B) a unit
// vector. False when fewer than 2 points remain.
bool VoARSquareDetector::fitEdge(int32_t i_first, int32_t i_last, double* o_line)
{
    const double trim = (i_last - i_first + 1) * EDGE_TRIM + 0.5;
    const int32_t first = static_cast<int32_t>(i_first + trim);
    const int32_t last = static_cast<int32_t>(i_last - trim);
    const int32_t count = last - first + 1;
    if (count < 2) {
        return false;
    }
    // count is below _max_contour, the ideal buffers' length.
    _ideal_map->observ2IdealBatch(_contour_x.get(), _contour_y.get(), first, count, _ideal_x.get(), _ideal_y.get());
    double ev[2];
    double mean[2];
    _pca->computePca(_ideal_x.get(), _ideal_y.get(), count, &_evec, ev, mean);
    const double a = -_evec.m00;
    const double b = _evec.m01;
    o_line[0] = a;
    o_line[1] = b;
    o_line[2] = -(b * mean[0] + a * mean[1]);
    return true;
}

}  // namespace VoTrack
