#include "TVoARIntSize.h"

namespace VoTrack {

bool TVoARIntSize::isEqualSize(const TVoARIntSize* i_a, const TVoARIntSize* i_b)
{
    return i_a->w == i_b->w && i_a->h == i_b->h;
}

}  // namespace VoTrack
