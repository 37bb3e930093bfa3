#include "BgraImage.h"

#include <algorithm>
#include <cstring>

#include "CliError.h"

namespace Markeye {

BgraImage::BgraImage(int32_t i_width, int32_t i_height, uint8_t i_grey, const std::string& i_what)
{
    checkSize(i_width, i_height, i_what);
    _width = i_width;
    _height = i_height;
    _pixels.assign(CHANNELS * static_cast<size_t>(i_width) * static_cast<size_t>(i_height), i_grey);
    for (size_t i = CHANNELS - 1; i < _pixels.size(); i += CHANNELS) {
        _pixels[i] = 255;
    }
}

void BgraImage::checkSize(int64_t i_width, int64_t i_height, const std::string& i_what)
{
    if (i_width < 1 || i_height < 1) {
        throw CliError(i_what + ": empty image (" + std::to_string(i_width) + " x " + std::to_string(i_height) + ")");
    }
    if (i_width > MAX_SIDE || i_height > MAX_SIDE || i_width * i_height > MAX_PIXELS) {
        throw CliError(i_what + ": image too large: " + std::to_string(i_width) + " x " + std::to_string(i_height) +
                       " (at most " + std::to_string(MAX_SIDE) + " pixels a side and " + std::to_string(MAX_PIXELS) +
                       " in all)");
    }
}

BgraImage BgraImage::shrunk(int32_t i_factor) const
{
    BgraImage small(std::max(1, _width / i_factor), std::max(1, _height / i_factor));
    const int32_t count = i_factor * i_factor;
    for (int32_t y = 0; y < small._height; y++) {
        for (int32_t x = 0; x < small._width; x++) {
            int32_t sums[3] = {0, 0, 0};
            for (int32_t dy = 0; dy < i_factor; dy++) {
                for (int32_t dx = 0; dx < i_factor; dx++) {
                    const uint8_t* source =
                        pixel(std::min(_width - 1, x * i_factor + dx), std::min(_height - 1, y * i_factor + dy));
                    for (int c = 0; c < 3; c++) {
                        sums[c] += source[c];
                    }
                }
            }
            uint8_t* target = small.pixel(x, y);
            for (int c = 0; c < 3; c++) {
                target[c] = static_cast<uint8_t>((sums[c] + count / 2) / count);
            }
        }
    }
    return small;
}

void BgraImage::paste(const BgraImage& i_source, int32_t i_x, int32_t i_y)
{
    const int32_t x0 = std::max(0, i_x);
    const int32_t x1 = std::min(_width, i_x + i_source._width);
    if (x0 >= x1) {
        return;
    }
    for (int32_t y = std::max(0, i_y); y < std::min(_height, i_y + i_source._height); y++) {
        std::memcpy(pixel(x0, y), i_source.pixel(x0 - i_x, y - i_y), CHANNELS * static_cast<size_t>(x1 - x0));
    }
}

}  // namespace Markeye
