#include "VoARIntPointStack.h"

namespace VoTrack {

VoARIntPointStack::VoARIntPointStack(int32_t i_capacity) : VoObjectStack<TVoARIntPoint_t>(i_capacity) {}

VoARIntPointStack::~VoARIntPointStack() = default;

}  // namespace VoTrack
