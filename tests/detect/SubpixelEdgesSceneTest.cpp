// Sub-pixel edge refinement on rendered frames, against the renderer's
// ground truth: the corners it drew, through the camera it drew them with.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "BlockCompression.h"
#include "DetectionScene.h"
#include "IVoARBufferReader.h"
#include "MarkerPose.h"
#include "SceneRenderer.h"
#include "SyntheticSquare.h"
#include "TSceneOptions.h"
#include "VoARFrameAnalysis.h"
#include "VoARParam.h"
#include "VoARSquare.h"
#include "VoARSubpixelEdges.h"

using namespace MarkeyeTest;
using Markeye::MarkerPose;
using Markeye::TMarkerTruth;
using Markeye::TSceneMarker;
using Markeye::TSceneOptions;
using VoTrack::TVoARDoublePoint_t;
using VoTrack::VoARSquare;

namespace {

constexpr int32_t BGRA = VoTrack::IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32;
// Focal length of the built-in camera at 640 x 480 (pixels).
constexpr double FOCAL = 700.0;
// Samples per pixel along each axis. The renderer's default of 3 leaves
// drawn edges up to 0.06 px off the truth, and 8 still a few hundredths of a
// pixel on some edges a few degrees off an axis; 16 is exact to a few
// thousandths and cheap for markers up to 150 px.
constexpr int32_t SUPERSAMPLE = 8;
constexpr int32_t FINE_SUPERSAMPLE = 16;

int32_t supersampleFor(double i_size_px)
{
    return i_size_px <= 150.0 ? FINE_SUPERSAMPLE : SUPERSAMPLE;
}
// Corner error (pixels) to reach on every condition of the sweep: the
// median and the 95th percentile of the four corners of all its frames.
constexpr double MEDIAN_TOLERANCE = 0.05;
constexpr double P95_TOLERANCE = 0.2;
// Coarse corners are the true ones moved by up to this much (pixels), as
// far as the detector's are off.
constexpr double COARSE_ERROR = 1.0;
// Markers keep this far (pixels) from the frame's border.
constexpr double FRAME_MARGIN = 8.0;

// The quantile i_q (0 to 1) of i_values by nearest rank.
double quantile(std::vector<double> i_values, double i_q)
{
    std::sort(i_values.begin(), i_values.end());
    const size_t rank = static_cast<size_t>(std::ceil(i_q * static_cast<double>(i_values.size())));
    return i_values[std::max<size_t>(rank, 1) - 1];
}

double median(const std::vector<double>& i_values)
{
    return quantile(i_values, 0.5);
}

// Whether every observed corner lies at least FRAME_MARGIN inside the frame.
bool wellInFrame(const TMarkerTruth& i_truth, int32_t i_width, int32_t i_height)
{
    if (!i_truth.in_frame || !i_truth.front_facing) {
        return false;
    }
    for (const TVoARDoublePoint_t& p : i_truth.observed_corners) {
        if (p.x < FRAME_MARGIN || p.y < FRAME_MARGIN || p.x > i_width - 1 - FRAME_MARGIN ||
            p.y > i_height - 1 - FRAME_MARGIN) {
            return false;
        }
    }
    return true;
}

// The camera of i_param with radial distortion i_coefficient (1e-8 per
// squared pixel) about the principal point.
std::unique_ptr<VoTrack::VoARParam> distortedCamera(const VoTrack::VoARParam& i_param, double i_coefficient)
{
    VoTrack::TVoARParamFileRecord record{};
    record.x_size = i_param.getScreenSize()->w;
    record.y_size = i_param.getScreenSize()->h;
    i_param.getProjectionMatrix()->getValue(record.projection);
    const double distortion[4] = {record.projection[2], record.projection[6], i_coefficient, 1.0};
    std::copy(distortion, distortion + 4, record.distortion);
    auto param = std::make_unique<VoTrack::VoARParam>();
    param->setValue(record);
    return param;
}

// A camera, a scene drawn through it and the refinement stage for its frames.
class SubpixelEdgesSceneTest : public ::testing::Test
{
protected:
    explicit SubpixelEdgesSceneTest(std::unique_ptr<VoTrack::VoARParam> i_param = loadBuiltinCamera())
        : _param(std::move(i_param)),
          _scene(*_param),
          _edges(_param->getDistortionFactor(), _param->getScreenSize()->w, _param->getScreenSize()->h),
          _rng(11)
    {
    }

    int32_t width() const { return _param->getScreenSize()->w; }
    int32_t height() const { return _param->getScreenSize()->h; }

    // A pose of a marker i_size_px pixels across (facing the camera),
    // turned i_roll_deg in its plane and tilted by i_tilt_deg about a random
    // axis, somewhere in the frame; the first of a few random places that
    // keeps it inside.
    VoTrack::VoARDoubleMatrix34 placeMarker(double i_size_px, double i_roll_deg, double i_tilt_deg)
    {
        const double focal = FOCAL * width() / 640.0;
        const double z = focal * MARKER_WIDTH / i_size_px;
        const double direction = VoTrackTest::uniform(_rng, 0.0, 2.0 * VoTrackTest::PI);
        const double tilt_x = i_tilt_deg * std::cos(direction);
        const double tilt_y = i_tilt_deg * std::sin(direction);
        VoTrack::VoARDoubleMatrix34 pose = MarkerPose::make(i_roll_deg, tilt_x, tilt_y, 0.0, 0.0, z);
        for (int32_t attempt = 0; attempt < 20; attempt++) {
            const double x = VoTrackTest::uniform(_rng, -0.4, 0.4) * width() * z / focal;
            const double y = VoTrackTest::uniform(_rng, -0.4, 0.4) * height() * z / focal;
            const VoTrack::VoARDoubleMatrix34 moved = MarkerPose::make(i_roll_deg, tilt_x, tilt_y, x, y, z);
            TMarkerTruth truth;
            Markeye::SceneRenderer::computeTruth(_scene.renderer().getCamera(),
                                                 TSceneMarker(&builtinPicture(0), MARKER_WIDTH, moved), &truth);
            if (wellInFrame(truth, width(), height())) {
                return moved;
            }
        }
        return pose;
    }

    // Renders built-in marker i_picture; false when it did not come out
    // well inside the frame.
    bool render(int32_t i_picture, const VoTrack::VoARDoubleMatrix34& i_pose, TSceneOptions i_options,
                int32_t i_supersample = SUPERSAMPLE)
    {
        i_options.supersample = i_supersample;
        _scene.render({TSceneMarker(&builtinPicture(i_picture), MARKER_WIDTH, i_pose)}, i_options);
        return wellInFrame(truth(), width(), height());
    }

    const TMarkerTruth& truth() const { return _scene.truth()[0]; }

    // The detector's record of the rendered marker (corner k is marker
    // vertex k): the true ideal corners each moved up to COARSE_ERROR pixels.
    VoARSquare coarseSquare()
    {
        VoTrackTest::Vertices moved;
        for (size_t k = 0; k < 4; k++) {
            const double angle = VoTrackTest::uniform(_rng, 0.0, 2.0 * VoTrackTest::PI);
            const double distance = VoTrackTest::uniform(_rng, 0.0, COARSE_ERROR);
            moved[k] = {truth().ideal_corners[k].x + distance * std::cos(angle),
                        truth().ideal_corners[k].y + distance * std::sin(angle)};
        }
        VoARSquare square = VoTrackTest::squareFromVertices(moved);
        for (size_t k = 0; k < 4; k++) {
            square.image_vertices[k][0] = static_cast<int32_t>(std::lround(truth().observed_corners[k].x));
            square.image_vertices[k][1] = static_cast<int32_t>(std::lround(truth().observed_corners[k].y));
        }
        return square;
    }

    // Distances (pixels) of the square's ideal corners from the true ones,
    // square corner (k + i_shift) mod 4 against marker vertex k.
    std::vector<double> cornerErrors(const VoARSquare& i_square, int32_t i_shift = 0) const
    {
        std::vector<double> errors;
        for (int32_t k = 0; k < 4; k++) {
            const double* corner = i_square.ideal_vertices[(k + i_shift) % 4];
            const TVoARDoublePoint_t& true_corner = truth().ideal_corners[k];
            errors.push_back(std::hypot(corner[0] - true_corner.x, corner[1] - true_corner.y));
        }
        return errors;
    }

    // Refines a coarse square of the rendered marker; appends its corner errors.
    void refineAndMeasure(std::vector<double>* io_errors)
    {
        VoARSquare square = coarseSquare();
        ASSERT_TRUE(_edges.refine(_scene.raster(), &square));
        const std::vector<double> errors = cornerErrors(square);
        io_errors->insert(io_errors->end(), errors.begin(), errors.end());
    }

    // The length (pixels) of the rendered marker's shortest side.
    double shortestSide() const
    {
        double shortest = INFINITY;
        for (size_t k = 0; k < 4; k++) {
            const TVoARDoublePoint_t& a = truth().ideal_corners[k];
            const TVoARDoublePoint_t& b = truth().ideal_corners[(k + 1) % 4];
            shortest = std::min(shortest, std::hypot(b.x - a.x, b.y - a.y));
        }
        return shortest;
    }

    // Expects the median and the 95th percentile of i_errors within
    // tolerance, and records both (pixels) in the test's XML report.
    void expectAccurate(const std::vector<double>& i_errors)
    {
        const double median_px = median(i_errors);
        const double p95_px = quantile(i_errors, 0.95);
        RecordProperty("median_px", std::to_string(median_px));
        RecordProperty("p95_px", std::to_string(p95_px));
        EXPECT_LE(median_px, MEDIAN_TOLERANCE);
        EXPECT_LE(p95_px, P95_TOLERANCE);
    }

    std::unique_ptr<VoTrack::VoARParam> _param;
    DetectionScene _scene;
    VoTrack::VoARSubpixelEdges _edges;
    std::mt19937 _rng;
};

// Marker size (pixels across), Gaussian blur sigma (pixels) and noise sigma
// (grey levels); each condition draws frames at in-plane angles spread over
// a quarter turn and tilts of up to 50 degrees, markers of over 150 pixels
// in frames of 1280 x 960 so that they fit whatever their pose.
class SubpixelEdgesSweepTest : public SubpixelEdgesSceneTest,
                               public ::testing::WithParamInterface<std::tuple<double, double, double>>
{
protected:
    static constexpr double MAX_TILT_DEG = 50.0;
    static constexpr double MIN_REFINABLE_SIDE = 15.0;

    SubpixelEdgesSweepTest()
        : SubpixelEdgesSceneTest(std::get<0>(GetParam()) > 150.0 ? loadBuiltinCamera(1280, 960) : loadBuiltinCamera())
    {
    }

    // Small markers are quick to draw and their corners scatter the most:
    // more frames steady their statistics.
    static int32_t framesFor(double i_size_px) { return i_size_px <= 60.0 ? 24 : 6; }
};

TEST_P(SubpixelEdgesSweepTest, CornersMatchTheRenderedOnes)
{
    const auto [size_px, blur, noise] = GetParam();
    _rng.seed(static_cast<uint32_t>(size_px * 100 + blur * 10 + noise));
    TSceneOptions options;
    options.gaussian_blur_sigma = blur;
    options.noise_sigma = noise;
    std::vector<double> errors;
    const int32_t frames = framesFor(size_px);
    for (int32_t frame = 0; frame < frames; frame++) {
        const double roll = (frame + VoTrackTest::uniform(_rng, 0.0, 1.0)) * 90.0 / frames;
        const double tilt = VoTrackTest::uniform(_rng, 0.0, MAX_TILT_DEG);
        options.seed = static_cast<uint64_t>(frame + 1);
        ASSERT_TRUE(render(frame % 5, placeMarker(size_px, roll, tilt), options, supersampleFor(size_px)));
        // A side this short leaves too few rows between the corner margins
        // to locate: the stage may decline such a square.
        if (shortestSide() < MIN_REFINABLE_SIDE) {
            continue;
        }
        refineAndMeasure(&errors);
    }
    // Most frames were measured.
    ASSERT_GE(errors.size(), 4u * static_cast<size_t>(frames) * 3 / 4);
    expectAccurate(errors);
}

INSTANTIATE_TEST_SUITE_P(SizesBlursNoises, SubpixelEdgesSweepTest,
                         ::testing::Combine(::testing::Values(30.0, 60.0, 120.0, 250.0, 400.0),
                                            ::testing::Values(0.0, 0.8, 1.5), ::testing::Values(0.0, 5.0)));

// Markers of 700 pixels in a 1600 x 1200 frame, drawn with 16 samples per
// pixel to keep the frames quick to render.
class SubpixelEdgesLargeMarkerTest : public SubpixelEdgesSceneTest
{
protected:
    SubpixelEdgesLargeMarkerTest() : SubpixelEdgesSceneTest(loadBuiltinCamera(1600, 1200)) {}
};

TEST_F(SubpixelEdgesLargeMarkerTest, CornersMatchTheRenderedOnes)
{
    TSceneOptions options;
    options.gaussian_blur_sigma = 1.5;
    options.noise_sigma = 5.0;
    std::vector<double> errors;
    for (int32_t frame = 0; frame < 2; frame++) {
        const double roll = 10.0 + 35.0 * frame;
        ASSERT_TRUE(render(frame, placeMarker(700.0, roll, 30.0), options, 4));
        refineAndMeasure(&errors);
    }
    expectAccurate(errors);
}

// Blocks and ringing of JPEG compression at quality 75 over a lightly
// blurred, noisy frame.
TEST_F(SubpixelEdgesSceneTest, JpegArtefactsKeepCornersAccurate)
{
    TSceneOptions options;
    options.gaussian_blur_sigma = 0.8;
    options.noise_sigma = 3.0;
    std::vector<double> errors;
    for (int32_t frame = 0; frame < 6; frame++) {
        const double size_px = VoTrackTest::uniform(_rng, 30.0, 200.0);
        const double roll = VoTrackTest::uniform(_rng, 0.0, 360.0);
        const double tilt = VoTrackTest::uniform(_rng, 0.0, 45.0);
        ASSERT_TRUE(render(frame % 5, placeMarker(size_px, roll, tilt), options, supersampleFor(size_px)));
        MarkeyeTest::compressLikeJpeg(_scene.renderer().getFrame(), width(), height());
        refineAndMeasure(&errors);
    }
    expectAccurate(errors);
}

// Shapes of other grey levels and colours behind the marker: the bright
// level changes along an edge where one touches it.
TEST_F(SubpixelEdgesSceneTest, ClutteredBackgroundKeepsCornersAccurate)
{
    TSceneOptions options;
    options.clutter_shapes = 60;
    options.gaussian_blur_sigma = 0.8;
    options.noise_sigma = 3.0;
    std::vector<double> errors;
    for (int32_t frame = 0; frame < 8; frame++) {
        const double size_px = VoTrackTest::uniform(_rng, 60.0, 200.0);
        const double roll = VoTrackTest::uniform(_rng, 0.0, 360.0);
        const double tilt = VoTrackTest::uniform(_rng, 0.0, 45.0);
        options.seed = static_cast<uint64_t>(frame + 1);
        ASSERT_TRUE(render(frame % 5, placeMarker(size_px, roll, tilt), options, supersampleFor(size_px)));
        refineAndMeasure(&errors);
    }
    expectAccurate(errors);
}

// Light falling off across the frame and a graded background: the dark
// and bright levels change along every edge.
TEST_F(SubpixelEdgesSceneTest, UnevenLightKeepsCornersAccurate)
{
    TSceneOptions options;
    options.illumination_gradient_x = 0.5;
    options.illumination_gradient_y = -0.3;
    options.background_gradient_x = 60.0;
    options.background_gradient_y = -40.0;
    options.gaussian_blur_sigma = 0.8;
    options.noise_sigma = 3.0;
    std::vector<double> errors;
    for (int32_t frame = 0; frame < 6; frame++) {
        const double size_px = VoTrackTest::uniform(_rng, 40.0, 200.0);
        const double roll = VoTrackTest::uniform(_rng, 0.0, 360.0);
        const double tilt = VoTrackTest::uniform(_rng, 0.0, 45.0);
        ASSERT_TRUE(render(frame % 5, placeMarker(size_px, roll, tilt), options, supersampleFor(size_px)));
        refineAndMeasure(&errors);
    }
    expectAccurate(errors);
}

// What the stage is for: the detector's squares of rendered markers, made
// sub-pixel accurate.
TEST_F(SubpixelEdgesSceneTest, DetectedSquaresBecomeSubpixelAccurate)
{
    VoTrack::VoARFrameAnalysis analysis(_param.get(), BGRA);
    TSceneOptions options;
    options.gaussian_blur_sigma = 0.8;
    options.noise_sigma = 3.0;
    std::vector<double> coarse_errors;
    std::vector<double> errors;
    for (int32_t frame = 0; frame < 6; frame++) {
        const double size_px = VoTrackTest::uniform(_rng, 40.0, 300.0);
        const double roll = VoTrackTest::uniform(_rng, 0.0, 360.0);
        const double tilt = VoTrackTest::uniform(_rng, 0.0, 45.0);
        ASSERT_TRUE(render(frame % 5, placeMarker(size_px, roll, tilt), options, supersampleFor(size_px)));
        analysis.analyse(&_scene.raster(), THRESHOLD);
        // The marker's border is the largest dark region: square 0.
        ASSERT_GE(analysis.getSquareCount(), 1);
        VoARSquare square = *analysis.getSquare(0);
        // The square's corners start anywhere on the outline.
        int32_t shift = 0;
        for (int32_t s = 1; s < 4; s++) {
            if (cornerErrors(square, s)[0] < cornerErrors(square, shift)[0]) {
                shift = s;
            }
        }
        const std::vector<double> coarse = cornerErrors(square, shift);
        // The detector found the marker, to within its usual pixel.
        ASSERT_LT(*std::max_element(coarse.begin(), coarse.end()), 2.0) << "frame " << frame;
        coarse_errors.insert(coarse_errors.end(), coarse.begin(), coarse.end());
        ASSERT_TRUE(_edges.refine(_scene.raster(), &square)) << "frame " << frame;
        const std::vector<double> refined = cornerErrors(square, shift);
        errors.insert(errors.end(), refined.begin(), refined.end());
    }
    RecordProperty("coarse_median_px", std::to_string(median(coarse_errors)));
    expectAccurate(errors);
}

// An object over a third of edge 0: a disc of the grey level given, pasted
// over the rendered frame, reaching into the border and out of the marker.
// Under a light or a dark one the edge has no step and its points are
// skipped; a mid-grey one makes steps in the wrong place, which disagree
// with the rest of the edge and are dropped.
class SubpixelEdgesOcclusionTest : public SubpixelEdgesSceneTest, public ::testing::WithParamInterface<double>
{
protected:
    // Worst corner error (pixels) with the occluder; the edge has a third
    // fewer points than without it.
    static constexpr double OCCLUDED_TOLERANCE = 0.1;

    // Paints the disc of radius i_radius around (i_cx, i_cy) (observed
    // pixels) in grey level i_level.
    void paintDisc(double i_cx, double i_cy, double i_radius, double i_level)
    {
        uint8_t* frame = _scene.renderer().getFrame();
        for (int32_t y = 0; y < height(); y++) {
            for (int32_t x = 0; x < width(); x++) {
                if (std::hypot(x - i_cx, y - i_cy) <= i_radius) {
                    uint8_t* pixel = frame + 4 * (static_cast<size_t>(y) * width() + x);
                    pixel[0] = pixel[1] = pixel[2] = static_cast<uint8_t>(i_level);
                }
            }
        }
    }
};

TEST_P(SubpixelEdgesOcclusionTest, CornersIgnoreTheOccludedPart)
{
    TSceneOptions options;
    options.gaussian_blur_sigma = 0.8;
    options.noise_sigma = 3.0;
    for (int32_t frame = 0; frame < 3; frame++) {
        const double roll = VoTrackTest::uniform(_rng, 0.0, 360.0);
        const double tilt = VoTrackTest::uniform(_rng, 0.0, 30.0);
        ASSERT_TRUE(render(frame, placeMarker(160.0, roll, tilt), options, supersampleFor(160.0)));
        // Centred 40 % along edge 0, its radius a sixth of the edge: it
        // covers the edge from 23 % to 57 % of the way.
        const TVoARDoublePoint_t& a = truth().observed_corners[0];
        const TVoARDoublePoint_t& b = truth().observed_corners[1];
        paintDisc(a.x + 0.4 * (b.x - a.x), a.y + 0.4 * (b.y - a.y), std::hypot(b.x - a.x, b.y - a.y) / 6.0,
                  GetParam());
        VoARSquare square = coarseSquare();
        ASSERT_TRUE(_edges.refine(_scene.raster(), &square)) << "frame " << frame;
        for (double error : cornerErrors(square)) {
            EXPECT_LE(error, OCCLUDED_TOLERANCE) << "frame " << frame;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(LightMidAndDarkOccluders, SubpixelEdgesOcclusionTest, ::testing::Values(240.0, 128.0, 15.0));

// A lens that bends straight lines: 3e-7 per squared pixel about the
// principal point, moving points 300 pixels from it by 8 pixels. Edges are
// located in the frame and fitted in ideal coordinates.
class SubpixelEdgesDistortionTest : public SubpixelEdgesSceneTest
{
protected:
    static constexpr double COEFFICIENT = 30.0;

    SubpixelEdgesDistortionTest() : SubpixelEdgesSceneTest(distortedCamera(*loadBuiltinCamera(), COEFFICIENT)) {}
};

TEST_F(SubpixelEdgesDistortionTest, IdealCornersMatchTheRenderedOnes)
{
    TSceneOptions options;
    options.gaussian_blur_sigma = 0.8;
    options.noise_sigma = 3.0;
    std::vector<double> errors;
    double lens_shift = 0.0;
    for (int32_t frame = 0; frame < 6; frame++) {
        const double roll = VoTrackTest::uniform(_rng, 0.0, 360.0);
        const double tilt = VoTrackTest::uniform(_rng, 0.0, 40.0);
        ASSERT_TRUE(render(frame % 5, placeMarker(150.0, roll, tilt), options, supersampleFor(150.0)));
        for (size_t k = 0; k < 4; k++) {
            lens_shift = std::max(lens_shift, std::hypot(truth().observed_corners[k].x - truth().ideal_corners[k].x,
                                                         truth().observed_corners[k].y - truth().ideal_corners[k].y));
        }
        refineAndMeasure(&errors);
    }
    // The lens moved some corner by pixels: ignoring it could not pass.
    EXPECT_GT(lens_shift, 3.0);
    expectAccurate(errors);
}

}  // namespace
