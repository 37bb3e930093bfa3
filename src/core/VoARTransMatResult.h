#pragma once

#include "VoARDoubleMatrix34.h"

namespace VoTrack {

// Pose of a marker in camera coordinates: columns 0 to 2 are the rotation,
// column 3 the translation. has_value tells whether a pose has been stored.
class VoARTransMatResult : public VoARDoubleMatrix34
{
public:
    bool has_value = false;

    VoARTransMatResult();
    ~VoARTransMatResult() override;
};

}  // namespace VoTrack
