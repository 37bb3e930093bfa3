#include "RenderCamera.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "VoARCameraDistortionFactor.h"

namespace Markeye {

using VoTrack::TVoARDoublePoint_t;

namespace {

// Relative step at which the distortion inverse counts as converged: far
// below any pixel fraction, above the rounding of the iteration.
constexpr double INVERSE_TOLERANCE = 1e-13;

}  // namespace

RenderCamera RenderCamera::builtin()
{
    const double projection[12] = {700.0, 0.0, 320.0, 0.0, 0.0, 700.0, 240.0, 0.0, 0.0, 0.0, 1.0, 0.0};
    const double distortion[4] = {320.0, 240.0, 0.0, 1.0};
    return RenderCamera(640, 480, projection, distortion);
}

RenderCamera RenderCamera::fromParam(const VoTrack::VoARParam& i_param)
{
    const auto* distortion =
        dynamic_cast<const VoTrack::VoARCameraDistortionFactor*>(i_param.getDistortionFactor());
    if (distortion == nullptr) {
        throw std::invalid_argument("camera parameters without a radial distortion model");
    }
    double projection[VoTrack::VoARDoubleMatrix34::ELEMENT_COUNT];
    double factors[VoTrack::VoARCameraDistortionFactor::VALUE_COUNT];
    i_param.getProjectionMatrix()->getValue(projection);
    distortion->getValue(factors);
    return RenderCamera(i_param.getScreenSize()->w, i_param.getScreenSize()->h, projection, factors);
}

RenderCamera::RenderCamera(int32_t i_width, int32_t i_height, const double* i_projection,
                           const double* i_distortion)
    : _width(i_width),
      _height(i_height),
      _distortion_x(i_distortion[0]),
      _distortion_y(i_distortion[1]),
      _coefficient(i_distortion[2] / VoTrack::VoARCameraDistortionFactor::COEFFICIENT_UNIT),
      _scale(i_distortion[3]),
      _turning_radius(std::numeric_limits<double>::infinity()),
      _turning_observed(std::numeric_limits<double>::infinity())
{
    if (i_width <= 0 || i_height <= 0) {
        throw std::invalid_argument("camera size must be positive");
    }
    if (_scale == 0.0 || !std::isfinite(_scale)) {
        throw std::invalid_argument("camera distortion scale must be finite and non-zero");
    }
    _projection.setValue(i_projection);
    // The optical centre C solves M C = -p4.
    Matrix3 inverse;
    if (!getProjectionLeft().invert(&inverse)) {
        throw std::invalid_argument("camera projection matrix is singular");
    }
    double column[3];
    getProjectionColumn(column);
    inverse.apply(column, _center);
    for (double& c : _center) {
        c = -c;
    }
    // r (1 - p r^2) has its maximum at r = 1 / sqrt(3 p), worth 2/3 of r.
    if (_coefficient > 0.0) {
        _turning_radius = 1.0 / std::sqrt(3.0 * _coefficient);
        _turning_observed = _turning_radius * 2.0 / 3.0;
    }
}

Matrix3 RenderCamera::getProjectionLeft() const
{
    const VoTrack::VoARDoubleMatrix34& p = _projection;
    return Matrix3{{p.m00, p.m01, p.m02, p.m10, p.m11, p.m12, p.m20, p.m21, p.m22}};
}

void RenderCamera::getProjectionColumn(double* o_column) const
{
    o_column[0] = _projection.m03;
    o_column[1] = _projection.m13;
    o_column[2] = _projection.m23;
}

bool RenderCamera::cameraToIdeal(const double* i_point, TVoARDoublePoint_t* o_ideal) const
{
    const VoTrack::VoARDoubleMatrix34& p = _projection;
    const double w = p.m20 * i_point[0] + p.m21 * i_point[1] + p.m22 * i_point[2] + p.m23;
    if (!(w > 0.0)) {
        return false;
    }
    o_ideal->x = (p.m00 * i_point[0] + p.m01 * i_point[1] + p.m02 * i_point[2] + p.m03) / w;
    o_ideal->y = (p.m10 * i_point[0] + p.m11 * i_point[1] + p.m12 * i_point[2] + p.m13) / w;
    return true;
}

void RenderCamera::idealToObserved(const TVoARDoublePoint_t& i_ideal, TVoARDoublePoint_t* o_observed) const
{
    // observed - centre = s (ideal - centre) (1 - p r^2), r = |s (ideal - centre)|.
    const double x = (i_ideal.x - _distortion_x) * _scale;
    const double y = (i_ideal.y - _distortion_y) * _scale;
    const double d = 1.0 - _coefficient * (x * x + y * y);
    o_observed->x = x * d + _distortion_x;
    o_observed->y = y * d + _distortion_y;
}

bool RenderCamera::observedToIdeal(double i_x, double i_y, TVoARDoublePoint_t* o_ideal) const
{
    const double dx = i_x - _distortion_x;
    const double dy = i_y - _distortion_y;
    const double rho = std::sqrt(dx * dx + dy * dy);
    if (rho == 0.0) {
        o_ideal->x = _distortion_x;
        o_ideal->y = _distortion_y;
        return true;
    }
    if (rho >= _turning_observed) {
        return false;
    }
    // Solve f(r) = r (1 - p r^2) - rho = 0 from r = rho. f is increasing on
    // the principal branch and concave (p > 0) or convex (p < 0), so Newton
    // approaches the root from one side without overshooting.
    double r = rho;
    for (int i = 0; i < MAX_INVERSE_ITERATIONS; i++) {
        const double r2 = r * r;
        const double step = (r * (1.0 - _coefficient * r2) - rho) / (1.0 - 3.0 * _coefficient * r2);
        r -= step;
        if (std::fabs(step) <= INVERSE_TOLERANCE * r) {
            break;
        }
    }
    const double k = r / (rho * _scale);
    o_ideal->x = dx * k + _distortion_x;
    o_ideal->y = dy * k + _distortion_y;
    return true;
}

bool RenderCamera::isOnPrincipalBranch(const TVoARDoublePoint_t& i_ideal) const
{
    const double x = (i_ideal.x - _distortion_x) * _scale;
    const double y = (i_ideal.y - _distortion_y) * _scale;
    return std::sqrt(x * x + y * y) < _turning_radius;
}

}  // namespace Markeye
