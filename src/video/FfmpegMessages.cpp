#include "FfmpegMessages.h"

#include "markeye/VideoFile.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace markeye {

std::string ffmpegErrorText(int i_code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(i_code, text, sizeof text);
    return text;
}

void showFfmpegMessages(bool i_shown)
{
    av_log_set_level(i_shown ? AV_LOG_INFO : AV_LOG_QUIET);
}

}  // namespace markeye
