// Stress: 10 000 detection calls through the emulated host on small frames
// that change from call to call, with patterns loaded and unloaded between
// runs of calls. The heap in use must come back to where it was before the
// host loaded the plug-in, and no call may leave a pixel lock held.
//
// The heap is measured by this program's own operator new and delete, which
// the plug-in module uses too (its references to them bind to the program's
// definitions), counting live blocks and their usable bytes.

#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "BuiltinMarkers.h"
#include "EmulatedHost.h"
#include "HostXtraInstance.h"
#include "HostXtraModule.h"
#include "markeye/Pattern.h"
#include "MarkerPose.h"
#include "MarkeyeBuiltinData.h"
#include "RenderCamera.h"
#include "SceneRandom.h"
#include "SceneRenderer.h"
#include "VoARParam.h"

namespace {

std::atomic<int64_t> s_live_blocks{0};
std::atomic<int64_t> s_live_bytes{0};

void* countedAllocate(std::size_t i_size)
{
    void* block = std::malloc(i_size == 0 ? 1 : i_size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    s_live_blocks++;
    s_live_bytes += static_cast<int64_t>(malloc_usable_size(block));
    return block;
}

void countedFree(void* i_block) noexcept
{
    if (i_block == nullptr) {
        return;
    }
    s_live_blocks--;
    s_live_bytes -= static_cast<int64_t>(malloc_usable_size(i_block));
    std::free(i_block);
}

}  // namespace

void* operator new(std::size_t i_size)
{
    return countedAllocate(i_size);
}

void* operator new[](std::size_t i_size)
{
    return countedAllocate(i_size);
}

void* operator new(std::size_t i_size, const std::nothrow_t&) noexcept
{
    try {
        return countedAllocate(i_size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t i_size, const std::nothrow_t&) noexcept
{
    return operator new(i_size, std::nothrow);
}

void operator delete(void* i_block) noexcept
{
    countedFree(i_block);
}

void operator delete[](void* i_block) noexcept
{
    countedFree(i_block);
}

void operator delete(void* i_block, std::size_t) noexcept
{
    countedFree(i_block);
}

void operator delete[](void* i_block, std::size_t) noexcept
{
    countedFree(i_block);
}

namespace {

using namespace Moa;
using MarkeyeHost::EmulatedHost;
using MarkeyeHost::HostValueStore;
using MarkeyeHost::HostXtraInstance;
using MarkeyeHost::HostXtraModule;
using MarkeyeHost::THostImage;

constexpr int32_t CALLS = 10000;
// Patterns are unloaded and loaded anew every this many calls.
constexpr int32_t CALLS_PER_LOAD = 250;
constexpr int32_t FRAME_COUNT = 12;
constexpr int32_t FRAME_WIDTH = 160;
constexpr int32_t FRAME_HEIGHT = 120;
constexpr int32_t PATTERN_SIZE = 16;
constexpr double MARKER_WIDTH = 80.0;

struct THeap
{
    int64_t blocks;
    int64_t bytes;
};

THeap heapNow()
{
    return {s_live_blocks.load(), s_live_bytes.load()};
}

std::vector<int32_t> cameraElements()
{
    const Markeye::TBuiltinFile file = Markeye::builtinCamera();
    return std::vector<int32_t>(file.bytes, file.bytes + file.size);
}

std::vector<int32_t> patternNumbers(int32_t i_marker)
{
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(Markeye::BuiltinMarkers::picture(i_marker).view(), PATTERN_SIZE, PATTERN_SIZE).numbers();
    return numbers;
}

// Frames through the built-in camera at the tracker's size: one to three
// markers at seeded random poses over clutter, noise on most of them, and a
// plain grey one.
std::vector<std::vector<uint8_t>> makeFrames()
{
    VoTrack::TVoARParamFileRecord record;
    const Markeye::TBuiltinFile file = Markeye::builtinCamera();
    VoTrack::VoARParam::decodeRecord(file.bytes, true, &record);
    VoTrack::VoARParam param;
    param.setValue(record);
    param.changeScreenSize(FRAME_WIDTH, FRAME_HEIGHT);
    Markeye::SceneRenderer renderer(Markeye::RenderCamera::fromParam(param));
    Markeye::SceneRandom random(2024, 0);
    std::vector<Markeye::MarkerPicture> pictures;
    for (int32_t i = 0; i < Markeye::BuiltinMarkers::count(); i++) {
        pictures.push_back(Markeye::BuiltinMarkers::picture(i));
    }
    std::vector<std::vector<uint8_t>> frames;
    for (int32_t f = 0; f < FRAME_COUNT; f++) {
        std::vector<Markeye::TSceneMarker> markers;
        const int32_t count = f == 0 ? 0 : 1 + random.below(3);
        for (int32_t k = 0; k < count; k++) {
            markers.emplace_back(&pictures[static_cast<size_t>(random.below(static_cast<int32_t>(pictures.size())))],
                                 MARKER_WIDTH,
                                 Markeye::MarkerPose::make(random.uniform(-180.0, 180.0), random.uniform(-30.0, 30.0),
                                                           random.uniform(-30.0, 30.0), random.uniform(-120.0, 120.0),
                                                           random.uniform(-80.0, 80.0), random.uniform(350.0, 700.0)));
        }
        Markeye::TSceneOptions options;
        options.supersample = 2;
        options.clutter_shapes = random.below(4);
        options.noise_sigma = f % 3 == 0 ? 0.0 : 4.0;
        options.seed = static_cast<uint64_t>(f + 1);
        renderer.render(markers, options);
        const uint8_t* bytes = renderer.getFrame();
        frames.emplace_back(bytes, bytes + 4 * FRAME_WIDTH * FRAME_HEIGHT);
    }
    return frames;
}

// One tracker on a fresh host for the whole run.
class StressSession
{
public:
    explicit StressSession(const std::vector<std::vector<uint8_t>>& i_frames)
        : _module(std::make_unique<HostXtraModule>(&_host, MARKEYE_XTRA_MODULE)),
          _tracker(std::make_unique<HostXtraInstance>(_module.get()))
    {
        for (const std::vector<uint8_t>& frame : i_frames) {
            THostImage image;
            image.width = FRAME_WIDTH;
            image.height = FRAME_HEIGHT;
            image.depth = 32;
            image.row_bytes = 4 * FRAME_WIDTH;
            image.pixels = frame;
            _images.push_back(values().makeImage(image));
        }
        _pattern_file = ::testing::TempDir() + "markeye_stress_pattern.pat";
        markeye::Pattern::fromNumbers(patternNumbers(1), PATTERN_SIZE, PATTERN_SIZE).save(_pattern_file);
    }

    HostValueStore& values() { return _host.values(); }

    void makeTracker()
    {
        call("new", {values().makeIntegerList(cameraElements()), values().makeInteger(FRAME_WIDTH),
                     values().makeInteger(FRAME_HEIGHT)});
    }

    // One to three patterns, from lists and from the file, after unloading
    // what was there.
    void reloadPatterns(int32_t i_round)
    {
        call("unloadAllPatterns");
        const int32_t count = 1 + i_round % 3;
        for (int32_t k = 0; k < count; k++) {
            const HostXtraInstance::TCallOutcome loaded =
                (i_round + k) % 4 == 3 ? call("loadPatternFile", {values().makeString(_pattern_file)})
                                       : call("loadPatternList", {values().makeIntegerList(
                                                                     patternNumbers((i_round + k) % 8))});
            EXPECT_EQ(values().integerOf(loaded.result), 1);
        }
        _patterns = count;
    }

    // Detection call i on frame i mod FRAME_COUNT; true when it answered as
    // promised and left every lock given back.
    bool detect(int32_t i_call)
    {
        const TMoaValue image = _images[static_cast<size_t>(i_call % FRAME_COUNT)];
        const bool all = i_call % 2 == 0;
        const HostXtraInstance::TCallOutcome outcome = call(all ? "detectMarkers" : "detectSingleMarker", {image});
        bool answered = outcome.status == MOA_OK;
        if (all) {
            answered = answered && values().isType(outcome.result, HostValueStore::TYPE_LIST) &&
                       static_cast<int32_t>(values().listOf(outcome.result).size()) == _patterns;
            countPoses(outcome.result);
        }
        return answered && locksHeld() == 0;
    }

    // Poses among the answers of detectMarkers so far.
    int32_t posesFound() const { return _poses; }

    int32_t locksHeld()
    {
        int32_t held = 0;
        for (const TMoaValue& image : _images) {
            held += _host.values().imageOf(image).lock_count;
        }
        return held;
    }

    int32_t locksTaken()
    {
        int32_t taken = 0;
        for (const TMoaValue& image : _images) {
            taken += _host.values().imageOf(image).locks_taken;
        }
        return taken;
    }

    // Ends the tracker; true when it gave back every service, block and
    // string it held.
    bool end()
    {
        call("forget");
        _tracker.reset();
        return _host.serviceReferences() == 0 && _host.allocator().liveBlocks() == 0 &&
               _host.values().borrowedStrings() == 0 && _module->exports().canUnloadNow() == MOA_OK;
    }

private:
    HostXtraInstance::TCallOutcome call(const std::string& i_method, const std::vector<TMoaValue>& i_arguments = {})
    {
        return _tracker->call(i_method, i_arguments);
    }

    void countPoses(const TMoaValue& i_list)
    {
        for (const TMoaValue& element : values().listOf(i_list)) {
            _poses += values().isType(element, HostValueStore::TYPE_MATRIX) ? 1 : 0;
        }
    }

    EmulatedHost _host;
    std::unique_ptr<HostXtraModule> _module;
    std::unique_ptr<HostXtraInstance> _tracker;
    std::vector<TMoaValue> _images;
    std::string _pattern_file;
    int32_t _patterns = 0;
    int32_t _poses = 0;
};

TEST(XtraStressTest, TenThousandDetectionsGiveBackMemoryAndLocks)
{
    const std::vector<std::vector<uint8_t>> frames = makeFrames();
    // A first short session pays for what the process keeps once it has
    // loaded the module and read a file (loader records, stream locales).
    {
        StressSession warm_up(frames);
        warm_up.makeTracker();
        warm_up.reloadPatterns(3);
        ASSERT_TRUE(warm_up.detect(0));
        ASSERT_TRUE(warm_up.end());
    }
    const THeap before = heapNow();
    int32_t failed_calls = 0;
    {
        StressSession session(frames);
        session.makeTracker();
        for (int32_t i = 0; i < CALLS; i++) {
            if (i % CALLS_PER_LOAD == 0) {
                session.reloadPatterns(i / CALLS_PER_LOAD);
            }
            if (!session.detect(i)) {
                failed_calls++;
            }
        }
        EXPECT_EQ(session.locksTaken(), CALLS);
        // The frames show markers often enough that poses are made, and so
        // the pose path's memory is in the balance too.
        EXPECT_GT(session.posesFound(), CALLS / 20);
        std::printf("%d poses in %d detection calls\n", session.posesFound(), CALLS);
        EXPECT_TRUE(session.end());
    }
    EXPECT_EQ(failed_calls, 0);
    const THeap after = heapNow();
    EXPECT_EQ(after.blocks, before.blocks);
    EXPECT_EQ(after.bytes, before.bytes);
}

// The counting reaches into the module: a tracker's tables are counted while
// it lives and given back when it ends.
TEST(XtraStressTest, TheModulesAllocationsAreCounted)
{
    const std::vector<std::vector<uint8_t>> frames = makeFrames();
    StressSession session(frames);
    session.makeTracker();
    const THeap before = heapNow();
    session.reloadPatterns(0);
    // The first pattern builds the frame's tables: the observed-to-ideal map
    // alone holds 16 bytes per pixel.
    EXPECT_GT(heapNow().bytes - before.bytes, int64_t{16} * FRAME_WIDTH * FRAME_HEIGHT);
    EXPECT_TRUE(session.end());
}

}  // namespace
