// Soak runs: many frames through the library, or many calls through the
// plug-in on the emulated host, watching the heap the whole time. Every
// operator new and delete of the program (the plug-in module's included) is
// counted here, so the figures are live blocks and bytes at the start, at
// their peak and at the end, once everything the run made is gone.
//
//   markeye_soak library [frames]   (default 1000000)
//   markeye_soak plugin [calls]     (default 100000)
//
// Exit status 0 when the heap is back to its start (and, for the plug-in,
// the host's accounting is clean), 1 otherwise.

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "BenchScenes.h"
#include "EmulatedHost.h"
#include "HostXtraInstance.h"
#include "HostXtraModule.h"
#include "MarkeyeBuiltinData.h"
#include "markeye/markeye.h"

namespace {

// Live heap of the program, through the replaced operators below.
std::atomic<int64_t> g_live_blocks{0};
std::atomic<int64_t> g_live_bytes{0};
std::atomic<int64_t> g_peak_bytes{0};
std::atomic<int64_t> g_allocations{0};

void* countedAllocate(std::size_t i_size, std::size_t i_alignment)
{
    void* block = i_alignment <= alignof(std::max_align_t)
                      ? std::malloc(i_size == 0 ? 1 : i_size)
                      : std::aligned_alloc(i_alignment, (i_size + i_alignment - 1) / i_alignment * i_alignment);
    if (block == nullptr) {
        return nullptr;
    }
    g_live_blocks++;
    g_allocations++;
    const int64_t bytes = g_live_bytes += static_cast<int64_t>(malloc_usable_size(block));
    int64_t peak = g_peak_bytes.load();
    while (bytes > peak && !g_peak_bytes.compare_exchange_weak(peak, bytes)) {
    }
    return block;
}

void countedFree(void* i_block)
{
    if (i_block == nullptr) {
        return;
    }
    g_live_blocks--;
    g_live_bytes -= static_cast<int64_t>(malloc_usable_size(i_block));
    std::free(i_block);
}

void* allocateOrThrow(std::size_t i_size, std::size_t i_alignment)
{
    void* block = countedAllocate(i_size, i_alignment);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

}  // namespace

void* operator new(std::size_t i_size)
{
    return allocateOrThrow(i_size, alignof(std::max_align_t));
}
void* operator new[](std::size_t i_size)
{
    return allocateOrThrow(i_size, alignof(std::max_align_t));
}
void* operator new(std::size_t i_size, std::align_val_t i_alignment)
{
    return allocateOrThrow(i_size, static_cast<std::size_t>(i_alignment));
}
void* operator new[](std::size_t i_size, std::align_val_t i_alignment)
{
    return allocateOrThrow(i_size, static_cast<std::size_t>(i_alignment));
}
void* operator new(std::size_t i_size, const std::nothrow_t&) noexcept
{
    return countedAllocate(i_size, alignof(std::max_align_t));
}
void* operator new[](std::size_t i_size, const std::nothrow_t&) noexcept
{
    return countedAllocate(i_size, alignof(std::max_align_t));
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
void operator delete(void* i_block, std::align_val_t) noexcept
{
    countedFree(i_block);
}
void operator delete[](void* i_block, std::align_val_t) noexcept
{
    countedFree(i_block);
}
void operator delete(void* i_block, std::size_t, std::align_val_t) noexcept
{
    countedFree(i_block);
}
void operator delete[](void* i_block, std::size_t, std::align_val_t) noexcept
{
    countedFree(i_block);
}

namespace MarkeyeBench {

namespace {

struct THeapMark
{
    int64_t blocks;
    int64_t bytes;
};

THeapMark heapNow()
{
    return THeapMark{g_live_blocks.load(), g_live_bytes.load()};
}

void printMark(const char* i_name, const THeapMark& i_mark)
{
    std::printf("  %-28s %10lld blocks %14lld bytes\n", i_name, static_cast<long long>(i_mark.blocks),
                static_cast<long long>(i_mark.bytes));
}

double secondsSince(std::chrono::steady_clock::time_point i_start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - i_start).count();
}

// ---- The library ----------------------------------------------------------------

constexpr markeye::PixelFormat FORMATS[] = {
    markeye::PixelFormat::BGRA, markeye::PixelFormat::BGRX, markeye::PixelFormat::RGBA, markeye::PixelFormat::RGBX,
    markeye::PixelFormat::BGR,  markeye::PixelFormat::RGB,  markeye::PixelFormat::GRAY,
};
constexpr int32_t FORMAT_COUNT = static_cast<int32_t>(sizeof(FORMATS) / sizeof(FORMATS[0]));

// Frames between pattern reloads (a new tracker, the other way of tracking
// every second time) and between frame-size changes.
constexpr int64_t RELOAD_PERIOD = 10000;
constexpr int64_t SIZE_PERIOD = 997;

// A BGRA frame (blue, green, red, 255) written in another pixel format,
// packed rows.
std::vector<uint8_t> convertFrame(const uint8_t* i_bgra, int64_t i_pixels, markeye::PixelFormat i_format)
{
    std::vector<uint8_t> out;
    out.reserve(static_cast<std::size_t>(i_pixels) * 4);
    for (int64_t i = 0; i < i_pixels; i++) {
        const uint8_t b = i_bgra[4 * i];
        const uint8_t g = i_bgra[4 * i + 1];
        const uint8_t r = i_bgra[4 * i + 2];
        switch (i_format) {
        case markeye::PixelFormat::BGRA:
        case markeye::PixelFormat::BGRX:
            out.insert(out.end(), {b, g, r, 255});
            break;
        case markeye::PixelFormat::RGBA:
        case markeye::PixelFormat::RGBX:
            out.insert(out.end(), {r, g, b, 255});
            break;
        case markeye::PixelFormat::BGR:
            out.insert(out.end(), {b, g, r});
            break;
        case markeye::PixelFormat::RGB:
            out.insert(out.end(), {r, g, b});
            break;
        case markeye::PixelFormat::GRAY:
            out.push_back(static_cast<uint8_t>((r + g + b) / 3));
            break;
        }
    }
    return out;
}

// Every scene at one frame size in every pixel format.
struct TSizeFrames
{
    TFrameSize size;
    markeye::Camera camera;
    // [scene][format]
    std::vector<std::vector<std::vector<uint8_t>>> pixels;

    markeye::ImageView view(std::size_t i_scene, int32_t i_format) const
    {
        const markeye::PixelFormat format = FORMATS[i_format];
        const int32_t bytes = markeye::bytesPerPixel(format);
        return markeye::ImageView{pixels[i_scene][static_cast<std::size_t>(i_format)].data(), size.width, size.height,
                                  static_cast<std::ptrdiff_t>(size.width) * bytes, format};
    }
};

TSizeFrames makeSizeFrames(const TFrameSize& i_size)
{
    TSizeFrames frames{i_size, markeye::Camera::builtin(i_size.width, i_size.height), {}};
    for (TBenchScene scene : benchScenes()) {
        const BenchFrame frame(scene, i_size);
        std::vector<std::vector<uint8_t>> formats;
        for (markeye::PixelFormat format : FORMATS) {
            formats.push_back(convertFrame(frame.bytes(), frame.pixels(), format));
        }
        frames.pixels.push_back(std::move(formats));
    }
    return frames;
}

// The patterns of reload i: 1 to MAX_PATTERNS of them, starting at a
// different one each time.
std::vector<markeye::Pattern> reloadPatterns(const std::vector<markeye::Pattern>& i_all, int64_t i_reload)
{
    const std::size_t count = static_cast<std::size_t>(i_reload % MAX_PATTERNS) + 1;
    std::vector<markeye::Pattern> patterns;
    for (std::size_t i = 0; i < count; i++) {
        patterns.push_back(i_all[(static_cast<std::size_t>(i_reload) + i) % i_all.size()]);
    }
    return patterns;
}

int runLibrary(int64_t i_frames)
{
    std::vector<TSizeFrames> sizes;
    sizes.push_back(makeSizeFrames(TFrameSize{160, 120}));
    sizes.push_back(makeSizeFrames(TFrameSize{80, 60}));
    std::vector<markeye::Pattern> all;
    for (int32_t i = 0; i < MAX_PATTERNS; i++) {
        all.push_back(benchPattern(i));
    }
    const std::size_t scene_count = benchScenes().size();

    const THeapMark start = heapNow();
    g_peak_bytes = start.bytes;
    THeapMark steady{0, 0};
    int64_t detections = 0;
    int64_t frame_allocations = 0;
    int64_t reloads = 0;
    const auto started = std::chrono::steady_clock::now();
    {
        markeye::Tracker tracker(sizes[0].camera, reloadPatterns(all, 0));
        // Sizes this tracker has set up: a frame at one of them allocates
        // nothing.
        std::vector<bool> seen(sizes.size(), false);
        for (int64_t frame = 0; frame < i_frames; frame++) {
            if (frame > 0 && frame % RELOAD_PERIOD == 0) {
                reloads++;
                const markeye::TrackerOptions options =
                    reloads % 2 == 0 ? markeye::TrackerOptions() : markeye::TrackerOptions::pluginCompatible();
                const std::size_t first = static_cast<std::size_t>(reloads) % sizes.size();
                tracker = markeye::Tracker(sizes[first].camera, reloadPatterns(all, reloads), options);
                seen.assign(sizes.size(), false);
            }
            const std::size_t size = static_cast<std::size_t>(frame / SIZE_PERIOD) % sizes.size();
            const std::size_t scene = static_cast<std::size_t>(frame) % scene_count;
            const int32_t format = static_cast<int32_t>(frame % FORMAT_COUNT);
            const int64_t before = g_allocations.load();
            detections += static_cast<int64_t>(tracker.track(sizes[size].view(scene, format)).size());
            if (seen[size]) {
                frame_allocations += g_allocations.load() - before;
            }
            seen[size] = true;
            if (frame == std::min<int64_t>(RELOAD_PERIOD, i_frames) - 1) {
                steady = heapNow();
            }
        }
        printMark("before the last tracker goes", heapNow());
    }
    const double seconds = secondsSince(started);
    const THeapMark end = heapNow();
    std::printf("library soak: %lld frames (160x120 and 80x60, %d pixel formats, 3 scenes), %lld pattern reloads\n",
                static_cast<long long>(i_frames), FORMAT_COUNT, static_cast<long long>(reloads));
    std::printf("  %.1f s, %.0f frames/s, %lld detections\n", seconds, static_cast<double>(i_frames) / seconds,
                static_cast<long long>(detections));
    printMark("start", start);
    printMark("after the first reload period", steady);
    std::printf("  %-28s %10s        %14lld bytes\n", "peak", "", static_cast<long long>(g_peak_bytes.load()));
    printMark("end", end);
    std::printf("  allocations in frames at a size already set up: %lld\n",
                static_cast<long long>(frame_allocations));
    const bool clean = end.blocks == start.blocks && end.bytes == start.bytes && frame_allocations == 0;
    std::printf("  %s\n", clean ? "heap back to its start" : "HEAP NOT BACK TO ITS START");
    return clean ? 0 : 1;
}

// ---- The plug-in ----------------------------------------------------------------

// Calls between pattern reloads and between new trackers (frame size
// changes, 160x120 and 80x60 in turn).
constexpr int64_t PLUGIN_RELOAD_PERIOD = 1000;
constexpr int64_t PLUGIN_NEW_PERIOD = 4999;

// What one plug-in session left behind.
struct TPluginSession
{
    int64_t calls = 0;
    int64_t failed = 0;
    int32_t most_host_blocks = 0;
    bool accounting_clean = false;
};

// One host, the module loaded into it and one instance driven for i_calls
// calls; prints the host's accounting when i_report.
TPluginSession runPluginSession(int64_t i_calls, bool i_report)
{
    using Moa::TMoaValue;
    TPluginSession session;
    MarkeyeHost::EmulatedHost host;
    MarkeyeHost::HostValueStore& values = host.values();
    const TFrameSize sizes[] = {{160, 120}, {80, 60}};
    // Every argument is made once: the host keeps every value it makes.
    const Markeye::TBuiltinFile camera = Markeye::builtinCamera();
    const TMoaValue camera_list =
        values.makeIntegerList(std::vector<int32_t>(camera.bytes, camera.bytes + camera.size));
    std::vector<TMoaValue> patterns;
    for (int32_t i = 0; i < MAX_PATTERNS; i++) {
        patterns.push_back(values.makeIntegerList(patternNumbers(i)));
    }
    std::vector<std::vector<TMoaValue>> images;
    for (const TFrameSize& size : sizes) {
        std::vector<TMoaValue> scenes;
        for (TBenchScene scene : benchScenes()) {
            const BenchFrame frame(scene, size);
            MarkeyeHost::THostImage picture;
            picture.width = size.width;
            picture.height = size.height;
            picture.depth = 32;
            picture.row_bytes = 4 * size.width;
            picture.pixels.assign(frame.bytes(), frame.bytes() + 4 * frame.pixels());
            scenes.push_back(values.makeImage(picture));
        }
        images.push_back(std::move(scenes));
    }
    const TMoaValue confidence = values.makeFloat(0.3);
    MarkeyeHost::HostXtraModule module(&host, MARKEYE_XTRA_MODULE);
    {
        MarkeyeHost::HostXtraInstance tracker(&module);
        auto call = [&](const char* i_method, const std::vector<TMoaValue>& i_arguments) {
            session.calls++;
            session.failed += tracker.call(i_method, i_arguments).status == Moa::MOA_OK ? 0 : 1;
        };
        std::size_t size = 0;
        while (session.calls < i_calls) {
            if (session.calls % PLUGIN_NEW_PERIOD == 0) {
                if (session.calls > 0) {
                    call("forget", {});
                }
                size = static_cast<std::size_t>(session.calls / PLUGIN_NEW_PERIOD) % 2;
                call("new", {camera_list, values.makeInteger(sizes[size].width),
                             values.makeInteger(sizes[size].height)});
                call("setConfidenceTreshold", {confidence});
            }
            if (session.calls % PLUGIN_RELOAD_PERIOD == 0) {
                call("unloadAllPatterns", {});
                const int64_t reload = session.calls / PLUGIN_RELOAD_PERIOD;
                for (int64_t k = 0; k <= reload % MAX_PATTERNS; k++) {
                    call("loadPatternList", {patterns[static_cast<std::size_t>((reload + k) % MAX_PATTERNS)]});
                }
            }
            const std::vector<TMoaValue>& scenes = images[size];
            const TMoaValue& image = scenes[static_cast<std::size_t>(session.calls) % scenes.size()];
            call(session.calls % 2 == 0 ? "detectMarkers" : "detectSingleMarker", {image});
            session.most_host_blocks = std::max(session.most_host_blocks, host.allocator().liveBlocks());
        }
    }
    bool locks_clean = true;
    for (const std::vector<TMoaValue>& scenes : images) {
        for (const TMoaValue& image : scenes) {
            locks_clean = locks_clean && values.imageOf(image).lock_count == 0;
        }
    }
    const bool can_unload = module.exports().canUnloadNow() == Moa::MOA_OK;
    session.accounting_clean = host.serviceReferences() == 0 && host.allocator().liveBlocks() == 0 &&
                               host.allocator().foreignFrees() == 0 && values.borrowedStrings() == 0 &&
                               locks_clean && can_unload;
    if (i_report) {
        std::printf("  host accounting once the instance is gone: service references %d, live host blocks %d "
                    "(most during the run %d), foreign frees %d, borrowed strings %d, pixel locks %s, module %s\n",
                    host.serviceReferences(), host.allocator().liveBlocks(), session.most_host_blocks,
                    host.allocator().foreignFrees(), values.borrowedStrings(), locks_clean ? "none held" : "HELD",
                    can_unload ? "can unload" : "CANNOT UNLOAD");
        printMark("before the host goes", heapNow());
    }
    return session;
}

int runPlugin(int64_t i_calls)
{
    // A short first session pays for what the process keeps once it has
    // loaded the module (loader records).
    runPluginSession(20, false);
    const THeapMark start = heapNow();
    g_peak_bytes = start.bytes;
    const auto started = std::chrono::steady_clock::now();
    std::printf("plugin soak:\n");
    const TPluginSession session = runPluginSession(i_calls, true);
    const double seconds = secondsSince(started);
    const THeapMark end = heapNow();
    std::printf("  %lld calls through the emulated host at 160x120 and 80x60 (%lld not MOA_OK)\n",
                static_cast<long long>(session.calls), static_cast<long long>(session.failed));
    std::printf("  %.1f s, %.0f calls/s\n", seconds, static_cast<double>(session.calls) / seconds);
    printMark("start", start);
    std::printf("  %-28s %10s        %14lld bytes\n", "peak", "", static_cast<long long>(g_peak_bytes.load()));
    printMark("end", end);
    const bool clean =
        session.accounting_clean && session.failed == 0 && end.blocks == start.blocks && end.bytes == start.bytes;
    std::printf("  %s\n", clean ? "host accounting clean, heap back to its start" : "NOT CLEAN");
    return clean ? 0 : 1;
}

int usage()
{
    std::fprintf(stderr, "usage: markeye_soak library [frames] | plugin [calls]\n");
    return 2;
}

}  // namespace

}  // namespace MarkeyeBench

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        return MarkeyeBench::usage();
    }
    const std::string mode = argv[1];
    const long long count = argc == 3 ? std::atoll(argv[2]) : (mode == "plugin" ? 100000 : 1000000);
    if (count <= 0) {
        return MarkeyeBench::usage();
    }
    if (mode == "library") {
        return MarkeyeBench::runLibrary(count);
    }
    if (mode == "plugin") {
        return MarkeyeBench::runPlugin(count);
    }
    return MarkeyeBench::usage();
}
