#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <vector>

#include "BuiltinMarkers.h"
#include "DetectionScene.h"
#include "IVoARBufferReader.h"
#include "MarkerPose.h"
#include "TSceneOptions.h"
#include "VoARBinRaster.h"
#include "VoARException.h"
#include "VoARRasterFilter_KestrelThreshold.h"
#include "VoARSingleDetectMarker.h"
#include "VoARSquare.h"
#include "VoARSquareDetector.h"
#include "VoARSquareStack.h"
#include "VoARTransMatResult.h"

using namespace MarkeyeTest;
using Markeye::MarkerPose;
using Markeye::TSceneMarker;
using Markeye::TSceneOptions;
using VoTrack::VoARSingleDetectMarker;

namespace {

constexpr int32_t BGRA = VoTrack::IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32;

// One view of the grid: marker turned i_quarter_turns counter-clockwise on
// the screen (plus a few degrees so no edge is axis-aligned), tilted, at a depth.
struct TView
{
    int quarter_turns;
    double depth;
    double tilt_x;
    double tilt_y;
};

// What the tracker achieves, by how far away (and so how small) the marker
// is. Edges are fitted through the outermost dark pixels, about half a pixel
// inside the drawn edge, so a marker looks about one pixel smaller than it is:
// 1 % of the depth at 110 px across, 2.7 % at 37 px; and corner noise of a
// fraction of a pixel turns small markers' tilt by degrees.
struct TTolerance
{
    double max_depth;
    double rotation_deg;
    double translation_fraction;
    double min_confidence;
};

constexpr TTolerance TOLERANCES[] = {
    {500.0, 1.0, 0.015, 0.8},   // at least 112 px across
    {750.0, 2.5, 0.02, 0.75},   // at least 75 px
    {1000.0, 5.0, 0.03, 0.6},   // at least 56 px
    {1500.0, 10.0, 0.05, 0.35}, // at least 37 px
};

const TTolerance& toleranceAt(double i_depth)
{
    for (const TTolerance& tolerance : TOLERANCES) {
        if (i_depth <= tolerance.max_depth) {
            return tolerance;
        }
    }
    return TOLERANCES[std::size(TOLERANCES) - 1];
}

struct TPoseError
{
    double rotation_deg;
    double translation_fraction;
};

class DetectionFixture : public ::testing::Test
{
protected:
    DetectionFixture() : _param(loadBuiltinCamera()), _scene(*_param) {}

    std::unique_ptr<VoARSingleDetectMarker> makeDetector(int32_t i_marker) const
    {
        return std::make_unique<VoARSingleDetectMarker>(_param.get(), makeBuiltinCode(i_marker).release(),
                                                        MARKER_WIDTH, BGRA);
    }

    // Marker vertex i must be the square's corner (i + 4 - d) mod 4.
    static double worstCornerDistance(const VoTrack::VoARSquare& i_square, int32_t i_direction,
                                      const Markeye::TMarkerTruth& i_truth)
    {
        double worst = 0.0;
        for (int i = 0; i < 4; i++) {
            const double* corner = i_square.ideal_vertices[(i + 4 - i_direction) % 4];
            worst = std::max(worst, std::hypot(corner[0] - i_truth.ideal_corners[i].x,
                                               corner[1] - i_truth.ideal_corners[i].y));
        }
        return worst;
    }

    static TPoseError poseError(const VoTrack::VoARTransMatResult& i_pose, const VoTrack::VoARDoubleMatrix34& i_truth)
    {
        const double dt = std::sqrt(std::pow(i_pose.m03 - i_truth.m03, 2) + std::pow(i_pose.m13 - i_truth.m13, 2) +
                                    std::pow(i_pose.m23 - i_truth.m23, 2));
        return {MarkerPose::rotationDifferenceDeg(i_pose, i_truth), dt / i_truth.m23};
    }

    std::unique_ptr<VoTrack::VoARParam> _param;
    DetectionScene _scene;
};

class DetectionGridTest : public DetectionFixture, public ::testing::WithParamInterface<int>
{
};

double median(std::vector<double> io_values)
{
    std::sort(io_values.begin(), io_values.end());
    return io_values.empty() ? 0.0 : io_values[io_values.size() / 2];
}

}  // namespace

// Every quarter turn, depths from 200 to 1500 and tilts up to 60 degrees:
// the marker is found with the direction that puts its vertices on the
// drawn corners, and its pose matches the drawn one.
TEST_P(DetectionGridTest, FindsTheMarkerWithItsDirectionAndPose)
{
    const int quarter_turns = GetParam();
    const int32_t marker = quarter_turns;  // a different picture for each turn
    auto detector = makeDetector(marker);
    std::vector<double> rotation_errors;
    std::vector<double> translation_errors;
    for (double depth : {200.0, 350.0, 500.0, 750.0, 1000.0, 1250.0, 1500.0}) {
        for (const auto& tilt : std::vector<std::pair<double, double>>{{0, 0}, {30, 0}, {0, -30}, {45, 20}, {60, 0}, {0, 60}}) {
            SCOPED_TRACE(::testing::Message() << "depth " << depth << ", tilt " << tilt.first << "/" << tilt.second);
            const double roll = 90.0 * quarter_turns + 7.0 + 11.0 * quarter_turns;
            const TSceneMarker placed(&builtinPicture(marker), MARKER_WIDTH,
                                      MarkerPose::make(roll, tilt.first, tilt.second, 0.03 * depth, -0.02 * depth, depth));
            _scene.render({placed}, TSceneOptions());
            if (!detector->detectMarker(&_scene.raster(), THRESHOLD)) {
                ADD_FAILURE() << "not found";
                continue;
            }
            const TTolerance& tolerance = toleranceAt(depth);
            EXPECT_GT(detector->getConfidence(), tolerance.min_confidence);
            const double corner_error =
                worstCornerDistance(*detector->getSquare(), detector->getDirection(), _scene.truth()[0]);
            if (corner_error > 1.5) {
                ADD_FAILURE() << "corner " << corner_error << " px off with direction " << detector->getDirection();
                continue;
            }
            VoTrack::VoARTransMatResult pose;
            detector->getPose(&pose);
            const TPoseError error = poseError(pose, _scene.truth()[0].pose);
            EXPECT_LT(error.rotation_deg, tolerance.rotation_deg);
            EXPECT_LT(error.translation_fraction, tolerance.translation_fraction);
            rotation_errors.push_back(error.rotation_deg);
            translation_errors.push_back(error.translation_fraction);
        }
    }
    std::printf("quarter turns %d: %zu views, rotation error median %.3f worst %.3f deg, "
                "translation error median %.3f%% worst %.3f%% of depth\n",
                quarter_turns, rotation_errors.size(), median(rotation_errors),
                *std::max_element(rotation_errors.begin(), rotation_errors.end()), 100 * median(translation_errors),
                100 * *std::max_element(translation_errors.begin(), translation_errors.end()));
}

INSTANTIATE_TEST_SUITE_P(QuarterTurns, DetectionGridTest, ::testing::Range(0, 4));

namespace {

// Centre of the selected square's ideal corners.
VoTrack::TVoARDoublePoint_t squareCentre(const VoTrack::VoARSquare& i_square)
{
    VoTrack::TVoARDoublePoint_t centre{0.0, 0.0};
    for (const double* corner : i_square.ideal_vertices) {
        centre.x += corner[0] / 4;
        centre.y += corner[1] / 4;
    }
    return centre;
}

VoTrack::TVoARDoublePoint_t truthCentre(const Markeye::TMarkerTruth& i_truth)
{
    VoTrack::TVoARDoublePoint_t centre{0.0, 0.0};
    for (const VoTrack::TVoARDoublePoint_t& corner : i_truth.ideal_corners) {
        centre.x += corner.x / 4;
        centre.y += corner.y / 4;
    }
    return centre;
}

double distance(const VoTrack::TVoARDoublePoint_t& i_a, const VoTrack::TVoARDoublePoint_t& i_b)
{
    return std::hypot(i_a.x - i_b.x, i_a.y - i_b.y);
}

// A picture that makes the whole marker a solid black square.
Markeye::MarkerPicture solidBlack()
{
    const uint8_t grey[4] = {0, 0, 0, 0};
    return Markeye::MarkerPicture::fromGrey(2, 2, grey);
}

class SceneDetectionTest : public DetectionFixture
{
protected:
    // Three markers side by side, each a different built-in picture.
    std::vector<TSceneMarker> threeMarkers() const
    {
        return {TSceneMarker(&builtinPicture(0), MARKER_WIDTH, MarkerPose::make(10, 20, 0, -190, 0, 700)),
                TSceneMarker(&builtinPicture(4), MARKER_WIDTH, MarkerPose::make(-30, 0, 25, 0, 20, 650)),
                TSceneMarker(&builtinPicture(6), MARKER_WIDTH, MarkerPose::make(200, -15, -15, 190, -10, 750))};
    }
};

}  // namespace

TEST_F(SceneDetectionTest, EachDetectorPicksItsOwnMarkerAmongSeveral)
{
    const std::vector<TSceneMarker> markers = threeMarkers();
    TSceneOptions options;
    options.clutter_shapes = 12;
    options.noise_sigma = 4.0;
    _scene.render(markers, options);
    const int32_t pictures[] = {0, 4, 6};
    for (int m = 0; m < 3; m++) {
        SCOPED_TRACE(::testing::Message() << "marker " << m);
        auto detector = makeDetector(pictures[m]);
        ASSERT_TRUE(detector->detectMarker(&_scene.raster(), THRESHOLD));
        EXPECT_LT(distance(squareCentre(*detector->getSquare()), truthCentre(_scene.truth()[m])), 2.0);
        EXPECT_GT(detector->getConfidence(), 0.8);
        VoTrack::VoARTransMatResult pose;
        detector->getPose(&pose);
        EXPECT_LT(MarkerPose::rotationDifferenceDeg(pose, markers[m].pose), 2.5);
    }
}

TEST_F(SceneDetectionTest, OtherPatternsScoreClearlyLower)
{
    _scene.render(threeMarkers(), TSceneOptions());
    for (int32_t absent : {1, 2, 3, 5, 7}) {
        SCOPED_TRACE(::testing::Message() << "absent picture " << absent);
        auto detector = makeDetector(absent);
        // The best square is still reported (the caller applies its threshold),
        // but with a poor match.
        ASSERT_TRUE(detector->detectMarker(&_scene.raster(), THRESHOLD));
        EXPECT_LT(detector->getConfidence(), 0.6);
    }
}

struct TEmptyFrame
{
    const char* name;
    double gradient;
    int32_t clutter;
    double noise;
};

void PrintTo(const TEmptyFrame& i_frame, std::ostream* o_stream)
{
    *o_stream << i_frame.name;
}

class EmptyFrameTest : public DetectionFixture, public ::testing::WithParamInterface<TEmptyFrame>
{
};

TEST_P(EmptyFrameTest, FindsNothingOrOnlyAPoorMatch)
{
    TSceneOptions options;
    options.background_gradient_x = GetParam().gradient;
    options.clutter_shapes = GetParam().clutter;
    options.noise_sigma = GetParam().noise;
    options.seed = 7;
    _scene.render({}, options);
    for (int32_t marker = 0; marker < Markeye::BuiltinMarkers::count(); marker++) {
        auto detector = makeDetector(marker);
        if (detector->detectMarker(&_scene.raster(), THRESHOLD)) {
            EXPECT_LT(detector->getConfidence(), 0.6) << "marker " << marker;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backgrounds, EmptyFrameTest,
                         ::testing::Values(TEmptyFrame{"Flat", 0.0, 0, 0.0}, TEmptyFrame{"Gradient", 150.0, 0, 3.0},
                                           TEmptyFrame{"Clutter", 0.0, 40, 6.0}),
                         [](const ::testing::TestParamInfo<TEmptyFrame>& i_info) {
                             return std::string(i_info.param.name);
                         });

TEST_F(SceneDetectionTest, SolidBlackSquareBeforeTheMarkerIsSkipped)
{
    // The larger solid square is labelled first; its sample is uniform.
    const Markeye::MarkerPicture black = solidBlack();
    const std::vector<TSceneMarker> markers = {
        TSceneMarker(&black, 120.0, MarkerPose::facing(-150, 0, 700)),
        TSceneMarker(&builtinPicture(2), MARKER_WIDTH, MarkerPose::make(15, 10, 0, 150, 0, 700))};
    _scene.render(markers, TSceneOptions());
    auto detector = makeDetector(2);
    ASSERT_TRUE(detector->detectMarker(&_scene.raster(), THRESHOLD));
    EXPECT_LT(distance(squareCentre(*detector->getSquare()), truthCentre(_scene.truth()[1])), 2.0);
    EXPECT_GT(detector->getConfidence(), 0.8);
}

TEST_F(SceneDetectionTest, OnlyTheSolidSquareFindsNothing)
{
    const Markeye::MarkerPicture black = solidBlack();
    _scene.render({TSceneMarker(&black, 100.0, MarkerPose::facing(0, 0, 600))}, TSceneOptions());
    auto detector = makeDetector(0);
    EXPECT_FALSE(detector->detectMarker(&_scene.raster(), THRESHOLD));
}

TEST_F(SceneDetectionTest, BlankFrameFindsNothing)
{
    _scene.render({}, TSceneOptions());
    auto detector = makeDetector(0);
    EXPECT_FALSE(detector->detectMarker(&_scene.raster(), THRESHOLD));
    VoTrack::VoARTransMatResult pose;
    EXPECT_THROW(detector->getPose(&pose), VoTrack::VoARException);
}

TEST_F(SceneDetectionTest, RasterOfAnotherSizeThrowsBeforeReadingIt)
{
    auto detector = makeDetector(0);
    // No pixel buffer: any read would stop the process.
    const VoTrack::VoARRgbRaster_BGRA other(320, 240);
    EXPECT_THROW(detector->detectMarker(&other, THRESHOLD), VoTrack::VoARException);
    const VoTrack::VoARRgbRaster_BGRA transposed(480, 640);
    EXPECT_THROW(detector->detectMarker(&transposed, THRESHOLD), VoTrack::VoARException);
}

TEST_F(SceneDetectionTest, ContinueModeRefinesFromThePreviousPose)
{
    auto detector = makeDetector(3);
    detector->setContinueMode(true);
    VoTrack::VoARTransMatResult pose;
    for (int step = 0; step < 5; step++) {
        const VoTrack::VoARDoubleMatrix34 truth = MarkerPose::make(20 + 2 * step, 25, -10, 10 * step, 0, 600);
        _scene.render({TSceneMarker(&builtinPicture(3), MARKER_WIDTH, truth)}, TSceneOptions());
        ASSERT_TRUE(detector->detectMarker(&_scene.raster(), THRESHOLD));
        detector->getPose(&pose);
        EXPECT_TRUE(pose.has_value);
        EXPECT_LT(MarkerPose::rotationDifferenceDeg(pose, truth), 2.0) << "step " << step;
    }
}

TEST_F(SceneDetectionTest, EqualMatchesGoToTheLaterSquare)
{
    // Two copies of one marker facing the camera at depth 700, where one unit
    // is one pixel: 200 px apart, they binarise and sample identically.
    const std::vector<TSceneMarker> markers = {
        TSceneMarker(&builtinPicture(5), MARKER_WIDTH, MarkerPose::facing(-100.25, 0.25, 700)),
        TSceneMarker(&builtinPicture(5), MARKER_WIDTH, MarkerPose::facing(99.75, 0.25, 700))};
    _scene.render(markers, TSceneOptions());

    VoTrack::VoARBinRaster binary(640, 480);
    VoTrack::VoARRasterFilter_KestrelThreshold(THRESHOLD, BGRA).doFilter(_scene.raster(), binary);
    VoTrack::VoARSquareDetector squares(_param->getDistortionFactor(), _param->getScreenSize());
    VoTrack::VoARSquareStack stack(100);
    squares.detectSquares(&binary, &stack);
    ASSERT_EQ(stack.getLength(), 2);
    const VoTrack::TVoARDoublePoint_t later = squareCentre(*stack.getArray()[1]);

    auto detector = makeDetector(5);
    ASSERT_TRUE(detector->detectMarker(&_scene.raster(), THRESHOLD));
    EXPECT_LT(distance(squareCentre(*detector->getSquare()), later), 0.5);
}
