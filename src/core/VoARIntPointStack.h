#pragma once

#include "TVoARIntPoint_t.h"
#include "VoObjectStack.h"

namespace VoTrack {

// Reusable stack of integer points.
class VoARIntPointStack : public VoObjectStack<TVoARIntPoint_t>
{
public:
    explicit VoARIntPointStack(int32_t i_capacity);
    virtual ~VoARIntPointStack();
};

}  // namespace VoTrack
