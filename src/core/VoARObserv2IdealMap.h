#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "IVoARCameraDistortionFactor.h"
#include "TVoARIntSize.h"

namespace VoTrack {

// Observed-to-ideal conversion of every integer pixel of a screen, computed
// once per pixel so that contour points convert by two table reads. A pixel
// is converted at its first lookup, not at construction: a frame's outlines
// touch few of its pixels, and building the whole table would cost more than
// the rest of the tracker's set-up. The results are the distortion's own.
class VoARObserv2IdealMap
{
public:
    // Borrows i_distortion for the map's life; it must not change meanwhile.
    // i_screen_size must be positive in both directions.
    VoARObserv2IdealMap(const IVoARCameraDistortionFactor* i_distortion,
                        const TVoARIntSize* i_screen_size);
    virtual ~VoARObserv2IdealMap();

    VoARObserv2IdealMap(const VoARObserv2IdealMap&) = delete;
    VoARObserv2IdealMap& operator=(const VoARObserv2IdealMap&) = delete;

    // Same contract as the distortion's batch form, answered by lookup (and
    // by conversion for pixels not seen before; never allocates). Every
    // point converted must lie inside the screen.
    void observ2IdealBatch(const int32_t* i_x, const int32_t* i_y, int32_t i_start,
                           int32_t i_count, double* o_x, double* o_y);

private:
    const IVoARCameraDistortionFactor* _distortion;
    int32_t _width;
    int32_t _height;
    // Ideal x and y of pixel (x, y) at index y * _width + x, valid where
    // _converted is non-zero (left uninitialised elsewhere, so unused parts
    // of the tables are never touched).
    std::unique_ptr<double[]> _map_x;
    std::unique_ptr<double[]> _map_y;
    std::unique_ptr<uint8_t[]> _converted;

    std::size_t indexOf(int32_t i_x, int32_t i_y) const;
};

}  // namespace VoTrack
