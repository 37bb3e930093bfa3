#pragma once

#include "TVoARDoublePoint_t.h"

namespace VoTrack {

// A square marker in its own coordinates (origin at the centre, x to the
// right, y up, z = 0 on the marker), in the unit of the marker width.
struct VoARMarkerOffset
{
    // Corner i matches the square's vertex i after ordering by direction:
    // top-left, top-right, bottom-right, bottom-left.
    double corners[4][3];
    // Added, rotated, to the pose's translation: a marker centre of (cx, cy)
    // moves the pose's origin to the point (-cx, -cy, 0) of the marker.
    double center_offset[3];

    void setMarker(double i_width, const TVoARDoublePoint_t* i_center);
};

}  // namespace VoTrack
