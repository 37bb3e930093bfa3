#include "VoARObserv2IdealMap.h"

#include "VoARAssert.h"

namespace VoTrack {

VoARObserv2IdealMap::VoARObserv2IdealMap(const IVoARCameraDistortionFactor* i_distortion,
                                         const TVoARIntSize* i_screen_size)
    : _distortion(i_distortion), _width(i_screen_size->w), _height(i_screen_size->h)
{
    VOTRACK_ASSERT(_width > 0 && _height > 0, "src/core/VoARObserv2IdealMap",
                   "_width>0 && _height>0");
    const std::size_t size = static_cast<std::size_t>(_width) * static_cast<std::size_t>(_height);
    _map_x.reset(new double[size]);
    _map_y.reset(new double[size]);
    _converted = std::make_unique<uint8_t[]>(size);
}

VoARObserv2IdealMap::~VoARObserv2IdealMap() = default;

void VoARObserv2IdealMap::observ2IdealBatch(const int32_t* i_x, const int32_t* i_y,
                                            int32_t i_start, int32_t i_count,
                                            double* o_x, double* o_y)
{
    for (int32_t i = 0; i < i_count; i++) {
        const int32_t x = i_x[i_start + i];
        const int32_t y = i_y[i_start + i];
        const std::size_t index = indexOf(x, y);
        if (_converted[index] == 0) {
            TVoARDoublePoint_t ideal;
            _distortion->observ2Ideal(x, y, &ideal);
            _map_x[index] = ideal.x;
            _map_y[index] = ideal.y;
            _converted[index] = 1;
        }
        o_x[i] = _map_x[index];
        o_y[i] = _map_y[index];
    }
}

std::size_t VoARObserv2IdealMap::indexOf(int32_t i_x, int32_t i_y) const
{
    // A point off the screen would read outside the tables.
    VOTRACK_ASSERT(i_x >= 0 && i_x < _width && i_y >= 0 && i_y < _height,
                   "src/core/VoARObserv2IdealMap",
                   "i_x>=0 && i_x<this->_width && i_y>=0 && i_y<this->_height");
    return static_cast<std::size_t>(i_y) * static_cast<std::size_t>(_width) +
           static_cast<std::size_t>(i_x);
}

}  // namespace VoTrack
