#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <ostream>
#include <random>
#include <vector>

#include "../support/SyntheticSquare.h"
#include "VoARAxisVector.h"
#include "VoARException.h"
#include "VoARPerspectiveProjectionMatrix.h"
#include "VoARRotMatrix_Kestrel.h"

using namespace VoTrack;
using namespace VoTrackTest;

namespace {

// Results that differ only by rounding agree to this (matrix elements, radians).
constexpr double ROUNDING = 1e-12;

VoARPerspectiveProjectionMatrix testProjection()
{
    VoARPerspectiveProjectionMatrix p;
    p.setValue(CAMERA_P);
    return p;
}

// The square's lines and vertices in stored order, as initFromSquare takes them.
struct SquarePointers
{
    const double* lines[4];
    const double* vertices[4];

    explicit SquarePointers(const VoARSquare& i_square)
    {
        for (int i = 0; i < 4; i++) {
            lines[i] = i_square.edge_lines[i];
            vertices[i] = i_square.ideal_vertices[i];
        }
    }
};

class RotMatrixTest : public ::testing::Test
{
protected:
    RotMatrixTest() : _projection(testProjection()), _rotation(&_projection) {}

    // initFromSquare on the square of i_pose; returns the largest element error.
    double initialError(const Pose& i_pose, double i_noise, std::mt19937& io_rng)
    {
        const VoARSquare square = squareFromVertices(projectMarker(i_pose, MARKER_WIDTH, i_noise, io_rng));
        const SquarePointers pointers(square);
        _rotation.initFromSquare(pointers.lines, pointers.vertices);
        return rotationDifference(i_pose.r, _rotation);
    }

    VoARPerspectiveProjectionMatrix _projection;
    VoARRotMatrix_Kestrel _rotation;
};

}  // namespace

// ---- angles ----

TEST_F(RotMatrixTest, FromAnglesIsTheZYZProduct)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> angle(-PI, PI);
    for (int trial = 0; trial < 200; trial++) {
        const double a = angle(rng);
        const double b = angle(rng);
        const double c = angle(rng);
        _rotation.fromAngles(a, b, c);
        EXPECT_LT(rotationDifference(rotationFromAngles(a, b, c), _rotation), ROUNDING);
    }
}

TEST_F(RotMatrixTest, WorkedExampleValues)
{
    _rotation.fromAngles(0.3, 0.5, -0.2);
    // The stated values are rounded to five decimals.
    EXPECT_NEAR(_rotation.m00, 0.87743, 5e-6);
    EXPECT_NEAR(_rotation.m02, 0.45801, 5e-6);
    EXPECT_NEAR(_rotation.m22, 0.87758, 5e-6);
    double angles[3];
    _rotation.toAngles(angles);
    EXPECT_NEAR(angles[0], 0.3, ROUNDING);
    EXPECT_NEAR(angles[1], 0.5, ROUNDING);
    EXPECT_NEAR(angles[2], -0.2, ROUNDING);
}

TEST_F(RotMatrixTest, IdentityAndZeroAngles)
{
    _rotation.fromAngles(0.0, 0.0, 0.0);
    const Matrix identity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    EXPECT_EQ(rotationDifference(identity, _rotation), 0.0);
    double angles[3];
    _rotation.toAngles(angles);
    EXPECT_EQ(angles[0], 0.0);
    EXPECT_EQ(angles[1], 0.0);
    EXPECT_EQ(angles[2], 0.0);
}

// The angles' own accuracy is limited by acos near +-1 (about sqrt(eps)),
// and the general formulas divide by sin b as found from m22, which loses
// about eps / sin^2 b near the poles; the rebuilt matrix is the test.
TEST_F(RotMatrixTest, ToAnglesInvertsFromAnglesAwayFromThePoles)
{
    std::mt19937 rng(12);
    std::uniform_real_distribution<double> angle(-PI + 1e-9, PI);
    std::uniform_real_distribution<double> tilt(1e-3, PI - 1e-3);
    for (int trial = 0; trial < 500; trial++) {
        const double a = angle(rng);
        const double b = tilt(rng);
        const double c = angle(rng);
        _rotation.fromAngles(a, b, c);
        double angles[3];
        _rotation.toAngles(angles);
        EXPECT_NEAR(angles[0], a, 1e-6) << "a " << a << " b " << b << " c " << c;
        EXPECT_NEAR(angles[1], b, 1e-9);
        EXPECT_NEAR(angles[2], c, 1e-6) << "a " << a << " b " << b << " c " << c;
        _rotation.fromAngles(angles[0], angles[1], angles[2]);
        EXPECT_LT(rotationDifference(rotationFromAngles(a, b, c), _rotation), 1e-9);
    }
}

struct PoleCase
{
    const char* name;
    double m22;
    double expected_b;
};

// Names the case in failure reports.
inline void PrintTo(const PoleCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

class RotMatrixPoleTest : public RotMatrixTest, public ::testing::WithParamInterface<PoleCase>
{
};

// m22 rounded beyond +-1 is clamped. Near b = 0 c takes its sign from m01,
// so the z rotation by +0.9 reads back as -0.9 (the transposed rotation).
// Near b = pi the angles rebuild the same matrix.
TEST_P(RotMatrixPoleTest, PoleAnglesFromTheUpperBlock)
{
    const PoleCase& pole = GetParam();
    const double s = std::sin(0.9);
    const double c = std::cos(0.9);
    const bool facing = pole.expected_b > 1.0;
    // Rz(0.9), or Rz(0.9) diag(1, -1, -1) when facing the camera.
    const double rows[9] = {c, facing ? s : -s, 0, s, facing ? -c : c, 0, 0, 0, pole.m22};
    _rotation.setValue(rows);
    double angles[3];
    _rotation.toAngles(angles);
    EXPECT_EQ(angles[0], 0.0);
    EXPECT_EQ(angles[1], pole.expected_b);
    EXPECT_NEAR(angles[2], facing ? PI - 0.9 : -0.9, ROUNDING);
}

INSTANTIATE_TEST_SUITE_P(
    Clamp, RotMatrixPoleTest,
    ::testing::Values(PoleCase{"One", 1.0, 0.0}, PoleCase{"AboveOne", 1.0 + 4e-16, 0.0},
                      PoleCase{"MinusOne", -1.0, PI}, PoleCase{"BelowMinusOne", -1.0 - 4e-16, PI}),
    [](const ::testing::TestParamInfo<PoleCase>& i_info) { return std::string(i_info.param.name); });

TEST_F(RotMatrixTest, ClampedPairsGiveTheAxisAngles)
{
    // m00 rounded beyond -1 near b = 0: the pair clamps to (-1, 0), c = pi.
    const double beyond[9] = {-1.0 - 4e-16, 0.3, 0, 0, -1, 0, 0, 0, 1};
    _rotation.setValue(beyond);
    double angles[3];
    _rotation.toAngles(angles);
    EXPECT_EQ(angles[2], PI);
    // m01 beyond 1 with m00 in range: the pair clamps to (0, 1), c = pi / 2.
    const double sideways[9] = {0.0, 1.0 + 4e-16, 0, 0, 0, 0, 0, 0, 1};
    _rotation.setValue(sideways);
    _rotation.toAngles(angles);
    EXPECT_EQ(angles[2], PI / 2);
}

// A marker facing the camera has b = pi, where the general formulas divide
// 0 by 0; the angles must rebuild the matrix at every in-plane rotation and
// just inside the band around the pole.
TEST_F(RotMatrixTest, FacingTheCameraRoundTrips)
{
    for (int step = 0; step < 72; step++) {
        for (const double tilt : {0.0, 1e-9, 5e-7}) {
            const Matrix truth = facingRotation(step * PI / 36, 0.7, tilt);
            _rotation.setValue(rowOrder(truth).data());
            double angles[3];
            _rotation.toAngles(angles);
            ASSERT_TRUE(std::isfinite(angles[0]) && std::isfinite(angles[1]) && std::isfinite(angles[2]));
            _rotation.fromAngles(angles[0], angles[1], angles[2]);
            // Inside the band the tilt itself is dropped.
            EXPECT_LT(rotationDifference(truth, _rotation), 1e-12 + 2 * tilt) << step << " tilt " << tilt;
        }
    }
}

// ---- rotating points ----

TEST_F(RotMatrixTest, RotatePointsAndRotatePointInPlace)
{
    _rotation.fromAngles(-0.5, 0.6, 2.0);
    const double in[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double out[3][3];
    std::fill(&out[0][0], &out[0][0] + 9, 7.0);
    _rotation.rotatePoints(in, out, 0);
    EXPECT_EQ(out[0][0], 7.0);
    EXPECT_EQ(out[2][2], 7.0);
    _rotation.rotatePoints(in, out, 2);
    // The images of the unit vectors are the matrix's columns.
    EXPECT_EQ(out[0][0], _rotation.m00);
    EXPECT_EQ(out[0][2], _rotation.m20);
    EXPECT_EQ(out[1][1], _rotation.m11);
    EXPECT_EQ(out[2][0], 7.0);
    // In place: (3, -4, 5) = 3 e_x - 4 e_y + 5 e_z.
    double point[3] = {3.0, -4.0, 5.0};
    _rotation.rotatePoint(point, point);
    EXPECT_NEAR(point[1], 3.0 * _rotation.m10 - 4.0 * _rotation.m11 + 5.0 * _rotation.m12, 1e-12);
    EXPECT_NEAR(point[2], 3.0 * _rotation.m20 - 4.0 * _rotation.m21 + 5.0 * _rotation.m22, 1e-12);
}

// ---- first estimate from a square ----

struct PoseFamily
{
    const char* name;
    Matrix (*rotation)(std::mt19937&);
};

// Names the case in failure reports.
inline void PrintTo(const PoseFamily& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

class RotMatrixFromSquareTest : public RotMatrixTest, public ::testing::WithParamInterface<PoseFamily>
{
};

// Random poses at depth 300 to 800 with 0.3 pixel of noise: every element
// within 0.3 of the truth, and most far closer.
TEST_P(RotMatrixFromSquareTest, InitialRotationIsCloseToTheTruth)
{
    std::mt19937 rng(21);
    std::vector<double> errors;
    for (int trial = 0; trial < 400; trial++) {
        Pose pose;
        pose.r = GetParam().rotation(rng);
        placeInView(&pose, rng);
        errors.push_back(initialError(pose, 0.3, rng));
    }
    std::sort(errors.begin(), errors.end());
    EXPECT_LT(errors.back(), 0.3);
    EXPECT_LT(errors[errors.size() / 2], 0.05);
}

INSTANTIATE_TEST_SUITE_P(
    Families, RotMatrixFromSquareTest,
    ::testing::Values(
        // b from 0.05 to 1.2: the marker's back towards the camera.
        PoseFamily{"AnglesBFrom005To12", [](std::mt19937& io_rng) { return randomAngleRotation(io_rng, 0.05, 1.2); }},
        // Facing the camera, tilted 0.05 to 1.2 about any in-marker axis.
        PoseFamily{"FacingTilted", [](std::mt19937& io_rng) { return randomFacingRotation(io_rng, 0.05, 1.2); }}),
    [](const ::testing::TestParamInfo<PoseFamily>& i_info) { return std::string(i_info.param.name); });

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

class RotMatrixFacingTest : public RotMatrixTest, public ::testing::WithParamInterface<FacingCase>
{
};

// Exact and nearly exact squares facing the camera, at all 72 in-plane
// rotations: the quadratic has a double root and, untilted, the first 2 x 2
// system is singular but for rounding.
TEST_P(RotMatrixFacingTest, InitialRotationSucceedsAtEveryInPlaneRotation)
{
    std::mt19937 rng(31);
    const double places[3][3] = {{20.0, -15.0, 400.0}, {25.0, -10.0, 350.0}, {-60.0, 40.0, 700.0}};
    for (const auto& place : places) {
        for (int step = 0; step < 72; step++) {
            const Pose pose{facingRotation(step * PI / 36, 0.3 * step, GetParam().tilt),
                            {place[0], place[1], place[2] + 5.0 * step}};
            double error = 0.0;
            ASSERT_NO_THROW(error = initialError(pose, GetParam().noise, rng)) << "rotation " << step * 5;
            EXPECT_LT(error, 1e-3) << "rotation " << step * 5 << " at depth " << pose.t[2];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Facing, RotMatrixFacingTest,
    ::testing::Values(FacingCase{"Exact", 0.0, 0.0}, FacingCase{"NoisyE7", 0.0, 1e-7},
                      FacingCase{"TiltE9Exact", 1e-9, 0.0}, FacingCase{"TiltE6Exact", 1e-6, 0.0},
                      FacingCase{"TiltE3NoisyE7", 1e-3, 1e-7}, FacingCase{"Tilt005Exact", 0.05, 0.0}),
    [](const ::testing::TestParamInfo<FacingCase>& i_info) { return std::string(i_info.param.name); });

TEST_F(RotMatrixTest, ParallelAxesThrowAndLeaveTheMatrix)
{
    const double before[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    _rotation.setValue(before);
    // Edges 1 and 3 on the lines of edges 0 and 2: both axes come out equal.
    const double line_a[3] = {1.0, 0.0, -100.0};
    const double line_b[3] = {0.8, 0.6, -300.0};
    const double vertices[4][2] = {{100, 100}, {200, 100}, {200, 200}, {100, 200}};
    const double* lines[4] = {line_a, line_a, line_b, line_b};
    const double* vertex_pointers[4] = {vertices[0], vertices[1], vertices[2], vertices[3]};
    EXPECT_THROW(_rotation.initFromSquare(lines, vertex_pointers), VoARException);
    double after[9];
    _rotation.getValue(after);
    EXPECT_TRUE(std::equal(after, after + 9, before));
}

// ---- axis vectors ----

class AxisVectorTest : public ::testing::Test
{
protected:
    AxisVectorTest() : _projection(testProjection()), _first(&_projection), _second(&_projection) {}

    static void set(VoARAxisVector* o_axis, const std::array<double, 3>& i_direction)
    {
        o_axis->x = i_direction[0];
        o_axis->y = i_direction[1];
        o_axis->z = i_direction[2];
    }

    VoARPerspectiveProjectionMatrix _projection;
    VoARAxisVector _first;
    VoARAxisVector _second;
};

TEST_F(AxisVectorTest, EdgePairGivesTheDirectionOfParallelSpaceLines)
{
    // Two parallel 3-D lines along d, projected: their images meet at the
    // vanishing point of d, and fromEdgePair must return +-d.
    const std::array<double, 3> d = {0.48, -0.6, 0.64};
    const Pose camera_frame{{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0}};
    double lines[2][3];
    for (int line = 0; line < 2; line++) {
        const std::array<double, 3> start = {line == 0 ? -50.0 : 60.0, 20.0, 500.0};
        const std::array<double, 3> end = {start[0] + 100 * d[0], start[1] + 100 * d[1], start[2] + 100 * d[2]};
        const TVoARDoublePoint_t from = projectPoint(camera_frame, start);
        const TVoARDoublePoint_t to = projectPoint(camera_frame, end);
        const double from_xy[2] = {from.x, from.y};
        const double to_xy[2] = {to.x, to.y};
        lineThrough(from_xy, to_xy, lines[line]);
    }
    _first.fromEdgePair(lines[0], lines[1]);
    const double cosine = _first.x * d[0] + _first.y * d[1] + _first.z * d[2];
    EXPECT_NEAR(std::fabs(cosine), 1.0, 1e-12);
    EXPECT_NEAR(_first.x * _first.x + _first.y * _first.y + _first.z * _first.z, 1.0, 1e-14);
}

TEST_F(AxisVectorTest, OrientationFollowsTheVertexVector)
{
    set(&_first, {1.0, 0.0, 0.0});
    const double left[2] = {100.0, 200.0};
    const double right[2] = {300.0, 200.0};
    _first.orientByVertices(left, right);
    EXPECT_EQ(_first.x, 1.0);
    _first.orientByVertices(right, left);
    EXPECT_EQ(_first.x, -1.0);
}

TEST_F(AxisVectorTest, OrientationThrowsWhenAPointLandsAtDepthZero)
{
    // With m22 = 16 the ray point sits at depth 10 and the direction's z of
    // -0.625 moves it to depth 0.
    const double rows[12] = {700, 0, 320, 0, 0, 700, 240, 0, 0, 0, 16, 0};
    VoARPerspectiveProjectionMatrix deep;
    deep.setValue(rows);
    VoARAxisVector axis(&deep);
    set(&axis, {0.78, 0.0, -0.625});
    const double from[2] = {100.0, 200.0};
    const double to[2] = {300.0, 200.0};
    EXPECT_THROW(axis.orientByVertices(from, to), VoARException);
}

// Unit vectors 50 to 130 degrees apart become unit, perpendicular, stay in
// their plane and keep the same positive cosine with their old directions.
TEST_F(AxisVectorTest, OrthogonalizeMakesAPerpendicularPairInTheSamePlane)
{
    std::mt19937 rng(41);
    for (int trial = 0; trial < 300; trial++) {
        const Matrix frame = randomAngleRotation(rng, 0.0, PI);
        const double gap = uniform(rng, 50.0 * PI / 180.0, 130.0 * PI / 180.0);
        const std::array<double, 3> e = {frame.m[0][0], frame.m[1][0], frame.m[2][0]};
        std::array<double, 3> g;
        for (int i = 0; i < 3; i++) {
            g[i] = std::cos(gap) * frame.m[i][0] + std::sin(gap) * frame.m[i][1];
        }
        set(&_first, e);
        set(&_second, g);
        _first.orthogonalize(&_second);
        const std::array<double, 3> s = {_first.x, _first.y, _first.z};
        const std::array<double, 3> u = {_second.x, _second.y, _second.z};
        auto dot = [](const std::array<double, 3>& i_a, const std::array<double, 3>& i_b) {
            return i_a[0] * i_b[0] + i_a[1] * i_b[1] + i_a[2] * i_b[2];
        };
        const std::array<double, 3> normal = {frame.m[0][2], frame.m[1][2], frame.m[2][2]};
        // Tolerance: rounding amplified by the 2 x 2 system (1 / its determinant).
        EXPECT_NEAR(dot(s, s), 1.0, 1e-9);
        EXPECT_NEAR(dot(u, u), 1.0, 1e-9);
        EXPECT_NEAR(dot(s, u), 0.0, 1e-9);
        EXPECT_NEAR(dot(s, normal), 0.0, 1e-9);
        EXPECT_NEAR(dot(u, normal), 0.0, 1e-9);
        EXPECT_GT(dot(s, e), 0.0);
        EXPECT_NEAR(dot(s, e), dot(u, g), 1e-9);
        // Turned symmetrically: the half-way direction is kept.
        EXPECT_NEAR(dot(s, g) - dot(u, e), 0.0, 1e-9);
    }
}

TEST_F(AxisVectorTest, ParallelDirectionsThrow)
{
    set(&_first, {0.6, 0.8, 0.0});
    set(&_second, {-0.6, -0.8, 0.0});
    EXPECT_THROW(_first.orthogonalize(&_second), VoARException);
}

// Vectors of length 0.5 cannot have a cosine-1 partner of length 1: the
// discriminant is clearly negative, not a rounded double root.
TEST_F(AxisVectorTest, ClearlyNegativeDiscriminantThrows)
{
    set(&_first, {0.5, 0.0, 0.0});
    set(&_second, {0.0, 0.5, 0.0});
    EXPECT_THROW(_first.orthogonalize(&_second), VoARException);
}

// Perpendicular unit pairs lying in the image plane but for rounding, at
// every 5 degrees: a double root with the first system singular.
TEST_F(AxisVectorTest, PerpendicularPairsFacingTheCameraStay)
{
    for (int step = 0; step < 72; step++) {
        const Matrix r = facingRotation(step * PI / 36, 0.0, 0.0);
        const std::array<double, 3> e = {r.m[0][0], r.m[1][0], 1e-17 * step};
        const std::array<double, 3> g = {r.m[0][1], r.m[1][1], -3e-17};
        set(&_first, e);
        set(&_second, g);
        ASSERT_NO_THROW(_first.orthogonalize(&_second)) << step;
        // A double root is known to about sqrt(eps) = 1.5e-8 per unit.
        EXPECT_NEAR(_first.x, e[0], 1e-6);
        EXPECT_NEAR(_first.y, e[1], 1e-6);
        EXPECT_NEAR(_second.x, g[0], 1e-6);
        EXPECT_NEAR(_second.y, g[1], 1e-6);
    }
}

namespace {

// orthogonalize as plainly described, without the treatment of negligible
// determinants and rounded double roots: the first mode with a non-zero
// determinant, and any negative discriminant throws.
void plainSolve(const double* i_e, const double* i_n, double i_t, double* o_s1, double* o_s2)
{
    int order[3] = {0, 1, 2};
    if (i_n[1] * i_e[0] - i_n[0] * i_e[1] == 0.0) {
        if (i_n[2] * i_e[0] - i_n[0] * i_e[2] != 0.0) {
            std::swap(order[1], order[2]);
        } else {
            std::swap(order[0], order[2]);
        }
    }
    const double p = i_e[order[0]], q = i_e[order[1]], r = i_e[order[2]];
    const double nx = i_n[order[0]], ny = i_n[order[1]], nz = i_n[order[2]];
    const double det = ny * p - nx * q;
    if (det == 0.0) {
        throw VoARException();
    }
    const double k1 = (q * nz - ny * r) / det;
    const double k2 = ny * i_t / det;
    const double k3 = (p * nz - nx * r) / (nx * q - p * ny);
    const double k4 = nx * i_t / (nx * q - p * ny);
    const double a = k1 * k1 + k3 * k3 + 1;
    const double b = k1 * k2 + k3 * k4;
    const double c = k2 * k2 + k4 * k4 - 1;
    const double d = b * b - a * c;
    if (d < 0) {
        throw VoARException();
    }
    const double r1 = (std::sqrt(d) - b) / a;
    const double r2 = (-b - std::sqrt(d)) / a;
    const double s1[3] = {k1 * r1 + k2, k3 * r1 + k4, r1};
    const double s2[3] = {k1 * r2 + k2, k3 * r2 + k4, r2};
    for (int k = 0; k < 3; k++) {
        o_s1[order[k]] = s1[k];
        o_s2[order[k]] = s2[k];
    }
}

void plainOrthogonalize(double* io_e, double* io_g)
{
    double n[3] = {io_e[1] * io_g[2] - io_e[2] * io_g[1], io_e[2] * io_g[0] - io_e[0] * io_g[2],
                   io_e[0] * io_g[1] - io_e[1] * io_g[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double& v : n) {
        v /= length;
    }
    const double cb = std::fabs(io_e[0] * io_g[0] + io_e[1] * io_g[1] + io_e[2] * io_g[2]);
    const double t = (std::sqrt(cb + 1) + std::sqrt(1 - cb)) * 0.5;
    double s[4][3];
    plainSolve(io_e, n, t, s[0], s[1]);
    plainSolve(io_g, n, t, s[2], s[3]);
    auto dot = [](const double* i_a, const double* i_b) {
        return std::fabs(i_a[0] * i_b[0] + i_a[1] * i_b[1] + i_a[2] * i_b[2]);
    };
    const double e1 = dot(s[0], s[2]), e2 = dot(s[0], s[3]), e3 = dot(s[1], s[2]), e4 = dot(s[1], s[3]);
    int first = 1, second = 3;
    if (e1 < e2) {
        if (e1 < e3) {
            first = e1 < e4 ? 0 : 1;
            second = e1 < e4 ? 2 : 3;
        } else {
            second = e3 < e4 ? 2 : 3;
        }
    } else if (e2 < e3) {
        first = e2 < e4 ? 0 : 1;
    } else {
        second = e3 < e4 ? 2 : 3;
    }
    std::copy(s[first], s[first] + 3, io_e);
    std::copy(s[second], s[second] + 3, io_g);
}

}  // namespace

// Where the plain arithmetic is well conditioned (noisy squares, any pose),
// the result is bit for bit the same.
TEST_F(AxisVectorTest, MatchesThePlainArithmeticWhereThatIsWellConditioned)
{
    std::mt19937 rng(51);
    int compared = 0;
    for (int trial = 0; trial < 500; trial++) {
        Pose pose;
        pose.r = randomFacingRotation(rng, 0.0, 1.2);
        placeInView(&pose, rng);
        const VoARSquare square = squareFromVertices(projectMarker(pose, MARKER_WIDTH, 0.3, rng));
        _first.fromEdgePair(square.edge_lines[0], square.edge_lines[2]);
        _second.fromEdgePair(square.edge_lines[1], square.edge_lines[3]);
        double e[3] = {_first.x, _first.y, _first.z};
        double g[3] = {_second.x, _second.y, _second.z};
        // The mended mode choice differs only below 1e-6 of the largest determinant.
        if (std::fabs(e[2]) < 1e-5 || std::fabs(g[2]) < 1e-5) {
            continue;
        }
        plainOrthogonalize(e, g);
        _first.orthogonalize(&_second);
        EXPECT_EQ(_first.x, e[0]);
        EXPECT_EQ(_first.y, e[1]);
        EXPECT_EQ(_first.z, e[2]);
        EXPECT_EQ(_second.x, g[0]);
        EXPECT_EQ(_second.y, g[1]);
        EXPECT_EQ(_second.z, g[2]);
        compared++;
    }
    EXPECT_GT(compared, 450);
}
