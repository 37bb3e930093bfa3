#pragma once

#include "TVoARIntRect_t.h"
#include "VoObjectStack.h"

namespace VoTrack {

// Reusable stack of integer rectangles.
class VoARIntRectStack : public VoObjectStack<TVoARIntRect_t>
{
public:
    explicit VoARIntRectStack(int32_t i_capacity);
    virtual ~VoARIntRectStack();
};

}  // namespace VoTrack
