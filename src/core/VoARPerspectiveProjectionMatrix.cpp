#include "VoARPerspectiveProjectionMatrix.h"

namespace VoTrack {

VoARPerspectiveProjectionMatrix::VoARPerspectiveProjectionMatrix() = default;

VoARPerspectiveProjectionMatrix::~VoARPerspectiveProjectionMatrix() = default;

void VoARPerspectiveProjectionMatrix::changeScale(double i_scale)
{
    m00 *= i_scale;
    m01 *= i_scale;
    m02 *= i_scale;
    m03 *= i_scale;
    m10 *= i_scale;
    m11 *= i_scale;
    m12 *= i_scale;
    m13 *= i_scale;
}

}  // namespace VoTrack
