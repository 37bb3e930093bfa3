// Fuzz entry: the video reader, from memory (built with FFmpeg only).
//
// Input: a byte telling what is done after opening (bits 0 to 2: frames
// read, 0 to 7; bit 3: a seek before reading; bit 4: frames skipped instead
// of read), the seek's time in tenths of a second, then the video's bytes.

#include <cmath>
#include <optional>
#include <vector>

#include "FuzzEntries.h"
#include "FuzzInput.h"
#include "FuzzScene.h"
#include "markeye/Error.h"
#include "markeye/ImageFile.h"
#include "markeye/VideoFile.h"

namespace MarkeyeFuzz {

namespace {

constexpr uint8_t FRAME_COUNT_MASK = 7;
constexpr uint8_t SEEK_FIRST = 8;
constexpr uint8_t SKIP_FRAMES = 16;

void require(bool i_kept, const char* i_promise)
{
    MarkeyeFuzz::require(i_kept, "video", i_promise);
}

// Reads or skips up to i_count frames; each frame read is BGRX of the
// video's size.
void readFrames(markeye::VideoReader& io_reader, int32_t i_count, bool i_skip)
{
    markeye::Image frame;
    double time = 0.0;
    for (int32_t k = 0; k < i_count; k++) {
        const bool more = i_skip ? io_reader.skip(&time) : io_reader.read(&frame, &time);
        if (!more) {
            return;
        }
        require(i_skip || (frame.width() == io_reader.width() && frame.height() == io_reader.height() &&
                           frame.format() == markeye::PixelFormat::BGRX),
                "a frame is BGRX of the video's size");
    }
}

}  // namespace

// A video the reader opens has a size within the readers' limits; reading
// it gives frames of that size or an Error, never anything else.
void fuzzVideo(const uint8_t* i_data, size_t i_size)
{
    markeye::showFfmpegMessages(false);
    FuzzInput in(i_data, i_size);
    const uint8_t plan = in.u8();
    const double seek_time = in.u8() / 10.0;
    const std::vector<uint8_t> bytes = in.rest();
    try {
        markeye::VideoReader reader(bytes.data(), bytes.size(), "fuzz video");
        require(reader.width() >= 1 && reader.height() >= 1 && reader.width() <= markeye::MAX_IMAGE_SIDE &&
                    reader.height() <= markeye::MAX_IMAGE_SIDE,
                "a video's size is within the limits");
        if ((plan & SEEK_FIRST) != 0) {
            reader.seek(seek_time);
        }
        readFrames(reader, plan & FRAME_COUNT_MASK, (plan & SKIP_FRAMES) != 0);
    } catch (const markeye::Error&) {
    }
}

}  // namespace MarkeyeFuzz
