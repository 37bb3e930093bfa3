#pragma once

#include "VoARParam.h"
#include "markeye/Camera.h"

namespace markeye {

// The core's record of a camera, as its file stores it.
VoTrack::TVoARParamFileRecord toRecord(const Camera& i_camera);

}  // namespace markeye
