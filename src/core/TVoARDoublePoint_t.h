#pragma once

namespace VoTrack {

// Point of two doubles, in image or ideal pixel coordinates.
struct TVoARDoublePoint_t
{
    double x;
    double y;
};

}  // namespace VoTrack
