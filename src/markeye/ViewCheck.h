#pragma once

#include <string>

#include "markeye/Image.h"

namespace markeye {

// Throws Error naming i_what when a view cannot be read: no data, a size
// that is not positive, rows shorter than width pixels, or a format that is
// none of PixelFormat's.
void checkView(const ImageView& i_view, const std::string& i_what);

}  // namespace markeye
