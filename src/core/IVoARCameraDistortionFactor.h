#pragma once

#include <cstdint>

#include "TVoARDoublePoint_t.h"

namespace VoTrack {

// Conversion between observed image coordinates (pixels as the camera
// delivers them) and ideal coordinates (lens distortion removed).
class IVoARCameraDistortionFactor
{
public:
    virtual ~IVoARCameraDistortionFactor() = default;

    virtual void ideal2Observ(const TVoARDoublePoint_t* i_in, TVoARDoublePoint_t* o_out) const = 0;
    // Output i is input *i_in[i], for i below i_count.
    virtual void ideal2ObservBatch(const TVoARDoublePoint_t* const* i_in, TVoARDoublePoint_t* o_out,
                                   int32_t i_count) const = 0;
    virtual void observ2Ideal(double i_x, double i_y, TVoARDoublePoint_t* o_out) const = 0;
    // Converts input points i_start to i_start + i_count - 1 into outputs 0 to i_count - 1.
    virtual void observ2IdealBatch(const int32_t* i_x, const int32_t* i_y, int32_t i_start,
                                   int32_t i_count, double* o_x, double* o_y) const = 0;
};

}  // namespace VoTrack
