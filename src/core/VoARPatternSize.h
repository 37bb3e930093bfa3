#pragma once

#include <cstdint>

namespace VoTrack {

// The grid sizes a marker pattern may have. A sampler doubles the pattern
// size per axis up to MAX samples, so a size must divide MAX for every
// sample's cell index to stay inside its row.
struct VoARPatternSize
{
    // Most samples along one axis of a square, and the largest pattern size.
    static constexpr int32_t MAX = 64;

    // True for 1, 2, 4, 8, 16, 32 and 64.
    static constexpr bool isValid(int32_t i_size) { return i_size >= 1 && i_size <= MAX && MAX % i_size == 0; }
};

}  // namespace VoTrack
