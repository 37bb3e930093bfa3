#pragma once

#include <cstdint>
#include <string>

#include "markeye/Image.h"

namespace markeye {

// The built-in marker pictures: black-on-white 16 x 16 glyphs of our own
// design, by index.
namespace BuiltinPictures {

constexpr int32_t SIZE = 16;

int32_t count();
// Short lower-case name, usable as a file name stem; i_index in [0, count()).
const char* name(int32_t i_index);
// SIZE x SIZE RGB; i_index in [0, count()).
Image picture(int32_t i_index);
// Index of the named picture, or -1.
int32_t find(const std::string& i_name);

}  // namespace BuiltinPictures

}  // namespace markeye
