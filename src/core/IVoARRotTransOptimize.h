#pragma once

#include "VoARFitVecCalculator.h"
#include "VoARRotMatrix.h"

namespace VoTrack {

// Refines a marker pose (rotation and translation) against the square's
// image vertices.
class IVoARRotTransOptimize
{
public:
    virtual ~IVoARRotTransOptimize() = default;

    // Refines io_rotation and io_translation (three doubles, fitted to the
    // rotation) in place. i_fit must be prepared for the square with
    // setOffsetSquare and setImageVertices. Returns the final mean squared
    // reprojection error per corner, in squared pixels.
    virtual double refine(VoARRotMatrix* io_rotation, double* io_translation, VoARFitVecCalculator* i_fit) = 0;
};

}  // namespace VoTrack
