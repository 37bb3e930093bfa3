#include "XtraPoseMatrix.h"

namespace VoXtra {

void XtraPoseMatrix::toElements(const VoTrack::VoARTransMatResult& i_pose, float* o_elements)
{
    const VoTrack::VoARTransMatResult& p = i_pose;
    const double columns[ELEMENT_COUNT] = {
        -p.m00, p.m10,  p.m20,  0.0,  // rotation column 0
        -p.m01, p.m11,  p.m21,  0.0,  // rotation column 1
        -p.m02, p.m12,  p.m22,  0.0,  // rotation column 2
        p.m03,  -p.m13, -p.m23, 0.0,  // translation
    };
    for (int i = 0; i < ELEMENT_COUNT; i++) {
        o_elements[i] = static_cast<float>(columns[i]);
    }
}

}  // namespace VoXtra
