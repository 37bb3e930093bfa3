#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "IVoARColorPatt.h"
#include "VoARCode.h"
#include "VoARMatchPatt_Color_WITHOUT_PCA.h"

using namespace VoTrack;

namespace {

// A sampler that only hands out a fixed sample.
class FixedSample : public IVoARColorPatt
{
public:
    FixedSample(int32_t i_width, int32_t i_height, std::vector<int32_t> i_values)
        : _width(i_width), _height(i_height), _values(std::move(i_values))
    {
    }
    int32_t getWidth() const override { return _width; }
    int32_t getHeight() const override { return _height; }
    const int32_t* getSampleData() const override { return _values.data(); }
    bool sampleSquare(const IVoARRgbRaster* /*i_raster*/, const VoARSquare* /*i_square*/) override { return false; }

private:
    int32_t _width;
    int32_t _height;
    std::vector<int32_t> _values;
};

// A picture as a sample stores it: [row][column][red, green, blue].
using Picture = std::vector<int32_t>;

// Four pictures in pattern-file order: direction, plane blue/green/red,
// row, column.
std::vector<int32_t> fileOrder(const std::array<Picture, 4>& i_blocks, int32_t i_cells)
{
    std::vector<int32_t> values;
    for (const Picture& block : i_blocks) {
        for (int32_t plane = 0; plane < 3; plane++) {
            for (int32_t cell = 0; cell < i_cells; cell++) {
                values.push_back(block[static_cast<size_t>(cell * 3 + 2 - plane)]);
            }
        }
    }
    return values;
}

Picture randomPicture(std::mt19937& io_random, int32_t i_cells)
{
    std::uniform_int_distribution<int32_t> brightness(20, 200);
    Picture picture(static_cast<size_t>(i_cells * 3));
    for (int32_t& v : picture) {
        v = brightness(io_random);
    }
    return picture;
}

Picture shifted(const Picture& i_picture, int32_t i_offset)
{
    Picture out = i_picture;
    for (int32_t& v : out) {
        v += i_offset;
    }
    return out;
}

}  // namespace

class PatternMatchTest : public ::testing::Test
{
protected:
    static constexpr int32_t SIZE = 16;
    static constexpr int32_t CELLS = SIZE * SIZE;

    PatternMatchTest() : _random(4), _code(SIZE, SIZE) {}
    void load(const std::array<Picture, 4>& i_blocks)
    {
        const std::vector<int32_t> values = fileOrder(i_blocks, CELLS);
        _code.setFromArray(values.data(), SIZE, SIZE);
    }
    void match(const Picture& i_sample)
    {
        const FixedSample sample(SIZE, SIZE, i_sample);
        ASSERT_TRUE(_matcher.setSample(&sample));
        _matcher.matchCode(&_code);
    }

    std::mt19937 _random;
    VoARCode _code;
    VoARMatchPatt_Color_WITHOUT_PCA _matcher;
};

class BrightnessShiftTest : public PatternMatchTest, public ::testing::WithParamInterface<int32_t>
{
};

TEST_P(BrightnessShiftTest, SampleEqualToBlock2MatchesDirection2Fully)
{
    std::array<Picture, 4> blocks;
    for (Picture& block : blocks) {
        block = randomPicture(_random, CELLS);
    }
    load(blocks);
    match(shifted(blocks[2], GetParam()));
    EXPECT_EQ(_matcher.getDirection(), 2);
    EXPECT_NEAR(_matcher.getConfidence(), 1.0, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Offsets, BrightnessShiftTest, ::testing::Values(0, 30, -15));

TEST_F(PatternMatchTest, NegativeOfEveryBlockMatchesNothing)
{
    const Picture picture = randomPicture(_random, CELLS);
    load({picture, picture, picture, picture});
    Picture negative = picture;
    for (int32_t& v : negative) {
        v = 255 - v;
    }
    match(negative);
    EXPECT_EQ(_matcher.getConfidence(), 0.0);
    EXPECT_EQ(_matcher.getDirection(), -1);
}

TEST_F(PatternMatchTest, IdenticalBlocksGoToTheLowerDirection)
{
    const Picture a = randomPicture(_random, CELLS);
    const Picture b = randomPicture(_random, CELLS);
    load({a, b, a, b});
    match(b);
    EXPECT_EQ(_matcher.getDirection(), 1);
    match(a);
    EXPECT_EQ(_matcher.getDirection(), 0);
}

TEST_F(PatternMatchTest, SmallerSampleAfterALargerOneUsesItsOwnSize)
{
    match(randomPicture(_random, CELLS));
    std::array<Picture, 4> blocks;
    for (Picture& block : blocks) {
        block = randomPicture(_random, 4 * 4);
    }
    VoARCode small(4, 4);
    const std::vector<int32_t> values = fileOrder(blocks, 4 * 4);
    small.setFromArray(values.data(), 4, 4);
    const FixedSample sample(4, 4, blocks[3]);
    ASSERT_TRUE(_matcher.setSample(&sample));
    _matcher.matchCode(&small);
    EXPECT_EQ(_matcher.getDirection(), 3);
    EXPECT_NEAR(_matcher.getConfidence(), 1.0, 1e-12);
}

TEST(PatternMatchOneCell, UniformSampleIsRejectedAndMatchesNothing)
{
    VoARCode code(1, 1);
    const std::vector<int32_t> values = {0, 0, 1, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    code.setFromArray(values.data(), 1, 1);
    VoARMatchPatt_Color_WITHOUT_PCA matcher;
    const FixedSample black(1, 1, {0, 0, 0});
    EXPECT_FALSE(matcher.setSample(&black));
    matcher.matchCode(&code);
    EXPECT_EQ(matcher.getConfidence(), 0.0);
    EXPECT_EQ(matcher.getDirection(), -1);
}

TEST(PatternMatchOneCell, RedSampleIsMeanFreeDarknessWithItsNorm)
{
    // Pattern direction 0: blue 0, green 0, red 1, so block (0, 1, 1) with
    // norm sqrt 2; the other directions are uniform. Sample red 255: darkness
    // (0, 255, 255), mean 170, values (-170, 85, 85), norm sqrt 43350.
    VoARCode code(1, 1);
    const std::vector<int32_t> values = {0, 0, 1, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    code.setFromArray(values.data(), 1, 1);
    VoARMatchPatt_Color_WITHOUT_PCA matcher;
    const FixedSample red(1, 1, {255, 0, 0});
    ASSERT_TRUE(matcher.setSample(&red));
    matcher.matchCode(&code);
    EXPECT_EQ(matcher.getDirection(), 0);
    EXPECT_NEAR(matcher.getConfidence(), 170.0 / std::sqrt(2.0) / std::sqrt(43350.0), 1e-15);
}

// A one-cell sample against a pattern whose upright block is that sample:
// a full match, 1 and never above (some sums of squares rounded above 1),
// for every colour on a grid of levels.
TEST(PatternMatchOneCell, SampleEqualToTheBlockMatchesItAtMostFully)
{
    VoARMatchPatt_Color_WITHOUT_PCA matcher;
    VoARCode code(1, 1);
    int32_t full = 0;
    for (int32_t red = 0; red < 256; red += 15) {
        for (int32_t green = 0; green < 256; green += 15) {
            for (int32_t blue = 0; blue < 256; blue += 15) {
                const FixedSample sample(1, 1, {red, green, blue});
                if (!matcher.setSample(&sample)) {
                    continue;
                }
                // Planes blue, green, red; the other blocks plain.
                const std::vector<int32_t> values = {blue, green, red, 9, 9, 9, 9, 9, 9, 9, 9, 9};
                code.setFromArray(values.data(), 1, 1);
                matcher.matchCode(&code);
                ASSERT_LE(matcher.getConfidence(), 1.0) << red << " " << green << " " << blue;
                EXPECT_NEAR(matcher.getConfidence(), 1.0, 1e-15);
                full++;
            }
        }
    }
    EXPECT_GT(full, 4000);
}

TEST(PatternMatchSizes, LargestCheckedSampleKeepsExactSums)
{
    // 1023 x 1023 x 3 mean-free values of magnitude 127 and 128: their
    // squared sum (about 5e10) is beyond 32 bits, which the sanitizer build
    // would report.
    std::vector<int32_t> values(static_cast<size_t>(1023) * 1023 * 3);
    for (size_t k = 0; k < values.size(); k++) {
        values[k] = k % 2 == 0 ? 0 : 255;
    }
    VoARMatchPatt_Color_WITHOUT_PCA matcher;
    const FixedSample sample(1023, 1023, std::move(values));
    EXPECT_TRUE(matcher.setSample(&sample));
}

TEST(PatternMatchDeathTest, SampleOf1024InEitherSizeFailsTheSizeCheck)
{
    VoARMatchPatt_Color_WITHOUT_PCA matcher;
    const char* expected = "src/core/VoARMatchPatt_Color_WITHOUT_PCA:59: failed assertion "
                           "`i_width<1024 && i_height<1024'";
    const FixedSample wide(1024, 1, std::vector<int32_t>(1024 * 3, 0));
    const FixedSample tall(1, 1024, std::vector<int32_t>(1024 * 3, 0));
    EXPECT_DEATH(matcher.setSample(&wide), expected);
    EXPECT_DEATH(matcher.setSample(&tall), expected);
}

TEST(PatternMatchDeathTest, EmptySampleFailsAssertion)
{
    VoARMatchPatt_Color_WITHOUT_PCA matcher;
    const FixedSample empty(0, 16, {});
    EXPECT_DEATH(matcher.setSample(&empty), "src/core/VoARMatchPatt_Color_WITHOUT_PCA:[0-9]+: failed assertion "
                                            "`i_width>0 && i_height>0'");
}

TEST(PatternMatchDeathTest, PatternOfAnotherSizeFailsAssertion)
{
    VoARMatchPatt_Color_WITHOUT_PCA matcher;
    const FixedSample sample(16, 16, std::vector<int32_t>(16 * 16 * 3, 0));
    matcher.setSample(&sample);
    const VoARCode code(8, 16);
    EXPECT_DEATH(matcher.matchCode(&code), "src/core/VoARMatchPatt_Color_WITHOUT_PCA:[0-9]+: failed assertion");
}
