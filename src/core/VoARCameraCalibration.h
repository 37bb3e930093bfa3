#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace VoTrack {

// Estimates a camera from views of a plane whose points are known: focal
// lengths and principal point (no skew) and the lens distortion of the
// camera file's model (a centre and a radial coefficient, in units of 1e-8
// per squared pixel). The model's scale is held at 1: it stretches the
// frame about the distortion's centre exactly as larger focal lengths and a
// moved principal point do, so views cannot tell it apart from them.
//
// A closed-form start (each view's homography; the focal lengths from the
// homographies with the principal point at the frame's centre; each view's
// pose from its homography), then Levenberg-Marquardt on the distances in
// observed pixels between every measured point and the point projected
// through the camera, the lens and the view's pose, jointly over the camera
// and every view's pose. Views whose error is far above the others' are
// dropped and the rest solved again. Not for per-frame use: it allocates.
class VoARCameraCalibration
{
public:
    // Least points of a view: its homography needs four, a margin makes
    // the start steadier.
    static constexpr int32_t MIN_VIEW_POINTS = 8;
    // Least views: two fix the focal lengths; the principal point and the
    // lens need more.
    static constexpr int32_t MIN_VIEWS = 3;
    // A view is dropped when its RMS error exceeds this many times the
    // median view's, and DROP_FLOOR_PX.
    static constexpr double DROP_FACTOR = 3.0;
    static constexpr double DROP_FLOOR_PX = 1.0;
    static constexpr int32_t MAX_ITERATIONS = 100;

    // One view: plane points (x, y; z = 0) and where they are observed, in
    // pixels of the frame (pixel (x, y) centred on (x, y)).
    struct TView
    {
        std::vector<std::array<double, 2>> plane;
        std::vector<std::array<double, 2>> observed;
    };

    // fx, fy, cx, cy, distortion centre x, y, coefficient.
    static constexpr int32_t CAMERA_PARAMETERS = 7;
    struct TCamera
    {
        std::array<double, CAMERA_PARAMETERS> values;
    };

    struct TResult
    {
        TCamera camera;
        // One standard deviation of each camera value, from the residuals'
        // spread and the fit's curvature.
        TCamera uncertainty;
        // RMS over all points of the views used, in pixels.
        double rms_px;
        // Per view given: its RMS error (pixels), whether it was used, and
        // its pose (rotation row by row, translation) when it was.
        std::vector<double> view_rms_px;
        std::vector<bool> view_used;
        std::vector<std::array<double, 12>> view_poses;
    };

    // Returns false when fewer than MIN_VIEWS views of MIN_VIEW_POINTS points
    // or more are usable or no start can be found; o_result is then
    // unchanged.
    static bool calibrate(int32_t i_width, int32_t i_height, const std::vector<TView>& i_views, TResult* o_result);
};

}  // namespace VoTrack
