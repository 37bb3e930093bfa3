#include "VoARSquareStack.h"

namespace VoTrack {

VoARSquareStack::VoARSquareStack(int32_t i_capacity) : VoObjectStack<VoARSquare>(i_capacity) {}

VoARSquareStack::~VoARSquareStack() = default;

}  // namespace VoTrack
