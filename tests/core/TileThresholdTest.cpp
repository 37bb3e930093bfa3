// The tile threshold on frames drawn here pixel by pixel: dark shapes on a
// grey ground lit by a gain and a linear gradient, with noise. Edges are
// hard (a pixel is ink or ground), so under any light the mask must be
// exactly the drawn shapes.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iterator>
#include <ostream>
#include <random>
#include <tuple>
#include <vector>

#include "IVoARBufferReader.h"
#include "IVoARRgbRaster.h"
#include "VoARBufferReader.h"
#include "VoARException.h"
#include "VoARRasterFilter_TileThreshold.h"
#include "VoARRasterSize.h"

using namespace VoTrack;

namespace {

constexpr int32_t BGRX = IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32;
constexpr int32_t RGBX = IVoARBufferReader::BUFFERFORMAT_BYTE1D_R8G8B8X8_32;
constexpr double PI = 3.14159265358979323846;

// Reflectances (0 black to 1 white) of the scenes: printed black, a grey
// ground and white paper; ink at most INK is what the mask must show.
constexpr double BLACK = 0.04;
constexpr double GROUND = 0.7;
constexpr double PAPER = 1.0;
constexpr double INK = 0.5;

// Light on the scene: each reflectance is multiplied by gain x (1 +
// gradient_x x fx + gradient_y x fy), fx and fy running from -0.5 at the
// first column or row to 0.5 at the last; then Gaussian noise of standard
// deviation noise (grey levels) is added to each channel.
struct TLight
{
    const char* name;
    double gain;
    double gradient_x;
    double gradient_y;
    double noise;
};

void PrintTo(const TLight& i_light, std::ostream* o_stream)
{
    *o_stream << i_light.name;
}

// A scene: its size and the reflectance at each pixel centre.
struct TScene
{
    const char* name;
    int32_t width;
    int32_t height;
    std::function<double(double, double)> reflectance;
};

void PrintTo(const TScene& i_scene, std::ostream* o_stream)
{
    *o_stream << i_scene.name << " " << i_scene.width << "x" << i_scene.height;
}

// A colour raster over owned bytes in a 32-bit layout with the colour in the
// first three bytes, in either order; the fourth byte is random, so reading
// it would show.
class TestFrame : public VoARRasterSize<IVoARRgbRaster>
{
public:
    TestFrame(int32_t i_width, int32_t i_height, int32_t i_format = BGRX)
        : VoARRasterSize<IVoARRgbRaster>(i_width, i_height),
          _format(i_format),
          _bytes(static_cast<size_t>(i_width) * static_cast<size_t>(i_height) * 4),
          _reader(_bytes.data(), i_format)
    {
    }
    IVoARBufferReader* getBufferReader() const override { return const_cast<VoARBufferReader*>(&_reader); }
    IVoARRgbPixelReader* getRgbPixelReader() const override { return nullptr; }

    // Draws i_scene under i_light. i_tint scales red, green and blue of
    // everything lighter than ink, so that the channels differ.
    void paint(const TScene& i_scene, const TLight& i_light, uint32_t i_seed,
               const std::array<double, 3>& i_tint = {1.0, 1.0, 1.0})
    {
        std::mt19937 random(i_seed);
        std::normal_distribution<double> noise(0.0, 1.0);
        for (int32_t y = 0; y < getHeight(); y++) {
            for (int32_t x = 0; x < getWidth(); x++) {
                const double reflectance = i_scene.reflectance(x, y);
                const double light = i_light.gain * std::max(0.0, 1.0 + i_light.gradient_x * fraction(x, getWidth()) +
                                                                      i_light.gradient_y * fraction(y, getHeight()));
                double rgb[3];
                for (int c = 0; c < 3; c++) {
                    const double tint = reflectance <= INK ? 1.0 : i_tint[static_cast<size_t>(c)];
                    rgb[c] = 255.0 * reflectance * tint * light + i_light.noise * noise(random);
                }
                put(x, y, rgb, static_cast<uint8_t>(random()));
            }
        }
    }

private:
    static double fraction(int32_t i_index, int32_t i_count)
    {
        return i_count == 1 ? 0.0 : static_cast<double>(i_index) / (i_count - 1) - 0.5;
    }

    static uint8_t toByte(double i_value)
    {
        return static_cast<uint8_t>(std::clamp(std::lround(i_value), 0L, 255L));
    }

    void put(int32_t i_x, int32_t i_y, const double* i_rgb, uint8_t i_unused)
    {
        uint8_t* p = _bytes.data() + (static_cast<size_t>(i_y) * static_cast<size_t>(getWidth()) + i_x) * 4;
        const bool red_first = _format == RGBX;
        p[0] = toByte(i_rgb[red_first ? 0 : 2]);
        p[1] = toByte(i_rgb[1]);
        p[2] = toByte(i_rgb[red_first ? 2 : 0]);
        p[3] = i_unused;
    }

    int32_t _format;
    std::vector<uint8_t> _bytes;
    VoARBufferReader _reader;
};

// A square of ink i_ink and side i_side centred on (i_cx, i_cy), turned by
// i_angle_deg; with i_hole > 0 a ring whose inside (a square of i_hole x
// i_side) is paper. Returns the square's reflectance at (i_x, i_y), or
// i_outside.
double squareAt(double i_x, double i_y, double i_cx, double i_cy, double i_side, double i_angle_deg, double i_hole,
                double i_outside, double i_ink = BLACK)
{
    const double a = i_angle_deg * PI / 180.0;
    const double u = std::fabs(std::cos(a) * (i_x - i_cx) + std::sin(a) * (i_y - i_cy));
    const double v = std::fabs(-std::sin(a) * (i_x - i_cx) + std::cos(a) * (i_y - i_cy));
    if (u > i_side / 2 || v > i_side / 2) {
        return i_outside;
    }
    return u <= i_hole * i_side / 2 && v <= i_hole * i_side / 2 ? PAPER : i_ink;
}

// Markers of several sizes on the ground: a turned ring with paper inside,
// a small solid square and a large one turned by 45 degrees.
const TScene SQUARES = {"squares", 320, 240, [](double i_x, double i_y) {
                            double r = squareAt(i_x, i_y, 90, 100, 120, 20, 0.5, GROUND);
                            r = squareAt(i_x, i_y, 250, 60, 14, 0, 0, r);
                            return squareAt(i_x, i_y, 240, 170, 60, 45, 0, r);
                        }};
// A marker seen from close by: its border 175 pixels thick, far more than
// a tile, around 250 pixels of paper.
const TScene THICK_BORDER = {"thick border", 720, 640, [](double i_x, double i_y) {
                                 return squareAt(i_x, i_y, 350, 330, 600, 0, 250.0 / 600.0, GROUND);
                             }};
// A black area over the top left corner, whose edges all lie below and to
// the right of its inside.
const TScene DARK_CORNER = {"dark corner", 320, 240, [](double i_x, double i_y) {
                                return i_x < 170 && i_y < 130 ? BLACK : GROUND;
                            }};
// A ring of grey ink, five eighths of the light ground: beside the paper it
// has contrast, beside the ground alone too little (the tiles there lie next
// to those with paper), and it must still come out whole.
const TScene GREY_BORDER = {"grey border", 320, 240, [](double i_x, double i_y) {
                                return squareAt(i_x, i_y, 160, 120, 96, 10, 0.5, 0.8, INK);
                            }};

std::vector<uint8_t> expectedMask(const TScene& i_scene)
{
    std::vector<uint8_t> mask(static_cast<size_t>(i_scene.width) * static_cast<size_t>(i_scene.height));
    for (int32_t y = 0; y < i_scene.height; y++) {
        for (int32_t x = 0; x < i_scene.width; x++) {
            mask[static_cast<size_t>(y) * static_cast<size_t>(i_scene.width) + static_cast<size_t>(x)] =
                i_scene.reflectance(x, y) <= INK ? 1 : 0;
        }
    }
    return mask;
}

// The pixels where two masks differ, and the first of them.
struct TDifference
{
    int64_t count = 0;
    int64_t first = -1;
};

TDifference difference(const std::vector<uint8_t>& i_expected, const std::vector<uint8_t>& i_actual)
{
    TDifference d;
    for (size_t p = 0; p < i_expected.size(); p++) {
        if (i_expected[p] != i_actual[p]) {
            d.first = d.count == 0 ? static_cast<int64_t>(p) : d.first;
            d.count++;
        }
    }
    return d;
}

// Binarises i_frame with a filter built for it.
std::vector<uint8_t> tileMask(const TestFrame& i_frame)
{
    VoARRasterFilter_TileThreshold filter(i_frame.getSize(), i_frame.getBufferReader()->getBufferType());
    std::vector<uint8_t> mask(static_cast<size_t>(i_frame.getWidth()) * static_cast<size_t>(i_frame.getHeight()), 7);
    filter.doFilterDark(i_frame, mask.data());
    return mask;
}

// ---- Shapes under light -----------------------------------------------------------

// From a quarter of the normal light to over-exposed, with gradients whose
// light at one side is up to three times that at the other, and noise.
const TLight LIGHTS[] = {
    {"normal", 1.0, 0.0, 0.0, 0.0},
    {"quarter", 0.25, 0.0, 0.0, 0.0},
    {"quarter, gradient, noise 2", 0.25, 0.6, 0.3, 2.0},
    {"0.4, steep gradient, noise 2", 0.4, 1.0, 0.0, 2.0},
    {"0.6, vertical gradient, noise 6", 0.6, 0.0, -0.8, 6.0},
    {"over-exposed 1.6, gradient, noise 3", 1.6, -0.6, 0.4, 3.0},
};

class TileThresholdLightTest : public ::testing::TestWithParam<std::tuple<TScene, TLight>> {};

// Where a fixed threshold loses the dim half of the frame or all of it, the
// mask is still exactly the shapes: no pixel of a border lost, none of the
// ground or paper taken, the inside of a thick border dark throughout.
TEST_P(TileThresholdLightTest, MaskIsExactlyTheBlackShapes)
{
    const TScene& scene = std::get<0>(GetParam());
    const TLight& light = std::get<1>(GetParam());
    TestFrame frame(scene.width, scene.height);
    frame.paint(scene, light, 11);
    const TDifference d = difference(expectedMask(scene), tileMask(frame));
    EXPECT_EQ(d.count, 0) << "first at (" << d.first % scene.width << ", " << d.first / scene.width << ")";
}

INSTANTIATE_TEST_SUITE_P(Scenes, TileThresholdLightTest,
                         ::testing::Combine(::testing::Values(SQUARES, THICK_BORDER, DARK_CORNER),
                                            ::testing::ValuesIn(LIGHTS)));

// Grey ink is found by its contrast with the paper it surrounds. Its
// threshold lies close to the ground, so the light must be even: the ground
// far away, in less light, would fall below it.
INSTANTIATE_TEST_SUITE_P(GreyInk, TileThresholdLightTest,
                         ::testing::Combine(::testing::Values(GREY_BORDER),
                                            ::testing::Values(LIGHTS[0], TLight{"dim, noise 1", 0.4, 0.0, 0.0, 1.0})));

// ---- Frame sizes ---------------------------------------------------------------

struct TSizeCase
{
    int32_t width;
    int32_t height;
};

void PrintTo(const TSizeCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.width << "x" << i_case.height;
}

class TileThresholdSizeTest : public ::testing::TestWithParam<TSizeCase> {};

// Frames that end inside a tile, inside a block of 2 x 2 pixels or that are
// one pixel thin: a black rectangle reaching into the last row and column.
TEST_P(TileThresholdSizeTest, PartTilesAtTheFrameEdgesAreThresholdedLikeWholeOnes)
{
    const int32_t w = GetParam().width;
    const int32_t h = GetParam().height;
    const int32_t x0 = w / 2;
    const int32_t y0 = h / 2;
    const TScene scene = {"rectangle", w, h, [x0, y0](double i_x, double i_y) {
                              return i_x >= x0 && i_y >= y0 ? BLACK : GROUND;
                          }};
    TestFrame frame(w, h);
    frame.paint(scene, {"dim, gentle gradient", 0.3, 0.1, 0.1, 1.0}, 5);
    const TDifference d = difference(expectedMask(scene), tileMask(frame));
    EXPECT_EQ(d.count, 0) << "first at (" << d.first % w << ", " << d.first / w << ")";
}

INSTANTIATE_TEST_SUITE_P(Sizes, TileThresholdSizeTest,
                         ::testing::Values(TSizeCase{97, 61}, TSizeCase{64, 32}, TSizeCase{65, 33}, TSizeCase{33, 9},
                                           TSizeCase{200, 1}, TSizeCase{1, 150}, TSizeCase{7, 3}));

// ---- Frames without anything dark ---------------------------------------------

struct TFlatCase
{
    const char* name;
    double reflectance;
    TLight light;
};

void PrintTo(const TFlatCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

class TileThresholdFlatTest : public ::testing::TestWithParam<TFlatCase> {};

// Nothing in these frames is darker than its surroundings: thresholding
// their noise or their gradient would give specks or a dark half, each
// speck a region for the labeling, which holds at most 32767.
TEST_P(TileThresholdFlatTest, FrameWithoutShapesHasNoDarkPixel)
{
    const TFlatCase& c = GetParam();
    const double level = c.reflectance;
    const TScene scene = {c.name, 320, 240, [level](double, double) { return level; }};
    TestFrame frame(scene.width, scene.height);
    frame.paint(scene, c.light, 3);
    const std::vector<uint8_t> mask = tileMask(frame);
    EXPECT_EQ(std::count(mask.begin(), mask.end(), 1), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, TileThresholdFlatTest,
    ::testing::Values(TFlatCase{"black", 0.0, {"normal", 1.0, 0.0, 0.0, 0.0}},
                      TFlatCase{"white over-exposed", 1.0, {"bright", 1.6, 0.0, 0.0, 0.0}},
                      TFlatCase{"grey, noise 8", 0.5, {"noise", 1.0, 0.0, 0.0, 8.0}},
                      TFlatCase{"dim grey, noise 5", 0.5, {"dim noise", 0.25, 0.0, 0.0, 5.0}},
                      TFlatCase{"dark noise 5", 0.05, {"dark noise", 1.0, 0.0, 0.0, 5.0}},
                      TFlatCase{"ground, light from 0.4 to 1.6", GROUND, {"steep", 1.0, 1.2, 0.0, 1.0}}));

// ---- Layouts and reuse ---------------------------------------------------------

// A coloured ground: a filter summing the wrong bytes would threshold
// another image.
constexpr std::array<double, 3> TINT = {1.0, 0.55, 0.8};

TEST(TileThresholdLayoutTest, RedFirstAndBlueFirstFramesGiveTheSameMask)
{
    const TLight dim = {"dim, gradient", 0.35, -0.5, 0.4, 2.0};
    TestFrame blue_first(SQUARES.width, SQUARES.height, BGRX);
    TestFrame red_first(SQUARES.width, SQUARES.height, RGBX);
    blue_first.paint(SQUARES, dim, 7, TINT);
    red_first.paint(SQUARES, dim, 7, TINT);
    const std::vector<uint8_t> expected = expectedMask(SQUARES);
    EXPECT_EQ(difference(expected, tileMask(blue_first)).count, 0);
    EXPECT_EQ(difference(expected, tileMask(red_first)).count, 0);
}

// Nothing of one frame carries into the next: a frame after others gives
// the mask a new filter gives it.
TEST(TileThresholdReuseTest, EachFrameIsThresholdedOnItsOwn)
{
    TestFrame frame(SQUARES.width, SQUARES.height);
    VoARRasterFilter_TileThreshold filter(frame.getSize(), BGRX);
    std::vector<uint8_t> mask(static_cast<size_t>(SQUARES.width * SQUARES.height));
    for (size_t k = 0; k < std::size(LIGHTS); k++) {
        const TScene& scene = k % 2 == 0 ? SQUARES : TScene{"flat", SQUARES.width, SQUARES.height,
                                                             [](double, double) { return GROUND; }};
        frame.paint(scene, LIGHTS[k], static_cast<uint32_t>(k));
        filter.doFilterDark(frame, mask.data());
        EXPECT_EQ(difference(tileMask(frame), mask).count, 0) << "frame " << k;
    }
}

class TileThresholdFormatTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(TileThresholdFormatTest, LayoutsWithoutTheColourInTheFirstThreeOfFourBytesAreRefused)
{
    const TVoARIntSize size{8, 8};
    EXPECT_FALSE(VoARRasterFilter_TileThreshold::reads(GetParam()));
    EXPECT_THROW(VoARRasterFilter_TileThreshold(&size, GetParam()), VoARException);
}

INSTANTIATE_TEST_SUITE_P(OtherLayouts, TileThresholdFormatTest,
                         ::testing::Values(IVoARBufferReader::BUFFERFORMAT_BYTE1D_R8G8B8_24,
                                           IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8_24,
                                           IVoARBufferReader::BUFFERFORMAT_BYTE1D_X8R8G8B8_32,
                                           IVoARBufferReader::BUFFERFORMAT_INT1D_X8R8G8B8_32,
                                           IVoARBufferReader::BUFFERFORMAT_INT1D_GRAY_8,
                                           IVoARBufferReader::BUFFERFORMAT_INT1D_BIN_8, 0));

TEST(TileThresholdDeathTest, FrameMustHaveTheSizeTheFilterWasBuiltFor)
{
    TestFrame frame(40, 30);
    const TVoARIntSize other{30, 41};
    VoARRasterFilter_TileThreshold filter(&other, BGRX);
    std::vector<uint8_t> mask(41 * 30);
    EXPECT_DEATH(filter.doFilterDark(frame, mask.data()),
                 "^src/core/VoARRasterFilter_TileThreshold:[0-9]+: failed assertion "
                 "`i_input\\.getWidth\\(\\)==_width&&i_input\\.getHeight\\(\\)==_height'\n$");
}

}  // namespace
