#include "FrameSource.h"

#include <cerrno>
#include <cstring>

#include "markeye/Error.h"
#include "markeye/ImageFile.h"

namespace Markeye {

FrameSource::TStatus FileFrameSource::next(markeye::Image* o_frame, std::string* o_name, std::string* o_error)
{
    if (_next == _paths.size()) {
        return TStatus::END;
    }
    *o_name = _paths[_next++];
    try {
        *o_frame = markeye::readImage(*o_name);
    } catch (const markeye::Error& e) {
        *o_error = e.what();
        return TStatus::UNREADABLE;
    }
    return TStatus::FRAME;
}

RawFrameSource::RawFrameSource(FILE* i_stream, const std::string& i_stream_name, int32_t i_width, int32_t i_height)
    : _stream(i_stream), _stream_name(i_stream_name), _width(i_width), _height(i_height)
{
    markeye::checkImageSize(i_width, i_height, "--raw");
}

FrameSource::TStatus RawFrameSource::next(markeye::Image* o_frame, std::string* o_name, std::string* o_error)
{
    if (_ended) {
        return TStatus::END;
    }
    if (o_frame->width() != _width || o_frame->height() != _height) {
        *o_frame = markeye::Image(_width, _height, markeye::PixelFormat::BGRX);
    }
    const size_t wanted = static_cast<size_t>(o_frame->stride()) * static_cast<size_t>(_height);
    const size_t got = std::fread(o_frame->data(), 1, wanted, _stream);
    if (got == wanted) {
        *o_name = std::to_string(_index++);
        return TStatus::FRAME;
    }
    _ended = true;
    if (got == 0 && !std::ferror(_stream)) {
        return TStatus::END;
    }
    *o_name = std::to_string(_index);
    *o_error = std::ferror(_stream) ? "cannot read " + _stream_name + ": " + std::strerror(errno)
                                    : _stream_name + " ended inside frame " + std::to_string(_index) + ": " +
                                          std::to_string(got) + " of " + std::to_string(wanted) + " bytes";
    return TStatus::UNREADABLE;
}

}  // namespace Markeye
