#include "OverlayVideo.h"

#include "CliError.h"
#include "markeye/Error.h"
#ifdef MARKEYE_HAS_VIDEO
#include "markeye/VideoFile.h"
#endif

namespace Markeye {

#ifdef MARKEYE_HAS_VIDEO

OverlayVideo::OverlayVideo(std::string i_path, double i_frame_rate) : _path(std::move(i_path)), _frame_rate(i_frame_rate)
{
    // The program's messages are its own.
    markeye::showFfmpegMessages(false);
}

void OverlayVideo::write(const markeye::Image& i_frame)
{
    if (_writer == nullptr) {
        _writer = std::make_unique<markeye::VideoWriter>(_path, i_frame.width(), i_frame.height(), _frame_rate);
        _width = i_frame.width();
        _height = i_frame.height();
    }
    if (i_frame.width() != _width || i_frame.height() != _height) {
        throw markeye::Error(_path + ": a frame of " + std::to_string(i_frame.width()) + " x " +
                             std::to_string(i_frame.height()) + " does not fit the video's " + std::to_string(_width) +
                             " x " + std::to_string(_height) + "; it is not written");
    }
    _writer->write(i_frame.view());
}

void OverlayVideo::finish()
{
    if (_writer != nullptr) {
        _writer->finish();
    }
}

#else

}  // namespace Markeye

// Without the libraries no writer is ever made: an empty type stands in, so
// that the member can be destroyed.
class markeye::VideoWriter
{
};

namespace Markeye {

OverlayVideo::OverlayVideo(std::string i_path, double i_frame_rate) : _path(std::move(i_path)), _frame_rate(i_frame_rate)
{
    throw CliError("--overlay-video " + _path +
                   ": this markeye was built without FFmpeg's libraries; write pictures with --overlay DIR instead, "
                   "or build markeye with libavformat-dev, libavcodec-dev and libswscale-dev installed");
}

void OverlayVideo::write(const markeye::Image&) {}

void OverlayVideo::finish() {}

#endif

OverlayVideo::~OverlayVideo() = default;

}  // namespace Markeye
