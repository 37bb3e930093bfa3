#pragma once

// The Markeye tracking library: cameras, patterns, frames and the tracker.
// Link Markeye::markeye (CMake) or `pkg-config --libs markeye`.

#include "markeye/Camera.h"
#include "markeye/Error.h"
#include "markeye/Image.h"
#include "markeye/Pattern.h"
#include "markeye/Tracker.h"
#include "markeye/Version.h"
