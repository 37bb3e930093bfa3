// What building a tracker costs: the library's Tracker made for a camera and
// the eight built-in patterns, in both ways, at several frame sizes. Every
// fuzz input and every change of frame size in the tools pays it.

#include <benchmark/benchmark.h>

#include <vector>

#include "markeye/markeye.h"

namespace MarkeyeBench {

namespace {

void benchTrackerSetup(benchmark::State& io_state, int32_t i_width, int32_t i_height, bool i_compatible)
{
    const markeye::Camera camera = markeye::Camera::builtin(i_width, i_height);
    const std::vector<markeye::Pattern> patterns = markeye::Pattern::builtins();
    const markeye::TrackerOptions options =
        i_compatible ? markeye::TrackerOptions::pluginCompatible() : markeye::TrackerOptions();
    for (auto _ : io_state) {
        markeye::Tracker tracker(camera, patterns, options);
        benchmark::DoNotOptimize(&tracker);
    }
}

void registerSetup(const char* i_mode, bool i_compatible)
{
    const int32_t sizes[][2] = {{160, 120}, {320, 240}, {640, 480}, {1280, 720}};
    for (const auto& size : sizes) {
        const std::string name = std::string("Setup/") + i_mode + "/" + std::to_string(size[0]) + "x" +
                                 std::to_string(size[1]);
        benchmark::RegisterBenchmark(name.c_str(), benchTrackerSetup, size[0], size[1], i_compatible)
            ->Unit(benchmark::kMicrosecond);
    }
}

const bool REGISTERED = [] {
    registerSetup("library", false);
    registerSetup("libraryCompat", true);
    return true;
}();

}  // namespace

}  // namespace MarkeyeBench
