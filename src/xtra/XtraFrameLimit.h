#pragma once

#include <cstdint>

namespace VoXtra {

// The largest frame a tracker instance accepts. Detection builds frame-sized
// tables of over 20 bytes per pixel (the observed-to-ideal map alone takes
// 16, the label raster 4), so one set at the limit takes about 200 MB and
// every byte offset into them stays far below 2^31; larger frames are
// refused by `new` before anything is built.
struct XtraFrameLimit
{
    // 4096 x 2048 pixels, room for a 3840 x 2160 frame.
    static constexpr int64_t MAX_PIXELS = int64_t{1} << 23;
    // Longest side: bounds the outline buffers, which grow with w + h.
    static constexpr int32_t MAX_SIDE = 8192;

    static constexpr bool accepts(int32_t i_width, int32_t i_height)
    {
        return i_width > 0 && i_height > 0 && i_width <= MAX_SIDE && i_height <= MAX_SIDE &&
               int64_t{i_width} * i_height <= MAX_PIXELS;
    }
};

}  // namespace VoXtra
