#include "JpegFile.h"

#include "JpegError.h"

#include <jerror.h>

#include <csetjmp>
#include <cstring>
#include <utility>

#include "ExifOrientation.h"
#include "markeye/Error.h"
#include "markeye/ImageFile.h"

namespace markeye {

namespace {

// libjpeg's own memory for a picture (the whole-picture coefficients of a
// progressive file: 2 bytes a sample, at most 4 samples a pixel), so that
// decoding stays within about 12 bytes a pixel with the 4-byte frame.
constexpr long MEMORY_PER_PIXEL = 8;
constexpr long MEMORY_SLACK = long{16} << 20;

// libjpeg's state and its error handling. libjpeg reports a fatal error by
// long jump to run(), which holds no object with a destructor; the state is
// released by this object's destructor however decoding ends.
class JpegReader
{
public:
    JpegReader()
    {
        std::memset(&_info, 0, sizeof _info);
        _error.install(reinterpret_cast<jpeg_common_struct*>(&_info));
        _error.manager.emit_message = onMessage;
        _progress.progress_monitor = onProgress;
    }
    ~JpegReader()
    {
        if (_created) {
            jpeg_destroy_decompress(&_info);
        }
    }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    // False with message() set when the data is not a sound JPEG picture.
    // Throws Error (from Image) for a size out of range.
    bool run(const TBytes& i_bytes, const std::string& i_name, bool i_exif_orientation, Image* o_image);
    const char* message() const { return _error.message; }
    // The EXIF orientation found by run().
    int32_t orientation() const { return _orientation; }

private:
    // A warning (level -1) means damaged data: decoding stops at once, which
    // also bounds the work a damaged file costs. Trace messages are quiet.
    static void onMessage(j_common_ptr i_info, int i_level)
    {
        if (i_level == -1) {
            TJpegError::onError(i_info);
        }
    }

    static void onProgress(j_common_ptr i_info)
    {
        const j_decompress_ptr info = reinterpret_cast<j_decompress_ptr>(i_info);
        if (info->input_scan_number > MAX_JPEG_SCANS) {
            TJpegError* error = TJpegError::of(i_info);
            std::snprintf(error->message, sizeof error->message, "more than %d scans, the most read",
                          static_cast<int>(MAX_JPEG_SCANS));
            std::longjmp(error->jump, 1);
        }
    }

    void readOrientation();
    void readRows(Image* io_image);

    jpeg_decompress_struct _info;
    TJpegError _error{};
    jpeg_progress_mgr _progress{};
    bool _created = false;
    int32_t _orientation = ExifOrientation::UPRIGHT;
};

void JpegReader::readOrientation()
{
    for (jpeg_saved_marker_ptr marker = _info.marker_list; marker != nullptr; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1) {
            _orientation = ExifOrientation::fromApp1(marker->data, marker->data_length);
            return;
        }
    }
}

// CMYK and YCCK arrive as CMYK with Adobe's inverted inks (255: no ink), so
// each colour is the ink's value times black's.
void JpegReader::readRows(Image* io_image)
{
    const bool cmyk = _info.out_color_space == JCS_CMYK;
    while (_info.output_scanline < _info.output_height) {
        JSAMPROW row = io_image->pixel(0, static_cast<int32_t>(_info.output_scanline));
        jpeg_read_scanlines(&_info, &row, 1);
        for (JDIMENSION x = 0; cmyk && x < _info.output_width; x++, row += 4) {
            const uint32_t k = row[3];
            const uint8_t blue = static_cast<uint8_t>((row[2] * k + 127) / 255);
            const uint8_t green = static_cast<uint8_t>((row[1] * k + 127) / 255);
            const uint8_t red = static_cast<uint8_t>((row[0] * k + 127) / 255);
            row[0] = blue;
            row[1] = green;
            row[2] = red;
            row[3] = 255;
        }
    }
}

bool JpegReader::run(const TBytes& i_bytes, const std::string& i_name, bool i_exif_orientation, Image* o_image)
{
    if (setjmp(_error.jump)) {
        return false;
    }
    jpeg_create_decompress(&_info);
    _created = true;
    _info.progress = &_progress;
    jpeg_mem_src(&_info, i_bytes.data, static_cast<unsigned long>(i_bytes.size));
    if (i_exif_orientation) {
        jpeg_save_markers(&_info, JPEG_APP0 + 1, 0xFFFF);
    }
    jpeg_read_header(&_info, TRUE);
    checkImageSize(_info.image_width, _info.image_height, i_name);
    const bool cmyk = _info.jpeg_color_space == JCS_CMYK || _info.jpeg_color_space == JCS_YCCK;
    _info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
    _info.mem->max_memory_to_use =
        MEMORY_PER_PIXEL * static_cast<long>(_info.image_width) * static_cast<long>(_info.image_height) + MEMORY_SLACK;
    readOrientation();
    jpeg_start_decompress(&_info);
    *o_image =
        Image(static_cast<int32_t>(_info.output_width), static_cast<int32_t>(_info.output_height), PixelFormat::BGRX, 255);
    readRows(o_image);
    jpeg_finish_decompress(&_info);
    return true;
}

}  // namespace

Image JpegFile::decode(const TBytes& i_bytes, const std::string& i_name, bool i_exif_orientation)
{
    JpegReader reader;
    Image image;
    if (!reader.run(i_bytes, i_name, i_exif_orientation, &image)) {
        throw Error(i_name + ": bad JPEG: " + reader.message());
    }
    return ExifOrientation::apply(std::move(image), reader.orientation());
}

}  // namespace markeye
