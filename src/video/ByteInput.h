#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

struct AVIOContext;

namespace markeye {

// Bytes for FFmpeg's demuxers from where FFmpeg cannot open them itself:
// a buffer in memory (which seeks), or a stream read once (which does
// not) after bytes already taken from it. Owns the AVIOContext it makes for
// them; the bytes and the stream are borrowed.
class ByteInput
{
public:
    // Throws Error naming i_name when FFmpeg cannot allocate the context.
    ByteInput(const uint8_t* i_bytes, std::size_t i_size, const std::string& i_name);
    ByteInput(std::FILE* i_stream, std::string i_head, const std::string& i_name);
    ~ByteInput();
    ByteInput(const ByteInput&) = delete;
    ByteInput& operator=(const ByteInput&) = delete;

    AVIOContext* context() const { return _context; }

private:
    static int readPacket(void* io_opaque, uint8_t* o_buffer, int i_size);
    static int64_t seekTo(void* io_opaque, int64_t i_offset, int i_whence);
    void makeContext(bool i_seekable, const std::string& i_name);

    // Memory: _bytes, _size, read up to _position. Stream: _head first
    // (up to _position), then _stream.
    const uint8_t* _bytes = nullptr;
    std::size_t _size = 0;
    std::FILE* _stream = nullptr;
    std::string _head;
    std::size_t _position = 0;
    AVIOContext* _context = nullptr;
};

}  // namespace markeye
