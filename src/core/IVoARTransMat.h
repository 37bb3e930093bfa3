#pragma once

#include <cstdint>

#include "VoARSquare.h"
#include "VoARTransMatResult.h"

namespace VoTrack {

// Computes the pose of a detected square: the 3 x 4 matrix taking marker
// coordinates (origin at the marker's centre, in the unit of its width) to
// camera coordinates.
class IVoARTransMat
{
public:
    virtual ~IVoARTransMat() = default;

    // Moves the pose's origin to (-i_x, -i_y, 0) in marker coordinates.
    virtual void setMarkerCenter(double i_x, double i_y) = 0;
    // Pose from scratch. i_direction (0 to 3, from pattern matching) makes
    // marker corner i the square's corner (i + 4 - i_direction) mod 4;
    // i_width is the marker's edge length. May throw VoARException, leaving
    // o_result as it was.
    virtual void computePose(const VoARSquare* i_square, int32_t i_direction, double i_width,
                             VoARTransMatResult* o_result) = 0;
    // As computePose, but starting from the rotation in io_result when it
    // holds a pose; a fresh estimate replaces it only if the continued one
    // fits worse than 1 pixel^2 per corner and the fresh one fits better.
    virtual void computePoseContinued(const VoARSquare* i_square, int32_t i_direction, double i_width,
                                      VoARTransMatResult* io_result) = 0;
};

}  // namespace VoTrack
