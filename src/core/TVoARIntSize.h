#pragma once

#include <cstdint>

namespace VoTrack {

// Integer size of a raster. Height comes first in memory; rasters are built
// with (width, height) and walk rows with w as the stride and h as the count.
struct TVoARIntSize
{
    int32_t h;
    int32_t w;

    static bool isEqualSize(const TVoARIntSize* i_a, const TVoARIntSize* i_b);
};

}  // namespace VoTrack
