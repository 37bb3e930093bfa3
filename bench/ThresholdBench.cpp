// The binarisations of the frame analysis compared on the frames of
// BenchScenes: the fixed threshold against the tile threshold, alone, and
// within a whole identification as the library's default mode runs it.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "BenchCounters.h"
#include "BenchScenes.h"
#include "IVoARBufferReader.h"
#include "TVoARSquareSearch.h"
#include "VoARFrameAnalysis.h"
#include "VoARMatchPatt_Color_WITHOUT_PCA.h"
#include "VoARRasterFilter_KestrelThreshold.h"
#include "VoARRasterFilter_TileThreshold.h"
#include "VoARTransMat.h"
#include "VoARTransMatResult.h"

using namespace VoTrack;

namespace MarkeyeBench {

namespace {

constexpr int32_t BGRA = IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32;
constexpr int32_t THRESHOLD = MarkeyeTest::THRESHOLD;
constexpr int32_t PATTERNS = 6;
// The least confidence the library's default mode reports.
constexpr double MIN_CONFIDENCE = 0.55;

using TBinarisation = VoARFrameAnalysis::TBinarisation;

const char* binarisationName(TBinarisation i_binarisation)
{
    return i_binarisation == TBinarisation::FIXED_THRESHOLD ? "fixed" : "tile";
}

// The fixed threshold into the dark mask, as the analysis calls it.
void benchFixed(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size)
{
    const BenchFrame frame(i_scene, i_size);
    std::vector<uint8_t> dark(static_cast<size_t>(frame.pixels()));
    const VoARRasterFilter_KestrelThreshold filter(THRESHOLD, BGRA);
    for (auto _ : io_state) {
        filter.doFilterDark(frame.raster(), dark.data());
        benchmark::DoNotOptimize(dark.data());
        benchmark::ClobberMemory();
    }
    setPixelCounter(io_state, frame.pixels());
}

void benchTile(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size)
{
    const BenchFrame frame(i_scene, i_size);
    std::vector<uint8_t> dark(static_cast<size_t>(frame.pixels()));
    VoARRasterFilter_TileThreshold filter(frame.param().getScreenSize(), BGRA);
    for (auto _ : io_state) {
        filter.doFilterDark(frame.raster(), dark.data());
        benchmark::DoNotOptimize(dark.data());
        benchmark::ClobberMemory();
    }
    setPixelCounter(io_state, frame.pixels());
}

// The square search of the library's default mode (markeye's FrameSetup):
// up to 1024 squares of any size up to the frame, crowded frames opened.
TVoARSquareSearch defaultModeSearch(const BenchFrame& i_frame)
{
    TVoARSquareSearch search;
    search.square_capacity = 1024;
    search.area_max = static_cast<int32_t>(std::min<int64_t>(i_frame.pixels(), std::numeric_limits<int32_t>::max()));
    search.open_crowded_frames = true;
    return search;
}

// The library's default mode on the core: one analysis, every square
// sampled and matched against every pattern, and the pose of each square
// whose best pattern reaches MIN_CONFIDENCE.
class DefaultModeIdentification
{
public:
    DefaultModeIdentification(const BenchFrame& i_frame, TBinarisation i_binarisation)
        : _analysis(&i_frame.param(), BGRA, defaultModeSearch(i_frame), i_binarisation), _pose(&i_frame.param())
    {
        for (int32_t i = 0; i < PATTERNS; i++) {
            _codes.push_back(makeCode(i));
            _grids.push_back(_analysis.acquireGrid(_codes.back()->getWidth(), _codes.back()->getHeight()));
        }
    }

    // The number of markers identified.
    int32_t identify(const IVoARRgbRaster& i_raster)
    {
        _analysis.analyse(&i_raster, THRESHOLD);
        int32_t found = 0;
        for (int32_t s = 0; s < _analysis.getSquareCount(); s++) {
            double best = -1.0;
            int32_t direction = -1;
            for (size_t p = 0; p < _codes.size(); p++) {
                VoARMatchPatt_Color_WITHOUT_PCA* matcher = _analysis.sampleSquare(_grids[p], s);
                if (matcher == nullptr) {
                    continue;
                }
                matcher->matchCode(_codes[p].get());
                if (matcher->getDirection() >= 0 && matcher->getConfidence() > best) {
                    best = matcher->getConfidence();
                    direction = matcher->getDirection();
                }
            }
            if (best >= MIN_CONFIDENCE) {
                _pose.computePose(_analysis.getSquare(s), direction, MarkeyeTest::MARKER_WIDTH, &_result);
                found++;
            }
        }
        return found;
    }

private:
    VoARFrameAnalysis _analysis;
    VoARTransMat _pose;
    VoARTransMatResult _result;
    std::vector<std::unique_ptr<VoARCode>> _codes;
    std::vector<int32_t> _grids;
};

void benchIdentify(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size, TBinarisation i_binarisation)
{
    const BenchFrame frame(i_scene, i_size);
    DefaultModeIdentification identification(frame, i_binarisation);
    int32_t found = 0;
    for (auto _ : io_state) {
        found = identification.identify(frame.raster());
        benchmark::DoNotOptimize(found);
    }
    io_state.counters["markers"] = found;
    setPixelCounter(io_state, frame.pixels());
}

const bool REGISTERED = [] {
    using TStageBench = void (*)(benchmark::State&, TBenchScene, TFrameSize);
    const struct
    {
        const char* name;
        TStageBench run;
    } stages[] = {{"fixed", benchFixed}, {"tile", benchTile}};
    for (const TFrameSize& size : benchSizes()) {
        for (TBenchScene scene : benchScenes()) {
            const std::string where = sizeName(size) + "/" + sceneName(scene);
            for (const auto& stage : stages) {
                const std::string name = std::string("Threshold/") + stage.name + "/" + where;
                benchmark::RegisterBenchmark(name.c_str(), stage.run, scene, size)->Unit(benchmark::kMicrosecond);
            }
            for (TBinarisation binarisation : {TBinarisation::FIXED_THRESHOLD, TBinarisation::TILE_THRESHOLD}) {
                const std::string name = std::string("Threshold/identify/") + binarisationName(binarisation) + "/" +
                                         where + "/patterns:" + std::to_string(PATTERNS);
                benchmark::RegisterBenchmark(name.c_str(), benchIdentify, scene, size, binarisation)
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
    return true;
}();

}  // namespace

}  // namespace MarkeyeBench
