#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "BuiltinMarkers.h"
#include "markeye/Pattern.h"
#include "MarkerPose.h"
#include "RenderTestSupport.h"
#include "SceneRenderer.h"

using namespace Markeye;
using VoTrack::TVoARDoublePoint_t;

namespace {

constexpr int32_t GRID = 16;
constexpr size_t BLOCK = 3 * GRID * GRID;

// Plane p (0 blue, 1 green, 2 red), row, column of block d.
int32_t number(const std::vector<int32_t>& i_numbers, int32_t i_d, int32_t i_p, int32_t i_row, int32_t i_column)
{
    return i_numbers[BLOCK * i_d + GRID * GRID * i_p + GRID * i_row + i_column];
}

// Cosine between two blocks' mean-free darkness values, as a matcher scores.
double correlation(const std::vector<int32_t>& i_a, size_t i_block_a, const std::vector<int32_t>& i_b,
                   size_t i_block_b)
{
    double mean_a = 0.0;
    double mean_b = 0.0;
    for (size_t i = 0; i < BLOCK; i++) {
        mean_a += 255 - i_a[BLOCK * i_block_a + i];
        mean_b += 255 - i_b[BLOCK * i_block_b + i];
    }
    mean_a /= BLOCK;
    mean_b /= BLOCK;
    double ab = 0.0;
    double aa = 0.0;
    double bb = 0.0;
    for (size_t i = 0; i < BLOCK; i++) {
        const double a = 255 - i_a[BLOCK * i_block_a + i] - mean_a;
        const double b = 255 - i_b[BLOCK * i_block_b + i] - mean_b;
        ab += a * b;
        aa += a * a;
        bb += b * b;
    }
    return ab / std::sqrt(aa * bb);
}

TEST(MarkerPictureTest, QuarterTurnIsCounterClockwise)
{
    // 3 wide, 2 high: "#.." over "..#" turned counter-clockwise puts the
    // right column (".", "#") on top as row 0 (".#"), the left column last.
    const char* rows[] = {"#..", "..#"};
    const char* expected_rows[] = {".#", "..", "#."};
    const MarkerPicture picture = MarkerPicture::fromText(rows, 2);
    EXPECT_EQ(picture.rotated(1), MarkerPicture::fromText(expected_rows, 3));
    EXPECT_EQ(picture.rotated(4), picture);
    EXPECT_EQ(picture.rotated(-1), picture.rotated(3));
    const char* ragged[] = {"#..", "#"};
    EXPECT_THROW(MarkerPicture::fromText(ragged, 2), std::invalid_argument);
}

TEST(MarkerPictureTest, GreyLevelsFillAllThreeChannels)
{
    const uint8_t grey[] = {0, 90, 200, 255};
    const MarkerPicture picture = MarkerPicture::fromGrey(2, 2, grey);
    const uint8_t* bottom_left = picture.getPixel(0, 1);
    EXPECT_EQ(bottom_left[0], 200);
    EXPECT_EQ(bottom_left[1], 200);
    EXPECT_EQ(bottom_left[2], 200);
    EXPECT_EQ(picture.sample(0.75, 0.25)[1], 90);
    EXPECT_EQ(picture.sample(-3.0, 7.0)[1], 200) << "clamped to the bottom-left pixel";
}

TEST(MarkerPatternMakerTest, NumbersFollowTheFileOrderWithBlocksTurnedCounterClockwise)
{
    // 2 x 2 picture, (red, green, blue): top-left, top-right, bottom-left,
    // bottom-right. Block d is the picture turned d quarter turns
    // counter-clockwise; each block lists blue, green, red planes, rows, columns.
    const uint8_t rgb[] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(MarkerPicture::fromRgb(2, 2, rgb).view(), 2, 2).numbers();
    const std::vector<int32_t> expected = {
        30,  60, 90,  120, 20,  50, 80,  110, 10,  40, 70,  100,  // upright
        60,  120, 30, 90,  50,  110, 20, 80,  40,  100, 10, 70,   // right column on top, read down
        120, 90, 60,  30,  110, 80, 50,  20,  100, 70, 40,  10,   // upside down
        90,  30, 120, 60,  80,  20, 110, 50,  70,  10, 100, 40};  // left column on top, read up
    EXPECT_EQ(numbers, expected);
}

TEST(MarkerPatternMakerTest, CellsAverageThePictureWhenTheGridIsCoarser)
{
    // A 4 x 4 picture with one black pixel per 2 x 2 cell: each cell is a
    // quarter black.
    const char* rows[] = {"#.#.", "....", "#.#.", "...."};
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(MarkerPicture::fromText(rows, 4).view(), 2, 2).numbers();
    ASSERT_EQ(numbers.size(), 48u);
    for (int32_t value : numbers) {
        EXPECT_EQ(value, 191);
    }
}

TEST(MarkerPatternMakerTest, EveryBlockIsTheUprightPatternOfTheTurnedPicture)
{
    const MarkerPicture picture = BuiltinMarkers::picture(1);
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(picture.view(), GRID, GRID).numbers();
    for (int32_t d = 0; d < 4; d++) {
        std::vector<int32_t> turned;
        turned = markeye::Pattern::fromPicture(picture.rotated(d).view(), GRID, GRID).numbers();
        EXPECT_TRUE(std::equal(turned.begin(), turned.begin() + BLOCK, numbers.begin() + BLOCK * d)) << d;
    }
}

// Reads block d off a rendered marker the way the tracker samples a square
// whose corner 0 shows marker vertex d: row 0 along the edge from corner 0
// to corner 1, column 0 along the edge from corner 0 to corner 3, the
// central half of the square.
TEST(MarkerPatternMakerTest, BlockDIsWhatASquareStartingAtVertexDShows)
{
    const MarkerPicture picture = BuiltinMarkers::picture(4);
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(picture.view(), GRID, GRID).numbers();
    SceneRenderer renderer(RenderCamera::builtin());
    TSceneOptions options;
    options.background_level = 255.0;
    // Rolled a little so the square's corners are not axis-aligned; facing
    // the camera, so the square is an exact parallelogram.
    renderer.render(TSceneMarker(&picture, 80.0, MarkerPose::make(20.0, 0.0, 0.0, 0.0, 0.0, 300.0)), options);
    const TVoARDoublePoint_t* vertex = renderer.getTruth()[0].observed_corners;
    for (int32_t d = 0; d < 4; d++) {
        // Marker vertex i is square corner (i + 4 - d) mod 4.
        const TVoARDoublePoint_t c0 = vertex[d];
        const TVoARDoublePoint_t c1 = vertex[(d + 1) % 4];
        const TVoARDoublePoint_t c3 = vertex[(d + 3) % 4];
        for (int32_t row = 0; row < GRID; row++) {
            for (int32_t column = 0; column < GRID; column++) {
                const double s = 0.25 + 0.5 * (column + 0.5) / GRID;
                const double t = 0.25 + 0.5 * (row + 0.5) / GRID;
                const auto x = static_cast<int32_t>(std::lround(c0.x + s * (c1.x - c0.x) + t * (c3.x - c0.x)));
                const auto y = static_cast<int32_t>(std::lround(c0.y + s * (c1.y - c0.y) + t * (c3.y - c0.y)));
                ASSERT_EQ(RenderTestSupport::channelAt(renderer, x, y, 1), number(numbers, d, 1, row, column))
                    << "direction " << d << " cell " << row << "," << column;
            }
        }
    }
}

TEST(MarkerPatternMakerTest, FileHoldsTheNumbersInOrder)
{
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(BuiltinMarkers::picture(2).view(), GRID, GRID).numbers();
    const std::string path = ::testing::TempDir() + "marker_authoring_test.patt";
    markeye::Pattern::fromNumbers(numbers, GRID, GRID).save(path);
    std::ifstream file(path);
    std::vector<int32_t> read;
    int32_t value;
    while (file >> value) {
        read.push_back(value);
    }
    EXPECT_EQ(read, numbers);
    std::remove(path.c_str());
    EXPECT_THROW(MarkerPatternMaker::writeFile(path, numbers, GRID, GRID / 2), std::invalid_argument);
    EXPECT_THROW(MarkerPatternMaker::writeFile(::testing::TempDir() + "no/such/dir/x.patt", numbers, GRID, GRID),
                 std::runtime_error);
}

TEST(BuiltinMarkersTest, GlyphsAreNamedBlackAndWhiteAndOfTheStatedSize)
{
    ASSERT_GE(BuiltinMarkers::count(), 6);
    std::set<std::string> names;
    for (int32_t i = 0; i < BuiltinMarkers::count(); i++) {
        names.insert(BuiltinMarkers::name(i));
        EXPECT_EQ(BuiltinMarkers::find(BuiltinMarkers::name(i)), i);
        const MarkerPicture picture = BuiltinMarkers::picture(i);
        ASSERT_EQ(picture.getWidth(), BuiltinMarkers::PICTURE_SIZE);
        ASSERT_EQ(picture.getHeight(), BuiltinMarkers::PICTURE_SIZE);
        for (int32_t k = 0; k < BuiltinMarkers::PICTURE_SIZE; k++) {
            // The white margin keeps the border a clean frame.
            EXPECT_EQ(picture.getPixel(k, 0)[0], 255);
            EXPECT_EQ(picture.getPixel(0, k)[0], 255);
            EXPECT_EQ(picture.getPixel(k, BuiltinMarkers::PICTURE_SIZE - 1)[0], 255);
            EXPECT_EQ(picture.getPixel(BuiltinMarkers::PICTURE_SIZE - 1, k)[0], 255);
        }
    }
    EXPECT_EQ(names.size(), static_cast<size_t>(BuiltinMarkers::count()));
    EXPECT_EQ(BuiltinMarkers::find("no such marker"), -1);
    EXPECT_THROW(BuiltinMarkers::picture(BuiltinMarkers::count()), std::out_of_range);
}

TEST(BuiltinMarkersTest, GlyphsDifferFromTheirTurnsAndFromEachOther)
{
    // A matcher scores 1.0 for the right marker in the right direction; every
    // other direction or marker stays at or below this.
    const double LIMIT = 0.5;
    std::vector<std::vector<int32_t>> patterns(static_cast<size_t>(BuiltinMarkers::count()));
    for (int32_t i = 0; i < BuiltinMarkers::count(); i++) {
        MarkerPatternMaker::makeNumbers(BuiltinMarkers::picture(i), GRID, GRID, &patterns[static_cast<size_t>(i)]);
    }
    for (size_t a = 0; a < patterns.size(); a++) {
        for (size_t b = 0; b < patterns.size(); b++) {
            for (size_t d = (a == b ? 1 : 0); d < 4; d++) {
                EXPECT_LT(correlation(patterns[a], d, patterns[b], 0), LIMIT)
                    << BuiltinMarkers::name(static_cast<int32_t>(a)) << " turned " << d << " vs "
                    << BuiltinMarkers::name(static_cast<int32_t>(b));
            }
        }
    }
}

}  // namespace
