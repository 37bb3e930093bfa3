#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "markeye/Image.h"

namespace Markeye {

// Where the track command's frames come from, one after another.
class FrameSource
{
public:
    enum class TStatus
    {
        FRAME,
        UNREADABLE,
        END
    };

    virtual ~FrameSource() = default;
    // Frames to come in all; 0 when not known ahead.
    virtual size_t total() const = 0;
    // FRAME: o_frame holds the next frame. UNREADABLE: o_error tells why in
    // one line naming the frame; the next call moves on. Both set o_name
    // (the path, or the index in the stream).
    virtual TStatus next(markeye::Image* o_frame, std::string* o_name, std::string* o_error) = 0;
};

// Picture files, in the order given.
class FileFrameSource : public FrameSource
{
public:
    explicit FileFrameSource(std::vector<std::string> i_paths) : _paths(std::move(i_paths)) {}
    size_t total() const override { return _paths.size(); }
    TStatus next(markeye::Image* o_frame, std::string* o_name, std::string* o_error) override;

private:
    std::vector<std::string> _paths;
    size_t _next = 0;
};

// Raw frames of width x height pixels, 4 bytes each in the order blue,
// green, red, unused, read back to back from a stream (such as a video
// decoder's output on standard input) until it ends.
class RawFrameSource : public FrameSource
{
public:
    // Borrows i_stream; i_stream_name is used in messages.
    RawFrameSource(FILE* i_stream, const std::string& i_stream_name, int32_t i_width, int32_t i_height);
    size_t total() const override { return 0; }
    TStatus next(markeye::Image* o_frame, std::string* o_name, std::string* o_error) override;

private:
    FILE* _stream;
    std::string _stream_name;
    int32_t _width;
    int32_t _height;
    size_t _index = 0;
    bool _ended = false;
};

}  // namespace Markeye
