#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "MarkerPose.h"
#include "RenderTestSupport.h"
#include "SceneRandom.h"
#include "SceneRenderer.h"
#include "VoARCameraDistortionFactor.h"

using namespace Markeye;
using RenderTestSupport::channelAt;
using RenderTestSupport::measureCorner;
using VoTrack::TVoARDoublePoint_t;

namespace {

// Built-in camera: focal length 700 pixels, principal point (320, 240).
constexpr double FOCAL = 700.0;
constexpr double CX = 320.0;
constexpr double CY = 240.0;
constexpr double MARKER_WIDTH = 80.0;
// Edges sampled 16 x 16 per pixel are placed to 1/32 pixel; measured corners
// agree with the projection to this many pixels.
constexpr int32_t FINE_SUPERSAMPLE = 16;
constexpr double CORNER_TOLERANCE = 0.05;

MarkerPicture colourPicture(int32_t i_size, uint64_t i_seed)
{
    SceneRandom random(i_seed, 0);
    MarkerPicture picture(i_size, i_size);
    for (int32_t y = 0; y < i_size; y++) {
        for (int32_t x = 0; x < i_size; x++) {
            // Light colours, so the picture's outline is not an edge of the border.
            uint8_t rgb[3];
            for (uint8_t& c : rgb) {
                c = static_cast<uint8_t>(64 + random.below(192));
            }
            picture.setPixel(x, y, rgb[0], rgb[1], rgb[2]);
        }
    }
    return picture;
}

TSceneOptions whiteScene(int32_t i_supersample)
{
    TSceneOptions options;
    options.background_level = 255.0;
    options.supersample = i_supersample;
    return options;
}

class SceneGeometryTest : public ::testing::Test
{
protected:
    SceneGeometryTest() : _picture(colourPicture(16, 7)), _renderer(RenderCamera::builtin()) {}

    // Measured corners 0..3 of the last render, around the truth's corners.
    std::vector<TVoARDoublePoint_t> measureCorners() const
    {
        const TVoARDoublePoint_t* c = _renderer.getTruth()[0].observed_corners;
        // Corner k's vertical edge runs to corner 3 - k, its horizontal edge to k ^ 1.
        std::vector<TVoARDoublePoint_t> measured;
        for (int k = 0; k < 4; k++) {
            measured.push_back(measureCorner(_renderer, c[k], c[3 - k], c[k ^ 1]));
        }
        return measured;
    }

    MarkerPicture _picture;
    SceneRenderer _renderer;
};

TEST_F(SceneGeometryTest, FacingMarkerHasItsCornersWhereThePinholePutsThem)
{
    const double tx = -23.0;
    const double ty = 17.0;
    const double tz = 431.0;
    _renderer.render(TSceneMarker(&_picture, MARKER_WIDTH, MarkerPose::facing(tx, ty, tz)),
                     whiteScene(FINE_SUPERSAMPLE));
    // Facing the camera, marker (x, y) is camera (tx + x, ty - y, tz).
    const double half = MARKER_WIDTH / 2.0;
    const double xs[4] = {-half, half, half, -half};
    const double ys[4] = {half, half, -half, -half};
    const std::vector<TVoARDoublePoint_t> measured = measureCorners();
    for (int k = 0; k < 4; k++) {
        const double u = CX + FOCAL * (tx + xs[k]) / tz;
        const double v = CY + FOCAL * (ty - ys[k]) / tz;
        EXPECT_NEAR(measured[k].x, u, CORNER_TOLERANCE) << "corner " << k;
        EXPECT_NEAR(measured[k].y, v, CORNER_TOLERANCE) << "corner " << k;
        EXPECT_NEAR(_renderer.getTruth()[0].observed_corners[k].x, u, 1e-9);
        EXPECT_NEAR(_renderer.getTruth()[0].observed_corners[k].y, v, 1e-9);
    }
    EXPECT_TRUE(_renderer.getTruth()[0].in_frame);
    EXPECT_TRUE(_renderer.getTruth()[0].front_facing);
}

TEST_F(SceneGeometryTest, DistortedCornersLieAtTheLensImageOfThePinholeCorners)
{
    // Barrel distortion off the image centre with a non-unit scale: corners
    // move by several pixels.
    const double distortion[4] = {331.0, 228.0, 180.0, 0.97};
    const double projection[12] = {FOCAL, 0.0, CX, 0.0, 0.0, FOCAL, CY, 0.0, 0.0, 0.0, 1.0, 0.0};
    SceneRenderer renderer(RenderCamera(640, 480, projection, distortion));
    VoTrack::VoARCameraDistortionFactor lens;
    lens.setValue(distortion);
    const VoTrack::VoARDoubleMatrix34 pose = MarkerPose::make(8.0, 20.0, -15.0, 100.0, -60.0, 400.0);
    renderer.render(TSceneMarker(&_picture, MARKER_WIDTH, pose), whiteScene(FINE_SUPERSAMPLE));
    const TVoARDoublePoint_t* truth = renderer.getTruth()[0].observed_corners;
    const double half = MARKER_WIDTH / 2.0;
    const double vertices[4][3] = {{-half, half, 0}, {half, half, 0}, {half, -half, 0}, {-half, -half, 0}};
    for (int k = 0; k < 4; k++) {
        double p[3];
        MarkerPose::toCamera(pose, vertices[k], p);
        const TVoARDoublePoint_t pinhole = {CX + FOCAL * p[0] / p[2], CY + FOCAL * p[1] / p[2]};
        TVoARDoublePoint_t expected;
        lens.ideal2Observ(&pinhole, &expected);
        ASSERT_GT(std::hypot(expected.x - pinhole.x, expected.y - pinhole.y), 3.0) << "the lens must matter";
        const TVoARDoublePoint_t measured = measureCorner(renderer, truth[k], truth[3 - k], truth[k ^ 1]);
        EXPECT_NEAR(measured.x, expected.x, CORNER_TOLERANCE) << "corner " << k;
        EXPECT_NEAR(measured.y, expected.y, CORNER_TOLERANCE) << "corner " << k;
        EXPECT_NEAR(truth[k].x, expected.x, 1e-9);
        EXPECT_NEAR(truth[k].y, expected.y, 1e-9);
    }
}

TEST_F(SceneGeometryTest, BorderIsBlackAndPictureCellsShowTheirColours)
{
    // At depth 350 the marker is 160 pixels wide: border 40, picture cells 5.
    _renderer.render(TSceneMarker(&_picture, MARKER_WIDTH, MarkerPose::facing(0.0, 0.0, 350.0)), whiteScene(3));
    const double left = CX - 80.0;
    const double top = CY - 80.0;
    for (int32_t row = 0; row < 16; row++) {
        for (int32_t column = 0; column < 16; column++) {
            const auto x = static_cast<int32_t>(left + 40.0 + 5.0 * column + 2.5);
            const auto y = static_cast<int32_t>(top + 40.0 + 5.0 * row + 2.5);
            for (int c = 0; c < 3; c++) {
                ASSERT_EQ(channelAt(_renderer, x, y, c), _picture.getPixel(column, row)[c])
                    << "cell " << row << "," << column << " channel " << c;
            }
        }
    }
    // The border ring (just inside the outline and just outside the picture)
    // and the background beyond the outline.
    const auto x0 = static_cast<int32_t>(left);
    const auto y0 = static_cast<int32_t>(top);
    for (int32_t i = 3; i < 157; i += 7) {
        EXPECT_EQ(channelAt(_renderer, x0 + i, y0 + 2, 1), 0);
        EXPECT_EQ(channelAt(_renderer, x0 + 37, y0 + i, 0), 0);
        EXPECT_EQ(channelAt(_renderer, x0 + i, y0 - 2, 2), 255);
    }
}

TEST_F(SceneGeometryTest, PositiveRollTurnsThePictureCounterClockwiseOnScreen)
{
    _renderer.render(TSceneMarker(&_picture, MARKER_WIDTH, MarkerPose::make(90.0, 0.0, 0.0, 0.0, 0.0, 350.0)),
                     whiteScene(3));
    const TVoARDoublePoint_t vertex0 = _renderer.getTruth()[0].observed_corners[0];
    EXPECT_NEAR(vertex0.x, CX - 80.0, 1e-9);
    EXPECT_NEAR(vertex0.y, CY + 80.0, 1e-9) << "the picture's top-left goes to the bottom-left";
    const MarkerPicture turned = _picture.rotated(1);
    for (int32_t row = 0; row < 16; row++) {
        for (int32_t column = 0; column < 16; column++) {
            const auto x = static_cast<int32_t>(CX - 40.0 + 5.0 * column + 2.5);
            const auto y = static_cast<int32_t>(CY - 40.0 + 5.0 * row + 2.5);
            ASSERT_EQ(channelAt(_renderer, x, y, 0), turned.getPixel(column, row)[0]) << row << "," << column;
        }
    }
}

TEST_F(SceneGeometryTest, PositiveTiltXBringsTheTopEdgeNearer)
{
    _renderer.render(TSceneMarker(&_picture, MARKER_WIDTH, MarkerPose::make(0.0, 40.0, 0.0, 0.0, 0.0, 400.0)),
                     whiteScene(3));
    const TVoARDoublePoint_t* c = _renderer.getTruth()[0].observed_corners;
    EXPECT_GT(c[1].x - c[0].x, c[2].x - c[3].x + 5.0);
}

TEST_F(SceneGeometryTest, MarkerFacingAwayIsNotDrawn)
{
    // Identity rotation: the camera looks at the marker's back.
    _renderer.render(TSceneMarker(&_picture, MARKER_WIDTH, MarkerPose::fromRotation(Matrix3::identity(), 0, 0, 400)),
                     whiteScene(3));
    EXPECT_FALSE(_renderer.getTruth()[0].front_facing);
    EXPECT_TRUE(_renderer.getTruth()[0].in_frame);
    EXPECT_EQ(channelAt(_renderer, 320, 240, 1), 255);
    EXPECT_EQ(channelAt(_renderer, 250, 240, 1), 255);
}

TEST_F(SceneGeometryTest, MarkerBehindTheCameraIsNotDrawn)
{
    _renderer.render(TSceneMarker(&_picture, MARKER_WIDTH, MarkerPose::facing(0.0, 0.0, -400.0)), whiteScene(3));
    EXPECT_FALSE(_renderer.getTruth()[0].in_front);
    EXPECT_FALSE(_renderer.getTruth()[0].in_frame);
    for (int32_t y = 0; y < 480; y += 5) {
        for (int32_t x = 0; x < 640; x += 5) {
            ASSERT_EQ(channelAt(_renderer, x, y, 1), 255);
        }
    }
}

TEST_F(SceneGeometryTest, MarkerCrossingTheCameraPlaneDrawsOnlyItsNearPart)
{
    // Tilted 80 degrees with its centre 15 units ahead: the top quarter lies
    // behind the camera. Its border there would project (through the camera
    // centre, mirrored) onto rows 441 to 479; only the bottom border, rows
    // 310 to 329, is really in view.
    _renderer.render(TSceneMarker(&_picture, MARKER_WIDTH, MarkerPose::make(0.0, 80.0, 0.0, 0.0, 0.0, 15.0)),
                     whiteScene(3));
    EXPECT_FALSE(_renderer.getTruth()[0].in_front);
    EXPECT_FALSE(_renderer.getTruth()[0].in_frame);
    for (int32_t x = 0; x < 640; x += 20) {
        EXPECT_EQ(channelAt(_renderer, x, 320, 1), 0) << x;
        EXPECT_EQ(channelAt(_renderer, x, 460, 1), 255) << x;
    }
}

TEST_F(SceneGeometryTest, MarkerPartlyOutsideTheFrameKeepsItsVisibleEdge)
{
    // Centre at the left image edge: the right half shows.
    const double tz = 400.0;
    const double tx = -CX * tz / FOCAL;
    _renderer.render(TSceneMarker(&_picture, MARKER_WIDTH, MarkerPose::facing(tx, 0.0, tz)), whiteScene(8));
    EXPECT_FALSE(_renderer.getTruth()[0].in_frame);
    const double right_edge = FOCAL * (tx + 40.0) / tz + CX;
    EXPECT_NEAR(RenderTestSupport::edgeInRow(_renderer, 240, 50, 85, false), right_edge, 0.07);
}

TEST_F(SceneGeometryTest, LaterMarkersCoverEarlierOnes)
{
    const MarkerPicture white(4, 4);
    const std::vector<TSceneMarker> markers = {
        TSceneMarker(&_picture, MARKER_WIDTH, MarkerPose::facing(0.0, 0.0, 350.0)),
        TSceneMarker(&white, MARKER_WIDTH, MarkerPose::facing(0.0, 0.0, 300.0))};
    _renderer.render(markers, whiteScene(3));
    ASSERT_EQ(_renderer.getTruth().size(), 2u);
    EXPECT_EQ(channelAt(_renderer, 320, 240, 0), 255) << "the second marker's white picture";
    EXPECT_EQ(channelAt(_renderer, 320 - 80, 240, 0), 0) << "the second marker's border";
}

TEST(SceneRendererInputTest, InvalidMarkersAreRejectedBeforeDrawing)
{
    SceneRenderer renderer(RenderCamera::builtin());
    const MarkerPicture picture(16, 16);
    const VoTrack::VoARDoubleMatrix34 pose = MarkerPose::facing(0, 0, 400);
    EXPECT_THROW(renderer.render(TSceneMarker(nullptr, 80.0, pose), TSceneOptions()), std::invalid_argument);
    EXPECT_THROW(renderer.render(TSceneMarker(&picture, 0.0, pose), TSceneOptions()), std::invalid_argument);
    EXPECT_THROW(renderer.render(TSceneMarker(&picture, NAN, pose), TSceneOptions()), std::invalid_argument);
    EXPECT_THROW(renderer.render(TSceneMarker(&picture, 80.0, MarkerPose::facing(0, NAN, 400)), TSceneOptions()),
                 std::invalid_argument);
}

}  // namespace
