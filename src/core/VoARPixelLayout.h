#pragma once

#include <cstddef>
#include <cstdint>

namespace VoTrack {

// How red, green and blue are laid out in one 32-bit pixel, for the RGB pixel
// readers. Each layout reads pixel number i_index of its buffer into o_rgb.
namespace VoARPixelLayout {

// Bytes blue, green, red, unused.
struct BytesB8G8R8X8
{
    using Element = uint8_t;
    static void read(const uint8_t* i_buffer, std::ptrdiff_t i_index, int32_t* o_rgb)
    {
        const uint8_t* pixel = i_buffer + i_index * 4;
        o_rgb[0] = pixel[2];
        o_rgb[1] = pixel[1];
        o_rgb[2] = pixel[0];
    }
};

// Bytes red, green, blue, unused.
struct BytesR8G8B8X8
{
    using Element = uint8_t;
    static void read(const uint8_t* i_buffer, std::ptrdiff_t i_index, int32_t* o_rgb)
    {
        const uint8_t* pixel = i_buffer + i_index * 4;
        o_rgb[0] = pixel[0];
        o_rgb[1] = pixel[1];
        o_rgb[2] = pixel[2];
    }
};

// Bytes unused, red, green, blue.
struct BytesX8R8G8B8
{
    using Element = uint8_t;
    static void read(const uint8_t* i_buffer, std::ptrdiff_t i_index, int32_t* o_rgb)
    {
        const uint8_t* pixel = i_buffer + i_index * 4;
        o_rgb[0] = pixel[1];
        o_rgb[1] = pixel[2];
        o_rgb[2] = pixel[3];
    }
};

// One int per pixel: red in bits 16 to 23, green in 8 to 15, blue in 0 to 7.
struct IntX8R8G8B8
{
    using Element = int32_t;
    static void read(const int32_t* i_buffer, std::ptrdiff_t i_index, int32_t* o_rgb)
    {
        const uint32_t value = static_cast<uint32_t>(i_buffer[i_index]);
        o_rgb[0] = static_cast<int32_t>((value >> 16) & 0xff);
        o_rgb[1] = static_cast<int32_t>((value >> 8) & 0xff);
        o_rgb[2] = static_cast<int32_t>(value & 0xff);
    }
};

inline std::ptrdiff_t pixelIndex(int32_t i_x, int32_t i_y, int32_t i_width)
{
    return static_cast<std::ptrdiff_t>(i_y) * i_width + i_x;
}

// Reads pixel (i_x, i_y) of a buffer of row length i_width.
template <class Layout>
void readPixel(const typename Layout::Element* i_buffer, int32_t i_width, int32_t i_x, int32_t i_y, int32_t* o_rgb)
{
    Layout::read(i_buffer, pixelIndex(i_x, i_y, i_width), o_rgb);
}

// Reads i_num points; point k goes to o_rgb[3k .. 3k + 2].
template <class Layout>
void readPixelSet(const typename Layout::Element* i_buffer, int32_t i_width, const int32_t* i_x, const int32_t* i_y,
                  int32_t i_num, int32_t* o_rgb)
{
    for (int32_t k = 0; k < i_num; k++) {
        Layout::read(i_buffer, pixelIndex(i_x[k], i_y[k], i_width), o_rgb + 3 * k);
    }
}

}  // namespace VoARPixelLayout

}  // namespace VoTrack
