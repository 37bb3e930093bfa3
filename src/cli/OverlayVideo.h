#pragma once

#include <memory>
#include <string>

#include "markeye/Image.h"

namespace markeye {
class VideoWriter;
}

namespace Markeye {

// The frames of a run with what was found drawn on them, written as a
// video file (track --overlay-video): begun at the first frame, of its size.
// Without FFmpeg's libraries, building one fails saying so.
class OverlayVideo
{
public:
    // i_frame_rate: frames per second of the video written. Throws CliError
    // when this program cannot write videos.
    OverlayVideo(std::string i_path, double i_frame_rate);
    ~OverlayVideo();
    OverlayVideo(const OverlayVideo&) = delete;
    OverlayVideo& operator=(const OverlayVideo&) = delete;

    // Appends a frame. Throws markeye::Error naming the file for a frame of
    // another size than the first, or when it cannot be written.
    void write(const markeye::Image& i_frame);
    // Ends the file. Throws markeye::Error naming the file.
    void finish();

private:
    std::string _path;
    double _frame_rate;
    // Null until the first frame.
    std::unique_ptr<markeye::VideoWriter> _writer;
    int32_t _width = 0;
    int32_t _height = 0;
};

}  // namespace Markeye
