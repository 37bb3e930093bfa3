#pragma once

#include "IVoARRaster.h"
#include "IVoARRgbPixelReader.h"

namespace VoTrack {

// A raster whose pixels can be read as red, green and blue.
class IVoARRgbRaster : public IVoARRaster
{
public:
    virtual IVoARRgbPixelReader* getRgbPixelReader() const = 0;
};

}  // namespace VoTrack
