#include "VoARTransMatResult.h"

namespace VoTrack {

VoARTransMatResult::VoARTransMatResult() = default;

VoARTransMatResult::~VoARTransMatResult() = default;

}  // namespace VoTrack
