#pragma once

#include <cstdint>

#include "Matrix3.h"
#include "TVoARDoublePoint_t.h"
#include "VoARParam.h"

namespace Markeye {

// The camera a scene is rendered through: screen size, 3 x 4 projection
// matrix P (camera coordinates to ideal pixels) and the one-coefficient
// radial lens distortion (ideal to observed pixels). It carries its own copy
// of the distortion model, so rendered frames check the tracker's conversions
// instead of repeating them.
//
// Pixel (x, y) is centred on the image coordinates (x, y) and covers
// [x - 0.5, x + 0.5) x [y - 0.5, y + 0.5). A camera-frame point is in front of
// the camera when row 2 of P gives it a positive third coordinate.
class RenderCamera
{
public:
    // Iterations allowed to the converged distortion inverse; it stops much
    // earlier (monotone Newton) except right at the turning radius.
    static constexpr int MAX_INVERSE_ITERATIONS = 100;

    // The built-in camera: 640 x 480, P = (700 0 320 0 / 0 700 240 0 /
    // 0 0 1 0), no lens distortion.
    static RenderCamera builtin();
    // The camera a tracker instance uses: its current screen size, matrix and
    // distortion.
    static RenderCamera fromParam(const VoTrack::VoARParam& i_param);

    // i_projection: 12 doubles in row order. i_distortion: centre x, centre y
    // (pixels), coefficient (1e-8 per squared pixel), scale, in the camera
    // file's order. Throws std::invalid_argument for a size that is not
    // positive, a zero scale or a singular left 3 x 3 block of P.
    RenderCamera(int32_t i_width, int32_t i_height, const double* i_projection, const double* i_distortion);

    int32_t getWidth() const { return _width; }
    int32_t getHeight() const { return _height; }
    const VoTrack::VoARDoubleMatrix34& getProjection() const { return _projection; }
    // The camera's optical centre in camera coordinates (the null vector of P).
    const double* getCenter() const { return _center; }
    // P's left 3 x 3 block and its fourth column.
    Matrix3 getProjectionLeft() const;
    void getProjectionColumn(double* o_column) const;

    // Projects a camera-frame point to ideal pixels. Returns false, leaving
    // o_ideal unchanged, when the point is not in front of the camera.
    bool cameraToIdeal(const double* i_point, VoTrack::TVoARDoublePoint_t* o_ideal) const;
    // The model's forward polynomial: where the lens shows an ideal point.
    void idealToObserved(const VoTrack::TVoARDoublePoint_t& i_ideal, VoTrack::TVoARDoublePoint_t* o_observed) const;
    // Inverts idealToObserved on its principal branch (ideal radius inside the
    // turning radius, where the map is one-to-one) by Newton's method run to
    // convergence. Returns false, leaving o_ideal unchanged, for an observed
    // point that no ideal point on that branch reaches.
    bool observedToIdeal(double i_x, double i_y, VoTrack::TVoARDoublePoint_t* o_ideal) const;
    // Whether an ideal point lies on the principal branch.
    bool isOnPrincipalBranch(const VoTrack::TVoARDoublePoint_t& i_ideal) const;

private:
    int32_t _width;
    int32_t _height;
    VoTrack::VoARDoubleMatrix34 _projection;
    double _center[3];
    double _distortion_x;
    double _distortion_y;
    // Coefficient per squared scaled pixel (the file's value over 1e8).
    double _coefficient;
    double _scale;
    // Scaled radius where the forward polynomial turns back, and its observed
    // radius there; infinite without a positive coefficient.
    double _turning_radius;
    double _turning_observed;
};

}  // namespace Markeye
