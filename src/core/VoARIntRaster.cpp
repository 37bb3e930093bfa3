#include "VoARIntRaster.h"

#include <cstddef>
#include <limits>

#include "VoARException.h"

namespace VoTrack {

namespace {

std::size_t pixelCount(int32_t i_width, int32_t i_height)
{
    const int64_t count = static_cast<int64_t>(i_width) * i_height;
    if (i_width < 0 || i_height < 0 || count > std::numeric_limits<int32_t>::max()) {
        throw VoARException();
    }
    return static_cast<std::size_t>(count);
}

}  // namespace

VoARIntRaster::VoARIntRaster(int32_t i_width, int32_t i_height, int32_t i_buffer_type)
    : VoARRaster_BasicClass(i_width, i_height),
      _buffer(new int32_t[pixelCount(i_width, i_height)]),
      _reader(std::make_unique<VoARBufferReader>(_buffer.get(), i_buffer_type))
{
}

VoARIntRaster::~VoARIntRaster() = default;

IVoARBufferReader* VoARIntRaster::getBufferReader() const
{
    return _reader.get();
}

}  // namespace VoTrack
