#include "ByteInput.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "markeye/Error.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace markeye {

namespace {

// FFmpeg reads through a buffer of this many bytes.
constexpr int BUFFER_SIZE = 1 << 16;

}  // namespace

ByteInput::ByteInput(const uint8_t* i_bytes, std::size_t i_size, const std::string& i_name)
    : _bytes(i_bytes), _size(i_size)
{
    makeContext(true, i_name);
}

ByteInput::ByteInput(std::FILE* i_stream, std::string i_head, const std::string& i_name)
    : _stream(i_stream), _head(std::move(i_head))
{
    makeContext(false, i_name);
}

ByteInput::~ByteInput()
{
    if (_context != nullptr) {
        av_freep(&_context->buffer);
        avio_context_free(&_context);
    }
}

void ByteInput::makeContext(bool i_seekable, const std::string& i_name)
{
    auto* buffer = static_cast<unsigned char*>(av_malloc(BUFFER_SIZE));
    if (buffer != nullptr) {
        _context = avio_alloc_context(buffer, BUFFER_SIZE, 0, this, readPacket, nullptr, i_seekable ? seekTo : nullptr);
    }
    if (_context == nullptr) {
        av_free(buffer);
        throw Error(i_name + ": out of memory for the video's input");
    }
}

int ByteInput::readPacket(void* io_opaque, uint8_t* o_buffer, int i_size)
{
    ByteInput& input = *static_cast<ByteInput*>(io_opaque);
    const std::size_t wanted = static_cast<std::size_t>(i_size);
    if (input._stream == nullptr) {
        const std::size_t count = std::min(wanted, input._size - input._position);
        // No bytes left, or none at all: then _bytes may be null, which
        // memcpy must not get even for a count of 0.
        if (count == 0) {
            return AVERROR_EOF;
        }
        std::memcpy(o_buffer, input._bytes + input._position, count);
        input._position += count;
        return static_cast<int>(count);
    }
    if (input._position < input._head.size()) {
        const std::size_t count = std::min(wanted, input._head.size() - input._position);
        std::memcpy(o_buffer, input._head.data() + input._position, count);
        input._position += count;
        return static_cast<int>(count);
    }
    const std::size_t count = std::fread(o_buffer, 1, wanted, input._stream);
    if (count > 0) {
        return static_cast<int>(count);
    }
    return std::ferror(input._stream) ? AVERROR(EIO) : AVERROR_EOF;
}

int64_t ByteInput::seekTo(void* io_opaque, int64_t i_offset, int i_whence)
{
    ByteInput& input = *static_cast<ByteInput*>(io_opaque);
    const int64_t size = static_cast<int64_t>(input._size);
    if ((i_whence & AVSEEK_SIZE) != 0) {
        return size;
    }
    const int whence = i_whence & ~AVSEEK_FORCE;
    const int64_t base = whence == SEEK_CUR ? static_cast<int64_t>(input._position) : whence == SEEK_END ? size : 0;
    const int64_t target = base + i_offset;
    if (target < 0 || target > size) {
        return AVERROR(EINVAL);
    }
    input._position = static_cast<std::size_t>(target);
    return target;
}

}  // namespace markeye
