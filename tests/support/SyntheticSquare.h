#pragma once

// Squares of a marker seen under a known pose through a known camera, built
// without any of the pose code: the independent construction the pose tests
// check against. Header-only.

#include <array>
#include <cmath>
#include <cstdint>
#include <random>

#include "TVoARDoublePoint_t.h"
#include "VoARDoubleMatrix33.h"
#include "VoARParam.h"
#include "VoARSquare.h"

namespace VoTrackTest {

constexpr double PI = 3.14159265358979323846;
// The test camera: 640 x 480, focal length 700 pixels, principal point (320, 240).
constexpr double CAMERA_P[12] = {700, 0, 320, 0, 0, 700, 240, 0, 0, 0, 1, 0};
constexpr double MARKER_WIDTH = 80.0;

// Rotation or general 3 x 3 matrix, m[row][column].
struct Matrix
{
    double m[3][3];
};

inline Matrix product(const Matrix& i_a, const Matrix& i_b)
{
    Matrix out{};
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            for (int k = 0; k < 3; k++) {
                out.m[i][j] += i_a.m[i][k] * i_b.m[k][j];
            }
        }
    }
    return out;
}

// Right-handed rotation of i_angle radians about the unit axis i_axis (Rodrigues).
inline Matrix rotationAbout(const std::array<double, 3>& i_axis, double i_angle)
{
    const double c = std::cos(i_angle);
    const double s = std::sin(i_angle);
    const double x = i_axis[0];
    const double y = i_axis[1];
    const double z = i_axis[2];
    return {{{c + x * x * (1 - c), x * y * (1 - c) - z * s, x * z * (1 - c) + y * s},
             {y * x * (1 - c) + z * s, c + y * y * (1 - c), y * z * (1 - c) - x * s},
             {z * x * (1 - c) - y * s, z * y * (1 - c) + x * s, c + z * z * (1 - c)}}};
}

// The rotation whose angles (a, b, c) the pose code searches in:
// Rz(a) Ry(b) Rz(c - a), its third column (cos a sin b, sin a sin b, cos b).
inline Matrix rotationFromAngles(double i_a, double i_b, double i_c)
{
    return product(product(rotationAbout({0, 0, 1}, i_a), rotationAbout({0, 1, 0}, i_b)),
                   rotationAbout({0, 0, 1}, i_c - i_a));
}

// A marker facing the camera (its x axis to the right, y up on the screen,
// so that its corners run clockwise in the image), turned by i_in_plane about
// the optical axis and tilted by i_tilt about the in-marker axis at angle
// i_tilt_axis from its x axis.
inline Matrix facingRotation(double i_in_plane, double i_tilt_axis, double i_tilt)
{
    const Matrix facing = {{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}};
    return product(product(rotationAbout({0, 0, 1}, i_in_plane), facing),
                   rotationAbout({std::cos(i_tilt_axis), std::sin(i_tilt_axis), 0}, i_tilt));
}

struct Pose
{
    Matrix r;
    double t[3];
};

// Uniform in [i_low, i_high). Callers draw in separate statements so that a
// seed gives the same poses whatever order a compiler evaluates arguments in.
inline double uniform(std::mt19937& io_rng, double i_low, double i_high)
{
    return std::uniform_real_distribution<double>(i_low, i_high)(io_rng);
}

// Facing the camera, any in-plane rotation and tilt axis, tilted by
// [i_min_tilt, i_max_tilt) radians.
inline Matrix randomFacingRotation(std::mt19937& io_rng, double i_min_tilt, double i_max_tilt)
{
    const double in_plane = uniform(io_rng, 0.0, 2 * PI);
    const double tilt_axis = uniform(io_rng, 0.0, 2 * PI);
    const double tilt = uniform(io_rng, i_min_tilt, i_max_tilt);
    return facingRotation(in_plane, tilt_axis, tilt);
}

// rotationFromAngles with a and c anywhere and b in [i_min_b, i_max_b).
inline Matrix randomAngleRotation(std::mt19937& io_rng, double i_min_b, double i_max_b)
{
    const double a = uniform(io_rng, -PI, PI);
    const double b = uniform(io_rng, i_min_b, i_max_b);
    const double c = uniform(io_rng, -PI, PI);
    return rotationFromAngles(a, b, c);
}

// Depth 300 to 800 with the marker's centre inside the 640 x 480 view.
inline void placeInView(Pose* io_pose, std::mt19937& io_rng)
{
    io_pose->t[2] = uniform(io_rng, 300.0, 800.0);
    io_pose->t[0] = uniform(io_rng, -0.2, 0.2) * io_pose->t[2];
    io_pose->t[1] = uniform(io_rng, -0.15, 0.15) * io_pose->t[2];
}

// A marker facing the camera, tilted 0.05 to 1.2 radians, placed in view.
inline Pose randomFacingPose(std::mt19937& io_rng)
{
    Pose pose;
    pose.r = randomFacingRotation(io_rng, 0.05, 1.2);
    placeInView(&pose, io_rng);
    return pose;
}

using Vertices = std::array<VoTrack::TVoARDoublePoint_t, 4>;

// Corner i of a marker of width i_width in its own coordinates: (-w, w, 0),
// (w, w, 0), (w, -w, 0), (-w, -w, 0) with w = i_width / 2.
inline std::array<double, 3> markerCorner(int i_corner, double i_width)
{
    const double w = 0.5 * i_width;
    const double xs[4] = {-w, w, w, -w};
    const double ys[4] = {w, w, -w, -w};
    return {xs[i_corner], ys[i_corner], 0.0};
}

// Ideal pixel of a marker point under i_pose through CAMERA_P.
inline VoTrack::TVoARDoublePoint_t projectPoint(const Pose& i_pose, const std::array<double, 3>& i_point)
{
    double c[3];
    for (int i = 0; i < 3; i++) {
        c[i] = i_pose.r.m[i][0] * i_point[0] + i_pose.r.m[i][1] * i_point[1] + i_pose.r.m[i][2] * i_point[2] +
               i_pose.t[i];
    }
    double h[3];
    for (int i = 0; i < 3; i++) {
        h[i] = CAMERA_P[4 * i] * c[0] + CAMERA_P[4 * i + 1] * c[1] + CAMERA_P[4 * i + 2] * c[2] + CAMERA_P[4 * i + 3];
    }
    return {h[0] / h[2], h[1] / h[2]};
}

// The four corners' pixels in marker order, each coordinate moved by
// Gaussian noise of standard deviation i_noise pixels.
inline Vertices projectMarker(const Pose& i_pose, double i_width, double i_noise, std::mt19937& io_rng)
{
    std::normal_distribution<double> noise(0.0, 1.0);
    Vertices out;
    for (int i = 0; i < 4; i++) {
        out[i] = projectPoint(i_pose, markerCorner(i, i_width));
        if (i_noise > 0.0) {
            out[i].x += i_noise * noise(io_rng);
            out[i].y += i_noise * noise(io_rng);
        }
    }
    return out;
}

// The line through two points as (A, B, C) with B x + A y + C = 0 and
// (A, B) a unit vector, the detector's form.
inline void lineThrough(const double* i_from, const double* i_to, double* o_line)
{
    const double dx = i_to[0] - i_from[0];
    const double dy = i_to[1] - i_from[1];
    const double length = std::hypot(dx, dy);
    o_line[0] = -dx / length;
    o_line[1] = dy / length;
    o_line[2] = -(o_line[1] * i_from[0] + o_line[0] * i_from[1]);
}

// The detector's record of a square whose corners in marker order are
// i_vertices, stored so that pattern direction i_direction reads them back:
// marker corner i is square corner (i + 4 - i_direction) mod 4. Edge k is the
// line through square corners k and k + 1.
inline VoTrack::VoARSquare squareFromVertices(const Vertices& i_vertices, int i_direction = 0)
{
    VoTrack::VoARSquare square;
    for (int i = 0; i < 4; i++) {
        const int k = (i + 4 - i_direction) % 4;
        square.ideal_vertices[k][0] = i_vertices[i].x;
        square.ideal_vertices[k][1] = i_vertices[i].y;
        square.image_vertices[k][0] = static_cast<int32_t>(std::lround(i_vertices[i].x));
        square.image_vertices[k][1] = static_cast<int32_t>(std::lround(i_vertices[i].y));
    }
    for (int k = 0; k < 4; k++) {
        lineThrough(square.ideal_vertices[k], square.ideal_vertices[(k + 1) % 4], square.edge_lines[k]);
    }
    return square;
}

// Camera parameters of CAMERA_P without lens distortion.
inline void setTestCamera(VoTrack::VoARParam* o_param)
{
    VoTrack::TVoARParamFileRecord record{};
    record.x_size = 640;
    record.y_size = 480;
    for (int i = 0; i < 12; i++) {
        record.projection[i] = CAMERA_P[i];
    }
    const double no_distortion[4] = {320.0, 240.0, 0.0, 1.0};
    for (int i = 0; i < 4; i++) {
        record.distortion[i] = no_distortion[i];
    }
    o_param->setValue(record);
}

// The rotation part of a matrix record (VoARDoubleMatrix33 or 34 and their kinds).
template <class TMatrix>
Matrix rotationPart(const TMatrix& i_m)
{
    return {{{i_m.m00, i_m.m01, i_m.m02}, {i_m.m10, i_m.m11, i_m.m12}, {i_m.m20, i_m.m21, i_m.m22}}};
}

// The nine elements in row order, as setValue of a 3 x 3 record takes them.
inline std::array<double, 9> rowOrder(const Matrix& i_r)
{
    return {i_r.m[0][0], i_r.m[0][1], i_r.m[0][2], i_r.m[1][0], i_r.m[1][1],
            i_r.m[1][2], i_r.m[2][0], i_r.m[2][1], i_r.m[2][2]};
}

// Largest element difference between a rotation and the rotation part of a
// matrix record; NaN when either holds one.
template <class TMatrix>
double rotationDifference(const Matrix& i_expected, const TMatrix& i_actual)
{
    const Matrix actual = rotationPart(i_actual);
    double worst = 0.0;
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            const double d = std::fabs(i_expected.m[i][j] - actual.m[i][j]);
            if (d > worst || std::isnan(d)) {
                worst = d;
            }
        }
    }
    return worst;
}

}  // namespace VoTrackTest
