// markeye::Tracker on frames rendered through library cameras with markers
// at known poses: what it finds against the drawn truth, its two ways of
// telling squares apart, every pixel layout, other frame sizes, and what it
// refuses.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "LibraryTestSupport.h"
#include "MarkerPose.h"
#include "markeye/markeye.h"

using namespace LibraryTest;
using Markeye::MarkerPose;
using Markeye::TSceneMarker;
using Markeye::TSceneOptions;
using markeye::Camera;
using markeye::Detection;
using markeye::Tracker;
using markeye::TrackerOptions;

namespace {

// How close to the drawn truth a detection must come on clean frames of
// markers 75 pixels across or more, tilted up to 40 degrees: corners
// (pixels, the worst of four), rotation (degrees) and translation (share of
// the distance).
struct TTolerance
{
    double corner_px;
    double rotation_deg;
    double translation;
};

// The default mode locates edges to a fraction of a pixel and solves the
// pose from the refined corners: at worst 0.09 px, 0.18 degrees and 0.04 %
// on these scenes.
constexpr TTolerance PRECISE{0.15, 0.3, 0.001};
// The plug-in's way fits edges through the outermost dark pixels, about half
// a pixel inside the drawn edge, so the marker looks up to 1 % farther away
// than it is; its pose estimator tilts the pose by up to a degree.
constexpr TTolerance PLUGIN{1.0, 1.5, 0.015};
// Root mean square in ideal pixels of the square's corners against the
// marker projected through its pose: the pose fits the square closely.
constexpr double REPROJECTION_TOLERANCE_PX = 0.5;
// Least confidence of a marker 75 pixels across or more (0.58 from 56).
constexpr double SEEN_CONFIDENCE = 0.75;

// Frames of markers of the scene through the built-in camera, and trackers
// of the eight built-in patterns on it.
class TrackerSceneTest : public ::testing::Test
{
protected:
    TrackerSceneTest() : _camera(Camera::builtin(FRAME_WIDTH, FRAME_HEIGHT)), _frame(_camera) {}

    Tracker makeTracker(const TrackerOptions& i_options = TrackerOptions()) const
    {
        return Tracker(_camera, builtinPatterns(), i_options);
    }

    static TrackerOptions pluginOptions(double i_min_confidence)
    {
        TrackerOptions options = TrackerOptions::pluginCompatible();
        options.min_confidence = i_min_confidence;
        return options;
    }

    // The detection matches marker i_index of the last render: its pattern,
    // corners, pose and reprojection error.
    void expectDetectionOf(const Detection& i_detection, int32_t i_pattern, std::size_t i_index,
                           const TTolerance& i_tolerance = PRECISE) const
    {
        const Markeye::TMarkerTruth& truth = _frame.truth().at(i_index);
        SCOPED_TRACE(::testing::Message() << "marker " << i_index << " of the scene");
        EXPECT_EQ(i_detection.pattern, i_pattern);
        EXPECT_LT(worstCornerError(i_detection, truth), i_tolerance.corner_px);
        EXPECT_LT(rotationErrorDeg(i_detection, truth.pose), i_tolerance.rotation_deg);
        EXPECT_LT(translationErrorFraction(i_detection, truth.pose), i_tolerance.translation);
        EXPECT_LT(i_detection.reprojection_error, REPROJECTION_TOLERANCE_PX);
        EXPECT_GE(i_detection.direction, 0);
        EXPECT_LE(i_detection.direction, 3);
    }

    static std::vector<int> patternsOf(const std::vector<Detection>& i_detections)
    {
        std::vector<int> patterns;
        for (const Detection& detection : i_detections) {
            patterns.push_back(detection.pattern);
        }
        return patterns;
    }

    Camera _camera;
    RenderedFrame _frame;
};

struct TPoseCase
{
    const char* name;
    int32_t marker;
    double roll_deg;
    double tilt_x_deg;
    double tilt_y_deg;
    double x;
    double y;
    double z;
};

void PrintTo(const TPoseCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

class TrackerPoseTest : public TrackerSceneTest, public ::testing::WithParamInterface<TPoseCase>
{
};

}  // namespace

TEST_P(TrackerPoseTest, FindsTheMarkerAtItsPose)
{
    const TPoseCase& pose = GetParam();
    _frame.render({placedMarker(pose.marker, MarkerPose::make(pose.roll_deg, pose.tilt_x_deg, pose.tilt_y_deg, pose.x,
                                                              pose.y, pose.z))});
    ASSERT_TRUE(_frame.truth()[0].in_frame);
    Tracker tracker = makeTracker();
    const std::vector<Detection>& found = tracker.track(_frame.view());
    ASSERT_EQ(found.size(), 1u);
    expectDetectionOf(found[0], pose.marker, 0);
    EXPECT_GE(found[0].confidence, SEEN_CONFIDENCE);
    EXPECT_LE(found[0].confidence, 1.0);
    EXPECT_EQ(found[0].confidence, tracker.bestConfidences()[static_cast<std::size_t>(pose.marker)]);
}

INSTANTIATE_TEST_SUITE_P(Poses, TrackerPoseTest,
                         ::testing::Values(TPoseCase{"FlagFacing", 0, 5, 0, 0, 0, 0, 400},
                                           TPoseCase{"ArrowRolled", 1, 35, 0, 0, 40, -30, 500},
                                           TPoseCase{"HookQuarterTurn", 2, 95, 20, 0, -60, 20, 550},
                                           TPoseCase{"DotsHalfTurn", 3, 183, 0, -30, 30, 40, 600},
                                           TPoseCase{"StepsThreeQuarters", 4, 268, 25, 15, -20, -10, 450},
                                           TPoseCase{"KeyTiltedAway", 5, -20, 40, 0, 0, 0, 650},
                                           TPoseCase{"TeeTiltedAside", 6, 140, 0, 40, 50, 30, 500},
                                           TPoseCase{"MoonFar", 7, 60, 15, -15, -40, 20, 740},
                                           TPoseCase{"FlagNear", 0, -75, -30, 20, 10, 15, 250}),
                         [](const ::testing::TestParamInfo<TPoseCase>& i_info) {
                             return std::string(i_info.param.name);
                         });

namespace {

class TrackerMarkerTest : public TrackerSceneTest, public ::testing::WithParamInterface<int32_t>
{
};

}  // namespace

// Turning a marker facing the camera by quarter turns about its centre
// leaves the square on the screen as it was, so the square's corner 0 stays
// where it was while the marker's vertices move on by one each turn.
TEST_P(TrackerMarkerTest, DirectionCountsQuarterTurns)
{
    const int32_t marker = GetParam();
    Tracker tracker = makeTracker();
    int first = -1;
    for (int turns = 0; turns < 4; turns++) {
        SCOPED_TRACE(::testing::Message() << turns << " quarter turns");
        _frame.render({placedMarker(marker, MarkerPose::make(8.0 + 90.0 * turns, 0, 0, 12, -7, 520))});
        const std::vector<Detection>& found = tracker.track(_frame.view());
        ASSERT_EQ(found.size(), 1u);
        expectDetectionOf(found[0], marker, 0);
        if (turns == 0) {
            first = found[0].direction;
        }
        EXPECT_EQ(found[0].direction, (first + turns) % 4);
    }
}

// In the default mode a square stands for one pattern at most: even with
// every confidence let through, one marker is one detection, of its own
// pattern, whose confidence is the best of all patterns.
TEST_P(TrackerMarkerTest, OneMarkerIsOneDetectionEvenAtZeroConfidence)
{
    const int32_t marker = GetParam();
    TrackerOptions options;
    options.min_confidence = 0.0;
    Tracker tracker = makeTracker(options);
    _frame.render({placedMarker(marker, MarkerPose::make(-25.0 + 40.0 * marker, 10, -15, -30, 25, 560))});
    const std::vector<Detection>& found = tracker.track(_frame.view());
    ASSERT_EQ(found.size(), 1u);
    expectDetectionOf(found[0], marker, 0);
    const std::vector<double>& best = tracker.bestConfidences();
    ASSERT_EQ(best.size(), builtinPatterns().size());
    for (std::size_t p = 0; p < best.size(); p++) {
        EXPECT_TRUE(best[p] >= 0.0 && best[p] <= 1.0) << "pattern " << p << ": " << best[p];
        if (static_cast<int32_t>(p) != marker) {
            EXPECT_LT(best[p], found[0].confidence) << "pattern " << p;
        }
    }
}

// The plug-in's way lets one square stand for every pattern: at confidence
// 0 each pattern reports the one marker, in pattern order.
TEST_P(TrackerMarkerTest, PluginModeReportsTheOneSquareForEveryPattern)
{
    const int32_t marker = GetParam();
    Tracker tracker = makeTracker(pluginOptions(0.0));
    // Turned so that no edge runs along a pixel row or column.
    _frame.render({placedMarker(marker, MarkerPose::make(7.0 + 15.0 * marker, -10, 20, 20, -15, 540))});
    const std::vector<Detection>& found = tracker.track(_frame.view());
    ASSERT_EQ(found.size(), builtinPatterns().size());
    for (std::size_t p = 0; p < found.size(); p++) {
        SCOPED_TRACE(::testing::Message() << "pattern " << p);
        EXPECT_EQ(found[p].pattern, static_cast<int>(p));
        EXPECT_EQ(found[p].confidence, tracker.bestConfidences()[p]);
        // Every corner of every entry is a corner of the one square.
        for (const auto& corner : found[p].corners) {
            double nearest = std::numeric_limits<double>::infinity();
            for (const VoTrack::TVoARDoublePoint_t& drawn : _frame.truth()[0].observed_corners) {
                nearest = std::min(nearest, std::hypot(corner[0] - drawn.x, corner[1] - drawn.y));
            }
            EXPECT_LT(nearest, PLUGIN.corner_px);
        }
    }
    expectDetectionOf(found[static_cast<std::size_t>(marker)], marker, 0, PLUGIN);
}

INSTANTIATE_TEST_SUITE_P(Markers, TrackerMarkerTest, ::testing::Range(0, 8));

TEST_F(TrackerSceneTest, MarkersOfSeveralPatternsComeInPatternOrder)
{
    _frame.render(threePatternScene());
    Tracker tracker = makeTracker();
    const std::vector<Detection>& found = tracker.track(_frame.view());
    ASSERT_EQ(patternsOf(found), (std::vector<int>{0, 4, 6}));
    for (std::size_t k = 0; k < found.size(); k++) {
        SCOPED_TRACE(::testing::Message() << "marker " << k);
        expectDetectionOf(found[k], found[k].pattern, k);
    }
}

TEST_F(TrackerSceneTest, CopiesOfAPatternAreReportedApartLargerFirst)
{
    // Scene: marker 5 near, marker 2, marker 5 far.
    _frame.render(twoCopiesScene());
    Tracker tracker = makeTracker();
    const std::vector<Detection>& found = tracker.track(_frame.view());
    ASSERT_EQ(patternsOf(found), (std::vector<int>{2, 5, 5}));
    expectDetectionOf(found[0], 2, 1);
    expectDetectionOf(found[1], 5, 0);
    expectDetectionOf(found[2], 5, 2);
}

TEST_F(TrackerSceneTest, PluginModeReportsAPatternOnceAtMost)
{
    _frame.render(twoCopiesScene());
    Tracker tracker = makeTracker(pluginOptions(0.55));
    const std::vector<Detection>& found = tracker.track(_frame.view());
    ASSERT_EQ(patternsOf(found), (std::vector<int>{2, 5}));
    expectDetectionOf(found[0], 2, 1, PLUGIN);
    const std::size_t copy = worstCornerError(found[1], _frame.truth()[0]) < PLUGIN.corner_px ? 0 : 2;
    expectDetectionOf(found[1], 5, copy, PLUGIN);
}

TEST_F(TrackerSceneTest, BestConfidencesAreThoseOfThePluginsWay)
{
    _frame.render(twoCopiesScene());
    // The same dark mask (the fixed threshold) and the same samples (through
    // the outline's corner pixels) in both.
    TrackerOptions options;
    options.min_confidence = 1.0;
    options.binarisation = markeye::Binarisation::FIXED;
    options.subpixel_edges = false;
    Tracker unique = makeTracker(options);
    Tracker plugin = makeTracker(pluginOptions(1.0));
    EXPECT_TRUE(unique.track(_frame.view()).empty());
    EXPECT_TRUE(plugin.track(_frame.view()).empty());
    EXPECT_EQ(unique.bestConfidences(), plugin.bestConfidences());
    EXPECT_EQ(unique.bestConfidences().size(), builtinPatterns().size());
}

// Read through the refined corners, a marker's picture matches its own
// pattern more closely than through the outline's corner pixels, half a
// pixel inside the border.
TEST_F(TrackerSceneTest, RefinedCornersMatchTheShownPatternsMoreClosely)
{
    _frame.render(twoCopiesScene());
    TrackerOptions coarse_options;
    coarse_options.subpixel_edges = false;
    Tracker refined = makeTracker();
    Tracker coarse = makeTracker(coarse_options);
    refined.track(_frame.view());
    coarse.track(_frame.view());
    for (const std::size_t shown : {2u, 5u}) {
        SCOPED_TRACE(::testing::Message() << "pattern " << shown);
        EXPECT_GT(refined.bestConfidences()[shown], coarse.bestConfidences()[shown]);
    }
}

TEST_F(TrackerSceneTest, EmptyFrameHasNoConfidenceForAnyPattern)
{
    std::vector<uint8_t> white(4 * FRAME_WIDTH * FRAME_HEIGHT, 255);
    const markeye::ImageView blank{white.data(), FRAME_WIDTH, FRAME_HEIGHT, 4 * FRAME_WIDTH,
                                   markeye::PixelFormat::BGRX};
    for (const TrackerOptions& options : {TrackerOptions(), pluginOptions(0.0)}) {
        Tracker tracker = makeTracker(options);
        _frame.render(threePatternScene());
        EXPECT_FALSE(tracker.track(_frame.view()).empty());
        EXPECT_TRUE(tracker.track(blank).empty());
        ASSERT_EQ(tracker.bestConfidences().size(), builtinPatterns().size());
        for (double confidence : tracker.bestConfidences()) {
            EXPECT_TRUE(std::isnan(confidence)) << confidence;
        }
    }
}

namespace {

class TrackerLayoutTest : public TrackerSceneTest, public ::testing::WithParamInterface<TLayout>
{
};

}  // namespace

// Colours vary from pixel to pixel (coloured clutter, noise in every
// channel) and two patterns are coloured, so a channel read from the wrong
// byte changes what is found.
TEST_P(TrackerLayoutTest, EveryLayoutOfAFrameGivesTheSameDetections)
{
    _frame.render(busyScene(), busyOptions());
    const PictureCopy copy(_frame.view(), GetParam());
    for (const TrackerOptions& tracker_options : {TrackerOptions(), pluginOptions(0.0)}) {
        SCOPED_TRACE(tracker_options.plugin_compatible ? "plug-in mode" : "default mode");
        Tracker reference(_camera, patternsWithColour(), tracker_options);
        Tracker tracker(_camera, patternsWithColour(), tracker_options);
        const std::vector<Detection> expected = reference.track(_frame.view());
        ASSERT_GE(expected.size(), 6u);
        expectSameDetections(expected, tracker.track(copy.view()));
        EXPECT_EQ(tracker.bestConfidences(), reference.bestConfidences());
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, TrackerLayoutTest, ::testing::ValuesIn(colourLayouts()),
                         [](const ::testing::TestParamInfo<TLayout>& i_info) {
                             return std::string(i_info.param.name);
                         });

TEST_F(TrackerSceneTest, GreyFrameGivesTheSameDetectionsAsItsColourFrame)
{
    TSceneOptions options;
    options.background_gradient_x = 60.0;
    options.illumination_gradient_y = 0.3;
    _frame.render(threePatternScene(), options);
    ASSERT_TRUE(isGrey(_frame.view()));
    const PictureCopy grey(_frame.view(), GRAY_LAYOUT);
    for (const TrackerOptions& tracker_options : {TrackerOptions(), pluginOptions(0.0)}) {
        Tracker reference = makeTracker(tracker_options);
        Tracker tracker = makeTracker(tracker_options);
        const std::vector<Detection> expected = reference.track(_frame.view());
        ASSERT_GE(expected.size(), 3u);
        expectSameDetections(expected, tracker.track(grey.view()));
    }
}

namespace {

struct TSize
{
    int32_t width;
    int32_t height;
};

class TrackerRescaleTest : public TrackerSceneTest, public ::testing::WithParamInterface<TSize>
{
};

// Two markers near enough to be 60 pixels across at 320 x 240.
std::vector<TSceneMarker> nearScene()
{
    return {placedMarker(1, MarkerPose::make(20, 15, 0, -60, 0, 420)),
            placedMarker(3, MarkerPose::make(-15, 0, 20, 70, 10, 450))};
}

}  // namespace

// A frame of another size with the camera's proportions is tracked through
// the rescaled camera: the same scene gives the same poses, and the frame
// size can change back.
TEST_P(TrackerRescaleTest, FrameOfTheSameProportionsIsTrackedThroughTheRescaledCamera)
{
    const TSize size = GetParam();
    const double k = size.width / static_cast<double>(FRAME_WIDTH);
    RenderedFrame frame(_camera.rescaled(size.width, size.height));
    frame.render(nearScene());
    for (const TrackerOptions& options : {TrackerOptions(), pluginOptions(0.55)}) {
        SCOPED_TRACE(options.plugin_compatible ? "plug-in mode" : "default mode");
        const TTolerance& tolerance = options.plugin_compatible ? PLUGIN : PRECISE;
        Tracker tracker = makeTracker(options);
        const std::vector<Detection> found = tracker.track(frame.view());
        EXPECT_EQ(tracker.camera().width(), size.width);
        EXPECT_EQ(tracker.camera().height(), size.height);
        EXPECT_NEAR(tracker.camera().fx(), k * _camera.fx(), 1e-9);
        ASSERT_EQ(patternsOf(found), (std::vector<int>{1, 3}));
        for (std::size_t m = 0; m < found.size(); m++) {
            SCOPED_TRACE(::testing::Message() << "marker " << m);
            const Markeye::TMarkerTruth& truth = frame.truth()[m];
            // Corners and reprojection in pixels of this frame: the
            // tolerance grows with the frame, the pose's does not.
            EXPECT_LT(worstCornerError(found[m], truth), tolerance.corner_px * std::max(1.0, k));
            EXPECT_LT(rotationErrorDeg(found[m], truth.pose), tolerance.rotation_deg / std::min(1.0, k));
            EXPECT_LT(translationErrorFraction(found[m], truth.pose), tolerance.translation / std::min(1.0, k));
        }
        _frame.render(threePatternScene());
        EXPECT_EQ(patternsOf(tracker.track(_frame.view())), (std::vector<int>{0, 4, 6}));
        EXPECT_EQ(tracker.camera().width(), FRAME_WIDTH);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, TrackerRescaleTest,
                         ::testing::Values(TSize{320, 240}, TSize{960, 720}, TSize{1280, 960}),
                         [](const ::testing::TestParamInfo<TSize>& i_info) {
                             return std::to_string(i_info.param.width) + "x" + std::to_string(i_info.param.height);
                         });

// What a frame gives does not depend on the frames before it, of its size
// or of others: more sizes than the tracker keeps set up, then the first
// frame again, give what a new tracker gives for it.
TEST_F(TrackerSceneTest, DetectionsDoNotDependOnTheFramesBefore)
{
    _frame.render(busyScene(), busyOptions());
    std::vector<std::unique_ptr<RenderedFrame>> others;
    for (const TSize size : {TSize{320, 240}, TSize{960, 720}, TSize{1280, 960}, TSize{480, 360}, TSize{800, 600}}) {
        others.push_back(std::make_unique<RenderedFrame>(_camera.rescaled(size.width, size.height)));
        others.back()->render(nearScene());
    }
    for (const TrackerOptions& options : {TrackerOptions(), pluginOptions(0.0)}) {
        SCOPED_TRACE(options.plugin_compatible ? "plug-in mode" : "default mode");
        const std::vector<Detection> expected = makeTracker(options).track(_frame.view());
        ASSERT_GE(expected.size(), 4u);
        Tracker tracker = makeTracker(options);
        _frame.render(twoCopiesScene());
        tracker.track(_frame.view());
        for (const auto& other : others) {
            EXPECT_EQ(tracker.track(other->view()).size(), options.plugin_compatible ? 8u : 2u);
        }
        _frame.render(busyScene(), busyOptions());
        expectSameDetections(expected, tracker.track(_frame.view()));
        EXPECT_EQ(tracker.camera().width(), FRAME_WIDTH);
    }
}

TEST_F(TrackerSceneTest, FrameOfOtherProportionsIsRefusedNamingTheSizes)
{
    Tracker tracker = makeTracker();
    std::vector<uint8_t> wide(4 * 640 * 360, 255);
    const markeye::ImageView view{wide.data(), 640, 360, 4 * 640, markeye::PixelFormat::BGRA};
    const std::string message = errorOf([&] { tracker.track(view); });
    EXPECT_TRUE(holds(message, "640 x 360")) << message;
    EXPECT_TRUE(holds(message, "640 x 480")) << message;
    EXPECT_THROW(tracker.prepare(480, 640), markeye::Error);
    // Nothing was changed by the refusals.
    _frame.render(threePatternScene());
    EXPECT_EQ(patternsOf(tracker.track(_frame.view())), (std::vector<int>{0, 4, 6}));
}

// A frame whose outlines could not be addressed in 32 bits is refused as
// any frame the tracker cannot take, before anything frame-sized is built,
// and the tracker still tracks the frames it could.
TEST_F(TrackerSceneTest, FrameTooLargeIsRefusedAndTheTrackerGoesOn)
{
    const int32_t width = int32_t{1} << 29;
    const int32_t height = 3 * (int32_t{1} << 27);
    for (const TrackerOptions& options : {TrackerOptions(), pluginOptions(0.55)}) {
        SCOPED_TRACE(options.plugin_compatible ? "plug-in mode" : "default mode");
        Tracker tracker = makeTracker(options);
        EXPECT_FALSE(errorOf([&] { tracker.prepare(width, height); }).empty());
        _frame.render(threePatternScene());
        EXPECT_EQ(patternsOf(tracker.track(_frame.view())), (std::vector<int>{0, 4, 6}));
    }
    // A camera of that size is refused before any tracker is built for it.
    EXPECT_FALSE(errorOf([&] { Tracker tracker(Camera::builtin(width, height), builtinPatterns()); }).empty());
}

// Dark dots at every other pixel of every other row, over the frame's
// light pixels: 76 800 regions, more than the labeling holds. The default
// way opens the dark mask (which removes lone dots and keeps borders) and
// finds the markers; the plug-in's way refuses the frame as the plug-in
// does, and both go on with the next frame.
TEST_F(TrackerSceneTest, FrameOfMoreRegionsThanCanBeLabelled)
{
    _frame.render(threePatternScene());
    const markeye::ImageView rendered = _frame.view();
    std::vector<uint8_t> dotted(rendered.data, rendered.data + 4 * FRAME_WIDTH * FRAME_HEIGHT);
    for (int32_t y = 0; y < FRAME_HEIGHT; y += 2) {
        for (int32_t x = 0; x < FRAME_WIDTH; x += 2) {
            uint8_t* pixel = &dotted[4 * (static_cast<std::size_t>(y) * FRAME_WIDTH + x)];
            if (pixel[1] > 128) {
                std::fill_n(pixel, 3, uint8_t{0});
            }
        }
    }
    const markeye::ImageView crowded{dotted.data(), FRAME_WIDTH, FRAME_HEIGHT, 4 * FRAME_WIDTH,
                                     markeye::PixelFormat::BGRA};
    Tracker unique = makeTracker();
    const std::vector<Detection> found = unique.track(crowded);
    ASSERT_EQ(patternsOf(found), (std::vector<int>{0, 4, 6}));
    // The dots over the ground beside each edge pull its located step.
    for (std::size_t k = 0; k < found.size(); k++) {
        SCOPED_TRACE(::testing::Message() << "marker " << k);
        EXPECT_LT(worstCornerError(found[k], _frame.truth()[k]), PLUGIN.corner_px);
    }
    Tracker plugin = makeTracker(pluginOptions(0.55));
    const std::string message = errorOf([&] { plugin.track(crowded); });
    EXPECT_TRUE(holds(message, "regions")) << message;
    for (Tracker* tracker : {&unique, &plugin}) {
        EXPECT_EQ(patternsOf(tracker->track(_frame.view())), (std::vector<int>{0, 4, 6}));
    }
}

// The default way keeps many more squares than the plug-in's hundred: a
// frame of 140 markers, each 60 pixels across, gives every one of them.
TEST(TrackerCrowdTest, EveryMarkerOfACrowdedFrameIsReported)
{
    const Camera camera = Camera::builtin(1280, 960);
    RenderedFrame frame(camera);
    const std::vector<TSceneMarker> markers = markerGrid();
    frame.render(markers);
    Tracker tracker(camera, builtinPatterns());
    const std::vector<Detection>& found = tracker.track(frame.view());
    ASSERT_EQ(found.size(), markers.size());
    std::vector<bool> seen(markers.size(), false);
    for (const Detection& detection : found) {
        // The drawn marker with vertex 0 nearest to the detection's.
        std::size_t nearest = 0;
        for (std::size_t m = 0; m < markers.size(); m++) {
            if (worstCornerError(detection, frame.truth()[m]) < worstCornerError(detection, frame.truth()[nearest])) {
                nearest = m;
            }
        }
        SCOPED_TRACE(::testing::Message() << "marker " << nearest);
        EXPECT_FALSE(seen[nearest]);
        seen[nearest] = true;
        EXPECT_EQ(detection.pattern, static_cast<int>(nearest % 8));
        EXPECT_LT(worstCornerError(detection, frame.truth()[nearest]), PRECISE.corner_px);
    }
}

namespace {

struct TBadView
{
    const char* name;
    void (*spoil)(markeye::ImageView*);
};

void PrintTo(const TBadView& i_bad, std::ostream* o_stream)
{
    *o_stream << i_bad.name;
}

class TrackerBadViewTest : public TrackerSceneTest, public ::testing::WithParamInterface<TBadView>
{
};

}  // namespace

TEST_P(TrackerBadViewTest, IsRefusedAsAnError)
{
    std::vector<uint8_t> pixels(4 * FRAME_WIDTH * FRAME_HEIGHT, 255);
    markeye::ImageView view{pixels.data(), FRAME_WIDTH, FRAME_HEIGHT, 4 * FRAME_WIDTH, markeye::PixelFormat::BGRA};
    GetParam().spoil(&view);
    Tracker tracker = makeTracker();
    const std::string message = errorOf([&] { tracker.track(view); });
    EXPECT_TRUE(holds(message, "frame")) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Views, TrackerBadViewTest,
    ::testing::Values(TBadView{"NoData", [](markeye::ImageView* io_view) { io_view->data = nullptr; }},
                      TBadView{"ZeroWidth", [](markeye::ImageView* io_view) { io_view->width = 0; }},
                      TBadView{"NegativeHeight", [](markeye::ImageView* io_view) { io_view->height = -480; }},
                      TBadView{"ShortStride", [](markeye::ImageView* io_view) { io_view->stride = 4 * 640 - 1; }},
                      TBadView{"ShortNegativeStride", [](markeye::ImageView* io_view) { io_view->stride = -(4 * 640 - 4); }},
                      TBadView{"ZeroStride", [](markeye::ImageView* io_view) { io_view->stride = 0; }},
                      TBadView{"ShortStrideOfRgb",
                               [](markeye::ImageView* io_view) {
                                   io_view->format = markeye::PixelFormat::RGB;
                                   io_view->stride = 3 * 640 - 2;
                               }},
                      TBadView{"UnknownFormat",
                               [](markeye::ImageView* io_view) { io_view->format = static_cast<markeye::PixelFormat>(99); }}),
    [](const ::testing::TestParamInfo<TBadView>& i_info) { return std::string(i_info.param.name); });

namespace {

struct TBadOptions
{
    const char* name;
    void (*spoil)(TrackerOptions*);
    const char* option;
};

void PrintTo(const TBadOptions& i_bad, std::ostream* o_stream)
{
    *o_stream << i_bad.name;
}

class TrackerOptionsTest : public TrackerSceneTest, public ::testing::WithParamInterface<TBadOptions>
{
};

}  // namespace

TEST_P(TrackerOptionsTest, OutOfRangeIsRefusedNamingTheOption)
{
    for (TrackerOptions options : {TrackerOptions(), TrackerOptions::pluginCompatible()}) {
        GetParam().spoil(&options);
        const std::string message = errorOf([&] { makeTracker(options); });
        EXPECT_TRUE(holds(message, GetParam().option)) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, TrackerOptionsTest,
    ::testing::Values(
        TBadOptions{"ZeroWidth", [](TrackerOptions* io_options) { io_options->marker_width = 0.0; }, "marker_width"},
        TBadOptions{"NegativeWidth", [](TrackerOptions* io_options) { io_options->marker_width = -80.0; }, "marker_width"},
        TBadOptions{"NotANumberWidth", [](TrackerOptions* io_options) { io_options->marker_width = std::nan(""); }, "marker_width"},
        TBadOptions{"InfiniteWidth",
                    [](TrackerOptions* io_options) { io_options->marker_width = std::numeric_limits<double>::infinity(); },
                    "marker_width"},
        TBadOptions{"ConfidenceBelowZero", [](TrackerOptions* io_options) { io_options->min_confidence = -0.01; }, "min_confidence"},
        TBadOptions{"ConfidenceAboveOne", [](TrackerOptions* io_options) { io_options->min_confidence = 1.01; }, "min_confidence"},
        TBadOptions{"NotANumberConfidence", [](TrackerOptions* io_options) { io_options->min_confidence = std::nan(""); },
                    "min_confidence"},
        TBadOptions{"ThresholdBelowZero", [](TrackerOptions* io_options) { io_options->threshold = -1; }, "threshold"},
        TBadOptions{"ThresholdAbove255", [](TrackerOptions* io_options) { io_options->threshold = 256; }, "threshold"}),
    [](const ::testing::TestParamInfo<TBadOptions>& i_info) { return std::string(i_info.param.name); });

TEST_F(TrackerSceneTest, OptionsAtTheirLimitsAreTaken)
{
    TrackerOptions options;
    options.min_confidence = 0.0;
    options.threshold = 0;
    options.marker_width = 1e-3;
    EXPECT_NO_THROW(makeTracker(options));
    options.min_confidence = 1.0;
    options.threshold = 255;
    EXPECT_NO_THROW(makeTracker(options));
    const TrackerOptions plugin = TrackerOptions::pluginCompatible();
    EXPECT_EQ(plugin.marker_width, 80.0);
    EXPECT_EQ(plugin.threshold, 100);
    EXPECT_EQ(plugin.min_confidence, 0.0);
    EXPECT_TRUE(plugin.plugin_compatible);
}

TEST_F(TrackerSceneTest, NoPatternIsRefused)
{
    const std::string message = errorOf([&] { Tracker tracker(_camera, {}); });
    EXPECT_TRUE(holds(message, "pattern")) << message;
}

// The pose scales with the marker's width: translation by the ratio of the
// widths, rotation and everything measured in the frame not at all.
TEST_F(TrackerSceneTest, MarkerWidthScalesTheTranslation)
{
    // Relative: the pose is fitted iteratively, in the width's unit.
    constexpr double SCALE_TOLERANCE = 1e-9;
    _frame.render(threePatternScene());
    for (const bool plugin : {false, true}) {
        SCOPED_TRACE(plugin ? "plug-in mode" : "default mode");
        TrackerOptions options = plugin ? pluginOptions(0.55) : TrackerOptions();
        Tracker standard = makeTracker(options);
        options.marker_width = 200.0;
        Tracker wide = makeTracker(options);
        const std::vector<Detection> expected = standard.track(_frame.view());
        const std::vector<Detection>& found = wide.track(_frame.view());
        ASSERT_EQ(found.size(), 3u);
        ASSERT_EQ(expected.size(), 3u);
        for (std::size_t k = 0; k < found.size(); k++) {
            SCOPED_TRACE(::testing::Message() << "detection " << k);
            EXPECT_EQ(found[k].pattern, expected[k].pattern);
            EXPECT_EQ(found[k].confidence, expected[k].confidence);
            EXPECT_EQ(found[k].direction, expected[k].direction);
            EXPECT_EQ(found[k].corners, expected[k].corners);
            for (int r = 0; r < 3; r++) {
                EXPECT_NEAR(found[k].translation[r], 2.5 * expected[k].translation[r],
                            SCALE_TOLERANCE * 2.5 * std::fabs(expected[k].translation[2]));
                for (int c = 0; c < 3; c++) {
                    EXPECT_NEAR(found[k].rotation[r][c], expected[k].rotation[r][c], SCALE_TOLERANCE);
                }
            }
            EXPECT_NEAR(found[k].reprojection_error, expected[k].reprojection_error, SCALE_TOLERANCE);
        }
    }
}

TEST_F(TrackerSceneTest, MovedTrackerTracksAsBefore)
{
    _frame.render(twoCopiesScene());
    Tracker original = makeTracker();
    const std::vector<Detection> expected = original.track(_frame.view());
    ASSERT_EQ(expected.size(), 3u);

    Tracker moved(std::move(original));
    expectSameDetections(expected, moved.track(_frame.view()));
    EXPECT_EQ(moved.patterns().size(), builtinPatterns().size());

    Tracker assigned(Camera::builtin(320, 240), {builtinPatterns()[0]}, pluginOptions(0.3));
    assigned = std::move(moved);
    expectSameDetections(expected, assigned.track(_frame.view()));
    EXPECT_FALSE(assigned.options().plugin_compatible);
    EXPECT_EQ(assigned.camera().width(), FRAME_WIDTH);
    EXPECT_EQ(assigned.patterns()[5].name(), "key");
}

// A camera with lens distortion: corners are reported where the frame
// shows them, and the pose, solved from the corners in ideal pixels, is as
// good near the frame's corner (where this lens moves points by 8 pixels)
// as at the centre.
TEST(TrackerLensTest, DistortedCameraFindsTheDrawnMarkers)
{
    const Camera camera = cameraOf(calibratedCameraRecord());
    RenderedFrame frame(camera);
    std::vector<TSceneMarker> markers = threePatternScene();
    // One more near the frame's corner, where the lens moves it most.
    markers.push_back(placedMarker(7, MarkerPose::make(-20, 10, 10, -200, -140, 650)));
    frame.render(markers);
    ASSERT_TRUE(frame.truth()[3].in_frame);
    Tracker tracker(camera, builtinPatterns());
    const std::vector<Detection>& found = tracker.track(frame.view());
    ASSERT_EQ(found.size(), 4u);
    const int patterns[] = {0, 4, 6, 7};
    for (std::size_t k = 0; k < found.size(); k++) {
        SCOPED_TRACE(::testing::Message() << "marker " << k);
        const Markeye::TMarkerTruth& truth = frame.truth()[k];
        EXPECT_EQ(found[k].pattern, patterns[k]);
        EXPECT_LT(worstCornerError(found[k], truth), PRECISE.corner_px);
        EXPECT_LT(rotationErrorDeg(found[k], truth.pose), PRECISE.rotation_deg);
        EXPECT_LT(translationErrorFraction(found[k], truth.pose), PRECISE.translation);
        EXPECT_LT(found[k].reprojection_error, REPROJECTION_TOLERANCE_PX);
    }
}
