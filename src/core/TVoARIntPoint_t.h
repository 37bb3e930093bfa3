#pragma once

#include <cstdint>

namespace VoTrack {

// Integer point, the element type of VoARIntPointStack.
struct TVoARIntPoint_t
{
    int32_t x;
    int32_t y;
};

}  // namespace VoTrack
