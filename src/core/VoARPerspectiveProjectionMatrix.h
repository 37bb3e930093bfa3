#pragma once

#include "VoARDoubleMatrix34.h"

namespace VoTrack {

// The camera's 3 x 4 perspective projection matrix P, in pixels of the
// screen size the camera parameters currently describe.
class VoARPerspectiveProjectionMatrix : public VoARDoubleMatrix34
{
public:
    VoARPerspectiveProjectionMatrix();
    ~VoARPerspectiveProjectionMatrix() override;

    // Follows a rescale of the image by i_scale: rows 0 and 1 produce pixel
    // coordinates and scale with it; row 2 (depth) does not.
    void changeScale(double i_scale);
};

}  // namespace VoTrack
