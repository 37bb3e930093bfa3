#include "JpegFile.h"

// jpeglib.h needs FILE and size_t declared first.
#include <cstddef>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>

#include "markeye/ImageFile.h"
#include "markeye/Error.h"

namespace markeye {

namespace {

// libjpeg's state and its error handling. libjpeg reports a fatal error by
// long jump to run(), which holds no object with a destructor; the state is
// released by this object's destructor however decoding ends.
class JpegReader
{
public:
    JpegReader()
    {
        std::memset(&_info, 0, sizeof _info);
        _info.err = jpeg_std_error(&_error.manager);
        _error.manager.error_exit = onError;
        _error.manager.emit_message = onMessage;
    }
    ~JpegReader()
    {
        if (_created) {
            jpeg_destroy_decompress(&_info);
        }
    }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    // False with message() set when the data is not a complete JPEG picture.
    // Throws Error (from Image) for a size out of range.
    bool run(const std::vector<uint8_t>& i_bytes, const std::string& i_name, Image* o_image);
    const char* message() const { return _error.message; }

private:
    struct TError
    {
        // First, so that libjpeg's pointer to it is a pointer to the whole.
        jpeg_error_mgr manager;
        jmp_buf jump;
        char message[JMSG_LENGTH_MAX];
        bool truncated;
    };

    [[noreturn]] static void onError(j_common_ptr i_info)
    {
        TError* error = reinterpret_cast<TError*>(i_info->err);
        error->manager.format_message(i_info, error->message);
        std::longjmp(error->jump, 1);
    }

    // Warnings are quiet, except that data ending early is remembered.
    static void onMessage(j_common_ptr i_info, int i_level)
    {
        TError* error = reinterpret_cast<TError*>(i_info->err);
        if (i_level == -1 && error->manager.msg_code == JWRN_JPEG_EOF && !error->truncated) {
            error->truncated = true;
            error->manager.format_message(i_info, error->message);
        }
    }

    jpeg_decompress_struct _info;
    TError _error{};
    bool _created = false;
};

bool JpegReader::run(const std::vector<uint8_t>& i_bytes, const std::string& i_name, Image* o_image)
{
    if (setjmp(_error.jump)) {
        return false;
    }
    jpeg_create_decompress(&_info);
    _created = true;
    jpeg_mem_src(&_info, i_bytes.data(), static_cast<unsigned long>(i_bytes.size()));
    jpeg_read_header(&_info, TRUE);
    _info.out_color_space = JCS_EXT_BGRX;
    checkImageSize(_info.image_width, _info.image_height, i_name);
    jpeg_start_decompress(&_info);
    *o_image =
        Image(static_cast<int32_t>(_info.output_width), static_cast<int32_t>(_info.output_height), PixelFormat::BGRX, 255);
    while (_info.output_scanline < _info.output_height) {
        JSAMPROW row = o_image->pixel(0, static_cast<int32_t>(_info.output_scanline));
        jpeg_read_scanlines(&_info, &row, 1);
    }
    jpeg_finish_decompress(&_info);
    return !_error.truncated;
}

}  // namespace

Image JpegFile::decode(const std::vector<uint8_t>& i_bytes, const std::string& i_name)
{
    JpegReader reader;
    Image image;
    if (!reader.run(i_bytes, i_name, &image)) {
        throw Error(i_name + ": bad JPEG: " + reader.message());
    }
    return image;
}

}  // namespace markeye
