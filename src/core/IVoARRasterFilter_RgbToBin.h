#pragma once

#include "IVoARRaster.h"
#include "IVoARRgbRaster.h"

namespace VoTrack {

// Turns a colour frame into a binary raster (1 bright, 0 dark) of equal size.
class IVoARRasterFilter_RgbToBin
{
public:
    virtual ~IVoARRasterFilter_RgbToBin() = default;
    virtual void doFilter(const IVoARRgbRaster& i_input, IVoARRaster& i_output) = 0;
};

}  // namespace VoTrack
