#pragma once

#include "IVoARBufferReader.h"

namespace VoTrack {

// Buffer reader over a borrowed buffer; it never frees the buffer. A buffer
// installed by setReadOnlyBuffer is only read: getBuffer asserts.
class VoARBufferReader : public IVoARBufferReader
{
public:
    VoARBufferReader(void* i_buffer, int32_t i_buffer_type);
    ~VoARBufferReader() override;

    // Requires a buffer to have been set.
    void* getBuffer() const override;
    const void* getReadBuffer() const override;
    int32_t getBufferType() const override;
    bool isEqualBufferType(int32_t i_type) const override;
    void setBuffer(void* i_buffer);
    void setReadOnlyBuffer(const void* i_buffer);

private:
    void* _buffer;
    const void* _read_buffer;
    int32_t _buffer_type;
};

}  // namespace VoTrack
