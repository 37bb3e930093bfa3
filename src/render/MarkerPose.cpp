#include "MarkerPose.h"

#include <algorithm>
#include <cmath>

namespace Markeye {

namespace {

constexpr double PI = 3.141592653589793238463;

double radians(double i_degrees)
{
    return i_degrees * PI / 180.0;
}

}  // namespace

VoTrack::VoARDoubleMatrix34 MarkerPose::facing(double i_x, double i_y, double i_z)
{
    return make(0.0, 0.0, 0.0, i_x, i_y, i_z);
}

VoTrack::VoARDoubleMatrix34 MarkerPose::make(double i_roll_deg, double i_tilt_x_deg, double i_tilt_y_deg, double i_x,
                                             double i_y, double i_z)
{
    const Matrix3 upright{{1.0, 0.0, 0.0, 0.0, -1.0, 0.0, 0.0, 0.0, -1.0}};
    const Matrix3 rotation = upright * Matrix3::rotation(0, radians(i_tilt_x_deg)) *
                             Matrix3::rotation(1, radians(i_tilt_y_deg)) * Matrix3::rotation(2, radians(i_roll_deg));
    return fromRotation(rotation, i_x, i_y, i_z);
}

VoTrack::VoARDoubleMatrix34 MarkerPose::fromRotation(const Matrix3& i_rotation, double i_x, double i_y, double i_z)
{
    const double* r = i_rotation.m;
    const double value[12] = {r[0], r[1], r[2], i_x, r[3], r[4], r[5], i_y, r[6], r[7], r[8], i_z};
    VoTrack::VoARDoubleMatrix34 pose;
    pose.setValue(value);
    return pose;
}

Matrix3 MarkerPose::rotationOf(const VoTrack::VoARDoubleMatrix34& i_pose)
{
    return Matrix3{{i_pose.m00, i_pose.m01, i_pose.m02, i_pose.m10, i_pose.m11, i_pose.m12, i_pose.m20, i_pose.m21,
                    i_pose.m22}};
}

double MarkerPose::rotationDifferenceDeg(const VoTrack::VoARDoubleMatrix34& i_a, const VoTrack::VoARDoubleMatrix34& i_b)
{
    const Matrix3 relative = rotationOf(i_a).transposed() * rotationOf(i_b);
    // trace = 1 + 2 cos(angle); clamped against rounding just outside [-1, 1].
    const double cosine = std::clamp((relative.m[0] + relative.m[4] + relative.m[8] - 1.0) / 2.0, -1.0, 1.0);
    return std::acos(cosine) * 180.0 / PI;
}

void MarkerPose::toCamera(const VoTrack::VoARDoubleMatrix34& i_pose, const double* i_marker_point,
                          double* o_camera_point)
{
    rotationOf(i_pose).apply(i_marker_point, o_camera_point);
    o_camera_point[0] += i_pose.m03;
    o_camera_point[1] += i_pose.m13;
    o_camera_point[2] += i_pose.m23;
}

}  // namespace Markeye
