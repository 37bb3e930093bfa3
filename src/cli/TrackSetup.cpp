#include "TrackSetup.h"

#include "CameraFile.h"
#include "CliError.h"
#include "CliParse.h"
#include "MarkerTracker.h"

namespace Markeye {

VoTrack::TVoARParamFileRecord TrackSetup::camera(const CliArgs& i_args)
{
    return CameraFile::loadRecord(i_args.value("--camera").value_or(""));
}

std::vector<TPattern> TrackSetup::patterns(const CliArgs& i_args)
{
    const TFrameSize grid = parseGrid("--pattern-size", i_args.value("--pattern-size").value_or("16"));
    const std::vector<std::string> paths = i_args.values("--pattern");
    if (paths.empty()) {
        return PatternFile::builtins(grid);
    }
    std::vector<TPattern> patterns;
    for (const std::string& path : paths) {
        patterns.push_back(PatternFile::load(path, grid));
    }
    return patterns;
}

double TrackSetup::minConfidence(const CliArgs& i_args)
{
    if (!i_args.has("--min-confidence")) {
        return MarkerTracker::DEFAULT_MIN_CONFIDENCE;
    }
    const double value = parseDouble("--min-confidence", *i_args.value("--min-confidence"));
    if (value < 0.0 || value > 1.0) {
        throw CliError("--min-confidence: expected a number from 0 to 1, got " + *i_args.value("--min-confidence"));
    }
    return value;
}

}  // namespace Markeye
