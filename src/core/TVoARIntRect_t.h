#pragma once

#include <cstdint>

namespace VoTrack {

// Integer rectangle (origin and extent), the element type of VoARIntRectStack.
struct TVoARIntRect_t
{
    int32_t x;
    int32_t y;
    int32_t w;
    int32_t h;
};

}  // namespace VoTrack
