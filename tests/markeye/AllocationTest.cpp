// Tracker::track() allocates nothing once the tracker is built for the frame
// size: counted by replacing the global allocation functions, so this is a
// test program of its own.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "BoardScene.h"
#include "CountingAllocator.h"
#include "LibraryTestSupport.h"
#include "MarkerPose.h"
#include "markeye/markeye.h"

using TestSupport::allocationsOf;

namespace {

using namespace LibraryTest;
using Markeye::MarkerPose;
using markeye::Tracker;
using markeye::TrackerOptions;

// A way of tracking: the default or the plug-in's, each with temporal
// tracking or without (whose tracks, filters and continued poses must not
// allocate either).
struct TMode
{
    const char* name;
    bool plugin_compatible;
    bool temporal;
};

void PrintTo(const TMode& i_mode, std::ostream* o_stream)
{
    *o_stream << i_mode.name;
}

TrackerOptions optionsOf(const TMode& i_mode)
{
    TrackerOptions options = i_mode.plugin_compatible ? TrackerOptions::pluginCompatible() : TrackerOptions();
    options.temporal.enabled = i_mode.temporal;
    return options;
}

// Frames of markers (so that poses are computed) in every layout, made
// before anything is counted; and trackers of the eight built-in patterns,
// in one of the ways.
class TrackerAllocationTest : public ::testing::TestWithParam<TMode>
{
protected:
    TrackerAllocationTest() : _camera(markeye::Camera::builtin(FRAME_WIDTH, FRAME_HEIGHT))
    {
        RenderedFrame frame(_camera);
        // Coloured clutter and noise give the frame squares that match
        // poorly, besides four markers that match well.
        frame.render(busyScene(), busyOptions());
        for (const TLayout& layout : colourLayouts()) {
            _copies.push_back(std::make_unique<PictureCopy>(frame.view(), layout));
        }
        _copies.push_back(std::make_unique<PictureCopy>(frame.view(), TLayout{"BGRA", markeye::PixelFormat::BGRA, 0, false}));
        frame.render(threePatternScene());
        _copies.push_back(std::make_unique<PictureCopy>(frame.view(), GRAY_LAYOUT));
    }

    Tracker makeTracker() const
    {
        TrackerOptions options = optionsOf(GetParam());
        options.min_confidence = 0.55;
        return Tracker(_camera, builtinPatterns(), options);
    }

    // Every copy through the tracker; the detections found, so that the
    // poses are known to have been computed.
    std::size_t trackAll(Tracker* io_tracker) const
    {
        std::size_t found = 0;
        for (const std::unique_ptr<PictureCopy>& copy : _copies) {
            found += io_tracker->track(copy->view()).size();
        }
        return found;
    }

    const markeye::Camera _camera;
    std::vector<std::unique_ptr<PictureCopy>> _copies;
};

}  // namespace

TEST(CountingAllocatorTest, SeesAnAllocation)
{
    EXPECT_EQ(TestSupport::allocationsOfOneBlock(), 1);
}

TEST_P(TrackerAllocationTest, TrackingEveryLayoutAgainAllocatesNothing)
{
    Tracker tracker = makeTracker();
    const std::size_t warm_up = trackAll(&tracker);
    std::size_t found = 0;
    EXPECT_EQ(allocationsOf([&] {
                  for (int round = 0; round < 3; round++) {
                      found += trackAll(&tracker);
                  }
              }),
              0);
    EXPECT_EQ(found, 3 * warm_up);
    // Four markers in each colour copy, three in the grey frame.
    EXPECT_GE(warm_up, 4 * (colourLayouts().size() + 1) + 3);
}

// The buffers are built with the tracker, so even its first frames, of any
// layout, allocate nothing.
TEST_P(TrackerAllocationTest, FirstFramesAfterConstructionAllocateNothing)
{
    Tracker tracker = makeTracker();
    std::size_t found = 0;
    EXPECT_EQ(allocationsOf([&] { found = trackAll(&tracker); }), 0);
    EXPECT_GT(found, 0u);
}

// A frame size met ahead with prepare() is tracked without allocating.
TEST_P(TrackerAllocationTest, PreparedFrameSizeAllocatesNothing)
{
    RenderedFrame small(_camera.rescaled(320, 240));
    small.render({placedMarker(1, MarkerPose::make(20, 15, 0, -60, 0, 420)),
                  placedMarker(3, MarkerPose::make(-15, 0, 20, 70, 10, 450))});
    Tracker tracker = makeTracker();
    tracker.prepare(320, 240);
    std::size_t found = 0;
    EXPECT_EQ(allocationsOf([&] {
                  found += tracker.track(small.view()).size();
                  found += tracker.track(small.view()).size();
              }),
              0);
    EXPECT_EQ(found, 4u);
}

// The tracker keeps what it built for the last four frame sizes: a stream
// that switches between four sizes allocates nothing once it has shown
// each.
TEST_P(TrackerAllocationTest, SwitchingBetweenFourSeenSizesAllocatesNothing)
{
    const int32_t widths[] = {320, 640, 960, 1280};
    std::vector<std::unique_ptr<RenderedFrame>> frames;
    for (int32_t width : widths) {
        frames.push_back(std::make_unique<RenderedFrame>(_camera.rescaled(width, width * 3 / 4)));
        frames.back()->render({placedMarker(1, MarkerPose::make(20, 15, 0, -60, 0, 420)),
                               placedMarker(3, MarkerPose::make(-15, 0, 20, 70, 10, 450))});
    }
    Tracker tracker = makeTracker();
    for (const auto& frame : frames) {
        tracker.track(frame->view());
    }
    std::size_t found = 0;
    EXPECT_EQ(allocationsOf([&] {
                  for (int round = 0; round < 2; round++) {
                      for (const auto& frame : frames) {
                          found += tracker.track(frame->view()).size();
                      }
                      found += tracker.track(frames[1]->view()).size();
                  }
              }),
              0);
    EXPECT_EQ(found, 2u * 2u * 5u);
}

// More squares than the plug-in keeps (140 markers): every detection's
// place was made with the tracker.
TEST_P(TrackerAllocationTest, CrowdedFrameAllocatesNothing)
{
    const markeye::Camera camera = markeye::Camera::builtin(1280, 960);
    RenderedFrame frame(camera);
    frame.render(markerGrid());
    Tracker tracker(camera, builtinPatterns(), optionsOf(GetParam()));
    std::size_t found = 0;
    EXPECT_EQ(allocationsOf([&] {
                  found += tracker.track(frame.view()).size();
                  found += tracker.track(frame.view()).size();
              }),
              0);
    EXPECT_EQ(found, GetParam().plugin_compatible ? 2 * builtinPatterns().size() : 2 * markerGrid().size());
}

INSTANTIATE_TEST_SUITE_P(Modes, TrackerAllocationTest,
                         ::testing::Values(TMode{"Default", false, false}, TMode{"PluginCompatible", true, false},
                                           TMode{"DefaultTemporal", false, true},
                                           TMode{"PluginCompatibleTemporal", true, true}),
                         [](const ::testing::TestParamInfo<TMode>& i_info) { return std::string(i_info.param.name); });

// A board's tracker is built with its buffers too: finding the board and
// fitting its pose allocates nothing, from the first frame on.
TEST(BoardTrackerAllocationTest, TrackingABoardAllocatesNothing)
{
    const markeye::Camera camera = markeye::Camera::builtin(FRAME_WIDTH, FRAME_HEIGHT);
    const markeye::Board board = markeye::Board::grid(5, 7, 30.0, 6.0);
    RenderedFrame frame(camera);
    frame.render(boardScene(board, Markeye::MarkerPose::make(20, 25, -10, 10, 0, 520)));
    markeye::BoardTracker tracker(camera, board);
    std::size_t used = 0;
    EXPECT_EQ(allocationsOf([&] {
                  for (int round = 0; round < 3; round++) {
                      used += tracker.track(frame.view()).markers_used.size();
                  }
              }),
              0);
    EXPECT_EQ(used, 3u * board.markers().size());
}
