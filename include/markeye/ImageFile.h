#pragma once

// Picture files for C++ users of the library: link Markeye::markeye_imageio
// (it needs libpng and libjpeg; the tracking library does not).

#include <cstddef>
#include <cstdint>
#include <string>

#include "markeye/Image.h"

namespace markeye {

// The largest frame: the largest side and pixel count read from a file and
// the largest camera (Camera refuses a file stating more). Far beyond any
// camera frame, small enough that a hostile header cannot make a reader
// allocate gigabytes: decoding takes at most about 12 bytes per pixel.
constexpr int32_t MAX_IMAGE_SIDE = 16384;
constexpr int64_t MAX_IMAGE_PIXELS = int64_t(1) << 26;
// The largest picture file read: four bytes for each pixel of the largest
// frame (256 MiB).
constexpr std::size_t MAX_IMAGE_FILE_BYTES = std::size_t{4} << 26;
// Scans of a progressive JPEG: a few tens are usual; each one costs a pass
// over the whole picture, so a file asking for more is refused.
constexpr int32_t MAX_JPEG_SCANS = 100;

// How pictures are read.
struct ImageReadOptions
{
    // Turn a JPEG as its EXIF orientation (APP1, tag 0x0112, 1 to 8) says,
    // so that the frame is upright as picture viewers show it. Default true.
    bool exif_orientation = true;
};

// Throws Error naming i_name for a picture size no reader accepts: empty, or
// beyond MAX_IMAGE_SIDE or MAX_IMAGE_PIXELS.
void checkImageSize(int64_t i_width, int64_t i_height, const std::string& i_name);

// A PNG, JPEG, or binary or plain PPM/PGM picture, told apart by its first
// bytes, not its name, as BGRX pixels (the fourth byte 255). Grey, palette
// and 16-bit pictures are read; a transparent one is laid on white; CMYK and
// YCCK JPEGs are read with Adobe's inverted inks. Throws Error with one line
// naming the file and the fault: not a regular file or larger than
// MAX_IMAGE_FILE_BYTES, a size beyond the largest frame or more than the
// file's bytes can hold, damaged data (a JPEG that libjpeg warns about
// too), or a JPEG of more than MAX_JPEG_SCANS scans.
Image readImage(const std::string& i_path, const ImageReadOptions& i_options = {});
// The same from bytes in memory; i_name is used in messages.
Image decodeImage(const uint8_t* i_bytes, std::size_t i_size, const std::string& i_name,
                  const ImageReadOptions& i_options = {});
// Writes an 8-bit RGB PNG of any readable view. A positive i_dpi is stored as
// the physical pixel size, so that the picture prints at the intended size.
// Throws Error naming the file.
void writePng(const std::string& i_path, const ImageView& i_image, double i_dpi = 0.0);
// Writes a baseline JPEG (quality 95) of any readable view: colour, or grey
// for a grey view. A positive i_dpi is stored as the JFIF density. Throws
// Error naming the file.
void writeJpeg(const std::string& i_path, const ImageView& i_image, double i_dpi = 0.0);

}  // namespace markeye
