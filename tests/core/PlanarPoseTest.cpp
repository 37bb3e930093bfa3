#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "../support/SyntheticSquare.h"
#include "VoARException.h"
#include "VoARParam.h"
#include "VoARPerspectiveProjectionMatrix.h"
#include "VoARPlanarPose.h"
#include "VoARTransMat.h"
#include "VoARTransMatResult.h"

using namespace VoTrack;
using namespace VoTrackTest;

namespace {

using Corners = std::array<std::array<double, 2>, 4>;
using Vector = std::array<double, 3>;

constexpr double DEGREE = PI / 180.0;
constexpr double FOCAL = 700.0;
// Exact corners: the pose to this fraction (the rotation in radians, the
// translation relative to the marker's distance) and the error to this many pixels.
constexpr double EXACT = 1e-9;
// R^T R - I and det R - 1, from rounding alone.
constexpr double ORTHONORMAL = 1e-12;
constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();
constexpr double INFINITE = std::numeric_limits<double>::infinity();

// Every failure reproduces: the random numbers come from the running
// test's full name (FNV-1a), so no two tests share a sequence.
std::uint32_t seedOfCurrentTest()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    std::uint32_t hash = 2166136261u;
    for (const char c : name) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return hash;
}

// A camera P = s K R_c [I | b]: a point X of the pose's frame projects as
// P (X, 1) = s K R_c (X + b), so the projection centre is at -b there.
struct Camera
{
    const char* name;
    double p[12];
    Vector centre;
};

inline void PrintTo(const Camera& i_camera, std::ostream* o_stream)
{
    *o_stream << i_camera.name;
}

Camera makeCamera(const char* i_name, const Matrix& i_k, const Matrix& i_turn, const Vector& i_shift,
                  double i_scale = 1.0)
{
    const Matrix kr = product(i_k, i_turn);
    Camera camera{i_name, {}, {-i_shift[0], -i_shift[1], -i_shift[2]}};
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            camera.p[4 * i + j] = i_scale * kr.m[i][j];
        }
        camera.p[4 * i + 3] = i_scale * (kr.m[i][0] * i_shift[0] + kr.m[i][1] * i_shift[1] + kr.m[i][2] * i_shift[2]);
    }
    return camera;
}

const Matrix IDENTITY = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
const Matrix TEST_K = {{{FOCAL, 0, 320}, {0, FOCAL, 240}, {0, 0, 1}}};

VoARPerspectiveProjectionMatrix projectionOf(const double* i_p)
{
    VoARPerspectiveProjectionMatrix projection;
    projection.setValue(i_p);
    return projection;
}

// The ideal pixel of marker point i_x under i_pose through P, written out
// from the definition pi(P (R X + t, 1)).
std::array<double, 2> project(const double* i_p, const Pose& i_pose, const Vector& i_x)
{
    double camera[3];
    for (int i = 0; i < 3; i++) {
        camera[i] = i_pose.r.m[i][0] * i_x[0] + i_pose.r.m[i][1] * i_x[1] + i_pose.r.m[i][2] * i_x[2] + i_pose.t[i];
    }
    double h[3];
    for (int i = 0; i < 3; i++) {
        h[i] = i_p[4 * i] * camera[0] + i_p[4 * i + 1] * camera[1] + i_p[4 * i + 2] * camera[2] + i_p[4 * i + 3];
    }
    return {h[0] / h[2], h[1] / h[2]};
}

// The marker's vertices through P, each coordinate moved by Gaussian noise
// of standard deviation i_noise pixels.
Corners cornersOf(const double* i_p, const Pose& i_pose, double i_width, double i_noise, std::mt19937& io_rng)
{
    std::normal_distribution<double> gauss(0.0, 1.0);
    Corners corners;
    for (int i = 0; i < 4; i++) {
        corners[i] = project(i_p, i_pose, markerCorner(i, i_width));
        if (i_noise > 0.0) {
            corners[i][0] += i_noise * gauss(io_rng);
            corners[i][1] += i_noise * gauss(io_rng);
        }
    }
    return corners;
}

// RMS distance in pixels between the corners and the pose's vertices.
double rmsError(const double* i_p, const Pose& i_pose, const Corners& i_corners, double i_width)
{
    double sum = 0.0;
    for (int i = 0; i < 4; i++) {
        const std::array<double, 2> image = project(i_p, i_pose, markerCorner(i, i_width));
        sum += std::pow(image[0] - i_corners[i][0], 2) + std::pow(image[1] - i_corners[i][1], 2);
    }
    return std::sqrt(sum / 4);
}

Pose poseOf(const VoARTransMatResult& i_result)
{
    return {rotationPart(i_result), {i_result.m03, i_result.m13, i_result.m23}};
}

// The angle in radians between two rotations, from |A - B|_F = 2 sqrt(2)
// sin(angle / 2), which stays exact for small angles.
double rotationAngle(const Matrix& i_a, const Matrix& i_b)
{
    double sum = 0.0;
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            sum += std::pow(i_a.m[i][j] - i_b.m[i][j], 2);
        }
    }
    return 2.0 * std::asin(std::min(1.0, std::sqrt(sum) / (2.0 * std::sqrt(2.0))));
}

double distance(const double* i_a, const Vector& i_b)
{
    return std::sqrt(std::pow(i_a[0] - i_b[0], 2) + std::pow(i_a[1] - i_b[1], 2) + std::pow(i_a[2] - i_b[2], 2));
}

// |t - t_truth| as a fraction of the truth's distance from the projection centre.
double relativeTranslationError(const Pose& i_truth, const Pose& i_pose, const Vector& i_centre = {0, 0, 0})
{
    return distance(i_pose.t, {i_truth.t[0], i_truth.t[1], i_truth.t[2]}) / distance(i_truth.t, i_centre);
}

void expectProperRotation(const Matrix& i_r)
{
    const Matrix rtr = product({{{i_r.m[0][0], i_r.m[1][0], i_r.m[2][0]},
                                 {i_r.m[0][1], i_r.m[1][1], i_r.m[2][1]},
                                 {i_r.m[0][2], i_r.m[1][2], i_r.m[2][2]}}},
                               i_r);
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            EXPECT_NEAR(rtr.m[i][j], i == j ? 1.0 : 0.0, ORTHONORMAL);
        }
    }
    const double det = i_r.m[0][0] * (i_r.m[1][1] * i_r.m[2][2] - i_r.m[1][2] * i_r.m[2][1]) -
                       i_r.m[0][1] * (i_r.m[1][0] * i_r.m[2][2] - i_r.m[1][2] * i_r.m[2][0]) +
                       i_r.m[0][2] * (i_r.m[1][0] * i_r.m[2][1] - i_r.m[1][1] * i_r.m[2][0]);
    EXPECT_NEAR(det, 1.0, ORTHONORMAL);
}

// The pose moved by a rotation vector (camera axes, about the marker's
// centre) and a translation step.
Pose moved(const Pose& i_pose, const double* i_step)
{
    const double angle = std::sqrt(i_step[0] * i_step[0] + i_step[1] * i_step[1] + i_step[2] * i_step[2]);
    Pose out = i_pose;
    if (angle > 0.0) {
        out.r = product(rotationAbout({i_step[0] / angle, i_step[1] / angle, i_step[2] / angle}, angle), i_pose.r);
    }
    for (int k = 0; k < 3; k++) {
        out.t[k] += i_step[3 + k];
    }
    return out;
}

// Solves the 6 x 6 system i_a x = i_b by Gaussian elimination with partial pivoting.
std::array<double, 6> solveLinear(std::array<std::array<double, 6>, 6> i_a, std::array<double, 6> i_b)
{
    for (int col = 0; col < 6; col++) {
        int pivot = col;
        for (int row = col + 1; row < 6; row++) {
            if (std::fabs(i_a[row][col]) > std::fabs(i_a[pivot][col])) {
                pivot = row;
            }
        }
        std::swap(i_a[col], i_a[pivot]);
        std::swap(i_b[col], i_b[pivot]);
        for (int row = col + 1; row < 6; row++) {
            const double f = i_a[row][col] / i_a[col][col];
            for (int k = col; k < 6; k++) {
                i_a[row][k] -= f * i_a[col][k];
            }
            i_b[row] -= f * i_b[col];
        }
    }
    std::array<double, 6> x{};
    for (int row = 5; row >= 0; row--) {
        double sum = i_b[row];
        for (int k = row + 1; k < 6; k++) {
            sum -= i_a[row][k] * x[k];
        }
        x[row] = sum / i_a[row][row];
    }
    return x;
}

// The local minimum of the reprojection error that descent from i_start
// reaches: Gauss-Newton with central-difference derivatives and step
// halving, independent of the solver's Jacobian and parameters.
Pose localMinimum(const double* i_p, const Corners& i_corners, double i_width, const Pose& i_start)
{
    auto residuals = [&](const Pose& i_pose) {
        std::array<double, 8> r;
        for (int i = 0; i < 4; i++) {
            const std::array<double, 2> image = project(i_p, i_pose, markerCorner(i, i_width));
            r[2 * i] = image[0] - i_corners[i][0];
            r[2 * i + 1] = image[1] - i_corners[i][1];
        }
        return r;
    };
    auto sumSquares = [&](const Pose& i_pose) {
        double sum = 0.0;
        for (double v : residuals(i_pose)) {
            sum += v * v;
        }
        return sum;
    };
    Pose pose = i_start;
    double error = sumSquares(pose);
    for (int iteration = 0; iteration < 200; iteration++) {
        const std::array<double, 8> r = residuals(pose);
        const double scale = distance(pose.t, {0, 0, 0});
        double jacobian[8][6];
        for (int k = 0; k < 6; k++) {
            double step[6] = {};
            step[k] = k < 3 ? 1e-6 : 1e-6 * scale;
            const std::array<double, 8> plus = residuals(moved(pose, step));
            step[k] = -step[k];
            const std::array<double, 8> minus = residuals(moved(pose, step));
            for (int i = 0; i < 8; i++) {
                jacobian[i][k] = (plus[i] - minus[i]) / (2.0 * std::fabs(step[k]));
            }
        }
        std::array<std::array<double, 6>, 6> normal{};
        std::array<double, 6> gradient{};
        for (int i = 0; i < 8; i++) {
            for (int a = 0; a < 6; a++) {
                gradient[a] -= jacobian[i][a] * r[i];
                for (int b = 0; b < 6; b++) {
                    normal[a][b] += jacobian[i][a] * jacobian[i][b];
                }
            }
        }
        std::array<double, 6> step = solveLinear(normal, gradient);
        bool improved = false;
        for (int halving = 0; halving < 40 && !improved; halving++) {
            const Pose candidate = moved(pose, step.data());
            const double candidate_error = sumSquares(candidate);
            if (candidate_error < error) {
                pose = candidate;
                error = candidate_error;
                improved = true;
            }
            for (double& v : step) {
                v *= 0.5;
            }
        }
        if (!improved) {
            break;
        }
    }
    return pose;
}

// The pose with the plane's normal reflected about the viewing ray to the
// marker's centre: the same image to first order.
Pose mirrored(const Pose& i_pose)
{
    const double n = distance(i_pose.t, {0, 0, 0});
    const double d[3] = {i_pose.t[0] / n, i_pose.t[1] / n, i_pose.t[2] / n};
    Pose out = i_pose;
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            double v = 0.0;
            for (int k = 0; k < 3; k++) {
                v += ((i == k ? 1.0 : 0.0) - 2.0 * d[i] * d[k]) * i_pose.r.m[k][j];
            }
            out.r.m[i][j] = j == 2 ? -v : v;
        }
    }
    return out;
}

// Which way the plane's normal leans from the viewing ray, as seen against
// i_reference's lean: positive on its side, negative across.
double sideOf(const Pose& i_pose, const Pose& i_reference)
{
    const double n = distance(i_reference.t, {0, 0, 0});
    const double d[3] = {i_reference.t[0] / n, i_reference.t[1] / n, i_reference.t[2] / n};
    const double along = i_reference.r.m[0][2] * d[0] + i_reference.r.m[1][2] * d[1] + i_reference.r.m[2][2] * d[2];
    double side = 0.0;
    for (int k = 0; k < 3; k++) {
        side += i_pose.r.m[k][2] * (i_reference.r.m[k][2] - along * d[k]);
    }
    return side;
}

// Markers of i_min_size to i_max_size pixels across (their width over the
// depth, times the focal length), tilted by i_min_tilt to i_max_tilt
// radians from facing the camera, in any direction and in-plane turn, with
// all four corners inside the 640 x 480 frame.
struct SceneRange
{
    double min_size;
    double max_size;
    double min_tilt;
    double max_tilt;
};

Pose randomPoseInView(std::mt19937& io_rng, const SceneRange& i_range, double i_width)
{
    for (;;) {
        Pose pose;
        pose.r = randomFacingRotation(io_rng, i_range.min_tilt, i_range.max_tilt);
        const double size = uniform(io_rng, i_range.min_size, i_range.max_size);
        pose.t[2] = FOCAL * i_width / size;
        const double u = uniform(io_rng, 0.0, 640.0);
        const double v = uniform(io_rng, 0.0, 480.0);
        pose.t[0] = (u - 320.0) / FOCAL * pose.t[2];
        pose.t[1] = (v - 240.0) / FOCAL * pose.t[2];
        const Corners corners = cornersOf(CAMERA_P, pose, i_width, 0.0, io_rng);
        const bool inside = std::all_of(corners.begin(), corners.end(), [](const std::array<double, 2>& i_c) {
            return i_c[0] >= 0.0 && i_c[0] <= 640.0 && i_c[1] >= 0.0 && i_c[1] <= 480.0;
        });
        if (inside) {
            return pose;
        }
    }
}

double median(std::vector<double> i_values)
{
    std::nth_element(i_values.begin(), i_values.begin() + i_values.size() / 2, i_values.end());
    return i_values[i_values.size() / 2];
}

struct Outcome
{
    bool solved;
    Pose pose;
    double error;
    double ambiguity;
};

Outcome solveWith(const VoARPlanarPose& i_solver, const Corners& i_corners, double i_width)
{
    double corners[4][2];
    for (int i = 0; i < 4; i++) {
        corners[i][0] = i_corners[i][0];
        corners[i][1] = i_corners[i][1];
    }
    VoARTransMatResult result;
    Outcome outcome{};
    outcome.solved = i_solver.solve(corners, i_width, &result, &outcome.error, &outcome.ambiguity);
    if (outcome.solved) {
        EXPECT_TRUE(result.has_value);
        outcome.pose = poseOf(result);
    }
    return outcome;
}

// The solver for the test camera (640 x 480, focal length 700 pixels).
class PlanarPoseTest : public ::testing::Test
{
protected:
    PlanarPoseTest() : _rng(seedOfCurrentTest()), _projection(projectionOf(CAMERA_P)), _solver(&_projection) {}

    Outcome solve(const Corners& i_corners, double i_width = MARKER_WIDTH) const
    {
        return solveWith(_solver, i_corners, i_width);
    }

    std::mt19937 _rng;
    VoARPerspectiveProjectionMatrix _projection;
    VoARPlanarPose _solver;
};

struct ExactCase
{
    const char* name;
    SceneRange range;
    double width;
};

inline void PrintTo(const ExactCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

class PlanarPoseExactTest : public PlanarPoseTest, public ::testing::WithParamInterface<ExactCase>
{
};

}  // namespace

// Corners projected from a known pose give that pose back, a proper
// rotation, and an error of rounding only; where the marker is tilted the
// other side of the ambiguity fits clearly worse.
TEST_P(PlanarPoseExactTest, ExactCornersGiveThePose)
{
    const ExactCase& exact = GetParam();
    for (int trial = 0; trial < 200; trial++) {
        const Pose truth = randomPoseInView(_rng, exact.range, exact.width);
        const Outcome outcome = solve(cornersOf(CAMERA_P, truth, exact.width, 0.0, _rng), exact.width);
        ASSERT_TRUE(outcome.solved) << "trial " << trial;
        EXPECT_LT(rotationAngle(truth.r, outcome.pose.r), EXACT) << "trial " << trial;
        EXPECT_LT(relativeTranslationError(truth, outcome.pose), EXACT) << "trial " << trial;
        EXPECT_LT(outcome.error, EXACT) << "trial " << trial;
        expectProperRotation(outcome.pose.r);
        if (exact.range.min_tilt >= 10 * DEGREE) {
            EXPECT_LT(outcome.ambiguity, 1e-6) << "trial " << trial;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, PlanarPoseExactTest,
    ::testing::Values(ExactCase{"Facing", {40, 400, 0.0, 0.0}, MARKER_WIDTH},
                      ExactCase{"NearlyFacing", {40, 400, 1e-6, 1e-3}, MARKER_WIDTH},
                      ExactCase{"Tilted", {40, 400, 10 * DEGREE, 60 * DEGREE}, MARKER_WIDTH},
                      ExactCase{"Steep", {40, 400, 60 * DEGREE, 85 * DEGREE}, MARKER_WIDTH},
                      ExactCase{"Small", {20, 40, 10 * DEGREE, 60 * DEGREE}, MARKER_WIDTH},
                      ExactCase{"Large", {400, 480, 10 * DEGREE, 50 * DEGREE}, MARKER_WIDTH},
                      ExactCase{"WidthOne", {40, 400, 10 * DEGREE, 60 * DEGREE}, 1.0},
                      ExactCase{"WidthMillion", {40, 400, 10 * DEGREE, 60 * DEGREE}, 1e6}),
    [](const ::testing::TestParamInfo<ExactCase>& i_info) { return std::string(i_info.param.name); });

namespace {

class PlanarPoseNoiseTest : public PlanarPoseTest, public ::testing::WithParamInterface<double>
{
};

}  // namespace

// Markers 40 to 400 pixels across, tilted up to 60 degrees, anywhere in the
// frame, with Gaussian corner noise of the parameter's pixels. The target
// at 0.05 pixel (median translation error 0.05 % of the distance, median
// rotation error 0.15 degree) grows in proportion to the noise. Beyond it:
// the solver's error is never above that of the local minimum next to the
// truth (it is the least-squares pose, so it cannot be the limit), and it
// is at least as close to the truth as VoARTransMat on the same corners.
TEST_P(PlanarPoseNoiseTest, NoisyCornersMeetTheAccuracyTarget)
{
    const double noise = GetParam();
    VoARParam param;
    setTestCamera(&param);
    VoARTransMat grid_search(&param);
    std::vector<double> translation_errors;
    std::vector<double> rotation_errors;
    std::vector<double> grid_translation_errors;
    std::vector<double> grid_rotation_errors;
    for (int trial = 0; trial < 1000; trial++) {
        const Pose truth = randomPoseInView(_rng, {40, 400, 0.0, 60 * DEGREE}, MARKER_WIDTH);
        const Corners corners = cornersOf(CAMERA_P, truth, MARKER_WIDTH, noise, _rng);
        const Outcome outcome = solve(corners);
        ASSERT_TRUE(outcome.solved) << "trial " << trial;
        expectProperRotation(outcome.pose.r);
        EXPECT_NEAR(outcome.error, rmsError(CAMERA_P, outcome.pose, corners, MARKER_WIDTH), 1e-12);
        const double near_truth = rmsError(CAMERA_P, localMinimum(CAMERA_P, corners, MARKER_WIDTH, truth), corners,
                                           MARKER_WIDTH);
        EXPECT_LE(outcome.error, near_truth * (1.0 + 1e-9)) << "trial " << trial;
        translation_errors.push_back(relativeTranslationError(truth, outcome.pose));
        rotation_errors.push_back(rotationAngle(truth.r, outcome.pose.r));

        Vertices vertices;
        for (int i = 0; i < 4; i++) {
            vertices[i] = {corners[i][0], corners[i][1]};
        }
        const VoARSquare square = squareFromVertices(vertices);
        VoARTransMatResult grid_result;
        grid_search.computePose(&square, 0, MARKER_WIDTH, &grid_result);
        grid_translation_errors.push_back(relativeTranslationError(truth, poseOf(grid_result)));
        grid_rotation_errors.push_back(rotationAngle(truth.r, rotationPart(grid_result)));
    }
    const double scale = noise / 0.05;
    EXPECT_LE(median(translation_errors), 0.0005 * scale);
    EXPECT_LE(median(rotation_errors), 0.15 * DEGREE * scale);
    EXPECT_LE(median(translation_errors), median(grid_translation_errors));
    EXPECT_LE(median(rotation_errors), median(grid_rotation_errors));
}

INSTANTIATE_TEST_SUITE_P(CornerNoise, PlanarPoseNoiseTest, ::testing::Values(0.05, 0.2, 0.5),
                         [](const ::testing::TestParamInfo<double>& i_info) {
                             return "Sigma" + std::to_string(static_cast<int>(std::lround(i_info.param * 100))) +
                                    "Hundredths";
                         });

// Small, tilted markers (weak perspective) have two distinct minima, one on
// each side of the viewing ray, which descent from the truth and from its
// mirror image find independently: the solver returns the lower one, and
// its error over the ambiguity is the other one's.
TEST_F(PlanarPoseTest, AmbiguityComparesTheTwoMinima)
{
    for (int trial = 0; trial < 100; trial++) {
        const Pose truth = randomPoseInView(_rng, {50, 120, 30 * DEGREE, 50 * DEGREE}, MARKER_WIDTH);
        const Corners corners = cornersOf(CAMERA_P, truth, MARKER_WIDTH, 0.2, _rng);
        Pose lower = localMinimum(CAMERA_P, corners, MARKER_WIDTH, truth);
        Pose higher = localMinimum(CAMERA_P, corners, MARKER_WIDTH, mirrored(truth));
        ASSERT_LT(sideOf(higher, lower), 0.0) << "trial " << trial << ": the mirror has no minimum of its own";
        if (rmsError(CAMERA_P, higher, corners, MARKER_WIDTH) < rmsError(CAMERA_P, lower, corners, MARKER_WIDTH)) {
            std::swap(lower, higher);
        }
        const double lower_error = rmsError(CAMERA_P, lower, corners, MARKER_WIDTH);
        const double higher_error = rmsError(CAMERA_P, higher, corners, MARKER_WIDTH);

        const Outcome outcome = solve(corners);
        ASSERT_TRUE(outcome.solved) << "trial " << trial;
        EXPECT_LT(rotationAngle(lower.r, outcome.pose.r), 1e-6) << "trial " << trial;
        EXPECT_LT(relativeTranslationError(lower, outcome.pose), 1e-6) << "trial " << trial;
        EXPECT_NEAR(outcome.error, lower_error, 1e-9 * lower_error) << "trial " << trial;
        EXPECT_NEAR(outcome.error / outcome.ambiguity, higher_error, 1e-6 * higher_error) << "trial " << trial;
    }
}

namespace {

struct AmbiguityCase
{
    const char* name;
    double size;
    double tilt;
    double noise;
    // Bounds on the median ambiguity over the trials.
    double low;
    double high;
};

inline void PrintTo(const AmbiguityCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

class PlanarPoseAmbiguityTest : public PlanarPoseTest, public ::testing::WithParamInterface<AmbiguityCase>
{
};

}  // namespace

// A small marker facing the camera shows little of which way it leans, so
// the two sides fit almost alike; a near one, or one tilted strongly, shows
// it plainly. Markers near the image centre, any in-plane turn.
TEST_P(PlanarPoseAmbiguityTest, AmbiguityFollowsHowClearlyThePoseShows)
{
    const AmbiguityCase& ambiguity = GetParam();
    std::vector<double> values;
    for (int trial = 0; trial < 200; trial++) {
        Pose truth;
        truth.r = randomFacingRotation(_rng, ambiguity.tilt, ambiguity.tilt);
        truth.t[2] = FOCAL * MARKER_WIDTH / ambiguity.size;
        truth.t[0] = uniform(_rng, -0.05, 0.05) * truth.t[2];
        truth.t[1] = uniform(_rng, -0.05, 0.05) * truth.t[2];
        const Outcome outcome = solve(cornersOf(CAMERA_P, truth, MARKER_WIDTH, ambiguity.noise, _rng));
        ASSERT_TRUE(outcome.solved) << "trial " << trial;
        EXPECT_GE(outcome.ambiguity, 0.0) << "trial " << trial;
        EXPECT_LE(outcome.ambiguity, 1.0) << "trial " << trial;
        values.push_back(outcome.ambiguity);
    }
    EXPECT_GE(median(values), ambiguity.low);
    EXPECT_LE(median(values), ambiguity.high);
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, PlanarPoseAmbiguityTest,
    ::testing::Values(AmbiguityCase{"SmallFacing", 40, 0.0, 0.2, 0.4, 1.0},
                      AmbiguityCase{"LargeFacing", 400, 0.0, 0.05, 0.0, 0.05},
                      AmbiguityCase{"SmallTilted", 60, 40 * DEGREE, 0.2, 0.02, 0.3},
                      AmbiguityCase{"NearTilted", 350, 45 * DEGREE, 0.2, 0.0, 0.01}),
    [](const ::testing::TestParamInfo<AmbiguityCase>& i_info) { return std::string(i_info.param.name); });

namespace {

class PlanarPoseCameraTest : public PlanarPoseTest, public ::testing::WithParamInterface<Camera>
{
};

const Matrix SKEWED_K = {{{820, 3, 300}, {0, 760, 250}, {0, 0, 1}}};

}  // namespace

// Cameras whose matrix has a fourth column (the pose's frame is not at the
// projection centre), skew, unequal focal lengths, a turned frame (K not
// triangular) or a negative scale: exact corners still give the pose.
TEST_P(PlanarPoseCameraTest, AnyCameraGivesThePose)
{
    const Camera& camera = GetParam();
    const VoARPerspectiveProjectionMatrix projection = projectionOf(camera.p);
    const VoARPlanarPose solver(&projection);
    for (int trial = 0; trial < 100; trial++) {
        Pose truth;
        truth.r = randomFacingRotation(_rng, 0.0, 60 * DEGREE);
        truth.t[2] = uniform(_rng, 150.0, 1200.0);
        truth.t[0] = uniform(_rng, -0.2, 0.2) * truth.t[2];
        truth.t[1] = uniform(_rng, -0.15, 0.15) * truth.t[2];
        const Outcome outcome = solveWith(solver, cornersOf(camera.p, truth, MARKER_WIDTH, 0.0, _rng), MARKER_WIDTH);
        ASSERT_TRUE(outcome.solved) << "trial " << trial;
        EXPECT_LT(rotationAngle(truth.r, outcome.pose.r), EXACT) << "trial " << trial;
        EXPECT_LT(relativeTranslationError(truth, outcome.pose, camera.centre), EXACT) << "trial " << trial;
        EXPECT_LT(outcome.error, EXACT) << "trial " << trial;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, PlanarPoseCameraTest,
    ::testing::Values(makeCamera("Plain", TEST_K, IDENTITY, {0, 0, 0}),
                      makeCamera("StereoRight", TEST_K, IDENTITY, {-60, 0, 0}),
                      makeCamera("Shifted", TEST_K, IDENTITY, {10, -20, 30}),
                      makeCamera("Skewed", SKEWED_K, IDENTITY, {5, 5, -20}),
                      makeCamera("Turned", TEST_K, rotationAbout({0.27, 0.53, 0.80}, 0.1), {15, 0, 10}),
                      makeCamera("NegativeScale", TEST_K, IDENTITY, {10, -20, 30}, -0.5)),
    [](const ::testing::TestParamInfo<Camera>& i_info) { return std::string(i_info.param.name); });

TEST(PlanarPoseCameraCheckTest, SingularCameraIsRefused)
{
    const double flat[12] = {700, 0, 320, 0, 0, 700, 240, 0, 0, 0, 0, 1};
    const double rank_two[12] = {700, 0, 320, 0, 0, 700, 240, 0, 700, 700, 560, 0};
    const double not_finite[12] = {700, 0, 320, 0, 0, NOT_A_NUMBER, 240, 0, 0, 0, 1, 0};
    const double infinite_shift[12] = {700, 0, 320, INFINITE, 0, 700, 240, 0, 0, 0, 1, 0};
    for (const double* p : {flat, rank_two, not_finite, infinite_shift}) {
        const VoARPerspectiveProjectionMatrix projection = projectionOf(p);
        EXPECT_THROW(VoARPlanarPose solver(&projection), VoARException);
    }
}

namespace {

// A valid square about 100 pixels across, facing the camera.
constexpr Corners SQUARE = {{{270, 190}, {370, 190}, {370, 290}, {270, 290}}};

struct DegenerateCase
{
    const char* name;
    Corners corners;
    double width;
};

inline void PrintTo(const DegenerateCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

class PlanarPoseDegenerateTest : public PlanarPoseTest, public ::testing::WithParamInterface<DegenerateCase>
{
};

}  // namespace

// Nothing to solve: false, and every output as it was.
TEST_P(PlanarPoseDegenerateTest, DegenerateInputIsRefused)
{
    const DegenerateCase& degenerate = GetParam();
    double corners[4][2];
    for (int i = 0; i < 4; i++) {
        corners[i][0] = degenerate.corners[i][0];
        corners[i][1] = degenerate.corners[i][1];
    }
    VoARTransMatResult pose;
    const double before[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    pose.setValue(before);
    double error = -1.0;
    double ambiguity = -2.0;
    EXPECT_FALSE(_solver.solve(corners, degenerate.width, &pose, &error, &ambiguity));
    double after[12];
    pose.getValue(after);
    for (int k = 0; k < 12; k++) {
        EXPECT_EQ(after[k], before[k]) << "element " << k;
    }
    EXPECT_FALSE(pose.has_value);
    EXPECT_EQ(error, -1.0);
    EXPECT_EQ(ambiguity, -2.0);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, PlanarPoseDegenerateTest,
    ::testing::Values(
        DegenerateCase{"AllOnALine", {{{100, 100}, {200, 150}, {300, 200}, {400, 250}}}, MARKER_WIDTH},
        DegenerateCase{"ThreeOnALine", {{{100, 100}, {200, 100}, {300, 100}, {150, 200}}}, MARKER_WIDTH},
        // The sine at corner 1 is 1e-10, under the solver's 1e-9.
        DegenerateCase{"ThreeNearlyOnALine", {{{100, 100}, {200, 100}, {300, 100 + 1e-8}, {150, 200}}}, MARKER_WIDTH},
        DegenerateCase{"TwoAtOnePoint", {{{270, 190}, {270, 190}, {370, 290}, {270, 290}}}, MARKER_WIDTH},
        DegenerateCase{"AllAtOnePoint", {{{300, 200}, {300, 200}, {300, 200}, {300, 200}}}, MARKER_WIDTH},
        DegenerateCase{"NotANumber", {{{270, 190}, {370, 190}, {NOT_A_NUMBER, 290}, {270, 290}}}, MARKER_WIDTH},
        DegenerateCase{"Infinite", {{{270, 190}, {370, 190}, {370, 290}, {270, INFINITE}}}, MARKER_WIDTH},
        DegenerateCase{"ZeroWidth", SQUARE, 0.0}, DegenerateCase{"NegativeWidth", SQUARE, -MARKER_WIDTH},
        DegenerateCase{"WidthNotANumber", SQUARE, NOT_A_NUMBER}, DegenerateCase{"InfiniteWidth", SQUARE, INFINITE}),
    [](const ::testing::TestParamInfo<DegenerateCase>& i_info) { return std::string(i_info.param.name); });

// The same valid square solves: the refusals above come from the faults.
TEST_F(PlanarPoseTest, TheValidSquareSolves)
{
    EXPECT_TRUE(solve(SQUARE).solved);
}

// A marker behind the camera images exactly as the pose with its centre
// reflected through the camera and turned half round in its plane
// (R diag(-1, -1, 1), -t): that pose, in front, is the one returned.
TEST_F(PlanarPoseTest, MarkerBehindTheCameraIsSeenInFront)
{
    const Matrix half_turn = {{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}};
    for (int trial = 0; trial < 50; trial++) {
        const Pose in_front = randomPoseInView(_rng, {40, 400, 0.0, 60 * DEGREE}, MARKER_WIDTH);
        const Pose behind{product(in_front.r, half_turn), {-in_front.t[0], -in_front.t[1], -in_front.t[2]}};
        const Outcome outcome = solve(cornersOf(CAMERA_P, behind, MARKER_WIDTH, 0.0, _rng));
        ASSERT_TRUE(outcome.solved) << "trial " << trial;
        EXPECT_GT(outcome.pose.t[2], 0.0);
        EXPECT_LT(rotationAngle(in_front.r, outcome.pose.r), EXACT) << "trial " << trial;
        EXPECT_LT(relativeTranslationError(in_front, outcome.pose), EXACT) << "trial " << trial;
    }
}

// A camera 600 units behind the pose's origin (P = K [I | (0, 0, 600)])
// and a tilted marker about 600 units in front of it: its centre moves
// through t_z = 0 of the pose's frame. Both minima in front: the better one;
// only the mirror in front: the mirror, with ambiguity 0; both behind: false.
// Never a pose with t_z <= 0.
TEST_F(PlanarPoseTest, NoPoseBehindTheCameraIsReturned)
{
    const Camera camera = makeCamera("Behind", TEST_K, IDENTITY, {0, 0, 600});
    const VoARPerspectiveProjectionMatrix projection = projectionOf(camera.p);
    const VoARPlanarPose solver(&projection);
    int both_in_front = 0;
    int one_in_front = 0;
    int none_in_front = 0;
    for (int step = 0; step <= 80; step++) {
        const Pose truth{facingRotation(0.3, 0.7, 50 * DEGREE), {20.0, -10.0, -10.0 + 0.25 * step}};
        const Outcome outcome = solveWith(solver, cornersOf(camera.p, truth, MARKER_WIDTH, 0.05, _rng), MARKER_WIDTH);
        if (!outcome.solved) {
            none_in_front++;
            EXPECT_LT(truth.t[2], 0.0) << "step " << step;
            continue;
        }
        EXPECT_GT(outcome.pose.t[2], 0.0) << "step " << step;
        if (outcome.ambiguity == 0.0) {
            one_in_front++;
            EXPECT_GT(rotationAngle(truth.r, outcome.pose.r), 10 * DEGREE) << "step " << step;
        } else {
            both_in_front++;
            EXPECT_LT(rotationAngle(truth.r, outcome.pose.r), 1 * DEGREE) << "step " << step;
        }
    }
    EXPECT_GT(both_in_front, 0);
    EXPECT_GT(one_in_front, 0);
    EXPECT_GT(none_in_front, 0);
}
