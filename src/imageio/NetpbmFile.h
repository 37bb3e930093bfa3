#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ImageBytes.h"

#include "markeye/Image.h"

namespace markeye {

// PPM (colour) and PGM (grey) pictures, binary (P6, P5) or plain text (P3,
// P2), with any maximum value up to 65535; samples are scaled to 0..255.
class NetpbmFile
{
public:
    static bool isNetpbm(const TBytes& i_bytes);
    // i_name is used in messages only. Throws Error naming it.
    static Image decode(const TBytes& i_bytes, const std::string& i_name);
};

}  // namespace markeye
