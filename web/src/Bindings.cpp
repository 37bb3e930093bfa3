// The module's C++ side for markeye.mjs (embind): WebTracker, the library's
// version, default options and built-in marker names. Everything here is
// internal; users meet the JavaScript classes of markeye-api.js.

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <array>
#include <string>

#include "WebTracker.h"

using emscripten::val;
using MarkeyeWeb::WebTracker;

namespace {

// Options as JavaScript names them; markeye-api.js checks their types
// before they get here, the library their ranges.
markeye::TrackerOptions optionsFrom(const val& i_options)
{
    markeye::TrackerOptions options;
    options.marker_width = i_options["markerWidth"].as<double>();
    options.min_confidence = i_options["minConfidence"].as<double>();
    options.min_margin = i_options["minMargin"].as<double>();
    options.binarisation = i_options["binarisation"].as<std::string>() == "fixed" ? markeye::Binarisation::FIXED
                                                                                    : markeye::Binarisation::TILE;
    options.threshold = i_options["threshold"].as<int>();
    options.subpixel_edges = i_options["subpixelEdges"].as<bool>();
    options.pose_solver = i_options["poseSolver"].as<std::string>() == "plugin" ? markeye::PoseSolver::PLUGIN
                                                                                : markeye::PoseSolver::PLANAR;
    options.plugin_compatible = i_options["pluginCompatible"].as<bool>();
    const val temporal = i_options["temporal"];
    options.temporal.enabled = temporal["enabled"].as<bool>();
    options.temporal.filter = temporal["filter"].as<bool>();
    options.temporal.min_cutoff_hz = temporal["minCutoffHz"].as<double>();
    options.temporal.rotation_beta = temporal["rotationBeta"].as<double>();
    options.temporal.translation_beta = temporal["translationBeta"].as<double>();
    options.temporal.depth_beta = temporal["depthBeta"].as<double>();
    options.temporal.derivative_cutoff_hz = temporal["derivativeCutoffHz"].as<double>();
    options.temporal.max_lost_frames = temporal["maxLostFrames"].as<int>();
    options.temporal.frame_rate = temporal["frameRate"].as<double>();
    return options;
}

val optionsValue(const markeye::TrackerOptions& i_options)
{
    val options = val::object();
    options.set("markerWidth", i_options.marker_width);
    options.set("minConfidence", i_options.min_confidence);
    options.set("minMargin", i_options.min_margin);
    options.set("binarisation", std::string(i_options.binarisation == markeye::Binarisation::FIXED ? "fixed" : "tile"));
    options.set("threshold", i_options.threshold);
    options.set("subpixelEdges", i_options.subpixel_edges);
    options.set("poseSolver", std::string(i_options.pose_solver == markeye::PoseSolver::PLUGIN ? "plugin" : "planar"));
    options.set("pluginCompatible", i_options.plugin_compatible);
    val temporal = val::object();
    temporal.set("enabled", i_options.temporal.enabled);
    temporal.set("filter", i_options.temporal.filter);
    temporal.set("minCutoffHz", i_options.temporal.min_cutoff_hz);
    temporal.set("rotationBeta", i_options.temporal.rotation_beta);
    temporal.set("translationBeta", i_options.temporal.translation_beta);
    temporal.set("depthBeta", i_options.temporal.depth_beta);
    temporal.set("derivativeCutoffHz", i_options.temporal.derivative_cutoff_hz);
    temporal.set("maxLostFrames", i_options.temporal.max_lost_frames);
    temporal.set("frameRate", i_options.temporal.frame_rate);
    options.set("temporal", temporal);
    return options;
}

template <std::size_t N>
val arrayValue(const std::array<double, N>& i_values)
{
    val array = val::array();
    for (std::size_t i = 0; i < N; i++) {
        array.set(i, i_values[i]);
    }
    return array;
}

val cameraValue(const WebTracker& i_tracker)
{
    const markeye::Camera* camera = i_tracker.camera();
    if (camera == nullptr) {
        return val::null();
    }
    const markeye::Distortion& d = camera->distortion();
    val value = val::object();
    value.set("name", camera->name());
    value.set("width", camera->width());
    value.set("height", camera->height());
    value.set("projection", arrayValue(camera->projection()));
    value.set("distortion", arrayValue(std::array<double, 4>{d.centre_x, d.centre_y, d.coefficient, d.scale}));
    return value;
}

val patternsValue(const WebTracker& i_tracker)
{
    val patterns = val::array();
    for (const markeye::Pattern& pattern : i_tracker.patterns()) {
        val entry = val::object();
        entry.set("name", pattern.name());
        entry.set("gridWidth", pattern.gridWidth());
        entry.set("gridHeight", pattern.gridHeight());
        patterns.call<void>("push", entry);
    }
    return patterns;
}

val builtinNames()
{
    val names = val::array();
    for (const std::string& name : markeye::Pattern::builtinNames()) {
        names.call<void>("push", name);
    }
    return names;
}

std::string version() { return markeye::version(); }

val defaultOptions() { return optionsValue(markeye::TrackerOptions{}); }

void setOptions(WebTracker& io_tracker, const val& i_options) { io_tracker.setOptions(optionsFrom(i_options)); }

val options(const WebTracker& i_tracker) { return optionsValue(i_tracker.options()); }

std::string lastError(const WebTracker& i_tracker) { return i_tracker.lastError(); }

}  // namespace

EMSCRIPTEN_BINDINGS(markeye)
{
    emscripten::constant("DETECTION_VALUES", WebTracker::DETECTION_VALUES);
    emscripten::function("version", &version);
    emscripten::function("defaultOptions", &defaultOptions);
    emscripten::function("builtinNames", &builtinNames);
    emscripten::class_<WebTracker>("WebTracker")
        .constructor<>()
        .function("addPatternText", &WebTracker::addPatternText)
        .function("addPatternPicture", &WebTracker::addPatternPicture)
        .function("addBuiltinPatterns", &WebTracker::addBuiltinPatterns)
        .function("addBuiltinPattern", &WebTracker::addBuiltinPattern)
        .function("setCameraBytes", &WebTracker::setCameraBytes)
        .function("setCameraIntrinsics", &WebTracker::setCameraIntrinsics)
        .function("setOptions", &setOptions)
        .function("build", &WebTracker::build)
        .function("frameBuffer", &WebTracker::frameBuffer)
        .function("track", &WebTracker::track)
        .function("resetTracks", &WebTracker::resetTracks)
        .function("prepare", &WebTracker::prepare)
        .function("results", &WebTracker::results)
        .function("bestConfidences", &WebTracker::bestConfidences)
        .function("camera", &cameraValue)
        .function("patterns", &patternsValue)
        .function("options", &options)
        .function("lastError", &lastError);
}
