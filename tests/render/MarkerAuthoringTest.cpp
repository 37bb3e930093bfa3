#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "BuiltinMarkers.h"
#include "markeye/Pattern.h"

using namespace Markeye;

namespace {

constexpr int32_t GRID = 16;
constexpr size_t BLOCK = 3 * GRID * GRID;

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
        patterns[static_cast<size_t>(i)] =
            markeye::Pattern::fromPicture(BuiltinMarkers::picture(i).view(), GRID, GRID).numbers();
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
