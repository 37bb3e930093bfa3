#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ImageBytes.h"

#include "markeye/Image.h"

namespace markeye {

// PNG through libpng. Any PNG is read (grey, palette, 16-bit, interlaced);
// a transparent picture is laid over white, as on a sheet of paper.
class PngFile
{
public:
    // i_name is used in messages only. Throws Error naming it.
    static Image decode(const TBytes& i_bytes, const std::string& i_name);
    // Writes 8-bit RGB, or grey for a grey view (a fourth byte is left out). A positive i_dpi is
    // stored as the physical pixel size, so the picture prints at the
    // intended size. Throws Error naming the file.
    static void write(const std::string& i_path, const ImageView& i_image, double i_dpi = 0.0);
};

}  // namespace markeye
