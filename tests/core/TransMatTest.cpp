#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <ostream>
#include <random>
#include <vector>

#include "../support/SyntheticSquare.h"
#include "VoARException.h"
#include "VoARFitVecCalculator.h"
#include "VoARMarkerOffset.h"
#include "VoARParam.h"
#include "VoARRotMatrix_Kestrel.h"
#include "VoARRotTransOptimize_O2.h"
#include "VoARTransMat.h"

// Counts heap allocations so that a test can check a stretch of calls for
// none; this test program's own replacement of the global operators. They
// are kept out of line so that the compiler does not pair an inlined malloc
// or free with a new or delete at a call site and warn about a mismatch.
namespace {
long g_allocation_count = 0;
}

[[gnu::noinline]] void* operator new(std::size_t i_size)
{
    g_allocation_count++;
    if (void* block = std::malloc(i_size == 0 ? 1 : i_size)) {
        return block;
    }
    throw std::bad_alloc();
}

[[gnu::noinline]] void operator delete(void* i_block) noexcept
{
    std::free(i_block);
}

[[gnu::noinline]] void operator delete(void* i_block, std::size_t) noexcept
{
    std::free(i_block);
}

using namespace VoTrack;
using namespace VoTrackTest;

namespace {

// Translation tolerance in marker units (the width is 80).
constexpr double ROUNDING = 1e-9;

// One camera for the whole program; it outlives every estimator.
const VoARParam* testCamera()
{
    static const VoARParam* const camera = [] {
        static VoARParam param;
        setTestCamera(&param);
        return &param;
    }();
    return camera;
}

class TransMatTest : public ::testing::Test
{
protected:
    TransMatTest() : _estimator(testCamera()) {}

    static double translationError(const Pose& i_pose, const VoARTransMatResult& i_result)
    {
        const double d[3] = {i_result.m03 - i_pose.t[0], i_result.m13 - i_pose.t[1], i_result.m23 - i_pose.t[2]};
        return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    }

    static bool allFinite(const VoARTransMatResult& i_result)
    {
        double values[12];
        i_result.getValue(values);
        return std::all_of(values, values + 12, [](double i_v) { return std::isfinite(i_v); });
    }

    static void expectSamePose(const VoARTransMatResult& i_a, const VoARTransMatResult& i_b)
    {
        double a[12];
        double b[12];
        i_a.getValue(a);
        i_b.getValue(b);
        for (int k = 0; k < 12; k++) {
            EXPECT_EQ(a[k], b[k]) << "element " << k;
        }
        EXPECT_EQ(i_a.has_value, i_b.has_value);
    }

    VoARTransMat _estimator;
};

// The continued estimate done by hand with separate parts: the previous
// rotation, a fresh translation fit and one refinement, for a square stored
// in direction 0 and a marker of MARKER_WIDTH centred at the origin.
struct ContinuedByHand
{
    VoARTransMatResult pose;
    double error;

    ContinuedByHand(const VoARSquare& i_square, const VoARTransMatResult& i_previous)
    {
        const VoARParam& param = *testCamera();
        VoARRotMatrix_Kestrel rotation(param.getProjectionMatrix());
        VoARFitVecCalculator fit(param.getProjectionMatrix(), param.getDistortionFactor());
        VoARRotTransOptimize_O2 optimizer(param.getProjectionMatrix());
        VoARMarkerOffset offset;
        const TVoARDoublePoint_t center = {0.0, 0.0};
        offset.setMarker(MARKER_WIDTH, &center);
        const double* vertices[4];
        for (int i = 0; i < 4; i++) {
            vertices[i] = i_square.ideal_vertices[i];
        }
        fit.setOffsetSquare(&offset);
        fit.setImageVertices(vertices);
        rotation.initFromResult(&i_previous);
        double t[3];
        fit.solveTranslation(&rotation, t);
        error = optimizer.refine(&rotation, t, &fit);
        const double pose_values[12] = {rotation.m00, rotation.m01, rotation.m02, t[0], rotation.m10, rotation.m11,
                                        rotation.m12, t[1], rotation.m20, rotation.m21, rotation.m22, t[2]};
        pose.setValue(pose_values);
        pose.has_value = true;
    }
};

}  // namespace

// 0.4 pixel of noise on markers facing the camera, tilted 0.05 to 1.2, at
// depth 300 to 800: every pose is stored and near the truth.
TEST_F(TransMatTest, RandomNoisyPosesAreCloseToTheTruth)
{
    std::mt19937 rng(71);
    std::vector<double> rotation_errors;
    std::vector<double> translation_errors;
    for (int trial = 0; trial < 500; trial++) {
        const Pose pose = randomFacingPose(rng);
        const VoARSquare square = squareFromVertices(projectMarker(pose, MARKER_WIDTH, 0.4, rng));
        VoARTransMatResult result;
        _estimator.computePose(&square, 0, MARKER_WIDTH, &result);
        ASSERT_TRUE(result.has_value);
        ASSERT_TRUE(allFinite(result));
        rotation_errors.push_back(rotationDifference(pose.r, result));
        translation_errors.push_back(translationError(pose, result));
    }
    std::sort(rotation_errors.begin(), rotation_errors.end());
    std::sort(translation_errors.begin(), translation_errors.end());
    EXPECT_LT(rotation_errors[250], 0.03);
    EXPECT_LT(rotation_errors[450], 0.1);
    EXPECT_LT(rotation_errors.back(), 0.5);
    // Marker units; mostly the depth, which 0.4 pixel on a marker 70 to 190
    // pixels wide leaves uncertain by about 0.5 %.
    EXPECT_LT(translation_errors[250], 3.0);
    EXPECT_LT(translation_errors[450], 10.0);
    EXPECT_LT(translation_errors.back(), 40.0);
}

struct FacingCase
{
    const char* name;
    double tilt;
    double noise;
};

// Names the case in failure reports.
inline void PrintTo(const FacingCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

class TransMatFacingTest : public TransMatTest, public ::testing::WithParamInterface<FacingCase>
{
};

// Squares facing the camera squarely or nearly so, at all 72 in-plane
// rotations: every pose succeeds, is finite and matches the truth.
TEST_P(TransMatFacingTest, EveryInPlaneRotationSucceeds)
{
    std::mt19937 rng(72);
    for (int step = 0; step < 72; step++) {
        Pose pose{facingRotation(step * PI / 36, 0.3 * step, GetParam().tilt), {25.0, -10.0, 350.0 + 6.0 * step}};
        const VoARSquare square = squareFromVertices(projectMarker(pose, MARKER_WIDTH, GetParam().noise, rng));
        VoARTransMatResult result;
        ASSERT_NO_THROW(_estimator.computePose(&square, 0, MARKER_WIDTH, &result)) << "rotation " << 5 * step;
        ASSERT_TRUE(allFinite(result)) << "rotation " << 5 * step;
        EXPECT_LT(rotationDifference(pose.r, result), 2e-3) << "rotation " << 5 * step;
        EXPECT_LT(translationError(pose, result), 0.1) << "rotation " << 5 * step;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Facing, TransMatFacingTest,
    ::testing::Values(FacingCase{"Exact", 0.0, 0.0}, FacingCase{"NoisyE7", 0.0, 1e-7},
                      FacingCase{"TiltE6Exact", 1e-6, 0.0}, FacingCase{"TiltE4NoisyE7", 1e-4, 1e-7},
                      FacingCase{"TiltE2Exact", 1e-2, 0.0}, FacingCase{"TiltE2NoisyE7", 1e-2, 1e-7}),
    [](const ::testing::TestParamInfo<FacingCase>& i_info) { return std::string(i_info.param.name); });

class TransMatDirectionTest : public TransMatTest, public ::testing::WithParamInterface<int>
{
};

// A square stored rotated by the pattern's direction gives the same pose
// when that direction is passed.
TEST_P(TransMatDirectionTest, DirectionReordersTheSquare)
{
    std::mt19937 rng(73);
    for (int trial = 0; trial < 20; trial++) {
        const Pose pose = randomFacingPose(rng);
        const Vertices vertices = projectMarker(pose, MARKER_WIDTH, 0.0, rng);
        const VoARSquare stored = squareFromVertices(vertices, GetParam());
        VoARTransMatResult result;
        _estimator.computePose(&stored, GetParam(), MARKER_WIDTH, &result);
        EXPECT_LT(rotationDifference(pose.r, result), 2e-3);
        EXPECT_LT(translationError(pose, result), 0.1);
    }
}

INSTANTIATE_TEST_SUITE_P(AllDirections, TransMatDirectionTest, ::testing::Values(0, 1, 2, 3));

// Direction 2 reads the same square half a turn on: the first two columns
// change sign, the third and the translation stay.
TEST_F(TransMatTest, DirectionTwoIsAHalfTurnOfDirectionZero)
{
    std::mt19937 rng(74);
    for (int trial = 0; trial < 50; trial++) {
        const VoARSquare square = squareFromVertices(projectMarker(randomFacingPose(rng), MARKER_WIDTH, 0.4, rng));
        VoARTransMatResult zero;
        VoARTransMatResult two;
        _estimator.computePose(&square, 0, MARKER_WIDTH, &zero);
        _estimator.computePose(&square, 2, MARKER_WIDTH, &two);
        const double expected[12] = {-zero.m00, -zero.m01, zero.m02, zero.m03, -zero.m10, -zero.m11,
                                     zero.m12,  zero.m13,  -zero.m20, -zero.m21, zero.m22, zero.m23};
        double actual[12];
        two.getValue(actual);
        for (int k = 0; k < 12; k++) {
            EXPECT_NEAR(actual[k], expected[k], k % 4 == 3 ? 1e-6 : 1e-8) << "trial " << trial << " element " << k;
        }
    }
}

// The centre (5, 3) moves the stored origin to the marker point (-5, -3, 0).
TEST_F(TransMatTest, MarkerCentreShiftsTheFourthColumn)
{
    std::mt19937 rng(75);
    const VoARSquare square = squareFromVertices(projectMarker(randomFacingPose(rng), MARKER_WIDTH, 0.4, rng));
    VoARTransMatResult centred;
    _estimator.computePose(&square, 1, MARKER_WIDTH, &centred);
    _estimator.setMarkerCenter(5.0, 3.0);
    VoARTransMatResult shifted;
    _estimator.computePose(&square, 1, MARKER_WIDTH, &shifted);
    EXPECT_EQ(shifted.m00, centred.m00);
    EXPECT_EQ(shifted.m21, centred.m21);
    EXPECT_NEAR(shifted.m03, centred.m03 - 5.0 * centred.m00 - 3.0 * centred.m01, ROUNDING);
    EXPECT_NEAR(shifted.m13, centred.m13 - 5.0 * centred.m10 - 3.0 * centred.m11, ROUNDING);
    EXPECT_NEAR(shifted.m23, centred.m23 - 5.0 * centred.m20 - 3.0 * centred.m21, ROUNDING);
}

TEST_F(TransMatTest, ContinuedWithoutAPreviousPoseIsAFreshPose)
{
    std::mt19937 rng(76);
    const VoARSquare square = squareFromVertices(projectMarker(randomFacingPose(rng), MARKER_WIDTH, 0.4, rng), 3);
    VoARTransMatResult fresh;
    _estimator.computePose(&square, 3, MARKER_WIDTH, &fresh);
    VoARTransMatResult continued;
    _estimator.computePoseContinued(&square, 3, MARKER_WIDTH, &continued);
    expectSamePose(continued, fresh);
}

// The error the estimator judges a stored pose by: the mean squared
// reprojection error per corner, in squared pixels (the refinement's last
// search used exactly the stored rotation and translation).
double poseError(const VoARTransMatResult& i_pose, const VoARSquare& i_square)
{
    const Pose pose{rotationPart(i_pose), {i_pose.m03, i_pose.m13, i_pose.m23}};
    double sum = 0.0;
    for (int i = 0; i < 4; i++) {
        const TVoARDoublePoint_t image = projectPoint(pose, markerCorner(i, MARKER_WIDTH));
        const double dx = image.x - i_square.ideal_vertices[i][0];
        const double dy = image.y - i_square.ideal_vertices[i][1];
        sum += dx * dx + dy * dy;
    }
    return sum / 4;
}

VoARTransMatResult resultOf(const Matrix& i_r)
{
    VoARTransMatResult result;
    const double values[12] = {i_r.m[0][0], i_r.m[0][1], i_r.m[0][2], 0, i_r.m[1][0], i_r.m[1][1],
                               i_r.m[1][2], 0, i_r.m[2][0], i_r.m[2][1], i_r.m[2][2], 0};
    result.setValue(values);
    result.has_value = true;
    return result;
}

// Previous poses near the truth, turned away from it, or flipped over, on
// plain squares and on squares no pose explains: the continued pose is kept
// when its error is at most 1, else the fresh one replaces it only when its
// error is strictly smaller. Every branch must occur.
TEST_F(TransMatTest, ContinuedChoosesByTheErrors)
{
    std::mt19937 rng(77);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int kept_good = 0;
    int replaced = 0;
    int kept_bad = 0;
    for (int trial = 0; trial < 120; trial++) {
        const Pose pose = randomFacingPose(rng);
        Vertices vertices = projectMarker(pose, MARKER_WIDTH, 0.3, rng);
        if (trial % 2 == 1) {
            vertices[trial % 4].y += 20.0;
        }
        const VoARSquare square = squareFromVertices(vertices);
        const double turn = (trial % 3 == 0 ? 0.05 : (trial % 3 == 1 ? 2.0 : 0.0)) * unit(rng);
        Matrix previous_r = product(pose.r, rotationAbout({0.0, 0.6, 0.8}, turn));
        if (trial % 3 == 2) {
            previous_r = product(pose.r, rotationAbout({1.0, 0.0, 0.0}, PI));
        }
        VoARTransMatResult result = resultOf(previous_r);
        const ContinuedByHand continued(square, result);
        VoARTransMatResult fresh;
        _estimator.computePose(&square, 0, MARKER_WIDTH, &fresh);
        const double fresh_error = poseError(fresh, square);
        ASSERT_NEAR(poseError(continued.pose, square), continued.error, 1e-9 * (1.0 + continued.error));

        _estimator.computePoseContinued(&square, 0, MARKER_WIDTH, &result);
        if (continued.error <= 1.0) {
            kept_good++;
            expectSamePose(result, continued.pose);
        } else if (continued.error > fresh_error) {
            replaced++;
            expectSamePose(result, fresh);
        } else {
            kept_bad++;
            expectSamePose(result, continued.pose);
        }
    }
    EXPECT_GT(kept_good, 0);
    EXPECT_GT(replaced, 0);
    EXPECT_GT(kept_bad, 0);
}

// Edges 1 and 3 on the lines of edges 0 and 2 make the axes parallel.
VoARSquare degenerateLines(VoARSquare i_square)
{
    std::copy(i_square.edge_lines[0], i_square.edge_lines[0] + 3, i_square.edge_lines[1]);
    std::copy(i_square.edge_lines[2], i_square.edge_lines[2] + 3, i_square.edge_lines[3]);
    return i_square;
}

TEST_F(TransMatTest, RotationFailureLeavesTheResult)
{
    std::mt19937 rng(80);
    const VoARSquare square = degenerateLines(squareFromVertices(projectMarker(randomFacingPose(rng), 80, 0.0, rng)));
    VoARTransMatResult result;
    EXPECT_THROW(_estimator.computePose(&square, 0, MARKER_WIDTH, &result), VoARException);
    EXPECT_FALSE(result.has_value);
}

// The continuation needs only the vertices; when its fallback then fails on
// the lines, the continued pose stays stored and the exception passes on.
TEST_F(TransMatTest, FailedFallbackKeepsTheContinuedPose)
{
    std::mt19937 rng(81);
    const Pose pose = randomFacingPose(rng);
    const VoARSquare square = degenerateLines(squareFromVertices(projectMarker(pose, MARKER_WIDTH, 0.3, rng)));
    // Flipped over: the continuation cannot find its way back.
    VoARTransMatResult previous = resultOf(product(pose.r, rotationAbout({1.0, 0.0, 0.0}, PI)));
    const ContinuedByHand by_hand(square, previous);
    ASSERT_GT(by_hand.error, 1.0);
    EXPECT_THROW(_estimator.computePoseContinued(&square, 0, MARKER_WIDTH, &previous), VoARException);
    expectSamePose(previous, by_hand.pose);
}

TEST_F(TransMatTest, NoAllocationPerPoseOnceWarm)
{
    std::mt19937 rng(82);
    std::vector<VoARSquare> squares;
    for (int i = 0; i < 8; i++) {
        squares.push_back(squareFromVertices(projectMarker(randomFacingPose(rng), MARKER_WIDTH, 0.4, rng), i % 4));
    }
    VoARTransMatResult result;
    _estimator.computePose(&squares[0], 0, MARKER_WIDTH, &result);
    const long before = g_allocation_count;
    for (int i = 0; i < 8; i++) {
        _estimator.computePose(&squares[i], i % 4, MARKER_WIDTH, &result);
        _estimator.computePoseContinued(&squares[(i + 3) % 8], (i + 3) % 4, MARKER_WIDTH, &result);
    }
    EXPECT_EQ(g_allocation_count, before);
}

// The matcher reports -1 when nothing correlates; such a square still gets
// a pose, read as direction 3, and no direction reads outside the square.
TEST(TransMatDirectionTest, DirectionIsTakenModuloFour)
{
    VoARParam param;
    setTestCamera(&param);
    VoARTransMat estimator(&param);
    std::mt19937 rng(83);
    const Pose pose{facingRotation(0.2, 0.0, 0.3), {0.0, 0.0, 400.0}};
    const VoARSquare square = squareFromVertices(projectMarker(pose, MARKER_WIDTH, 0.0, rng));
    for (const auto& pair : {std::pair<int32_t, int32_t>{-1, 3}, {4, 0}, {-6, 2}, {9, 1}}) {
        VoARTransMatResult expected;
        VoARTransMatResult actual;
        estimator.computePose(&square, pair.second, MARKER_WIDTH, &expected);
        estimator.computePose(&square, pair.first, MARKER_WIDTH, &actual);
        double e[12];
        double a[12];
        expected.getValue(e);
        actual.getValue(a);
        for (int k = 0; k < 12; k++) {
            EXPECT_EQ(a[k], e[k]) << "direction " << pair.first << " element " << k;
        }
    }
}
