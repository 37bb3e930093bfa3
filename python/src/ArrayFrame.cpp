#include "ArrayFrame.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "markeye/Error.h"

namespace py = pybind11;

namespace MarkeyePython {

namespace {

const char* const SHAPES = "(height, width), (height, width, 1), (height, width, 3) or (height, width, 4)";

std::string tupleText(const py::ssize_t* i_values, py::ssize_t i_count)
{
    std::string text = "(";
    for (py::ssize_t i = 0; i < i_count; i++) {
        text += (i > 0 ? ", " : "") + std::to_string(i_values[i]);
    }
    return text + (i_count == 1 ? ",)" : ")");
}

markeye::PixelFormat formatOf(int32_t i_channels, bool i_rgb)
{
    switch (i_channels) {
    case 3:
        return i_rgb ? markeye::PixelFormat::RGB : markeye::PixelFormat::BGR;
    case 4:
        return i_rgb ? markeye::PixelFormat::RGBA : markeye::PixelFormat::BGRA;
    default:
        return markeye::PixelFormat::GRAY;
    }
}

}  // namespace

bool isRgbOrder(const std::string& i_order)
{
    if (i_order == "bgr") {
        return false;
    }
    if (i_order == "rgb") {
        return true;
    }
    throw markeye::Error("order must be \"bgr\" or \"rgb\", not \"" + i_order + "\"");
}

ArrayFrame::ArrayFrame(const py::object& i_image, const std::string& i_order, const char* i_what) : _what(i_what)
{
    const bool rgb = isRgbOrder(i_order);
    if (!py::isinstance<py::array>(i_image)) {
        throw markeye::Error(_what + ": expected a numpy.ndarray of dtype uint8, not " +
                             std::string(py::str(py::type::of(i_image).attr("__name__"))));
    }
    _array = py::reinterpret_borrow<py::array>(i_image);
    if (!_array.dtype().is(py::dtype::of<uint8_t>())) {
        throw markeye::Error(_what + ": expected dtype uint8, not " + std::string(py::str(_array.dtype())));
    }
    const py::ssize_t dimensions = _array.ndim();
    const py::ssize_t* shape = _array.shape();
    const std::string shape_text = tupleText(shape, dimensions);
    if (dimensions != 2 && !(dimensions == 3 && (shape[2] == 1 || shape[2] == 3 || shape[2] == 4))) {
        throw markeye::Error(_what + ": expected shape " + SHAPES + ", not " + shape_text);
    }
    if (shape[0] == 0 || shape[1] == 0) {
        throw markeye::Error(_what + ": expected at least one pixel, not shape " + shape_text);
    }
    if (shape[0] > std::numeric_limits<int32_t>::max() || shape[1] > std::numeric_limits<int32_t>::max()) {
        throw markeye::Error(_what + ": too large, shape " + shape_text);
    }
    _height = static_cast<int32_t>(shape[0]);
    _width = static_cast<int32_t>(shape[1]);
    _channels = dimensions == 2 ? 1 : static_cast<int32_t>(shape[2]);
    _format = formatOf(_channels, rgb);
    _row_step = _array.strides(0);
    _pixel_step = _array.strides(1);
    _channel_step = dimensions == 2 ? 1 : _array.strides(2);
    // Rows must not overlap: a broadcast array (step 0) is copied.
    const std::ptrdiff_t row_bytes = static_cast<std::ptrdiff_t>(_width) * _channels;
    _in_place = _pixel_step == _channels && (_channel_step == 1 || _channels == 1) &&
                (std::abs(_row_step) >= row_bytes || _height == 1);
}

std::string ArrayFrame::layoutMessage(const char* i_remedy) const
{
    const py::ssize_t steps[3] = {_row_step, _pixel_step, _channel_step};
    return _what + ": cannot be read in place: expected " +
           (_channels == 1 ? std::string("pixels 1 byte apart")
                           : "each pixel's " + std::to_string(_channels) + " channels 1 byte apart and pixels " +
                                 std::to_string(_channels) + " bytes apart") +
           " (rows any distance apart but not overlapping), not strides " + tupleText(steps, _channels == 1 ? 2 : 3) +
           "; " + i_remedy;
}

markeye::ImageView ArrayFrame::view(bool i_allow_copy, std::vector<uint8_t>* io_copy) const
{
    const uint8_t* first = static_cast<const uint8_t*>(_array.data());
    if (_in_place) {
        // A single row has no meaningful row step; give the packed one.
        const std::ptrdiff_t stride = _height == 1 ? static_cast<std::ptrdiff_t>(_width) * _channels : _row_step;
        return markeye::ImageView{first, _width, _height, stride, _format};
    }
    if (!i_allow_copy) {
        throw markeye::Error(layoutMessage("pass numpy.ascontiguousarray(image), or allow_copy=True"));
    }
    const std::size_t row_bytes = static_cast<std::size_t>(_width) * static_cast<std::size_t>(_channels);
    io_copy->resize(row_bytes * static_cast<std::size_t>(_height));
    switch (_channels) {
    case 1:
        packInto<1>(io_copy->data());
        break;
    case 3:
        packInto<3>(io_copy->data());
        break;
    default:
        packInto<4>(io_copy->data());
        break;
    }
    return markeye::ImageView{io_copy->data(), _width, _height, static_cast<std::ptrdiff_t>(row_bytes), _format};
}

template <int32_t CHANNELS>
void ArrayFrame::packInto(uint8_t* o_pixels) const
{
    const uint8_t* first = static_cast<const uint8_t*>(_array.data());
    for (int32_t y = 0; y < _height; y++) {
        const uint8_t* pixel = first + y * _row_step;
        for (int32_t x = 0; x < _width; x++, pixel += _pixel_step) {
            for (int32_t c = 0; c < CHANNELS; c++) {
                *o_pixels++ = pixel[c * _channel_step];
            }
        }
    }
}

markeye::ImageView ArrayFrame::writableView() const
{
    if (!_array.writeable()) {
        throw markeye::Error(_what + ": is read-only; draw on a writeable copy (image.copy())");
    }
    if (!_in_place) {
        throw markeye::Error(layoutMessage("draw on numpy.ascontiguousarray(image) and use that"));
    }
    return view(false, nullptr);
}

}  // namespace MarkeyePython
