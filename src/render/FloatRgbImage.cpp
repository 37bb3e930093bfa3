#include "FloatRgbImage.h"

namespace Markeye {

FloatRgbImage::FloatRgbImage(int32_t i_width, int32_t i_height)
    : _width(i_width),
      _height(i_height),
      _data(static_cast<size_t>(i_width) * static_cast<size_t>(i_height) * CHANNELS, 0.0f)
{
}

}  // namespace Markeye
