#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "XtraTestSupport.h"

using namespace Moa;
using namespace XtraTest;

namespace {

class XtraInstanceTest : public XtraHostTest
{
protected:
    // The pose matrix detectSingleMarker gives for the standard scene.
    std::vector<float> detectFacingMarker()
    {
        EXPECT_EQ(loadMarker(0), 1);
        const auto outcome = call("detectSingleMarker", {frame(0, facingPose())});
        EXPECT_EQ(outcome.status, MOA_OK);
        return matrixResult(outcome.result);
    }
    void expectNoCamera()
    {
        EXPECT_FALSE(hasCamera());
        EXPECT_EQ(call("forget").status, MOA_OK);
    }
};

// ---- The call entry

class XtraCallIndexTest : public XtraInstanceTest, public ::testing::WithParamInterface<int32_t>
{
};

TEST_P(XtraCallIndexTest, IndexOutsideTheMethodTableRunsNothing)
{
    newTracker();
    ASSERT_EQ(loadMarker(0), 1);
    // Whatever it ran, `new` would drop the pattern and `forget` the camera.
    const auto outcome = _tracker->callIndex(GetParam(), {integerList({1, 2, 3}), integer(320), integer(240)});
    EXPECT_EQ(outcome.status, MOA_OK);
    EXPECT_TRUE(isVoid(outcome.result));
    EXPECT_EQ(patternCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Indices, XtraCallIndexTest,
                         ::testing::Values(8, 9, 1000, -1, std::numeric_limits<int32_t>::min()));

TEST_F(XtraInstanceTest, MethodsLeaveTheResultAloneExceptWhereTheyAnswer)
{
    newTracker();
    for (const char* method : {"forget", "unloadAllPatterns", "detectSingleMarker", "detectMarkers"}) {
        const auto outcome = call(method, {blankImage(FRAME_WIDTH, FRAME_HEIGHT, 32)});
        EXPECT_EQ(outcome.status, MOA_OK) << method;
        EXPECT_TRUE(isVoid(outcome.result)) << method;
    }
    EXPECT_TRUE(isVoid(call("setConfidenceTreshold", {real(0.5)}).result));
    EXPECT_TRUE(isVoid(call("new", {integerList(cameraBytes()), integer(640), integer(480)}).result));
}

// ---- new

TEST_F(XtraInstanceTest, CameraFromFileOrListGivesTheSamePose)
{
    newTracker(true);
    const std::vector<float> from_file = detectFacingMarker();
    newTracker(false);
    const std::vector<float> from_list = detectFacingMarker();
    ASSERT_EQ(from_file.size(), 16u);
    EXPECT_EQ(from_file, from_list);
}

TEST_F(XtraInstanceTest, FreshInstanceHasNoCamera)
{
    expectNoCamera();
}

TEST_F(XtraInstanceTest, ShortCameraListBuildsNothing)
{
    std::vector<int32_t> bytes = cameraBytes();
    bytes.pop_back();
    const auto outcome = call("new", {integerList(bytes), integer(FRAME_WIDTH), integer(FRAME_HEIGHT)});
    EXPECT_EQ(outcome.status, MOA_OK);
    EXPECT_TRUE(isVoid(outcome.result));
    expectNoCamera();
    EXPECT_EQ(call("forget").status, MOA_OK);
}

TEST_F(XtraInstanceTest, ListElementsAfterThe136thAreIgnored)
{
    newTracker();
    const std::vector<float> expected = detectFacingMarker();
    std::vector<int32_t> bytes = cameraBytes();
    bytes.insert(bytes.end(), {999, -5, 0});
    call("new", {integerList(bytes), integer(FRAME_WIDTH), integer(FRAME_HEIGHT)});
    EXPECT_EQ(detectFacingMarker(), expected);
}

// Elements of 256 and more, and negative ones, enter with their low 8 bits
// only: the camera, and so the pose, is the same.
TEST_F(XtraInstanceTest, OnlyTheLowEightBitsOfAListElementCount)
{
    newTracker();
    const std::vector<float> expected = detectFacingMarker();
    std::vector<int32_t> bytes = cameraBytes();
    const int32_t offsets[] = {256, -256, 0x7FFFFF00, -0x7FFFFF00, 512, -65536};
    for (size_t i = 0; i < bytes.size(); i++) {
        bytes[i] += offsets[i % 6];
    }
    call("new", {integerList(bytes), integer(FRAME_WIDTH), integer(FRAME_HEIGHT)});
    EXPECT_EQ(detectFacingMarker(), expected);
}

TEST_F(XtraInstanceTest, CameraArgumentOfAnotherKindBuildsNothing)
{
    const TMoaValue arguments[] = {integer(5), real(2.5), TMoaValue{}, blankImage(4, 4, 32)};
    for (const TMoaValue& camera : arguments) {
        EXPECT_EQ(call("new", {camera, integer(FRAME_WIDTH), integer(FRAME_HEIGHT)}).status, MOA_OK);
        expectNoCamera();
    }
}

TEST_F(XtraInstanceTest, UnreadableCameraFileBuildsNothing)
{
    const std::string short_file = ::testing::TempDir() + "xtra_camera_135.dat";
    {
        const std::vector<int32_t> bytes = cameraBytes();
        std::ofstream file(short_file, std::ios::binary);
        for (size_t i = 0; i + 1 < bytes.size(); i++) {
            file.put(static_cast<char>(bytes[i]));
        }
    }
    for (const std::string& path : {std::string("/nonexistent/camera.dat"), short_file, std::string()}) {
        const auto outcome = call("new", {string(path), integer(FRAME_WIDTH), integer(FRAME_HEIGHT)});
        EXPECT_EQ(outcome.status, MOA_OK) << path;
        EXPECT_TRUE(isVoid(outcome.result)) << path;
        expectNoCamera();
    }
}

TEST_F(XtraInstanceTest, CameraListOfWrongElementsBuildsNothing)
{
    std::vector<TMoaValue> elements;
    for (int32_t byte : cameraBytes()) {
        elements.push_back(integer(byte));
    }
    elements[40] = string("x");
    call("new", {values().makeList(elements), integer(FRAME_WIDTH), integer(FRAME_HEIGHT)});
    expectNoCamera();
    // A width of 0 in the list's first four bytes is no camera either.
    std::vector<int32_t> bytes = cameraBytes();
    bytes[2] = 0;
    bytes[3] = 0;
    call("new", {integerList(bytes), integer(FRAME_WIDTH), integer(FRAME_HEIGHT)});
    expectNoCamera();
}

TEST_F(XtraInstanceTest, FrameSizeMissingOrUnusableBuildsNothing)
{
    const std::vector<std::vector<TMoaValue>> calls = {
        {integerList(cameraBytes())},
        {integerList(cameraBytes()), integer(FRAME_WIDTH)},
        {integerList(cameraBytes()), string("640"), integer(FRAME_HEIGHT)},
        {integerList(cameraBytes()), integer(0), integer(FRAME_HEIGHT)},
        {integerList(cameraBytes()), integer(FRAME_WIDTH), integer(-480)},
    };
    for (const std::vector<TMoaValue>& arguments : calls) {
        EXPECT_EQ(call("new", arguments).status, MOA_OK);
        expectNoCamera();
    }
}

TEST_F(XtraInstanceTest, SecondNewReplacesCameraRasterAndPatterns)
{
    newTracker();
    ASSERT_EQ(loadMarker(0), 1);
    ASSERT_EQ(loadMarker(1), 1);
    newTracker(false, 320, 240);
    ASSERT_EQ(loadMarker(0), 1);
    // Frames must now be 320 x 240.
    EXPECT_TRUE(isVoid(call("detectMarkers", {blankImage(FRAME_WIDTH, FRAME_HEIGHT, 32)}).result));
    // One pattern: the two loaded before went with the old camera.
    const auto outcome = call("detectMarkers", {blankImage(320, 240, 32)});
    ASSERT_TRUE(values().isType(outcome.result, HostValueStore::TYPE_LIST));
    EXPECT_EQ(values().listOf(outcome.result).size(), 1u);
}

TEST_F(XtraInstanceTest, FailedSecondNewLeavesNoCamera)
{
    newTracker();
    ASSERT_EQ(loadMarker(0), 1);
    call("new", {integerList({1, 2, 3}), integer(FRAME_WIDTH), integer(FRAME_HEIGHT)});
    EXPECT_EQ(patternCount(), 0);
    EXPECT_TRUE(isVoid(call("detectSingleMarker", {frame(0, facingPose())}).result));
    expectNoCamera();
}

// ---- forget

TEST_F(XtraInstanceTest, ForgetReleasesCameraAndPatterns)
{
    newTracker();
    ASSERT_EQ(loadMarker(0), 1);
    EXPECT_EQ(call("forget").status, MOA_OK);
    EXPECT_EQ(patternCount(), 0);
    EXPECT_FALSE(hasCamera());
    EXPECT_EQ(call("forget").status, MOA_OK);
    newTracker();
    EXPECT_TRUE(hasCamera());
}

TEST_F(XtraInstanceTest, ForgetAfterUnloadDestroysNothingTwice)
{
    newTracker();
    ASSERT_EQ(loadMarker(0), 1);
    call("unloadAllPatterns");
    EXPECT_EQ(call("forget").status, MOA_OK);
    EXPECT_EQ(call("unloadAllPatterns").status, MOA_OK);
}

}  // namespace
