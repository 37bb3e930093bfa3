#include "PngFile.h"

#include <png.h>

#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "markeye/ImageFile.h"
#include "markeye/Error.h"

namespace markeye {

namespace {

// Frees libpng's reading state however decoding ends.
class ReadState
{
public:
    ReadState()
    {
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
    }
    ~ReadState() { png_image_free(&image); }
    ReadState(const ReadState&) = delete;
    ReadState& operator=(const ReadState&) = delete;

    png_image image;
};

// libpng reports errors by long jump; everything with a destructor lives
// outside the function that sets the jump point (writeImage).
[[noreturn]] void onWriteError(png_structp i_png, png_const_charp i_message)
{
    std::strncpy(static_cast<char*>(png_get_error_ptr(i_png)), i_message, 255);
    png_longjmp(i_png, 1);
}

void onWriteWarning(png_structp, png_const_charp)
{
}

bool writeImage(png_structp i_png, png_infop i_info, FILE* i_file, const ImageView& i_image,
                uint32_t i_dots_per_metre)
{
    if (setjmp(png_jmpbuf(i_png))) {
        return false;
    }
    png_init_io(i_png, i_file);
    const bool grey = i_image.format == PixelFormat::GRAY;
    png_set_IHDR(i_png, i_info, static_cast<png_uint_32>(i_image.width), static_cast<png_uint_32>(i_image.height),
                 8, grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (i_dots_per_metre > 0) {
        png_set_pHYs(i_png, i_info, i_dots_per_metre, i_dots_per_metre, PNG_RESOLUTION_METER);
    }
    // Camera frames with noise hardly shrink further at higher levels, which
    // take several times longer.
    png_set_compression_level(i_png, 1);
    png_write_info(i_png, i_info);
    if (i_image.format == PixelFormat::BGRA || i_image.format == PixelFormat::BGRX ||
        i_image.format == PixelFormat::BGR) {
        png_set_bgr(i_png);
    }
    if (bytesPerPixel(i_image.format) == 4) {
        // The fourth byte is dropped.
        png_set_filler(i_png, 0, PNG_FILLER_AFTER);
    }
    for (int32_t y = 0; y < i_image.height; y++) {
        png_write_row(i_png, i_image.data + y * i_image.stride);
    }
    png_write_end(i_png, nullptr);
    return true;
}

// Deflate turns one byte into at most 1032 (258 per 2-bit code for a
// repeated byte), so a size needing more raw bytes than that cannot be
// in the file: refused before the frame is made.
constexpr uint64_t MAX_DEFLATE_RATIO = 1032;
// The header's fields: bit depth and colour type after width and height.
constexpr std::size_t IHDR_BIT_DEPTH = 24;
constexpr std::size_t IHDR_COLOUR_TYPE = 25;

uint64_t samplesPerPixel(uint8_t i_colour_type)
{
    switch (i_colour_type) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
    }
}

void checkCompressedSize(const TBytes& i_bytes, uint32_t i_width, uint32_t i_height, const std::string& i_name)
{
    // libpng has read the header, which comes first and whole.
    const uint64_t bits = i_bytes.data[IHDR_BIT_DEPTH] * samplesPerPixel(i_bytes.data[IHDR_COLOUR_TYPE]);
    const uint64_t raw = uint64_t{i_height} * (1 + (uint64_t{i_width} * bits + 7) / 8);
    if (raw > MAX_DEFLATE_RATIO * i_bytes.size) {
        throw Error(i_name + ": bad PNG: " + std::to_string(i_width) + " x " + std::to_string(i_height) +
                    " pixels take " + std::to_string(raw) + " bytes, more than the file's " +
                    std::to_string(i_bytes.size) + " compressed bytes can hold");
    }
}

}  // namespace

Image PngFile::decode(const TBytes& i_bytes, const std::string& i_name)
{
    ReadState state;
    png_image& image = state.image;
    if (!png_image_begin_read_from_memory(&image, i_bytes.data, i_bytes.size)) {
        throw Error(i_name + ": bad PNG: " + image.message);
    }
    checkImageSize(image.width, image.height, i_name);
    checkCompressedSize(i_bytes, image.width, image.height, i_name);
    image.format = PNG_FORMAT_BGR;
    // The frame's buffer holds the three-byte pixels in its last three
    // quarters, spread to four bytes from the front: no second buffer.
    Image frame(static_cast<int32_t>(image.width), static_cast<int32_t>(image.height), PixelFormat::BGRX, 255);
    const std::size_t pixels = std::size_t{image.width} * image.height;
    uint8_t* const target = frame.data();
    const png_color white = {255, 255, 255};
    if (!png_image_finish_read(&image, &white, target + pixels, 0, nullptr)) {
        throw Error(i_name + ": bad PNG: " + image.message);
    }
    for (std::size_t i = 0; i < pixels; i++) {
        uint8_t bgr[3];
        std::memcpy(bgr, target + pixels + 3 * i, 3);
        std::memcpy(target + 4 * i, bgr, 3);
        target[4 * i + 3] = 255;
    }
    return frame;
}

void PngFile::write(const std::string& i_path, const ImageView& i_image, double i_dpi)
{
    FILE* file = std::fopen(i_path.c_str(), "wb");
    if (file == nullptr) {
        throw Error("cannot write " + i_path + ": " + std::strerror(errno));
    }
    char message[256] = "out of memory";
    const uint32_t dots_per_metre = i_dpi > 0.0 ? static_cast<uint32_t>(std::lround(i_dpi / 0.0254)) : 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, message, onWriteError, onWriteWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    const bool written = info != nullptr && writeImage(png, info, file, i_image, dots_per_metre);
    png_destroy_write_struct(&png, &info);
    const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
    const int error = errno;
    std::fclose(file);
    if (!written) {
        throw Error("cannot write " + i_path + ": " + message);
    }
    if (!flushed) {
        throw Error("cannot write " + i_path + ": " + std::strerror(error));
    }
}

}  // namespace markeye
