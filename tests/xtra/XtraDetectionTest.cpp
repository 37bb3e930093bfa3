#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "MarkerPose.h"
#include "VoARCode.h"
#include "VoARParam.h"
#include "VoARRgbRaster_BGRA.h"
#include "VoARSingleDetectMarker.h"
#include "XtraTestSupport.h"

using namespace Moa;
using namespace XtraTest;
using VoTrack::VoARDoubleMatrix34;

namespace {

// Pose accuracy the tracker reaches on clean rendered frames: each rotation
// element within 0.035 (2 degrees), the translation within 2 % of the
// marker's distance.
constexpr double ROTATION_TOLERANCE = 0.035;
constexpr double TRANSLATION_TOLERANCE = 0.02;

// The tracker's own detector run in the test, on the same camera and frame:
// the confidence the plug-in compares with its threshold.
double referenceConfidence(int32_t i_pattern_marker, std::vector<uint8_t>* io_frame)
{
    VoTrack::VoARParam param;
    param.loadFromFile(cameraFilePath().c_str());
    param.changeScreenSize(FRAME_WIDTH, FRAME_HEIGHT);
    VoTrack::VoARRgbRaster_BGRA raster(io_frame->data(), FRAME_WIDTH, FRAME_HEIGHT);
    auto* code = new VoTrack::VoARCode(16, 16);
    const std::vector<int32_t> numbers = patternNumbers(i_pattern_marker);
    code->setFromArray(numbers.data(), 16, 16);
    VoTrack::VoARSingleDetectMarker detector(&param, code, 80.0, raster.getBufferReader()->getBufferType());
    EXPECT_TRUE(detector.detectMarker(&raster, 100));
    return detector.getConfidence();
}

class XtraDetectionTest : public XtraHostTest
{
protected:
    void SetUp() override
    {
        XtraHostTest::SetUp();
        newTracker();
    }

    HostXtraInstance::TCallOutcome detectSingle(const TMoaValue& i_image)
    {
        return call("detectSingleMarker", {i_image});
    }
    // The elements of detectMarkers' list: a matrix or the integer 0 each.
    std::vector<TMoaValue> detectAll(const TMoaValue& i_image)
    {
        const auto outcome = call("detectMarkers", {i_image});
        EXPECT_EQ(outcome.status, MOA_OK);
        if (!values().isType(outcome.result, HostValueStore::TYPE_LIST)) {
            ADD_FAILURE() << "detectMarkers gave no list";
            return {};
        }
        return values().listOf(outcome.result);
    }
    bool isZero(const TMoaValue& i_value)
    {
        return values().isType(i_value, HostValueStore::TYPE_INTEGER) && values().integerOf(i_value) == 0;
    }
    bool isMatrix(const TMoaValue& i_value) { return values().isType(i_value, HostValueStore::TYPE_MATRIX); }
    void setThreshold(double i_threshold) { call("setConfidenceTreshold", {real(i_threshold)}); }
    const THostImage& imageRecord(const TMoaValue& i_image) { return values().imageOf(i_image); }

    // Neither method gives a result for this image, and it is not left
    // locked.
    void expectNoResultFor(const TMoaValue& i_image)
    {
        EXPECT_TRUE(isVoid(detectSingle(i_image).result));
        const auto outcome = call("detectMarkers", {i_image});
        EXPECT_EQ(outcome.status, MOA_OK);
        EXPECT_TRUE(isVoid(outcome.result));
        if (values().isType(i_image, HostValueStore::TYPE_IMAGE)) {
            EXPECT_EQ(imageRecord(i_image).lock_count, 0);
        }
    }
};

// The matrix value is the pose's columns, each with 0 below: row 0 of the
// rotation and rows 1 and 2 of the translation negated.
void expectMatrixOfPose(const std::vector<float>& i_matrix, const VoARDoubleMatrix34& i_pose)
{
    ASSERT_EQ(i_matrix.size(), 16u);
    const double rotation[3][3] = {{i_pose.m00, i_pose.m01, i_pose.m02},
                                   {i_pose.m10, i_pose.m11, i_pose.m12},
                                   {i_pose.m20, i_pose.m21, i_pose.m22}};
    const double translation[3] = {i_pose.m03, i_pose.m13, i_pose.m23};
    const double signs[3] = {-1.0, 1.0, 1.0};
    for (int column = 0; column < 3; column++) {
        for (int row = 0; row < 3; row++) {
            EXPECT_NEAR(i_matrix[4 * column + row], signs[row] * rotation[row][column], ROTATION_TOLERANCE)
                << "rotation row " << row << " column " << column;
        }
    }
    const double distance = std::sqrt(translation[0] * translation[0] + translation[1] * translation[1] +
                                      translation[2] * translation[2]);
    for (int row = 0; row < 3; row++) {
        EXPECT_NEAR(i_matrix[12 + row], -signs[row] * translation[row], TRANSLATION_TOLERANCE * distance)
            << "translation row " << row;
    }
    for (int position : {3, 7, 11, 15}) {
        EXPECT_EQ(i_matrix[position], 0.0f) << "position " << position;
        EXPECT_FALSE(std::signbit(i_matrix[position])) << "position " << position;
    }
}

struct TScenePose
{
    const char* name;
    double roll_deg;
    double tilt_x_deg;
    double tilt_y_deg;
    double x;
    double y;
    double z;
};

void PrintTo(const TScenePose& i_pose, std::ostream* o_stream)
{
    *o_stream << i_pose.name;
}

class XtraScenePoseTest : public XtraDetectionTest, public ::testing::WithParamInterface<TScenePose>
{
};

TEST_P(XtraScenePoseTest, MatrixIsTheScenesPose)
{
    const TScenePose& scene = GetParam();
    const VoARDoubleMatrix34 pose =
        Markeye::MarkerPose::make(scene.roll_deg, scene.tilt_x_deg, scene.tilt_y_deg, scene.x, scene.y, scene.z);
    ASSERT_EQ(loadMarker(2), 1);
    const TMoaValue picture = frame(2, pose);
    const auto single = detectSingle(picture);
    EXPECT_EQ(single.status, MOA_OK);
    expectMatrixOfPose(matrixResult(single.result), pose);
    const std::vector<TMoaValue> all = detectAll(picture);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(matrixResult(all[0]), matrixResult(single.result));
    EXPECT_EQ(imageRecord(picture).lock_count, 0);
    EXPECT_EQ(imageRecord(picture).locks_taken, 2);
}

INSTANTIATE_TEST_SUITE_P(Scenes, XtraScenePoseTest,
                         ::testing::Values(TScenePose{"Facing", 0, 0, 0, 0, 0, 400},
                                           TScenePose{"Rolled", 35, 0, 0, 25, -15, 500},
                                           TScenePose{"QuarterTurn", 90, 0, 0, -20, 10, 450},
                                           TScenePose{"TiltedUp", 0, 30, 0, 10, 20, 450},
                                           TScenePose{"TiltedAside", 160, 0, -35, 0, 0, 600}),
                         [](const ::testing::TestParamInfo<TScenePose>& i_info) {
                             return std::string(i_info.param.name);
                         });

// Every detector still finds the best square on the frame; only the
// threshold tells the visible pattern from the others.
TEST_F(XtraDetectionTest, ThreePatternsOnlyTheSecondVisible)
{
    std::vector<uint8_t> scene = renderFrame(1, facingPose());
    const double visible = referenceConfidence(1, &scene);
    const double others = std::max(referenceConfidence(0, &scene), referenceConfidence(3, &scene));
    ASSERT_GT(visible, others);
    for (int32_t marker : {0, 1, 3}) {
        ASSERT_EQ(loadMarker(marker), 1);
    }
    setThreshold((visible + others) / 2);
    const std::vector<TMoaValue> all = detectAll(image(scene.data(), FRAME_WIDTH, FRAME_HEIGHT));
    ASSERT_EQ(all.size(), 3u);
    EXPECT_TRUE(isZero(all[0]));
    EXPECT_TRUE(isMatrix(all[1]));
    EXPECT_TRUE(isZero(all[2]));
    expectMatrixOfPose(matrixResult(all[1]), facingPose());
}

TEST_F(XtraDetectionTest, SingleMarkerLooksAtTheFirstPatternOnly)
{
    std::vector<uint8_t> scene = renderFrame(1, facingPose());
    const double visible = referenceConfidence(1, &scene);
    const double first = referenceConfidence(0, &scene);
    ASSERT_EQ(loadMarker(0), 1);
    ASSERT_EQ(loadMarker(1), 1);
    setThreshold((visible + first) / 2);
    const TMoaValue picture = image(scene.data(), FRAME_WIDTH, FRAME_HEIGHT);
    EXPECT_TRUE(isVoid(detectSingle(picture).result));
    const std::vector<TMoaValue> all = detectAll(picture);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_TRUE(isZero(all[0]));
    EXPECT_TRUE(isMatrix(all[1]));
}

// A marker is reported when its confidence is greater than or equal to the
// threshold: at its own confidence it is, just above it it is not.
TEST_F(XtraDetectionTest, ThresholdAtTheConfidenceStillReports)
{
    std::vector<uint8_t> scene = renderFrame(4, facingPose());
    const double confidence = referenceConfidence(4, &scene);
    ASSERT_EQ(loadMarker(4), 1);
    const TMoaValue picture = image(scene.data(), FRAME_WIDTH, FRAME_HEIGHT);
    setThreshold(confidence);
    EXPECT_TRUE(isMatrix(detectSingle(picture).result));
    setThreshold(std::nextafter(confidence, 2.0));
    EXPECT_TRUE(isVoid(detectSingle(picture).result));
    const std::vector<TMoaValue> all = detectAll(picture);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_TRUE(isZero(all[0]));
}

TEST_F(XtraDetectionTest, ThresholdAboveEveryConfidenceOrNotANumberReportsNothing)
{
    ASSERT_EQ(loadMarker(0), 1);
    const TMoaValue picture = frame(0, facingPose());
    EXPECT_TRUE(isMatrix(detectSingle(picture).result));
    for (double threshold : {1.0 + 1e-9, 2.0, std::numeric_limits<double>::quiet_NaN()}) {
        setThreshold(threshold);
        EXPECT_TRUE(isVoid(detectSingle(picture).result)) << threshold;
        const std::vector<TMoaValue> all = detectAll(picture);
        ASSERT_EQ(all.size(), 1u);
        EXPECT_TRUE(isZero(all[0])) << threshold;
    }
    // An argument that is no number leaves the threshold as it was.
    call("setConfidenceTreshold", {string("0.1")});
    EXPECT_TRUE(isVoid(detectSingle(picture).result));
    setThreshold(-5.0);
    EXPECT_TRUE(isMatrix(detectSingle(picture).result));
}

TEST_F(XtraDetectionTest, NewStartsAgainWithThresholdZero)
{
    setThreshold(2.0);
    newTracker();
    ASSERT_EQ(loadMarker(0), 1);
    EXPECT_TRUE(isMatrix(detectSingle(frame(0, facingPose())).result));
}

TEST_F(XtraDetectionTest, ThresholdSurvivesUnloadingThePatterns)
{
    ASSERT_EQ(loadMarker(0), 1);
    setThreshold(2.0);
    call("unloadAllPatterns");
    ASSERT_EQ(loadMarker(0), 1);
    EXPECT_TRUE(isVoid(detectSingle(frame(0, facingPose())).result));
}

TEST_F(XtraDetectionTest, FrameWithoutMarkerGivesZeroPerPattern)
{
    ASSERT_EQ(loadMarker(0), 1);
    ASSERT_EQ(loadMarker(1), 1);
    const TMoaValue white = blankImage(FRAME_WIDTH, FRAME_HEIGHT, 32);
    EXPECT_TRUE(isVoid(detectSingle(white).result));
    const std::vector<TMoaValue> all = detectAll(white);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_TRUE(isZero(all[0]));
    EXPECT_TRUE(isZero(all[1]));
    EXPECT_EQ(imageRecord(white).lock_count, 0);
}

TEST_F(XtraDetectionTest, NoPatternLoadedGivesNoResult)
{
    const TMoaValue picture = frame(0, facingPose());
    expectNoResultFor(picture);
    EXPECT_EQ(imageRecord(picture).locks_taken, 0);
}

TEST_F(XtraDetectionTest, SixteenBitImageIsNeitherReadNorLocked)
{
    ASSERT_EQ(loadMarker(0), 1);
    const TMoaValue picture = blankImage(FRAME_WIDTH, FRAME_HEIGHT, 16, 0, true, 0);
    expectNoResultFor(picture);
    EXPECT_EQ(imageRecord(picture).locks_taken, 0);
    // The raster still reads the next good frame.
    EXPECT_TRUE(isMatrix(detectSingle(frame(0, facingPose())).result));
}

TEST_F(XtraDetectionTest, ImageOfAnotherShapeIsNeitherReadNorLocked)
{
    ASSERT_EQ(loadMarker(0), 1);
    const TMoaValue pictures[] = {
        blankImage(320, 240, 32, 0, true, 0),
        blankImage(FRAME_WIDTH + 1, FRAME_HEIGHT, 32, 0, true, 0),
        blankImage(FRAME_WIDTH, FRAME_HEIGHT - 1, 32, 0, true, 0),
        blankImage(FRAME_WIDTH, FRAME_HEIGHT, 32, FRAME_WIDTH * 4 + 16, true, 0),
        blankImage(FRAME_WIDTH, FRAME_HEIGHT, 32, FRAME_WIDTH * 2, true, 0),
    };
    for (const TMoaValue& picture : pictures) {
        expectNoResultFor(picture);
        EXPECT_EQ(imageRecord(picture).locks_taken, 0);
    }
}

TEST_F(XtraDetectionTest, ImageWithoutPixelMemoryIsUnlockedAgain)
{
    ASSERT_EQ(loadMarker(0), 1);
    const TMoaValue picture = blankImage(FRAME_WIDTH, FRAME_HEIGHT, 32, 0, false);
    expectNoResultFor(picture);
    EXPECT_EQ(imageRecord(picture).locks_taken, 2);
}

TEST_F(XtraDetectionTest, ArgumentThatIsNoImageGivesNoResult)
{
    ASSERT_EQ(loadMarker(0), 1);
    expectNoResultFor(string("frame"));
    expectNoResultFor(integer(3));
    EXPECT_TRUE(isVoid(call("detectSingleMarker").result));
    EXPECT_TRUE(isVoid(call("detectMarkers").result));
}

// With an all-zero projection matrix squares are still found and matched,
// but the pose estimator throws: each failing detector counts as not found,
// and the list still has one element per pattern.
TEST_F(XtraDetectionTest, DetectorThatFailsCountsAsNotFound)
{
    std::vector<int32_t> bytes = cameraBytes();
    constexpr int PROJECTION_OFFSET = 8;
    constexpr int PROJECTION_BYTES = 96;
    std::fill(bytes.begin() + PROJECTION_OFFSET, bytes.begin() + PROJECTION_OFFSET + PROJECTION_BYTES, 0);
    call("new", {integerList(bytes), integer(FRAME_WIDTH), integer(FRAME_HEIGHT)});
    ASSERT_EQ(loadMarker(0), 1);
    ASSERT_EQ(loadMarker(1), 1);
    const TMoaValue picture = frame(0, facingPose());
    EXPECT_TRUE(isVoid(detectSingle(picture).result));
    const std::vector<TMoaValue> all = detectAll(picture);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_TRUE(isZero(all[0]));
    EXPECT_TRUE(isZero(all[1]));
    EXPECT_EQ(imageRecord(picture).lock_count, 0);
}

TEST_F(XtraDetectionTest, WithoutCameraNothingIsDetected)
{
    call("forget");
    expectNoResultFor(frame(0, facingPose()));
}

}  // namespace
