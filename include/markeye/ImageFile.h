#pragma once

// Picture files for C++ users of the library: link Markeye::markeye_imageio
// (it needs libpng and libjpeg; the tracking library does not).

#include <cstddef>
#include <cstdint>
#include <string>

#include "markeye/Image.h"

namespace markeye {

// Largest side and pixel count read from a file: far beyond any camera frame,
// small enough that a hostile header cannot make a reader allocate gigabytes.
constexpr int32_t MAX_IMAGE_SIDE = 16384;
constexpr int64_t MAX_IMAGE_PIXELS = int64_t(1) << 26;

// Throws Error naming i_name for a picture size no reader accepts: empty, or
// beyond MAX_IMAGE_SIDE or MAX_IMAGE_PIXELS.
void checkImageSize(int64_t i_width, int64_t i_height, const std::string& i_name);

// A PNG, JPEG, or binary or plain PPM/PGM picture, told apart by its first
// bytes, not its name, as BGRX pixels (the fourth byte 255). Grey, palette
// and 16-bit pictures are read; a transparent one is laid on white. Throws
// Error with one line naming the file and the fault.
Image readImage(const std::string& i_path);
// The same from bytes in memory; i_name is used in messages.
Image decodeImage(const uint8_t* i_bytes, std::size_t i_size, const std::string& i_name);
// Writes an 8-bit RGB PNG of any readable view. A positive i_dpi is stored as
// the physical pixel size, so that the picture prints at the intended size.
// Throws Error naming the file.
void writePng(const std::string& i_path, const ImageView& i_image, double i_dpi = 0.0);

}  // namespace markeye
