#include <cmath>
#include <limits>
#include <optional>

#include "ByteInput.h"
#include "FfmpegMessages.h"
#include "markeye/Error.h"
#include "markeye/ImageFile.h"
#include "markeye/VideoFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace markeye {

namespace {

// Frames within this many seconds before a seek's time count as at it: the
// rounding of a time base.
constexpr double SEEK_TOLERANCE_S = 1e-4;

// Pixels libswscale's fast colour conversion writes at a time (8 in its
// SIMD code; twice that for a margin).
constexpr int CONVERSION_BLOCK = 16;

double seconds(int64_t i_ticks, AVRational i_base)
{
    return static_cast<double>(i_ticks) * av_q2d(i_base);
}

}  // namespace

// The demuxer, the decoder of the first video stream and the converter to
// BGRX, with the packet and frame they pass along.
class VideoReader::Impl
{
public:
    Impl(const std::string& i_name, std::unique_ptr<ByteInput> i_input) : _name(i_name), _input(std::move(i_input))
    {
        try {
            open(i_name);
        } catch (...) {
            release();
            throw;
        }
    }
    ~Impl() { release(); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    int32_t width() const { return _decoder->width; }
    int32_t height() const { return _decoder->height; }

    double frameRate() const
    {
        const AVRational rate = _stream->avg_frame_rate.num > 0 ? _stream->avg_frame_rate : _stream->r_frame_rate;
        return rate.num > 0 && rate.den > 0 ? av_q2d(rate) : std::numeric_limits<double>::quiet_NaN();
    }

    double duration() const
    {
        if (_stream->duration != AV_NOPTS_VALUE) {
            return seconds(_stream->duration, _stream->time_base);
        }
        if (_format->duration != AV_NOPTS_VALUE) {
            return static_cast<double>(_format->duration) / AV_TIME_BASE;
        }
        return std::numeric_limits<double>::quiet_NaN();
    }

    std::string containerName() const { return _format->iformat->name; }
    std::string codecName() const { return _decoder->codec->name; }

    void seek(double i_time)
    {
        _drop_before = i_time - SEEK_TOLERANCE_S;
        _seeked = true;
        const int64_t target = _start + static_cast<int64_t>(std::floor(i_time / av_q2d(_stream->time_base)));
        // A stream that cannot seek is decoded up to the time instead.
        if (av_seek_frame(_format, _stream->index, target, AVSEEK_FLAG_BACKWARD) >= 0) {
            avcodec_flush_buffers(_decoder);
            _flushing = false;
            _ended = false;
        }
    }

    bool read(Image* io_frame, double* o_time)
    {
        if (!next(o_time)) {
            return false;
        }
        convert(io_frame);
        return true;
    }

    bool next(double* o_time)
    {
        do {
            if (!decode()) {
                return false;
            }
            *o_time = frameTime();
        } while (*o_time < _drop_before);
        _index = _seeked ? static_cast<int64_t>(std::llround(*o_time * frameRate())) : _index + 1;
        return true;
    }

    int64_t frameIndex() const { return _index; }

private:
    void open(const std::string& i_name)
    {
        _format = avformat_alloc_context();
        if (_format == nullptr) {
            throw Error(i_name + ": out of memory for the video");
        }
        if (_input != nullptr) {
            _format->pb = _input->context();
        }
        // On failure avformat_open_input frees the context.
        const int opened = avformat_open_input(&_format, _input != nullptr ? nullptr : i_name.c_str(), nullptr, nullptr);
        if (opened < 0) {
            _format = nullptr;
            throw Error(i_name + ": not a video FFmpeg reads (" + ffmpegErrorText(opened) + ")");
        }
        const int info = avformat_find_stream_info(_format, nullptr);
        if (info < 0) {
            throw Error(i_name + ": cannot read the video's streams (" + ffmpegErrorText(info) + ")");
        }
        const AVCodec* codec = nullptr;
        const int stream = av_find_best_stream(_format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (stream < 0 || codec == nullptr) {
            throw Error(i_name + (stream == AVERROR_DECODER_NOT_FOUND ? ": no decoder for its video stream"
                                                                      : ": holds no video stream"));
        }
        _stream = _format->streams[stream];
        openDecoder(codec);
        _start = _stream->start_time != AV_NOPTS_VALUE ? _stream->start_time : 0;
        _packet = av_packet_alloc();
        _frame = av_frame_alloc();
        if (_packet == nullptr || _frame == nullptr) {
            throw Error(i_name + ": out of memory for the video");
        }
    }

    void openDecoder(const AVCodec* i_codec)
    {
        _decoder = avcodec_alloc_context3(i_codec);
        if (_decoder == nullptr || avcodec_parameters_to_context(_decoder, _stream->codecpar) < 0) {
            throw Error(_name + ": cannot set up the decoder " + i_codec->name);
        }
        // As many threads as cores: decoding overlaps the tracking of the
        // frame before.
        _decoder->thread_count = 0;
        const int opened = avcodec_open2(_decoder, i_codec, nullptr);
        if (opened < 0) {
            throw Error(_name + ": cannot open the decoder " + i_codec->name + " (" + ffmpegErrorText(opened) + ")");
        }
        if (_decoder->width <= 0 || _decoder->height <= 0) {
            throw Error(_name + ": the video's frame size is not known");
        }
        checkImageSize(_decoder->width, _decoder->height, _name);
    }

    // The next decoded frame into _frame; false at the end.
    bool decode()
    {
        for (;;) {
            const int received = avcodec_receive_frame(_decoder, _frame);
            if (received == 0) {
                return true;
            }
            if (received == AVERROR_EOF) {
                _ended = true;
                return false;
            }
            if (received != AVERROR(EAGAIN)) {
                throw Error(_name + ": cannot decode the video (" + ffmpegErrorText(received) + ")");
            }
            if (_ended) {
                return false;
            }
            feed();
        }
    }

    // Hands the decoder the next packet of the stream, or the end.
    void feed()
    {
        if (_flushing) {
            _ended = true;
            return;
        }
        for (;;) {
            const int got = av_read_frame(_format, _packet);
            if (got == AVERROR_EOF || (got < 0 && _format->pb != nullptr && avio_feof(_format->pb))) {
                avcodec_send_packet(_decoder, nullptr);
                _flushing = true;
                return;
            }
            if (got < 0) {
                throw Error(_name + ": cannot read the video (" + ffmpegErrorText(got) + ")");
            }
            if (_packet->stream_index != _stream->index) {
                av_packet_unref(_packet);
                continue;
            }
            const int sent = avcodec_send_packet(_decoder, _packet);
            av_packet_unref(_packet);
            // A damaged packet is left out; the decoder conceals the loss.
            if (sent < 0 && sent != AVERROR_INVALIDDATA) {
                throw Error(_name + ": cannot decode the video (" + ffmpegErrorText(sent) + ")");
            }
            return;
        }
    }

    double frameTime()
    {
        const int64_t stamp = _frame->best_effort_timestamp;
        if (stamp == AV_NOPTS_VALUE) {
            // No time stamps: one frame period after the last.
            const double rate = frameRate();
            _time = std::isnan(_last_time) ? 0.0 : _last_time + (std::isnan(rate) ? 0.0 : 1.0 / rate);
        } else {
            _time = seconds(stamp - _start, _stream->time_base);
        }
        _last_time = _time;
        return _time;
    }

    void convert(Image* io_frame)
    {
        if (io_frame->width() != _frame->width || io_frame->height() != _frame->height ||
            io_frame->format() != PixelFormat::BGRX) {
            checkImageSize(_frame->width, _frame->height, _name);
            *io_frame = Image(_frame->width, _frame->height, PixelFormat::BGRX);
        }
        const auto format = static_cast<AVPixelFormat>(_frame->format);
        // libswscale's fast YUV-to-RGB path writes whole blocks of pixels a
        // row, and so runs past the end of a packed frame whose width is not
        // a multiple of the block (heap corruption found by fuzz_video on
        // small Y4M videos). SWS_ACCURATE_RND keeps it off that path, but
        // costs a third of the frame rate at 1280 x 720: only for such widths.
        const int flags = SWS_BILINEAR | (_frame->width % CONVERSION_BLOCK == 0 ? 0 : SWS_ACCURATE_RND);
        SwsContext* converter = sws_getCachedContext(_converter, _frame->width, _frame->height, format, _frame->width,
                                                     _frame->height, AV_PIX_FMT_BGR0, flags, nullptr, nullptr, nullptr);
        if (converter == nullptr) {
            const char* format_name = av_get_pix_fmt_name(format);
            throw Error(_name + ": cannot convert the video's pixels (" +
                        std::string(format_name != nullptr ? format_name : "unknown") + ")");
        }
        if (converter != _converter || _frame->colorspace != _colour_space || _frame->color_range != _colour_range) {
            _converter = converter;
            _colour_space = _frame->colorspace;
            _colour_range = _frame->color_range;
            setColourSpace();
        }
        uint8_t* planes[1] = {io_frame->data()};
        const int strides[1] = {static_cast<int>(io_frame->stride())};
        sws_scale(_converter, _frame->data, _frame->linesize, 0, _frame->height, planes, strides);
    }

    // The frame's colour matrix and range (studio range BT.601 unless it
    // says otherwise), so that colours come out as they were shot.
    void setColourSpace()
    {
        const int space = _frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709
                          : _frame->colorspace == AVCOL_SPC_BT2020_NCL || _frame->colorspace == AVCOL_SPC_BT2020_CL
                              ? SWS_CS_BT2020
                              : SWS_CS_ITU601;
        const int full_range = _frame->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
        int* table = nullptr;
        int* out_table = nullptr;
        int in_range = 0;
        int out_range = 0;
        int brightness = 0;
        int contrast = 0;
        int saturation = 0;
        // Not a YUV input: nothing to set.
        if (sws_getColorspaceDetails(_converter, &table, &in_range, &out_table, &out_range, &brightness, &contrast,
                                     &saturation) < 0) {
            return;
        }
        sws_setColorspaceDetails(_converter, sws_getCoefficients(space), full_range, sws_getCoefficients(SWS_CS_DEFAULT),
                                 1, brightness, contrast, saturation);
    }

    void release()
    {
        sws_freeContext(_converter);
        av_frame_free(&_frame);
        av_packet_free(&_packet);
        avcodec_free_context(&_decoder);
        avformat_close_input(&_format);
    }

    std::string _name;
    // Declared before the demuxer that reads through it.
    std::unique_ptr<ByteInput> _input;
    AVFormatContext* _format = nullptr;
    AVStream* _stream = nullptr;
    AVCodecContext* _decoder = nullptr;
    AVPacket* _packet = nullptr;
    AVFrame* _frame = nullptr;
    SwsContext* _converter = nullptr;
    // What the converter was set up for.
    AVColorSpace _colour_space = AVCOL_SPC_UNSPECIFIED;
    AVColorRange _colour_range = AVCOL_RANGE_UNSPECIFIED;
    // The stream's first time stamp, in its time base.
    int64_t _start = 0;
    // The end was handed to the decoder; it has given every frame.
    bool _flushing = false;
    bool _ended = false;
    double _drop_before = -std::numeric_limits<double>::infinity();
    bool _seeked = false;
    int64_t _index = -1;
    double _time = 0.0;
    double _last_time = std::numeric_limits<double>::quiet_NaN();
};

VideoReader::VideoReader(const std::string& i_path) : _impl(std::make_unique<Impl>(i_path, nullptr)) {}

VideoReader::VideoReader(const uint8_t* i_bytes, std::size_t i_size, const std::string& i_name)
    : _impl(std::make_unique<Impl>(i_name, std::make_unique<ByteInput>(i_bytes, i_size, i_name)))
{
}

VideoReader::VideoReader(std::FILE* i_stream, std::string i_head, const std::string& i_name)
    : _impl(std::make_unique<Impl>(i_name, std::make_unique<ByteInput>(i_stream, std::move(i_head), i_name)))
{
}

VideoReader::~VideoReader() = default;
VideoReader::VideoReader(VideoReader&& io_other) noexcept = default;
VideoReader& VideoReader::operator=(VideoReader&& io_other) noexcept = default;

int32_t VideoReader::width() const
{
    return _impl->width();
}

int32_t VideoReader::height() const
{
    return _impl->height();
}

double VideoReader::frameRate() const
{
    return _impl->frameRate();
}

double VideoReader::duration() const
{
    return _impl->duration();
}

std::string VideoReader::containerName() const
{
    return _impl->containerName();
}

std::string VideoReader::codecName() const
{
    return _impl->codecName();
}

void VideoReader::seek(double i_time)
{
    _impl->seek(i_time);
}

bool VideoReader::read(Image* io_frame, double* o_time)
{
    return _impl->read(io_frame, o_time);
}

bool VideoReader::skip(double* o_time)
{
    return _impl->next(o_time);
}

int64_t VideoReader::frameIndex() const
{
    return _impl->frameIndex();
}

}  // namespace markeye
