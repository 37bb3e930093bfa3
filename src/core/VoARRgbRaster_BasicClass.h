#pragma once

#include "IVoARRgbRaster.h"
#include "VoARRasterSize.h"

namespace VoTrack {

// Base of the RGB rasters; subclasses provide the buffer and pixel readers.
class VoARRgbRaster_BasicClass : public VoARRasterSize<IVoARRgbRaster>
{
public:
    using VoARRasterSize<IVoARRgbRaster>::VoARRasterSize;
};

}  // namespace VoTrack
