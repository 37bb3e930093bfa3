#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "markeye/Image.h"

namespace markeye {

// JPEG through libjpeg(-turbo): colour and greyscale pictures. A file that
// ends before its last row is an error, not a picture with grey rows.
class JpegFile
{
public:
    // i_name is used in messages only. Throws Error naming it.
    static Image decode(const std::vector<uint8_t>& i_bytes, const std::string& i_name);
};

}  // namespace markeye
