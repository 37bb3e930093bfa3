#include "ViewCheck.h"

#include <cstdlib>

#include "markeye/Error.h"

namespace markeye {

namespace {

bool isKnownFormat(PixelFormat i_format)
{
    switch (i_format) {
    case PixelFormat::BGRA:
    case PixelFormat::BGRX:
    case PixelFormat::RGBA:
    case PixelFormat::RGBX:
    case PixelFormat::BGR:
    case PixelFormat::RGB:
    case PixelFormat::GRAY:
        return true;
    }
    return false;
}

}  // namespace

void checkView(const ImageView& i_view, const std::string& i_what)
{
    if (i_view.data == nullptr) {
        throw Error(i_what + ": no pixel data");
    }
    if (i_view.width <= 0 || i_view.height <= 0) {
        throw Error(i_what + ": size must be positive, not " + std::to_string(i_view.width) + " x " +
                    std::to_string(i_view.height));
    }
    if (!isKnownFormat(i_view.format)) {
        throw Error(i_what + ": unknown pixel format " + std::to_string(static_cast<int>(i_view.format)));
    }
    const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(i_view.width) * bytesPerPixel(i_view.format);
    if (std::llabs(static_cast<long long>(i_view.stride)) < row) {
        throw Error(i_what + ": a row of " + std::to_string(i_view.width) + " pixels takes " + std::to_string(row) +
                    " bytes, but the stride is " + std::to_string(i_view.stride));
    }
}

}  // namespace markeye
