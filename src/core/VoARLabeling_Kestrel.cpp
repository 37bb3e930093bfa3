#include "VoARLabeling_Kestrel.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "VoARAssert.h"
#include "VoARException.h"
#include "VoARLabelingImage.h"

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

// The root of raw label i_raw in a table whose entries hold smaller (or
// equal) labels, halving the path on the way.
int32_t findRoot(int* io_index, int32_t i_raw)
{
    while (io_index[i_raw - 1] != i_raw) {
        io_index[i_raw - 1] = io_index[io_index[i_raw - 1] - 1];
        i_raw = io_index[i_raw - 1];
    }
    return i_raw;
}

// Joins the regions of raw labels i_a and i_b under the smaller root, which
// it returns; every entry stays at most its own label.
int32_t joinRoots(int* io_index, int32_t i_a, int32_t i_b)
{
    const int32_t a = findRoot(io_index, i_a);
    const int32_t b = findRoot(io_index, i_b);
    if (a == b) {
        return a;
    }
    const int32_t root = std::min(a, b);
    io_index[std::max(a, b) - 1] = root;
    return root;
}

// Eight mask bytes in one word, for testing them all against zero.
uint64_t eightBytes(const uint8_t* i_bytes)
{
    uint64_t value;
    std::memcpy(&value, i_bytes, sizeof(value));
    return value;
}

// Eight dark mask bytes.
constexpr uint64_t EIGHT_DARK = 0x0101010101010101u;

// The first of columns i_x..i_end-1 of a mask row that is dark, or i_end.
// Bright stretches are long: they are passed 32 bytes a step, then 8.
int32_t nextDark(const uint8_t* i_row, int32_t i_x, int32_t i_end)
{
    int32_t x = i_x;
    while (x + 32 <= i_end && (eightBytes(i_row + x) | eightBytes(i_row + x + 8) | eightBytes(i_row + x + 16) |
                               eightBytes(i_row + x + 24)) == 0) {
        x += 32;
    }
    while (x + 8 <= i_end && eightBytes(i_row + x) == 0) {
        x += 8;
    }
    while (x < i_end && i_row[x] == 0) {
        x++;
    }
    return x;
}

// The first of columns i_x..i_end-1 of a mask row that is bright, or i_end.
// Dark stretches are passed 8 bytes a step while every byte is 1.
int32_t nextBright(const uint8_t* i_row, int32_t i_x, int32_t i_end)
{
    int32_t x = i_x;
    while (x + 8 <= i_end && eightBytes(i_row + x) == EIGHT_DARK) {
        x += 8;
    }
    while (x < i_end && i_row[x] != 0) {
        x++;
    }
    return x;
}

// Finds the dark runs among the interior columns 1..w-2 of a mask row, left
// to right; returns how many.
template <class TRun>
int32_t findRuns(const uint8_t* i_row, int32_t i_width, TRun* o_runs)
{
    const int32_t end = i_width - 1;
    int32_t count = 0;
    int32_t x = nextDark(i_row, 1, end);
    while (x < end) {
        const int32_t first = x;
        x = nextBright(i_row, x, end);
        o_runs[count++] = TRun{first, x - 1, 0};
        x = nextDark(i_row, x, end);
    }
    return count;
}

}  // namespace

VoARLabeling_Kestrel::VoARLabeling_Kestrel() : _work_count(0), _out_image(nullptr), _all_written(true) {}

VoARLabeling_Kestrel::~VoARLabeling_Kestrel() = default;

void VoARLabeling_Kestrel::attachLabelImage(IVoARLabelingImage* i_label_image)
{
    _out_image = i_label_image;
    const int32_t width = i_label_image->getWidth();
    const int32_t height = i_label_image->getHeight();
    _all_written = true;
    const int32_t work_count = VoARLabelingImage::rawLabelLimit(width, height);
    if (work_count != _work_count) {
        _work_table.reset(new WorkRecord[static_cast<std::size_t>(work_count)]);
        _work_count = work_count;
    }
    // A row of w pixels holds at most w / 2 runs of interior pixels.
    _runs_above.resize(static_cast<std::size_t>(std::max(width, 0) / 2 + 1));
    _runs_here.resize(_runs_above.size());
    _written_first.assign(static_cast<std::size_t>(std::max(height, 0)), width);
    _written_last.assign(_written_first.size(), -1);
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
    const TVoARIntSize* in_size = i_raster.getSize();
    beginLabeling(in_size);
    _all_written = true;
    const int32_t* input = static_cast<const int32_t*>(i_raster.getBufferReader()->getReadBuffer());
    finishLabeling(scanRows(input, in_size->w, in_size->h), in_size->w, in_size->h);
}

void VoARLabeling_Kestrel::labelingDark(const uint8_t* i_dark)
{
    VOTRACK_ASSERT(_out_image != nullptr, "src/core/VoARLabeling_Kestrel", "this->_out_image!=__null");
    const TVoARIntSize* size = _out_image->getSize();
    beginLabeling(size);
    clearWrittenPixels(size->w, size->h);
    finishLabeling(scanRuns(i_dark, size->w, size->h), size->w, size->h);
}

void VoARLabeling_Kestrel::beginLabeling(const TVoARIntSize* i_size)
{
    VOTRACK_ASSERT(_out_image != nullptr, "src/core/VoARLabeling_Kestrel", "this->_out_image!=__null");
    VOTRACK_ASSERT(TVoARIntSize::isEqualSize(this->_out_image->getSize(), i_size), "src/core/VoARLabeling_Kestrel",
                   "TVoARIntSize::isEqualSize(this->_out_image->getSize(),in_size)");
    _out_image->reset(true);
}

void VoARLabeling_Kestrel::finishLabeling(int32_t i_raw_count, int32_t i_width, int32_t i_height)
{
    const int32_t label_count = compactIndexTable(i_raw_count);
    VoARLabelingLabelStack* labels = _out_image->getLabelStack();
    if (label_count == 0) {
        labels->clear();
        return;
    }
    labels->reserve(label_count);
    fillLabels(i_raw_count, label_count, i_width, i_height);
}

VoARLabeling_Kestrel::WorkRecord& VoARLabeling_Kestrel::newWorkRecord(int32_t i_index)
{
    // The table holds min(rawLabelLimit, MAX_RAW_LABELS) records: a frame
    // reaches its end only when it exceeds MAX_RAW_LABELS.
    if (i_index >= _work_count) {
        throw VoARException();
    }
    return _work_table[static_cast<std::size_t>(i_index)];
}

int32_t VoARLabeling_Kestrel::scanRows(const int32_t* i_input, int32_t i_width, int32_t i_height)
{
    int32_t* out = static_cast<int32_t*>(_out_image->getBufferReader()->getBuffer());
    int* index = _out_image->getIndexArray()->items.get();
    WorkRecord* work = _work_table.get();
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
                newWorkRecord(raw_count) = WorkRecord{0, 0, 0, x, x, y, y};
                r = ++raw_count;
                index[r - 1] = r;
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

int32_t VoARLabeling_Kestrel::scanRuns(const uint8_t* i_dark, int32_t i_width, int32_t i_height)
{
    int32_t* out = static_cast<int32_t*>(_out_image->getBufferReader()->getBuffer());
    int* index = _out_image->getIndexArray()->items.get();
    TRun* above = _runs_above.data();
    TRun* here = _runs_here.data();
    int32_t above_count = 0;
    int32_t raw_count = 0;
    for (int32_t y = 1; y < i_height - 1; y++) {
        const std::ptrdiff_t row_start = static_cast<std::ptrdiff_t>(y) * i_width;
        const int32_t here_count = findRuns(i_dark + row_start, i_width, here);
        if (here_count > 0) {
            // Noted before any pixel is written, so that a labeling that
            // throws half-way is still cleared.
            _written_first[static_cast<std::size_t>(y)] = here[0].first;
            _written_last[static_cast<std::size_t>(y)] = here[here_count - 1].last;
        }
        // Runs above that end left of the current run's reach touch no
        // later run either.
        int32_t touching = 0;
        for (int32_t k = 0; k < here_count; k++) {
            TRun& run = here[k];
            while (touching < above_count && above[touching].last < run.first - 1) {
                touching++;
            }
            raw_count = labelRun(&run, above, above_count, touching, y, raw_count, index);
            std::fill(out + row_start + run.first, out + row_start + run.last + 1, run.raw);
        }
        std::swap(above, here);
        above_count = here_count;
    }
    return raw_count;
}

int32_t VoARLabeling_Kestrel::labelRun(TRun* io_run, const TRun* i_above, int32_t i_above_count, int32_t i_touching,
                                       int32_t i_y, int32_t i_raw_count, int* io_index)
{
    const int32_t length = io_run->last - io_run->first + 1;
    const int64_t sum_x = static_cast<int64_t>(io_run->first + io_run->last) * length / 2;
    int32_t raw_count = i_raw_count;
    int32_t r;
    if (i_touching < i_above_count && i_above[i_touching].first <= io_run->first + 1) {
        r = findRoot(io_index, i_above[i_touching].raw);
        WorkRecord& record = _work_table[static_cast<std::size_t>(r - 1)];
        record.count += length;
        record.sum_x += sum_x;
        record.sum_y += static_cast<int64_t>(i_y) * length;
        record.min_x = std::min(record.min_x, io_run->first);
        record.max_x = std::max(record.max_x, io_run->last);
        record.max_y = i_y;
    } else {
        // The run's first pixel has no dark pixel above it.
        newWorkRecord(raw_count) = WorkRecord{
            length, sum_x, static_cast<int64_t>(i_y) * length, io_run->first, io_run->last, i_y, i_y};
        r = ++raw_count;
        io_index[r - 1] = r;
    }
    for (int32_t i = i_touching; i < i_above_count && i_above[i].first <= io_run->last + 1; i++) {
        r = joinRoots(io_index, r, i_above[i].raw);
    }
    io_run->raw = r;
    return raw_count;
}

void VoARLabeling_Kestrel::clearWrittenPixels(int32_t i_width, int32_t i_height)
{
    int32_t* out = static_cast<int32_t*>(_out_image->getBufferReader()->getBuffer());
    for (int32_t y = 1; y < i_height - 1; y++) {
        const std::size_t row = static_cast<std::size_t>(y);
        const int32_t first = _all_written ? 1 : _written_first[row];
        const int32_t last = _all_written ? i_width - 2 : _written_last[row];
        if (first <= last) {
            int32_t* row_start = out + static_cast<std::ptrdiff_t>(y) * i_width;
            std::fill(row_start + first, row_start + last + 1, 0);
        }
        _written_first[row] = i_width;
        _written_last[row] = -1;
    }
    _all_written = false;
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
