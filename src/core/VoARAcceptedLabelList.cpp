#include "VoARAcceptedLabelList.h"

#include "VoARException.h"

namespace VoTrack {

VoARAcceptedLabelList::VoARAcceptedLabelList() : _labels(INITIAL_LENGTH), _count(0) {}

VoARAcceptedLabelList::~VoARAcceptedLabelList() = default;

void VoARAcceptedLabelList::reset(int32_t i_label_count)
{
    if (i_label_count > _labels.length) {
        _labels.renew(i_label_count);
    }
    _count = 0;
}

void VoARAcceptedLabelList::append(const VoARLabelingLabel* i_label)
{
    if (_count >= _labels.length) {
        throw VoARException();
    }
    _labels.items[_count++] = i_label;
}

bool VoARAcceptedLabelList::isOverlapped(const VoARLabelingLabel& i_label) const
{
    // Centres lie on the frame, so the truncated values are small; the
    // squared distance is summed in 64 bits to stay exact on any frame size.
    const int64_t cx = static_cast<int32_t>(i_label.center_x);
    const int64_t cy = static_cast<int32_t>(i_label.center_y);
    for (int32_t j = _count - 1; j >= 0; j--) {
        const VoARLabelingLabel& accepted = *_labels.items[j];
        const int64_t dx = cx - static_cast<int32_t>(accepted.center_x);
        const int64_t dy = cy - static_cast<int32_t>(accepted.center_y);
        if (dx * dx + dy * dy < accepted.area / 4) {
            return true;
        }
    }
    return false;
}

}  // namespace VoTrack
