#pragma once

#include <cstdint>

namespace VoTrack {

// Reads pixels of an RGB raster as red, green and blue integers (0 to 255),
// whatever the buffer's byte layout. Coordinates are not checked: callers keep
// 0 <= x < w and 0 <= y < h.
class IVoARRgbPixelReader
{
public:
    virtual ~IVoARRgbPixelReader() = default;
    // o_rgb receives red, green, blue.
    virtual void getPixel(int32_t i_x, int32_t i_y, int32_t* o_rgb) const = 0;
    // o_rgb receives red, green, blue of point k at 3k, 3k + 1, 3k + 2.
    virtual void getPixelSet(const int32_t* i_x, const int32_t* i_y, int32_t i_num, int32_t* o_rgb) const = 0;
};

}  // namespace VoTrack
