#pragma once

#include <cstdint>

#include "IVoARRgbRaster.h"
#include "VoARSquare.h"

namespace VoTrack {

// Reads a candidate square's interior out on a pattern's W x H grid.
class IVoARColorPatt
{
public:
    virtual ~IVoARColorPatt() = default;
    virtual int32_t getWidth() const = 0;
    virtual int32_t getHeight() const = 0;
    // The last sample, [row][column][component] with red, green, blue each
    // 0..255. Row 0 lies along the square's edge from corner 0 to corner 1,
    // column 0 along the edge from corner 0 to corner 3.
    virtual const int32_t* getSampleData() const = 0;
    // False, leaving the sample as it was, when the square's corners give no
    // perspective transform. Both arguments are borrowed for the call.
    virtual bool sampleSquare(const IVoARRgbRaster* i_raster, const VoARSquare* i_square) = 0;
};

}  // namespace VoTrack
