#include "FrameSource.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "CliError.h"
#include "markeye/Error.h"
#include "markeye/ImageFile.h"
#ifdef MARKEYE_HAS_VIDEO
#include "markeye/VideoFile.h"
#endif

namespace Markeye {

namespace {

// Why a video cannot be read by this program, and what to do instead.
std::string noVideoMessage(const std::string& i_name, const std::string& i_kind)
{
    return i_name + " is " + (i_kind.empty() ? "a video" : "a video (" + i_kind + ")") +
           ", and this markeye was built without FFmpeg's libraries: decode it into raw frames, "
           "ffmpeg -i VIDEO -f rawvideo -pix_fmt bgra - | markeye track --raw WxH (WxH the video's frame size), "
           "or build markeye with libavformat-dev, libavcodec-dev and libswscale-dev installed";
}

// Reads i_stream to its end into o_bytes, at most i_limit bytes; false
// with o_error naming i_name at a read fault or beyond the limit.
bool readStream(FILE* i_stream, const std::string& i_name, size_t i_limit, std::string* o_bytes, std::string* o_error)
{
    char buffer[1 << 16];
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, i_stream);
        if (o_bytes->size() + got > i_limit) {
            *o_error = i_name + " holds more than " + std::to_string(i_limit) +
                       " bytes, more than any picture markeye reads";
            return false;
        }
        o_bytes->append(buffer, got);
        if (got < sizeof buffer) {
            break;
        }
    }
    if (std::ferror(i_stream)) {
        *o_error = "cannot read " + i_name + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool hasPictureExtension(const std::filesystem::path& i_path)
{
    std::string extension = i_path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char i_c) { return static_cast<char>(std::tolower(i_c)); });
    const std::vector<std::string>& known = FileFrameSource::PICTURE_EXTENSIONS;
    return std::find(known.begin(), known.end(), extension) != known.end();
}

// The picture files in i_folder (not in its subfolders), by name.
std::vector<std::string> picturesIn(const std::string& i_folder)
{
    std::vector<std::string> pictures;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(i_folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code kind_error;
        if (hasPictureExtension(entry->path()) && entry->is_regular_file(kind_error)) {
            pictures.push_back(entry->path().string());
        }
    }
    if (error) {
        throw CliError("cannot list folder " + i_folder + ": " + error.message());
    }
    if (pictures.empty()) {
        std::string extensions;
        for (const std::string& extension : FileFrameSource::PICTURE_EXTENSIONS) {
            extensions += (extensions.empty() ? "" : " ") + extension;
        }
        throw CliError("folder " + i_folder + " holds no picture file (" + extensions + ")");
    }
    std::sort(pictures.begin(), pictures.end());
    return pictures;
}

}  // namespace

const std::vector<std::string> FileFrameSource::PICTURE_EXTENSIONS = {".png", ".jpg", ".jpeg", ".ppm", ".pgm", ".pnm"};

FrameSource::TStatus FrameSource::next(markeye::Image* o_frame, std::string* o_name, std::string* o_error)
{
    TFrameInfo info;
    const TStatus status = next(true, o_frame, &info);
    *o_name = info.name;
    *o_error = info.error;
    return status;
}

// ---- Picture files

FileFrameSource::FileFrameSource(std::vector<std::string> i_paths, double i_frame_rate,
                                 const markeye::ImageReadOptions& i_read_options)
    : _paths(std::move(i_paths)), _frame_rate(i_frame_rate), _read_options(i_read_options)
{
}

void FileFrameSource::start(double i_time)
{
    // The first frame shown at i_time or later, i_time read to within
    // rounding.
    const double first = std::ceil(i_time * _frame_rate - 1e-9);
    _next = std::max(_next, static_cast<size_t>(std::clamp(first, 0.0, static_cast<double>(_paths.size()))));
}

FrameSource::TStatus FileFrameSource::next(bool i_wanted, markeye::Image* o_frame, TFrameInfo* o_info)
{
    size_t index = 0;
    if (!pass(&index, o_info)) {
        return TStatus::END;
    }
    return i_wanted ? read(index, o_frame, o_info) : TStatus::SKIPPED;
}

bool FileFrameSource::pass(size_t* o_index, TFrameInfo* o_info)
{
    if (_next == _paths.size()) {
        return false;
    }
    *o_index = _next;
    o_info->time = static_cast<double>(_next) / _frame_rate;
    o_info->name = _paths[_next++];
    return true;
}

FrameSource::TStatus FileFrameSource::read(size_t i_index, markeye::Image* o_frame, TFrameInfo* o_info) const
{
    const std::string& path = _paths[i_index];
    if (path == STANDARD_INPUT) {
        return readStandardInput(o_frame, o_info);
    }
    try {
        *o_frame = markeye::readImage(path, _read_options);
    } catch (const markeye::Error& e) {
        const std::string kind = FrameContent::videoKind(FrameContent::headOf(path));
        o_info->error = kind.empty()                    ? std::string(e.what())
                        : VideoFrameSource::available() ? path + " is a video (" + kind +
                                                              "): give a video as the only FRAME"
                                                        : noVideoMessage(path, kind);
        return TStatus::UNREADABLE;
    }
    return TStatus::FRAME;
}

FrameSource::TStatus FileFrameSource::readStandardInput(markeye::Image* o_frame, TFrameInfo* o_info) const
{
    std::string bytes;
    if (!readStream(stdin, STANDARD_INPUT_NAME, MAX_INPUT_BYTES, &bytes, &o_info->error)) {
        return TStatus::UNREADABLE;
    }
    try {
        *o_frame = markeye::decodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                        STANDARD_INPUT_NAME, _read_options);
    } catch (const markeye::Error& e) {
        const std::string kind = FrameContent::videoKind(bytes.substr(0, FrameContent::HEAD_SIZE));
        o_info->error = kind.empty() ? std::string(e.what())
                                     : std::string(STANDARD_INPUT_NAME) + " is a video (" + kind +
                                           "): read it with --raw WxH, WxH its frame size";
        return TStatus::UNREADABLE;
    }
    return TStatus::FRAME;
}

std::vector<std::string> FileFrameSource::expandFolders(const std::vector<std::string>& i_inputs)
{
    std::vector<std::string> paths;
    bool standard_input = false;
    for (const std::string& input : i_inputs) {
        if (input == STANDARD_INPUT) {
            if (standard_input) {
                throw UsageError("standard input (-) can be given once only");
            }
            standard_input = true;
        }
        std::error_code error;
        if (input != STANDARD_INPUT && std::filesystem::is_directory(input, error)) {
            const std::vector<std::string> pictures = picturesIn(input);
            paths.insert(paths.end(), pictures.begin(), pictures.end());
            continue;
        }
        paths.push_back(input);
    }
    return paths;
}

// ---- Raw frames

RawFrameSource::RawFrameSource(FILE* i_stream, const std::string& i_stream_name, int32_t i_width, int32_t i_height,
                               double i_frame_rate, std::string i_head)
    : _stream(i_stream), _stream_name(i_stream_name), _width(i_width), _height(i_height), _frame_rate(i_frame_rate),
      _head(std::move(i_head))
{
    markeye::checkImageSize(i_width, i_height, "--raw");
}

FrameSource::TStatus RawFrameSource::next(bool i_wanted, markeye::Image* o_frame, TFrameInfo* o_info)
{
    for (;;) {
        if (_ended) {
            return TStatus::END;
        }
        o_info->time = static_cast<double>(_index) / _frame_rate;
        o_info->name = std::to_string(_index);
        if (!readFrame(o_frame, o_info)) {
            return o_info->error.empty() ? TStatus::END : TStatus::UNREADABLE;
        }
        _index++;
        if (o_info->time >= _start) {
            return i_wanted ? TStatus::FRAME : TStatus::SKIPPED;
        }
    }
}

bool RawFrameSource::readFrame(markeye::Image* o_frame, TFrameInfo* o_info)
{
    if (o_frame->width() != _width || o_frame->height() != _height || o_frame->format() != markeye::PixelFormat::BGRX) {
        *o_frame = markeye::Image(_width, _height, markeye::PixelFormat::BGRX);
    }
    const size_t wanted = static_cast<size_t>(o_frame->stride()) * static_cast<size_t>(_height);
    const size_t from_head = std::min(_head.size(), wanted);
    std::memcpy(o_frame->data(), _head.data(), from_head);
    _head.erase(0, from_head);
    const size_t got = from_head + std::fread(o_frame->data() + from_head, 1, wanted - from_head, _stream);
    if (got == wanted) {
        return true;
    }
    _ended = true;
    if (std::ferror(_stream)) {
        o_info->error = "cannot read " + _stream_name + ": " + std::strerror(errno);
    } else if (got > 0) {
        o_info->error = _stream_name + " ended inside frame " + std::to_string(_index) + ": " + std::to_string(got) +
                        " bytes left where a frame of " + std::to_string(_width) + " x " + std::to_string(_height) +
                        " takes " + std::to_string(wanted) + " (is --raw the frames' size?)";
    }
    return false;
}

// ---- Videos

#ifdef MARKEYE_HAS_VIDEO

namespace {

std::unique_ptr<markeye::VideoReader> openVideo(const std::string& i_path)
{
    // The program's messages are its own.
    markeye::showFfmpegMessages(false);
    try {
        return std::make_unique<markeye::VideoReader>(i_path);
    } catch (const markeye::Error& e) {
        throw CliError(e.what());
    }
}

std::unique_ptr<markeye::VideoReader> openVideo(FILE* i_stream, std::string i_head, const std::string& i_name)
{
    markeye::showFfmpegMessages(false);
    try {
        return std::make_unique<markeye::VideoReader>(i_stream, std::move(i_head), i_name);
    } catch (const markeye::Error& e) {
        throw CliError(e.what());
    }
}

}  // namespace

VideoFrameSource::VideoFrameSource(const std::string& i_path, double i_fallback_rate)
    : _reader(openVideo(i_path)), _name(i_path), _fallback_rate(i_fallback_rate)
{
}

VideoFrameSource::VideoFrameSource(FILE* i_stream, std::string i_head, const std::string& i_stream_name,
                                   double i_fallback_rate)
    : _reader(openVideo(i_stream, std::move(i_head), i_stream_name)), _name(i_stream_name),
      _fallback_rate(i_fallback_rate)
{
}

int32_t VideoFrameSource::width() const
{
    return _reader->width();
}

int32_t VideoFrameSource::height() const
{
    return _reader->height();
}

double VideoFrameSource::frameRate() const
{
    const double rate = _reader->frameRate();
    return std::isnan(rate) ? _fallback_rate : rate;
}

void VideoFrameSource::start(double i_time)
{
    if (i_time > 0.0) {
        _reader->seek(i_time);
    }
}

FrameSource::TStatus VideoFrameSource::next(bool i_wanted, markeye::Image* o_frame, TFrameInfo* o_info)
{
    if (_ended) {
        return TStatus::END;
    }
    try {
        const bool more = i_wanted ? _reader->read(o_frame, &o_info->time) : _reader->skip(&o_info->time);
        if (!more) {
            return TStatus::END;
        }
    } catch (const markeye::Error& e) {
        // The stream cannot be read on: this frame is the last.
        _ended = true;
        o_info->name = std::to_string(_reader->frameIndex() + 1);
        o_info->error = e.what();
        return TStatus::UNREADABLE;
    }
    o_info->name = std::to_string(_reader->frameIndex());
    return i_wanted ? TStatus::FRAME : TStatus::SKIPPED;
}

bool VideoFrameSource::available()
{
    return true;
}

#else

}  // namespace Markeye

// Without the libraries no reader is ever made: an empty type stands in, so
// that the source's member can be destroyed.
class markeye::VideoReader
{
};

namespace Markeye {

VideoFrameSource::VideoFrameSource(const std::string& i_path, double i_fallback_rate)
    : _name(i_path), _fallback_rate(i_fallback_rate)
{
    throw CliError(noVideoMessage(i_path, FrameContent::videoKind(FrameContent::headOf(i_path))));
}

VideoFrameSource::VideoFrameSource(FILE*, std::string i_head, const std::string& i_stream_name,
                                   double i_fallback_rate)
    : _name(i_stream_name), _fallback_rate(i_fallback_rate)
{
    throw CliError(noVideoMessage(i_stream_name, FrameContent::videoKind(i_head)));
}

int32_t VideoFrameSource::width() const
{
    return 0;
}

int32_t VideoFrameSource::height() const
{
    return 0;
}

double VideoFrameSource::frameRate() const
{
    return _fallback_rate;
}

void VideoFrameSource::start(double) {}

FrameSource::TStatus VideoFrameSource::next(bool, markeye::Image*, TFrameInfo*)
{
    return TStatus::END;
}

bool VideoFrameSource::available()
{
    return false;
}

#endif

VideoFrameSource::~VideoFrameSource() = default;

// ---- Content

std::string FrameContent::headOf(const std::string& i_path)
{
    // Opening a FIFO would block: only a regular file has a head to look at.
    std::error_code error;
    if (!std::filesystem::is_regular_file(i_path, error)) {
        return std::string();
    }
    std::ifstream file(i_path, std::ios::binary);
    std::string head(HEAD_SIZE, '\0');
    file.read(&head[0], static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    return head;
}

std::string FrameContent::headOf(FILE* i_stream)
{
    std::string head(HEAD_SIZE, '\0');
    head.resize(std::fread(&head[0], 1, head.size(), i_stream));
    return head;
}

bool FrameContent::isPicture(const std::string& i_head)
{
    const auto starts = [&](const std::string& i_magic) { return i_head.compare(0, i_magic.size(), i_magic) == 0; };
    return starts("\x89PNG") || starts("\xFF\xD8\xFF") ||
           (i_head.size() >= 2 && i_head[0] == 'P' && i_head[1] >= '1' && i_head[1] <= '6');
}

std::string FrameContent::videoKind(const std::string& i_head)
{
    const auto at = [&](size_t i_offset, const std::string& i_magic) {
        return i_head.size() >= i_offset + i_magic.size() && i_head.compare(i_offset, i_magic.size(), i_magic) == 0;
    };
    if (at(4, "ftyp") || at(4, "moov") || at(4, "mdat") || at(4, "wide") || at(4, "free")) {
        return "MP4 or QuickTime";
    }
    if (at(0, std::string("\x1A\x45\xDF\xA3", 4))) {
        return "Matroska or WebM";
    }
    if (at(0, "RIFF") && at(8, "AVI ")) {
        return "AVI";
    }
    if (at(0, "YUV4MPEG2")) {
        return "Y4M";
    }
    if (at(0, "OggS")) {
        return "Ogg";
    }
    if (at(0, std::string("FLV\x01", 4))) {
        return "FLV";
    }
    if (at(0, std::string("\x00\x00\x01\xBA", 4))) {
        return "MPEG program stream";
    }
    return "";
}

}  // namespace Markeye
