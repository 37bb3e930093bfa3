#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TVoARDoublePoint_t.h"

namespace Markeye {

// What the tracker made of one pattern in one frame.
struct TMarkerReport
{
    // Index in load order.
    int32_t pattern = 0;
    // A square was selected as the pattern's best match, however poor.
    bool selected = false;
    // Selected, with a direction, and confidence at least the threshold.
    bool found = false;
    // 0.0 to 1.0; meaningful when selected.
    double confidence = 0.0;
    // 0 to 3, or -1 when no direction matched; meaningful when selected.
    int32_t direction = -1;
    // When found: marker vertices 0 to 3 in observed pixels (x right, y
    // down), vertex 0 the upright picture's top-left.
    VoTrack::TVoARDoublePoint_t corners[4] = {};
    // When found: marker-to-camera rotation (columns 0 to 2) and translation
    // (column 3), in the unit of the marker width.
    double pose[3][4] = {};
};

// One line of the track command's output: a frame and what was found in it,
// or why it could not be read.
struct TFrameReport
{
    // The path, or the index in a raw stream.
    std::string frame;
    // Empty when the frame was read and tracked.
    std::string error;
    int32_t width = 0;
    int32_t height = 0;
    // Tracking time of this frame alone, in milliseconds.
    double elapsed_ms = 0.0;
    std::vector<TMarkerReport> markers;

    // The JSON object, on one line without a line break:
    // {"frame": ..., "width": ..., "height": ..., "elapsed_ms": ..., "markers": [...]}
    // or {"frame": ..., "error": ...}.
    std::string toJson() const;
};

}  // namespace Markeye
