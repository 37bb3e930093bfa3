#include "VoARLabelingImage.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "VoARAssert.h"
#include "VoARException.h"

namespace VoTrack {

namespace {

std::size_t pixelCount(int32_t i_width, int32_t i_height)
{
    const int64_t count = static_cast<int64_t>(i_width) * i_height;
    if (i_width < 0 || i_height < 0 || count > std::numeric_limits<int32_t>::max()) {
        throw VoARException();
    }
    return static_cast<std::size_t>(count);
}

// The eight neighbour directions, numbered clockwise on the screen (y down)
// from straight up.
constexpr int32_t DIRECTION_X[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int32_t DIRECTION_Y[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

}  // namespace

VoARLabelingImage::VoARLabelingImage(int32_t i_width, int32_t i_height)
    : VoARRasterSize<IVoARLabelingImage>(i_width, i_height),
      // Zero-filled so that the border reads as background even before a
      // labeling is attached: the contour walk relies on it to stay inside.
      _buffer(new int32_t[pixelCount(i_width, i_height)]()),
      _buffer_reader(std::make_unique<VoARBufferReader>(_buffer.get(), IVoARBufferReader::BUFFERFORMAT_INT1D)),
      _label_stack(
          std::make_unique<VoARLabelingLabelStack>(std::min(rawLabelLimit(i_width, i_height) + 1, MAX_LABELS))),
      _index_table(std::make_unique<VoArray<int>>(rawLabelLimit(i_width, i_height))),
      _is_index_table_enabled(false)
{
}

VoARLabelingImage::~VoARLabelingImage() = default;

int32_t VoARLabelingImage::rawLabelLimit(int32_t i_width, int32_t i_height)
{
    const int64_t blocks = int64_t{std::max(i_width - 1, 0) / 2} * (std::max(i_height - 1, 0) / 2);
    return static_cast<int32_t>(std::min<int64_t>(blocks, MAX_LABELS));
}

IVoARBufferReader* VoARLabelingImage::getBufferReader() const
{
    return _buffer_reader.get();
}

VoArray<int>* VoARLabelingImage::getIndexArray() const
{
    return _is_index_table_enabled ? _index_table.get() : nullptr;
}

VoARLabelingLabelStack* VoARLabelingImage::getLabelStack() const
{
    return _label_stack.get();
}

void VoARLabelingImage::reset(bool i_label_index_enable)
{
    VOTRACK_ASSERT(i_label_index_enable == true, "src/core/VoARLabelingImage", "i_label_index_enable==true");
    _label_stack->clear();
    _is_index_table_enabled = i_label_index_enable;
}

int32_t VoARLabelingImage::getTopRowLeftX(const VoARLabelingLabel& i_label) const
{
    // The record's box is trusted only as far as the raster reaches.
    if (i_label.top < 0 || i_label.top >= _size.h) {
        throw VoARException();
    }
    const int32_t* row = _buffer.get() + static_cast<std::ptrdiff_t>(i_label.top) * _size.w;
    const int* index = _index_table->items.get();
    const int32_t first = std::max(i_label.left, 0);
    const int32_t last = std::min(i_label.right, _size.w - 1);
    for (int32_t x = first; x <= last; x++) {
        // Raw numbers never exceed rawLabelLimit, the index table's length.
        const int32_t raw = row[x];
        if (raw > 0 && index[raw - 1] == i_label.id) {
            return x;
        }
    }
    throw VoARException();
}

int32_t VoARLabelingImage::getContour(int32_t i_index, int32_t i_array_size, int32_t* o_coord_x,
                                      int32_t* o_coord_y) const
{
    if (i_index < 0 || i_index >= _label_stack->getLength()) {
        throw VoARException();
    }
    if (i_array_size < 1) {
        return 0;
    }
    const VoARLabelingLabel& label = *_label_stack->getArray()[i_index];
    const int32_t start_x = getTopRowLeftX(label);
    const int32_t start_y = label.top;
    const int32_t width = _size.w;
    std::ptrdiff_t offset[8];
    for (int d = 0; d < 8; d++) {
        offset[d] = static_cast<std::ptrdiff_t>(DIRECTION_Y[d]) * width + DIRECTION_X[d];
    }
    // Every positive pixel is off the raster's zero border, so its eight
    // neighbours are inside the raster.
    const int32_t* pixel = _buffer.get() + static_cast<std::ptrdiff_t>(start_y) * width + start_x;
    int32_t x = start_x;
    int32_t y = start_y;
    o_coord_x[0] = x;
    o_coord_y[0] = y;
    int d = 5;
    for (int32_t k = 1; k < i_array_size; k++) {
        // Resume three steps counter-clockwise from the last move and turn
        // clockwise to the first dark neighbour.
        d = (d + 5) % 8;
        int probes = 0;
        while (pixel[offset[d]] <= 0) {
            if (++probes == 8) {
                throw VoARException();
            }
            d = (d + 1) % 8;
        }
        pixel += offset[d];
        x += DIRECTION_X[d];
        y += DIRECTION_Y[d];
        o_coord_x[k] = x;
        o_coord_y[k] = y;
        if (x == start_x && y == start_y) {
            return k + 1;
        }
    }
    return i_array_size;
}

}  // namespace VoTrack
