// Each stage of the detection alone, on the frames of BenchScenes.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "BenchCounters.h"
#include "BenchScenes.h"
#include "IVoARBufferReader.h"
#include "VoARBinRaster.h"
#include "VoARColorPatt_O3.h"
#include "VoARLabelingImage.h"
#include "VoARLabeling_Kestrel.h"
#include "VoARMatchPatt_Color_WITHOUT_PCA.h"
#include "VoARRasterFilter_KestrelThreshold.h"
#include "VoARSquareDetector.h"
#include "VoARSquareStack.h"
#include "VoARTransMat.h"
#include "VoARTransMatResult.h"

using namespace VoTrack;

namespace MarkeyeBench {

namespace {

constexpr int32_t BGRA = IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32;
constexpr int32_t THRESHOLD = MarkeyeTest::THRESHOLD;
constexpr int32_t SQUARE_CAPACITY = 100;

void binarise(const BenchFrame& i_frame, VoARBinRaster* o_bin)
{
    VoARRasterFilter_KestrelThreshold filter(THRESHOLD, BGRA);
    filter.doFilter(i_frame.raster(), *o_bin);
}

std::unique_ptr<uint8_t[]> darkMask(const BenchFrame& i_frame)
{
    auto dark = std::make_unique<uint8_t[]>(static_cast<size_t>(i_frame.pixels()));
    VoARRasterFilter_KestrelThreshold(THRESHOLD, BGRA).doFilterDark(i_frame.raster(), dark.get());
    return dark;
}

// Binarisation into the one-byte dark mask the analysis labels.
void benchBinarise(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size)
{
    BenchFrame frame(i_scene, i_size);
    std::unique_ptr<uint8_t[]> dark = darkMask(frame);
    VoARRasterFilter_KestrelThreshold filter(THRESHOLD, BGRA);
    for (auto _ : io_state) {
        filter.doFilterDark(frame.raster(), dark.get());
        benchmark::DoNotOptimize(dark.get());
        benchmark::ClobberMemory();
    }
    setPixelCounter(io_state, frame.pixels());
}

// Binarisation into a binary raster of ints (doFilter).
void benchBinariseToInts(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size)
{
    BenchFrame frame(i_scene, i_size);
    VoARBinRaster bin(i_size.width, i_size.height);
    VoARRasterFilter_KestrelThreshold filter(THRESHOLD, BGRA);
    for (auto _ : io_state) {
        filter.doFilter(frame.raster(), bin);
        benchmark::DoNotOptimize(bin.getIntBuffer());
        benchmark::ClobberMemory();
    }
    setPixelCounter(io_state, frame.pixels());
}

// Labeling of the dark mask run by run, as the analysis does.
void benchLabel(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size)
{
    BenchFrame frame(i_scene, i_size);
    std::unique_ptr<uint8_t[]> dark = darkMask(frame);
    VoARLabelingImage image(i_size.width, i_size.height);
    VoARLabeling_Kestrel labeling;
    labeling.attachLabelImage(&image);
    for (auto _ : io_state) {
        labeling.labelingDark(dark.get());
        benchmark::ClobberMemory();
    }
    io_state.counters["regions"] = image.getLabelStack()->getLength();
    setPixelCounter(io_state, frame.pixels());
}

// Labeling of the binary raster pixel by pixel (labeling).
void benchLabelPixels(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size)
{
    BenchFrame frame(i_scene, i_size);
    VoARBinRaster bin(i_size.width, i_size.height);
    binarise(frame, &bin);
    VoARLabelingImage image(i_size.width, i_size.height);
    VoARLabeling_Kestrel labeling;
    labeling.attachLabelImage(&image);
    for (auto _ : io_state) {
        labeling.labeling(bin);
        benchmark::ClobberMemory();
    }
    io_state.counters["regions"] = image.getLabelStack()->getLength();
    setPixelCounter(io_state, frame.pixels());
}

// Labeling and the square search together, as the analysis runs them:
// less Label, the search alone.
void benchSquares(benchmark::State& io_state, TBenchScene i_scene, TFrameSize i_size)
{
    BenchFrame frame(i_scene, i_size);
    std::unique_ptr<uint8_t[]> dark = darkMask(frame);
    VoARSquareDetector detector(frame.param().getDistortionFactor(), frame.param().getScreenSize());
    VoARSquareStack stack(SQUARE_CAPACITY);
    for (auto _ : io_state) {
        detector.detectSquaresInDarkMask(dark.get(), &stack);
        benchmark::ClobberMemory();
    }
    io_state.counters["squares"] = stack.getLength();
    setPixelCounter(io_state, frame.pixels());
}

// The largest square of the one-marker frame: the marker.
class MarkerSquare
{
public:
    explicit MarkerSquare(const TFrameSize& i_size)
        : _frame(TBenchScene::ONE_MARKER, i_size), _bin(i_size.width, i_size.height), _stack(SQUARE_CAPACITY)
    {
        binarise(_frame, &_bin);
        VoARSquareDetector detector(_frame.param().getDistortionFactor(), _frame.param().getScreenSize());
        detector.detectSquares(&_bin, &_stack);
    }
    const BenchFrame& frame() const { return _frame; }
    const VoARSquare* square() const { return _stack.getLength() > 0 ? _stack.getArray()[0] : nullptr; }

private:
    BenchFrame _frame;
    VoARBinRaster _bin;
    VoARSquareStack _stack;
};

void benchSampleAndMatch(benchmark::State& io_state, TFrameSize i_size)
{
    const MarkerSquare marker(i_size);
    if (marker.square() == nullptr) {
        io_state.SkipWithError("no square");
        return;
    }
    const std::unique_ptr<VoARCode> code = makeCode(0);
    VoARColorPatt_O3 sampler(code->getWidth(), code->getHeight());
    VoARMatchPatt_Color_WITHOUT_PCA matcher;
    for (auto _ : io_state) {
        sampler.sampleSquare(&marker.frame().raster(), marker.square());
        matcher.setSample(&sampler);
        matcher.matchCode(code.get());
        benchmark::DoNotOptimize(matcher.getConfidence());
    }
}

void benchPose(benchmark::State& io_state, TFrameSize i_size)
{
    const MarkerSquare marker(i_size);
    if (marker.square() == nullptr) {
        io_state.SkipWithError("no square");
        return;
    }
    VoARTransMat estimator(&marker.frame().param());
    VoARTransMatResult pose;
    for (auto _ : io_state) {
        estimator.computePose(marker.square(), 0, MarkeyeTest::MARKER_WIDTH, &pose);
        benchmark::DoNotOptimize(pose.m23);
    }
}

using TSceneBench = void (*)(benchmark::State&, TBenchScene, TFrameSize);
using TSquareBench = void (*)(benchmark::State&, TFrameSize);

const bool REGISTERED = [] {
    const struct
    {
        const char* name;
        TSceneBench run;
    } scene_stages[] = {{"Binarise", benchBinarise},
                        {"BinariseToInts", benchBinariseToInts},
                        {"Label", benchLabel},
                        {"LabelPixels", benchLabelPixels},
                        {"Squares", benchSquares}};
    for (const auto& stage : scene_stages) {
        for (const TFrameSize& size : benchSizes()) {
            for (TBenchScene scene : benchScenes()) {
                const std::string name =
                    std::string("Stage/") + stage.name + "/" + sizeName(size) + "/" + sceneName(scene);
                benchmark::RegisterBenchmark(name.c_str(), stage.run, scene, size)->Unit(benchmark::kMicrosecond);
            }
        }
    }
    const struct
    {
        const char* name;
        TSquareBench run;
    } square_stages[] = {{"SampleAndMatch", benchSampleAndMatch}, {"Pose", benchPose}};
    for (const auto& stage : square_stages) {
        for (const TFrameSize& size : benchSizes()) {
            const std::string name = std::string("Stage/") + stage.name + "/" + sizeName(size) + "/one";
            benchmark::RegisterBenchmark(name.c_str(), stage.run, size)->Unit(benchmark::kMicrosecond);
        }
    }
    return true;
}();

}  // namespace

}  // namespace MarkeyeBench
