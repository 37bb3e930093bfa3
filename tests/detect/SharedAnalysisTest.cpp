#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "BuiltinMarkers.h"
#include "DetectionScene.h"
#include "IVoARBufferReader.h"
#include "markeye/Pattern.h"
#include "MarkerPose.h"
#include "TSceneOptions.h"
#include "VoARBinRaster.h"
#include "VoARColorPatt_O3.h"
#include "VoARException.h"
#include "VoARFrameAnalysis.h"
#include "VoARMatchPatt_Color_WITHOUT_PCA.h"
#include "VoARRasterFilter_KestrelThreshold.h"
#include "VoARSingleDetectMarker.h"
#include "VoARSquare.h"
#include "VoARSquareDetector.h"
#include "VoARSquareStack.h"
#include "VoARTransMat.h"
#include "VoARTransMatResult.h"

using namespace MarkeyeTest;
using Markeye::MarkerPose;
using Markeye::TSceneMarker;
using Markeye::TSceneOptions;
using VoTrack::VoARSingleDetectMarker;

namespace {

constexpr int32_t BGRA = VoTrack::IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32;
constexpr int32_t FRAMES = 40;

// One pattern: a built-in marker on a grid of its own size.
struct TPatternSpec
{
    int32_t marker;
    int32_t width;
    int32_t height;
};

// Ten patterns on three grid sizes, so that some share a sampler and some
// do not.
const TPatternSpec PATTERNS[] = {{0, 16, 16}, {1, 16, 16}, {2, 16, 16}, {3, 16, 16}, {4, 16, 16},
                                 {5, 8, 8},   {6, 8, 8},   {7, 16, 16}, {0, 32, 32}, {3, 8, 16}};
constexpr int32_t PATTERN_COUNT = static_cast<int32_t>(std::size(PATTERNS));

std::unique_ptr<VoTrack::VoARCode> makeCode(const TPatternSpec& i_spec)
{
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(builtinPicture(i_spec.marker).view(), i_spec.width, i_spec.height).numbers();
    auto code = std::make_unique<VoTrack::VoARCode>(i_spec.width, i_spec.height);
    code->setFromArray(numbers.data(), i_spec.width, i_spec.height);
    return code;
}

// Everything a detection lets a caller observe for one pattern and frame.
struct TOutcome
{
    bool threw = false;
    bool found = false;
    VoTrack::VoARSquare square{};
    double confidence = 0.0;
    int32_t direction = 0;
    VoTrack::VoARTransMatResult pose;
};

bool sameBits(const void* i_a, const void* i_b, size_t i_size)
{
    return std::memcmp(i_a, i_b, i_size) == 0;
}

// Field by field, bit for bit (a NaN equals the same NaN).
void expectSameOutcome(const TOutcome& i_expected, const TOutcome& i_actual)
{
    ASSERT_EQ(i_expected.threw, i_actual.threw);
    ASSERT_EQ(i_expected.found, i_actual.found);
    if (!i_expected.found) {
        return;
    }
    EXPECT_TRUE(sameBits(i_expected.square.edge_lines, i_actual.square.edge_lines, sizeof(i_actual.square.edge_lines)));
    EXPECT_TRUE(sameBits(i_expected.square.ideal_vertices, i_actual.square.ideal_vertices,
                         sizeof(i_actual.square.ideal_vertices)));
    EXPECT_TRUE(sameBits(i_expected.square.image_vertices, i_actual.square.image_vertices,
                         sizeof(i_actual.square.image_vertices)));
    EXPECT_TRUE(sameBits(&i_expected.confidence, &i_actual.confidence, sizeof(double)))
        << i_expected.confidence << " vs " << i_actual.confidence;
    EXPECT_EQ(i_expected.direction, i_actual.direction);
    EXPECT_EQ(i_expected.pose.has_value, i_actual.pose.has_value);
    const double expected_pose[12] = {i_expected.pose.m00, i_expected.pose.m01, i_expected.pose.m02,
                                      i_expected.pose.m03, i_expected.pose.m10, i_expected.pose.m11,
                                      i_expected.pose.m12, i_expected.pose.m13, i_expected.pose.m20,
                                      i_expected.pose.m21, i_expected.pose.m22, i_expected.pose.m23};
    const double actual_pose[12] = {i_actual.pose.m00, i_actual.pose.m01, i_actual.pose.m02, i_actual.pose.m03,
                                    i_actual.pose.m10, i_actual.pose.m11, i_actual.pose.m12, i_actual.pose.m13,
                                    i_actual.pose.m20, i_actual.pose.m21, i_actual.pose.m22, i_actual.pose.m23};
    EXPECT_TRUE(sameBits(expected_pose, actual_pose, sizeof(actual_pose)));
}

// The detection written out from its stages, one pattern at a time, as each
// detector ran it on its own before analyses were shared: binarise, label,
// search, then sample and match every square and keep the best (the later
// one on a tie), skipping squares that cannot be sampled or sample
// uniformly.
class ReferenceDetection
{
public:
    explicit ReferenceDetection(const VoTrack::VoARParam& i_param)
        : _width(i_param.getScreenSize()->w),
          _height(i_param.getScreenSize()->h),
          _filter(0, BGRA),
          _bin(_width, _height),
          _squares(i_param.getDistortionFactor(), i_param.getScreenSize()),
          _stack(VoTrack::VoARFrameAnalysis::SQUARE_CAPACITY)
    {
    }

    // Fills o_outcome's selection; false when nothing was selected.
    bool select(const VoTrack::IVoARRgbRaster& i_raster, int32_t i_threshold, const VoTrack::VoARCode& i_code,
                TOutcome* o_outcome)
    {
        _filter.setThreshold(i_threshold);
        _filter.doFilter(i_raster, _bin);
        _squares.detectSquares(&_bin, &_stack);
        VoTrack::VoARColorPatt_O3 sampler(i_code.getWidth(), i_code.getHeight());
        VoTrack::VoARMatchPatt_Color_WITHOUT_PCA matcher;
        const VoTrack::VoARSquare* best = nullptr;
        for (int32_t i = 0; i < _stack.getLength(); i++) {
            const VoTrack::VoARSquare* square = _stack.getArray()[i];
            try {
                if (!sampler.sampleSquare(&i_raster, square) || !matcher.setSample(&sampler)) {
                    continue;
                }
            } catch (const VoTrack::VoARException&) {
                continue;
            }
            matcher.matchCode(&i_code);
            if (best != nullptr && o_outcome->confidence > matcher.getConfidence()) {
                continue;
            }
            best = square;
            o_outcome->confidence = matcher.getConfidence();
            o_outcome->direction = matcher.getDirection();
        }
        if (best != nullptr) {
            o_outcome->square = *best;
        }
        return best != nullptr;
    }

private:
    int32_t _width;
    int32_t _height;
    VoTrack::VoARRasterFilter_KestrelThreshold _filter;
    VoTrack::VoARBinRaster _bin;
    VoTrack::VoARSquareDetector _squares;
    VoTrack::VoARSquareStack _stack;
};

// A camera for the frames: the built-in one rescaled, with or without lens
// distortion (coefficient in the camera file's unit, 1e-8 per squared pixel).
struct TCameraCase
{
    const char* name;
    int32_t width;
    int32_t height;
    double distortion;
};

void PrintTo(const TCameraCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

std::unique_ptr<VoTrack::VoARParam> makeCamera(const TCameraCase& i_case)
{
    std::unique_ptr<VoTrack::VoARParam> param = loadBuiltinCamera(i_case.width, i_case.height);
    if (i_case.distortion != 0.0) {
        VoTrack::TVoARParamFileRecord record{};
        record.x_size = i_case.width;
        record.y_size = i_case.height;
        const VoTrack::VoARPerspectiveProjectionMatrix* p = param->getProjectionMatrix();
        const double projection[12] = {p->m00, p->m01, p->m02, p->m03, p->m10, p->m11,
                                       p->m12, p->m13, p->m20, p->m21, p->m22, p->m23};
        std::copy(projection, projection + 12, record.projection);
        const double distortion[4] = {i_case.width / 2.0 + 3.0, i_case.height / 2.0 - 2.0, i_case.distortion, 1.0};
        std::copy(distortion, distortion + 4, record.distortion);
        param->setValue(record);
    }
    return param;
}

class SharedAnalysisTest : public ::testing::TestWithParam<TCameraCase>
{
protected:
    SharedAnalysisTest()
        : _param(makeCamera(GetParam())), _scene(*_param), _reference(*_param), _analysis(_param.get(), BGRA)
    {
        for (const TPatternSpec& pattern : PATTERNS) {
            _codes.push_back(makeCode(pattern));
            _separate.push_back(std::make_unique<VoARSingleDetectMarker>(_param.get(), makeCode(pattern).release(),
                                                                         MARKER_WIDTH, BGRA));
            _shared.push_back(std::make_unique<VoARSingleDetectMarker>(_param.get(), makeCode(pattern).release(),
                                                                       MARKER_WIDTH, &_analysis));
        }
        // Odd patterns refine their pose from the last frame's.
        for (int32_t k = 1; k < PATTERN_COUNT; k += 2) {
            _separate[static_cast<size_t>(k)]->setContinueMode(true);
            _shared[static_cast<size_t>(k)]->setContinueMode(true);
        }
        _reference_estimators.resize(static_cast<size_t>(PATTERN_COUNT));
        for (auto& estimator : _reference_estimators) {
            estimator = std::make_unique<VoTrack::VoARTransMat>(_param.get());
        }
        _reference_poses.resize(static_cast<size_t>(PATTERN_COUNT));
        _separate_poses.resize(static_cast<size_t>(PATTERN_COUNT));
        _shared_poses.resize(static_cast<size_t>(PATTERN_COUNT));
    }

    // A random scene: up to six markers, some of them blank or solid
    // squares, over clutter, with blur, noise and uneven light.
    void renderRandomScene(std::mt19937* io_random)
    {
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        auto between = [&](double i_low, double i_high) { return i_low + (i_high - i_low) * unit(*io_random); };
        std::vector<TSceneMarker> markers;
        const int marker_count = std::uniform_int_distribution<int>(0, 6)(*io_random);
        for (int m = 0; m < marker_count; m++) {
            const double depth = between(350.0, 1400.0);
            const double width = unit(*io_random) < 0.8 ? MARKER_WIDTH : between(50.0, 140.0);
            markers.emplace_back(pictureFor(std::uniform_int_distribution<int>(0, 9)(*io_random)), width,
                                 MarkerPose::make(between(0, 360), between(-50, 50), between(-50, 50),
                                                  between(-0.35, 0.35) * depth, between(-0.25, 0.25) * depth, depth));
        }
        TSceneOptions options;
        options.supersample = 2;
        options.background_level = between(150.0, 230.0);
        options.background_gradient_x = between(-60.0, 60.0);
        options.clutter_shapes = std::uniform_int_distribution<int>(0, 40)(*io_random);
        options.illumination_gradient_y = between(-0.3, 0.3);
        options.gaussian_blur_sigma = unit(*io_random) < 0.3 ? between(0.3, 1.2) : 0.0;
        options.noise_sigma = between(0.0, 6.0);
        options.seed = (*io_random)();
        _scene.render(markers, options);
    }

    // Built-in pictures 0 to 7, a blank marker (border only) and a solid
    // black square.
    const Markeye::MarkerPicture* pictureFor(int i_choice)
    {
        static const Markeye::MarkerPicture blank(4, 4);
        static const uint8_t black_grey[4] = {0, 0, 0, 0};
        static const Markeye::MarkerPicture black = Markeye::MarkerPicture::fromGrey(2, 2, black_grey);
        if (i_choice < Markeye::BuiltinMarkers::count()) {
            return &builtinPicture(i_choice);
        }
        return i_choice == 8 ? &blank : &black;
    }

    void detectReference(int32_t i_threshold, std::vector<TOutcome>* o_outcomes)
    {
        const auto& raster = _scene.raster();
        for (int32_t k = 0; k < PATTERN_COUNT; k++) {
            TOutcome& outcome = (*o_outcomes)[static_cast<size_t>(k)];
            try {
                outcome.found = _reference.select(raster, i_threshold, *_codes[static_cast<size_t>(k)], &outcome);
            } catch (const VoTrack::VoARException&) {
                outcome.threw = true;
            }
            if (outcome.found) {
                VoTrack::VoARTransMatResult& pose = _reference_poses[static_cast<size_t>(k)];
                VoTrack::VoARTransMat& estimator = *_reference_estimators[static_cast<size_t>(k)];
                if (k % 2 == 1) {
                    estimator.computePoseContinued(&outcome.square, outcome.direction, MARKER_WIDTH, &pose);
                } else {
                    estimator.computePose(&outcome.square, outcome.direction, MARKER_WIDTH, &pose);
                }
                outcome.pose = pose;
            }
        }
    }

    void detectSeparately(int32_t i_threshold, std::vector<TOutcome>* o_outcomes)
    {
        for (int32_t k = 0; k < PATTERN_COUNT; k++) {
            TOutcome& outcome = (*o_outcomes)[static_cast<size_t>(k)];
            try {
                _separate[static_cast<size_t>(k)]->detectMarker(&_scene.raster(), i_threshold);
            } catch (const VoTrack::VoARException&) {
                outcome.threw = true;
            }
            readOutcome(*_separate[static_cast<size_t>(k)], &_separate_poses[static_cast<size_t>(k)], &outcome);
        }
    }

    void detectShared(int32_t i_threshold, std::vector<TOutcome>* o_outcomes)
    {
        std::vector<VoARSingleDetectMarker*> detectors;
        for (const auto& detector : _shared) {
            detectors.push_back(detector.get());
        }
        bool threw = false;
        try {
            VoARSingleDetectMarker::detectMarkers(&_analysis, &_scene.raster(), i_threshold, detectors.data(),
                                                  PATTERN_COUNT);
        } catch (const VoTrack::VoARException&) {
            threw = true;
        }
        for (int32_t k = 0; k < PATTERN_COUNT; k++) {
            TOutcome& outcome = (*o_outcomes)[static_cast<size_t>(k)];
            outcome.threw = threw;
            readOutcome(*_shared[static_cast<size_t>(k)], &_shared_poses[static_cast<size_t>(k)], &outcome);
        }
    }

    static void readOutcome(VoARSingleDetectMarker& io_detector, VoTrack::VoARTransMatResult* io_pose,
                            TOutcome* o_outcome)
    {
        o_outcome->found = io_detector.getSquare() != nullptr;
        if (!o_outcome->found) {
            return;
        }
        o_outcome->square = *io_detector.getSquare();
        o_outcome->confidence = io_detector.getConfidence();
        o_outcome->direction = io_detector.getDirection();
        io_detector.getPose(io_pose);
        o_outcome->pose = *io_pose;
    }

    std::unique_ptr<VoTrack::VoARParam> _param;
    DetectionScene _scene;
    ReferenceDetection _reference;
    VoTrack::VoARFrameAnalysis _analysis;
    std::vector<std::unique_ptr<VoTrack::VoARCode>> _codes;
    std::vector<std::unique_ptr<VoTrack::VoARTransMat>> _reference_estimators;
    std::vector<std::unique_ptr<VoARSingleDetectMarker>> _separate;
    std::vector<std::unique_ptr<VoARSingleDetectMarker>> _shared;
    std::vector<VoTrack::VoARTransMatResult> _reference_poses;
    std::vector<VoTrack::VoARTransMatResult> _separate_poses;
    std::vector<VoTrack::VoARTransMatResult> _shared_poses;
};

}  // namespace

// Every pattern gets the same square, confidence, direction and pose, bit for
// bit, whether the detectors share one analysis, each run their own, or the
// stages run one pattern at a time as they did before analyses were shared.
TEST_P(SharedAnalysisTest, SharedSeparateAndStageByStageAgreeExactly)
{
    std::mt19937 random(20240917u + static_cast<uint32_t>(GetParam().width));
    const int32_t thresholds[] = {80, 100, 100, 130};
    int32_t found = 0;
    for (int32_t frame = 0; frame < FRAMES; frame++) {
        renderRandomScene(&random);
        const int32_t threshold = thresholds[frame % 4];
        std::vector<TOutcome> reference(static_cast<size_t>(PATTERN_COUNT));
        std::vector<TOutcome> separate(static_cast<size_t>(PATTERN_COUNT));
        std::vector<TOutcome> shared(static_cast<size_t>(PATTERN_COUNT));
        detectReference(threshold, &reference);
        detectSeparately(threshold, &separate);
        detectShared(threshold, &shared);
        for (int32_t k = 0; k < PATTERN_COUNT; k++) {
            SCOPED_TRACE(::testing::Message() << "frame " << frame << ", pattern " << k);
            expectSameOutcome(reference[static_cast<size_t>(k)], separate[static_cast<size_t>(k)]);
            expectSameOutcome(reference[static_cast<size_t>(k)], shared[static_cast<size_t>(k)]);
            found += reference[static_cast<size_t>(k)].found ? 1 : 0;
        }
    }
    // The scenes are busy enough that most patterns select something.
    EXPECT_GT(found, FRAMES * PATTERN_COUNT / 2);
}

INSTANTIATE_TEST_SUITE_P(Cameras, SharedAnalysisTest,
                         ::testing::Values(TCameraCase{"Plain640x480", 640, 480, 0.0},
                                           TCameraCase{"Distorted320x240", 320, 240, 40.0}),
                         [](const ::testing::TestParamInfo<TCameraCase>& i_info) {
                             return std::string(i_info.param.name);
                         });

// Another detector's detectMarker analyses the shared frame anew: the
// selections made on the earlier frame are withdrawn, not left pointing at
// squares of another frame.
TEST(SharedAnalysisLifetimeTest, ANewAnalysisWithdrawsEarlierSelections)
{
    const std::unique_ptr<VoTrack::VoARParam> param = loadBuiltinCamera();
    DetectionScene scene(*param);
    scene.render({TSceneMarker(&builtinPicture(2), MARKER_WIDTH, MarkerPose::make(10, 10, 0, 0, 0, 500))},
                 TSceneOptions());
    VoTrack::VoARFrameAnalysis analysis(param.get(), BGRA);
    VoARSingleDetectMarker first(param.get(), makeBuiltinCode(2).release(), MARKER_WIDTH, &analysis);
    VoARSingleDetectMarker second(param.get(), makeBuiltinCode(3).release(), MARKER_WIDTH, &analysis);
    ASSERT_TRUE(first.detectMarker(&scene.raster(), THRESHOLD));
    ASSERT_NE(first.getSquare(), nullptr);
    second.detectMarker(&scene.raster(), THRESHOLD);
    EXPECT_EQ(first.getSquare(), nullptr);
    VoTrack::VoARTransMatResult pose;
    EXPECT_THROW(first.getPose(&pose), VoTrack::VoARException);
    EXPECT_NE(second.getSquare(), nullptr);
}

// A raster of another size is refused before anything is analysed: the
// current selections stay.
TEST(SharedAnalysisLifetimeTest, ARasterOfAnotherSizeKeepsTheSelections)
{
    const std::unique_ptr<VoTrack::VoARParam> param = loadBuiltinCamera();
    DetectionScene scene(*param);
    scene.render({TSceneMarker(&builtinPicture(4), MARKER_WIDTH, MarkerPose::make(-20, 0, 15, 0, 0, 500))},
                 TSceneOptions());
    VoTrack::VoARFrameAnalysis analysis(param.get(), BGRA);
    VoARSingleDetectMarker detector(param.get(), makeBuiltinCode(4).release(), MARKER_WIDTH, &analysis);
    VoARSingleDetectMarker* detectors[] = {&detector};
    VoARSingleDetectMarker::detectMarkers(&analysis, &scene.raster(), THRESHOLD, detectors, 1);
    const VoTrack::VoARSquare* selected = detector.getSquare();
    ASSERT_NE(selected, nullptr);
    const VoTrack::VoARRgbRaster_BGRA other(320, 240);
    EXPECT_THROW(VoARSingleDetectMarker::detectMarkers(&analysis, &other, THRESHOLD, detectors, 1),
                 VoTrack::VoARException);
    EXPECT_EQ(detector.getSquare(), selected);
}

// Patterns of one grid size share a sampler, which is released with the last
// of them; a grid size no pattern has is refused.
TEST(SharedAnalysisGridTest, GridsAreSharedBySizeAndReleasedWithTheirLastUser)
{
    const std::unique_ptr<VoTrack::VoARParam> param = loadBuiltinCamera(320, 240);
    VoTrack::VoARFrameAnalysis analysis(param.get(), BGRA);
    const int32_t a = analysis.acquireGrid(16, 16);
    const int32_t b = analysis.acquireGrid(8, 16);
    EXPECT_NE(a, b);
    EXPECT_EQ(analysis.acquireGrid(16, 16), a);
    analysis.releaseGrid(a);
    analysis.releaseGrid(a);
    // Slot a is free again and goes to the next new size.
    EXPECT_EQ(analysis.acquireGrid(32, 32), a);
    EXPECT_EQ(analysis.acquireGrid(8, 16), b);
    EXPECT_THROW(analysis.acquireGrid(12, 16), VoTrack::VoARException);
    EXPECT_THROW(analysis.acquireGrid(16, 0), VoTrack::VoARException);
}
