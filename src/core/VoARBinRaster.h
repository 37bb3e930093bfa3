#pragma once

#include "VoARIntRaster.h"

namespace VoTrack {

// Binary raster: 0 for a dark pixel, 1 for a bright one.
class VoARBinRaster : public VoARIntRaster
{
public:
    VoARBinRaster(int32_t i_width, int32_t i_height);
    ~VoARBinRaster() override;
};

}  // namespace VoTrack
