#include "VoARCornerList.h"

namespace VoTrack {

VoARCornerList::VoARCornerList() : _items{}, _count(0) {}

bool VoARCornerList::append(int32_t i_index)
{
    if (_count >= MAX_COUNT) {
        return false;
    }
    _items[_count++] = i_index;
    return true;
}

}  // namespace VoTrack
