#pragma once

#include <cstdint>

namespace VoTrack {

// How far a frame analysis searches for squares.
struct TVoARSquareSearch
{
    static constexpr int32_t DEFAULT_SQUARE_CAPACITY = 100;
    static constexpr int32_t DEFAULT_AREA_MIN = 70;
    static constexpr int32_t DEFAULT_AREA_MAX = 100000;

    // Candidate squares kept per frame, largest first.
    int32_t square_capacity = DEFAULT_SQUARE_CAPACITY;
    // Pixels of a region that may be a marker's border, inclusive.
    int32_t area_min = DEFAULT_AREA_MIN;
    int32_t area_max = DEFAULT_AREA_MAX;
    // A frame with more dark regions than the labeling holds is searched
    // again with its dark mask opened (specks and thin lines removed),
    // instead of giving no squares.
    bool open_crowded_frames = false;
};

}  // namespace VoTrack
