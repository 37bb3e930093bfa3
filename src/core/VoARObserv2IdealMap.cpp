#include "VoARObserv2IdealMap.h"

#include "VoARAssert.h"

namespace VoTrack {

VoARObserv2IdealMap::VoARObserv2IdealMap(const IVoARCameraDistortionFactor* i_distortion,
                                         const TVoARIntSize* i_screen_size)
    : _width(i_screen_size->w), _height(i_screen_size->h)
{
    VOTRACK_ASSERT(_width > 0 && _height > 0, "src/core/VoARObserv2IdealMap",
                   "_width>0 && _height>0");
    const std::size_t size = static_cast<std::size_t>(_width) * static_cast<std::size_t>(_height);
    _map_x = std::make_unique<double[]>(size);
    _map_y = std::make_unique<double[]>(size);
    TVoARDoublePoint_t ideal;
    for (int32_t y = 0; y < _height; y++) {
        for (int32_t x = 0; x < _width; x++) {
            i_distortion->observ2Ideal(x, y, &ideal);
            const std::size_t index = indexOf(x, y);
            _map_x[index] = ideal.x;
            _map_y[index] = ideal.y;
        }
    }
}

VoARObserv2IdealMap::~VoARObserv2IdealMap() = default;

void VoARObserv2IdealMap::observ2IdealBatch(const int32_t* i_x, const int32_t* i_y,
                                            int32_t i_start, int32_t i_count,
                                            double* o_x, double* o_y) const
{
    for (int32_t i = 0; i < i_count; i++) {
        const std::size_t index = indexOf(i_x[i_start + i], i_y[i_start + i]);
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
