// Detection allocates nothing once its objects are built and a frame of
// the size has been seen. This program replaces the global allocation
// functions with counting ones, so it is a test program of its own.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "CountingAllocator.h"
#include "DetectionScene.h"
#include "IVoARBufferReader.h"
#include "markeye/Pattern.h"
#include "MarkerPose.h"
#include "TSceneOptions.h"
#include "VoARFrameAnalysis.h"
#include "VoARRgbRaster_BGRA.h"
#include "VoARSingleDetectMarker.h"
#include "VoARSquare.h"
#include "VoARSubpixelEdges.h"
#include "VoARTransMatResult.h"

using TestSupport::allocationsOf;

namespace {

using namespace MarkeyeTest;
using Markeye::MarkerPose;
using Markeye::TSceneMarker;
using VoTrack::VoARSingleDetectMarker;

constexpr int32_t BGRA = VoTrack::IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32;
constexpr int32_t PATTERNS = 10;

std::unique_ptr<VoTrack::VoARCode> makeCode(int32_t i_marker, int32_t i_grid)
{
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(builtinPicture(i_marker).view(), i_grid, i_grid).numbers();
    auto code = std::make_unique<VoTrack::VoARCode>(i_grid, i_grid);
    code->setFromArray(numbers.data(), i_grid, i_grid);
    return code;
}

class ZeroAllocationTest : public ::testing::Test
{
protected:
    ZeroAllocationTest() : _param(loadBuiltinCamera()), _analysis(_param.get(), BGRA)
    {
        for (int32_t k = 0; k < PATTERNS; k++) {
            // Built-in markers 0 to 7, then 8 x 8 and 32 x 32 patterns of
            // two of them: three grid sizes.
            const int32_t grid = k < 8 ? 16 : 8 * (k - 7) * (k - 7);
            _shared.push_back(std::make_unique<VoARSingleDetectMarker>(_param.get(), makeCode(k % 8, grid).release(),
                                                                       MARKER_WIDTH, &_analysis));
            _own.push_back(std::make_unique<VoARSingleDetectMarker>(_param.get(), makeCode(k % 8, grid).release(),
                                                                    MARKER_WIDTH, BGRA));
            _detectors.push_back(_shared.back().get());
        }
        renderFrames();
    }

    // A blank frame, one marker, four markers over clutter with noise, a
    // large near marker, and a frame of many thousand specks; each
    // copied out so that no rendering happens while counting.
    void renderFrames()
    {
        DetectionScene scene(*_param);
        Markeye::TSceneOptions plain;
        Markeye::TSceneOptions busy;
        busy.clutter_shapes = 40;
        busy.noise_sigma = 5.0;
        const std::vector<std::vector<TSceneMarker>> scenes = {
            {},
            {TSceneMarker(&builtinPicture(1), MARKER_WIDTH, MarkerPose::make(15, 20, -10, 0, 0, 600))},
            {TSceneMarker(&builtinPicture(0), MARKER_WIDTH, MarkerPose::make(8, 15, 0, -240, -150, 800)),
             TSceneMarker(&builtinPicture(3), MARKER_WIDTH, MarkerPose::make(-25, 0, 20, 180, -140, 750)),
             TSceneMarker(&builtinPicture(5), MARKER_WIDTH, MarkerPose::make(100, -20, -10, -200, 40, 850)),
             TSceneMarker(&builtinPicture(7), MARKER_WIDTH, MarkerPose::make(200, 10, 30, 190, 50, 700))},
            {TSceneMarker(&builtinPicture(6), MARKER_WIDTH, MarkerPose::make(30, 0, 0, 0, 0, 180))}};
        for (size_t i = 0; i < scenes.size(); i++) {
            scene.render(scenes[i], i == 2 ? busy : plain);
            keepFrame(scene);
        }
        Markeye::TSceneOptions speckled;
        speckled.background_level = 120.0;
        speckled.noise_sigma = 20.0;
        scene.render({}, speckled);
        keepFrame(scene);
    }

    void keepFrame(DetectionScene& io_scene)
    {
        const uint8_t* bytes = io_scene.renderer().getFrame();
        _frames.emplace_back(bytes, bytes + 4 * 640 * 480);
    }

    // Every frame through detectMarkers of the shared detectors and through
    // detectMarker of one and of all ten detectors with their own analyses,
    // with the pose of every pattern that selected a square.
    void detectAll()
    {
        VoTrack::VoARRgbRaster_BGRA& raster = *_raster;
        for (std::vector<uint8_t>& frame : _frames) {
            raster.setBuffer(frame.data());
            VoARSingleDetectMarker::detectMarkers(&_analysis, &raster, THRESHOLD, _detectors.data(), PATTERNS);
            for (VoARSingleDetectMarker* detector : _detectors) {
                poseOf(detector);
            }
            for (const auto& detector : _own) {
                if (detector->detectMarker(&raster, THRESHOLD)) {
                    poseOf(detector.get());
                }
            }
        }
    }

    void poseOf(VoARSingleDetectMarker* io_detector)
    {
        if (io_detector->getSquare() != nullptr) {
            io_detector->getPose(&_pose);
            _found++;
        }
    }

    std::unique_ptr<VoTrack::VoARParam> _param;
    VoTrack::VoARFrameAnalysis _analysis;
    std::vector<std::unique_ptr<VoARSingleDetectMarker>> _shared;
    std::vector<std::unique_ptr<VoARSingleDetectMarker>> _own;
    std::vector<VoARSingleDetectMarker*> _detectors;
    std::vector<std::vector<uint8_t>> _frames;
    std::unique_ptr<VoTrack::VoARRgbRaster_BGRA> _raster = std::make_unique<VoTrack::VoARRgbRaster_BGRA>(640, 480);
    VoTrack::VoARTransMatResult _pose;
    int32_t _found = 0;
};

}  // namespace

TEST_F(ZeroAllocationTest, CountingSeesAnAllocation)
{
    EXPECT_EQ(TestSupport::allocationsOfOneBlock(), 1);
}

// The first frame is blank: it is the only one seen before counting starts,
// so every buffer a marker, a busy frame or many regions need must already
// be there.
TEST_F(ZeroAllocationTest, DetectionAfterOneBlankFrameAllocatesNothing)
{
    std::vector<std::vector<uint8_t>> all = std::move(_frames);
    _frames.assign(all.begin(), all.begin() + 1);
    detectAll();
    _frames.assign(all.begin() + 1, all.end());
    _found = 0;
    EXPECT_EQ(allocationsOf([this] { detectAll(); }), 0);
    // Markers were found and posed while counting.
    EXPECT_GT(_found, 20);
}

TEST_F(ZeroAllocationTest, RepeatedFramesAllocateNothing)
{
    detectAll();
    EXPECT_EQ(allocationsOf([this] {
                  detectAll();
                  detectAll();
              }),
              0);
}

// Sub-pixel refinement of a frame's squares allocates nothing, not even the
// first time.
TEST(SubpixelEdgesAllocationTest, RefiningSquaresAllocatesNothing)
{
    const std::unique_ptr<VoTrack::VoARParam> param = loadBuiltinCamera();
    DetectionScene scene(*param);
    Markeye::TSceneOptions options;
    options.gaussian_blur_sigma = 0.8;
    options.noise_sigma = 3.0;
    scene.render({TSceneMarker(&builtinPicture(2), MARKER_WIDTH, MarkerPose::make(20, 15, -10, -120, 0, 600)),
                  TSceneMarker(&builtinPicture(4), MARKER_WIDTH, MarkerPose::make(-35, -10, 25, 60, 30, 400))},
                 options);
    VoTrack::VoARFrameAnalysis analysis(param.get(), BGRA);
    analysis.analyse(&scene.raster(), THRESHOLD);
    std::vector<VoTrack::VoARSquare> squares;
    for (int32_t i = 0; i < analysis.getSquareCount(); i++) {
        squares.push_back(*analysis.getSquare(i));
    }
    // The two markers, at least.
    ASSERT_GE(squares.size(), 2u);
    VoTrack::VoARSubpixelEdges edges(param->getDistortionFactor(), 640, 480);
    int32_t refined = 0;
    EXPECT_EQ(allocationsOf([&] {
                  for (VoTrack::VoARSquare& square : squares) {
                      refined += edges.refine(scene.raster(), &square) ? 1 : 0;
                  }
              }),
              0);
    EXPECT_GE(refined, 2);
}

// The analysis with the tile threshold allocates nothing per frame either:
// the fixture's frames and the same frames in a third of the light, after
// one blank frame, every square sampled.
TEST_F(ZeroAllocationTest, TileThresholdAnalysisAllocatesNothing)
{
    VoTrack::VoARFrameAnalysis analysis(_param.get(), BGRA, VoTrack::TVoARSquareSearch(),
                                        VoTrack::VoARFrameAnalysis::TBinarisation::TILE_THRESHOLD);
    const int32_t grid = analysis.acquireGrid(16, 16);
    std::vector<std::vector<uint8_t>> frames = _frames;
    for (const std::vector<uint8_t>& frame : _frames) {
        std::vector<uint8_t> dim(frame);
        for (uint8_t& byte : dim) {
            byte = static_cast<uint8_t>(byte / 3);
        }
        frames.push_back(std::move(dim));
    }
    int32_t sampled = 0;
    auto analyse = [&](size_t i_first, size_t i_end) {
        for (size_t f = i_first; f < i_end; f++) {
            _raster->setBuffer(frames[f].data());
            analysis.analyse(_raster.get(), THRESHOLD);
            for (int32_t s = 0; s < analysis.getSquareCount(); s++) {
                sampled += analysis.sampleSquare(grid, s) != nullptr ? 1 : 0;
            }
        }
    };
    analyse(0, 1);
    EXPECT_EQ(allocationsOf([&] { analyse(1, frames.size()); }), 0);
    // Markers were found in normal and in dim light while counting.
    EXPECT_GT(sampled, 10);
}
