#pragma once

#include "IVoARBufferReader.h"
#include "TVoARIntSize.h"

namespace VoTrack {

// An image: a size plus a pixel buffer reached through its buffer reader.
class IVoARRaster
{
public:
    virtual ~IVoARRaster() = default;
    virtual int32_t getWidth() const = 0;
    virtual int32_t getHeight() const = 0;
    virtual IVoARBufferReader* getBufferReader() const = 0;
    // Valid as long as the raster.
    virtual const TVoARIntSize* getSize() const = 0;
};

}  // namespace VoTrack
