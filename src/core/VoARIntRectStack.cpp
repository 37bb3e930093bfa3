#include "VoARIntRectStack.h"

namespace VoTrack {

VoARIntRectStack::VoARIntRectStack(int32_t i_capacity) : VoObjectStack<TVoARIntRect_t>(i_capacity) {}

VoARIntRectStack::~VoARIntRectStack() = default;

}  // namespace VoTrack
