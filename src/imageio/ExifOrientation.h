#pragma once

#include <cstddef>
#include <cstdint>

#include "markeye/Image.h"

namespace markeye {

// The EXIF orientation of a picture (TIFF tag 0x0112 in IFD0): how the
// stored pixels are to be turned to show upright, 1 (as stored) to 8.
class ExifOrientation
{
public:
    static constexpr int32_t UPRIGHT = 1;

    // The orientation an APP1 segment's data (from "Exif\0\0" on) gives;
    // UPRIGHT for a segment that is no EXIF, holds no orientation, or is
    // damaged (the pixels are still good).
    static int32_t fromApp1(const uint8_t* i_data, std::size_t i_size);
    // i_image turned upright as orientation i_orientation says (sides
    // swapped for 5 to 8); the image itself for UPRIGHT or a value out of range.
    static Image apply(Image i_image, int32_t i_orientation);
};

}  // namespace markeye
