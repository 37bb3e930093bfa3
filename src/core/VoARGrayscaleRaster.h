#pragma once

#include "VoARIntRaster.h"

namespace VoTrack {

// Grey-level raster, 0 to 255 per pixel.
class VoARGrayscaleRaster : public VoARIntRaster
{
public:
    VoARGrayscaleRaster(int32_t i_width, int32_t i_height);
    ~VoARGrayscaleRaster() override;
};

}  // namespace VoTrack
