#include "TrackSetup.h"

#include "CliError.h"
#include "CliParse.h"

namespace Markeye {

std::optional<markeye::Camera> TrackSetup::camera(const CliArgs& i_args)
{
    const std::optional<std::string> path = i_args.value("--camera");
    if (!path) {
        return std::nullopt;
    }
    return markeye::Camera::fromFile(*path);
}

std::vector<markeye::Pattern> TrackSetup::patterns(const CliArgs& i_args)
{
    const TFrameSize grid = parseGrid("--pattern-size", i_args.value("--pattern-size").value_or("16"));
    const std::vector<std::string> paths = i_args.values("--pattern");
    if (paths.empty()) {
        return markeye::Pattern::builtins(grid.width, grid.height);
    }
    std::vector<markeye::Pattern> patterns;
    for (const std::string& path : paths) {
        patterns.push_back(markeye::Pattern::fromFile(path, grid.width, grid.height));
    }
    return patterns;
}

double TrackSetup::minConfidence(const CliArgs& i_args)
{
    if (!i_args.has("--min-confidence")) {
        return markeye::TrackerOptions().min_confidence;
    }
    const double value = parseDouble("--min-confidence", *i_args.value("--min-confidence"));
    if (!(value >= 0.0 && value <= 1.0)) {
        throw CliError("--min-confidence: expected a number from 0 to 1, got " + *i_args.value("--min-confidence"));
    }
    return value;
}

markeye::TrackerOptions TrackSetup::options(const CliArgs& i_args)
{
    markeye::TrackerOptions options =
        i_args.has("--compat") ? markeye::TrackerOptions::pluginCompatible() : markeye::TrackerOptions();
    options.min_confidence = minConfidence(i_args);
    return options;
}

}  // namespace Markeye
