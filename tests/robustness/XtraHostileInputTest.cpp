// Hostile input to the plug-in through the emulated host: frame sizes whose
// tables no memory budget holds, and file names that are no files.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "XtraFrameLimit.h"
#include "XtraTestSupport.h"

using namespace Moa;
using namespace XtraTest;
using VoXtra::XtraFrameLimit;

namespace {

constexpr int32_t INT_MAX_32 = std::numeric_limits<int32_t>::max();

struct TFrameCase
{
    int32_t width;
    int32_t height;
    bool accepted;
};

void PrintTo(const TFrameCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.width << "x" << i_case.height;
}

// ---- The frame limit itself, at its edges

class XtraFrameLimitTest : public ::testing::TestWithParam<TFrameCase>
{
};

TEST_P(XtraFrameLimitTest, AcceptsFramesWithinBothLimits)
{
    EXPECT_EQ(XtraFrameLimit::accepts(GetParam().width, GetParam().height), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, XtraFrameLimitTest,
    ::testing::Values(TFrameCase{1, 1, true}, TFrameCase{640, 480, true}, TFrameCase{3840, 2160, true},
                      TFrameCase{4096, 2048, true}, TFrameCase{2048, 4096, true}, TFrameCase{8192, 1024, true},
                      TFrameCase{8192, 1, true}, TFrameCase{1, 8192, true}, TFrameCase{4097, 2048, false},
                      TFrameCase{4096, 2049, false}, TFrameCase{8193, 1, false}, TFrameCase{1, 8193, false},
                      TFrameCase{0, 480, false}, TFrameCase{640, 0, false}, TFrameCase{-640, -480, false},
                      TFrameCase{46341, 46341, false}, TFrameCase{65536, 65536, false},
                      TFrameCase{70000, 70000, false}, TFrameCase{INT_MAX_32, 1, false},
                      TFrameCase{INT_MAX_32, INT_MAX_32, false}));

// ---- new with such sizes

class XtraRobustnessTest : public XtraHostTest
{
};

class XtraHostileFrameTest : public XtraHostTest, public ::testing::WithParamInterface<TFrameCase>
{
};

// A refused size leaves the instance without a camera, so no pattern loads
// and no table of that size is ever built; an accepted one is usable.
TEST_P(XtraHostileFrameTest, NewBuildsACameraOnlyForAcceptedSizes)
{
    const auto outcome =
        call("new", {integerList(cameraBytes()), integer(GetParam().width), integer(GetParam().height)});
    EXPECT_EQ(outcome.status, MOA_OK);
    EXPECT_TRUE(isVoid(outcome.result));
    EXPECT_EQ(hasCamera(), GetParam().accepted);
}

// Only sizes whose detector tables are small: an accepted frame at the
// pixel limit would build some 200 MB of tables here.
INSTANTIATE_TEST_SUITE_P(Sizes, XtraHostileFrameTest,
                         ::testing::Values(TFrameCase{8192, 1, true}, TFrameCase{1, 8192, true},
                                           TFrameCase{8193, 1, false}, TFrameCase{1, 8193, false},
                                           TFrameCase{4097, 2048, false}, TFrameCase{46341, 46341, false},
                                           TFrameCase{70000, 70000, false}, TFrameCase{INT_MAX_32, INT_MAX_32, false}));

TEST_F(XtraRobustnessTest, RefusedFrameSizeReleasesTheEarlierCamera)
{
    newTracker();
    ASSERT_EQ(loadMarker(0), 1);
    call("new", {integerList(cameraBytes()), integer(70000), integer(70000)});
    EXPECT_EQ(patternCount(), 0);
    EXPECT_FALSE(hasCamera());
}

// A size given as a float is truncated by the host first: 8192.9 is 8192.
TEST_F(XtraRobustnessTest, FloatFrameSizeIsJudgedAfterConversion)
{
    call("new", {integerList(cameraBytes()), real(8192.9), real(1.5)});
    EXPECT_TRUE(hasCamera());
    call("new", {integerList(cameraBytes()), real(8193.0), real(1.0)});
    EXPECT_FALSE(hasCamera());
}

// ---- Frames too narrow for a border

// Frames one or two pixels across have no interior for the labeling to
// write: detection must still read and write only inside its tables (a
// labeling once filled a row from column 1 to column w - 2 = -1 and ran
// off its raster).
class XtraNarrowFrameTest : public XtraHostTest, public ::testing::WithParamInterface<TFrameCase>
{
};

TEST_P(XtraNarrowFrameTest, DetectionRunsOnDarkLightAndStripedFrames)
{
    const int32_t width = GetParam().width;
    const int32_t height = GetParam().height;
    newTracker(false, width, height);
    ASSERT_EQ(loadMarker(0), 1);
    ASSERT_EQ(loadMarker(1), 1);
    std::vector<uint8_t> stripes(4 * static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t k = 0; k < stripes.size(); k++) {
        stripes[k] = (k / 4) % 3 == 0 ? 0 : 255;
    }
    for (const TMoaValue& picture : {blankImage(width, height, 32, 0, true, 0), blankImage(width, height, 32),
                                     image(stripes.data(), width, height)}) {
        const auto all = call("detectMarkers", {picture});
        EXPECT_EQ(all.status, MOA_OK);
        ASSERT_TRUE(values().isType(all.result, HostValueStore::TYPE_LIST));
        EXPECT_EQ(values().listOf(all.result).size(), 2u);
        EXPECT_EQ(call("detectSingleMarker", {picture}).status, MOA_OK);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, XtraNarrowFrameTest,
                         ::testing::Values(TFrameCase{1, 40, true}, TFrameCase{40, 1, true}, TFrameCase{1, 1, true},
                                           TFrameCase{2, 2, true}, TFrameCase{2, 30, true}, TFrameCase{3, 3, true}));

// ---- File names that are no regular files

// A FIFO nobody writes to: opening it for reading would wait for a writer
// for ever, and the host with it. Should that come back, the alarm ends the
// test program instead of hanging it.
class XtraFifoTest : public XtraHostTest
{
protected:
    static constexpr unsigned WATCHDOG_SECONDS = 60;

    void SetUp() override
    {
        XtraHostTest::SetUp();
        _fifo = ::testing::TempDir() + "markeye_robustness_fifo_" + std::to_string(::getpid());
        std::remove(_fifo.c_str());
        ASSERT_EQ(::mkfifo(_fifo.c_str(), 0600), 0);
        ::alarm(WATCHDOG_SECONDS);
    }
    void TearDown() override
    {
        ::alarm(0);
        std::remove(_fifo.c_str());
        XtraHostTest::TearDown();
    }

    std::string _fifo;
};

TEST_F(XtraFifoTest, CameraFileThatIsAFifoBuildsNothing)
{
    call("new", {string(_fifo), integer(FRAME_WIDTH), integer(FRAME_HEIGHT)});
    EXPECT_FALSE(hasCamera());
}

TEST_F(XtraFifoTest, PatternFileThatIsAFifoLoadsNothing)
{
    newTracker();
    EXPECT_EQ(integerResult(call("loadPatternFile", {string(_fifo)})), 0);
    EXPECT_EQ(patternCount(), 0);
}

TEST_F(XtraRobustnessTest, DeviceAndFolderNamesLoadNothing)
{
    for (const std::string& name : {std::string("/dev/zero"), std::string("/dev/null"), ::testing::TempDir()}) {
        call("new", {string(name), integer(FRAME_WIDTH), integer(FRAME_HEIGHT)});
        EXPECT_FALSE(hasCamera()) << name;
        newTracker();
        EXPECT_EQ(integerResult(call("loadPatternFile", {string(name)})), 0) << name;
    }
}

}  // namespace
