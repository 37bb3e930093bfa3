// Sub-pixel edge refinement alone, per square, on the frames of BenchScenes.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "BenchScenes.h"
#include "IVoARBufferReader.h"
#include "VoARFrameAnalysis.h"
#include "VoARSquare.h"
#include "VoARSubpixelEdges.h"

using namespace VoTrack;

namespace MarkeyeBench {

namespace {

constexpr int32_t BGRA = IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32;

// Refines every square the analysis finds in the frame, each time from the
// detector's record. Reports the time per square ("per_square", seconds)
// and how many of them were refined.
void benchRefine(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size)
{
    BenchFrame frame(i_scene, i_size);
    VoARFrameAnalysis analysis(&frame.param(), BGRA);
    analysis.analyse(&frame.raster(), MarkeyeTest::THRESHOLD);
    std::vector<VoARSquare> coarse;
    for (int32_t i = 0; i < analysis.getSquareCount(); i++) {
        coarse.push_back(*analysis.getSquare(i));
    }
    if (coarse.empty()) {
        io_state.SkipWithError("no square");
        return;
    }
    VoARSubpixelEdges edges(frame.param().getDistortionFactor(), i_size.width, i_size.height);
    std::vector<VoARSquare> squares = coarse;
    int32_t refined = 0;
    for (auto _ : io_state) {
        squares = coarse;
        refined = 0;
        for (VoARSquare& square : squares) {
            refined += edges.refine(frame.raster(), &square) ? 1 : 0;
        }
        benchmark::DoNotOptimize(squares.data());
        benchmark::ClobberMemory();
    }
    const double count = static_cast<double>(coarse.size());
    io_state.counters["squares"] = count;
    io_state.counters["refined"] = refined;
    io_state.counters["per_square"] =
        benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

const bool REGISTERED = [] {
    for (const TFrameSize& size : benchSizes()) {
        for (TBenchScene scene : {TBenchScene::ONE_MARKER, TBenchScene::FOUR_MARKERS_AND_CLUTTER}) {
            const std::string name = "Edge/Refine/" + sizeName(size) + "/" + sceneName(scene);
            benchmark::RegisterBenchmark(name.c_str(), benchRefine, scene, size)->Unit(benchmark::kMicrosecond);
        }
    }
    return true;
}();

}  // namespace

}  // namespace MarkeyeBench
