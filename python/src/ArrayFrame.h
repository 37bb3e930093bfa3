#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <vector>

#include "markeye/Image.h"

namespace MarkeyePython {

// A NumPy uint8 picture seen as the library's ImageView: H x W (grey),
// H x W x 1, H x W x 3 (BGR, or RGB with order "rgb") or H x W x 4 (BGRA or
// RGBA). Rows may lie at any distance, also negative (a flipped view), and
// are read in place as long as each pixel's channels are adjacent bytes and
// pixels are a pixel's size apart; any other layout is copied into a packed
// buffer the caller owns (or refused). Every refusal is a markeye::Error
// saying what was expected.
class ArrayFrame
{
public:
    // Checks i_image (any object; i_what names it in messages) and its
    // layout. Needs the GIL. Throws Error for an object that is not a
    // uint8 ndarray of one of the shapes above, an empty one, or an order
    // other than "bgr" and "rgb".
    ArrayFrame(const pybind11::object& i_image, const std::string& i_order, const char* i_what);

    // Whether the pixels can be read in place.
    bool inPlace() const { return _in_place; }
    // The view of the pixels: in place, or (i_allow_copy) packed into
    // io_copy, whose capacity is reused from call to call. Does not need the
    // GIL; the array must stay alive while the view is used. Throws Error
    // naming the strides expected when the layout is not readable in place
    // and copying is not allowed.
    markeye::ImageView view(bool i_allow_copy, std::vector<uint8_t>* io_copy) const;
    // The view for drawing into: the pixels in place, writeable. Throws
    // Error when the array is read-only or not laid out in place.
    markeye::ImageView writableView() const;

    int32_t width() const { return _width; }
    int32_t height() const { return _height; }

private:
    // Packs the pixels, CHANNELS bytes each, into o_pixels.
    template <int32_t CHANNELS>
    void packInto(uint8_t* o_pixels) const;
    // The message for a layout that cannot be read in place.
    std::string layoutMessage(const char* i_remedy) const;

    pybind11::array _array;
    std::string _what;
    int32_t _width = 0;
    int32_t _height = 0;
    int32_t _channels = 0;
    markeye::PixelFormat _format = markeye::PixelFormat::GRAY;
    std::ptrdiff_t _row_step = 0;
    std::ptrdiff_t _pixel_step = 0;
    std::ptrdiff_t _channel_step = 0;
    bool _in_place = false;
};

// "bgr" or "rgb"; throws Error naming i_order otherwise.
bool isRgbOrder(const std::string& i_order);

}  // namespace MarkeyePython
