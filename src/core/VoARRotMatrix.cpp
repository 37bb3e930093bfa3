#include "VoARRotMatrix.h"

namespace VoTrack {

VoARRotMatrix::VoARRotMatrix() = default;

VoARRotMatrix::~VoARRotMatrix() = default;

}  // namespace VoTrack
