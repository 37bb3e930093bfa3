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
    return parseDoubleIn("--min-confidence", *i_args.value("--min-confidence"), 0.0, 1.0);
}

double TrackSetup::markerWidth(const CliArgs& i_args, double i_default)
{
    const std::optional<std::string> text = i_args.value("--marker-width");
    if (!text) {
        return i_default;
    }
    return parsePositive("--marker-width", *text);
}

markeye::TrackerOptions TrackSetup::options(const CliArgs& i_args)
{
    markeye::TrackerOptions options =
        i_args.has("--compat") ? markeye::TrackerOptions::pluginCompatible() : markeye::TrackerOptions();
    options.min_confidence = minConfidence(i_args);
    options.marker_width = markerWidth(i_args, options.marker_width);
    return options;
}

}  // namespace Markeye
