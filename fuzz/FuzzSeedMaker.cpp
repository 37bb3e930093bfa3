// Writes the fuzz seed corpora, made from the built-in camera, the built-in
// patterns and rendered frames, in each entry's input layout, and the
// hand-made inputs of faults found and mended:
//   markeye_fuzz_seeds <seeds> [<regressions>]   makes <folder>/<entry>/<name> files.
// The layouts are those the entries in entries/ read; keep them in step.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "FuzzScene.h"
#include "markeye/Pattern.h"

using MarkeyeFuzz::TFrameSize;

namespace {

// Index of each frame size in MarkeyeFuzz::frameSizes().
constexpr uint8_t FRAME_640X480 = 0;
constexpr uint8_t FRAME_160X120 = 1;
constexpr uint8_t FRAME_320X240 = 2;
constexpr uint8_t FRAME_64X48 = 3;
// A frame entry's size byte that says width and height follow.
constexpr uint8_t SIZE_FROM_INPUT = 0xF0;
// Index in the sizes of MarkeyeFuzz::pickSmallFrameSize().
constexpr uint8_t SMALL_160X120 = 0;
constexpr uint8_t SMALL_64X48 = 1;

class Bytes
{
public:
    Bytes& u8(uint32_t i_value)
    {
        _bytes.push_back(static_cast<uint8_t>(i_value));
        return *this;
    }
    Bytes& u16(uint32_t i_value) { return u8(i_value & 0xFF).u8(i_value >> 8); }
    Bytes& i32(int32_t i_value)
    {
        const uint32_t bits = static_cast<uint32_t>(i_value);
        return u16(bits & 0xFFFF).u16(bits >> 16);
    }
    Bytes& append(const std::vector<uint8_t>& i_bytes)
    {
        _bytes.insert(_bytes.end(), i_bytes.begin(), i_bytes.end());
        return *this;
    }
    const std::vector<uint8_t>& get() const { return _bytes; }

private:
    std::vector<uint8_t> _bytes;
};

class SeedWriter
{
public:
    explicit SeedWriter(const std::filesystem::path& i_folder) : _folder(i_folder) {}

    void write(const std::string& i_entry, const std::string& i_name, const Bytes& i_bytes) const
    {
        const std::filesystem::path folder = _folder / i_entry;
        std::filesystem::create_directories(folder);
        std::ofstream file(folder / i_name, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(i_bytes.get().data()),
                   static_cast<std::streamsize>(i_bytes.get().size()));
        std::printf("%s/%s: %zu bytes\n", i_entry.c_str(), i_name.c_str(), i_bytes.get().size());
    }

private:
    std::filesystem::path _folder;
};

std::vector<uint8_t> patternText(int32_t i_marker, int32_t i_size)
{
    const std::string path = MarkeyeFuzz::tempPath("seed.pat");
    markeye::Pattern::fromNumbers(MarkeyeFuzz::patternNumbers(i_marker, i_size), i_size, i_size).save(path);
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    const std::string bytes = text.str();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<uint8_t> patternBytes(int32_t i_marker, int32_t i_size)
{
    const std::vector<int32_t>& numbers = MarkeyeFuzz::patternNumbers(i_marker, i_size);
    return std::vector<uint8_t>(numbers.begin(), numbers.end());
}

void writeCameraSeeds(const SeedWriter& i_writer)
{
    const std::vector<uint8_t>& camera = MarkeyeFuzz::builtinCameraBytes();
    i_writer.write("camera", "file-160x120", Bytes().u8(0).u8(SMALL_160X120).append(camera));
    i_writer.write("camera", "file-64x48", Bytes().u8(0).u8(SMALL_64X48).append(camera));
    i_writer.write("camera", "byte-list", Bytes().u8(1).u8(SMALL_160X120).append(camera));
    // Elements with high bits set: only their low 8 bits are the file's.
    Bytes wide = Bytes().u8(2).u8(SMALL_160X120);
    for (size_t k = 0; k < camera.size(); k++) {
        wide.i32(static_cast<int32_t>(camera[k] | (k << 8)));
    }
    i_writer.write("camera", "wide-list", wide);
    // The same record in this machine's byte order, read with the
    // host-order flag.
    VoTrack::TVoARParamFileRecord record;
    VoTrack::VoARParam::decodeRecord(camera.data(), true, &record);
    std::vector<uint8_t> host_order(sizeof(record));
    std::memcpy(host_order.data(), &record, sizeof(record));
    i_writer.write("camera", "host-order", Bytes().u8(3).u8(SMALL_160X120).append(host_order));
    i_writer.write("camera", "short-file",
                   Bytes().u8(0).u8(SMALL_160X120).append(std::vector<uint8_t>(camera.begin(), camera.end() - 1)));
}

// Layout: path, how the sizes are read, width, height, body. A size read
// "as a choice" picks from 1, 2, 4, 8, 16, 32, 64: index 2 is 4, 3 is 8,
// 4 is 16. Bits 3 and up of the second byte say how the plug-in gets the
// sizes: 0 none, 1 one, 2 two.
void writePatternSeeds(const SeedWriter& i_writer)
{
    i_writer.write("pattern", "core-file-8", Bytes().u8(0).u8(0).i32(3).i32(3).append(patternText(1, 8)));
    i_writer.write("pattern", "core-list-16", Bytes().u8(1).u8(0).i32(4).i32(4).append(patternBytes(0, 16)));
    i_writer.write("pattern", "xtra-list-8", Bytes().u8(2).u8(1 << 3).i32(3).i32(3).append(patternBytes(2, 8)));
    i_writer.write("pattern", "xtra-list-16", Bytes().u8(2).u8(0).i32(4).i32(4).append(patternBytes(0, 16)));
    i_writer.write("pattern", "xtra-file-4x4", Bytes().u8(3).u8(2 << 3).i32(2).i32(2).append(patternText(3, 4)));
    i_writer.write("pattern", "core-file-raw-sizes",
                   Bytes().u8(0).u8(3).i32(4).i32(4).append(patternText(4, 4)));
}

// Layout: frame size, flags and threshold, grid choice (0 is 16), picture
// kind, its parameters, pixel edits. No view descriptor: a packed BGRX view.
Bytes frameHeader(uint8_t i_size, uint8_t i_picture)
{
    return Bytes().u8(i_size).u8(0).i32(0).u8(0).u8(i_picture);
}

// A view descriptor (flag bit 1). Formats in the entry's order: 0 BGRX,
// 1 BGRA, 2 RGBA, 3 RGBX, 4 BGR, 5 RGB, 6 GRAY. Rows: 0 packed, 1 padded,
// 2 bottom-up, 3 bottom-up padded, 4 a stride one byte short.
struct TViewSeed
{
    uint8_t format;
    uint8_t rows;
    // Bytes after each padded row, less one.
    uint8_t padding;
    uint8_t filler;
    // Bit 0: the built-in 640 x 480 camera, rescaled to the frame; bit 1:
    // the other pose solver than the mode's own.
    uint8_t camera;
    // Least confidence choice in the low four bits, marker width in the high.
    uint8_t options;
    // The pattern set: 0 marker 0, 1 markers 0 and 3, 2 marker 0 twice, 3
    // hook and moon, 4 all eight.
    uint8_t patterns;
};

constexpr uint8_t FLAG_RAW_THRESHOLD = 1;
constexpr uint8_t FLAG_VIEW = 2;

Bytes viewHeader(Bytes i_size, uint8_t i_flags, int32_t i_threshold, const TViewSeed& i_view, uint8_t i_grid,
                 uint8_t i_picture)
{
    Bytes bytes = std::move(i_size);
    bytes.u8(i_flags | FLAG_VIEW).i32(i_threshold);
    bytes.u8(i_view.format).u8(i_view.rows).u8(i_view.padding).u8(i_view.filler).u8(i_view.camera).u8(i_view.options);
    return bytes.u8(i_view.patterns).u8(i_grid).u8(i_picture);
}

// The markers picture's parameters for built-in marker 0 facing the camera
// at depth 40 + 6 x i_depth, without clutter, blur, noise or edits.
Bytes& oneMarker(Bytes& io_bytes, uint8_t i_depth)
{
    return io_bytes.u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(i_depth).u8(0).u8(0).u8(0).u8(0).u8(0);
}

void writeFrameSeeds(const SeedWriter& i_writer)
{
    // One marker facing the camera 400 units away: z = 40 + 6 x 60.
    i_writer.write("frame", "marker-640x480",
                   frameHeader(FRAME_640X480, 4)
                       .u8(0)
                       .u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(60)
                       .u8(0).u8(0).u8(0).u8(0)
                       .u8(0));
    // Two tilted markers over clutter and noise.
    i_writer.write("frame", "markers-160x120",
                   frameHeader(FRAME_160X120, 4)
                       .u8(1)
                       .u8(0).u8(20).u8(30).u8(0).u8(246).u8(250).u8(60)
                       .u8(5).u8(230).u8(0).u8(40).u8(14).u8(8).u8(70)
                       .u8(3).u8(1).u8(16).u8(7).u8(0));
    // A dark quadrilateral with a light one inside on a light ground
    // (corner coordinates: -8192 is a quarter of the frame, 8192 three
    // quarters).
    i_writer.write("frame", "quads-160x120",
                   frameHeader(FRAME_160X120, 1)
                       .u8(220).u8(220).u8(220).u8(2)
                       .u16(0xE000).u16(0xE000).u16(0x2000).u16(0xE400).u16(0x2200).u16(0x2000).u16(0xE200).u16(0x1E00)
                       .u8(10).u8(10).u8(10)
                       .u16(0xF000).u16(0xF000).u16(0x1000).u16(0xF000).u16(0x1000).u16(0x1000).u16(0xF000).u16(0x1000)
                       .u8(240).u8(240).u8(240)
                       .u8(0));
    i_writer.write("frame", "checkerboard-160x120",
                   frameHeader(FRAME_160X120, 2)
                       .u8(15).u8(15).u8(3).u8(5).u8(4)
                       .u8(0).u8(0).u8(0).u8(255).u8(255).u8(255)
                       .u8(0));
    i_writer.write("frame", "noise-160x120", frameHeader(FRAME_160X120, 3).i32(12345).u8(40).u8(0).u8(0));
    // Raw pixels: a band of 16 rows through a rendered 64 x 48 marker,
    // repeated down the frame.
    const TFrameSize small = MarkeyeFuzz::frameSizes()[FRAME_64X48];
    const std::vector<uint8_t>& rendered = MarkeyeFuzz::markerFrame(small);
    const size_t row = 4 * static_cast<size_t>(small.width);
    const std::vector<uint8_t> band(rendered.begin() + 16 * row, rendered.begin() + 32 * row);
    i_writer.write("frame", "raw-64x48", frameHeader(FRAME_64X48, 0).append(band));

    // Views: a marker about 70 px across (depth 202) in RGB, bottom-up rows
    // padded by 6 bytes, for markers 0 and 3.
    Bytes rgb = viewHeader(Bytes().u8(FRAME_160X120), 0, 0, {5, 3, 5, 0x5A, 0, 0, 1}, 0, 4);
    i_writer.write("frame", "view-rgb-bottom-up-padded-160x120", oneMarker(rgb, 27));
    // Grey rows padded by 4 bytes at 320 x 240, through the 640 x 480
    // camera rescaled; a marker about 100 px across (depth 280), all eight
    // patterns.
    Bytes gray = viewHeader(Bytes().u8(FRAME_320X240), 0, 0, {6, 1, 3, 0, 1, 0, 4}, 0, 4);
    i_writer.write("frame", "view-gray-padded-camera-rescaled-320x240", oneMarker(gray, 40));
    // A size from the input (101 x 37), BGR rows bottom-up, threshold 120,
    // least confidence 0.25, marker width 1e6, hook and moon on 8 x 8 grids,
    // raw bytes (the band above) over the whole view.
    Bytes odd = viewHeader(Bytes().u8(SIZE_FROM_INPUT).u16(100).u16(36), FLAG_RAW_THRESHOLD, 120,
                           {4, 2, 0, 0, 0, 0x32, 3}, 1, 0);
    i_writer.write("frame", "view-bgr-bottom-up-101x37", odd.append(band));
    // RGBA whose stride is a byte short of a row: the tracker must refuse it.
    Bytes short_rows = viewHeader(Bytes().u8(FRAME_64X48), 0, 0, {2, 4, 0, 255, 0, 0, 0}, 0, 4);
    i_writer.write("frame", "view-rgba-short-stride-64x48", oneMarker(short_rows, 60));
}

// Builds the step bytes the xtra entry reads.
class XtraScript
{
public:
    // Value kinds, in the entry's order.
    enum Kind : uint8_t {
        VOID = 0,
        INTEGER = 1,
        SMALL_INTEGER = 2,
        EDGE_INTEGER = 3,
        FLOAT = 4,
        SMALL_FLOAT = 5,
        STRING = 6,
        CAMERA_LIST = 7,
        PATTERN_LIST = 8,
        ANY_LIST = 9,
        IMAGE = 10,
        OTHER = 11,
        EARLIER = 12,
    };
    // Indices into the entry's edge integers and known files.
    static constexpr uint8_t EDGE_120 = 6;
    static constexpr uint8_t EDGE_160 = 7;
    static constexpr uint8_t EDGE_8192 = 12;
    static constexpr uint8_t EDGE_46341 = 15;
    static constexpr uint8_t FILE_CAMERA = 0;
    static constexpr uint8_t FILE_PATTERN_16 = 1;
    static constexpr uint8_t FILE_PATTERN_8 = 2;
    static constexpr uint8_t FILE_FIFO = 11;

    XtraScript& call(uint8_t i_method, uint8_t i_arguments)
    {
        _bytes.u8(i_method).u8(i_arguments);
        return *this;
    }
    XtraScript& edgeInteger(uint8_t i_index)
    {
        _bytes.u8(EDGE_INTEGER).u8(i_index);
        return *this;
    }
    XtraScript& smallFloat(int8_t i_quarters)
    {
        _bytes.u8(SMALL_FLOAT).u8(static_cast<uint8_t>(i_quarters));
        return *this;
    }
    XtraScript& smallInteger(int8_t i_value)
    {
        _bytes.u8(SMALL_INTEGER).u8(static_cast<uint8_t>(i_value));
        return *this;
    }
    XtraScript& file(uint8_t i_index)
    {
        _bytes.u8(STRING).u8(i_index);
        return *this;
    }
    // The built-in camera unchanged.
    XtraScript& cameraList()
    {
        _bytes.u8(CAMERA_LIST).u8(0).u8(0);
        return *this;
    }
    // Marker i_marker's numbers; size index 0 is 16, 1 is 8.
    XtraScript& patternList(uint8_t i_size_index, uint8_t i_marker)
    {
        _bytes.u8(PATTERN_LIST).u8(i_size_index).u8(i_marker).u8(0).u8(0);
        return *this;
    }
    // A 32-bit image of the frame size with a rendered marker.
    XtraScript& markerImage()
    {
        _bytes.u8(IMAGE).u8(1).u8(0).u8(0).u8(0).u8(3).u8(255);
        return *this;
    }
    // A 16-bit image of the frame size, blank.
    XtraScript& shallowImage()
    {
        _bytes.u8(IMAGE).u8(1).u8(3).u8(0).u8(0).u8(1).u8(255);
        return *this;
    }
    // A hand-made call record: i_mode 0 has no arguments, 1 i_count
    // arguments but no array, 2 a negative count, 3 i_count arguments that
    // follow.
    XtraScript& rawCall(int32_t i_method, uint8_t i_mode, uint8_t i_count)
    {
        _bytes.u8(200).u8(1).i32(i_method).u8(i_mode);
        if (i_mode != 0) {
            _bytes.u8(i_count);
        }
        return *this;
    }
    // Interface game i_game (0 register, 1 unknown interface, 2 reference
    // counts, 3 class information, 4 the other entry points).
    XtraScript& interfaceGame(uint8_t i_game)
    {
        _bytes.u8(224).u8(i_game);
        if (i_game == 1) {
            _bytes.u8(3).u8(1);
        } else if (i_game == 2) {
            _bytes.u8(2);
        } else if (i_game == 4) {
            _bytes.i32(7);
        }
        return *this;
    }
    // Request i_request (0 script interface, 1 registration, 2 class
    // information) after i_successes host allocations succeed.
    XtraScript& shortage(uint8_t i_successes, uint8_t i_request)
    {
        _bytes.u8(240).u8(i_successes).u8(i_request);
        return *this;
    }
    const Bytes& get() const { return _bytes; }

private:
    Bytes _bytes;
};

void writeXtraSeeds(const SeedWriter& i_writer)
{
    using S = XtraScript;
    // new(camera list, 160, 120), two patterns, a threshold, both
    // detections, unload, forget.
    S list_session;
    list_session.call(0, 3).cameraList().edgeInteger(S::EDGE_160).edgeInteger(S::EDGE_120);
    list_session.call(4, 1).patternList(0, 0);
    list_session.call(4, 3).patternList(1, 1).smallInteger(8);
    list_session.call(2, 1).smallFloat(2);
    list_session.call(7, 1).markerImage();
    list_session.call(6, 1).markerImage();
    list_session.call(7, 1).shallowImage();
    list_session.call(5, 0);
    list_session.call(1, 0);
    i_writer.write("xtra", "list-session", list_session.get());

    // new(camera file, 160, 120), pattern files, detection.
    S file_session;
    file_session.call(0, 3).file(S::FILE_CAMERA).edgeInteger(S::EDGE_160).edgeInteger(S::EDGE_120);
    file_session.call(3, 1).file(S::FILE_PATTERN_16);
    file_session.call(3, 2).file(S::FILE_PATTERN_8).smallInteger(8);
    file_session.call(7, 1).markerImage();
    file_session.call(6, 1).markerImage();
    i_writer.write("xtra", "file-session", file_session.get());

    // Calls before new, out-of-range indices, hand-made call records,
    // interface games and a memory shortage.
    S odd_session;
    odd_session.call(6, 1).markerImage();
    odd_session.call(4, 0);
    odd_session.call(8, 2).edgeInteger(0).edgeInteger(1);
    odd_session.call(9, 0);
    odd_session.rawCall(0x7FFFFFFF, 0, 0);
    odd_session.rawCall(-1, 1, 3);
    odd_session.rawCall(2, 2, 0);
    odd_session.rawCall(0, 3, 3).cameraList().edgeInteger(S::EDGE_160).edgeInteger(S::EDGE_120);
    odd_session.call(4, 1).patternList(0, 0);
    odd_session.call(7, 1).markerImage();
    for (uint8_t game = 0; game < 5; game++) {
        odd_session.interfaceGame(game);
    }
    for (uint8_t request = 0; request < 3; request++) {
        odd_session.shortage(0, request);
    }
    odd_session.shortage(1, 1);
    i_writer.write("xtra", "odd-calls", odd_session.get());
}

// Inputs that made the plug-in or the library misbehave before they were
// mended, for tests/robustness/inputs/.
void writeRegressionInputs(const SeedWriter& i_writer)
{
    // The built-in camera with the projection's third row 0: the library
    // took the file, and its tracker let the core's exception out.
    std::vector<uint8_t> singular = MarkeyeFuzz::builtinCameraBytes();
    constexpr size_t PROJECTION_ROW_2 = 8 + 8 * 8;
    std::fill(singular.begin() + PROJECTION_ROW_2, singular.begin() + PROJECTION_ROW_2 + 4 * 8, 0);
    i_writer.write("camera", "projection-not-invertible", Bytes().u8(0).u8(SMALL_160X120).append(singular));
    using S = XtraScript;
    // new with a FIFO for the camera file: the reader waited for a writer
    // for ever.
    S camera_fifo;
    camera_fifo.call(0, 3).file(S::FILE_FIFO).edgeInteger(S::EDGE_160).edgeInteger(S::EDGE_120);
    camera_fifo.call(4, 1).patternList(0, 0);
    i_writer.write("xtra", "camera-file-is-a-fifo", camera_fifo.get());
    // loadPatternFile with a FIFO: the same wait.
    S pattern_fifo;
    pattern_fifo.call(0, 3).cameraList().edgeInteger(S::EDGE_160).edgeInteger(S::EDGE_120);
    pattern_fifo.call(3, 1).file(S::FILE_FIFO);
    i_writer.write("xtra", "pattern-file-is-a-fifo", pattern_fifo.get());
    // A 46341 x 8192 frame: new accepted it, and the first pattern built
    // frame-sized tables of 9 GB.
    S huge_frame;
    huge_frame.call(0, 3).cameraList().edgeInteger(S::EDGE_46341).edgeInteger(S::EDGE_8192);
    huge_frame.call(4, 1).patternList(0, 0);
    huge_frame.call(7, 1).markerImage();
    i_writer.write("xtra", "frame-beyond-memory", huge_frame.get());
}

}  // namespace

int main(int i_argc, char** i_argv)
{
    if (i_argc != 2 && i_argc != 3) {
        std::fprintf(stderr, "usage: markeye_fuzz_seeds SEED_FOLDER [REGRESSION_FOLDER]\n");
        return 2;
    }
    const SeedWriter writer(i_argv[1]);
    writeCameraSeeds(writer);
    writePatternSeeds(writer);
    writeFrameSeeds(writer);
    writeXtraSeeds(writer);
    if (i_argc == 3) {
        writeRegressionInputs(SeedWriter(i_argv[2]));
    }
    return 0;
}
