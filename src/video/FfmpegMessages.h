#pragma once

#include <string>

namespace markeye {

// FFmpeg's words for one of its error codes, such as "Invalid data found
// when processing input". (Its own messages on standard error are turned
// on and off by showFfmpegMessages, markeye/VideoFile.h, defined beside.)
std::string ffmpegErrorText(int i_code);

}  // namespace markeye
