#pragma once

#include <memory>

#include "VoARBufferReader.h"
#include "VoARRaster_BasicClass.h"

namespace VoTrack {

// A raster that owns a buffer of w x h 32-bit ints (left unset), in the
// format given by its subclass.
class VoARIntRaster : public VoARRaster_BasicClass
{
public:
    ~VoARIntRaster() override;

    IVoARBufferReader* getBufferReader() const override;
    // The buffer itself, for pixel loops that should not go through a reader.
    int32_t* getIntBuffer() const { return _buffer.get(); }

protected:
    // Throws VoARException for a negative size or one too large to address.
    VoARIntRaster(int32_t i_width, int32_t i_height, int32_t i_buffer_type);

private:
    std::unique_ptr<int32_t[]> _buffer;
    std::unique_ptr<VoARBufferReader> _reader;
};

}  // namespace VoTrack
