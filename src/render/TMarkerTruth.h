#pragma once

#include "TVoARDoublePoint_t.h"
#include "VoARDoubleMatrix34.h"

namespace Markeye {

// What the renderer drew for one marker: its pose and where its four
// vertices (in marker order, vertex 0 the picture's top-left) lie.
struct TMarkerTruth
{
    VoTrack::VoARDoubleMatrix34 pose;
    // Pinhole projections through P, in pixels.
    VoTrack::TVoARDoublePoint_t ideal_corners[4];
    // Where the corners appear in the frame (through the lens distortion).
    // NaN for a vertex behind the camera (both) or beyond the distortion's
    // one-to-one range (observed only).
    VoTrack::TVoARDoublePoint_t observed_corners[4];
    // All four vertices lie in front of the camera, inside the distortion's
    // one-to-one range.
    bool in_front = false;
    // The camera sees the picture side (the back side is not drawn).
    bool front_facing = false;
    // in_front and every observed corner lies inside the frame.
    bool in_frame = false;
};

}  // namespace Markeye
