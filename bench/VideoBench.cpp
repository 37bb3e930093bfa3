// A video file end to end, and how its time splits: decoding alone,
// decoding and conversion to BGRX, tracking alone (frames decoded before),
// and decoding, conversion and temporal tracking together, as `markeye
// track clip.mp4` runs. The clip, 1280 x 720 H.264 written by the library's
// video writer, shows four markers moving and turning over a busy
// background with sensor noise; it is made once, when a video benchmark
// first runs, and left at clipPath() for timing the program on it.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchCounters.h"
#include "BenchScenes.h"
#include "MarkerPose.h"
#include "DetectionScene.h"
#include "RenderCamera.h"
#include "SceneRenderer.h"
#include "markeye/Tracker.h"
#include "markeye/VideoFile.h"

namespace MarkeyeBench {

namespace {

constexpr int32_t CLIP_WIDTH = 1280;
constexpr int32_t CLIP_HEIGHT = 720;
constexpr int32_t CLIP_FRAMES = 150;
constexpr double CLIP_RATE = 30.0;
// Frames decoded ahead for the tracking alone.
constexpr int32_t HELD_FRAMES = 30;

std::string clipPath()
{
    return (std::filesystem::temp_directory_path() / "markeye_bench_720p.mp4").string();
}

// Writes the clip: markers 0 to 3 in a row, each swinging and turning at
// its own pace, 700 to 900 mm away (about 125 to 160 pixels across), over a
// gradient with light sensor noise.
void writeClip()
{
    const markeye::Camera camera = markeye::Camera::builtin(CLIP_WIDTH, CLIP_HEIGHT);
    const markeye::Distortion& lens = camera.distortion();
    const double distortion[4] = {lens.centre_x, lens.centre_y, lens.coefficient, lens.scale};
    Markeye::SceneRenderer renderer(
        Markeye::RenderCamera(CLIP_WIDTH, CLIP_HEIGHT, camera.projection().data(), distortion));
    Markeye::TSceneOptions options;
    options.supersample = 2;
    options.background_gradient_x = 40.0;
    options.noise_sigma = 1.5;
    markeye::showFfmpegMessages(false);
    markeye::VideoWriter writer(clipPath(), CLIP_WIDTH, CLIP_HEIGHT, CLIP_RATE);
    for (int32_t k = 0; k < CLIP_FRAMES; k++) {
        const double t = k / CLIP_RATE;
        std::vector<Markeye::TSceneMarker> markers;
        for (int32_t m = 0; m < 4; m++) {
            const double phase = t * (1.0 + 0.3 * m);
            markers.emplace_back(&MarkeyeTest::builtinPicture(m), 80.0,
                                 Markeye::MarkerPose::make(40.0 * std::sin(phase) + 90.0 * m, 20.0 * std::cos(phase),
                                                           15.0 * std::sin(1.3 * phase), -255.0 + 170.0 * m,
                                                           40.0 * std::sin(phase), 800.0 + 100.0 * std::sin(0.7 * phase)));
        }
        options.seed = static_cast<uint64_t>(k + 1);
        renderer.render(markers, options);
        writer.write(markeye::ImageView{renderer.getFrame(), CLIP_WIDTH, CLIP_HEIGHT, 4 * CLIP_WIDTH,
                                        markeye::PixelFormat::BGRA});
    }
    writer.finish();
}

const std::string& clip()
{
    static const std::string path = [] {
        writeClip();
        return clipPath();
    }();
    return path;
}

markeye::Tracker makeTracker(bool i_temporal)
{
    std::vector<markeye::Pattern> patterns;
    for (int32_t i = 0; i < 8; i++) {
        patterns.push_back(benchPattern(i));
    }
    markeye::TrackerOptions options;
    options.temporal.enabled = i_temporal;
    return markeye::Tracker(markeye::Camera::builtin(CLIP_WIDTH, CLIP_HEIGHT), patterns, options);
}

// The next frame of the clip through i_step (decoding, and maybe more),
// from the start again at its end, outside the timing.
template <class TStep>
void loopClip(benchmark::State& io_state, markeye::VideoReader* io_reader, TStep&& i_step)
{
    for (auto _ : io_state) {
        if (!i_step()) {
            io_state.PauseTiming();
            *io_reader = markeye::VideoReader(clip());
            io_state.ResumeTiming();
        }
    }
    setPixelCounter(io_state, int64_t{CLIP_WIDTH} * CLIP_HEIGHT);
}

void benchDecode(benchmark::State& io_state)
{
    markeye::VideoReader reader(clip());
    double time = 0.0;
    loopClip(io_state, &reader, [&] { return reader.skip(&time); });
}

void benchDecodeAndConvert(benchmark::State& io_state)
{
    markeye::VideoReader reader(clip());
    markeye::Image frame;
    double time = 0.0;
    loopClip(io_state, &reader, [&] { return reader.read(&frame, &time); });
}

void benchTrack(benchmark::State& io_state, bool i_temporal)
{
    markeye::VideoReader reader(clip());
    std::vector<markeye::Image> frames(HELD_FRAMES);
    double time = 0.0;
    for (markeye::Image& frame : frames) {
        reader.read(&frame, &time);
    }
    markeye::Tracker tracker = makeTracker(i_temporal);
    size_t next = 0;
    size_t found = 0;
    for (auto _ : io_state) {
        found += tracker.track(frames[next].view()).size();
        next = (next + 1) % frames.size();
    }
    io_state.counters["markers"] = benchmark::Counter(static_cast<double>(found), benchmark::Counter::kAvgIterations);
    setPixelCounter(io_state, int64_t{CLIP_WIDTH} * CLIP_HEIGHT);
}

void benchEndToEnd(benchmark::State& io_state)
{
    markeye::VideoReader reader(clip());
    markeye::Tracker tracker = makeTracker(true);
    markeye::Image frame;
    double time = 0.0;
    size_t found = 0;
    loopClip(io_state, &reader, [&] {
        if (!reader.read(&frame, &time)) {
            // A new pass through the clip starts a new sequence.
            tracker.resetTracks();
            return false;
        }
        found += tracker.track(frame.view(), time).size();
        return true;
    });
    io_state.counters["markers"] = benchmark::Counter(static_cast<double>(found), benchmark::Counter::kAvgIterations);
}

const bool REGISTERED = [] {
    const auto unit = benchmark::kMicrosecond;
    benchmark::RegisterBenchmark("Video/decode/1280x720", benchDecode)->Unit(unit);
    benchmark::RegisterBenchmark("Video/decodeAndConvert/1280x720", benchDecodeAndConvert)->Unit(unit);
    benchmark::RegisterBenchmark("Video/track/1280x720", benchTrack, false)->Unit(unit);
    benchmark::RegisterBenchmark("Video/trackTemporal/1280x720", benchTrack, true)->Unit(unit);
    benchmark::RegisterBenchmark("Video/endToEnd/1280x720", benchEndToEnd)->Unit(unit);
    return true;
}();

}  // namespace

}  // namespace MarkeyeBench
