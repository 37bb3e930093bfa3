#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace markeye {

// How the bytes of one pixel are laid out. The 32-bit formats carry a fourth
// byte (alpha or unused) that the tracker ignores.
enum class PixelFormat
{
    BGRA,
    BGRX,
    RGBA,
    RGBX,
    BGR,
    RGB,
    GRAY,
};

// Bytes per pixel of a format: 4, 3 or 1.
int32_t bytesPerPixel(PixelFormat i_format);

// A caller's pixels, borrowed for one call and only read: row y starts at
// data + y * stride (stride in bytes, at least width x bytesPerPixel(format);
// negative for bottom-up rows), row 0 is the top of the picture.
struct ImageView
{
    const uint8_t* data;
    int32_t width, height;
    std::ptrdiff_t stride;
    PixelFormat format;
};

// Pixels the library hands out (pictures of patterns and built-in markers,
// decoded files): packed rows, owned by the image.
class Image
{
public:
    // An empty image (0 x 0).
    Image() = default;
    // Every byte i_fill. Throws Error for a size that is not positive.
    Image(int32_t i_width, int32_t i_height, PixelFormat i_format, uint8_t i_fill = 0);

    int32_t width() const { return _width; }
    int32_t height() const { return _height; }
    PixelFormat format() const { return _format; }
    std::ptrdiff_t stride() const { return static_cast<std::ptrdiff_t>(_width) * bytesPerPixel(_format); }
    uint8_t* data() { return _bytes.data(); }
    const uint8_t* data() const { return _bytes.data(); }
    // The first byte of pixel (i_x, i_y), which must be inside.
    uint8_t* pixel(int32_t i_x, int32_t i_y) { return _bytes.data() + offset(i_x, i_y); }
    const uint8_t* pixel(int32_t i_x, int32_t i_y) const { return _bytes.data() + offset(i_x, i_y); }
    bool contains(int32_t i_x, int32_t i_y) const { return i_x >= 0 && i_y >= 0 && i_x < _width && i_y < _height; }
    // Valid while the image lives and is not resized.
    ImageView view() const { return ImageView{_bytes.data(), _width, _height, stride(), _format}; }

private:
    std::size_t offset(int32_t i_x, int32_t i_y) const
    {
        return static_cast<std::size_t>(i_y) * static_cast<std::size_t>(stride()) +
               static_cast<std::size_t>(i_x) * static_cast<std::size_t>(bytesPerPixel(_format));
    }

    int32_t _width = 0;
    int32_t _height = 0;
    PixelFormat _format = PixelFormat::BGRX;
    std::vector<uint8_t> _bytes;
};

}  // namespace markeye
