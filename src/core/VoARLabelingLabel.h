#pragma once

#include <cstdint>

namespace VoTrack {

// One connected dark region found by the labeling: its final label number,
// pixel count, bounding box (inclusive, in pixels) and mean pixel position.
struct VoARLabelingLabel
{
    int32_t id = 0;
    int32_t area = 0;
    int32_t right = 0;
    int32_t left = 0;
    int32_t bottom = 0;
    int32_t top = 0;
    double center_x = 0.0;
    double center_y = 0.0;
};

}  // namespace VoTrack
