#pragma once

#include <cstdint>
#include <memory>

#include "IVoARRgbPixelReader.h"
#include "VoARBufferReader.h"
#include "VoARRgbRaster_BasicClass.h"

namespace VoTrack {

// Wraps a caller's 32-bit frame (bytes blue, green, red, unused per pixel)
// without copying it. The pixel buffer is borrowed: it must stay valid and
// unchanged while it is being read, and it is never freed here.
class VoARRgbRaster_BGRA : public VoARRgbRaster_BasicClass
{
public:
    // Reads the raster's current buffer and width at every call, so a buffer
    // installed later by setBuffer is the one that is read.
    class PixelReader : public IVoARRgbPixelReader
    {
    public:
        explicit PixelReader(const VoARRgbRaster_BGRA* i_parent);
        ~PixelReader() override;
        void getPixel(int32_t i_x, int32_t i_y, int32_t* o_rgb) const override;
        void getPixelSet(const int32_t* i_x, const int32_t* i_y, int32_t i_num, int32_t* o_rgb) const override;

    private:
        const VoARRgbRaster_BGRA* _parent;
    };

    // No buffer yet: install one with setBuffer before reading.
    VoARRgbRaster_BGRA(int32_t i_width, int32_t i_height);
    VoARRgbRaster_BGRA(uint8_t* i_buffer, int32_t i_width, int32_t i_height);
    ~VoARRgbRaster_BGRA() override;

    IVoARBufferReader* getBufferReader() const override;
    IVoARRgbPixelReader* getRgbPixelReader() const override;
    // Requires a non-null buffer of w x h pixels.
    void setBuffer(uint8_t* i_buffer);

private:
    std::unique_ptr<PixelReader> _rgb_reader;
    std::unique_ptr<VoARBufferReader> _buffer_reader;
    uint8_t* _buffer;
};

}  // namespace VoTrack
