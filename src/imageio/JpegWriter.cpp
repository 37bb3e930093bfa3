// writeJpeg: the JPEG side of the picture files, beside JpegFile's reader.

#include "JpegError.h"

#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "ViewCheck.h"
#include "markeye/Error.h"
#include "markeye/ImageFile.h"

namespace markeye {

namespace {

// High enough that a printed marker's edges stay sharp.
constexpr int QUALITY = 95;

// libjpeg's compressor with its error handling. libjpeg reports a fatal
// error by long jump to run(), which holds no object with a destructor; the
// state and the encoded bytes are released by this object's destructor.
class JpegEncoder
{
public:
    JpegEncoder()
    {
        std::memset(&_info, 0, sizeof _info);
        _error.install(reinterpret_cast<jpeg_common_struct*>(&_info));
    }
    ~JpegEncoder()
    {
        if (_created) {
            jpeg_destroy_compress(&_info);
        }
        std::free(_bytes);
    }
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;

    // False with message() set when libjpeg fails.
    bool run(const ImageView& i_image, double i_dpi);
    const char* message() const { return _error.message; }
    const unsigned char* bytes() const { return _bytes; }
    size_t size() const { return _size; }

private:
    jpeg_compress_struct _info;
    TJpegError _error{};
    bool _created = false;
    unsigned char* _bytes = nullptr;
    unsigned long _size = 0;
};

J_COLOR_SPACE colourSpace(PixelFormat i_format)
{
    switch (i_format) {
    case PixelFormat::BGRA:
        return JCS_EXT_BGRA;
    case PixelFormat::BGRX:
        return JCS_EXT_BGRX;
    case PixelFormat::BGR:
        return JCS_EXT_BGR;
    case PixelFormat::RGBA:
        return JCS_EXT_RGBA;
    case PixelFormat::RGBX:
        return JCS_EXT_RGBX;
    case PixelFormat::RGB:
        return JCS_RGB;
    case PixelFormat::GRAY:
        return JCS_GRAYSCALE;
    }
    return JCS_UNKNOWN;
}

bool JpegEncoder::run(const ImageView& i_image, double i_dpi)
{
    if (setjmp(_error.jump)) {
        return false;
    }
    jpeg_create_compress(&_info);
    _created = true;
    jpeg_mem_dest(&_info, &_bytes, &_size);
    _info.image_width = static_cast<JDIMENSION>(i_image.width);
    _info.image_height = static_cast<JDIMENSION>(i_image.height);
    _info.input_components = bytesPerPixel(i_image.format);
    _info.in_color_space = colourSpace(i_image.format);
    jpeg_set_defaults(&_info);
    jpeg_set_quality(&_info, QUALITY, TRUE);
    if (i_dpi > 0.0) {
        // JFIF density in dots per inch, so that the picture prints at size.
        _info.density_unit = 1;
        _info.X_density = _info.Y_density = static_cast<UINT16>(std::lround(std::fmin(i_dpi, 65535.0)));
    }
    jpeg_start_compress(&_info, TRUE);
    while (_info.next_scanline < _info.image_height) {
        // libjpeg takes rows as writable pointers but does not write them.
        JSAMPROW row = const_cast<JSAMPROW>(i_image.data + static_cast<std::ptrdiff_t>(_info.next_scanline) *
                                                                i_image.stride);
        jpeg_write_scanlines(&_info, &row, 1);
    }
    jpeg_finish_compress(&_info);
    return true;
}

}  // namespace

void writeJpeg(const std::string& i_path, const ImageView& i_image, double i_dpi)
{
    checkView(i_image, "picture for " + i_path);
    JpegEncoder encoder;
    if (!encoder.run(i_image, i_dpi)) {
        throw Error("cannot write " + i_path + ": " + encoder.message());
    }
    FILE* file = std::fopen(i_path.c_str(), "wb");
    if (file == nullptr) {
        throw Error("cannot write " + i_path + ": " + std::strerror(errno));
    }
    const bool written = std::fwrite(encoder.bytes(), 1, encoder.size(), file) == encoder.size() &&
                         std::fflush(file) == 0;
    const int error = errno;
    std::fclose(file);
    if (!written) {
        throw Error("cannot write " + i_path + ": " + std::strerror(error));
    }
}

}  // namespace markeye
