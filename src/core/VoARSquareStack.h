#pragma once

#include "VoARSquare.h"
#include "VoObjectStack.h"

namespace VoTrack {

// Reusable stack of detected squares, filled anew for every frame.
class VoARSquareStack : public VoObjectStack<VoARSquare>
{
public:
    explicit VoARSquareStack(int32_t i_capacity);
    virtual ~VoARSquareStack();
};

}  // namespace VoTrack
