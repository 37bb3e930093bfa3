#pragma once

#include <cstdint>

namespace VoTrack {

// Outline indices of the corners found by the corner search, in outline
// order. Holds at most MAX_COUNT; an outline needing more is not a square.
class VoARCornerList
{
public:
    static constexpr int32_t MAX_COUNT = 6;

    VoARCornerList();

    void clear() { _count = 0; }
    // Refuses (returns false, changing nothing) when MAX_COUNT are stored.
    bool append(int32_t i_index);
    int32_t getCount() const { return _count; }
    // i_position below getCount().
    int32_t operator[](int32_t i_position) const { return _items[i_position]; }

private:
    int32_t _items[MAX_COUNT];
    int32_t _count;
};

}  // namespace VoTrack
