#pragma once

#include "VoARLabelingLabel.h"
#include "VoObjectStack.h"

namespace VoTrack {

// Reusable stack of region records, refilled by every labeling pass.
class VoARLabelingLabelStack : public VoObjectStack<VoARLabelingLabel>
{
public:
    explicit VoARLabelingLabelStack(int32_t i_capacity);
    virtual ~VoARLabelingLabelStack();

    // Orders the records by decreasing area (comb sort). Records of equal
    // area are never swapped with each other, but the order is not stable.
    void sortByArea();
};

}  // namespace VoTrack
