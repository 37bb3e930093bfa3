// Trackers on several threads at once: each thread its own tracker (of
// either way, or a board's) over its own frames, all running together, give
// exactly what one thread gives tracking the same frames alone; patterns
// the library keeps once made are made on several threads at once. Built with
// ThreadSanitizer in CI (MARKEYE_SANITIZE_THREAD), which also reports any
// data race between them.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "BoardScene.h"
#include "LibraryTestSupport.h"
#include "MarkerPose.h"
#include "markeye/markeye.h"

using namespace LibraryTest;
using Markeye::MarkerPose;
using markeye::Detection;
using markeye::Tracker;
using markeye::TrackerOptions;

namespace {

constexpr int32_t THREADS = 4;

}  // namespace

// First here, so that in one process of every test the patterns are made by
// these threads: each thread takes every generated and built-in pattern,
// and each gets the pattern made from its picture.
TEST(PatternThreadTest, PatternsMadeOnFourThreadsAtOnceAreThoseOfTheirPictures)
{
    auto numbersOf = [](bool i_made_here) {
        std::vector<std::vector<int32_t>> numbers;
        for (int32_t i = 0; i < markeye::Pattern::GENERATED_COUNT; i++) {
            const markeye::Image picture = markeye::Pattern::generatedPicture(i);
            numbers.push_back(i_made_here ? markeye::Pattern::fromPicture(picture.view()).numbers()
                                          : markeye::Pattern::generated(i).numbers());
        }
        for (const std::string& name : markeye::Pattern::builtinNames()) {
            const markeye::Image picture = markeye::Pattern::builtinPicture(name);
            numbers.push_back(i_made_here ? markeye::Pattern::fromPicture(picture.view()).numbers()
                                          : markeye::Pattern::builtin(name).numbers());
        }
        return numbers;
    };
    std::vector<std::vector<std::vector<int32_t>>> taken(THREADS);
    std::vector<std::thread> threads;
    for (int32_t t = 0; t < THREADS; t++) {
        threads.emplace_back([&, t] { taken[static_cast<std::size_t>(t)] = numbersOf(false); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const std::vector<std::vector<int32_t>> made = numbersOf(true);
    for (int32_t t = 0; t < THREADS; t++) {
        EXPECT_TRUE(taken[static_cast<std::size_t>(t)] == made) << "thread " << t;
    }
}

namespace {

constexpr int32_t FRAMES_PER_THREAD = 6;
constexpr int32_t ROUNDS = 3;

// Frames for every thread, rendered before any thread starts: markers at
// poses that differ from frame to frame and from thread to thread.
class ThreadFrames
{
public:
    ThreadFrames() : _camera(markeye::Camera::builtin(FRAME_WIDTH, FRAME_HEIGHT))
    {
        RenderedFrame frame(_camera);
        Markeye::TSceneOptions options;
        options.noise_sigma = 3.0;
        for (int32_t t = 0; t < THREADS; t++) {
            for (int32_t f = 0; f < FRAMES_PER_THREAD; f++) {
                const double turn = 15.0 * f + 40.0 * t;
                frame.render({placedMarker((t + f) % 8, MarkerPose::make(turn, 10.0 + f, -5.0 * t, -120, 20, 600)),
                              placedMarker((t + f + 3) % 8, MarkerPose::make(-turn, -15.0, 10.0, 130, -30, 650))},
                             options);
                const markeye::ImageView view = frame.view();
                _frames.emplace_back(view.data, view.data + view.stride * view.height);
            }
        }
    }

    markeye::ImageView view(int32_t i_thread, int32_t i_frame) const
    {
        const std::vector<uint8_t>& bytes = _frames[static_cast<std::size_t>(i_thread * FRAMES_PER_THREAD + i_frame)];
        return {bytes.data(), FRAME_WIDTH, FRAME_HEIGHT, 4 * FRAME_WIDTH, markeye::PixelFormat::BGRA};
    }

    const markeye::Camera& camera() const { return _camera; }

private:
    markeye::Camera _camera;
    std::vector<std::vector<uint8_t>> _frames;
};

const ThreadFrames& frames()
{
    static const ThreadFrames all;
    return all;
}

// One thread's detections of its frames, ROUNDS times over.
std::vector<std::vector<Detection>> trackThread(const TrackerOptions& i_options, int32_t i_thread)
{
    Tracker tracker(frames().camera(), builtinPatterns(), i_options);
    std::vector<std::vector<Detection>> found;
    for (int32_t round = 0; round < ROUNDS; round++) {
        for (int32_t f = 0; f < FRAMES_PER_THREAD; f++) {
            found.push_back(tracker.track(frames().view(i_thread, f)));
        }
    }
    return found;
}

class ThreadTest : public ::testing::TestWithParam<bool>
{
protected:
    static TrackerOptions options()
    {
        TrackerOptions chosen = GetParam() ? TrackerOptions::pluginCompatible() : TrackerOptions();
        chosen.min_confidence = 0.55;
        return chosen;
    }
};

}  // namespace

TEST_P(ThreadTest, TrackersOnFourThreadsGiveWhatOneThreadGives)
{
    std::vector<std::vector<std::vector<Detection>>> alone;
    for (int32_t t = 0; t < THREADS; t++) {
        alone.push_back(trackThread(options(), t));
    }
    std::vector<std::vector<std::vector<Detection>>> together(THREADS);
    std::atomic<int32_t> ready{0};
    std::vector<std::thread> threads;
    for (int32_t t = 0; t < THREADS; t++) {
        threads.emplace_back([&, t] {
            // Start together, so that the trackers overlap.
            ready++;
            while (ready.load() < THREADS) {
                std::this_thread::yield();
            }
            together[static_cast<std::size_t>(t)] = trackThread(options(), t);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::size_t markers = 0;
    for (int32_t t = 0; t < THREADS; t++) {
        const auto& expected = alone[static_cast<std::size_t>(t)];
        const auto& actual = together[static_cast<std::size_t>(t)];
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t k = 0; k < expected.size(); k++) {
            SCOPED_TRACE(::testing::Message() << "thread " << t << ", frame " << k);
            expectSameDetections(expected[k], actual[k]);
            markers += actual[k].size();
        }
    }
    // Two markers in every frame (the plug-in's way reports every pattern
    // that reaches the least confidence, at least the two).
    EXPECT_GE(markers, static_cast<std::size_t>(2 * THREADS * FRAMES_PER_THREAD * ROUNDS));
}

INSTANTIATE_TEST_SUITE_P(Ways, ThreadTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i_info) {
                             return std::string(i_info.param ? "PluginCompatible" : "Default");
                         });

// Boards on several threads: each its own board tracker, the same poses.
TEST(BoardThreadTest, BoardTrackersOnFourThreadsGiveWhatOneThreadGives)
{
    const markeye::Board board = markeye::Board::grid(5, 7, 30.0, 6.0);
    const markeye::Camera& camera = frames().camera();
    std::vector<std::vector<uint8_t>> views;
    RenderedFrame frame(camera);
    for (int32_t t = 0; t < THREADS; t++) {
        frame.render(boardScene(board, MarkerPose::make(20.0 * t, 15.0, -10.0 + 5.0 * t, 10, -5, 520)));
        const markeye::ImageView view = frame.view();
        views.emplace_back(view.data, view.data + view.stride * view.height);
    }
    auto poseOf = [&](int32_t i_thread) {
        markeye::BoardTracker tracker(camera, board);
        const std::vector<uint8_t>& bytes = views[static_cast<std::size_t>(i_thread)];
        std::vector<markeye::BoardDetection> found;
        for (int32_t round = 0; round < ROUNDS; round++) {
            found.push_back(tracker.track({bytes.data(), FRAME_WIDTH, FRAME_HEIGHT, 4 * FRAME_WIDTH,
                                           markeye::PixelFormat::BGRA}));
        }
        return found;
    };
    std::vector<std::vector<markeye::BoardDetection>> alone;
    for (int32_t t = 0; t < THREADS; t++) {
        alone.push_back(poseOf(t));
    }
    std::vector<std::vector<markeye::BoardDetection>> together(THREADS);
    std::vector<std::thread> threads;
    for (int32_t t = 0; t < THREADS; t++) {
        threads.emplace_back([&, t] { together[static_cast<std::size_t>(t)] = poseOf(t); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int32_t t = 0; t < THREADS; t++) {
        for (int32_t round = 0; round < ROUNDS; round++) {
            const auto& a = alone[static_cast<std::size_t>(t)][static_cast<std::size_t>(round)];
            const auto& b = together[static_cast<std::size_t>(t)][static_cast<std::size_t>(round)];
            ASSERT_TRUE(a.found);
            EXPECT_EQ(a.rotation, b.rotation);
            EXPECT_EQ(a.translation, b.translation);
            EXPECT_EQ(a.markers_used, b.markers_used);
        }
    }
}
