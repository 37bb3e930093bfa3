// Heap a tracker instance holds at 640 x 480 with 1 and with 10 patterns
// loaded, after one detection: the plug-in's new, its patterns and every
// buffer a frame needs. Reported as a counter; the timing is meaningless.

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <string>
#include <vector>

#include "BenchScenes.h"
#include "EmulatedHost.h"
#include "HostXtraInstance.h"
#include "HostXtraModule.h"
#include "MarkeyeBuiltinData.h"

namespace MarkeyeBench {

namespace {

// Bytes allocated and not freed: small blocks in the arenas plus the large
// blocks malloc maps on their own.
double heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

void benchHeap(benchmark::State& io_state, int32_t i_patterns)
{
    const TFrameSize size{640, 480};
    BenchFrame frame(TBenchScene::ONE_MARKER, size);
    MarkeyeHost::EmulatedHost host;
    MarkeyeHost::HostXtraModule module(&host, MARKEYE_XTRA_MODULE);
    MarkeyeHost::HostXtraInstance tracker(&module);
    MarkeyeHost::HostValueStore& values = host.values();
    // Every argument is made before the first measurement.
    const Markeye::TBuiltinFile camera = Markeye::builtinCamera();
    const Moa::TMoaValue camera_list =
        values.makeIntegerList(std::vector<int32_t>(camera.bytes, camera.bytes + camera.size));
    std::vector<Moa::TMoaValue> patterns;
    for (int32_t i = 0; i < i_patterns; i++) {
        patterns.push_back(values.makeIntegerList(patternNumbers(i)));
    }
    MarkeyeHost::THostImage picture;
    picture.width = size.width;
    picture.height = size.height;
    picture.depth = 32;
    picture.row_bytes = 4 * size.width;
    picture.pixels.assign(frame.bytes(), frame.bytes() + 4 * frame.pixels());
    const Moa::TMoaValue image = values.makeImage(picture);
    const Moa::TMoaValue width = values.makeInteger(size.width);
    const Moa::TMoaValue height = values.makeInteger(size.height);

    const double before = heapInUse();
    tracker.call("new", {camera_list, width, height});
    for (const Moa::TMoaValue& pattern : patterns) {
        tracker.call("loadPatternList", {pattern});
    }
    tracker.call("detectMarkers", {image});
    const double after = heapInUse();
    for (auto _ : io_state) {
        benchmark::DoNotOptimize(after);
    }
    io_state.counters["heap_MB"] = (after - before) / 1e6;
}

const bool REGISTERED = [] {
    for (int32_t patterns : benchPatternCounts()) {
        const std::string name = "Heap/detectMarkers/640x480/patterns:" + std::to_string(patterns);
        benchmark::RegisterBenchmark(name.c_str(), benchHeap, patterns)->Iterations(1)->Repetitions(1);
    }
    return true;
}();

}  // namespace

}  // namespace MarkeyeBench
