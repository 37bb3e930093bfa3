#include "MarkerPicture.h"

#include <cstring>
#include <stdexcept>

namespace Markeye {

namespace {

int32_t nearestIndex(double i_fraction, int32_t i_count)
{
    // Compare before converting: a huge or NaN fraction has no int value.
    if (!(i_fraction > 0.0)) {
        return 0;
    }
    if (i_fraction >= 1.0) {
        return i_count - 1;
    }
    const int32_t index = static_cast<int32_t>(i_fraction * i_count);
    return index < i_count ? index : i_count - 1;
}

}  // namespace

MarkerPicture::MarkerPicture(int32_t i_width, int32_t i_height) : _width(i_width), _height(i_height)
{
    if (i_width <= 0 || i_height <= 0) {
        throw std::invalid_argument("marker picture size must be positive");
    }
    _rgb.assign(static_cast<size_t>(i_width) * static_cast<size_t>(i_height) * 3, 255);
}

MarkerPicture MarkerPicture::fromGrey(int32_t i_width, int32_t i_height, const uint8_t* i_grey)
{
    MarkerPicture picture(i_width, i_height);
    for (int32_t y = 0; y < i_height; y++) {
        for (int32_t x = 0; x < i_width; x++) {
            const uint8_t level = i_grey[y * i_width + x];
            picture.setPixel(x, y, level, level, level);
        }
    }
    return picture;
}

MarkerPicture MarkerPicture::fromRgb(int32_t i_width, int32_t i_height, const uint8_t* i_rgb)
{
    MarkerPicture picture(i_width, i_height);
    std::memcpy(picture._rgb.data(), i_rgb, picture._rgb.size());
    return picture;
}

MarkerPicture MarkerPicture::fromView(const markeye::ImageView& i_view)
{
    using markeye::PixelFormat;
    MarkerPicture picture(i_view.width, i_view.height);
    const int32_t step = markeye::bytesPerPixel(i_view.format);
    const bool red_first = i_view.format == PixelFormat::RGB || i_view.format == PixelFormat::RGBA ||
                           i_view.format == PixelFormat::RGBX;
    for (int32_t y = 0; y < i_view.height; y++) {
        const uint8_t* p = i_view.data + y * i_view.stride;
        for (int32_t x = 0; x < i_view.width; x++, p += step) {
            if (step == 1) {
                picture.setPixel(x, y, p[0], p[0], p[0]);
            } else {
                picture.setPixel(x, y, p[red_first ? 0 : 2], p[1], p[red_first ? 2 : 0]);
            }
        }
    }
    return picture;
}

MarkerPicture MarkerPicture::fromText(const char* const* i_rows, int32_t i_height)
{
    const int32_t width = i_height > 0 ? static_cast<int32_t>(std::strlen(i_rows[0])) : 0;
    MarkerPicture picture(width, i_height);
    for (int32_t y = 0; y < i_height; y++) {
        if (static_cast<int32_t>(std::strlen(i_rows[y])) != width) {
            throw std::invalid_argument("marker picture rows must have equal lengths");
        }
        for (int32_t x = 0; x < width; x++) {
            const uint8_t level = i_rows[y][x] == '#' ? 0 : 255;
            picture.setPixel(x, y, level, level, level);
        }
    }
    return picture;
}

void MarkerPicture::setPixel(int32_t i_x, int32_t i_y, uint8_t i_red, uint8_t i_green, uint8_t i_blue)
{
    uint8_t* pixel = &_rgb[3 * (i_y * _width + i_x)];
    pixel[0] = i_red;
    pixel[1] = i_green;
    pixel[2] = i_blue;
}

const uint8_t* MarkerPicture::sample(double i_u, double i_v) const
{
    return getPixel(nearestIndex(i_u, _width), nearestIndex(i_v, _height));
}

MarkerPicture MarkerPicture::rotated(int32_t i_quarter_turns) const
{
    const int32_t turns = ((i_quarter_turns % 4) + 4) % 4;
    MarkerPicture result = *this;
    for (int32_t t = 0; t < turns; t++) {
        // Counter-clockwise: the right column becomes the top row.
        MarkerPicture turned(result._height, result._width);
        for (int32_t y = 0; y < turned._height; y++) {
            for (int32_t x = 0; x < turned._width; x++) {
                const uint8_t* from = result.getPixel(result._width - 1 - y, x);
                turned.setPixel(x, y, from[0], from[1], from[2]);
            }
        }
        result = turned;
    }
    return result;
}

bool MarkerPicture::operator==(const MarkerPicture& i_other) const
{
    return _width == i_other._width && _height == i_other._height && _rgb == i_other._rgb;
}

}  // namespace Markeye
