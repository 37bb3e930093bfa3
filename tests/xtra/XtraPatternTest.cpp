#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "XtraTestSupport.h"

using namespace Moa;
using namespace XtraTest;

namespace {

constexpr int32_t DEFAULT_COUNT = 12 * 16 * 16;

class XtraPatternTest : public XtraHostTest
{
protected:
    void SetUp() override
    {
        XtraHostTest::SetUp();
        newTracker();
    }
    int32_t loadList(const std::vector<TMoaValue>& i_arguments)
    {
        return integerResult(call("loadPatternList", i_arguments));
    }
    int32_t loadFile(const std::vector<TMoaValue>& i_arguments)
    {
        return integerResult(call("loadPatternFile", i_arguments));
    }
};

TEST_F(XtraPatternTest, DefaultListNeeds3072Numbers)
{
    std::vector<int32_t> numbers = patternNumbers(0);
    ASSERT_EQ(numbers.size(), static_cast<size_t>(DEFAULT_COUNT));
    const std::vector<int32_t> short_list(numbers.begin(), numbers.end() - 1);
    EXPECT_EQ(loadList({integerList(short_list)}), 0);
    EXPECT_EQ(patternCount(), 0);
    EXPECT_EQ(loadList({integerList(numbers)}), 1);
    numbers.push_back(-77);
    EXPECT_EQ(loadList({integerList(numbers)}), 1);
    EXPECT_EQ(patternCount(), 2);
}

TEST_F(XtraPatternTest, OneSizeGivesASquareGrid)
{
    const std::vector<int32_t> numbers = patternNumbers(1, 8);
    ASSERT_EQ(numbers.size(), 768u);
    const std::string path = writePatternFile(numbers, 8, 8, "grid8");
    EXPECT_EQ(loadFile({string(path), integer(8)}), 1);
    EXPECT_EQ(loadList({integerList(numbers), integer(8)}), 1);
    // 768 numbers are too few for the default grid.
    EXPECT_EQ(loadFile({string(path)}), 0);
    EXPECT_EQ(loadList({integerList(numbers)}), 0);
    EXPECT_EQ(patternCount(), 2);
}

TEST_F(XtraPatternTest, TwoSizesGiveWidthByHeight)
{
    const std::vector<int32_t> numbers = patternNumbers(2, 8);
    std::vector<int32_t> wide(numbers);
    wide.insert(wide.end(), numbers.begin(), numbers.end());
    ASSERT_EQ(wide.size(), static_cast<size_t>(12 * 16 * 8));
    EXPECT_EQ(loadList({integerList(wide), integer(16), integer(8)}), 1);
    wide.pop_back();
    EXPECT_EQ(loadList({integerList(wide), integer(8), integer(16)}), 0);
    EXPECT_EQ(patternCount(), 1);
}

TEST_F(XtraPatternTest, PatternFileLoadsLikeItsList)
{
    const std::vector<int32_t> numbers = patternNumbers(3);
    EXPECT_EQ(loadFile({string(writePatternFile(numbers, 16, 16, "marker3"))}), 1);
    EXPECT_EQ(values().borrowedStrings(), 0);
    EXPECT_EQ(patternCount(), 1);
}

TEST_F(XtraPatternTest, EleventhLoadAddsNothing)
{
    const std::string path = writePatternFile(patternNumbers(0), 16, 16, "marker0");
    for (int i = 0; i < 10; i++) {
        EXPECT_EQ(i % 2 == 0 ? loadMarker(i % 6) : loadFile({string(path)}), 1) << "load " << i;
    }
    EXPECT_EQ(loadMarker(0), 0);
    EXPECT_EQ(loadFile({string(path)}), 0);
    EXPECT_EQ(patternCount(), 10);
}

TEST_F(XtraPatternTest, UnloadThenLoadStartsNumberingAgain)
{
    for (int i = 0; i < 3; i++) {
        ASSERT_EQ(loadMarker(i), 1);
    }
    EXPECT_EQ(call("unloadAllPatterns").status, MOA_OK);
    EXPECT_EQ(patternCount(), 0);
    EXPECT_EQ(loadMarker(4), 1);
    EXPECT_EQ(patternCount(), 1);
}

TEST_F(XtraPatternTest, NoCameraNoPattern)
{
    call("forget");
    EXPECT_EQ(loadMarker(0), 0);
    EXPECT_EQ(loadFile({string(writePatternFile(patternNumbers(0), 16, 16, "marker0"))}), 0);
    call("new", {integerList({1, 2}), integer(FRAME_WIDTH), integer(FRAME_HEIGHT)});
    EXPECT_EQ(loadMarker(0), 0);
}

// Each call must answer 0 and leave no pattern behind, half-built or not.
struct TBadLoad
{
    const char* name;
    bool from_file;
    // Spoils the pattern's numbers; null leaves them good.
    void (*edit)(std::vector<int32_t>* io_numbers);
    // The size arguments given.
    std::vector<int32_t> sizes;
};

void PrintTo(const TBadLoad& i_load, std::ostream* o_stream)
{
    *o_stream << i_load.name;
}

class XtraBadPatternTest : public XtraPatternTest, public ::testing::WithParamInterface<TBadLoad>
{
};

TEST_P(XtraBadPatternTest, LoadsNothing)
{
    const TBadLoad& bad = GetParam();
    std::vector<int32_t> numbers = patternNumbers(0);
    if (bad.edit != nullptr) {
        bad.edit(&numbers);
    }
    std::vector<TMoaValue> arguments;
    if (bad.from_file) {
        std::ofstream file(::testing::TempDir() + "xtra_bad_" + bad.name + ".pat");
        for (int32_t number : numbers) {
            file << number << ' ';
        }
        arguments.push_back(string(::testing::TempDir() + "xtra_bad_" + bad.name + ".pat"));
    } else {
        arguments.push_back(integerList(numbers));
    }
    for (int32_t size : bad.sizes) {
        arguments.push_back(integer(size));
    }
    EXPECT_EQ(integerResult(call(bad.from_file ? "loadPatternFile" : "loadPatternList", arguments)), 0);
    EXPECT_EQ(patternCount(), 0);
    EXPECT_EQ(loadMarker(0), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XtraBadPatternTest,
    ::testing::Values(TBadLoad{"ListValueAbove255", false, [](std::vector<int32_t>* n) { (*n)[100] = 256; }, {}},
                      TBadLoad{"ListValueNegative", false, [](std::vector<int32_t>* n) { (*n)[3071] = -1; }, {}},
                      TBadLoad{"FileValueAbove255", true, [](std::vector<int32_t>* n) { (*n)[5] = 300; }, {}},
                      TBadLoad{"FileTooShort", true, [](std::vector<int32_t>* n) { n->resize(3000); }, {}},
                      TBadLoad{"SizeZero", false, nullptr, {0}},
                      TBadLoad{"SizeNegative", false, nullptr, {-16}},
                      TBadLoad{"SizeNotADivisorOf64", false, nullptr, {12}},
                      TBadLoad{"SizeAbove64", true, nullptr, {128}},
                      TBadLoad{"HeightZero", false, nullptr, {16, 0}},
                      TBadLoad{"HugeSizes", false, nullptr, {0x40000000, 0x40000000}}),
    [](const ::testing::TestParamInfo<TBadLoad>& i_info) { return std::string(i_info.param.name); });

TEST_F(XtraPatternTest, ArgumentsOfTheWrongKindLoadNothing)
{
    const TMoaValue list = integerList(patternNumbers(0));
    const TMoaValue path = string(writePatternFile(patternNumbers(0), 16, 16, "marker0"));
    EXPECT_EQ(loadList({path}), 0);
    EXPECT_EQ(loadFile({list}), 0);
    EXPECT_EQ(loadFile({}), 0);
    EXPECT_EQ(loadList({}), 0);
    EXPECT_EQ(loadList({list, string("16")}), 0);
    EXPECT_EQ(loadFile({path, integer(16), string("x")}), 0);
    EXPECT_EQ(loadFile({string("/nonexistent/marker.pat")}), 0);
    std::vector<TMoaValue> elements = values().listOf(list);
    elements[18] = string("7");
    EXPECT_EQ(loadList({values().makeList(elements)}), 0);
    EXPECT_EQ(patternCount(), 0);
    EXPECT_EQ(values().borrowedStrings(), 0);
}

TEST_F(XtraPatternTest, UnloadWithoutPatternsOrCameraIsHarmless)
{
    EXPECT_EQ(call("unloadAllPatterns").status, MOA_OK);
    call("forget");
    EXPECT_EQ(call("unloadAllPatterns").status, MOA_OK);
}

}  // namespace
