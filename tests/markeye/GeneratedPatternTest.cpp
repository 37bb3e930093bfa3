// markeye::Pattern::generated: the pictures pinned, their layout, their
// correlations computed here from the pattern numbers, and rendered
// markers of them tracked with all of them loaded.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "BoardScene.h"
#include "LibraryTestSupport.h"
#include "MarkerPose.h"
#include "markeye/markeye.h"

using namespace LibraryTest;
using markeye::Pattern;

namespace {

constexpr int32_t COUNT = Pattern::GENERATED_COUNT;
constexpr int32_t SIDE = 16;
constexpr size_t BLOCK = 3 * SIDE * SIDE;
// The tracker subtracts a block's integer mean, the formula here the exact
// one: the two correlations differ by less than this.
constexpr double MEAN_ROUNDING_TOLERANCE = 1e-3;

// FNV-1a over the bytes of every generated picture, in index order.
uint32_t checksumOfAllPictures()
{
    uint32_t hash = 2166136261u;
    for (int32_t i = 0; i < COUNT; i++) {
        const markeye::Image picture = Pattern::generatedPicture(i);
        for (int32_t k = 0; k < picture.stride() * picture.height(); k++) {
            hash = (hash ^ picture.data()[k]) * 16777619u;
        }
    }
    return hash;
}

// The picture's 7 x 7 cells, '#' black, '.' white, row by row.
std::string cellText(int32_t i_index)
{
    const markeye::Image picture = Pattern::generatedPicture(i_index);
    std::string text;
    for (int32_t row = 0; row < 7; row++) {
        for (int32_t column = 0; column < 7; column++) {
            text += picture.pixel(1 + 2 * column, 1 + 2 * row)[0] == 0 ? '#' : '.';
        }
        text += row < 6 ? "/" : "";
    }
    return text;
}

// Pearson correlation of the darkness (255 - number) of block i_d of i_a
// with block i_e of i_b, over all three planes.
double correlation(const Pattern& i_a, int32_t i_d, const Pattern& i_b, int32_t i_e)
{
    const int32_t* a = i_a.numbers().data() + BLOCK * static_cast<size_t>(i_d);
    const int32_t* b = i_b.numbers().data() + BLOCK * static_cast<size_t>(i_e);
    double mean_a = 0.0;
    double mean_b = 0.0;
    for (size_t k = 0; k < BLOCK; k++) {
        mean_a += 255.0 - a[k];
        mean_b += 255.0 - b[k];
    }
    mean_a /= BLOCK;
    mean_b /= BLOCK;
    double ab = 0.0;
    double aa = 0.0;
    double bb = 0.0;
    for (size_t k = 0; k < BLOCK; k++) {
        const double x = 255.0 - a[k] - mean_a;
        const double y = 255.0 - b[k] - mean_b;
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return ab / std::sqrt(aa * bb);
}

class GeneratedPatternTest : public ::testing::Test
{
protected:
    static const std::vector<Pattern>& generated()
    {
        static const std::vector<Pattern> all = [] {
            std::vector<Pattern> patterns;
            for (int32_t i = 0; i < COUNT; i++) {
                patterns.push_back(Pattern::generated(i));
            }
            return patterns;
        }();
        return all;
    }
};

}  // namespace

// The pictures come from our own integer generator, so every machine and
// compiler must give these.
TEST_F(GeneratedPatternTest, PicturesAreTheSameOnEveryMachine)
{
    EXPECT_EQ(COUNT, 64);
    EXPECT_EQ(cellText(0), ".#####./#..#..#/#.#.#.#/#.##..#/####.#./#.###../......#");
    EXPECT_EQ(cellText(63), ".#.###./##..#.#/.#.#.#./.....#./#.##.../......#/....###");
    EXPECT_EQ(checksumOfAllPictures(), 1882502357u);
}

// A white frame of one pixel, then 7 x 7 cells of 2 x 2 pixels, each all
// black or all white, at least two fifths of them of each.
TEST_F(GeneratedPatternTest, PicturesAreCellsInsideAWhiteFrame)
{
    for (int32_t i = 0; i < COUNT; i++) {
        SCOPED_TRACE(::testing::Message() << "generated " << i);
        const markeye::Image picture = Pattern::generatedPicture(i);
        ASSERT_EQ(picture.width(), SIDE);
        ASSERT_EQ(picture.height(), SIDE);
        ASSERT_EQ(picture.format(), markeye::PixelFormat::RGB);
        int32_t black_cells = 0;
        for (int32_t y = 0; y < SIDE; y++) {
            for (int32_t x = 0; x < SIDE; x++) {
                const uint8_t* rgb = picture.pixel(x, y);
                ASSERT_TRUE(rgb[0] == rgb[1] && rgb[1] == rgb[2] && (rgb[0] == 0 || rgb[0] == 255));
                const bool frame = x == 0 || y == 0 || x == SIDE - 1 || y == SIDE - 1;
                if (frame) {
                    ASSERT_EQ(rgb[0], 255) << x << ", " << y;
                    continue;
                }
                // The cell's top-left pixel.
                const uint8_t* cell = picture.pixel(1 + (x - 1) / 2 * 2, 1 + (y - 1) / 2 * 2);
                ASSERT_EQ(rgb[0], cell[0]) << x << ", " << y;
                black_cells += (x % 2 == 1 && y % 2 == 1 && rgb[0] == 0) ? 1 : 0;
            }
        }
        EXPECT_GE(black_cells, 19);
        EXPECT_LE(black_cells, 49 - 19);
    }
}

TEST_F(GeneratedPatternTest, PatternsAreNamedAndMadeOfTheirPictures)
{
    for (int32_t i : {0, 17, COUNT - 1}) {
        const Pattern& pattern = generated()[static_cast<size_t>(i)];
        EXPECT_EQ(pattern.name(), "generated:" + std::to_string(i));
        EXPECT_EQ(pattern.gridWidth(), Pattern::DEFAULT_GRID);
        const markeye::Image picture = Pattern::generatedPicture(i);
        EXPECT_EQ(pattern.numbers(), Pattern::fromPicture(picture.view()).numbers());
        const Pattern coarse = Pattern::generated(i, 8, 4);
        EXPECT_EQ(coarse.gridWidth(), 8);
        EXPECT_EQ(coarse.numbers(), Pattern::fromPicture(picture.view(), 8, 4).numbers());
    }
    for (int32_t bad : {-1, COUNT, 1000}) {
        const std::string message = errorOf([&] { Pattern::generated(bad); });
        EXPECT_EQ(message, "no generated pattern " + std::to_string(bad) + " (there are 0 to 63)");
        EXPECT_THROW(Pattern::generatedPicture(bad), markeye::Error);
    }
    EXPECT_THROW(Pattern::generated(0, 3, 3), markeye::Error);
    EXPECT_EQ(errorOf([] { Pattern::generated(5).markerPicture(3); }),
              "pattern generated:5: a marker picture cannot be 3 pixels wide (4 to 16384)");
}

// Every pair of generated patterns, and each with every built-in marker, in
// any two directions, and each with its own other directions: the highest
// correlation stays below the documented bound, so that the tracker's
// margin of 0.20 over the runner-up has room.
TEST_F(GeneratedPatternTest, CorrelationsStayBelowTheBound)
{
    const std::vector<Pattern>& builtins = builtinPatterns();
    double worst_pair = -1.0;
    double worst_builtin = -1.0;
    double worst_self = -1.0;
    for (size_t i = 0; i < generated().size(); i++) {
        const Pattern& a = generated()[i];
        for (int32_t d = 0; d < 4; d++) {
            for (int32_t e = 0; e < 4; e++) {
                if (e != d) {
                    worst_self = std::max(worst_self, correlation(a, d, a, e));
                }
                for (size_t j = 0; j < i; j++) {
                    worst_pair = std::max(worst_pair, correlation(a, d, generated()[j], e));
                }
                for (const Pattern& builtin : builtins) {
                    worst_builtin = std::max(worst_builtin, correlation(a, d, builtin, e));
                }
            }
        }
        for (const Pattern& builtin : builtins) {
            EXPECT_NE(a.numbers(), builtin.numbers()) << a.name() << " is " << builtin.name();
        }
    }
    std::printf("highest correlation: generated pairs %.4f, with built-ins %.4f, own directions %.4f\n", worst_pair,
                worst_builtin, worst_self);
    const double bound = Pattern::GENERATED_MAX_CORRELATION + MEAN_ROUNDING_TOLERANCE;
    EXPECT_DOUBLE_EQ(Pattern::GENERATED_MAX_CORRELATION, 0.45);
    EXPECT_LT(worst_pair, bound);
    EXPECT_LT(worst_builtin, bound);
    EXPECT_LT(worst_self, bound);
}

namespace {

constexpr int32_t MARKERS_PER_SCENE = 8;
// Pixels: a wrong direction would put corners a marker's side away.
constexpr double CORNER_TOLERANCE_PX = 1.0;

// Generated markers 8 k to 8 k + 7 in a 4 x 2 grid through the built-in
// camera, each about 90 pixels across, turned any way and tilted up to 30
// degrees, seeded by the scene.
std::vector<Markeye::TSceneMarker> generatedScene(int32_t i_scene)
{
    std::mt19937 generator(static_cast<uint32_t>(1000 + i_scene));
    std::uniform_real_distribution<double> roll(0.0, 360.0);
    std::uniform_real_distribution<double> tilt(-30.0, 30.0);
    constexpr double DEPTH = 700.0 * MARKER_WIDTH / 90.0;
    constexpr double SPACING = 135.0;
    std::vector<Markeye::TSceneMarker> markers;
    for (int32_t k = 0; k < MARKERS_PER_SCENE; k++) {
        const double x = (k % 4 - 1.5) * SPACING;
        const double y = (k / 4 - 0.5) * SPACING;
        markers.emplace_back(&generatedMarkerPicture(MARKERS_PER_SCENE * i_scene + k), MARKER_WIDTH,
                             Markeye::MarkerPose::make(roll(generator), tilt(generator), tilt(generator), x, y, DEPTH));
    }
    return markers;
}

class GeneratedMarkerSceneTest : public ::testing::TestWithParam<int32_t>
{
};

}  // namespace

// All 64 generated patterns loaded, with the built-in ones after them: each
// rendered marker is found once, for its own pattern and in its direction
// (its corners on the drawn vertices), and nothing else is reported.
TEST_P(GeneratedMarkerSceneTest, EveryMarkerIsToldApart)
{
    const markeye::Camera camera = markeye::Camera::builtin(FRAME_WIDTH, FRAME_HEIGHT);
    RenderedFrame frame(camera);
    frame.render(generatedScene(GetParam()));
    std::vector<Pattern> patterns;
    for (int32_t i = 0; i < COUNT; i++) {
        patterns.push_back(Pattern::generated(i));
    }
    for (const Pattern& builtin : builtinPatterns()) {
        patterns.push_back(builtin);
    }
    markeye::Tracker tracker(camera, patterns);
    const std::vector<markeye::Detection>& found = tracker.track(frame.view());
    ASSERT_EQ(found.size(), static_cast<size_t>(MARKERS_PER_SCENE));
    for (int32_t k = 0; k < MARKERS_PER_SCENE; k++) {
        // Detections come in pattern order, as the scene's markers do.
        const markeye::Detection& detection = found[static_cast<size_t>(k)];
        SCOPED_TRACE(::testing::Message() << "marker " << k);
        EXPECT_EQ(detection.pattern, MARKERS_PER_SCENE * GetParam() + k);
        EXPECT_GT(detection.confidence, 0.8);
        EXPECT_LT(worstCornerError(detection, frame.truth()[static_cast<size_t>(k)]), CORNER_TOLERANCE_PX);
    }
}

INSTANTIATE_TEST_SUITE_P(Scenes, GeneratedMarkerSceneTest, ::testing::Range(0, COUNT / MARKERS_PER_SCENE));
