#pragma once

#include "IVoARLabelingImage.h"
#include "IVoARRaster.h"

namespace VoTrack {

// Connected-component labeling of a binary raster into a label image.
class IVoARLabeling
{
public:
    virtual ~IVoARLabeling() = default;
    // Borrows i_label_image for every later labeling.
    virtual void attachLabelImage(IVoARLabelingImage* i_label_image) = 0;
    virtual IVoARLabelingImage* getAttachedLabelImage() const = 0;
    virtual void labeling(const IVoARRaster& i_raster) = 0;
};

}  // namespace VoTrack
