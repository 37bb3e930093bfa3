#include "markeye/Image.h"

#include <string>

#include "markeye/Error.h"

namespace markeye {

int32_t bytesPerPixel(PixelFormat i_format)
{
    switch (i_format) {
    case PixelFormat::BGRA:
    case PixelFormat::BGRX:
    case PixelFormat::RGBA:
    case PixelFormat::RGBX:
        return 4;
    case PixelFormat::BGR:
    case PixelFormat::RGB:
        return 3;
    case PixelFormat::GRAY:
        return 1;
    }
    return 4;
}

Image::Image(int32_t i_width, int32_t i_height, PixelFormat i_format, uint8_t i_fill)
    : _width(i_width), _height(i_height), _format(i_format)
{
    if (i_width <= 0 || i_height <= 0) {
        throw Error("image size must be positive, not " + std::to_string(i_width) + " x " +
                    std::to_string(i_height));
    }
    _bytes.assign(static_cast<std::size_t>(stride()) * static_cast<std::size_t>(i_height), i_fill);
}

}  // namespace markeye
