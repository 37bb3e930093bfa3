#pragma once

#include <vector>

#include "CliArgs.h"
#include "PatternFile.h"
#include "VoARParam.h"

namespace Markeye {

// The options that set up tracking, shared by the commands that track:
// --camera, --pattern (repeatable), --pattern-size and --min-confidence.
// Each throws CliError naming the option or file at fault.
class TrackSetup
{
public:
    // --camera FILE, else the built-in camera.
    static VoTrack::TVoARParamFileRecord camera(const CliArgs& i_args);
    // Each --pattern FILE in order, else the built-in markers, on the grid
    // of --pattern-size (default 16 x 16).
    static std::vector<TPattern> patterns(const CliArgs& i_args);
    // --min-confidence, 0 to 1; MarkerTracker::DEFAULT_MIN_CONFIDENCE without it.
    static double minConfidence(const CliArgs& i_args);
};

}  // namespace Markeye
