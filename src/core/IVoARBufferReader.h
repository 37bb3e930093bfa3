#pragma once

#include <cstdint>

namespace VoTrack {

// Access to a raster's pixel buffer and the code naming its memory layout.
// Every buffer is row-major without padding: pixel (x, y) is element y*w + x.
// getReadBuffer is for reading and every raster has it; getBuffer is for
// writing, and a raster over a caller's read-only pixels has none.
class IVoARBufferReader
{
public:
    static constexpr int32_t BUFFERFORMAT_BYTE1D_R8G8B8_24 = 0x00010001;
    static constexpr int32_t BUFFERFORMAT_BYTE1D_B8G8R8_24 = 0x00010002;
    static constexpr int32_t BUFFERFORMAT_BYTE1D_B8G8R8X8_32 = 0x00010101;
    static constexpr int32_t BUFFERFORMAT_BYTE1D_X8R8G8B8_32 = 0x00010102;
    static constexpr int32_t BUFFERFORMAT_BYTE1D_R8G8B8X8_32 = 0x00010103;
    static constexpr int32_t BUFFERFORMAT_INT1D = 0x00040000;
    static constexpr int32_t BUFFERFORMAT_INT1D_GRAY_8 = 0x00040001;
    static constexpr int32_t BUFFERFORMAT_INT1D_BIN_8 = 0x00040002;
    static constexpr int32_t BUFFERFORMAT_INT1D_X8R8G8B8_32 = 0x00040102;

    virtual ~IVoARBufferReader() = default;
    virtual void* getBuffer() const = 0;
    virtual const void* getReadBuffer() const = 0;
    virtual int32_t getBufferType() const = 0;
    virtual bool isEqualBufferType(int32_t i_type) const = 0;
};

}  // namespace VoTrack
