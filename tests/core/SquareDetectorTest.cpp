#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "../support/PolygonRaster.h"
#include "TVoARIntSize.h"
#include "VoARAcceptedLabelList.h"
#include "VoARBinRaster.h"
#include "VoARCameraDistortionFactor.h"
#include "VoARCornerList.h"
#include "VoARException.h"
#include "VoARSquareDetector.h"
#include "VoARSquareStack.h"

// Counts every allocation of this program, to show that a warm detector
// allocates nothing per frame.
namespace {
int64_t g_allocations = 0;
}  // namespace

void* operator new(std::size_t i_size)
{
    g_allocations++;
    if (void* p = std::malloc(i_size == 0 ? 1 : i_size)) {
        return p;
    }
    throw std::bad_alloc();
}

// The compiler cannot tell that these replace the global operators, which
// pair new with free.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* i_pointer) noexcept
{
    std::free(i_pointer);
}

void operator delete(void* i_pointer, std::size_t) noexcept
{
    std::free(i_pointer);
}
#pragma GCC diagnostic pop

using namespace VoTrack;
using VoTrackTest::fillPolygon;
using VoTrackTest::fillPolygonMapped;
using VoTrackTest::fillRaster;
using VoTrackTest::fillRect;
using VoTrackTest::Polygon;
using VoTrackTest::PolygonPoint;

namespace {

const double PI = std::acos(-1.0);
// Line-fitted corners of a drawn polygon lie this close to its vertices
// (pixels): the outline runs through the centres of the edge pixels, up to
// a pixel inside the drawn edge.
constexpr double CORNER_TOLERANCE = 1.0;
// The outline pixel chosen as a corner lies this close to the vertex: the
// nearest pixel centre inside a corner of 70 degrees can be nearly 2 pixels
// away.
constexpr double IMAGE_CORNER_TOLERANCE = 2.0;

// Ideal coordinates equal to image coordinates, exactly.
class ExactIdentity : public IVoARCameraDistortionFactor
{
public:
    void ideal2Observ(const TVoARDoublePoint_t* i_in, TVoARDoublePoint_t* o_out) const override { *o_out = *i_in; }
    void ideal2ObservBatch(const TVoARDoublePoint_t* const* i_in, TVoARDoublePoint_t* o_out,
                           int32_t i_count) const override
    {
        for (int32_t i = 0; i < i_count; i++) {
            o_out[i] = *i_in[i];
        }
    }
    void observ2Ideal(double i_x, double i_y, TVoARDoublePoint_t* o_out) const override { *o_out = {i_x, i_y}; }
    void observ2IdealBatch(const int32_t* i_x, const int32_t* i_y, int32_t i_start, int32_t i_count, double* o_x,
                           double* o_y) const override
    {
        for (int32_t i = 0; i < i_count; i++) {
            o_x[i] = i_x[i_start + i];
            o_y[i] = i_y[i_start + i];
        }
    }
};

// A detector for one frame size with its binary frame and square stack.
class SquareDetectorTest : public ::testing::Test
{
protected:
    void build(int32_t i_width, int32_t i_height, const IVoARCameraDistortionFactor* i_distortion = nullptr)
    {
        const TVoARIntSize size{i_height, i_width};
        _detector = std::make_unique<VoARSquareDetector>(i_distortion ? i_distortion : &_identity, &size);
        _bin = std::make_unique<VoARBinRaster>(i_width, i_height);
        fillRaster(*_bin, 1);
    }
    int32_t detect()
    {
        _detector->detectSquares(_bin.get(), &_squares);
        return _squares.getLength();
    }
    const VoARSquare& square(int32_t i_index) const { return *_squares.getArray()[i_index]; }

    ExactIdentity _identity;
    std::unique_ptr<VoARSquareDetector> _detector;
    std::unique_ptr<VoARBinRaster> _bin;
    VoARSquareStack _squares{100};
};

double distance(double i_ax, double i_ay, double i_bx, double i_by)
{
    return std::hypot(i_ax - i_bx, i_ay - i_by);
}

// Expects the square's corners to be the quadrilateral's vertices in the same
// circular order, starting anywhere: ideal corners within CORNER_TOLERANCE of
// i_ideal, image corners within IMAGE_CORNER_TOLERANCE of i_image.
void expectCorners(const VoARSquare& i_square, const Polygon& i_ideal, const Polygon& i_image)
{
    int32_t shift = 0;
    for (int32_t k = 1; k < 4; k++) {
        if (distance(i_square.ideal_vertices[0][0], i_square.ideal_vertices[0][1], i_ideal[k].x, i_ideal[k].y) <
            distance(i_square.ideal_vertices[0][0], i_square.ideal_vertices[0][1], i_ideal[shift].x,
                     i_ideal[shift].y)) {
            shift = k;
        }
    }
    for (int32_t i = 0; i < 4; i++) {
        const PolygonPoint& ideal = i_ideal[(i + shift) % 4];
        const PolygonPoint& image = i_image[(i + shift) % 4];
        EXPECT_LT(distance(i_square.ideal_vertices[i][0], i_square.ideal_vertices[i][1], ideal.x, ideal.y),
                  CORNER_TOLERANCE)
            << "corner " << i << " at " << i_square.ideal_vertices[i][0] << "," << i_square.ideal_vertices[i][1]
            << " drawn at " << ideal.x << "," << ideal.y;
        EXPECT_LT(distance(i_square.image_vertices[i][0], i_square.image_vertices[i][1], image.x, image.y),
                  IMAGE_CORNER_TOLERANCE)
            << "image corner " << i;
    }
}

// Expects each edge line to be normalised and to pass through its two
// corners (ideal coordinates, to rounding).
void expectEdgesThroughCorners(const VoARSquare& i_square)
{
    for (int i = 0; i < 4; i++) {
        const double* line = i_square.edge_lines[i];
        EXPECT_NEAR(std::hypot(line[0], line[1]), 1.0, 1e-9) << "edge " << i;
        for (int corner : {i, (i + 1) % 4}) {
            const double* v = i_square.ideal_vertices[corner];
            EXPECT_NEAR(line[1] * v[0] + line[0] * v[1] + line[2], 0.0, 1e-6) << "edge " << i << " corner " << corner;
        }
    }
}

// ---- Exact results ------------------------------------------------------------------

TEST_F(SquareDetectorTest, FilledSquareGivesExactCornersAndLines)
{
    build(64, 64);
    fillRect(*_bin, 10, 10, 49, 49);
    ASSERT_EQ(detect(), 1);
    const VoARSquare& s = square(0);
    const int32_t corners[4][2] = {{49, 49}, {10, 49}, {10, 10}, {49, 10}};
    const double lines[4][3] = {{-1, 0, 49}, {0, 1, -10}, {-1, 0, 10}, {0, 1, -49}};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(s.image_vertices[i][0], corners[i][0]) << "corner " << i;
        EXPECT_EQ(s.image_vertices[i][1], corners[i][1]) << "corner " << i;
        EXPECT_EQ(s.ideal_vertices[i][0], corners[i][0]) << "corner " << i;
        EXPECT_EQ(s.ideal_vertices[i][1], corners[i][1]) << "corner " << i;
        for (int k = 0; k < 3; k++) {
            EXPECT_EQ(s.edge_lines[i][k], lines[i][k]) << "edge " << i << " coefficient " << k;
        }
    }
}

TEST_F(SquareDetectorTest, EmptyFrameGivesNoSquares)
{
    build(64, 48);
    EXPECT_EQ(detect(), 0);
}

TEST_F(SquareDetectorTest, SquaresComeOutLargestFirstAndTheStackIsClearedPerFrame)
{
    build(160, 80);
    fillRect(*_bin, 5, 5, 24, 24);
    fillRect(*_bin, 40, 5, 99, 64);
    fillRect(*_bin, 110, 5, 149, 44);
    ASSERT_EQ(detect(), 3);
    EXPECT_EQ(square(0).image_vertices[0][0] + square(0).image_vertices[2][0], 40 + 99);
    EXPECT_EQ(square(1).image_vertices[0][0] + square(1).image_vertices[2][0], 110 + 149);
    EXPECT_EQ(square(2).image_vertices[0][0] + square(2).image_vertices[2][0], 5 + 24);
    fillRaster(*_bin, 1);
    fillRect(*_bin, 5, 5, 24, 24);
    EXPECT_EQ(detect(), 1);
}

// ---- Area limits --------------------------------------------------------------------

// A rectangle with isolated bright holes inside: the holes change the area
// but not the outline, so only the area decides.
struct AreaCase
{
    int32_t width;
    int32_t height;
    int32_t holes;
    int32_t area;
    bool found;
};

class SquareDetectorAreaTest : public SquareDetectorTest, public ::testing::WithParamInterface<AreaCase> {};

TEST_P(SquareDetectorAreaTest, OnlyAreasFrom70To100000AreProcessed)
{
    const AreaCase c = GetParam();
    ASSERT_EQ(c.width * c.height - c.holes, c.area);
    build(c.width + 20, c.height + 20);
    fillRect(*_bin, 10, 10, 10 + c.width - 1, 10 + c.height - 1);
    const int32_t holes_per_row = (c.width - 3) / 2;
    for (int32_t i = 0; i < c.holes; i++) {
        const int32_t x = 12 + 2 * (i % holes_per_row);
        const int32_t y = 12 + 2 * (i / holes_per_row);
        _bin->getIntBuffer()[y * _bin->getWidth() + x] = 1;
    }
    EXPECT_EQ(detect(), c.found ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Limits, SquareDetectorAreaTest,
                         ::testing::Values(AreaCase{10, 7, 0, 70, true}, AreaCase{10, 7, 1, 69, false},
                                           AreaCase{400, 251, 400, 100000, true},
                                           AreaCase{400, 251, 399, 100001, false}));

TEST_F(SquareDetectorTest, OversizedRegionIsPassedOverForSmallerOnes)
{
    build(420, 330);
    fillRect(*_bin, 5, 5, 404, 255);  // 100400 pixels
    fillRect(*_bin, 20, 270, 59, 309);
    ASSERT_EQ(detect(), 1);
    EXPECT_EQ(square(0).image_vertices[0][1] + square(0).image_vertices[2][1], 270 + 309);
}

// ---- Position -------------------------------------------------------------------------

struct BorderCase
{
    std::string name;
    int32_t left;
    int32_t top;
    bool found;
};

class SquareDetectorBorderTest : public SquareDetectorTest, public ::testing::WithParamInterface<BorderCase> {};

TEST_P(SquareDetectorBorderTest, RegionsTouchingTheFrameEdgeAreSkipped)
{
    // A 20 x 20 square in a 40 x 30 frame: left 1 or right 38 (= w - 2), top
    // 1 or bottom 28 (= h - 2) touch the labelled area's edge.
    build(40, 30);
    fillRect(*_bin, GetParam().left, GetParam().top, GetParam().left + 19, GetParam().top + 19);
    EXPECT_EQ(detect(), GetParam().found ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Sides, SquareDetectorBorderTest,
                         ::testing::Values(BorderCase{"Left1", 1, 5, false}, BorderCase{"Left2", 2, 5, true},
                                           BorderCase{"Right38", 19, 5, false}, BorderCase{"Right37", 18, 5, true},
                                           BorderCase{"Top1", 10, 1, false}, BorderCase{"Top2", 10, 2, true},
                                           BorderCase{"Bottom28", 10, 9, false},
                                           BorderCase{"Bottom27", 10, 8, true}),
                         [](const ::testing::TestParamInfo<BorderCase>& i_info) { return i_info.param.name; });

struct OverlapCase
{
    int32_t inner_left;
    int32_t squares;
};

class SquareDetectorOverlapTest : public SquareDetectorTest, public ::testing::WithParamInterface<OverlapCase> {};

TEST_P(SquareDetectorOverlapTest, RegionNearAnAcceptedCentreIsSkipped)
{
    // A square ring (columns and rows 20..99, 5 wide, area 1500, truncated
    // centre (59, 59)) and a 10 x 10 square in its hole at rows 55..64
    // (centre row 59) and columns a..a+9 (truncated centre column a + 4).
    // Skipped while (a + 4 - 59)^2 < 1500 / 4 = 375: a = 74 gives 361, a = 75
    // gives 400.
    build(120, 120);
    fillRect(*_bin, 20, 20, 99, 99);
    for (int32_t y = 25; y <= 94; y++) {
        for (int32_t x = 25; x <= 94; x++) {
            _bin->getIntBuffer()[y * 120 + x] = 1;
        }
    }
    fillRect(*_bin, GetParam().inner_left, 55, GetParam().inner_left + 9, 64);
    ASSERT_EQ(detect(), GetParam().squares);
    EXPECT_EQ(square(0).image_vertices[0][0] + square(0).image_vertices[2][0], 20 + 99) << "the ring comes first";
}

INSTANTIATE_TEST_SUITE_P(Distances, SquareDetectorOverlapTest,
                         ::testing::Values(OverlapCase{55, 1}, OverlapCase{74, 1}, OverlapCase{75, 2},
                                           OverlapCase{84, 2}));

// ---- Outline limits ---------------------------------------------------------------------

// A 100 x 100 square with a 1-pixel hair along its top edge, 2 rows above it
// and joined at its left end: a square to the corner search, but its outline
// (about 580 points) is traced along both sides of the hair.
void drawHairySquare(VoARBinRaster& io_bin)
{
    fillRect(io_bin, 10, 12, 109, 111);
    fillRect(io_bin, 10, 10, 100, 10);
    fillRect(io_bin, 10, 11, 10, 11);
}

TEST_F(SquareDetectorTest, OutlineOfTwiceWidthPlusHeightPointsIsSkipped)
{
    build(160, 160);  // outlines up to 639 points
    drawHairySquare(*_bin);
    EXPECT_EQ(detect(), 1);
    build(125, 125);  // outlines up to 499 points
    drawHairySquare(*_bin);
    EXPECT_EQ(detect(), 0);
}

TEST_F(SquareDetectorTest, EdgeOfOnePointAfterTrimmingRejectsTheSquare)
{
    // A 35 x 2 bar (area 70) finds its four corners, but its short edges
    // join neighbouring outline points: nothing is left to fit. A 35 x 3 bar
    // keeps two points per short edge.
    build(60, 20);
    fillRect(*_bin, 10, 5, 44, 6);
    EXPECT_EQ(detect(), 0);
    fillRect(*_bin, 10, 7, 44, 7);
    EXPECT_EQ(detect(), 1);
}

// ---- Shapes --------------------------------------------------------------------------

Polygon regularPolygon(int i_sides, double i_cx, double i_cy, double i_radius, double i_phase)
{
    Polygon p;
    for (int i = 0; i < i_sides; i++) {
        const double angle = i_phase + 2.0 * PI * i / i_sides;
        p.push_back({i_cx + i_radius * std::cos(angle), i_cy + i_radius * std::sin(angle)});
    }
    return p;
}

struct ShapeCase
{
    std::string name;
    Polygon polygon;
};

class SquareDetectorShapeTest : public SquareDetectorTest, public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(SquareDetectorShapeTest, ShapesOtherThanQuadrilateralsAreRejected)
{
    build(160, 120);
    fillPolygon(*_bin, GetParam().polygon);
    EXPECT_EQ(detect(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, SquareDetectorShapeTest,
    ::testing::Values(ShapeCase{"Triangle", regularPolygon(3, 80, 60, 45, 0.3)},
                      ShapeCase{"RightTriangle", {{20, 20}, {120, 20}, {20, 100}}},
                      ShapeCase{"Pentagon", regularPolygon(5, 80, 60, 45, 0.1)},
                      ShapeCase{"Hexagon", regularPolygon(6, 80, 60, 45, 0.2)},
                      ShapeCase{"Star", {{80, 10}, {92, 45}, {130, 45}, {100, 67}, {111, 105}, {80, 82}, {49, 105},
                                         {60, 67}, {30, 45}, {68, 45}}},
                      ShapeCase{"NotchedSquare",
                                {{30, 20}, {75, 20}, {80, 65}, {85, 20}, {130, 20}, {130, 100}, {30, 100}}}),
    [](const ::testing::TestParamInfo<ShapeCase>& i_info) { return i_info.param.name; });

// Clockwise quadrilaterals: squares turned by an angle and perspective views.
struct QuadCase
{
    std::string name;
    Polygon polygon;
};

Polygon turnedSquare(double i_degrees, double i_side)
{
    return regularPolygon(4, 100, 80, i_side / std::sqrt(2.0), PI / 4 + i_degrees * PI / 180.0);
}

class SquareDetectorQuadTest : public SquareDetectorTest, public ::testing::WithParamInterface<QuadCase> {};

TEST_P(SquareDetectorQuadTest, CornersLieWithinAPixelOfTheDrawnOnes)
{
    build(200, 200);
    fillPolygon(*_bin, GetParam().polygon);
    ASSERT_EQ(detect(), 1);
    expectCorners(square(0), GetParam().polygon, GetParam().polygon);
    expectEdgesThroughCorners(square(0));
}

INSTANTIATE_TEST_SUITE_P(
    Quadrilaterals, SquareDetectorQuadTest,
    ::testing::Values(QuadCase{"Turned0", turnedSquare(0, 80.3)}, QuadCase{"Turned7", turnedSquare(7, 60)},
                      QuadCase{"Turned22", turnedSquare(22.5, 90)}, QuadCase{"Turned45", turnedSquare(45, 70)},
                      QuadCase{"Turned63", turnedSquare(63, 40)}, QuadCase{"Turned81", turnedSquare(81, 100)},
                      QuadCase{"Small", turnedSquare(30, 14)},
                      QuadCase{"Trapezoid", {{60.3, 30.2}, {140.6, 30.7}, {170.1, 130.4}, {30.8, 129.9}}},
                      QuadCase{"Tilted", {{40.5, 50.2}, {150.2, 20.9}, {165.7, 140.1}, {55.4, 120.6}}},
                      QuadCase{"Kite", {{100.2, 15.4}, {160.8, 70.3}, {100.5, 145.1}, {45.6, 75.8}}},
                      QuadCase{"Thin", {{20.4, 60.3}, {180.6, 70.8}, {178.3, 95.2}, {22.7, 80.1}}},
                      // An edge longer than both diagonals: the corner search
                      // meets both of the other corners on one side of the
                      // farthest point and splits that side in half.
                      QuadCase{"LongBottomEdge", {{50.2, 65.3}, {150.4, 65.3}, {180.1, 150.6}, {20.3, 150.6}}},
                      QuadCase{"LongRightEdge", {{150.3, 20.2}, {150.3, 180.4}, {65.6, 150.1}, {65.6, 50.7}}}),
    [](const ::testing::TestParamInfo<QuadCase>& i_info) { return i_info.param.name; });

TEST_F(SquareDetectorTest, EdgesAreFittedInIdealCoordinates)
{
    // Radial distortion of about 2 % at the frame's corners. The square is
    // drawn straight in ideal coordinates, so its edges bow in the image.
    VoARCameraDistortionFactor lens;
    const double value[4] = {160.0, 120.0, 100.0, 1.0};
    lens.setValue(value);
    build(320, 240, &lens);
    const Polygon ideal = {{40.3, 30.6}, {270.2, 40.1}, {280.7, 210.4}, {30.9, 200.2}};
    fillPolygonMapped(*_bin, ideal, [&](int32_t i_x, int32_t i_y) {
        TVoARDoublePoint_t p;
        lens.observ2Ideal(i_x, i_y, &p);
        return PolygonPoint{p.x, p.y};
    });
    Polygon image;
    for (const PolygonPoint& v : ideal) {
        const TVoARDoublePoint_t in{v.x, v.y};
        TVoARDoublePoint_t out;
        lens.ideal2Observ(&in, &out);
        image.push_back({out.x, out.y});
    }
    ASSERT_EQ(detect(), 1);
    expectCorners(square(0), ideal, image);
    expectEdgesThroughCorners(square(0));
}

// ---- Crowded frames -----------------------------------------------------------------

// i_columns x i_rows separate 10 x 10 tiles, 4 pixels apart, from (i_x, i_y).
void drawTiles(VoARBinRaster& io_bin, int32_t i_x, int32_t i_y, int32_t i_columns, int32_t i_rows)
{
    for (int32_t j = 0; j < i_rows; j++) {
        for (int32_t i = 0; i < i_columns; i++) {
            fillRect(io_bin, i_x + 14 * i, i_y + 14 * j, i_x + 14 * i + 9, i_y + 14 * j + 9);
        }
    }
}

struct TileCase
{
    int32_t columns;
    int32_t rows;
    int32_t squares;
};

class SquareDetectorTileTest : public SquareDetectorTest, public ::testing::WithParamInterface<TileCase> {};

TEST_P(SquareDetectorTileTest, FullStackKeepsTheLargestSquaresFound)
{
    build(260, 180);
    drawTiles(*_bin, 5, 5, GetParam().columns, GetParam().rows);
    fillRect(*_bin, 180, 20, 239, 79);
    ASSERT_EQ(detect(), GetParam().squares);
    EXPECT_EQ(square(0).image_vertices[0][0] + square(0).image_vertices[2][0], 180 + 239) << "the marker first";
    for (int32_t i = 1; i < GetParam().squares; i++) {
        const VoARSquare& tile = square(i);
        EXPECT_NEAR(std::fabs(tile.ideal_vertices[0][0] - tile.ideal_vertices[2][0]), 9.0, 1e-9) << "tile " << i;
    }
    // The next frame starts afresh.
    fillRaster(*_bin, 1);
    fillRect(*_bin, 180, 20, 239, 79);
    EXPECT_EQ(detect(), 1);
}

INSTANTIATE_TEST_SUITE_P(Counts, SquareDetectorTileTest,
                         ::testing::Values(TileCase{8, 8, 65}, TileCase{11, 9, 100}, TileCase{11, 11, 100}));

TEST_F(SquareDetectorTest, WarmDetectorAllocatesNothingPerFrame)
{
    build(260, 180);
    drawTiles(*_bin, 5, 5, 8, 8);
    fillRect(*_bin, 180, 20, 239, 79);
    // The first frame may still make what is sized by what it finds; the
    // records themselves were all made with the detector.
    ASSERT_EQ(detect(), 65);
    const int64_t before = g_allocations;
    ASSERT_EQ(detect(), 65);
    fillRaster(*_bin, 1);
    fillRect(*_bin, 180, 20, 239, 79);
    ASSERT_EQ(detect(), 1);
    EXPECT_EQ(g_allocations, before);
}

TEST_F(SquareDetectorTest, TooManyRegionsThrowAndTheNextFrameIsDetected)
{
    build(402, 402);
    for (int32_t y = 1; y < 401; y += 2) {
        for (int32_t x = 1; x < 401; x += 2) {
            _bin->getIntBuffer()[y * 402 + x] = 0;
        }
    }
    EXPECT_THROW(detect(), VoARException);
    fillRaster(*_bin, 1);
    fillRect(*_bin, 100, 100, 149, 149);
    ASSERT_EQ(detect(), 1);
    EXPECT_EQ(square(0).image_vertices[0][0], 149);
}

TEST(CornerListTest, RefusesASeventhCorner)
{
    VoARCornerList list;
    for (int32_t i = 0; i < 6; i++) {
        EXPECT_TRUE(list.append(10 * i));
    }
    EXPECT_FALSE(list.append(60));
    EXPECT_EQ(list.getCount(), 6);
    EXPECT_EQ(list[5], 50);
    list.clear();
    EXPECT_EQ(list.getCount(), 0);
}

TEST(AcceptedLabelListTest, OverlapIsJudgedOnTruncatedCentresAgainstAQuarterArea)
{
    VoARAcceptedLabelList list;
    list.reset(40);
    std::vector<VoARLabelingLabel> labels(40);
    for (VoARLabelingLabel& label : labels) {
        label.area = 100;
        label.center_x = 1000.0;
        label.center_y = 1000.0;
        list.append(&label);
    }
    EXPECT_THROW(list.append(&labels[0]), VoARException) << "room for the 40 labels of the frame only";
    labels[39] = VoARLabelingLabel{1, 100, 0, 0, 0, 0, 10.9, 20.9};
    VoARLabelingLabel probe{2, 1, 0, 0, 0, 0, 14.99, 23.5};
    EXPECT_FALSE(list.isOverlapped(probe)) << "(14 - 10)^2 + (23 - 20)^2 = 25 is not below 100 / 4";
    probe.center_x = 13.2;
    EXPECT_TRUE(list.isOverlapped(probe)) << "(13 - 10)^2 + 3^2 = 18";
    list.reset(3);
    EXPECT_EQ(list.getCount(), 0);
    EXPECT_FALSE(list.isOverlapped(probe));
}

TEST(SquareDetectorSizeTest, FrameTooLargeToAddressIsRefused)
{
    VoARCameraDistortionFactor identity;
    const TVoARIntSize size{1, 1 << 29};
    EXPECT_THROW(VoARSquareDetector(&identity, &size), VoARException);
}

}  // namespace
