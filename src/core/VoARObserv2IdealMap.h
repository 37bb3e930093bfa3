#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "IVoARCameraDistortionFactor.h"
#include "TVoARIntSize.h"

namespace VoTrack {

// Observed-to-ideal conversion of every integer pixel of a screen, computed
// once so that contour points convert by two table reads.
class VoARObserv2IdealMap
{
public:
    // Borrows i_distortion only for the construction. i_screen_size must be
    // positive in both directions.
    VoARObserv2IdealMap(const IVoARCameraDistortionFactor* i_distortion,
                        const TVoARIntSize* i_screen_size);
    virtual ~VoARObserv2IdealMap();

    VoARObserv2IdealMap(const VoARObserv2IdealMap&) = delete;
    VoARObserv2IdealMap& operator=(const VoARObserv2IdealMap&) = delete;

    // Same contract as the distortion's batch form, answered by lookup. Every
    // point converted must lie inside the screen.
    void observ2IdealBatch(const int32_t* i_x, const int32_t* i_y, int32_t i_start,
                           int32_t i_count, double* o_x, double* o_y) const;

private:
    int32_t _width;
    int32_t _height;
    // Ideal x and y of pixel (x, y) at index y * _width + x.
    std::unique_ptr<double[]> _map_x;
    std::unique_ptr<double[]> _map_y;

    std::size_t indexOf(int32_t i_x, int32_t i_y) const;
};

}  // namespace VoTrack
