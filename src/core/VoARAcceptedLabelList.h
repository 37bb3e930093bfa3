#pragma once

#include <cstdint>

#include "VoARLabelingLabel.h"
#include "VoArray.h"

namespace VoTrack {

// The labels that became squares in the current detection pass, used to skip
// regions lying within an accepted one (a marker's inner picture, say). The
// labels are borrowed from the label stack.
class VoARAcceptedLabelList
{
public:
    static constexpr int32_t INITIAL_LENGTH = 32;

    VoARAcceptedLabelList();
    ~VoARAcceptedLabelList();

    VoARAcceptedLabelList(const VoARAcceptedLabelList&) = delete;
    VoARAcceptedLabelList& operator=(const VoARAcceptedLabelList&) = delete;

    // Empties the list with room for i_label_count labels; the array grows
    // (contents dropped) only for more labels than ever before.
    void reset(int32_t i_label_count);
    // Throws VoARException when the room given to reset is used up.
    void append(const VoARLabelingLabel* i_label);
    int32_t getCount() const { return _count; }
    // True when i_label's centre lies near an accepted label's centre: the
    // squared distance of the centres, truncated to integers, is below a
    // quarter of that label's area. Newest first.
    bool isOverlapped(const VoARLabelingLabel& i_label) const;

private:
    VoArray<const VoARLabelingLabel*> _labels;
    int32_t _count;
};

}  // namespace VoTrack
