#include "VoARPoseFilter.h"

#include <cmath>

namespace VoTrack {

namespace {

constexpr double PI = 3.14159265358979323846;
// Below this sine of the angle, a rotation's vector is read from its
// antisymmetric part alone (the angle equals its sine to 1e-16) or, near a
// half turn, from its symmetric part.
constexpr double SMALL_SINE = 1e-8;

using Matrix3 = double[3][3];

// R = exp([w]x), the rotation by |w| radians about w (Rodrigues).
void rotationOfVector(const double i_w[3], Matrix3 o_r)
{
    const double angle = std::sqrt(i_w[0] * i_w[0] + i_w[1] * i_w[1] + i_w[2] * i_w[2]);
    // sin(a) / a and (1 - cos(a)) / a^2, by their series for tiny angles.
    const double a = angle < SMALL_SINE ? 1.0 : std::sin(angle) / angle;
    const double b = angle < SMALL_SINE ? 0.5 : (1.0 - std::cos(angle)) / (angle * angle);
    const double w[3][3] = {{0.0, -i_w[2], i_w[1]}, {i_w[2], 0.0, -i_w[0]}, {-i_w[1], i_w[0], 0.0}};
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            const double w_squared = w[i][0] * w[0][j] + w[i][1] * w[1][j] + w[i][2] * w[2][j];
            o_r[i][j] = (i == j ? 1.0 : 0.0) + a * w[i][j] + b * w_squared;
        }
    }
}

// The rotation vector w of a rotation R = exp([w]x), |w| from 0 to pi.
void vectorOfRotation(const Matrix3 i_r, double o_w[3])
{
    // (R - R^T) / 2 = sin(a) [axis]x and trace R = 1 + 2 cos(a).
    const double v[3] = {0.5 * (i_r[2][1] - i_r[1][2]), 0.5 * (i_r[0][2] - i_r[2][0]), 0.5 * (i_r[1][0] - i_r[0][1])};
    const double sine = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    const double cosine = 0.5 * (i_r[0][0] + i_r[1][1] + i_r[2][2] - 1.0);
    if (sine >= SMALL_SINE || cosine > 0.0) {
        const double scale = sine < SMALL_SINE ? 1.0 : std::atan2(sine, cosine) / sine;
        for (int k = 0; k < 3; k++) {
            o_w[k] = scale * v[k];
        }
        return;
    }
    // A half turn: R + I = 2 axis axis^T; its largest column is along the axis.
    int column = 0;
    for (int k = 1; k < 3; k++) {
        if (i_r[k][k] > i_r[column][column]) {
            column = k;
        }
    }
    double axis[3];
    for (int k = 0; k < 3; k++) {
        axis[k] = i_r[k][column] + (k == column ? 1.0 : 0.0);
    }
    const double length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    for (int k = 0; k < 3; k++) {
        o_w[k] = PI * axis[k] / length;
    }
}

// Gram-Schmidt on the rows, so that rounding does not build up over a long
// sequence of products.
void orthonormalise(Matrix3 io_r)
{
    double* x = io_r[0];
    double* y = io_r[1];
    const double x_length = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
    for (int k = 0; k < 3; k++) {
        x[k] /= x_length;
    }
    const double along = x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
    for (int k = 0; k < 3; k++) {
        y[k] -= along * x[k];
    }
    const double y_length = std::sqrt(y[0] * y[0] + y[1] * y[1] + y[2] * y[2]);
    for (int k = 0; k < 3; k++) {
        y[k] /= y_length;
    }
    io_r[2][0] = x[1] * y[2] - x[2] * y[1];
    io_r[2][1] = x[2] * y[0] - x[0] * y[2];
    io_r[2][2] = x[0] * y[1] - x[1] * y[0];
}

}  // namespace

VoARPoseFilter::VoARPoseFilter(const TParameters& i_parameters, double i_marker_width)
    : _parameters(i_parameters),
      _marker_width(i_marker_width),
      _primed(false),
      _rotation(),
      _translation(),
      _rotation_speed(),
      _translation_speed()
{
}

void VoARPoseFilter::filter(const VoARDoubleMatrix34& i_pose, double i_dt, VoARDoubleMatrix34* o_pose)
{
    const double measured[3][3] = {
        {i_pose.m00, i_pose.m01, i_pose.m02}, {i_pose.m10, i_pose.m11, i_pose.m12}, {i_pose.m20, i_pose.m21, i_pose.m22}};
    const double measured_translation[3] = {i_pose.m03, i_pose.m13, i_pose.m23};
    if (!_primed || !(i_dt > 0.0)) {
        for (int i = 0; i < 3; i++) {
            for (int j = 0; j < 3; j++) {
                _rotation[i][j] = measured[i][j];
            }
            _translation[i] = measured_translation[i];
            _rotation_speed[i] = TSpeed{0.0, 0.0};
            _translation_speed[i] = TSpeed{0.0, 0.0};
        }
        _primed = true;
        store(o_pose);
        return;
    }
    // The turn from the smoothed rotation to the measured one, in the
    // camera frame: measured = turn x smoothed.
    double turn[3][3];
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            turn[i][j] = measured[i][0] * _rotation[j][0] + measured[i][1] * _rotation[j][1] +
                         measured[i][2] * _rotation[j][2];
        }
    }
    double change[3];
    vectorOfRotation(turn, change);
    for (int k = 0; k < 3; k++) {
        change[k] *= step(change[k], _parameters.rotation_beta, i_dt, &_rotation_speed[k]);
    }
    double partial[3][3];
    rotationOfVector(change, partial);
    double smoothed[3][3];
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            smoothed[i][j] =
                partial[i][0] * _rotation[0][j] + partial[i][1] * _rotation[1][j] + partial[i][2] * _rotation[2][j];
        }
    }
    orthonormalise(smoothed);
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            _rotation[i][j] = smoothed[i][j];
        }
    }
    for (int k = 0; k < 3; k++) {
        const double moved = measured_translation[k] - _translation[k];
        // Speeds against the marker's apparent size: across, in marker widths
        // per second; in depth, relative (the distance's share per second).
        const double relative = k == 2 ? moved / std::fabs(_translation[2]) : moved / _marker_width;
        const double beta = k == 2 ? _parameters.depth_beta : _parameters.translation_beta;
        _translation[k] += step(relative, beta, i_dt, &_translation_speed[k]) * moved;
    }
    store(o_pose);
}

double VoARPoseFilter::smoothing(double i_cutoff_hz, double i_dt)
{
    const double omega_dt = 2.0 * PI * i_cutoff_hz * i_dt;
    return omega_dt / (1.0 + omega_dt);
}

double VoARPoseFilter::step(double i_change, double i_beta, double i_dt, TSpeed* io_speed) const
{
    const double speed = i_change / i_dt;
    const double share = smoothing(_parameters.derivative_cutoff_hz, i_dt);
    io_speed->filtered += share * (speed - io_speed->filtered);
    // The low-passed speed lags the motion, and passes through 0 some frames
    // after the marker turns back, when it is moving again: its size, held
    // and let decay at the speeds' own rate, keeps the filter open through
    // that frame instead of letting the pose fall behind by a frame's motion.
    io_speed->envelope = std::fmax(std::fabs(io_speed->filtered), (1.0 - share) * io_speed->envelope);
    return smoothing(_parameters.min_cutoff_hz + i_beta * io_speed->envelope, i_dt);
}

void VoARPoseFilter::store(VoARDoubleMatrix34* o_pose) const
{
    const double values[VoARDoubleMatrix34::ELEMENT_COUNT] = {
        _rotation[0][0], _rotation[0][1], _rotation[0][2], _translation[0],
        _rotation[1][0], _rotation[1][1], _rotation[1][2], _translation[1],
        _rotation[2][0], _rotation[2][1], _rotation[2][2], _translation[2]};
    o_pose->setValue(values);
}

}  // namespace VoTrack
