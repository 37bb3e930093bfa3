#include "VoARBufferReader.h"

#include "VoARAssert.h"

namespace VoTrack {

VoARBufferReader::VoARBufferReader(void* i_buffer, int32_t i_buffer_type)
    : _buffer(i_buffer), _read_buffer(i_buffer), _buffer_type(i_buffer_type)
{
}

VoARBufferReader::~VoARBufferReader() = default;

void* VoARBufferReader::getBuffer() const
{
    VOTRACK_ASSERT(_buffer != nullptr, "src/core/VoARBufferReader", "this->_buffer!=__null");
    return _buffer;
}

const void* VoARBufferReader::getReadBuffer() const
{
    VOTRACK_ASSERT(_read_buffer != nullptr, "src/core/VoARBufferReader", "this->_read_buffer!=__null");
    return _read_buffer;
}

int32_t VoARBufferReader::getBufferType() const
{
    return _buffer_type;
}

bool VoARBufferReader::isEqualBufferType(int32_t i_type) const
{
    return _buffer_type == i_type;
}

void VoARBufferReader::setBuffer(void* i_buffer)
{
    _buffer = i_buffer;
    _read_buffer = i_buffer;
}

void VoARBufferReader::setReadOnlyBuffer(const void* i_buffer)
{
    _buffer = nullptr;
    _read_buffer = i_buffer;
}

}  // namespace VoTrack
