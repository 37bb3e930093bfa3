#include "VoARLabeling_Kestrel.h"

#include <algorithm>
#include <cstddef>

#include "VoARAssert.h"
#include "VoARException.h"

namespace VoTrack {

namespace {

// Joins the regions with roots i_a and i_b: every entry of the first
// i_raw_count index entries that holds the larger root is given the smaller.
// Returns the surviving root. Entries always hold roots, so idx(r) <= r.
int32_t mergeRoots(int* io_index, int32_t i_raw_count, int32_t i_a, int32_t i_b)
{
    if (i_a == i_b) {
        return i_a;
    }
    const int32_t root = std::min(i_a, i_b);
    const int32_t gone = std::max(i_a, i_b);
    for (int32_t i = 0; i < i_raw_count; i++) {
        if (io_index[i] == gone) {
            io_index[i] = root;
        }
    }
    return root;
}

}  // namespace

VoARLabeling_Kestrel::VoARLabeling_Kestrel() : _out_image(nullptr) {}

VoARLabeling_Kestrel::~VoARLabeling_Kestrel() = default;

void VoARLabeling_Kestrel::attachLabelImage(IVoARLabelingImage* i_label_image)
{
    _out_image = i_label_image;
    const int32_t width = i_label_image->getWidth();
    const int32_t height = i_label_image->getHeight();
    if (width <= 0 || height <= 0) {
        return;
    }
    int32_t* out = static_cast<int32_t*>(i_label_image->getBufferReader()->getBuffer());
    const std::ptrdiff_t last_row = static_cast<std::ptrdiff_t>(height - 1) * width;
    std::fill(out, out + width, 0);
    std::fill(out + last_row, out + last_row + width, 0);
    for (int32_t y = 0; y < height; y++) {
        int32_t* row = out + static_cast<std::ptrdiff_t>(y) * width;
        row[0] = 0;
        row[width - 1] = 0;
    }
}

IVoARLabelingImage* VoARLabeling_Kestrel::getAttachedLabelImage() const
{
    return _out_image;
}

void VoARLabeling_Kestrel::labeling(const IVoARRaster& i_raster)
{
    VOTRACK_ASSERT(_out_image != nullptr, "src/core/VoARLabeling_Kestrel", "this->_out_image!=__null");
    const TVoARIntSize* in_size = i_raster.getSize();
    VOTRACK_ASSERT(TVoARIntSize::isEqualSize(this->_out_image->getSize(), in_size), "src/core/VoARLabeling_Kestrel",
                   "TVoARIntSize::isEqualSize(this->_out_image->getSize(),in_size)");
    _out_image->reset(true);
    const int32_t* input = static_cast<const int32_t*>(i_raster.getBufferReader()->getBuffer());
    const int32_t raw_count = scanRows(input, in_size->w, in_size->h);
    const int32_t label_count = compactIndexTable(raw_count);
    VoARLabelingLabelStack* labels = _out_image->getLabelStack();
    if (label_count == 0) {
        labels->clear();
        return;
    }
    labels->reserve(label_count);
    fillLabels(raw_count, label_count, in_size->w, in_size->h);
}

VoARLabeling_Kestrel::WorkRecord* VoARLabeling_Kestrel::reserveWorkRecord(int32_t i_index)
{
    if (i_index >= static_cast<int32_t>(_work_table.size())) {
        if (i_index >= MAX_RAW_LABELS) {
            throw VoARException();
        }
        _work_table.resize(static_cast<std::size_t>(std::min(i_index + WORK_BATCH_SIZE, MAX_RAW_LABELS)));
    }
    return _work_table.data();
}

int32_t VoARLabeling_Kestrel::scanRows(const int32_t* i_input, int32_t i_width, int32_t i_height)
{
    int32_t* out = static_cast<int32_t*>(_out_image->getBufferReader()->getBuffer());
    int* index = _out_image->getIndexArray()->items.get();
    WorkRecord* work = _work_table.data();
    int32_t raw_count = 0;
    for (int32_t y = 1; y < i_height - 1; y++) {
        const std::ptrdiff_t row_start = static_cast<std::ptrdiff_t>(y) * i_width;
        const int32_t* in_row = i_input + row_start;
        int32_t* row = out + row_start;
        const int32_t* up = row - i_width;
        for (int32_t x = 1; x < i_width - 1; x++) {
            if (in_row[x] != 0) {
                row[x] = 0;
                continue;
            }
            // Neighbours already labelled in this frame: up, up-right,
            // up-left, left. Each case updates only the extremes that the
            // new pixel can extend.
            int32_t r;
            const int32_t u = up[x];
            if (u > 0) {
                r = u;
                work[r - 1].max_y = y;
            } else if (const int32_t ur = up[x + 1]; ur > 0) {
                const int32_t ul = up[x - 1];
                if (ul > 0) {
                    r = mergeRoots(index, raw_count, index[ur - 1], index[ul - 1]);
                    work[r - 1].max_y = y;
                } else if (const int32_t l = row[x - 1]; l > 0) {
                    r = mergeRoots(index, raw_count, index[ur - 1], index[l - 1]);
                } else {
                    r = ur;
                    work[r - 1].min_x = std::min(work[r - 1].min_x, x);
                    work[r - 1].max_y = y;
                }
            } else if (const int32_t ul = up[x - 1]; ul > 0) {
                r = ul;
                work[r - 1].max_x = std::max(work[r - 1].max_x, x);
                work[r - 1].max_y = y;
            } else if (const int32_t l = row[x - 1]; l > 0) {
                r = l;
                work[r - 1].max_x = std::max(work[r - 1].max_x, x);
            } else {
                work = reserveWorkRecord(raw_count);
                r = ++raw_count;
                index[r - 1] = r;
                work[r - 1] = WorkRecord{0, 0, 0, x, x, y, y};
            }
            WorkRecord& record = work[r - 1];
            record.count++;
            record.sum_x += x;
            record.sum_y += y;
            row[x] = r;
        }
    }
    return raw_count;
}

int32_t VoARLabeling_Kestrel::compactIndexTable(int32_t i_raw_count) const
{
    int* index = _out_image->getIndexArray()->items.get();
    int32_t next = 1;
    for (int32_t r = 1; r <= i_raw_count; r++) {
        // A non-root entry holds a smaller root that is already renumbered.
        index[r - 1] = index[r - 1] == r ? next++ : index[index[r - 1] - 1];
    }
    return next - 1;
}

void VoARLabeling_Kestrel::fillLabels(int32_t i_raw_count, int32_t i_label_count, int32_t i_width,
                                      int32_t i_height) const
{
    VoARLabelingLabel* const* labels = _out_image->getLabelStack()->getArray();
    for (int32_t k = 1; k <= i_label_count; k++) {
        *labels[k - 1] = VoARLabelingLabel{k, 0, 0, i_width, 0, i_height, 0.0, 0.0};
    }
    const int* index = _out_image->getIndexArray()->items.get();
    for (int32_t r = 1; r <= i_raw_count; r++) {
        VoARLabelingLabel& label = *labels[index[r - 1] - 1];
        const WorkRecord& work = _work_table[static_cast<std::size_t>(r - 1)];
        label.area += work.count;
        label.center_x += static_cast<double>(work.sum_x);
        label.center_y += static_cast<double>(work.sum_y);
        label.left = std::min(label.left, work.min_x);
        label.right = std::max(label.right, work.max_x);
        label.top = std::min(label.top, work.min_y);
        label.bottom = std::max(label.bottom, work.max_y);
    }
    for (int32_t k = 0; k < i_label_count; k++) {
        labels[k]->center_x /= labels[k]->area;
        labels[k]->center_y /= labels[k]->area;
    }
}

}  // namespace VoTrack
