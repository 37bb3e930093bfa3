#pragma once

#include <optional>
#include <vector>

#include "CliArgs.h"
#include "markeye/markeye.h"

namespace Markeye {

// The options that set up tracking, shared by the commands that track:
// --camera, --pattern (repeatable), --pattern-size, --min-confidence,
// --marker-width and --compat. Each throws CliError or markeye::Error naming the option or
// file at fault.
class TrackSetup
{
public:
    // --camera FILE, or none for the built-in camera.
    static std::optional<markeye::Camera> camera(const CliArgs& i_args);
    // Each --pattern FILE in order, else the built-in markers, on the grid
    // of --pattern-size (default 16 x 16).
    static std::vector<markeye::Pattern> patterns(const CliArgs& i_args);
    // --min-confidence, 0 to 1; the library's default without it.
    static double minConfidence(const CliArgs& i_args);
    // --marker-width, a positive number in the unit wanted for the
    // translations; i_default without it. Throws UsageError.
    static double markerWidth(const CliArgs& i_args, double i_default);
    // The tracker's options: the library's default mode, or with --compat
    // the plug-in's, at --min-confidence and --marker-width either way.
    static markeye::TrackerOptions options(const CliArgs& i_args);
};

}  // namespace Markeye
