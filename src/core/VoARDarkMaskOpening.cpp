#include "VoARDarkMaskOpening.h"

#include <cstddef>
#include <cstring>

namespace VoTrack {

VoARDarkMaskOpening::VoARDarkMaskOpening(int32_t i_width, int32_t i_height)
    : _width(i_width),
      _height(i_height),
      _first(std::make_unique<uint8_t[]>(static_cast<std::size_t>(i_width) * static_cast<std::size_t>(i_height))),
      _second(std::make_unique<uint8_t[]>(static_cast<std::size_t>(i_width) * static_cast<std::size_t>(i_height)))
{
}

VoARDarkMaskOpening::~VoARDarkMaskOpening() = default;

void VoARDarkMaskOpening::runs(const uint8_t* i_in, uint8_t* o_out, bool i_horizontal, bool i_all) const
{
    const std::ptrdiff_t step = i_horizontal ? 1 : _width;
    std::memset(o_out, 0, static_cast<std::size_t>(_width) * static_cast<std::size_t>(_height));
    const int32_t x_first = i_horizontal ? 1 : 0;
    const int32_t y_first = i_horizontal ? 0 : 1;
    for (int32_t y = y_first; y < _height - y_first; y++) {
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(y) * _width;
        for (int32_t x = x_first; x < _width - x_first; x++) {
            const std::ptrdiff_t p = row + x;
            const int32_t count = i_in[p - step] + i_in[p] + i_in[p + step];
            o_out[p] = i_all ? (count == 3) : (count > 0);
        }
    }
}

void VoARDarkMaskOpening::open(uint8_t* io_dark)
{
    if (_width < 3 || _height < 3) {
        std::memset(io_dark, 0, static_cast<std::size_t>(_width) * static_cast<std::size_t>(_height));
        return;
    }
    // Erosion, then dilation, each as a row pass and a column pass.
    runs(io_dark, _first.get(), true, true);
    runs(_first.get(), _second.get(), false, true);
    runs(_second.get(), _first.get(), true, false);
    runs(_first.get(), io_dark, false, false);
}

}  // namespace VoTrack
