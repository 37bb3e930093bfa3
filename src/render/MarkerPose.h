#pragma once

#include "Matrix3.h"
#include "VoARDoubleMatrix34.h"

namespace Markeye {

// Builds and compares marker poses (marker to camera coordinates, rotation
// in columns 0 to 2, translation in column 3) for scenes and their checks.
class MarkerPose
{
public:
    // Upright and facing the camera: rotation diag(1, -1, -1), translation
    // (i_x, i_y, i_z).
    static VoTrack::VoARDoubleMatrix34 facing(double i_x, double i_y, double i_z);
    // Rotation diag(1, -1, -1) x Rx(tilt_x) x Ry(tilt_y) x Rz(roll), angles in
    // degrees about the marker's own axes: roll turns the picture in its plane
    // (counter-clockwise on the screen for positive angles), then tilt_y turns
    // it about its vertical axis (positive: the right edge moves away from
    // the camera), then tilt_x about its horizontal axis (positive: the top
    // edge comes toward the camera).
    static VoTrack::VoARDoubleMatrix34 make(double i_roll_deg, double i_tilt_x_deg, double i_tilt_y_deg, double i_x,
                                            double i_y, double i_z);
    static VoTrack::VoARDoubleMatrix34 fromRotation(const Matrix3& i_rotation, double i_x, double i_y, double i_z);
    static Matrix3 rotationOf(const VoTrack::VoARDoubleMatrix34& i_pose);
    // Angle in degrees of the rotation that takes one pose's rotation to the
    // other's (0 to 180).
    static double rotationDifferenceDeg(const VoTrack::VoARDoubleMatrix34& i_a, const VoTrack::VoARDoubleMatrix34& i_b);
    // Camera coordinates of a point given in marker coordinates.
    static void toCamera(const VoTrack::VoARDoubleMatrix34& i_pose, const double* i_marker_point,
                         double* o_camera_point);
};

}  // namespace Markeye
