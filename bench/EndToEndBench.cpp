// Whole detections: detectMarker of single-pattern detectors called
// directly, and detectMarkers through the plug-in loaded by the emulated
// host, as a script calls it.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "BenchCounters.h"
#include "BenchScenes.h"
#include "EmulatedHost.h"
#include "HostXtraInstance.h"
#include "HostXtraModule.h"
#include "MarkeyeBuiltinData.h"
#include "VoARFrameAnalysis.h"
#include "VoARSingleDetectMarker.h"
#include "VoARTransMatResult.h"

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

// The detectors of all patterns sharing one analysis, as the plug-in runs
// them, without the host around them.
void benchSharedAnalysis(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size, int32_t i_patterns)
{
    BenchFrame frame(i_scene, i_size);
    VoARFrameAnalysis analysis(&frame.param(), frame.raster().getBufferReader()->getBufferType());
    std::vector<std::unique_ptr<VoARSingleDetectMarker>> detectors;
    std::vector<VoARSingleDetectMarker*> borrowed;
    for (int32_t i = 0; i < i_patterns; i++) {
        detectors.push_back(std::make_unique<VoARSingleDetectMarker>(&frame.param(), makeCode(i).release(),
                                                                     MarkeyeTest::MARKER_WIDTH, &analysis));
        borrowed.push_back(detectors.back().get());
    }
    VoARTransMatResult pose;
    for (auto _ : io_state) {
        VoARSingleDetectMarker::detectMarkers(&analysis, &frame.raster(), THRESHOLD, borrowed.data(), i_patterns);
        for (VoARSingleDetectMarker* detector : borrowed) {
            if (detector->getSquare() != nullptr) {
                detector->getPose(&pose);
            }
        }
        benchmark::DoNotOptimize(pose.m23);
    }
    setPixelCounter(io_state, frame.pixels());
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

using TEndToEndBench = void (*)(benchmark::State&, TBenchScene, TFrameSize, int32_t);

const bool REGISTERED = [] {
    const struct
    {
        const char* name;
        TEndToEndBench run;
    } paths[] = {{"detectMarker", benchDetectMarker},
                 {"sharedAnalysis", benchSharedAnalysis},
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
    return true;
}();

}  // namespace

}  // namespace MarkeyeBench
