#include "VoARRgbRaster_BGRA.h"

#include "VoARAssert.h"
#include "VoARPixelLayout.h"

namespace VoTrack {

VoARRgbRaster_BGRA::PixelReader::PixelReader(const VoARRgbRaster_BGRA* i_parent) : _parent(i_parent) {}

VoARRgbRaster_BGRA::PixelReader::~PixelReader() = default;

void VoARRgbRaster_BGRA::PixelReader::getPixel(int32_t i_x, int32_t i_y, int32_t* o_rgb) const
{
    VoARPixelLayout::readPixel<VoARPixelLayout::BytesB8G8R8X8>(_parent->_buffer, _parent->_size.w, i_x, i_y, o_rgb);
}

void VoARRgbRaster_BGRA::PixelReader::getPixelSet(const int32_t* i_x, const int32_t* i_y, int32_t i_num,
                                                  int32_t* o_rgb) const
{
    VoARPixelLayout::readPixelSet<VoARPixelLayout::BytesB8G8R8X8>(_parent->_buffer, _parent->_size.w, i_x, i_y,
                                                                  i_num, o_rgb);
}

VoARRgbRaster_BGRA::VoARRgbRaster_BGRA(int32_t i_width, int32_t i_height)
    : VoARRgbRaster_BasicClass(i_width, i_height),
      _rgb_reader(std::make_unique<PixelReader>(this)),
      _buffer_reader(std::make_unique<VoARBufferReader>(nullptr, IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32)),
      _buffer(nullptr)
{
}

VoARRgbRaster_BGRA::VoARRgbRaster_BGRA(uint8_t* i_buffer, int32_t i_width, int32_t i_height)
    : VoARRgbRaster_BGRA(i_width, i_height)
{
    setBuffer(i_buffer);
}

VoARRgbRaster_BGRA::~VoARRgbRaster_BGRA() = default;

IVoARBufferReader* VoARRgbRaster_BGRA::getBufferReader() const
{
    return _buffer_reader.get();
}

IVoARRgbPixelReader* VoARRgbRaster_BGRA::getRgbPixelReader() const
{
    return _rgb_reader.get();
}

void VoARRgbRaster_BGRA::setBuffer(uint8_t* i_buffer)
{
    VOTRACK_ASSERT(i_buffer != nullptr, "src/core/VoARRgbRaster_BGRA", "i_buffer!=__null");
    _buffer = i_buffer;
    _buffer_reader->setBuffer(i_buffer);
}

}  // namespace VoTrack
