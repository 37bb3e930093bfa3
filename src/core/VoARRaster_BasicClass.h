#pragma once

#include "IVoARRaster.h"
#include "VoARRasterSize.h"

namespace VoTrack {

// Base of the rasters that are not RGB; subclasses provide the buffer reader.
class VoARRaster_BasicClass : public VoARRasterSize<IVoARRaster>
{
public:
    using VoARRasterSize<IVoARRaster>::VoARRasterSize;
};

}  // namespace VoTrack
