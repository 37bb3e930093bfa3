#include <cmath>

#include "FfmpegMessages.h"
#include "markeye/Error.h"
#include "markeye/VideoFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace markeye {

namespace {

// libx264's constant quality: 18 is close to what the eye can tell, and
// keeps marker edges within a few hundredths of a pixel of the frames'.
constexpr const char* X264_QUALITY = "18";
// The MPEG-4 encoder's fixed quantiser, fine enough for the same.
constexpr int MPEG4_QUANTISER = 3;

AVPixelFormat ffmpegFormat(PixelFormat i_format)
{
    switch (i_format) {
    case PixelFormat::BGRA:
        return AV_PIX_FMT_BGRA;
    case PixelFormat::BGRX:
        return AV_PIX_FMT_BGR0;
    case PixelFormat::RGBA:
        return AV_PIX_FMT_RGBA;
    case PixelFormat::RGBX:
        return AV_PIX_FMT_RGB0;
    case PixelFormat::BGR:
        return AV_PIX_FMT_BGR24;
    case PixelFormat::RGB:
        return AV_PIX_FMT_RGB24;
    case PixelFormat::GRAY:
        return AV_PIX_FMT_GRAY8;
    }
    return AV_PIX_FMT_NONE;
}

}  // namespace

// The muxer, the encoder and the converter from the frames' layout to
// 4:2:0, with the frame and packet they pass along.
class VideoWriter::Impl
{
public:
    Impl(const std::string& i_path, int32_t i_width, int32_t i_height, double i_frame_rate)
        : _path(i_path), _width(i_width), _height(i_height)
    {
        if (i_width < 2 || i_height < 2 || !(i_frame_rate > 0.0) || !std::isfinite(i_frame_rate)) {
            throw Error(i_path + ": a video needs a size of at least 2 x 2 and a positive frame rate");
        }
        try {
            open(i_frame_rate);
        } catch (...) {
            release();
            throw;
        }
    }
    ~Impl()
    {
        if (!_finished) {
            try {
                finish();
            } catch (const Error&) {
                // A destructor cannot report it; finish() is there to.
            }
        }
        release();
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    void write(const ImageView& i_frame)
    {
        if (_finished) {
            throw Error(_path + ": the video is finished");
        }
        if (i_frame.width != _width || i_frame.height != _height) {
            throw Error(_path + ": frame of " + std::to_string(i_frame.width) + " x " + std::to_string(i_frame.height) +
                        " for a video of " + std::to_string(_width) + " x " + std::to_string(_height));
        }
        _converter = sws_getCachedContext(_converter, _encoder->width, _encoder->height, ffmpegFormat(i_frame.format),
                                          _encoder->width, _encoder->height, _encoder->pix_fmt, SWS_BILINEAR, nullptr,
                                          nullptr, nullptr);
        if (_converter == nullptr) {
            throw Error(_path + ": cannot convert the frame's pixels");
        }
        check(av_frame_make_writable(_frame), "cannot reuse the frame");
        const uint8_t* planes[1] = {i_frame.data};
        const int strides[1] = {static_cast<int>(i_frame.stride)};
        sws_scale(_converter, planes, strides, 0, _encoder->height, _frame->data, _frame->linesize);
        _frame->pts = _next_pts++;
        check(avcodec_send_frame(_encoder, _frame), "cannot encode a frame");
        drain();
    }

    void finish()
    {
        if (_finished) {
            return;
        }
        _finished = true;
        check(avcodec_send_frame(_encoder, nullptr), "cannot finish the encoding");
        drain();
        check(av_write_trailer(_format), "cannot write the end of the file");
        check(avio_closep(&_format->pb), "cannot close the file");
    }

    std::string encoderName() const { return _encoder->codec->name; }

private:
    void open(double i_frame_rate)
    {
        if (avformat_alloc_output_context2(&_format, nullptr, nullptr, _path.c_str()) < 0) {
            check(avformat_alloc_output_context2(&_format, nullptr, "mp4", _path.c_str()), "cannot make an MP4 file");
        }
        const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
        if (codec == nullptr) {
            codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
        }
        if (codec == nullptr) {
            throw Error(_path + ": FFmpeg's libraries have neither an H.264 nor an MPEG-4 encoder");
        }
        _encoder = avcodec_alloc_context3(codec);
        _stream = avformat_new_stream(_format, nullptr);
        _frame = av_frame_alloc();
        _packet = av_packet_alloc();
        if (_encoder == nullptr || _stream == nullptr || _frame == nullptr || _packet == nullptr) {
            throw Error(_path + ": out of memory for the video");
        }
        setUpEncoder(codec, i_frame_rate);
        check(avcodec_parameters_from_context(_stream->codecpar, _encoder), "cannot describe the stream");
        _stream->time_base = _encoder->time_base;
        _stream->avg_frame_rate = _encoder->framerate;
        _frame->format = _encoder->pix_fmt;
        _frame->width = _encoder->width;
        _frame->height = _encoder->height;
        check(av_frame_get_buffer(_frame, 0), "out of memory for a frame");
        if ((_format->oformat->flags & AVFMT_NOFILE) == 0) {
            check(avio_open(&_format->pb, _path.c_str(), AVIO_FLAG_WRITE), "cannot open the file for writing");
        }
        check(avformat_write_header(_format, nullptr), "cannot write the file's header");
    }

    void setUpEncoder(const AVCodec* i_codec, double i_frame_rate)
    {
        // 4:2:0 halves the colour planes: an odd last column or row is left out.
        _encoder->width = _width & ~1;
        _encoder->height = _height & ~1;
        _encoder->pix_fmt = AV_PIX_FMT_YUV420P;
        // What libswscale converts to by default, said in the stream so that
        // players convert back alike.
        _encoder->colorspace = AVCOL_SPC_SMPTE170M;
        _encoder->color_range = AVCOL_RANGE_MPEG;
        _encoder->framerate = av_d2q(i_frame_rate, 100000);
        _encoder->time_base = av_inv_q(_encoder->framerate);
        _encoder->thread_count = 0;
        if ((_format->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
            _encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        if (i_codec->id == AV_CODEC_ID_H264) {
            av_opt_set(_encoder->priv_data, "preset", "veryfast", 0);
            av_opt_set(_encoder->priv_data, "crf", X264_QUALITY, 0);
        } else {
            _encoder->flags |= AV_CODEC_FLAG_QSCALE;
            _encoder->global_quality = FF_QP2LAMBDA * MPEG4_QUANTISER;
        }
        check(avcodec_open2(_encoder, i_codec, nullptr), std::string("cannot open the encoder ") + i_codec->name);
    }

    // Hands the muxer every packet the encoder has ready.
    void drain()
    {
        for (;;) {
            const int received = avcodec_receive_packet(_encoder, _packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
                return;
            }
            check(received, "cannot encode a frame");
            av_packet_rescale_ts(_packet, _encoder->time_base, _stream->time_base);
            _packet->stream_index = _stream->index;
            check(av_interleaved_write_frame(_format, _packet), "cannot write a frame");
        }
    }

    void check(int i_result, const std::string& i_what) const
    {
        if (i_result < 0) {
            throw Error(_path + ": " + i_what + " (" + ffmpegErrorText(i_result) + ")");
        }
    }

    void release()
    {
        sws_freeContext(_converter);
        _converter = nullptr;
        av_packet_free(&_packet);
        av_frame_free(&_frame);
        avcodec_free_context(&_encoder);
        if (_format != nullptr && (_format->oformat->flags & AVFMT_NOFILE) == 0) {
            avio_closep(&_format->pb);
        }
        avformat_free_context(_format);
        _format = nullptr;
    }

    std::string _path;
    int32_t _width;
    int32_t _height;
    AVFormatContext* _format = nullptr;
    AVStream* _stream = nullptr;
    AVCodecContext* _encoder = nullptr;
    AVFrame* _frame = nullptr;
    AVPacket* _packet = nullptr;
    SwsContext* _converter = nullptr;
    int64_t _next_pts = 0;
    bool _finished = false;
};

VideoWriter::VideoWriter(const std::string& i_path, int32_t i_width, int32_t i_height, double i_frame_rate)
    : _impl(std::make_unique<Impl>(i_path, i_width, i_height, i_frame_rate))
{
}

VideoWriter::~VideoWriter() = default;

void VideoWriter::write(const ImageView& i_frame)
{
    _impl->write(i_frame);
}

void VideoWriter::finish()
{
    _impl->finish();
}

std::string VideoWriter::encoderName() const
{
    return _impl->encoderName();
}

}  // namespace markeye
