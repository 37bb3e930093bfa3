#pragma once

#include <string>

#include "ImageBytes.h"
#include "markeye/Image.h"

namespace markeye {

// JPEG through libjpeg(-turbo): colour, greyscale, CMYK and YCCK pictures.
// Any warning libjpeg gives (data damaged or ending before the last row) is
// an error, not a picture with grey rows; so is a file of more than
// MAX_JPEG_SCANS scans, each of which costs a pass over the picture.
class JpegFile
{
public:
    // i_name is used in messages only. i_exif_orientation: turn the picture
    // upright as its EXIF orientation says. Throws Error naming it.
    static Image decode(const TBytes& i_bytes, const std::string& i_name, bool i_exif_orientation);
};

}  // namespace markeye
