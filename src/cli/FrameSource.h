#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "markeye/Image.h"
#include "markeye/ImageFile.h"

namespace markeye {
class VideoReader;
}

namespace Markeye {

// Where a frame of the track command comes from and when it was shown.
struct TFrameInfo
{
    // The path, or the frame's number in a stream or a video.
    std::string name;
    // Seconds from the start of the sequence: a video's presentation time,
    // else the frame's place divided by the frame rate.
    double time = 0.0;
    // Why the frame could not be read, in one line naming it.
    std::string error;
};

// Where the track command's frames come from, one after another.
class FrameSource
{
public:
    enum class TStatus
    {
        FRAME,
        UNREADABLE,
        // Passed over as asked: o_info holds its name and time.
        SKIPPED,
        END
    };

    virtual ~FrameSource() = default;
    // Frames to come in all; 0 when not known ahead.
    virtual size_t total() const = 0;
    // Frames per second of the sequence.
    virtual double frameRate() const = 0;
    // Whether the frames are those of a video file (or a video stream).
    virtual bool isVideo() const { return false; }
    // From here on, frames shown before i_time (seconds) are passed over.
    virtual void start(double i_time) = 0;
    // FRAME: o_frame holds the next frame. UNREADABLE: o_info->error tells
    // why; the next call moves on. i_wanted false: the frame is passed over
    // (SKIPPED) without being decoded into o_frame where that can be
    // avoided. Each but END sets o_info's name and time.
    virtual TStatus next(bool i_wanted, markeye::Image* o_frame, TFrameInfo* o_info) = 0;
    // The next frame, wanted: FRAME with o_frame, UNREADABLE with o_error,
    // or END; both of the first set o_name.
    TStatus next(markeye::Image* o_frame, std::string* o_name, std::string* o_error);

    // Frames per second of pictures and raw frames unless told otherwise.
    static constexpr double DEFAULT_FRAME_RATE = 30.0;
};

// Picture files, in the order given, i_frame_rate apart; the path "-" is
// one picture on standard input. Each picture can be read on its own, on
// several threads at once (pass() on one, read() on any).
class FileFrameSource : public FrameSource
{
public:
    // The path that stands for standard input, and its name in messages.
    static constexpr const char* STANDARD_INPUT = "-";
    static constexpr const char* STANDARD_INPUT_NAME = "standard input";
    // Most bytes read from standard input: the largest frame any reader
    // accepts at 4 bytes a pixel, more than any of its pictures takes, so
    // that an endless stream cannot take all memory.
    static constexpr size_t MAX_INPUT_BYTES = static_cast<size_t>(markeye::MAX_IMAGE_PIXELS) * 4;
    // The extensions of the picture files a folder gives (lower case;
    // matched in any case).
    static const std::vector<std::string> PICTURE_EXTENSIONS;

    // i_read_options: how each picture is read (EXIF orientation).
    explicit FileFrameSource(std::vector<std::string> i_paths, double i_frame_rate = DEFAULT_FRAME_RATE,
                             const markeye::ImageReadOptions& i_read_options = {});
    size_t total() const override { return _paths.size(); }
    double frameRate() const override { return _frame_rate; }
    void start(double i_time) override;
    TStatus next(bool i_wanted, markeye::Image* o_frame, TFrameInfo* o_info) override;
    // Moves past the next picture without reading it: its place in
    // o_index (for read()), its name and time in o_info. False at the end.
    bool pass(size_t* o_index, TFrameInfo* o_info);
    // Reads picture i_index into o_frame: FRAME, or UNREADABLE with
    // o_info->error set. Safe on several threads at once, one picture each.
    TStatus read(size_t i_index, markeye::Image* o_frame, TFrameInfo* o_info) const;

    // i_inputs with each folder replaced by its picture files (by
    // PICTURE_EXTENSIONS; other files and subfolders are left out) in name
    // order. Throws UsageError when "-" comes twice, CliError for a folder
    // that cannot be listed or holds no picture.
    static std::vector<std::string> expandFolders(const std::vector<std::string>& i_inputs);

private:
    // Standard input's one picture, read whole within MAX_INPUT_BYTES.
    TStatus readStandardInput(markeye::Image* o_frame, TFrameInfo* o_info) const;

    std::vector<std::string> _paths;
    double _frame_rate;
    markeye::ImageReadOptions _read_options;
    size_t _next = 0;
};

// Raw frames of width x height pixels, 4 bytes each in the order blue,
// green, red, unused, read back to back from a stream (such as a video
// decoder's output on standard input) until it ends, i_frame_rate apart.
class RawFrameSource : public FrameSource
{
public:
    // Borrows i_stream; i_stream_name is used in messages. i_head: bytes
    // already read from the stream, which come first.
    RawFrameSource(FILE* i_stream, const std::string& i_stream_name, int32_t i_width, int32_t i_height,
                   double i_frame_rate = DEFAULT_FRAME_RATE, std::string i_head = "");
    size_t total() const override { return 0; }
    double frameRate() const override { return _frame_rate; }
    void start(double i_time) override { _start = i_time; }
    TStatus next(bool i_wanted, markeye::Image* o_frame, TFrameInfo* o_info) override;

private:
    // Reads frame _index into o_frame; false at the end or at a fault,
    // which o_info then tells (empty error: a clean end).
    bool readFrame(markeye::Image* o_frame, TFrameInfo* o_info);

    FILE* _stream;
    std::string _stream_name;
    int32_t _width;
    int32_t _height;
    double _frame_rate;
    std::string _head;
    double _start = 0.0;
    size_t _index = 0;
    bool _ended = false;
};

// The frames of a video (a file, or a stream such as standard input),
// decoded by FFmpeg's libraries. Without them, building one fails with a
// message that tells how to pipe raw frames in instead.
class VideoFrameSource : public FrameSource
{
public:
    // A video file. i_fallback_rate: frames per second when the video
    // states none. Throws CliError naming the file when it cannot be read.
    VideoFrameSource(const std::string& i_path, double i_fallback_rate);
    // A video stream after its first bytes i_head, already read.
    VideoFrameSource(FILE* i_stream, std::string i_head, const std::string& i_stream_name, double i_fallback_rate);
    ~VideoFrameSource() override;

    int32_t width() const;
    int32_t height() const;
    size_t total() const override { return 0; }
    double frameRate() const override;
    bool isVideo() const override { return true; }
    void start(double i_time) override;
    TStatus next(bool i_wanted, markeye::Image* o_frame, TFrameInfo* o_info) override;

    // Whether this program can read videos (it was built with FFmpeg's
    // libraries).
    static bool available();

private:
    std::unique_ptr<markeye::VideoReader> _reader;
    std::string _name;
    double _fallback_rate;
    bool _ended = false;
};

// What the first bytes of a file or stream are, told by their content.
class FrameContent
{
public:
    // At least this many first bytes are needed to tell.
    static constexpr size_t HEAD_SIZE = 16;

    // Up to HEAD_SIZE first bytes of a file ("" when it cannot be read).
    static std::string headOf(const std::string& i_path);
    // The first bytes of a stream, read from it.
    static std::string headOf(FILE* i_stream);
    // A PNG, JPEG or PPM/PGM picture.
    static bool isPicture(const std::string& i_head);
    // The start of a video container (MP4 and QuickTime, Matroska and WebM,
    // AVI, MPEG program stream, Ogg, FLV, Y4M): its kind, such as "AVI", or
    // "" for none. Only signatures that raw frames hardly ever start with
    // (a first pixel such as 00 00 01 would pass for an MPEG stream).
    static std::string videoKind(const std::string& i_head);
};

}  // namespace Markeye
