// Fuzz entry: pattern files and the list form, with arbitrary grid sizes.
//
// Input: a byte choosing the path, a byte telling how the sizes are read,
// width and height (32 bits each), then the body: the pattern file's text,
// or the list's numbers (one byte or four bytes per number). Whatever the
// path, the body is also read by the library (markeye::Pattern::fromText,
// or fromFile for the plug-in's file path, with and without the grid, or
// fromNumbers), and a pattern it takes is searched for with the library's
// tracker.

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "FuzzEntries.h"
#include "FuzzInput.h"
#include "FuzzScene.h"
#include "FuzzTracking.h"
#include "FuzzXtra.h"
#include "VoARException.h"
#include "markeye/Camera.h"
#include "markeye/Error.h"
#include "markeye/Pattern.h"
#include "markeye/Tracker.h"

using Moa::TMoaValue;

namespace MarkeyeFuzz {

namespace {

enum PatternPath : uint8_t {
    PATH_CORE_FILE = 0,
    PATH_CORE_LIST = 1,
    PATH_XTRA_LIST = 2,
    PATH_XTRA_FILE = 3,
    PATH_COUNT = 4,
};

// How the size byte is read: bit 0 takes the width as it is (else as a
// choice among the grid sizes patterns may have), bit 1 the same for the
// height, bit 2 makes list numbers 32 bits wide; the rest chooses how the
// plug-in's size arguments are given.
constexpr uint8_t RAW_WIDTH = 1;
constexpr uint8_t RAW_HEIGHT = 2;
constexpr uint8_t WIDE_NUMBERS = 4;
constexpr int SIZE_ARGUMENT_SHIFT = 3;

enum SizeArguments : uint8_t {
    SIZES_NONE = 0,
    SIZES_ONE = 1,
    SIZES_TWO = 2,
    SIZES_FLOATS = 3,
    SIZES_STRING = 4,
    SIZES_LIST = 5,
    SIZES_COUNT = 6,
};

// The frame the loaded patterns are searched in.
constexpr TFrameSize SEARCH_FRAME = {160, 120};

int32_t gridSize(int32_t i_value, bool i_raw)
{
    constexpr int32_t SIZES[] = {1, 2, 4, 8, 16, 32, 64};
    if (i_raw) {
        return i_value;
    }
    return SIZES[static_cast<uint32_t>(i_value) % (sizeof(SIZES) / sizeof(SIZES[0]))];
}

std::vector<int32_t> numbersOf(const std::vector<uint8_t>& i_body, bool i_wide)
{
    if (!i_wide) {
        return std::vector<int32_t>(i_body.begin(), i_body.end());
    }
    std::vector<int32_t> numbers;
    FuzzInput in(i_body.data(), i_body.size());
    while (!in.empty()) {
        numbers.push_back(in.i32());
    }
    return numbers;
}

std::vector<TMoaValue> sizeArguments(MarkeyeHost::HostValueStore& io_values, SizeArguments i_kind, int32_t i_width,
                                     int32_t i_height)
{
    switch (i_kind) {
    case SIZES_ONE:
        return {io_values.makeInteger(i_width)};
    case SIZES_TWO:
        return {io_values.makeInteger(i_width), io_values.makeInteger(i_height)};
    case SIZES_FLOATS:
        return {io_values.makeFloat(i_width + 0.75), io_values.makeFloat(i_height * 1e9)};
    case SIZES_STRING:
        return {io_values.makeString(std::to_string(i_width)), io_values.makeInteger(i_height)};
    case SIZES_LIST:
        return {io_values.makeIntegerList({i_width, i_height})};
    default:
        return {};
    }
}

void searchWith(std::unique_ptr<VoTrack::VoARCode> i_code)
{
    const std::unique_ptr<VoTrack::VoARParam> param = builtinCamera(SEARCH_FRAME.width, SEARCH_FRAME.height);
    std::vector<uint8_t> pixels = markerFrame(SEARCH_FRAME);
    const VoTrack::VoARRgbRaster_BGRA raster(pixels.data(), SEARCH_FRAME.width, SEARCH_FRAME.height);
    detectAndPose(*param, std::move(i_code), raster, THRESHOLD);
}

void runCore(PatternPath i_path, int32_t i_width, int32_t i_height, const std::vector<uint8_t>& i_body, bool i_wide)
{
    try {
        auto code = std::make_unique<VoTrack::VoARCode>(i_width, i_height);
        if (i_path == PATH_CORE_FILE) {
            code->loadFromFile(writeTempFile("pattern.pat", i_body).c_str());
        } else {
            // The list form's caller supplies every number; missing ones
            // read as white.
            std::vector<int32_t> numbers = numbersOf(i_body, i_wide);
            numbers.resize(static_cast<size_t>(code->valueCount()), 255);
            code->setFromArray(numbers.data(), i_width, i_height);
        }
        searchWith(std::move(code));
    } catch (const VoTrack::VoARException&) {
    }
}

void runPlugin(PatternPath i_path, SizeArguments i_sizes, int32_t i_width, int32_t i_height,
               const std::vector<uint8_t>& i_body, bool i_wide)
{
    FuzzXtra xtra;
    MarkeyeHost::HostValueStore& values = xtra.values();
    std::vector<int32_t> camera(builtinCameraBytes().begin(), builtinCameraBytes().end());
    xtra.call(METHOD_NEW, {values.makeIntegerList(camera), values.makeInteger(SEARCH_FRAME.width),
                           values.makeInteger(SEARCH_FRAME.height)});
    std::vector<TMoaValue> arguments;
    if (i_path == PATH_XTRA_FILE) {
        arguments.push_back(values.makeString(writeTempFile("pattern.pat", i_body)));
    } else {
        arguments.push_back(values.makeIntegerList(numbersOf(i_body, i_wide)));
    }
    const std::vector<TMoaValue> sizes = sizeArguments(values, i_sizes, i_width, i_height);
    arguments.insert(arguments.end(), sizes.begin(), sizes.end());
    const int32_t method = i_path == PATH_XTRA_FILE ? METHOD_LOAD_PATTERN_FILE : METHOD_LOAD_PATTERN_LIST;
    xtra.call(method, arguments);
    const TMoaValue frame = xtra.frameImage(SEARCH_FRAME, markerFrame(SEARCH_FRAME));
    xtra.call(METHOD_DETECT_MARKERS, {frame});
}

void require(bool i_kept, const char* i_promise)
{
    MarkeyeFuzz::require(i_kept, "pattern", i_promise);
}

bool isGridSide(int32_t i_side)
{
    return i_side >= 1 && i_side <= 64 && (i_side & (i_side - 1)) == 0;
}

// Whether the library's path ends with the pattern read, or searches a
// frame for it too.
enum LibraryDepth : uint8_t {
    READ_ONLY = 0,
    READ_AND_SEARCH = 1,
};

// A pattern the library takes has an allowed grid, 12 brightness numbers
// per cell, a picture per direction, and reads back as it is saved; the
// tracker then searches a marker frame for it.
void checkPattern(const markeye::Pattern& i_pattern, LibraryDepth i_depth)
{
    require(isGridSide(i_pattern.gridWidth()) && isGridSide(i_pattern.gridHeight()), "a pattern's grid is allowed");
    const size_t cells = static_cast<size_t>(i_pattern.gridWidth()) * static_cast<size_t>(i_pattern.gridHeight());
    require(i_pattern.numbers().size() == 12 * cells, "a pattern has 12 numbers per cell");
    require(std::all_of(i_pattern.numbers().begin(), i_pattern.numbers().end(),
                        [](int32_t i_v) { return i_v >= 0 && i_v <= 255; }),
            "a pattern's numbers are brightnesses");
    for (int32_t direction = 0; direction < 4; direction++) {
        const markeye::Image picture = i_pattern.picture(direction);
        require(picture.width() == i_pattern.gridWidth() && picture.height() == i_pattern.gridHeight(),
                "a direction's picture has the grid's size");
    }
    require(markeye::Pattern::fromText(i_pattern.toText(), i_pattern.gridWidth(), i_pattern.gridHeight()).numbers() ==
                i_pattern.numbers(),
            "a pattern's text reads back the same");
    if (i_depth == READ_ONLY) {
        return;
    }
    markeye::Tracker tracker(markeye::Camera::builtin(SEARCH_FRAME.width, SEARCH_FRAME.height), {i_pattern});
    trackChecked(tracker, packedView(SEARCH_FRAME, markerFrame(SEARCH_FRAME)));
}

// Checks the pattern i_read gives, unless it refuses with markeye::Error.
void tryPattern(const std::function<markeye::Pattern()>& i_read, LibraryDepth i_depth)
{
    std::optional<markeye::Pattern> pattern;
    try {
        pattern = i_read();
    } catch (const markeye::Error&) {
        return;
    }
    checkPattern(*pattern, i_depth);
}

void runLibrary(PatternPath i_path, int32_t i_width, int32_t i_height, const std::vector<uint8_t>& i_body,
                bool i_wide, LibraryDepth i_depth)
{
    if (i_path == PATH_CORE_FILE) {
        const std::string text(i_body.begin(), i_body.end());
        tryPattern([&] {
            const markeye::Pattern pattern = markeye::Pattern::fromText(text);
            require(pattern.gridWidth() == pattern.gridHeight(), "a grid told by the count is square");
            return pattern;
        }, i_depth);
        tryPattern([&] { return markeye::Pattern::fromText(text, i_width, i_height); }, i_depth);
    } else if (i_path == PATH_XTRA_FILE) {
        // Through a file, as read from disk.
        const std::string file = writeTempFile("library.pat", i_body);
        tryPattern([&] { return markeye::Pattern::fromFile(file); }, i_depth);
        tryPattern([&] {
            const markeye::Pattern pattern = markeye::Pattern::fromFile(file, i_width, i_height);
            const std::string saved = tempPath("library-saved.pat");
            pattern.save(saved);
            require(markeye::Pattern::fromFile(saved, i_width, i_height).numbers() == pattern.numbers(),
                    "a saved pattern reads back from its file");
            return pattern;
        }, i_depth);
    } else {
        tryPattern([&] { return markeye::Pattern::fromNumbers(numbersOf(i_body, i_wide), i_width, i_height); },
                   i_depth);
    }
}

}  // namespace

void fuzzPattern(const uint8_t* i_data, size_t i_size)
{
    FuzzInput in(i_data, i_size);
    const PatternPath path = static_cast<PatternPath>(in.u8() % PATH_COUNT);
    const uint8_t how = in.u8();
    const int32_t width = gridSize(in.i32(), (how & RAW_WIDTH) != 0);
    const int32_t height = gridSize(in.i32(), (how & RAW_HEIGHT) != 0);
    const bool wide = (how & WIDE_NUMBERS) != 0;
    const std::vector<uint8_t> body = in.rest();
    runLibrary(path, width, height, body, wide, READ_AND_SEARCH);
    if (path == PATH_CORE_FILE || path == PATH_CORE_LIST) {
        runCore(path, width, height, body, wide);
        return;
    }
    const auto sizes = static_cast<SizeArguments>((how >> SIZE_ARGUMENT_SHIFT) % SIZES_COUNT);
    runPlugin(path, sizes, width, height, body, wide);
}

// The same input as fuzzPattern; only the library reads the body.
void fuzzPatternFile(const uint8_t* i_data, size_t i_size)
{
    FuzzInput in(i_data, i_size);
    const PatternPath path = static_cast<PatternPath>(in.u8() % PATH_COUNT);
    const uint8_t how = in.u8();
    const int32_t width = gridSize(in.i32(), (how & RAW_WIDTH) != 0);
    const int32_t height = gridSize(in.i32(), (how & RAW_HEIGHT) != 0);
    runLibrary(path, width, height, in.rest(), (how & WIDE_NUMBERS) != 0, READ_ONLY);
}

}  // namespace MarkeyeFuzz
