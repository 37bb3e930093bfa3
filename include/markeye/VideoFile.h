#pragma once

// Video files for C++ users of the library: link Markeye::markeye_video (it
// needs FFmpeg's libavformat, libavcodec, libswscale and libavutil; the
// tracking library does not).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "markeye/Image.h"

namespace markeye {

// Reads the frames of a video (any container and codec FFmpeg's libraries
// read; its first video stream), one after another, each converted by
// libswscale straight into packed BGRX pixels (the layout the tracker reads
// in place), with its presentation time. Built once with its decoder and
// converter; read() reuses them and the frame given. One thread at a time.
class VideoReader
{
public:
    // A video file. Throws Error naming it when it cannot be opened, holds no
    // video stream or none FFmpeg can decode.
    explicit VideoReader(const std::string& i_path);
    // A video held in memory: the bytes are borrowed and must outlive the
    // reader; i_name is used in messages. Seeks as a file does.
    VideoReader(const uint8_t* i_bytes, std::size_t i_size, const std::string& i_name);
    // A stream read once from where it is (such as standard input), which
    // cannot seek: its containers must be ones that stream (Matroska, MPEG
    // transport, Y4M, MP4 with its index first). i_head: bytes already read
    // from it, which come first. The stream is borrowed.
    VideoReader(std::FILE* i_stream, std::string i_head, const std::string& i_name);
    ~VideoReader();
    VideoReader(VideoReader&& io_other) noexcept;
    VideoReader& operator=(VideoReader&& io_other) noexcept;
    VideoReader(const VideoReader&) = delete;
    VideoReader& operator=(const VideoReader&) = delete;

    int32_t width() const;
    int32_t height() const;
    // Frames per second as the video states it (on average), NaN when it
    // states none.
    double frameRate() const;
    // Seconds, NaN when not known.
    double duration() const;
    // FFmpeg's names of the container and the codec, such as "mov,mp4,m4a,3gp,3g2,mj2" and "h264".
    std::string containerName() const;
    std::string codecName() const;

    // Goes to the first frame shown at i_time seconds or later: seeks to the
    // key frame before it when the input can seek, and decodes from there,
    // dropping frames before i_time.
    void seek(double i_time);
    // The next frame into io_frame (made BGRX of the video's size unless it
    // is), and its presentation time in seconds from the start of the video
    // (its first frame's time, usually 0). false at the end of the video.
    // Throws Error for a stream that cannot be read on.
    bool read(Image* io_frame, double* o_time);
    // Decodes the next frame without converting it (a frame not wanted);
    // false at the end.
    bool skip(double* o_time);
    // The number of the frame last read or skipped, from 0 at the video's
    // first frame; after a seek, reckoned from its time and frameRate().
    int64_t frameIndex() const;

private:
    class Impl;
    // Null only in a reader moved from.
    std::unique_ptr<Impl> _impl;
};

// Writes a video file: H.264 (FFmpeg's libx264 encoder) when the libraries
// have it, else MPEG-4 part 2, in the container the file's extension names
// (MP4 for an unknown one). 4:2:0 colour needs an even width and height: an
// odd last column or row is left out.
class VideoWriter
{
public:
    // i_frame_rate: frames per second. Throws Error naming the file.
    VideoWriter(const std::string& i_path, int32_t i_width, int32_t i_height, double i_frame_rate);
    // Finishes the file if finish() was not called (errors then go unsaid).
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Appends a frame of the writer's size, of any pixel layout. Throws
    // Error naming the file.
    void write(const ImageView& i_frame);
    // Writes the frames the encoder still holds and the file's end. Throws
    // Error naming the file. Nothing may be written after it.
    void finish();
    // FFmpeg's name of the encoder used, such as "libx264".
    std::string encoderName() const;

private:
    class Impl;
    std::unique_ptr<Impl> _impl;
};

// FFmpeg's libraries print notes and warnings of their own on standard
// error (libx264's statistics, where a damaged stream was mended): false
// silences them for the whole program. The faults they cause come as Error
// either way.
void showFfmpegMessages(bool i_shown);

}  // namespace markeye
