#pragma once

#include <cstdint>
#include <memory>

#include "IVoARRgbPixelReader.h"
#include "VoARBufferReader.h"
#include "VoARRgbRaster_BasicClass.h"

namespace VoTrack {

// Reads a caller's 32-bit frame in place, packed rows of bytes blue, green,
// red, unused (BUFFERFORMAT_BYTE1D_B8G8R8X8_32) or red, green, blue, unused
// (BUFFERFORMAT_BYTE1D_R8G8B8X8_32). The pixels are borrowed and only read:
// they must stay valid and unchanged while the frame is analysed and sampled.
class VoARRgbRaster_ReadOnly32 : public VoARRgbRaster_BasicClass
{
public:
    // No buffer yet: install one with setBuffer before reading. Throws
    // VoARException for another buffer-format code.
    VoARRgbRaster_ReadOnly32(int32_t i_width, int32_t i_height, int32_t i_buffer_format);
    ~VoARRgbRaster_ReadOnly32() override;

    VoARRgbRaster_ReadOnly32(const VoARRgbRaster_ReadOnly32&) = delete;
    VoARRgbRaster_ReadOnly32& operator=(const VoARRgbRaster_ReadOnly32&) = delete;

    IVoARBufferReader* getBufferReader() const override;
    IVoARRgbPixelReader* getRgbPixelReader() const override;
    // Requires a non-null buffer of w x h pixels.
    void setBuffer(const uint8_t* i_buffer);

private:
    // The pixel reader reads the buffer installed last.
    const uint8_t* _buffer;
    std::unique_ptr<IVoARRgbPixelReader> _rgb_reader;
    std::unique_ptr<VoARBufferReader> _buffer_reader;
};

}  // namespace VoTrack
