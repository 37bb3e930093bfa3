#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "VoARColorPatt_O3.h"
#include "VoARException.h"
#include "VoARRgbRaster_BGRA.h"
#include "VoARSampleBuffers.h"

using namespace VoTrack;

// Counts every allocation of the test program, so that a warm sampler can be
// shown to allocate nothing. Kept out of line so that the compiler does not
// pair an inlined malloc with an inlined free at its callers.
namespace {
long g_allocations = 0;
}  // namespace

__attribute__((noinline)) void* operator new(std::size_t i_size)
{
    g_allocations++;
    if (void* p = std::malloc(i_size == 0 ? 1 : i_size)) {
        return p;
    }
    throw std::bad_alloc();
}

__attribute__((noinline)) void operator delete(void* i_pointer) noexcept
{
    std::free(i_pointer);
}

__attribute__((noinline)) void operator delete(void* i_pointer, std::size_t /*i_size*/) noexcept
{
    std::free(i_pointer);
}

namespace {

using Corners = std::array<std::array<int32_t, 2>, 4>;

VoARSquare squareWith(const Corners& i_corners)
{
    VoARSquare square{};
    for (int k = 0; k < 4; k++) {
        square.image_vertices[k][0] = i_corners[k][0];
        square.image_vertices[k][1] = i_corners[k][1];
    }
    return square;
}

// A 32-bit BGRA frame of one colour.
struct Frame
{
    Frame(int32_t i_width, int32_t i_height, uint8_t i_red, uint8_t i_green, uint8_t i_blue)
        : width(i_width), height(i_height), bytes(static_cast<size_t>(4 * i_width * i_height))
    {
        for (int32_t y = 0; y < height; y++) {
            for (int32_t x = 0; x < width; x++) {
                set(x, y, i_red, i_green, i_blue);
            }
        }
    }
    void set(int32_t i_x, int32_t i_y, uint8_t i_red, uint8_t i_green, uint8_t i_blue)
    {
        uint8_t* pixel = &bytes[static_cast<size_t>(4 * (i_y * width + i_x))];
        pixel[0] = i_blue;
        pixel[1] = i_green;
        pixel[2] = i_red;
        pixel[3] = 0xEE;
    }

    int32_t width;
    int32_t height;
    std::vector<uint8_t> bytes;
};

// Passes reads on to the raster's own reader and records each getPixelSet
// call's points.
class RecordingReader : public IVoARRgbPixelReader
{
public:
    explicit RecordingReader(const IVoARRgbPixelReader* i_inner) : _inner(i_inner) {}
    void getPixel(int32_t i_x, int32_t i_y, int32_t* o_rgb) const override { _inner->getPixel(i_x, i_y, o_rgb); }
    void getPixelSet(const int32_t* i_x, const int32_t* i_y, int32_t i_num, int32_t* o_rgb) const override
    {
        std::vector<std::pair<int32_t, int32_t>> points;
        for (int32_t k = 0; k < i_num; k++) {
            points.emplace_back(i_x[k], i_y[k]);
        }
        calls.push_back(points);
        _inner->getPixelSet(i_x, i_y, i_num, o_rgb);
    }

    mutable std::vector<std::vector<std::pair<int32_t, int32_t>>> calls;

private:
    const IVoARRgbPixelReader* _inner;
};

class RecordingRaster : public VoARRgbRaster_BGRA
{
public:
    explicit RecordingRaster(Frame& i_frame)
        : VoARRgbRaster_BGRA(i_frame.bytes.data(), i_frame.width, i_frame.height),
          reader(VoARRgbRaster_BGRA::getRgbPixelReader())
    {
    }
    IVoARRgbPixelReader* getRgbPixelReader() const override { return &reader; }

    mutable RecordingReader reader;
};

std::vector<int32_t> sampleOf(const VoARColorPatt_O3& i_sampler)
{
    const int32_t* data = i_sampler.getSampleData();
    return std::vector<int32_t>(data, data + 3 * i_sampler.getWidth() * i_sampler.getHeight());
}

}  // namespace

struct CountCase
{
    const char* name;
    int32_t pattern_size;
    Corners corners;
    int32_t across;  // samples per row
    int32_t down;    // sample rows
};

class SampleCountTest : public ::testing::TestWithParam<CountCase>
{
};

TEST_P(SampleCountTest, OneReadPerSampleRowOfTheExpectedLength)
{
    const CountCase& c = GetParam();
    Frame frame(800, 800, 50, 60, 70);
    RecordingRaster raster(frame);
    VoARColorPatt_O3 sampler(c.pattern_size, c.pattern_size);
    const VoARSquare square = squareWith(c.corners);
    ASSERT_TRUE(sampler.sampleSquare(&raster, &square));
    ASSERT_EQ(static_cast<int32_t>(raster.reader.calls.size()), c.down);
    for (const auto& call : raster.reader.calls) {
        EXPECT_EQ(static_cast<int32_t>(call.size()), c.across);
    }
    // Every point inside: each cell is the frame's colour.
    for (size_t k = 0; k < sampleOf(sampler).size(); k += 3) {
        EXPECT_EQ(sampleOf(sampler)[k], 50);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Edges, SampleCountTest,
    ::testing::Values(CountCase{"Edge32Keeps16", 16, {{{0, 0}, {32, 0}, {32, 32}, {0, 32}}}, 16, 16},
                      CountCase{"Edge33Doubles", 16, {{{0, 0}, {33, 0}, {33, 33}, {0, 33}}}, 32, 32},
                      CountCase{"Edge40Gets32", 16, {{{0, 0}, {40, 0}, {40, 40}, {0, 40}}}, 32, 32},
                      CountCase{"Edge100Gets64", 16, {{{0, 0}, {100, 0}, {100, 100}, {0, 100}}}, 64, 64},
                      CountCase{"Edge1000IsCapped", 16, {{{0, 0}, {1000, 0}, {1000, 1000}, {0, 1000}}}, 64, 64},
                      CountCase{"AxesCountedApart", 16, {{{0, 0}, {100, 0}, {100, 32}, {0, 32}}}, 64, 16},
                      CountCase{"LongerOfOppositeEdges", 16, {{{0, 0}, {30, 0}, {40, 40}, {0, 40}}}, 32, 32},
                      CountCase{"OneCellGrid", 1, {{{0, 0}, {10, 0}, {10, 10}, {0, 10}}}, 8, 8},
                      CountCase{"LargestGridStays64", 64, {{{0, 0}, {700, 0}, {700, 700}, {0, 700}}}, 64, 64}),
    [](const ::testing::TestParamInfo<CountCase>& i_info) { return std::string(i_info.param.name); });

TEST(PatternSamplingTest, TenPixelSquareGivesShiftTransformAndItsSamplePoints)
{
    Frame frame(40, 40, 0, 0, 0);
    RecordingRaster raster(frame);
    VoARColorPatt_O3 sampler(16, 16);
    const VoARSquare square = squareWith({{{10, 10}, {20, 10}, {20, 20}, {10, 20}}});
    ASSERT_TRUE(sampler.sampleSquare(&raster, &square));
    const double expected[8] = {1, 0, -90, 0, 1, -90, 0, 0};
    for (int k = 0; k < 8; k++) {
        EXPECT_NEAR(sampler.getTransformParams()[k], expected[k], 1e-9) << "p" << k;
    }
    // Points 12.65625 + 0.3125 i (pixels), truncated: 12 first, 17 last.
    ASSERT_EQ(raster.reader.calls.size(), 16u);
    for (int32_t j = 0; j < 16; j++) {
        ASSERT_EQ(raster.reader.calls[j].size(), 16u);
        for (int32_t i = 0; i < 16; i++) {
            EXPECT_EQ(raster.reader.calls[j][i].first, static_cast<int32_t>(12.65625 + 0.3125 * i));
            EXPECT_EQ(raster.reader.calls[j][i].second, static_cast<int32_t>(12.65625 + 0.3125 * j));
        }
    }
    EXPECT_EQ(raster.reader.calls[0][0].first, 12);
    EXPECT_EQ(raster.reader.calls[15][15].second, 17);
}

// The sample of a 32-pixel square over a frame whose red is x and green y:
// red and green of cell (row, column) are base + row step * row + column
// step * column, and blue is 7 everywhere.
struct GridCase
{
    const char* name;
    Corners corners;
    std::array<int32_t, 3> red;    // base, row step, column step
    std::array<int32_t, 3> green;  // base, row step, column step
};

class SampleGridTest : public ::testing::TestWithParam<GridCase>
{
};

TEST_P(SampleGridTest, RowsRunFromCorner0ToCorner3AndColumnsToCorner1)
{
    const GridCase& c = GetParam();
    Frame frame(48, 48, 0, 0, 7);
    for (int32_t y = 0; y < 48; y++) {
        for (int32_t x = 0; x < 48; x++) {
            frame.set(x, y, static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7);
        }
    }
    VoARRgbRaster_BGRA raster(frame.bytes.data(), 48, 48);
    VoARColorPatt_O3 sampler(16, 16);
    const VoARSquare square = squareWith(c.corners);
    ASSERT_TRUE(sampler.sampleSquare(&raster, &square));
    const std::vector<int32_t> sample = sampleOf(sampler);
    for (int32_t row = 0; row < 16; row++) {
        for (int32_t column = 0; column < 16; column++) {
            const int32_t* cell = &sample[static_cast<size_t>((row * 16 + column) * 3)];
            EXPECT_EQ(cell[0], c.red[0] + c.red[1] * row + c.red[2] * column) << row << "," << column;
            EXPECT_EQ(cell[1], c.green[0] + c.green[1] * row + c.green[2] * column) << row << "," << column;
            EXPECT_EQ(cell[2], 7);
        }
    }
}

// Sample points fall at 16.5 + k or 31.5 - k pixels.
INSTANTIATE_TEST_SUITE_P(
    Corner0, SampleGridTest,
    ::testing::Values(GridCase{"TopLeft", {{{8, 8}, {40, 8}, {40, 40}, {8, 40}}}, {16, 0, 1}, {16, 1, 0}},
                      GridCase{"TopRight", {{{40, 8}, {40, 40}, {8, 40}, {8, 8}}}, {31, -1, 0}, {16, 0, 1}},
                      GridCase{"BottomRight", {{{40, 40}, {8, 40}, {8, 8}, {40, 8}}}, {31, 0, -1}, {31, -1, 0}},
                      GridCase{"BottomLeft", {{{8, 40}, {8, 8}, {40, 8}, {40, 40}}}, {16, 1, 0}, {31, 0, -1}}),
    [](const ::testing::TestParamInfo<GridCase>& i_info) { return std::string(i_info.param.name); });

TEST(PatternSamplingTest, CellAverageTruncates)
{
    // A 48-pixel square: 2 x 2 samples per cell; cell (0, 0) reads pixels
    // 12 and 13 on both axes, so its red is (100 + 3 x 101) / 4 = 100.75.
    Frame frame(64, 64, 101, 0, 0);
    frame.set(12, 12, 100, 0, 0);
    VoARRgbRaster_BGRA raster(frame.bytes.data(), 64, 64);
    VoARColorPatt_O3 sampler(16, 16);
    const VoARSquare square = squareWith({{{0, 0}, {48, 0}, {48, 48}, {0, 48}}});
    ASSERT_TRUE(sampler.sampleSquare(&raster, &square));
    const std::vector<int32_t> sample = sampleOf(sampler);
    EXPECT_EQ(sample[0], 100);
    for (size_t k = 3; k < sample.size(); k += 3) {
        EXPECT_EQ(sample[k], 101) << "cell " << k / 3;
    }
}

TEST(PatternSamplingTest, PointsOutsideTheFrameCountAsBlack)
{
    // Square from x = -23 to 17 on a white 40 x 40 frame: sample columns lie
    // at -12.6875 + 0.625 i pixels, two per cell. Cells 0..8 lie wholly left
    // of the frame; cell 9 has x = -1.4375 (dropped) and -0.8125 (truncated
    // toward zero to column 0, so read).
    Frame frame(40, 40, 255, 255, 255);
    VoARRgbRaster_BGRA raster(frame.bytes.data(), 40, 40);
    VoARColorPatt_O3 sampler(16, 16);
    const VoARSquare square = squareWith({{{-23, 0}, {17, 0}, {17, 40}, {-23, 40}}});
    ASSERT_TRUE(sampler.sampleSquare(&raster, &square));
    const std::vector<int32_t> sample = sampleOf(sampler);
    for (int32_t row = 0; row < 16; row++) {
        for (int32_t column = 0; column < 16; column++) {
            const int32_t expected = column < 9 ? 0 : column == 9 ? 2 * 255 / 4 : 255;
            EXPECT_EQ(sample[static_cast<size_t>((row * 16 + column) * 3)], expected) << row << "," << column;
        }
    }
}

class SingularCornersTest : public ::testing::TestWithParam<Corners>
{
};

TEST_P(SingularCornersTest, ReturnsFalseAndKeepsTheLastSample)
{
    Frame frame(40, 40, 10, 20, 30);
    frame.set(15, 15, 200, 200, 200);
    VoARRgbRaster_BGRA raster(frame.bytes.data(), 40, 40);
    VoARColorPatt_O3 sampler(4, 4);
    const VoARSquare good = squareWith({{{10, 10}, {20, 10}, {20, 20}, {10, 20}}});
    ASSERT_TRUE(sampler.sampleSquare(&raster, &good));
    const std::vector<int32_t> before = sampleOf(sampler);
    const VoARSquare singular = squareWith(GetParam());
    EXPECT_FALSE(sampler.sampleSquare(&raster, &singular));
    EXPECT_EQ(sampleOf(sampler), before);
}

INSTANTIATE_TEST_SUITE_P(Degenerate, SingularCornersTest,
                         ::testing::Values(Corners{{{5, 5}, {5, 5}, {5, 5}, {5, 5}}},
                                           Corners{{{0, 0}, {10, 0}, {20, 0}, {30, 0}}}));

TEST(PatternSamplingTest, ThreeCollinearCornersSolveWithTheFourthAtInfinity)
{
    // The system with the last coefficient fixed at 1 stays regular: it is
    // met by a transform whose denominator vanishes at corner 3's plane
    // point (100, 110). Sampling goes on; points mapped off the frame drop.
    Frame frame(40, 40, 10, 20, 30);
    VoARRgbRaster_BGRA raster(frame.bytes.data(), 40, 40);
    VoARColorPatt_O3 sampler(4, 4);
    const VoARSquare square = squareWith({{{0, 0}, {10, 0}, {20, 0}, {5, 20}}});
    ASSERT_TRUE(sampler.sampleSquare(&raster, &square));
    const double* p = sampler.getTransformParams();
    EXPECT_NEAR(p[6] * 100.0 + p[7] * 110.0 + 1.0, 0.0, 1e-9);
}

TEST(PatternSamplingTest, FarCornersNeitherOverflowNorReadOutside)
{
    // Edges and corner products far beyond 32 bits; every point misses the
    // frame, so the sample is black.
    Frame frame(40, 40, 255, 255, 255);
    RecordingRaster raster(frame);
    VoARColorPatt_O3 sampler(16, 16);
    const int32_t far = 2000000000;
    for (const Corners& corners : {Corners{{{0, 0}, {50000, 0}, {50000, 50000}, {0, 50000}}},
                                   Corners{{{-far, -far}, {far, -far}, {far, far}, {-far, far}}}}) {
        raster.reader.calls.clear();
        const VoARSquare square = squareWith(corners);
        ASSERT_TRUE(sampler.sampleSquare(&raster, &square));
        EXPECT_EQ(raster.reader.calls.size(), 64u);
        EXPECT_EQ(sampleOf(sampler), std::vector<int32_t>(16 * 16 * 3, 0));
    }
}

TEST(PatternSamplingTest, WarmSamplerAllocatesNothing)
{
    Frame frame(200, 200, 90, 90, 90);
    VoARRgbRaster_BGRA raster(frame.bytes.data(), 200, 200);
    VoARColorPatt_O3 sampler(16, 16);
    const VoARSquare large = squareWith({{{0, 0}, {150, 0}, {150, 150}, {0, 150}}});
    const VoARSquare small = squareWith({{{0, 0}, {20, 0}, {20, 20}, {0, 20}}});
    const VoARSquare middle = squareWith({{{0, 0}, {40, 0}, {40, 40}, {0, 40}}});
    ASSERT_TRUE(sampler.sampleSquare(&raster, &large));
    const long before = g_allocations;
    bool all_sampled = true;
    for (const VoARSquare* square : {&small, &middle, &small, &large, &middle}) {
        all_sampled = sampler.sampleSquare(&raster, square) && all_sampled;
    }
    EXPECT_EQ(g_allocations, before);
    EXPECT_TRUE(all_sampled);
}

TEST(SampleBuffersTest, GrowOnlyBeyondTheLargestCount)
{
    VoARSampleBuffers buffers;
    EXPECT_EQ(buffers.getCount(), 0);
    buffers.prepare(64);
    double* terms = buffers.getColumnTermX();
    int32_t* rgb = buffers.getRgb();
    buffers.prepare(16);
    buffers.prepare(32);
    EXPECT_EQ(buffers.getCount(), 32);
    EXPECT_EQ(buffers.getColumnTermX(), terms);
    EXPECT_EQ(buffers.getRgb(), rgb);
    // The seven arrays do not overlap: each holds n entries (rgb 3n).
    EXPECT_EQ(buffers.getColumnTermW() - buffers.getColumnTermX(), 2 * 64);
    EXPECT_EQ(buffers.getRgb() - buffers.getSampleX(), 3 * 64);
    EXPECT_THROW(buffers.prepare(-1), VoARException);
    EXPECT_THROW(buffers.prepare(std::numeric_limits<int32_t>::max()), VoARException);
    EXPECT_EQ(buffers.getCount(), 32);
}

TEST(PatternSamplingTest, GridSizeThatDoesNotDivide64IsRejected)
{
    for (int32_t size : {0, -4, 3, 12, 100, 128}) {
        EXPECT_THROW(VoARColorPatt_O3(size, 16), VoARException) << size;
        EXPECT_THROW(VoARColorPatt_O3(16, size), VoARException) << size;
    }
    const VoARColorPatt_O3 sampler(8, 32);
    EXPECT_EQ(sampler.getWidth(), 8);
    EXPECT_EQ(sampler.getHeight(), 32);
}
