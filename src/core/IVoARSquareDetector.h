#pragma once

#include "IVoARRaster.h"
#include "VoARSquareStack.h"

namespace VoTrack {

// Finds candidate marker squares in a binarised frame.
class IVoARSquareDetector
{
public:
    virtual ~IVoARSquareDetector() = default;
    // Clears o_square_stack and pushes one square per candidate found.
    virtual void detectSquares(const IVoARRaster* i_raster, VoARSquareStack* o_square_stack) = 0;
};

}  // namespace VoTrack
