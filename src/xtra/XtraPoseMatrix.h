#pragma once

#include "VoARTransMatResult.h"

namespace VoXtra {

// Turns a pose (marker to camera coordinates) into the 16 floats of the
// host's 4 x 4 matrix value: four columns of four, the rotation's columns
// and then the translation, each with 0 in its fourth place. Row 0 of the
// rotation and rows 1 and 2 of the translation change sign, giving the
// host's axes; a zero that changes sign is a negative zero.
class XtraPoseMatrix
{
public:
    static constexpr int ELEMENT_COUNT = 16;

    XtraPoseMatrix() = delete;

    static void toElements(const VoTrack::VoARTransMatResult& i_pose, float* o_elements);
};

}  // namespace VoXtra
