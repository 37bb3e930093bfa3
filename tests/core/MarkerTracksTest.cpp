// The side a track keeps of the planar ambiguity: the evidence rule on
// sequences of reprojection errors, and the averaged lean.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "VoARMarkerTracks.h"

using VoTrack::VoARMarkerTracks;

namespace {

class MarkerTracksSideTest : public ::testing::Test
{
protected:
    MarkerTracksSideTest() : _tracks(1, 10, {1.0, 50.0, 100.0, 800.0, 1.0}, 80.0)
    {
        const double centre[2] = {100.0, 100.0};
        _tracks.beginFrame();
        _track = _tracks.match(0, centre, 40.0);
    }

    // Feeds i_frames frames of the given squared errors (pixels squared);
    // the frame (from 1) at which the track would take the other side, 0
    // for none.
    int32_t feed(int32_t i_frames, double i_own, double i_other)
    {
        for (int32_t k = 1; k <= i_frames; k++) {
            if (VoARMarkerTracks::prefersOtherSide(i_own, i_other, _track)) {
                return k;
            }
        }
        return 0;
    }

    VoARMarkerTracks _tracks;
    VoARMarkerTracks::TTrack* _track;
};

}  // namespace

// A steady track (squared errors 0.002 px^2) with one frame whose corner is
// misplaced (the side followed 0.1 px^2 worse) keeps its side; the same
// difference frame after frame moves it within four frames.
TEST_F(MarkerTracksSideTest, OneBadFrameKeepsTheSideARunOfThemMovesIt)
{
    ASSERT_NE(_track, nullptr);
    EXPECT_EQ(feed(20, 0.002, 0.004), 0);
    EXPECT_EQ(feed(1, 0.1, 0.002), 0);
    EXPECT_EQ(feed(5, 0.002, 0.004), 0);
    const int32_t moved = feed(10, 0.1, 0.002);
    EXPECT_GE(moved, 2);
    EXPECT_LE(moved, 4);
}

// Two sides that fit alike, each better by chance half the time, with
// squared errors drawn independently (exponential, as a fit with 2 degrees
// of freedom gives; seeded): the harshest case, as real frames err alike on
// both sides. The track moves seldom: 32 times in these 100 000 frames.
TEST_F(MarkerTracksSideTest, SidesFittingAlikeSeldomMoveIt)
{
    ASSERT_NE(_track, nullptr);
    std::mt19937_64 random(42);
    std::exponential_distribution<double> squared_error(1.0 / 0.002);
    const double facing[3] = {0.0, 0.0, 0.0};
    int32_t moves = 0;
    for (int32_t k = 0; k < 100000; k++) {
        if (VoARMarkerTracks::prefersOtherSide(squared_error(random), squared_error(random), _track)) {
            VoARMarkerTracks::restartSide(facing, _track);
            moves++;
        }
    }
    EXPECT_LE(moves, 100);
}

// A frame without another side adds nothing; the first frames of a track
// cannot move it, whatever they say.
TEST_F(MarkerTracksSideTest, FramesWithoutAnOtherSideAndFirstFramesDoNotCount)
{
    ASSERT_NE(_track, nullptr);
    EXPECT_EQ(feed(50, 0.1, INFINITY), 0);
    EXPECT_EQ(feed(2, 1.0, 0.001), 0);
    EXPECT_GT(feed(10, 1.0, 0.001), 0);
}

// The lean follows the refined poses' tilts with LEAN_MEMORY: a tilt of the
// other sign takes some frames to turn it, and restarting the side sets it.
TEST_F(MarkerTracksSideTest, LeanIsAveragedAndRestarted)
{
    ASSERT_NE(_track, nullptr);
    const double along_x[3] = {0.1, 0.0, 0.0};
    const double against_x[3] = {-0.1, 0.0, 0.0};
    VoARMarkerTracks::startSide(along_x, _track);
    VoARMarkerTracks::addLean(against_x, _track);
    EXPECT_GT(_track->lean[0], 0.0);
    for (int32_t k = 0; k < 10; k++) {
        VoARMarkerTracks::addLean(against_x, _track);
    }
    EXPECT_LT(_track->lean[0], 0.0);
    VoARMarkerTracks::restartSide(along_x, _track);
    EXPECT_DOUBLE_EQ(_track->lean[0], 0.1);
    EXPECT_EQ(_track->side_evidence, 0.0);
}
