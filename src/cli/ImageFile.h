#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "BgraImage.h"

namespace Markeye {

// Reading frames and pictures: PNG, JPEG, and binary or plain PPM/PGM,
// told apart by their first bytes, not by the file name.
class ImageFile
{
public:
    // Throws CliError with one line naming the file and the fault.
    static BgraImage read(const std::string& i_path);
    // i_name is used in messages only.
    static BgraImage decode(const std::vector<uint8_t>& i_bytes, const std::string& i_name);
};

}  // namespace Markeye
