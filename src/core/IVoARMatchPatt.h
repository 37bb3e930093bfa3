#pragma once

#include <cstdint>

#include "IVoARColorPatt.h"
#include "VoARCode.h"

namespace VoTrack {

// Scores a sampled square against a known marker: a confidence and the
// direction block that matched.
class IVoARMatchPatt
{
public:
    virtual ~IVoARMatchPatt() = default;
    // Confidence of the last matchCode, 0.0 to 1.0.
    virtual double getConfidence() const = 0;
    // Direction of the last matchCode: 0..3, or -1 when none correlated.
    virtual int32_t getDirection() const = 0;
    // Needs a pattern of the last sample's size.
    virtual void matchCode(const VoARCode* i_code) = 0;
    // Copies the sampler's current sample; false when it is uniform.
    virtual bool setSample(const IVoARColorPatt* i_sampler) = 0;
};

}  // namespace VoTrack
