// Whole detections: detectMarker of single-pattern detectors called
// directly, the library's tracker in both its modes, and detectMarkers
// through the plug-in loaded by the emulated host, as a script calls it. Then
// the tracker on frames that it converts before reading them.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "BenchCounters.h"
#include "BenchScenes.h"
#include "EmulatedHost.h"
#include "HostXtraInstance.h"
#include "HostXtraModule.h"
#include "MarkeyeBuiltinData.h"
#include "VoARSingleDetectMarker.h"
#include "VoARTransMatResult.h"
#include "markeye/Tracker.h"

using namespace VoTrack;

namespace MarkeyeBench {

namespace {

constexpr int32_t THRESHOLD = MarkeyeTest::THRESHOLD;

// One detector per pattern, each searching the frame on its own, with the
// pose of every pattern found (the plug-in's default confidence threshold of
// 0 reports every selected square).
void benchDetectMarker(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size, int32_t i_patterns)
{
    BenchFrame frame(i_scene, i_size);
    std::vector<std::unique_ptr<VoARSingleDetectMarker>> detectors;
    for (int32_t i = 0; i < i_patterns; i++) {
        detectors.push_back(std::make_unique<VoARSingleDetectMarker>(
            &frame.param(), makeCode(i).release(), MarkeyeTest::MARKER_WIDTH,
            frame.raster().getBufferReader()->getBufferType()));
    }
    VoARTransMatResult pose;
    for (auto _ : io_state) {
        for (const auto& detector : detectors) {
            if (detector->detectMarker(&frame.raster(), THRESHOLD)) {
                detector->getPose(&pose);
            }
        }
        benchmark::DoNotOptimize(pose.m23);
    }
    setPixelCounter(io_state, frame.pixels());
}

markeye::Tracker makeTracker(const BenchFrame& i_frame, int32_t i_patterns, const markeye::TrackerOptions& i_options)
{
    std::vector<markeye::Pattern> patterns;
    for (int32_t i = 0; i < i_patterns; i++) {
        patterns.push_back(benchPattern(i));
    }
    return markeye::Tracker(i_frame.camera(), std::move(patterns), i_options);
}

// Whether every marker reported is one the scene shows. Only the default
// mode promises that: the plug-in's way (least confidence 0) reports every
// pattern that selects a square, shown or not.
bool reportsOnlyShown(const std::vector<markeye::Detection>& i_found, TBenchScene i_scene)
{
    const std::vector<int32_t> shown = shownPatterns(i_scene);
    return std::all_of(i_found.begin(), i_found.end(), [&](const markeye::Detection& i_detection) {
        return std::find(shown.begin(), shown.end(), i_detection.pattern) != shown.end();
    });
}

// The tracker on one view of a frame, with the pose of every marker found;
// the markers counter is how many it reported.
void runTracker(benchmark::State& io_state, markeye::Tracker& io_tracker, const markeye::ImageView& i_view,
                TBenchScene i_scene)
{
    size_t found = 0;
    for (auto _ : io_state) {
        found = io_tracker.track(i_view).size();
        benchmark::DoNotOptimize(found);
    }
    if (!io_tracker.options().plugin_compatible && !reportsOnlyShown(io_tracker.track(i_view), i_scene)) {
        io_state.SkipWithError("the tracker reported a marker the scene does not show");
    }
    io_state.counters["markers"] = static_cast<double>(found);
    setPixelCounter(io_state, static_cast<int64_t>(i_view.width) * i_view.height);
}

// The library in its default mode: each square for the pattern it matches
// best.
void benchLibrary(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size, int32_t i_patterns)
{
    const BenchFrame frame(i_scene, i_size);
    markeye::Tracker tracker = makeTracker(frame, i_patterns, markeye::TrackerOptions());
    runTracker(io_state, tracker, frame.view(), i_scene);
}

// The default mode with the fixed threshold in place of the tile threshold:
// what the binarisation that follows the light costs.
void benchLibraryFixed(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size, int32_t i_patterns)
{
    const BenchFrame frame(i_scene, i_size);
    markeye::TrackerOptions options;
    options.binarisation = markeye::Binarisation::FIXED;
    markeye::Tracker tracker = makeTracker(frame, i_patterns, options);
    runTracker(io_state, tracker, frame.view(), i_scene);
}

// The default mode without sub-pixel edges: what refining them costs.
void benchLibraryCoarse(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size, int32_t i_patterns)
{
    const BenchFrame frame(i_scene, i_size);
    markeye::TrackerOptions options;
    options.subpixel_edges = false;
    markeye::Tracker tracker = makeTracker(frame, i_patterns, options);
    runTracker(io_state, tracker, frame.view(), i_scene);
}

// The library as the plug-in runs: each pattern's best square, all reported
// (least confidence 0), so every pattern that selects a square costs a pose.
void benchLibraryCompat(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size, int32_t i_patterns)
{
    const BenchFrame frame(i_scene, i_size);
    markeye::Tracker tracker = makeTracker(frame, i_patterns, markeye::TrackerOptions::pluginCompatible());
    runTracker(io_state, tracker, frame.view(), i_scene);
}

// The plug-in as a script drives it: new with the built-in camera's bytes,
// the patterns as lists, the frame as a 32-bit image value.
class PluginTracker
{
public:
    PluginTracker(const BenchFrame& i_frame, int32_t i_patterns)
        : _module(&_host, MARKEYE_XTRA_MODULE), _tracker(&_module)
    {
        const Markeye::TBuiltinFile camera = Markeye::builtinCamera();
        const std::vector<int32_t> bytes(camera.bytes, camera.bytes + camera.size);
        _tracker.call("new", {values().makeIntegerList(bytes), values().makeInteger(i_frame.width()),
                              values().makeInteger(i_frame.height())});
        for (int32_t i = 0; i < i_patterns; i++) {
            _tracker.call("loadPatternList", {values().makeIntegerList(patternNumbers(i))});
        }
    }

    MarkeyeHost::HostValueStore& values() { return _host.values(); }
    Moa::TMoaValue detectMarkers(const Moa::TMoaValue& i_image)
    {
        return _tracker.call("detectMarkers", {i_image}).result;
    }

private:
    MarkeyeHost::EmulatedHost _host;
    MarkeyeHost::HostXtraModule _module;
    MarkeyeHost::HostXtraInstance _tracker;
};

void benchDetectMarkers(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size, int32_t i_patterns)
{
    BenchFrame frame(i_scene, i_size);
    PluginTracker tracker(frame, i_patterns);
    MarkeyeHost::THostImage picture;
    picture.width = frame.width();
    picture.height = frame.height();
    picture.depth = 32;
    picture.row_bytes = 4 * frame.width();
    picture.pixels.assign(frame.bytes(), frame.bytes() + 4 * frame.pixels());
    const Moa::TMoaValue image = tracker.values().makeImage(picture);
    size_t found = 0;
    for (auto _ : io_state) {
        const Moa::TMoaValue list = tracker.detectMarkers(image);
        found = tracker.values().listOf(list).size();
    }
    if (found != static_cast<size_t>(i_patterns)) {
        io_state.SkipWithError("detectMarkers gave no full list");
    }
    setPixelCounter(io_state, frame.pixels());
}

// The frame in another layout, converted once here: what a caller hands
// over when its pictures are not BGRX.
markeye::Image convertFrame(const markeye::ImageView& i_bgrx, markeye::PixelFormat i_format)
{
    markeye::Image image(i_bgrx.width, i_bgrx.height, i_format);
    for (int32_t y = 0; y < image.height(); y++) {
        for (int32_t x = 0; x < image.width(); x++) {
            const uint8_t* bgrx = i_bgrx.data + y * i_bgrx.stride + 4 * x;
            uint8_t* out = image.pixel(x, y);
            if (i_format == markeye::PixelFormat::GRAY) {
                out[0] = static_cast<uint8_t>((bgrx[0] + bgrx[1] + bgrx[2] + 1) / 3);
                continue;
            }
            out[0] = bgrx[2];
            out[1] = bgrx[1];
            out[2] = bgrx[0];
            if (markeye::bytesPerPixel(i_format) == 4) {
                out[3] = 255;
            }
        }
    }
    return image;
}

// The library's default mode on the one-marker frame at 640 x 480 with 10
// patterns, given as RGB, GRAY (converted by the tracker into its own
// buffer) or RGBA (read in place, red first); EndToEnd/library is the same
// frame as BGRX.
void benchInput(benchmark::State& io_state, markeye::PixelFormat i_format)
{
    const BenchFrame frame(TBenchScene::ONE_MARKER, {640, 480});
    const markeye::Image converted = convertFrame(frame.view(), i_format);
    markeye::Tracker tracker = makeTracker(frame, MAX_PATTERNS, markeye::TrackerOptions());
    runTracker(io_state, tracker, converted.view(), TBenchScene::ONE_MARKER);
}

using TEndToEndBench = void (*)(benchmark::State&, TBenchScene, TFrameSize, int32_t);

const bool REGISTERED = [] {
    const struct
    {
        const char* name;
        TEndToEndBench run;
    } paths[] = {{"detectMarker", benchDetectMarker},
                 {"library", benchLibrary},
                 {"libraryFixedThreshold", benchLibraryFixed},
                 {"libraryCoarseEdges", benchLibraryCoarse},
                 {"libraryCompat", benchLibraryCompat},
                 {"detectMarkers", benchDetectMarkers}};
    for (const auto& path : paths) {
        for (const TFrameSize& size : benchSizes()) {
            for (TBenchScene scene : benchScenes()) {
                for (int32_t patterns : benchPatternCounts()) {
                    const std::string name = std::string("EndToEnd/") + path.name + "/" + sizeName(size) + "/" +
                                             sceneName(scene) + "/patterns:" + std::to_string(patterns);
                    benchmark::RegisterBenchmark(name.c_str(), path.run, scene, size, patterns)
                        ->Unit(benchmark::kMicrosecond);
                }
            }
        }
    }
    const struct
    {
        const char* name;
        markeye::PixelFormat format;
    } formats[] = {{"RGB", markeye::PixelFormat::RGB},
                   {"GRAY", markeye::PixelFormat::GRAY},
                   {"RGBA", markeye::PixelFormat::RGBA}};
    for (const auto& format : formats) {
        const std::string name = std::string("Input/library/640x480/one/patterns:") + std::to_string(MAX_PATTERNS) +
                                 "/" + format.name;
        benchmark::RegisterBenchmark(name.c_str(), benchInput, format.format)->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

}  // namespace

}  // namespace MarkeyeBench
