#pragma once

#include <cstdint>

#include "MarkerPicture.h"

namespace Markeye {

// The library's built-in marker pictures as the renderer draws them, by index
// (markeye::Pattern::builtinNames() gives the order).
class BuiltinMarkers
{
public:
    static constexpr int32_t PICTURE_SIZE = 16;

    static int32_t count();
    // Short lower-case name, usable as a file name stem; i_index in [0, count()).
    static const char* name(int32_t i_index);
    static MarkerPicture picture(int32_t i_index);
    // Index of the named picture, or -1.
    static int32_t find(const char* i_name);
};

}  // namespace Markeye
