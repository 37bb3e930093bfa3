#pragma once

#include "IVoARRaster.h"
#include "VoARLabelingLabelStack.h"
#include "VoArray.h"

namespace VoTrack {

// Output of a connected-component labeling: a raster of raw label numbers,
// the index table from raw to final numbers and one record per region.
class IVoARLabelingImage : public IVoARRaster
{
public:
    // Entry r - 1 is the final label of raw label r; null until reset(true).
    virtual VoArray<int>* getIndexArray() const = 0;
    virtual VoARLabelingLabelStack* getLabelStack() const = 0;
    // Prepares for a new labeling: empties the label stack and enables the
    // index table. i_label_index_enable must be true.
    virtual void reset(bool i_label_index_enable) = 0;
};

}  // namespace VoTrack
