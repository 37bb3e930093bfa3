// Markers under dim, bright and uneven light, found by the frame analysis
// with the tile threshold, on rendered scenes with known corners. The fixed
// threshold runs on the same frames for comparison only: it loses the
// marker once the ground around it is darker than about half its normal
// brightness, and that is what the tile threshold is for. Identification by
// pattern is counted beside it: it reads the frame inside the square, not
// the dark mask.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "DetectionScene.h"
#include "IVoARBufferReader.h"
#include "MarkerPose.h"
#include "TSceneOptions.h"
#include "TVoARSquareSearch.h"
#include "VoARCode.h"
#include "VoARException.h"
#include "VoARFrameAnalysis.h"
#include "VoARMatchPatt_Color_WITHOUT_PCA.h"
#include "VoARSquare.h"

using namespace MarkeyeTest;
using Markeye::MarkerPose;
using Markeye::TMarkerTruth;
using Markeye::TSceneMarker;
using Markeye::TSceneOptions;
using VoTrack::VoARFrameAnalysis;
using TBinarisation = VoTrack::VoARFrameAnalysis::TBinarisation;

namespace {

constexpr int32_t BGRA = VoTrack::IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32;
constexpr int32_t PATTERNS = 8;
// A marker is found when a square's corners lie within this many pixels of
// the drawn ones; identified when, besides, its best pattern is the
// marker's, at least this sure (the library's least confidence).
constexpr double CORNER_TOLERANCE_PX = 3.0;
constexpr double MIN_CONFIDENCE = 0.55;
// Frames per light and the share of them in which every marker must be found.
constexpr int32_t FRAMES = 100;
constexpr double MIN_FOUND_SHARE = 0.99;
// Markers lie this far inside the frame, and apart from each other.
constexpr double MARGIN_PX = 6.0;
constexpr double SPACING_PX = 10.0;

// The bounding box of a marker's corners in the frame, in pixels.
struct TBox
{
    double left;
    double top;
    double right;
    double bottom;
};

TBox boxOf(const TMarkerTruth& i_truth)
{
    TBox box{1e9, 1e9, -1e9, -1e9};
    for (const auto& corner : i_truth.observed_corners) {
        box = {std::min(box.left, corner.x), std::min(box.top, corner.y), std::max(box.right, corner.x),
               std::max(box.bottom, corner.y)};
    }
    return box;
}

bool apart(const TBox& i_a, const TBox& i_b)
{
    return i_a.right + SPACING_PX < i_b.left || i_b.right + SPACING_PX < i_a.left ||
           i_a.bottom + SPACING_PX < i_b.top || i_b.bottom + SPACING_PX < i_a.top;
}

// One frame analysis with the built-in patterns on one grid, identifying
// squares as the library's default mode does: each square for the pattern
// it matches best.
class Identifier
{
public:
    Identifier(const VoTrack::VoARParam& i_param, const VoTrack::TVoARSquareSearch& i_search,
               TBinarisation i_binarisation)
        : _analysis(&i_param, BGRA, i_search, i_binarisation)
    {
        for (int32_t k = 0; k < PATTERNS; k++) {
            _codes.push_back(makeBuiltinCode(k));
        }
        _grid = _analysis.acquireGrid(_codes[0]->getWidth(), _codes[0]->getHeight());
    }

    // Analyses a frame; false when the analysis fails (too many regions).
    bool analyse(const VoTrack::IVoARRgbRaster& i_raster)
    {
        try {
            _analysis.analyse(&i_raster, THRESHOLD);
        } catch (const VoTrack::VoARException&) {
            return false;
        }
        return true;
    }

    // Whether every marker drawn has its square among the analysed frame's,
    // and with i_identified, is identified as its own pattern too.
    bool findsAll(const std::vector<TMarkerTruth>& i_truth, const std::vector<int32_t>& i_pictures,
                  bool i_identified)
    {
        for (size_t m = 0; m < i_truth.size(); m++) {
            const int32_t square = squareOf(i_truth[m]);
            if (square < 0 || (i_identified && bestPattern(square) != i_pictures[m])) {
                return false;
            }
        }
        return true;
    }

private:
    int32_t squareOf(const TMarkerTruth& i_truth) const
    {
        for (int32_t s = 0; s < _analysis.getSquareCount(); s++) {
            if (fitsCorners(*_analysis.getSquare(s), i_truth)) {
                return s;
            }
        }
        return -1;
    }

    // Every drawn corner has a square corner near it (the square's first
    // corner may be any of the four).
    static bool fitsCorners(const VoTrack::VoARSquare& i_square, const TMarkerTruth& i_truth)
    {
        for (const auto& corner : i_truth.ideal_corners) {
            double nearest = 1e9;
            for (const auto& vertex : i_square.ideal_vertices) {
                nearest = std::min(nearest, std::hypot(vertex[0] - corner.x, vertex[1] - corner.y));
            }
            if (nearest > CORNER_TOLERANCE_PX) {
                return false;
            }
        }
        return true;
    }

    // The pattern square i_square matches best at MIN_CONFIDENCE or above,
    // or -1.
    int32_t bestPattern(int32_t i_square)
    {
        VoTrack::VoARMatchPatt_Color_WITHOUT_PCA* matcher = _analysis.sampleSquare(_grid, i_square);
        if (matcher == nullptr) {
            return -1;
        }
        int32_t best = -1;
        double confidence = MIN_CONFIDENCE;
        for (int32_t k = 0; k < PATTERNS; k++) {
            matcher->matchCode(_codes[static_cast<size_t>(k)].get());
            if (matcher->getDirection() >= 0 && matcher->getConfidence() >= confidence) {
                best = k;
                confidence = matcher->getConfidence();
            }
        }
        return best;
    }

    VoARFrameAnalysis _analysis;
    std::vector<std::unique_ptr<VoTrack::VoARCode>> _codes;
    int32_t _grid;
};

// Random scenes at one light gain, through the built-in 640 x 480 camera:
// one to three markers 50 to 190 px across, turned any way and tilted up to
// 45 degrees, whole inside the frame and apart; a ground of 150 to 230 grey
// levels with gradients of up to 50 across and 30 down; light falling across
// the frame in a random direction, from 1.42 to 0.58 times the gain between
// opposite corners; Gaussian blur of 0.3 to 1 px in half the frames; noise
// of 1 to 4 grey levels.
class LightingScenes
{
public:
    LightingScenes(const VoTrack::VoARParam& i_param, double i_gain, uint32_t i_seed)
        : _scene(i_param), _gain(i_gain), _random(i_seed)
    {
    }

    void renderNext()
    {
        placeMarkers();
        TSceneOptions options;
        options.supersample = 2;
        options.background_level = between(150.0, 230.0);
        options.background_gradient_x = between(-50.0, 50.0);
        options.background_gradient_y = between(-30.0, 30.0);
        options.illumination_gain = _gain;
        const double direction = between(0.0, 2.0 * std::acos(-1.0));
        options.illumination_gradient_x = LIGHT_GRADIENT * std::cos(direction);
        options.illumination_gradient_y = LIGHT_GRADIENT * std::sin(direction);
        const bool blurred = between(0.0, 1.0) < 0.5;
        options.gaussian_blur_sigma = blurred ? between(0.3, 1.0) : 0.0;
        options.noise_sigma = between(1.0, 4.0);
        options.seed = _random();
        _scene.render(_markers, options);
    }

    const VoTrack::VoARRgbRaster_BGRA& raster() const { return _scene.raster(); }
    const std::vector<TMarkerTruth>& truth() const { return _scene.truth(); }
    const std::vector<int32_t>& pictures() const { return _pictures; }

private:
    // How far the light changes across the frame: 1 -/+ 0.3 at the middle
    // of opposite edges.
    static constexpr double LIGHT_GRADIENT = 0.6;
    static constexpr int32_t MAX_ATTEMPTS = 200;

    double between(double i_low, double i_high)
    {
        return std::uniform_real_distribution<double>(i_low, i_high)(_random);
    }

    void placeMarkers()
    {
        _markers.clear();
        _pictures.clear();
        std::vector<TBox> boxes;
        const int32_t wanted = std::uniform_int_distribution<int32_t>(1, 3)(_random);
        // Markers that do not fit after a while are left out, but never all.
        int32_t attempts = 0;
        while (static_cast<int32_t>(_markers.size()) < wanted && (attempts++ < MAX_ATTEMPTS || _markers.empty())) {
            const int32_t picture = std::uniform_int_distribution<int32_t>(0, PATTERNS - 1)(_random);
            const double depth = between(300.0, 1100.0);
            const double roll = between(0.0, 360.0);
            const double tilt_x = between(-45.0, 45.0);
            const double tilt_y = between(-45.0, 45.0);
            const double x = between(-0.32, 0.32) * depth;
            const double y = between(-0.24, 0.24) * depth;
            const TSceneMarker marker(&builtinPicture(picture), MARKER_WIDTH,
                                      MarkerPose::make(roll, tilt_x, tilt_y, x, y, depth));
            TMarkerTruth truth;
            Markeye::SceneRenderer::computeTruth(_scene.renderer().getCamera(), marker, &truth);
            const TBox box = boxOf(truth);
            const bool inside = truth.in_frame && truth.front_facing && box.left >= MARGIN_PX &&
                                box.top >= MARGIN_PX && box.right <= _scene.renderer().getWidth() - 1 - MARGIN_PX &&
                                box.bottom <= _scene.renderer().getHeight() - 1 - MARGIN_PX;
            const bool free =
                std::all_of(boxes.begin(), boxes.end(), [&](const TBox& i_other) { return apart(box, i_other); });
            if (inside && free) {
                _markers.push_back(marker);
                _pictures.push_back(picture);
                boxes.push_back(box);
            }
        }
    }

    DetectionScene _scene;
    double _gain;
    std::mt19937 _random;
    std::vector<TSceneMarker> _markers;
    std::vector<int32_t> _pictures;
};

// Frames, out of FRAMES, in which every marker was found and identified.
struct TCount
{
    int32_t found = 0;
    int32_t identified = 0;

    void add(Identifier& io_identifier, const LightingScenes& i_scenes)
    {
        if (io_identifier.analyse(i_scenes.raster())) {
            found += io_identifier.findsAll(i_scenes.truth(), i_scenes.pictures(), false) ? 1 : 0;
            identified += io_identifier.findsAll(i_scenes.truth(), i_scenes.pictures(), true) ? 1 : 0;
        }
    }
};

std::string percent(int32_t i_frames)
{
    std::ostringstream text;
    text << std::fixed << std::setprecision(0) << 100.0 * i_frames / FRAMES << " %";
    return text.str();
}

class LightingTest : public ::testing::TestWithParam<double> {};

// The tile threshold finds every marker in at least 99 % of the frames at
// each light gain. The fixed threshold's share on the same frames is printed
// beside it, not checked: at the time of writing 0 % at gains 0.25 and 0.4,
// about half at 0.6, all or nearly all at 1.0 and 1.6.
TEST_P(LightingTest, TileThresholdFindsEveryMarkerFromAQuarterOfTheLightToOverExposure)
{
    const double gain = GetParam();
    const std::unique_ptr<VoTrack::VoARParam> param = loadBuiltinCamera();
    LightingScenes scenes(*param, gain, static_cast<uint32_t>(std::lround(gain * 1000)));
    Identifier tile_identifier(*param, VoTrack::TVoARSquareSearch(), TBinarisation::TILE_THRESHOLD);
    Identifier fixed_identifier(*param, VoTrack::TVoARSquareSearch(), TBinarisation::FIXED_THRESHOLD);
    TCount tile;
    TCount fixed;
    for (int32_t f = 0; f < FRAMES; f++) {
        scenes.renderNext();
        tile.add(tile_identifier, scenes);
        fixed.add(fixed_identifier, scenes);
    }
    std::cout << "light gain " << gain << ", " << FRAMES << " frames, every marker found (identified): tile threshold "
              << percent(tile.found) << " (" << percent(tile.identified) << "), fixed threshold "
              << percent(fixed.found) << " (" << percent(fixed.identified) << ")" << std::endl;
    RecordProperty("tile_found_frames", tile.found);
    RecordProperty("fixed_found_frames", fixed.found);
    EXPECT_GE(tile.found, MIN_FOUND_SHARE * FRAMES);
}

INSTANTIATE_TEST_SUITE_P(Gains, LightingTest, ::testing::Values(0.25, 0.4, 0.6, 1.0, 1.6));

// A marker seen from so close at 1280 x 720 that its border is 170 px thick,
// five tiles, in dim and uneven light: the inside of the border stays dark
// and the square is found, once the search admits regions as large as the
// frame.
TEST(LightingNearMarkerTest, BorderFiveTilesThickIsFoundInDimLight)
{
    const std::unique_ptr<VoTrack::VoARParam> param = loadBuiltinCamera(1280, 720);
    DetectionScene scene(*param);
    TSceneOptions options;
    options.supersample = 2;
    options.illumination_gain = 0.3;
    options.illumination_gradient_x = 0.4;
    options.illumination_gradient_y = -0.2;
    options.noise_sigma = 2.0;
    const int32_t picture = 2;
    // 679 px across (the camera's focal length is 1400 px), centred: the
    // rescaled camera's principal point lies 120 px below the frame's centre.
    const std::vector<TSceneMarker> markers = {
        TSceneMarker(&builtinPicture(picture), MARKER_WIDTH, MarkerPose::make(2, 0, 0, 0, -14, 165))};
    scene.render(markers, options);
    const TBox box = boxOf(scene.truth()[0]);
    ASSERT_TRUE(scene.truth()[0].in_frame);
    ASSERT_GT(box.bottom - box.top, 4 * 165.0) << "the marker is not as near as meant";

    VoTrack::TVoARSquareSearch search;
    search.area_max = 1280 * 720;
    Identifier tile(*param, search, TBinarisation::TILE_THRESHOLD);
    ASSERT_TRUE(tile.analyse(scene.raster()));
    EXPECT_TRUE(tile.findsAll(scene.truth(), {picture}, true));
}

}  // namespace
