#include "VoARCameraDistortionFactor.h"

#include <cmath>

#include "VoARAssert.h"

namespace VoTrack {

VoARCameraDistortionFactor::VoARCameraDistortionFactor()
    : _center_x(0.0), _center_y(0.0), _coefficient(0.0), _scale(1.0)
{
}

VoARCameraDistortionFactor::~VoARCameraDistortionFactor() = default;

void VoARCameraDistortionFactor::setValue(const double* i_value)
{
    // observ2Ideal divides by the scale.
    VOTRACK_ASSERT(i_value[SCALE_INDEX] != 0.0, "src/core/VoARCameraDistortionFactor",
                   "i_value[SCALE_INDEX]!=0.0");
    _center_x = i_value[0];
    _center_y = i_value[1];
    _coefficient = i_value[2];
    _scale = i_value[3];
}

void VoARCameraDistortionFactor::getValue(double* o_value) const
{
    o_value[0] = _center_x;
    o_value[1] = _center_y;
    o_value[2] = _coefficient;
    o_value[3] = _scale;
}

void VoARCameraDistortionFactor::changeScale(double i_scale)
{
    // A zero scale would divide the coefficient by zero.
    VOTRACK_ASSERT(i_scale != 0.0, "src/core/VoARCameraDistortionFactor", "i_scale!=0.0");
    _center_x *= i_scale;
    _center_y *= i_scale;
    _coefficient /= i_scale * i_scale;
}

void VoARCameraDistortionFactor::ideal2Observ(const TVoARDoublePoint_t* i_in,
                                              TVoARDoublePoint_t* o_out) const
{
    const double x = (i_in->x - _center_x) * _scale;
    const double y = (i_in->y - _center_y) * _scale;
    if (x == 0.0 && y == 0.0) {
        o_out->x = _center_x;
        o_out->y = _center_y;
        return;
    }
    const double d = 1.0 - (_coefficient / COEFFICIENT_UNIT) * (x * x + y * y);
    o_out->x = x * d + _center_x;
    o_out->y = y * d + _center_y;
}

void VoARCameraDistortionFactor::ideal2ObservBatch(const TVoARDoublePoint_t* const* i_in,
                                                   TVoARDoublePoint_t* o_out,
                                                   int32_t i_count) const
{
    for (int32_t i = 0; i < i_count; i++) {
        ideal2Observ(i_in[i], &o_out[i]);
    }
}

void VoARCameraDistortionFactor::observ2Ideal(double i_x, double i_y,
                                              TVoARDoublePoint_t* o_out) const
{
    // Solves z * (1 - p * z^2) = q for the undistorted radius z, where q is
    // the observed distance from the centre, and scales the offset to match.
    double px = i_x - _center_x;
    double py = i_y - _center_y;
    const double p = _coefficient / COEFFICIENT_UNIT;
    double z02 = px * px + py * py;
    double z0 = std::sqrt(z02);
    const double q = z0;
    for (int i = 1; i <= NEWTON_ITERATIONS; i++) {
        if (z0 == 0.0) {
            px = 0.0;
            py = 0.0;
            break;
        }
        const double slope = 1.0 - 3.0 * p * z02;
        // A flat polynomial (beyond the model's turning radius) has no Newton
        // step; keep the current estimate instead of dividing by zero.
        if (slope == 0.0) {
            break;
        }
        const double z = z0 - ((1.0 - p * z02) * z0 - q) / slope;
        px = px * z / z0;
        py = py * z / z0;
        if (i == NEWTON_ITERATIONS) {
            break;
        }
        z02 = px * px + py * py;
        z0 = std::sqrt(z02);
    }
    o_out->x = px / _scale + _center_x;
    o_out->y = py / _scale + _center_y;
}

void VoARCameraDistortionFactor::observ2IdealBatch(const int32_t* i_x, const int32_t* i_y,
                                                   int32_t i_start, int32_t i_count,
                                                   double* o_x, double* o_y) const
{
    TVoARDoublePoint_t ideal;
    for (int32_t i = 0; i < i_count; i++) {
        observ2Ideal(i_x[i_start + i], i_y[i_start + i], &ideal);
        o_x[i] = ideal.x;
        o_y[i] = ideal.y;
    }
}

}  // namespace VoTrack
