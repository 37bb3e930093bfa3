#include "VoARLabelingLabelStack.h"

#include <utility>

namespace VoTrack {

namespace {

// One comb-sort pass at distance i_gap; returns the number of swaps. Records
// are swapped by content: the ids travel with them.
int32_t combPass(VoARLabelingLabel* const* io_items, int32_t i_length, int32_t i_gap)
{
    int32_t swaps = 0;
    for (int32_t i = 0; i + i_gap < i_length; i++) {
        if (io_items[i + i_gap]->area > io_items[i]->area) {
            std::swap(*io_items[i], *io_items[i + i_gap]);
            swaps++;
        }
    }
    return swaps;
}

}  // namespace

VoARLabelingLabelStack::VoARLabelingLabelStack(int32_t i_capacity) : VoObjectStack<VoARLabelingLabel>(i_capacity) {}

VoARLabelingLabelStack::~VoARLabelingLabelStack() = default;

void VoARLabelingLabelStack::sortByArea()
{
    const int32_t length = getLength();
    // The gap sequence below never reaches 1 from 0.
    if (length == 0) {
        return;
    }
    VoARLabelingLabel* const* items = getArray();
    // The first gap is at least the length, so its pass compares nothing.
    int32_t gap = length * 13 / 10;
    for (;;) {
        const int32_t swaps = combPass(items, length, gap);
        if (gap != 1) {
            gap = gap * 10 / 13;
        } else if (swaps == 0) {
            return;
        }
    }
}

}  // namespace VoTrack
