#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "../support/SyntheticSquare.h"
#include "VoARCameraDistortionFactor.h"
#include "VoARRgbRaster_BGRA.h"
#include "VoARSquare.h"
#include "VoARSubpixelEdges.h"

using namespace VoTrack;
using namespace VoTrackTest;

namespace {

constexpr int32_t WIDTH = 640;
constexpr int32_t HEIGHT = 480;
// Grey levels of the drawn marker's border and picture, and of the frame.
constexpr double DARK = 30.0;
constexpr double BRIGHT = 210.0;
// Refined corners of an exactly drawn marker lie this close to its drawn
// vertices (pixels): what is left is the rounding of grey levels to bytes.
constexpr double CORNER_TOLERANCE = 0.01;
// Coarse corners are the drawn ones moved by up to this much (pixels), as
// far as the detector's are off.
constexpr double COARSE_ERROR = 1.0;
// Refined lines pass through the refined corners to rounding (pixels).
constexpr double LINE_TOLERANCE = 1e-9;

using Outline = std::array<TVoARDoublePoint_t, 4>;

// The part of convex polygon i_polygon on the side x * i_sx + y * i_sy <=
// i_limit (one side of a pixel's square), clipped in place.
void clipHalfPlane(std::vector<TVoARDoublePoint_t>* io_polygon, double i_sx, double i_sy, double i_limit)
{
    std::vector<TVoARDoublePoint_t> out;
    const std::vector<TVoARDoublePoint_t>& in = *io_polygon;
    for (size_t i = 0; i < in.size(); i++) {
        const TVoARDoublePoint_t& a = in[i];
        const TVoARDoublePoint_t& b = in[(i + 1) % in.size()];
        const double da = a.x * i_sx + a.y * i_sy - i_limit;
        const double db = b.x * i_sx + b.y * i_sy - i_limit;
        if (da <= 0.0) {
            out.push_back(a);
        }
        if ((da < 0.0) != (db < 0.0) && da != db) {
            const double f = da / (da - db);
            out.push_back({a.x + f * (b.x - a.x), a.y + f * (b.y - a.y)});
        }
    }
    *io_polygon = out;
}

// Share of pixel (i_x, i_y), the square [x - 0.5, x + 0.5] x [y - 0.5,
// y + 0.5], that the convex outline covers: the clipped polygon's area.
double coverage(const Outline& i_outline, int32_t i_x, int32_t i_y)
{
    std::vector<TVoARDoublePoint_t> polygon(i_outline.begin(), i_outline.end());
    clipHalfPlane(&polygon, 1, 0, i_x + 0.5);
    clipHalfPlane(&polygon, -1, 0, -(i_x - 0.5));
    clipHalfPlane(&polygon, 0, 1, i_y + 0.5);
    clipHalfPlane(&polygon, 0, -1, -(i_y - 0.5));
    double twice_area = 0.0;
    for (size_t i = 0; i < polygon.size(); i++) {
        const TVoARDoublePoint_t& a = polygon[i];
        const TVoARDoublePoint_t& b = polygon[(i + 1) % polygon.size()];
        twice_area += a.x * b.y - b.x * a.y;
    }
    return 0.5 * std::fabs(twice_area);
}

// A frame of BRIGHT holding a marker drawn exactly: each pixel is the mean
// of the grey levels over its square (the black border between the outer
// and inner outlines, the bright picture inside), rounded to a byte.
class AnalyticFrame
{
public:
    AnalyticFrame() : _bytes(4 * WIDTH * HEIGHT), _raster(_bytes.data(), WIDTH, HEIGHT) { fill(BRIGHT); }

    void fill(double i_level)
    {
        for (size_t i = 0; i < _bytes.size(); i++) {
            _bytes[i] = static_cast<uint8_t>(i % 4 == 3 ? 255 : std::lround(i_level));
        }
    }

    void drawMarker(const Outline& i_outer, const Outline& i_inner, double i_border_level)
    {
        double left = WIDTH;
        double right = 0.0;
        double top = HEIGHT;
        double bottom = 0.0;
        for (const TVoARDoublePoint_t& p : i_outer) {
            left = std::min(left, p.x);
            right = std::max(right, p.x);
            top = std::min(top, p.y);
            bottom = std::max(bottom, p.y);
        }
        const int32_t x0 = std::max(0, static_cast<int32_t>(std::floor(left)) - 1);
        const int32_t x1 = std::min(WIDTH - 1, static_cast<int32_t>(std::ceil(right)) + 1);
        const int32_t y0 = std::max(0, static_cast<int32_t>(std::floor(top)) - 1);
        const int32_t y1 = std::min(HEIGHT - 1, static_cast<int32_t>(std::ceil(bottom)) + 1);
        for (int32_t y = y0; y <= y1; y++) {
            for (int32_t x = x0; x <= x1; x++) {
                const double border = coverage(i_outer, x, y) - coverage(i_inner, x, y);
                const double level = BRIGHT + border * (i_border_level - BRIGHT);
                uint8_t* pixel = &_bytes[4 * (static_cast<size_t>(y) * WIDTH + x)];
                pixel[0] = pixel[1] = pixel[2] = static_cast<uint8_t>(std::lround(level));
            }
        }
    }

    const VoARRgbRaster_BGRA& raster() const { return _raster; }

private:
    std::vector<uint8_t> _bytes;
    VoARRgbRaster_BGRA _raster;
};

// A marker's outline and its picture's outline (half as wide), in pixels.
struct TDrawnMarker
{
    Vertices outer;
    Vertices inner;
};

// A marker of i_size_px pixels across, turned i_in_plane_deg on the screen
// and tilted i_tilt_deg about an axis at i_tilt_axis_deg, centred near the
// principal point with a sub-pixel offset, through the test camera.
TDrawnMarker placeMarker(double i_size_px, double i_in_plane_deg, double i_tilt_axis_deg, double i_tilt_deg,
                         std::mt19937& io_rng)
{
    Pose pose;
    pose.r = facingRotation(i_in_plane_deg * PI / 180, i_tilt_axis_deg * PI / 180, i_tilt_deg * PI / 180);
    pose.t[2] = CAMERA_P[0] * MARKER_WIDTH / i_size_px;
    // Up to a pixel off the principal point, in depth units.
    pose.t[0] = uniform(io_rng, -1.0, 1.0) * pose.t[2] / CAMERA_P[0];
    pose.t[1] = uniform(io_rng, -1.0, 1.0) * pose.t[2] / CAMERA_P[0];
    return {projectMarker(pose, MARKER_WIDTH, 0.0, io_rng), projectMarker(pose, 0.5 * MARKER_WIDTH, 0.0, io_rng)};
}

Outline outlineOf(const Vertices& i_vertices)
{
    return {i_vertices[0], i_vertices[1], i_vertices[2], i_vertices[3]};
}

// The detector's record of the marker, its corners each moved up to
// COARSE_ERROR pixels in a random direction.
VoARSquare coarseSquare(const Vertices& i_vertices, std::mt19937& io_rng)
{
    Vertices moved = i_vertices;
    for (TVoARDoublePoint_t& corner : moved) {
        const double angle = uniform(io_rng, 0.0, 2 * PI);
        const double distance = uniform(io_rng, 0.0, COARSE_ERROR);
        corner.x += distance * std::cos(angle);
        corner.y += distance * std::sin(angle);
    }
    return squareFromVertices(moved);
}

double cornerError(const VoARSquare& i_square, int32_t i_corner, const Vertices& i_truth)
{
    return std::hypot(i_square.ideal_vertices[i_corner][0] - i_truth[static_cast<size_t>(i_corner)].x,
                      i_square.ideal_vertices[i_corner][1] - i_truth[static_cast<size_t>(i_corner)].y);
}

bool sameRecord(const VoARSquare& i_a, const VoARSquare& i_b)
{
    return std::memcmp(&i_a, &i_b, sizeof(VoARSquare)) == 0;
}

// Refinement in a 640 x 480 frame without lens distortion, so that ideal
// and observed coordinates agree.
class SubpixelEdgesTest : public ::testing::Test
{
protected:
    SubpixelEdgesTest() : _edges(&_identity, WIDTH, HEIGHT), _rng(7) {}

    // Draws a marker; returns the coarse square of it.
    VoARSquare drawMarker(double i_size_px, double i_in_plane_deg, double i_tilt_deg)
    {
        const double tilt_axis_deg = uniform(_rng, 0.0, 360.0);
        _marker = placeMarker(i_size_px, i_in_plane_deg, tilt_axis_deg, i_tilt_deg, _rng);
        _frame.drawMarker(outlineOf(_marker.outer), outlineOf(_marker.inner), DARK);
        return coarseSquare(_marker.outer, _rng);
    }

    // Expects refine to fail and leave the square as it was.
    void expectUnchanged(VoARSquare i_square)
    {
        const VoARSquare before = i_square;
        EXPECT_FALSE(_edges.refine(_frame.raster(), &i_square));
        EXPECT_TRUE(sameRecord(i_square, before));
    }

    VoARCameraDistortionFactor _identity;
    VoARSubpixelEdges _edges;
    AnalyticFrame _frame;
    TDrawnMarker _marker;
    std::mt19937 _rng;
};

// Marker size (pixels across), in-plane angle and tilt (degrees).
class SubpixelEdgesAnalyticTest : public SubpixelEdgesTest,
                                  public ::testing::WithParamInterface<std::tuple<double, double, double>>
{
};

TEST_P(SubpixelEdgesAnalyticTest, CornersMatchTheDrawnVertices)
{
    const auto [size_px, in_plane_deg, tilt_deg] = GetParam();
    _rng.seed(static_cast<uint32_t>(size_px * 10000 + in_plane_deg * 100 + tilt_deg));
    VoARSquare square = drawMarker(size_px, in_plane_deg, tilt_deg);
    const VoARSquare coarse = square;
    ASSERT_TRUE(_edges.refine(_frame.raster(), &square));
    for (int32_t i = 0; i < 4; i++) {
        EXPECT_LT(cornerError(square, i, _marker.outer), CORNER_TOLERANCE)
            << "corner " << i << " coarse error " << cornerError(coarse, i, _marker.outer);
    }
}

// The pose estimator reads the refined record as it reads the detector's:
// unit (A, B), edge i through corners i and i + 1, each line's sign kept
// (the detector's signs are arbitrary: edges 1 and 3 get the other one
// here) and the image corners untouched.
TEST_P(SubpixelEdgesAnalyticTest, RecordKeepsTheSquareConventions)
{
    const auto [size_px, in_plane_deg, tilt_deg] = GetParam();
    _rng.seed(static_cast<uint32_t>(size_px * 10000 + in_plane_deg * 100 + tilt_deg + 1));
    VoARSquare square = drawMarker(size_px, in_plane_deg, tilt_deg);
    for (int32_t i : {1, 3}) {
        for (double& coefficient : square.edge_lines[i]) {
            coefficient = -coefficient;
        }
    }
    const VoARSquare coarse = square;
    ASSERT_TRUE(_edges.refine(_frame.raster(), &square));
    for (int32_t i = 0; i < 4; i++) {
        const double* line = square.edge_lines[i];
        EXPECT_NEAR(std::hypot(line[0], line[1]), 1.0, LINE_TOLERANCE);
        EXPECT_GT(line[0] * coarse.edge_lines[i][0] + line[1] * coarse.edge_lines[i][1], 0.0) << "edge " << i;
        for (int32_t k : {i, (i + 1) % 4}) {
            const double* corner = square.ideal_vertices[k];
            EXPECT_NEAR(line[1] * corner[0] + line[0] * corner[1] + line[2], 0.0, LINE_TOLERANCE)
                << "edge " << i << " corner " << k;
        }
        EXPECT_EQ(square.image_vertices[i][0], coarse.image_vertices[i][0]);
        EXPECT_EQ(square.image_vertices[i][1], coarse.image_vertices[i][1]);
    }
}

INSTANTIATE_TEST_SUITE_P(SizesAnglesTilts, SubpixelEdgesAnalyticTest,
                         ::testing::Combine(::testing::Values(30.0, 60.0, 150.0, 300.0),
                                            ::testing::Values(0.0, 8.0, 30.0, 45.0),
                                            ::testing::Values(0.0, 40.0)));

TEST_F(SubpixelEdgesTest, BlankFrameLeavesTheSquareUnchanged)
{
    const VoARSquare square = drawMarker(100.0, 10.0, 0.0);
    _frame.fill(BRIGHT);
    expectUnchanged(square);
}

// The coarse square 6 pixels off the marker: every edge out of reach.
TEST_F(SubpixelEdgesTest, SquareAwayFromTheMarkerIsLeftUnchanged)
{
    VoARSquare square = drawMarker(100.0, 10.0, 0.0);
    for (int32_t i = 0; i < 4; i++) {
        square.ideal_vertices[i][0] += 6.0;
    }
    for (int32_t i = 0; i < 4; i++) {
        lineThrough(square.ideal_vertices[i], square.ideal_vertices[(i + 1) % 4], square.edge_lines[i]);
    }
    expectUnchanged(square);
}

// A light square on a dark ground has its steps the wrong way round.
TEST_F(SubpixelEdgesTest, InvertedContrastLeavesTheSquareUnchanged)
{
    _frame.fill(DARK);
    _marker = placeMarker(100.0, 10.0, 0.0, 0.0, _rng);
    _frame.drawMarker(outlineOf(_marker.outer), outlineOf(_marker.inner), BRIGHT);
    expectUnchanged(coarseSquare(_marker.outer, _rng));
}

// Too small to place points clear of the corners, or of no size at all.
TEST_F(SubpixelEdgesTest, TinyOrCollapsedSquareIsLeftUnchanged)
{
    expectUnchanged(drawMarker(6.0, 10.0, 0.0));
    VoARSquare collapsed = drawMarker(100.0, 10.0, 0.0);
    for (int32_t i = 1; i < 4; i++) {
        collapsed.ideal_vertices[i][0] = collapsed.ideal_vertices[0][0];
        collapsed.ideal_vertices[i][1] = collapsed.ideal_vertices[0][1];
    }
    expectUnchanged(collapsed);
}

// Corners at infinity and not-a-number come from degenerate detections.
TEST_F(SubpixelEdgesTest, NonFiniteCornersLeaveTheSquareUnchanged)
{
    for (double bad : {INFINITY, NAN}) {
        VoARSquare square = drawMarker(100.0, 10.0, 0.0);
        square.ideal_vertices[2][1] = bad;
        expectUnchanged(square);
    }
}

// A marker crossing the frame's edge: one edge lies wholly outside it.
TEST_F(SubpixelEdgesTest, EdgeOffTheFrameLeavesTheSquareUnchanged)
{
    const Outline outer = {{{-30.0, 100.0}, {80.0, 100.0}, {80.0, 210.0}, {-30.0, 210.0}}};
    const Outline inner = {{{-2.5, 127.5}, {52.5, 127.5}, {52.5, 182.5}, {-2.5, 182.5}}};
    _frame.drawMarker(outer, inner, DARK);
    expectUnchanged(squareFromVertices({outer[0], outer[1], outer[2], outer[3]}));
}

// Corner 0 moved 4 pixels along edge 0: every edge is still found, and
// corner 0 comes back farther than MAX_CORNER_SHIFT from where it was.
TEST_F(SubpixelEdgesTest, CornerMovingTooFarLeavesTheSquareUnchanged)
{
    drawMarker(100.0, 10.0, 0.0);
    Vertices moved = _marker.outer;
    const double dx = moved[1].x - moved[0].x;
    const double dy = moved[1].y - moved[0].y;
    const double length = std::hypot(dx, dy);
    moved[0].x += 4.0 * dx / length;
    moved[0].y += 4.0 * dy / length;
    expectUnchanged(squareFromVertices(moved));
}

TEST_F(SubpixelEdgesTest, RasterOfAnotherSizeLeavesTheSquareUnchanged)
{
    VoARSquare square = drawMarker(100.0, 10.0, 0.0);
    std::vector<uint8_t> smaller(4 * 320 * 240, 128);
    const VoARRgbRaster_BGRA other(smaller.data(), 320, 240);
    const VoARSquare before = square;
    EXPECT_FALSE(_edges.refine(other, &square));
    EXPECT_TRUE(sameRecord(square, before));
}

}  // namespace
