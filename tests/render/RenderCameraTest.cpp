#include <gtest/gtest.h>

#include <cmath>

#include "MarkerPose.h"
#include "RenderCamera.h"
#include "VoARCameraDistortionFactor.h"
#include "VoARParam.h"

using namespace Markeye;
using VoTrack::TVoARDoublePoint_t;

namespace {

const double PROJECTION[12] = {700.0, 0.0, 320.0, 0.0, 0.0, 700.0, 240.0, 0.0, 0.0, 0.0, 1.0, 0.0};

struct TLensCase
{
    double values[4];
};

// Barrel and pincushion distortion, off-centre, with and without a scale.
class RenderCameraLensTest : public ::testing::TestWithParam<TLensCase>
{
protected:
    RenderCameraLensTest() : _camera(640, 480, PROJECTION, GetParam().values) { _lens.setValue(GetParam().values); }

    RenderCamera _camera;
    VoTrack::VoARCameraDistortionFactor _lens;
};

TEST_P(RenderCameraLensTest, ForwardMapIsTheTrackersModel)
{
    for (double y = -100.0; y <= 580.0; y += 37.0) {
        for (double x = -100.0; x <= 740.0; x += 41.0) {
            const TVoARDoublePoint_t ideal = {x, y};
            TVoARDoublePoint_t ours;
            TVoARDoublePoint_t theirs;
            _camera.idealToObserved(ideal, &ours);
            _lens.ideal2Observ(&ideal, &theirs);
            ASSERT_NEAR(ours.x, theirs.x, 1e-9);
            ASSERT_NEAR(ours.y, theirs.y, 1e-9);
        }
    }
}

TEST_P(RenderCameraLensTest, InverseUndoesTheForwardMapToRounding)
{
    // The forward map turns back at scaled radius 1 / sqrt(3 p); just inside
    // it the inverse is ill-conditioned, so the check stops at 95 % of it.
    const double* lens = GetParam().values;
    const double p = lens[2] / VoTrack::VoARCameraDistortionFactor::COEFFICIENT_UNIT;
    const double reach = p > 0.0 ? 0.95 / std::sqrt(3.0 * p) : INFINITY;
    int32_t checked = 0;
    for (double y = -100.0; y <= 580.0; y += 13.0) {
        for (double x = -100.0; x <= 740.0; x += 17.0) {
            const TVoARDoublePoint_t ideal = {x, y};
            if (std::hypot(x - lens[0], y - lens[1]) * lens[3] >= reach) {
                continue;
            }
            ASSERT_TRUE(_camera.isOnPrincipalBranch(ideal));
            TVoARDoublePoint_t observed;
            TVoARDoublePoint_t back;
            _camera.idealToObserved(ideal, &observed);
            ASSERT_TRUE(_camera.observedToIdeal(observed.x, observed.y, &back)) << x << "," << y;
            ASSERT_NEAR(back.x, x, 1e-9);
            ASSERT_NEAR(back.y, y, 1e-9);
            checked++;
        }
    }
    EXPECT_GT(checked, 400);
}

INSTANTIATE_TEST_SUITE_P(Lenses, RenderCameraLensTest,
                         ::testing::Values(TLensCase{{320.0, 240.0, 0.0, 1.0}}, TLensCase{{331.0, 228.0, 180.0, 0.97}},
                                           TLensCase{{300.0, 250.0, -120.0, 1.02}},
                                           TLensCase{{320.0, 240.0, 900.0, 1.0}}));

TEST(RenderCameraTest, ObservedPointsBeyondTheTurningRadiusSeeNothing)
{
    // Coefficient 900: p = 9e-6, turning radius 1 / sqrt(3 p) = 192.45 px,
    // the farthest observed radius 2/3 of that, 128.3 px.
    const double lens[4] = {320.0, 240.0, 900.0, 1.0};
    const RenderCamera camera(640, 480, PROJECTION, lens);
    TVoARDoublePoint_t ideal = {-1.0, -1.0};
    EXPECT_TRUE(camera.observedToIdeal(320.0 + 128.0, 240.0, &ideal));
    EXPECT_GT(ideal.x, 320.0 + 128.0);
    EXPECT_FALSE(camera.observedToIdeal(320.0 + 128.5, 240.0, &ideal));
    EXPECT_FALSE(camera.isOnPrincipalBranch(TVoARDoublePoint_t{320.0, 240.0 + 192.5}));
    EXPECT_TRUE(camera.isOnPrincipalBranch(TVoARDoublePoint_t{320.0, 240.0 + 192.4}));
}

TEST(RenderCameraTest, ProjectsPointsInFrontAndRejectsOthers)
{
    const RenderCamera camera = RenderCamera::builtin();
    const double point[3] = {35.0, -14.0, 350.0};
    TVoARDoublePoint_t ideal;
    ASSERT_TRUE(camera.cameraToIdeal(point, &ideal));
    EXPECT_DOUBLE_EQ(ideal.x, 390.0);
    EXPECT_DOUBLE_EQ(ideal.y, 212.0);
    const double behind[3] = {35.0, -14.0, -350.0};
    const double level[3] = {35.0, -14.0, 0.0};
    EXPECT_FALSE(camera.cameraToIdeal(behind, &ideal));
    EXPECT_FALSE(camera.cameraToIdeal(level, &ideal));
}

TEST(RenderCameraTest, CentreIsTheNullVectorOfTheProjection)
{
    // P = K [I | -C] for C = (5, -7, 11).
    const double projection[12] = {700.0, 0.0, 320.0, -700.0 * 5.0 - 320.0 * 11.0,
                                   0.0,   700.0, 240.0, 700.0 * 7.0 - 240.0 * 11.0,
                                   0.0,   0.0,   1.0,   -11.0};
    const double lens[4] = {320.0, 240.0, 0.0, 1.0};
    const RenderCamera camera(640, 480, projection, lens);
    EXPECT_NEAR(camera.getCenter()[0], 5.0, 1e-12);
    EXPECT_NEAR(camera.getCenter()[1], -7.0, 1e-12);
    EXPECT_NEAR(camera.getCenter()[2], 11.0, 1e-12);
}

TEST(RenderCameraTest, FollowsTheTrackersRescaledParameters)
{
    VoTrack::TVoARParamFileRecord record = {
        320, 240, {350.0, 0.0, 160.0, 0.0, 0.0, 350.0, 120.0, 0.0, 0.0, 0.0, 1.0, 0.0}, {165.0, 114.0, 400.0, 0.98}};
    VoTrack::VoARParam param;
    param.setValue(record);
    param.changeScreenSize(640, 480);
    const RenderCamera camera = RenderCamera::fromParam(param);
    EXPECT_EQ(camera.getWidth(), 640);
    EXPECT_EQ(camera.getHeight(), 480);
    EXPECT_DOUBLE_EQ(camera.getProjection().m00, 700.0);
    EXPECT_DOUBLE_EQ(camera.getProjection().m12, 240.0);
    const TVoARDoublePoint_t ideal = {500.0, 90.0};
    TVoARDoublePoint_t ours;
    TVoARDoublePoint_t theirs;
    camera.idealToObserved(ideal, &ours);
    param.getDistortionFactor()->ideal2Observ(&ideal, &theirs);
    EXPECT_NEAR(ours.x, theirs.x, 1e-9);
    EXPECT_NEAR(ours.y, theirs.y, 1e-9);
}

TEST(RenderCameraTest, RejectsUnusableParameters)
{
    const double lens[4] = {320.0, 240.0, 0.0, 1.0};
    const double no_scale[4] = {320.0, 240.0, 0.0, 0.0};
    const double singular[12] = {700.0, 0.0, 320.0, 0.0, 0.0, 700.0, 240.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    EXPECT_THROW(RenderCamera(0, 480, PROJECTION, lens), std::invalid_argument);
    EXPECT_THROW(RenderCamera(640, -1, PROJECTION, lens), std::invalid_argument);
    EXPECT_THROW(RenderCamera(640, 480, PROJECTION, no_scale), std::invalid_argument);
    EXPECT_THROW(RenderCamera(640, 480, singular, lens), std::invalid_argument);
}

TEST(MarkerPoseTest, UprightFacingPoseAndItsTurns)
{
    const VoTrack::VoARDoubleMatrix34 facing = MarkerPose::facing(1.0, 2.0, 3.0);
    const double expected[12] = {1, 0, 0, 1, 0, -1, 0, 2, 0, 0, -1, 3};
    double value[12];
    facing.getValue(value);
    for (int i = 0; i < 12; i++) {
        EXPECT_NEAR(value[i], expected[i], 1e-15) << i;
    }
    EXPECT_NEAR(MarkerPose::rotationDifferenceDeg(facing, MarkerPose::make(30.0, 0.0, 0.0, 0, 0, 0)), 30.0, 1e-9);
    EXPECT_NEAR(MarkerPose::rotationDifferenceDeg(facing, MarkerPose::make(0.0, -45.0, 0.0, 0, 0, 0)), 45.0, 1e-9);
    EXPECT_NEAR(MarkerPose::rotationDifferenceDeg(facing, MarkerPose::make(180.0, 0.0, 0.0, 0, 0, 0)), 180.0, 1e-6);
    // Positive tilt about y sends the right edge away from the camera.
    const double right_edge[3] = {40.0, 0.0, 0.0};
    double camera_point[3];
    MarkerPose::toCamera(MarkerPose::make(0.0, 0.0, 30.0, 0.0, 0.0, 500.0), right_edge, camera_point);
    EXPECT_NEAR(camera_point[2], 500.0 + 40.0 * std::sin(M_PI / 6.0), 1e-9);
}

}  // namespace
