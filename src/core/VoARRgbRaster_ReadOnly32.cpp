#include "VoARRgbRaster_ReadOnly32.h"

#include "VoARAssert.h"
#include "VoARException.h"
#include "VoARPixelLayout.h"

namespace VoTrack {

namespace {

// Reads whatever buffer the raster holds at the call, in layout Layout.
template <class Layout>
class ReadOnlyPixelReader final : public IVoARRgbPixelReader
{
public:
    ReadOnlyPixelReader(const uint8_t* const* i_buffer, const TVoARIntSize* i_size)
        : _buffer(i_buffer), _size(i_size)
    {
    }

    void getPixel(int32_t i_x, int32_t i_y, int32_t* o_rgb) const override
    {
        VoARPixelLayout::readPixel<Layout>(*_buffer, _size->w, i_x, i_y, o_rgb);
    }

    void getPixelSet(const int32_t* i_x, const int32_t* i_y, int32_t i_num, int32_t* o_rgb) const override
    {
        VoARPixelLayout::readPixelSet<Layout>(*_buffer, _size->w, i_x, i_y, i_num, o_rgb);
    }

private:
    const uint8_t* const* _buffer;
    const TVoARIntSize* _size;
};

std::unique_ptr<IVoARRgbPixelReader> makeReader(int32_t i_format, const uint8_t* const* i_buffer,
                                                const TVoARIntSize* i_size)
{
    switch (i_format) {
    case IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32:
        return std::make_unique<ReadOnlyPixelReader<VoARPixelLayout::BytesB8G8R8X8>>(i_buffer, i_size);
    case IVoARBufferReader::BUFFERFORMAT_BYTE1D_R8G8B8X8_32:
        return std::make_unique<ReadOnlyPixelReader<VoARPixelLayout::BytesR8G8B8X8>>(i_buffer, i_size);
    default:
        throw VoARException();
    }
}

}  // namespace

VoARRgbRaster_ReadOnly32::VoARRgbRaster_ReadOnly32(int32_t i_width, int32_t i_height, int32_t i_buffer_format)
    : VoARRgbRaster_BasicClass(i_width, i_height),
      _buffer(nullptr),
      _rgb_reader(makeReader(i_buffer_format, &_buffer, &_size)),
      _buffer_reader(std::make_unique<VoARBufferReader>(nullptr, i_buffer_format))
{
}

VoARRgbRaster_ReadOnly32::~VoARRgbRaster_ReadOnly32() = default;

IVoARBufferReader* VoARRgbRaster_ReadOnly32::getBufferReader() const
{
    return _buffer_reader.get();
}

IVoARRgbPixelReader* VoARRgbRaster_ReadOnly32::getRgbPixelReader() const
{
    return _rgb_reader.get();
}

void VoARRgbRaster_ReadOnly32::setBuffer(const uint8_t* i_buffer)
{
    VOTRACK_ASSERT(i_buffer != nullptr, "src/core/VoARRgbRaster_ReadOnly32", "i_buffer!=__null");
    _buffer = i_buffer;
    _buffer_reader->setReadOnlyBuffer(i_buffer);
}

}  // namespace VoTrack
