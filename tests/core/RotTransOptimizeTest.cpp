#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "../support/SyntheticSquare.h"
#include "VoARCameraDistortionFactor.h"
#include "VoARFitVecCalculator.h"
#include "VoARMarkerOffset.h"
#include "VoARPerspectiveProjectionMatrix.h"
#include "VoARRotMatrix_Kestrel.h"
#include "VoARRotTransOptimize_O2.h"

using namespace VoTrack;
using namespace VoTrackTest;

namespace {

constexpr double STEP = 0.17453292519943295;

VoARPerspectiveProjectionMatrix projectionOf(const double* i_rows)
{
    VoARPerspectiveProjectionMatrix p;
    p.setValue(i_rows);
    return p;
}

// The grid search written the plain way: every candidate built with
// fromAngles, multiplied with P and projected corner by corner.
double referenceSearch(const VoARPerspectiveProjectionMatrix& i_p, VoARRotMatrix_Kestrel* io_rotation,
                       const double* i_t, const double (*i_corners)[3], const TVoARDoublePoint_t* i_vertices)
{
    double p[3][4];
    i_p.getValue(&p[0][0]);
    double angles[3];
    io_rotation->toAngles(angles);
    double step = STEP;
    int best_index = 0;
    double min_error = 1e9;
    VoARRotMatrix_Kestrel candidate(&i_p);
    for (int sweep = 0; sweep < 10; sweep++) {
        min_error = 1e9;
        const double start[3] = {angles[0], angles[1], angles[2]};
        for (int ia = 0; ia < 3; ia++) {
            for (int ib = 0; ib < 3; ib++) {
                for (int ic = 0; ic < 3; ic++) {
                    const double a = start[0] + (ia - 1) * step;
                    const double b = start[1] + (ib - 1) * step;
                    const double c = start[2] + (ic - 1) * step;
                    candidate.fromAngles(a, b, c);
                    double r[9];
                    candidate.getValue(r);
                    double error = 0.0;
                    for (int i = 0; i < 4; i++) {
                        double camera[3];
                        for (int k = 0; k < 3; k++) {
                            camera[k] = r[3 * k] * i_corners[i][0] + r[3 * k + 1] * i_corners[i][1] +
                                        r[3 * k + 2] * i_corners[i][2] + i_t[k];
                        }
                        double h[3];
                        for (int k = 0; k < 3; k++) {
                            h[k] = p[k][0] * camera[0] + p[k][1] * camera[1] + p[k][2] * camera[2] + p[k][3];
                        }
                        const double dx = i_vertices[i].x - h[0] / h[2];
                        const double dy = i_vertices[i].y - h[1] / h[2];
                        error += dx * dx + dy * dy;
                    }
                    if (error < min_error) {
                        min_error = error;
                        angles[0] = a;
                        angles[1] = b;
                        angles[2] = c;
                        best_index = ia + 3 * ib + 9 * ic;
                    }
                }
            }
        }
        if (best_index == 13) {
            step *= 0.5;
        }
    }
    io_rotation->fromAngles(angles[0], angles[1], angles[2]);
    return min_error / 4;
}

class OptimizeTest : public ::testing::Test
{
protected:
    OptimizeTest()
        : _projection(projectionOf(CAMERA_P)),
          _fit(&_projection, &_distortion),
          _rotation(&_projection),
          _optimizer(&_projection)
    {
        const TVoARDoublePoint_t center = {0.0, 0.0};
        _offset.setMarker(MARKER_WIDTH, &center);
        _fit.setOffsetSquare(&_offset);
    }

    // Sets up the fit for i_vertices and starts rotation and translation
    // from the square, as the pose estimator does.
    void startFromSquare(const Vertices& i_vertices, double* o_t)
    {
        _square = squareFromVertices(i_vertices);
        const double* lines[4];
        const double* vertices[4];
        for (int i = 0; i < 4; i++) {
            lines[i] = _square.edge_lines[i];
            vertices[i] = _square.ideal_vertices[i];
        }
        _fit.setImageVertices(vertices);
        _rotation.initFromSquare(lines, vertices);
        _fit.solveTranslation(&_rotation, o_t);
    }

    // Mean squared distance per corner, in squared pixels, of the corners
    // projected with the current rotation and i_t from the fit's vertices.
    double reprojectionError(const double* i_t) const
    {
        Pose pose{rotationPart(_rotation), {i_t[0], i_t[1], i_t[2]}};
        double sum = 0.0;
        for (int i = 0; i < 4; i++) {
            const TVoARDoublePoint_t image = projectPoint(pose, markerCorner(i, MARKER_WIDTH));
            const double dx = image.x - _fit.getImageVertices()[i].x;
            const double dy = image.y - _fit.getImageVertices()[i].y;
            sum += dx * dx + dy * dy;
        }
        return sum / 4;
    }

    // refine written out with a fixed number of passes, stopping early on a
    // good error only when i_may_stop.
    double passes(int i_count, bool i_may_stop, double* io_t)
    {
        double error = 0.0;
        for (int pass = 0; pass < i_count; pass++) {
            if (pass > 0) {
                _fit.solveTranslation(&_rotation, io_t);
            }
            _optimizer.searchAngles(&_rotation, io_t, _offset.corners, _fit.getImageVertices());
            _fit.solveTranslation(&_rotation, io_t);
            error = _optimizer.searchAngles(&_rotation, io_t, _offset.corners, _fit.getImageVertices());
            if (i_may_stop && error < 1.0) {
                break;
            }
        }
        return error;
    }

    VoARPerspectiveProjectionMatrix _projection;
    VoARCameraDistortionFactor _distortion;
    VoARFitVecCalculator _fit;
    VoARRotMatrix_Kestrel _rotation;
    VoARRotTransOptimize_O2 _optimizer;
    VoARMarkerOffset _offset;
    VoARSquare _square;
};

}  // namespace

// The regrouped candidate products choose the same candidates as building
// each rotation with fromAngles, and agree up to rounding.
TEST_F(OptimizeTest, SearchEqualsThePlainCandidateConstruction)
{
    std::mt19937 rng(61);
    VoARRotMatrix_Kestrel reference(&_projection);
    for (int trial = 0; trial < 300; trial++) {
        Pose pose = randomFacingPose(rng);
        if (trial % 2 == 1) {
            pose.r = randomAngleRotation(rng, 0.05, 1.2);
        }
        double t[3];
        startFromSquare(projectMarker(pose, MARKER_WIDTH, 0.3, rng), t);
        double start[9];
        _rotation.getValue(start);
        reference.setValue(start);
        const double error = _optimizer.searchAngles(&_rotation, t, _offset.corners, _fit.getImageVertices());
        const double expected = referenceSearch(_projection, &reference, t, _offset.corners, _fit.getImageVertices());
        EXPECT_NEAR(error, expected, 1e-9 * (1.0 + expected)) << "trial " << trial;
        EXPECT_LT(rotationDifference(rotationPart(reference), _rotation), 1e-12) << "trial " << trial;
    }
}

// Exact rotation and translation: the unchanged angles win every sweep and
// the rotation is rebuilt from them.
TEST_F(OptimizeTest, ExactPoseKeepsItsAngles)
{
    std::mt19937 rng(63);
    for (int trial = 0; trial < 20; trial++) {
        const Pose pose = randomFacingPose(rng);
        double t[3];
        startFromSquare(projectMarker(pose, MARKER_WIDTH, 0.0, rng), t);
        _rotation.setValue(rowOrder(pose.r).data());
        VoARRotMatrix_Kestrel rebuilt(&_projection);
        double angles[3];
        _rotation.toAngles(angles);
        rebuilt.fromAngles(angles[0], angles[1], angles[2]);
        const double error = _optimizer.searchAngles(&_rotation, pose.t, _offset.corners, _fit.getImageVertices());
        EXPECT_LT(error, 1e-18);
        EXPECT_EQ(rotationDifference(rotationPart(rebuilt), _rotation), 0.0);
    }
}

// A camera that reads single rotation elements: x from row 2 and y from row
// 0 of R times the corner, at depth 1. With corners on the x and z axes the
// image shows m20, m00, m22 and m02, which are even under (a, c) -> (-a, -c).
// Starting from a = c = 0, the candidates (-1, 0, +1) and (+1, 0, -1) then
// tie exactly; the truth is the first. Visiting order (a outermost) takes
// it; index order (c weighing 9) would take the second.
TEST(OptimizeTieTest, TiesKeepTheFirstVisitedCandidate)
{
    const double element_camera[12] = {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1};
    const VoARPerspectiveProjectionMatrix projection = projectionOf(element_camera);
    VoARRotTransOptimize_O2 optimizer(&projection);
    VoARRotMatrix_Kestrel rotation(&projection);
    // b = pi / 2 reads back exactly as a = c = 0.
    rotation.fromAngles(0.0, PI / 2, 0.0);
    double start[3];
    rotation.toAngles(start);
    ASSERT_EQ(start[0], 0.0);
    ASSERT_EQ(start[2], 0.0);

    const Matrix truth = rotationFromAngles(-STEP, start[1], STEP);
    const double corners[4][3] = {{1, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0, 1}};
    TVoARDoublePoint_t vertices[4];
    for (int i = 0; i < 4; i++) {
        const int column = i % 2 == 0 ? 0 : 2;
        vertices[i] = {truth.m[2][column], truth.m[0][column]};
    }
    const double t[3] = {0, 0, 0};
    const double error = optimizer.searchAngles(&rotation, t, corners, vertices);
    EXPECT_LT(error, 1e-20);
    EXPECT_LT(rotationDifference(truth, rotation), 1e-12);
    EXPECT_LT(rotation.m12, -0.1);
}

// Corners all at the origin tie every candidate: the first visited
// (all offsets -1, index 0) wins every sweep, so the step never halves and
// each angle moves down ten full steps.
TEST_F(OptimizeTest, AllTiedMovesDownTenFullSteps)
{
    _rotation.fromAngles(0.3, 1.0, -0.4);
    double angles[3];
    _rotation.toAngles(angles);
    for (int sweep = 0; sweep < 10; sweep++) {
        for (double& angle : angles) {
            angle += -1.0 * STEP;
        }
    }
    VoARRotMatrix_Kestrel expected(&_projection);
    expected.fromAngles(angles[0], angles[1], angles[2]);
    const double origin[4][3] = {};
    const TVoARDoublePoint_t vertices[4] = {{300, 200}, {300, 200}, {300, 200}, {300, 200}};
    // The origin projects to (334, 212): each corner is 34 and 12 pixels off.
    const double t[3] = {10.0, -20.0, 500.0};
    const double error = _optimizer.searchAngles(&_rotation, t, origin, vertices);
    EXPECT_NEAR(error, 34.0 * 34.0 + 12.0 * 12.0, 1e-9);
    EXPECT_LT(rotationDifference(rotationPart(expected), _rotation), 1e-12);
}

// Every candidate at depth 0 gives an infinite error, which is never taken:
// the angles stay and the search reports 1e9 / 4.
TEST_F(OptimizeTest, NoAcceptedCandidateKeepsTheAngles)
{
    const double flat_camera[12] = {700, 0, 320, 0, 0, 700, 240, 0, 0, 0, 0, 0};
    const VoARPerspectiveProjectionMatrix flat = projectionOf(flat_camera);
    VoARRotTransOptimize_O2 optimizer(&flat);
    _rotation.fromAngles(0.3, 2.0, -0.4);
    double angles[3];
    _rotation.toAngles(angles);
    VoARRotMatrix_Kestrel expected(&_projection);
    expected.fromAngles(angles[0], angles[1], angles[2]);
    const TVoARDoublePoint_t vertices[4] = {{300, 200}, {300, 200}, {300, 200}, {300, 200}};
    const double t[3] = {10.0, -20.0, 500.0};
    EXPECT_EQ(optimizer.searchAngles(&_rotation, t, _offset.corners, vertices), 2.5e8);
    EXPECT_EQ(rotationDifference(rotationPart(expected), _rotation), 0.0);
}

// Poses with b from 0.05 to 1.2 (the marker's back to the camera) and 0.3
// pixel of noise: one pass nearly always suffices, and the rotation lands
// within 0.1 of the truth in all but the odd case. The error returned is that
// of the rotation and translation handed back.
TEST_F(OptimizeTest, RefineMostlyEndsAfterOnePassOnNoisySquares)
{
    std::mt19937 rng(64);
    std::vector<double> errors;
    std::vector<double> rotation_errors;
    int one_pass = 0;
    for (int trial = 0; trial < 300; trial++) {
        Pose pose;
        pose.r = randomAngleRotation(rng, 0.05, 1.2);
        placeInView(&pose, rng);
        const Vertices vertices = projectMarker(pose, MARKER_WIDTH, 0.3, rng);
        double t[3];
        startFromSquare(vertices, t);
        const double error = _optimizer.refine(&_rotation, t, &_fit);
        EXPECT_LT(error, 1.0);
        EXPECT_NEAR(error, reprojectionError(t), 1e-9);
        const Matrix refined = rotationPart(_rotation);
        rotation_errors.push_back(rotationDifference(pose.r, _rotation));
        errors.push_back(error);

        double replay_t[3];
        startFromSquare(vertices, replay_t);
        const double replayed = passes(1, false, replay_t);
        one_pass += replayed == error && rotationDifference(refined, _rotation) == 0.0 ? 1 : 0;
    }
    EXPECT_GE(one_pass, 297);
    std::sort(rotation_errors.begin(), rotation_errors.end());
    EXPECT_LT(rotation_errors[296], 0.1);
    EXPECT_LT(rotation_errors.back(), 0.3);
    std::sort(errors.begin(), errors.end());
    // Two residual degrees of freedom of 0.09 px^2 each over four corners:
    // about 0.045 x chi^2(2) / 2, median near 0.03, and many below 0.03.
    EXPECT_GT(errors[errors.size() / 2], 0.02);
    EXPECT_LT(errors[errors.size() / 2], 0.07);
    EXPECT_LT(errors[30], 0.03);
}

// Markers facing the camera sit near b = pi, where a step of a also turns
// the marker in its plane by two steps: the search is coarser there, and
// more squares need a second pass. Every refinement still ends with a
// finite error of at most a few pixels^2 and a usable rotation.
TEST_F(OptimizeTest, RefineOfFacingMarkers)
{
    std::mt19937 rng(66);
    std::vector<double> rotation_errors;
    for (int trial = 0; trial < 300; trial++) {
        const Pose pose = randomFacingPose(rng);
        double t[3];
        startFromSquare(projectMarker(pose, MARKER_WIDTH, 0.3, rng), t);
        const double error = _optimizer.refine(&_rotation, t, &_fit);
        EXPECT_LT(error, 20.0);
        EXPECT_NEAR(error, reprojectionError(t), 1e-9 * (1.0 + error));
        rotation_errors.push_back(rotationDifference(pose.r, _rotation));
    }
    std::sort(rotation_errors.begin(), rotation_errors.end());
    EXPECT_LT(rotation_errors[150], 0.03);
    EXPECT_LT(rotation_errors[270], 0.1);
    EXPECT_LT(rotation_errors.back(), 0.4);
}

// A vertex 25 pixels off: no pose explains the square, all five passes run.
TEST_F(OptimizeTest, RefineRunsFivePassesWhenNothingFits)
{
    std::mt19937 rng(65);
    for (int trial = 0; trial < 10; trial++) {
        Vertices vertices = projectMarker(randomFacingPose(rng), MARKER_WIDTH, 0.0, rng);
        vertices[trial % 4].x += 25.0;
        double t[3];
        startFromSquare(vertices, t);
        const double error = _optimizer.refine(&_rotation, t, &_fit);
        const Matrix refined = rotationPart(_rotation);
        EXPECT_GT(error, 1.0);
        EXPECT_NEAR(error, reprojectionError(t), 1e-9 * error);

        double replay_t[3];
        startFromSquare(vertices, replay_t);
        EXPECT_EQ(passes(5, true, replay_t), error);
        EXPECT_EQ(rotationDifference(refined, _rotation), 0.0);
        for (int k = 0; k < 3; k++) {
            EXPECT_EQ(replay_t[k], t[k]);
        }
    }
}
