// The planar pose solver allocates nothing per square once built. This
// program replaces the global allocation functions with counting ones, so
// it is a test program of its own.

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

#include "CountingAllocator.h"
#include "../../support/SyntheticSquare.h"
#include "VoARPerspectiveProjectionMatrix.h"
#include "VoARPlanarPose.h"
#include "VoARTransMatResult.h"

using TestSupport::allocationsOf;

namespace {

using namespace VoTrackTest;

struct Corners
{
    double xy[4][2];
};

Corners cornersOf(const Vertices& i_vertices)
{
    Corners corners;
    for (int i = 0; i < 4; i++) {
        corners.xy[i][0] = i_vertices[i].x;
        corners.xy[i][1] = i_vertices[i].y;
    }
    return corners;
}

class PlanarPoseAllocationTest : public ::testing::Test
{
protected:
    PlanarPoseAllocationTest() : _solver(projection())
    {
        // Every path through solve: tilted and facing markers with and
        // without noise (both minima, or the mirror coming back), a marker
        // behind the camera, and refused corners.
        std::mt19937 rng(91);
        for (int i = 0; i < 40; i++) {
            Pose pose = randomFacingPose(rng);
            if (i % 4 == 1) {
                pose.r = facingRotation(0.1 * i, 0.0, 0.0);
            }
            if (i % 8 == 3) {
                for (double& t : pose.t) {
                    t = -t;
                }
            }
            _squares.push_back(cornersOf(projectMarker(pose, MARKER_WIDTH, i % 2 == 0 ? 0.0 : 0.3, rng)));
        }
        _squares.push_back({{{100, 100}, {200, 100}, {300, 100}, {150, 200}}});
        _squares.push_back({{{100, 100}, {200, 100}, {std::numeric_limits<double>::quiet_NaN(), 200}, {100, 200}}});
    }

    static const VoTrack::VoARPerspectiveProjectionMatrix* projection()
    {
        static const VoTrack::VoARPerspectiveProjectionMatrix matrix = [] {
            VoTrack::VoARPerspectiveProjectionMatrix p;
            p.setValue(CAMERA_P);
            return p;
        }();
        return &matrix;
    }

    int solveAll()
    {
        int solved = 0;
        for (const Corners& square : _squares) {
            solved += _solver.solve(square.xy, MARKER_WIDTH, &_pose, &_error, &_ambiguity) ? 1 : 0;
        }
        return solved;
    }

    VoTrack::VoARPlanarPose _solver;
    std::vector<Corners> _squares;
    VoTrack::VoARTransMatResult _pose;
    double _error = 0.0;
    double _ambiguity = 0.0;
};

}  // namespace

TEST_F(PlanarPoseAllocationTest, CountingSeesAnAllocation)
{
    EXPECT_EQ(TestSupport::allocationsOfOneBlock(), 1);
}

// No warm-up call: the very first solve must not allocate either.
TEST_F(PlanarPoseAllocationTest, SolveAllocatesNothing)
{
    int solved = 0;
    EXPECT_EQ(allocationsOf([&] { solved = solveAll(); }), 0);
    // The squares that should solve did, while counting.
    EXPECT_EQ(solved, 40);
}
