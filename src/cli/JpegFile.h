#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "BgraImage.h"

namespace Markeye {

// JPEG through libjpeg(-turbo): colour and greyscale pictures. A file that
// ends before its last row is an error, not a picture with grey rows.
class JpegFile
{
public:
    // i_name is used in messages only. Throws CliError naming it.
    static BgraImage decode(const std::vector<uint8_t>& i_bytes, const std::string& i_name);
};

}  // namespace Markeye
