#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "BgraImage.h"

namespace Markeye {

// PNG through libpng. Any PNG is read (grey, palette, 16-bit, interlaced);
// a transparent picture is laid over white, as on a sheet of paper.
class PngFile
{
public:
    // i_name is used in messages only. Throws CliError naming it.
    static BgraImage decode(const std::vector<uint8_t>& i_bytes, const std::string& i_name);
    // Writes 8-bit RGB (the fourth byte is left out). A positive i_dpi is
    // stored as the physical pixel size, so the picture prints at the
    // intended size. Throws CliError naming the file.
    static void write(const std::string& i_path, const BgraImage& i_image, double i_dpi = 0.0);
};

}  // namespace Markeye
