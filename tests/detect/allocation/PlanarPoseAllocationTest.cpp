// The planar pose solver allocates nothing per square once built. This
// program replaces the global allocation functions with counting ones, so
// it is a test program of its own.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>
#include <random>
#include <vector>

#include "../../support/SyntheticSquare.h"
#include "VoARPerspectiveProjectionMatrix.h"
#include "VoARPlanarPose.h"
#include "VoARTransMatResult.h"

namespace {

// Allocations made while counting is on.
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void count()
{
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
}

void* countedAllocation(std::size_t i_size)
{
    count();
    // malloc(0) may return null; a C++ allocation of 0 bytes may not.
    void* block = std::malloc(i_size == 0 ? 1 : i_size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* countedAlignedAllocation(std::size_t i_size, std::align_val_t i_alignment)
{
    count();
    const std::size_t alignment = static_cast<std::size_t>(i_alignment);
    // aligned_alloc wants a size that is a multiple of the alignment.
    const std::size_t size = (i_size + alignment - 1) / alignment * alignment;
    void* block = std::aligned_alloc(alignment, size == 0 ? alignment : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* countedNothrowAllocation(std::size_t i_size) noexcept
{
    try {
        return countedAllocation(i_size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

// Every replaceable form, so that none escapes the count (a sanitizer
// runtime supplies each form itself rather than forwarding to one).
void* operator new(std::size_t i_size)
{
    return countedAllocation(i_size);
}

void* operator new[](std::size_t i_size)
{
    return countedAllocation(i_size);
}

void* operator new(std::size_t i_size, const std::nothrow_t&) noexcept
{
    return countedNothrowAllocation(i_size);
}

void* operator new[](std::size_t i_size, const std::nothrow_t&) noexcept
{
    return countedNothrowAllocation(i_size);
}

void* operator new(std::size_t i_size, std::align_val_t i_alignment)
{
    return countedAlignedAllocation(i_size, i_alignment);
}

void* operator new[](std::size_t i_size, std::align_val_t i_alignment)
{
    return countedAlignedAllocation(i_size, i_alignment);
}

void operator delete(void* i_block) noexcept
{
    std::free(i_block);
}

void operator delete[](void* i_block) noexcept
{
    std::free(i_block);
}

void operator delete(void* i_block, std::size_t) noexcept
{
    std::free(i_block);
}

void operator delete[](void* i_block, std::size_t) noexcept
{
    std::free(i_block);
}

void operator delete(void* i_block, std::align_val_t) noexcept
{
    std::free(i_block);
}

void operator delete[](void* i_block, std::align_val_t) noexcept
{
    std::free(i_block);
}

void operator delete(void* i_block, std::size_t, std::align_val_t) noexcept
{
    std::free(i_block);
}

void operator delete[](void* i_block, std::size_t, std::align_val_t) noexcept
{
    std::free(i_block);
}

namespace {

using namespace VoTrackTest;

// Allocations made by i_work, with counting on only around it.
template <class TWork>
long allocationsOf(TWork&& i_work)
{
    g_allocations = 0;
    g_counting = true;
    i_work();
    g_counting = false;
    return g_allocations;
}

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
    EXPECT_EQ(allocationsOf([] { delete new int(1); }), 1);
}

// No warm-up call: the very first solve must not allocate either.
TEST_F(PlanarPoseAllocationTest, SolveAllocatesNothing)
{
    int solved = 0;
    EXPECT_EQ(allocationsOf([&] { solved = solveAll(); }), 0);
    // The squares that should solve did, while counting.
    EXPECT_EQ(solved, 40);
}
