#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "VoARCode.h"
#include "VoARException.h"

using namespace VoTrack;

namespace {

// Brightness values in file order for a W x H pattern, all i_value.
std::vector<int32_t> uniformValues(int32_t i_width, int32_t i_height, int32_t i_value)
{
    return std::vector<int32_t>(static_cast<size_t>(12 * i_width * i_height), i_value);
}

std::vector<int32_t> patternOf(const VoARCode& i_code)
{
    return std::vector<int32_t>(i_code.getColorPattern(), i_code.getColorPattern() + i_code.valueCount());
}

std::vector<double> powerOf(const VoARCode& i_code)
{
    return std::vector<double>(i_code.getColorPower(), i_code.getColorPower() + 4);
}

}  // namespace

class VoARCodeTest : public ::testing::Test
{
protected:
    ~VoARCodeTest() override
    {
        for (const std::string& path : _files) {
            std::remove(path.c_str());
        }
    }
    // Writes i_text to a fresh file under the temporary directory.
    const char* file(const std::string& i_text)
    {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name) {
            c = c == '/' ? '_' : c;
        }
        _files.push_back(::testing::TempDir() + name + std::to_string(_files.size()) + ".pat");
        std::ofstream(_files.back()) << i_text;
        return _files.back().c_str();
    }
    static std::string asText(const std::vector<int32_t>& i_values, const char* i_separator)
    {
        std::string text;
        for (int32_t v : i_values) {
            text += std::to_string(v) + i_separator;
        }
        return text;
    }

    std::vector<std::string> _files;
};

TEST_F(VoARCodeTest, OneCellPatternRemovesTruncatedMeanAndTakesNorm)
{
    // Direction 0 is blue 0, green 0, red 1; the other directions are uniform.
    std::vector<int32_t> values = uniformValues(1, 1, 200);
    values[0] = 0;
    values[1] = 0;
    values[2] = 1;
    VoARCode code(1, 1);
    code.setFromArray(values.data(), 1, 1);
    // Darkness red 254, green 255, blue 255; mean 764 / 3 = 254 truncated.
    const std::vector<int32_t> pattern = patternOf(code);
    EXPECT_EQ(std::vector<int32_t>(pattern.begin(), pattern.begin() + 3), (std::vector<int32_t>{0, 1, 1}));
    EXPECT_DOUBLE_EQ(code.getColorPower()[0], std::sqrt(2.0));
}

TEST_F(VoARCodeTest, UniformDirectionGivesZeroBlockAndTinyNorm)
{
    std::vector<int32_t> values = uniformValues(16, 16, 77);
    values[3 * 16 * 16] = 78;  // direction 1 only is not uniform
    VoARCode code(16, 16);
    code.setFromArray(values.data(), 16, 16);
    const std::vector<int32_t> pattern = patternOf(code);
    const size_t block = 3 * 16 * 16;
    for (size_t d : {0u, 2u, 3u}) {
        EXPECT_EQ(std::vector<int32_t>(pattern.begin() + d * block, pattern.begin() + (d + 1) * block),
                  std::vector<int32_t>(block, 0))
            << "direction " << d;
        EXPECT_EQ(code.getColorPower()[d], 1e-7) << "direction " << d;
    }
    EXPECT_GT(code.getColorPower()[1], 0.5);
}

// One dark number among white ones, at (direction, plane, row, column) in
// file order, on a 2-column, 4-row grid.
struct DarkSpot
{
    int32_t direction, plane, row, column;
};

class VoARCodeLayoutTest : public ::testing::TestWithParam<DarkSpot>
{
};

TEST_P(VoARCodeLayoutTest, FileOrderLandsInDirectionRowColumnComponent)
{
    const DarkSpot spot = GetParam();
    const int32_t width = 2;
    const int32_t height = 4;
    std::vector<int32_t> values = uniformValues(width, height, 255);
    values[((spot.direction * 3 + spot.plane) * height + spot.row) * width + spot.column] = 0;
    VoARCode code(width, height);
    code.setFromArray(values.data(), width, height);

    // The block's mean is 255 / 24 = 10 (truncated); blue is component 2.
    const int32_t block = 3 * width * height;
    std::vector<int32_t> expected(4 * block, 0);
    std::fill(expected.begin() + spot.direction * block, expected.begin() + (spot.direction + 1) * block, -10);
    expected[spot.direction * block + (spot.row * width + spot.column) * 3 + (2 - spot.plane)] = 245;
    EXPECT_EQ(patternOf(code), expected);
    for (int32_t d = 0; d < 4; d++) {
        EXPECT_DOUBLE_EQ(code.getColorPower()[d], d == spot.direction ? std::sqrt(23.0 * 100 + 245 * 245) : 1e-7);
    }
}

INSTANTIATE_TEST_SUITE_P(Spots, VoARCodeLayoutTest,
                         ::testing::Values(DarkSpot{0, 0, 0, 0}, DarkSpot{3, 0, 2, 1}, DarkSpot{1, 2, 3, 0},
                                           DarkSpot{2, 1, 1, 1}));

TEST_F(VoARCodeTest, LargestGridWithExtremeValuesKeepsExactSums)
{
    // Alternating black and white: darkness 255 and 0, mean 127 (127.5
    // truncated), so values 128 and -127.
    std::vector<int32_t> values(12 * 64 * 64);
    for (size_t k = 0; k < values.size(); k++) {
        values[k] = k % 2 == 0 ? 0 : 255;
    }
    VoARCode code(64, 64);
    code.setFromArray(values.data(), 64, 64);
    const double half = 3 * 64 * 64 / 2;
    for (int32_t d = 0; d < 4; d++) {
        EXPECT_DOUBLE_EQ(code.getColorPower()[d], std::sqrt(half * (128 * 128 + 127 * 127)));
    }
    // Cells alternate along a row: cell 0 dark, cell 1 white.
    EXPECT_EQ(code.getColorPattern()[0], 128);
    EXPECT_EQ(code.getColorPattern()[3], -127);
}

class VoARCodeSizeTest : public ::testing::TestWithParam<int32_t>
{
};

TEST_P(VoARCodeSizeTest, SizeThatDoesNotDivide64IsRejected)
{
    EXPECT_THROW(VoARCode(GetParam(), 16), VoARException);
    EXPECT_THROW(VoARCode(16, GetParam()), VoARException);
}

INSTANTIATE_TEST_SUITE_P(BadSizes, VoARCodeSizeTest,
                         ::testing::Values(0, -1, -16, 3, 12, 48, 100, 128, std::numeric_limits<int32_t>::min(),
                                           std::numeric_limits<int32_t>::max()));

TEST(VoARCodeSizes, EveryDivisorOf64IsAccepted)
{
    for (int32_t size : {1, 2, 4, 8, 16, 32, 64}) {
        const VoARCode code(size, 64 / size);
        EXPECT_EQ(code.getWidth(), size);
        EXPECT_EQ(code.getHeight(), 64 / size);
        EXPECT_EQ(code.valueCount(), 12 * 64);
    }
}

TEST_F(VoARCodeTest, FileReadsNumbersSpreadOverLinesAndIgnoresExtraOnes)
{
    std::vector<int32_t> values(12 * 4 * 4);
    for (size_t k = 0; k < values.size(); k++) {
        values[k] = static_cast<int32_t>((k * 37) % 256);
    }
    VoARCode from_list(4, 4);
    from_list.setFromArray(values.data(), 4, 4);

    VoARCode from_lines(4, 4);
    from_lines.loadFromFile(file(asText(values, "\n")));
    VoARCode from_mixed(4, 4);
    from_mixed.loadFromFile(file("  +" + asText(values, " \t\r\n ") + "7 8 9\nnot numbers\n"));
    for (const VoARCode* code : {&from_lines, &from_mixed}) {
        EXPECT_EQ(patternOf(*code), patternOf(from_list));
        EXPECT_EQ(powerOf(*code), powerOf(from_list));
    }
}

// Each text is a 1 x 1 pattern file (12 numbers) that must not load.
class VoARCodeBadFileTest : public VoARCodeTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(VoARCodeBadFileTest, ThrowsAndKeepsTheEarlierPattern)
{
    VoARCode code(1, 1);
    code.loadFromFile(file("1 2 3 4 5 6 7 8 9 10 11 12"));
    const std::vector<int32_t> before = patternOf(code);
    const std::vector<double> before_power = powerOf(code);
    EXPECT_THROW(code.loadFromFile(file(GetParam())), VoARException);
    EXPECT_EQ(patternOf(code), before);
    EXPECT_EQ(powerOf(code), before_power);
}

INSTANTIATE_TEST_SUITE_P(Texts, VoARCodeBadFileTest,
                         ::testing::Values("", "1 2 3 4 5 6 7 8 9 10 11", "1 2 3 4 5 6 7 8 9 10 x 12",
                                           "1 2 3 4 5 6 7 8 9 10 11 12abc", "1 2 3 4 5 6 7 8 9 10 11 1.5",
                                           "1 2 3 4 5 6 7 8 9 10 11 256", "1 2 3 4 5 6 7 8 9 10 11 -1",
                                           "1 2 3 4 5 6 7 8 9 10 11 99999999999",
                                           "1 2 3 4 5 6 7 8 9 10 11 -2147483648"));

TEST_F(VoARCodeTest, UnopenableFileThrows)
{
    VoARCode code(1, 1);
    const std::string missing = ::testing::TempDir() + "no_such_pattern.pat";
    EXPECT_THROW(code.loadFromFile(missing.c_str()), VoARException);
    EXPECT_THROW(code.loadFromFile(::testing::TempDir().c_str()), VoARException);
    EXPECT_THROW(code.loadFromFile(nullptr), VoARException);
}

TEST_F(VoARCodeTest, ListOfWrongSizeOrOutOfRangeValueThrowsAndKeepsContents)
{
    std::vector<int32_t> values = uniformValues(2, 2, 100);
    values[5] = 30;
    VoARCode code(2, 2);
    code.setFromArray(values.data(), 2, 2);
    const std::vector<int32_t> before = patternOf(code);

    const std::vector<int32_t> other = uniformValues(4, 4, 0);
    EXPECT_THROW(code.setFromArray(other.data(), 4, 2), VoARException);
    EXPECT_THROW(code.setFromArray(other.data(), 2, 4), VoARException);
    EXPECT_THROW(code.setFromArray(nullptr, 2, 2), VoARException);
    for (int32_t bad : {256, -1, 65535, std::numeric_limits<int32_t>::min()}) {
        std::vector<int32_t> wrong = uniformValues(2, 2, 0);
        wrong.back() = bad;
        EXPECT_THROW(code.setFromArray(wrong.data(), 2, 2), VoARException) << bad;
    }
    EXPECT_EQ(patternOf(code), before);
}
