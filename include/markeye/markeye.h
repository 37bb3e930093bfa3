#pragma once

// The Markeye tracking library: cameras, patterns, frames, the tracker,
// boards and camera calibration.
// Link Markeye::markeye (CMake) or `pkg-config --libs markeye`.

#include "markeye/Board.h"
#include "markeye/BoardTracker.h"
#include "markeye/Calibration.h"
#include "markeye/Camera.h"
#include "markeye/Error.h"
#include "markeye/Image.h"
#include "markeye/Pattern.h"
#include "markeye/Tracker.h"
#include "markeye/Version.h"
