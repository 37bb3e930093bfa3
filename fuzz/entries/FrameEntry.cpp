// Fuzz entry: one frame through the library's tracker, in its default mode
// and in the plug-in's, through the public API only.
//
// Input (fuzz/README.md has it byte by byte): the frame size (a choice, or
// width and height from the input), flags, a 32-bit threshold, when flag
// bit 1 is set a view descriptor (pixel format, row layout, padding, filler
// byte, camera and pose solver, options, pattern set), the pattern grid, the
// picture kind with
// its parameters and pixel edits; for raw pictures the rest of the input,
// repeated over the view's bytes, padding included. Without a descriptor the
// frame is a packed BGRX view tracked for built-in marker 0 through the
// built-in camera of its size, as inputs were read before views existed.
//
// Beyond the answers' own promises (FuzzTracking.h), the tracker must refuse
// a view it cannot read, and only such views in the default mode, and read a
// frame the same in every layout: the answer to the view equals the answer
// to a packed BGRX copy made here.
//
// The lean entry tracks one packed frame of at most 160 x 120 in one mode,
// with trackers kept for a few settings and no rendering; the library
// entry builds a tracker from a camera, patterns and options of the input
// (kept for the same set-up bytes) and tracks frames of changing sizes and
// layouts with it (fuzz/README.md has both layouts).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "BuiltinMarkers.h"
#include "FuzzEntries.h"
#include "FuzzInput.h"
#include "FuzzScene.h"
#include "FuzzTracking.h"
#include "MarkerPose.h"
#include "SceneRandom.h"
#include "SceneRenderer.h"
#include "markeye/Camera.h"
#include "markeye/Error.h"
#include "markeye/Image.h"
#include "markeye/Pattern.h"
#include "markeye/Tracker.h"

using markeye::PixelFormat;

namespace MarkeyeFuzz {

namespace {

enum Picture : uint8_t {
    PICTURE_RAW = 0,
    PICTURE_QUADS = 1,
    PICTURE_CHECKERBOARD = 2,
    PICTURE_NOISE = 3,
    PICTURE_MARKERS = 4,
    PICTURE_COUNT = 5,
};

// Size bytes from this one on: width and height follow. Rarely, since each
// new size builds its trackers anew.
constexpr uint8_t SIZE_FROM_INPUT = 0xF0;
// Sizes from the input: each side 1 to MAX_SIDE, at most MAX_PIXELS in all
// (the height is cut to fit), so that each input stays fast; the chosen
// sizes include 640 x 480.
constexpr int32_t MAX_SIDE = 512;
constexpr int64_t MAX_PIXELS = 65536;

// Flags: the 32-bit threshold is used as it is (else 100); a view
// descriptor follows the threshold.
constexpr uint8_t FLAG_RAW_THRESHOLD = 1;
constexpr uint8_t FLAG_VIEW = 2;

constexpr int32_t GRID_SIZES[] = {16, 8, 64, 1, 4};
constexpr int32_t MAX_QUADS = 12;
constexpr int32_t MAX_MARKERS = 4;
constexpr int32_t MAX_EDITS = 32;

// The built-in markers of the patterns a descriptor chooses among: one; two
// unlike ones; one twice (a square goes to the first); hook and moon, the
// closest pair; all eight. A fixed few, so that trackers can be kept.
const std::vector<std::vector<int32_t>> PATTERN_SETS = {{0}, {0, 3}, {0, 0}, {2, 7}, {0, 1, 2, 3, 4, 5, 6, 7}};

// The formats a descriptor chooses from, then one value that is no format.
constexpr PixelFormat FORMATS[] = {PixelFormat::BGRX, PixelFormat::BGRA, PixelFormat::RGBA, PixelFormat::RGBX,
                                   PixelFormat::BGR,  PixelFormat::RGB,  PixelFormat::GRAY};
constexpr uint32_t FORMAT_CHOICES = sizeof(FORMATS) / sizeof(FORMATS[0]) + 1;
constexpr int UNKNOWN_FORMAT = 1000;

// How the rows lie in memory. From ROWS_SHORT on, views the tracker must
// refuse: a stride one byte shorter than a row, no pixel data, a width of 0
// or less (minus the padding byte).
enum Rows : uint8_t {
    ROWS_PACKED = 0,
    ROWS_PADDED = 1,
    ROWS_BOTTOM_UP = 2,
    ROWS_BOTTOM_UP_PADDED = 3,
    ROWS_SHORT = 4,
    ROWS_NO_DATA = 5,
    ROWS_NO_SIZE = 6,
    ROWS_COUNT = 7,
};

// Option values a descriptor chooses from, values out of range (which the
// tracker must refuse) among them. Least confidence choice 0 keeps each
// mode's own (0.55 by default, 0 in the plug-in's mode); choice k is
// MIN_CONFIDENCES[k - 1].
constexpr double NAN_VALUE = std::numeric_limits<double>::quiet_NaN();
constexpr double INFINITE = std::numeric_limits<double>::infinity();
constexpr double MIN_CONFIDENCES[] = {0.0, 0.25, 0.55, 0.9, 1.0, -0.01, 1.01, NAN_VALUE};
constexpr uint32_t MIN_CONFIDENCE_CHOICES = sizeof(MIN_CONFIDENCES) / sizeof(MIN_CONFIDENCES[0]) + 1;
constexpr double MARKER_WIDTHS[] = {80.0, 1.0, 1e-3, 1e6, 0.0, -80.0, INFINITE, NAN_VALUE};
constexpr uint32_t MARKER_WIDTH_CHOICES = sizeof(MARKER_WIDTHS) / sizeof(MARKER_WIDTHS[0]);
constexpr int32_t TRACKER_CACHE = 32;
constexpr int32_t RENDERER_CACHE = 8;

template <class T, size_t N>
T pickFrom(FuzzInput& io_in, const T (&i_choices)[N])
{
    return i_choices[io_in.choose(static_cast<uint32_t>(N))];
}

// What a view descriptor says, and what the entry does without one.
struct TFramePlan
{
    PixelFormat format = PixelFormat::BGRX;
    Rows rows = ROWS_PACKED;
    // Bytes after each row of a padded layout, less one; the negated width
    // of ROWS_NO_SIZE.
    uint8_t padding = 0;
    // The padding's bytes and the fourth byte of 32-bit pixels.
    uint8_t filler = 255;
    // The built-in 640 x 480 camera, rescaled to the frame (or refused for
    // other proportions), instead of the built-in camera of the frame's size.
    bool camera_640x480 = false;
    // The other pose solver than the mode's own.
    bool other_solver = false;
    uint32_t min_confidence = 0;
    uint32_t marker_width = 0;
    // Index in PATTERN_SETS.
    uint32_t patterns = 0;
};

TFrameSize readFrameSize(FuzzInput& io_in)
{
    const uint8_t choice = io_in.u8();
    if (choice < SIZE_FROM_INPUT) {
        return pickFrameSize(choice);
    }
    const int32_t width = 1 + io_in.u16() % MAX_SIDE;
    const int32_t height = 1 + io_in.u16() % MAX_SIDE;
    return {width, static_cast<int32_t>(std::min<int64_t>(height, MAX_PIXELS / width))};
}

TFramePlan readPlan(FuzzInput& io_in)
{
    TFramePlan plan;
    const uint32_t format = io_in.choose(FORMAT_CHOICES);
    plan.format = format < FORMAT_CHOICES - 1 ? FORMATS[format] : static_cast<PixelFormat>(UNKNOWN_FORMAT);
    plan.rows = static_cast<Rows>(io_in.choose(ROWS_COUNT));
    plan.padding = io_in.u8();
    plan.filler = io_in.u8();
    const uint8_t camera = io_in.u8();
    plan.camera_640x480 = (camera & 1) != 0;
    plan.other_solver = (camera & 2) != 0;
    const uint8_t options = io_in.u8();
    plan.min_confidence = (options & 0x0F) % MIN_CONFIDENCE_CHOICES;
    plan.marker_width = (options >> 4) % MARKER_WIDTH_CHOICES;
    plan.patterns = io_in.choose(static_cast<uint32_t>(PATTERN_SETS.size()));
    return plan;
}

bool isKnownFormat(PixelFormat i_format)
{
    return i_format != static_cast<PixelFormat>(UNKNOWN_FORMAT);
}

Markeye::SceneRenderer& rendererFor(const TFrameSize& i_size)
{
    static FuzzCache<std::pair<int32_t, int32_t>, Markeye::SceneRenderer> cache(RENDERER_CACHE);
    return cache.get({i_size.width, i_size.height}, [&] {
        return std::make_unique<Markeye::SceneRenderer>(
            renderCamera(markeye::Camera::builtin(i_size.width, i_size.height)));
    });
}

// Rounds toward minus infinity, so that sheared cells keep their size left
// of column 0.
int32_t floorDivide(int32_t i_value, int32_t i_divisor)
{
    return i_value >= 0 ? i_value / i_divisor : -((-i_value + i_divisor - 1) / i_divisor);
}

// How markers get into a picture: rendered at poses from the input, or the
// one frame per size that FuzzScene keeps (cheap, for the lean entries).
enum MarkerDrawing : uint8_t {
    MARKERS_RENDERED = 0,
    MARKERS_KEPT_FRAME = 1,
};

// The structured pictures, as packed BGRX pixels (the fourth byte 255).
class FrameBuilder
{
public:
    FrameBuilder(FuzzInput* io_in, const TFrameSize& i_size, MarkerDrawing i_markers = MARKERS_RENDERED)
        : _in(*io_in), _width(i_size.width), _height(i_size.height), _markers(i_markers),
          _pixels(4 * static_cast<size_t>(i_size.width) * static_cast<size_t>(i_size.height), 255)
    {
    }

    std::vector<uint8_t>& pixels() { return _pixels; }

    void build(Picture i_picture)
    {
        switch (i_picture) {
        case PICTURE_QUADS:
            drawQuads();
            break;
        case PICTURE_CHECKERBOARD:
            drawCheckerboard();
            break;
        case PICTURE_NOISE:
            drawNoise();
            break;
        case PICTURE_MARKERS:
            if (_markers == MARKERS_KEPT_FRAME) {
                _pixels = markerFrame({_width, _height});
            } else {
                drawMarkers();
            }
            break;
        default:
            return;
        }
        editPixels();
    }

private:
    void setPixel(int32_t i_x, int32_t i_y, const uint8_t* i_bgr)
    {
        const size_t index = static_cast<size_t>(i_y) * static_cast<size_t>(_width) + static_cast<size_t>(i_x);
        uint8_t* pixel = &_pixels[4 * index];
        pixel[0] = i_bgr[0];
        pixel[1] = i_bgr[1];
        pixel[2] = i_bgr[2];
    }

    void readColour(uint8_t* o_bgr)
    {
        o_bgr[0] = _in.u8();
        o_bgr[1] = _in.u8();
        o_bgr[2] = _in.u8();
    }

    void fill(const uint8_t* i_bgr)
    {
        for (int32_t y = 0; y < _height; y++) {
            for (int32_t x = 0; x < _width; x++) {
                setPixel(x, y, i_bgr);
            }
        }
    }

    // A coordinate anywhere from half a frame before to half a frame past it.
    static double spread(int16_t i_value, int32_t i_size) { return (i_value / 32768.0) * i_size + 0.5 * i_size; }

    // Quadrilaterals of any shape (crossed and degenerate ones too), filled
    // by the even-odd rule at pixel centres.
    void drawQuads()
    {
        uint8_t background[3];
        readColour(background);
        fill(background);
        const int32_t count = static_cast<int32_t>(_in.u8() % (MAX_QUADS + 1));
        for (int32_t q = 0; q < count; q++) {
            double corners[4][2];
            for (double* corner : corners) {
                corner[0] = spread(static_cast<int16_t>(_in.u16()), _width);
                corner[1] = spread(static_cast<int16_t>(_in.u16()), _height);
            }
            uint8_t colour[3];
            readColour(colour);
            for (int32_t y = 0; y < _height; y++) {
                fillInside(corners, y, colour);
            }
        }
    }

    // The pixels of row i_y whose centres the quadrilateral holds by the
    // even-odd rule: those left of an odd number of the row's edge
    // crossings, that is between the first and second crossing and between
    // the third and fourth. Row by row, so that drawing costs the frame's
    // height, not its area, in edge tests.
    void fillInside(const double (*i_corners)[2], int32_t i_y, const uint8_t* i_bgr)
    {
        double crossings[4];
        int count = 0;
        for (int i = 0, j = 3; i < 4; j = i++) {
            const double* a = i_corners[i];
            const double* b = i_corners[j];
            if ((a[1] > i_y) != (b[1] > i_y)) {
                crossings[count++] = (b[0] - a[0]) * (i_y - a[1]) / (b[1] - a[1]) + a[0];
            }
        }
        // At most four: sorted in place by hand, as g++ cannot tell that
        // std::sort's inlined insertion step stays within the array.
        for (int k = 1; k < count; k++) {
            for (int m = k; m > 0 && crossings[m - 1] > crossings[m]; m--) {
                std::swap(crossings[m - 1], crossings[m]);
            }
        }
        for (int k = 0; k + 1 < count; k += 2) {
            // Columns x with crossings[k] <= x < crossings[k + 1].
            const double first = std::max(0.0, std::ceil(crossings[k]));
            const double end = std::min(static_cast<double>(_width), std::ceil(crossings[k + 1]));
            for (int32_t x = static_cast<int32_t>(first); x < end; x++) {
                setPixel(x, i_y, i_bgr);
            }
        }
    }

    // Cells of any size, offset and shear, in two colours.
    void drawCheckerboard()
    {
        const int32_t cell_width = 1 + _in.u8() % 64;
        const int32_t cell_height = 1 + _in.u8() % 64;
        const int32_t offset_x = _in.u8();
        const int32_t offset_y = _in.u8();
        const int32_t shear = static_cast<int8_t>(_in.u8());
        uint8_t colours[2][3];
        readColour(colours[0]);
        readColour(colours[1]);
        for (int32_t y = 0; y < _height; y++) {
            for (int32_t x = 0; x < _width; x++) {
                const int32_t cx = floorDivide(x + offset_x + shear * y / 16, cell_width);
                const int32_t cy = (y + offset_y) / cell_height;
                setPixel(x, y, colours[(cx + cy) & 1]);
            }
        }
    }

    // Seeded noise: dark and light speckles of a given density, or any
    // colour at all.
    void drawNoise()
    {
        Markeye::SceneRandom random(_in.u32(), 0);
        const int32_t density = _in.u8();
        const bool colour = (_in.u8() & 1) != 0;
        for (int32_t y = 0; y < _height; y++) {
            for (int32_t x = 0; x < _width; x++) {
                uint8_t bgr[3];
                if (colour) {
                    for (uint8_t& channel : bgr) {
                        channel = static_cast<uint8_t>(random.below(256));
                    }
                } else {
                    const bool dark = random.below(256) < density;
                    const uint8_t level = static_cast<uint8_t>(dark ? random.below(100) : 155 + random.below(101));
                    bgr[0] = bgr[1] = bgr[2] = level;
                }
                setPixel(x, y, bgr);
            }
        }
    }

    // Built-in markers at poses from the input, with clutter, blur and noise.
    void drawMarkers()
    {
        const int32_t count = 1 + _in.u8() % MAX_MARKERS;
        std::vector<Markeye::MarkerPicture> pictures;
        pictures.reserve(static_cast<size_t>(count));
        std::vector<Markeye::TSceneMarker> markers;
        for (int32_t k = 0; k < count; k++) {
            pictures.push_back(Markeye::BuiltinMarkers::picture(_in.u8() % Markeye::BuiltinMarkers::count()));
            const double roll = static_cast<int8_t>(_in.u8()) * 1.5;
            const double tilt_x = static_cast<int8_t>(_in.u8()) * 0.75;
            const double tilt_y = static_cast<int8_t>(_in.u8()) * 0.75;
            const double x = static_cast<int8_t>(_in.u8()) * 3.0;
            const double y = static_cast<int8_t>(_in.u8()) * 3.0;
            const double z = 40.0 + _in.u8() * 6.0;
            markers.emplace_back(&pictures.back(), MARKER_WIDTH,
                                 Markeye::MarkerPose::make(roll, tilt_x, tilt_y, x, y, z));
        }
        Markeye::TSceneOptions options;
        options.supersample = 1;
        options.clutter_shapes = _in.u8() % 8;
        options.box_blur_radius = _in.u8() % 3;
        options.noise_sigma = _in.u8() / 8.0;
        options.seed = _in.u8();
        Markeye::SceneRenderer& renderer = rendererFor({_width, _height});
        renderer.render(markers, options);
        const uint8_t* frame = renderer.getFrame();
        std::copy(frame, frame + _pixels.size(), _pixels.begin());
    }

    void editPixels()
    {
        const int32_t count = _in.u8() % (MAX_EDITS + 1);
        for (int32_t k = 0; k < count; k++) {
            const int32_t x = _in.u16() % _width;
            const int32_t y = _in.u16() % _height;
            uint8_t bgr[3];
            readColour(bgr);
            setPixel(x, y, bgr);
        }
    }

    FuzzInput& _in;
    int32_t _width;
    int32_t _height;
    MarkerDrawing _markers;
    std::vector<uint8_t> _pixels;
};

// The frame as the plan lays it out, in bytes of its own.
class FrameView
{
public:
    FrameView(const TFramePlan& i_plan, const TFrameSize& i_size)
        : _plan(i_plan),
          _size(i_size),
          _pixel(markeye::bytesPerPixel(i_plan.format)),
          _pitch(rowPitch(i_plan, _pixel * i_size.width)),
          _bytes(std::max<size_t>(1, static_cast<size_t>(_pitch) * static_cast<size_t>(i_size.height)), i_plan.filler)
    {
    }

    // Whether the tracker must read the view: a known format, rows it can
    // follow.
    bool readable() const { return isKnownFormat(_plan.format) && _plan.rows < ROWS_SHORT; }
    bool isPackedBgrx() const { return _plan.format == PixelFormat::BGRX && _plan.rows == ROWS_PACKED; }

    // The bytes repeated over the whole view, padding included.
    void fillRaw(const std::vector<uint8_t>& i_bytes)
    {
        for (size_t k = 0; !i_bytes.empty() && k < _bytes.size(); k++) {
            _bytes[k] = i_bytes[k % i_bytes.size()];
        }
    }

    // A packed BGRX picture of the view's size, in the view's format.
    void fillFrom(const std::vector<uint8_t>& i_bgrx)
    {
        if (_plan.rows >= ROWS_SHORT) {
            return;
        }
        for (int32_t y = 0; y < _size.height; y++) {
            for (int32_t x = 0; x < _size.width; x++) {
                writePixel(&i_bgrx[4 * (static_cast<size_t>(y) * static_cast<size_t>(_size.width) + x)], pixel(x, y));
            }
        }
    }

    markeye::ImageView view() const
    {
        const bool bottom_up = isBottomUp();
        const uint8_t* first = bottom_up ? &_bytes[static_cast<size_t>(_pitch) * (_size.height - 1)] : _bytes.data();
        return markeye::ImageView{_plan.rows == ROWS_NO_DATA ? nullptr : first,
                                  _plan.rows == ROWS_NO_SIZE ? -static_cast<int32_t>(_plan.padding) : _size.width,
                                  _size.height, bottom_up ? -_pitch : _pitch, _plan.format};
    }

    // The view's pixels as packed BGRX, read the way Image.h says each
    // format holds them.
    std::vector<uint8_t> packedCopy() const
    {
        std::vector<uint8_t> bgrx(4 * static_cast<size_t>(_size.width) * static_cast<size_t>(_size.height), 255);
        for (int32_t y = 0; y < _size.height; y++) {
            for (int32_t x = 0; x < _size.width; x++) {
                readPixel(pixel(x, y), &bgrx[4 * (static_cast<size_t>(y) * static_cast<size_t>(_size.width) + x)]);
            }
        }
        return bgrx;
    }

private:
    static std::ptrdiff_t rowPitch(const TFramePlan& i_plan, std::ptrdiff_t i_row)
    {
        switch (i_plan.rows) {
        case ROWS_PADDED:
        case ROWS_BOTTOM_UP_PADDED:
            return i_row + 1 + i_plan.padding;
        case ROWS_SHORT:
            return i_row - 1;
        default:
            return i_row;
        }
    }

    bool isBottomUp() const { return _plan.rows == ROWS_BOTTOM_UP || _plan.rows == ROWS_BOTTOM_UP_PADDED; }

    // Pixel (i_x, i_y) of the picture, row 0 at the top.
    uint8_t* pixel(int32_t i_x, int32_t i_y) { return _bytes.data() + offset(i_x, i_y); }
    const uint8_t* pixel(int32_t i_x, int32_t i_y) const { return _bytes.data() + offset(i_x, i_y); }
    size_t offset(int32_t i_x, int32_t i_y) const
    {
        const int32_t row = isBottomUp() ? _size.height - 1 - i_y : i_y;
        return static_cast<size_t>(row) * static_cast<size_t>(_pitch) + static_cast<size_t>(i_x) * _pixel;
    }

    void writePixel(const uint8_t* i_bgrx, uint8_t* o_pixel) const
    {
        switch (_plan.format) {
        case PixelFormat::GRAY:
            o_pixel[0] = static_cast<uint8_t>((i_bgrx[0] + i_bgrx[1] + i_bgrx[2] + 1) / 3);
            return;
        case PixelFormat::RGBA:
        case PixelFormat::RGBX:
        case PixelFormat::RGB:
            o_pixel[0] = i_bgrx[2];
            o_pixel[1] = i_bgrx[1];
            o_pixel[2] = i_bgrx[0];
            break;
        default:
            o_pixel[0] = i_bgrx[0];
            o_pixel[1] = i_bgrx[1];
            o_pixel[2] = i_bgrx[2];
            break;
        }
        if (_pixel == 4) {
            o_pixel[3] = _plan.filler;
        }
    }

    void readPixel(const uint8_t* i_pixel, uint8_t* o_bgrx) const
    {
        switch (_plan.format) {
        case PixelFormat::GRAY:
            o_bgrx[0] = o_bgrx[1] = o_bgrx[2] = i_pixel[0];
            return;
        case PixelFormat::RGBA:
        case PixelFormat::RGBX:
        case PixelFormat::RGB:
            o_bgrx[0] = i_pixel[2];
            o_bgrx[1] = i_pixel[1];
            o_bgrx[2] = i_pixel[0];
            return;
        default:
            o_bgrx[0] = i_pixel[0];
            o_bgrx[1] = i_pixel[1];
            o_bgrx[2] = i_pixel[2];
            return;
        }
    }

    TFramePlan _plan;
    TFrameSize _size;
    int32_t _pixel;
    // Bytes from one row to the next, whichever way the rows run.
    std::ptrdiff_t _pitch;
    std::vector<uint8_t> _bytes;
};

markeye::TrackerOptions optionsFor(const TFramePlan& i_plan, int32_t i_threshold, bool i_compatible)
{
    markeye::TrackerOptions options =
        i_compatible ? markeye::TrackerOptions::pluginCompatible() : markeye::TrackerOptions();
    options.threshold = i_threshold;
    if (i_plan.min_confidence != 0) {
        options.min_confidence = MIN_CONFIDENCES[i_plan.min_confidence - 1];
    }
    options.marker_width = MARKER_WIDTHS[i_plan.marker_width];
    if (i_plan.other_solver) {
        options.pose_solver = options.pose_solver == markeye::PoseSolver::PLANAR ? markeye::PoseSolver::PLUGIN
                                                                                 : markeye::PoseSolver::PLANAR;
    }
    return options;
}

std::string trackerKey(const TFramePlan& i_plan, const TFrameSize& i_size, int32_t i_grid,
                       const markeye::TrackerOptions& i_options)
{
    std::string key;
    const auto add = [&key](const auto& i_value) {
        key.append(reinterpret_cast<const char*>(&i_value), sizeof(i_value));
    };
    // One tracker with the 640 x 480 camera serves every frame size: it
    // keeps the setups of the sizes it saw last.
    add(i_plan.camera_640x480);
    if (!i_plan.camera_640x480) {
        add(i_size.width);
        add(i_size.height);
    }
    add(i_grid);
    add(i_options.threshold);
    add(i_options.min_confidence);
    add(i_options.marker_width);
    add(i_options.pose_solver);
    add(i_options.plugin_compatible);
    add(i_plan.patterns);
    return key;
}

// A tracker for the plan's frames, kept for the inputs that follow; null
// when the options are out of range (after checking that it refuses them).
markeye::Tracker* trackerFor(const TFramePlan& i_plan, const TFrameSize& i_size, int32_t i_grid,
                             const markeye::TrackerOptions& i_options, FuzzCache<std::string, markeye::Tracker>& io_cache)
{
    const auto make = [&] {
        const markeye::Camera camera = i_plan.camera_640x480 ? markeye::Camera::builtin(640, 480)
                                                             : markeye::Camera::builtin(i_size.width, i_size.height);
        std::vector<markeye::Pattern> patterns;
        for (int32_t marker : PATTERN_SETS[i_plan.patterns]) {
            patterns.push_back(markeye::Pattern::fromNumbers(patternNumbers(marker, i_grid), i_grid, i_grid));
        }
        return makeTracker(camera, std::move(patterns), i_options);
    };
    if (!optionsInRange(i_options)) {
        make();
        return nullptr;
    }
    return &io_cache.get(trackerKey(i_plan, i_size, i_grid, i_options), make);
}

// An answer, kept past the tracker's next call.
struct TAnswer
{
    bool refused;
    std::vector<markeye::Detection> found;
    std::vector<double> best;
};

TAnswer answerOf(markeye::Tracker& io_tracker, const markeye::ImageView& i_frame,
                 std::optional<double> i_time = std::nullopt)
{
    const std::vector<markeye::Detection>* found = trackChecked(io_tracker, i_frame, i_time);
    if (found == nullptr) {
        return {true, {}, {}};
    }
    return {false, *found, io_tracker.bestConfidences()};
}

// Equal, NaN equal to NaN: the same computation on the same pixels.
bool sameValues(const std::vector<double>& i_a, const std::vector<double>& i_b)
{
    return std::equal(i_a.begin(), i_a.end(), i_b.begin(), i_b.end(), [](double i_x, double i_y) {
        return i_x == i_y || (std::isnan(i_x) && std::isnan(i_y));
    });
}

std::vector<double> valuesOf(const markeye::Detection& i_detection)
{
    std::vector<double> values = {static_cast<double>(i_detection.pattern), i_detection.confidence,
                                  static_cast<double>(i_detection.direction), i_detection.reprojection_error,
                                  i_detection.pose_ambiguity};
    for (const std::array<double, 2>& corner : i_detection.corners) {
        values.insert(values.end(), corner.begin(), corner.end());
    }
    for (const std::array<double, 3>& row : i_detection.rotation) {
        values.insert(values.end(), row.begin(), row.end());
    }
    values.insert(values.end(), i_detection.translation.begin(), i_detection.translation.end());
    return values;
}

bool sameAnswers(const TAnswer& i_a, const TAnswer& i_b)
{
    return i_a.refused == i_b.refused && sameValues(i_a.best, i_b.best) &&
           std::equal(i_a.found.begin(), i_a.found.end(), i_b.found.begin(), i_b.found.end(),
                      [](const markeye::Detection& i_x, const markeye::Detection& i_y) {
                          return sameValues(valuesOf(i_x), valuesOf(i_y));
                      });
}

// Fills the view with the picture the input describes; raw pixels take up
// to i_raw_bytes of the input.
void drawPicture(FuzzInput& io_in, const TFrameSize& i_size, MarkerDrawing i_markers, size_t i_raw_bytes,
                 FrameView* io_frame)
{
    const Picture picture = static_cast<Picture>(io_in.u8() % PICTURE_COUNT);
    if (picture == PICTURE_RAW) {
        io_frame->fillRaw(io_in.bytes(i_raw_bytes));
        return;
    }
    FrameBuilder builder(&io_in, i_size, i_markers);
    builder.build(picture);
    io_frame->fillFrom(builder.pixels());
}

// Tracks the view: the tracker must refuse it when i_must_refuse, and in
// the default mode only then.
// i_refusal_explained, when given, tells whether a refusal the rules above
// do not expect has a reason of its own (asked only then).
TAnswer trackJudged(markeye::Tracker& io_tracker, const markeye::ImageView& i_view, bool i_must_refuse,
                    bool i_compatible, std::optional<double> i_time = std::nullopt,
                    const std::function<bool()>& i_refusal_explained = nullptr)
{
    TAnswer answer = answerOf(io_tracker, i_view, i_time);
    require(answer.refused || !i_must_refuse, "tracker", "a view or frame size it cannot read is refused");
    // The default way searches a crowded frame again instead of giving up.
    require(!answer.refused || i_must_refuse || i_compatible || (i_refusal_explained && i_refusal_explained()),
            "tracker", "the default mode tracks every view it can read");
    return answer;
}

// The lean entry's mode byte: the plug-in's mode, the other pose solver.
constexpr uint8_t LEAN_PLUGIN_MODE = 1;
constexpr uint8_t LEAN_OTHER_SOLVER = 2;
// Its settings, few enough that a tracker is kept for every one (sizes of
// the 640 x 480 camera's proportions share one tracker): two unlike
// patterns on the default grid, three thresholds in the plug-in's mode.
constexpr uint32_t LEAN_PATTERN_SET = 1;
constexpr int32_t LEAN_GRID = 16;
constexpr int32_t LEAN_PLUGIN_THRESHOLDS[] = {100, 60, 180};
constexpr size_t LEAN_TRACKER_CACHE = 64;
// Frame sizes of the lean and library entries: small ones of the built-in
// camera's proportions first (each pixel costs time under the sanitizers),
// then other proportions and frames too small for a marker.
const TFrameSize LEAN_SIZES[] = {{64, 48}, {32, 24}, {160, 120}, {80, 60}, {96, 96}, {17, 5}, {3, 3}, {1, 40}};
// Thresholds of the library entry, two out of range.
constexpr int32_t LIBRARY_THRESHOLDS[] = {100, 0, 255, 60, 180, -1, 256};

// The library entry's limits: steps per input, the largest camera it builds
// a tracker for (in pixels), the raw pixel bytes a step reads, the trackers
// kept from input to input.
constexpr int32_t LIBRARY_MAX_STEPS = 4;
constexpr int64_t LIBRARY_CAMERA_BUDGET = 64 * 48;
constexpr size_t LIBRARY_RAW_BYTES = 256;
constexpr size_t LIBRARY_TRACKER_CACHE = 16;
constexpr size_t LIBRARY_PATTERN_CACHE = 128;
constexpr double MIN_MARGINS[] = {0.24, 0.0, 1.0, -0.01, NAN_VALUE};
// Seconds from one frame to the next with a time: forward, none, backward
// (each of the last two starts a new sequence).
constexpr double TIME_STEPS[] = {1.0 / 30.0, 0.5, 0.0, -1.0};

// The library entry's camera: built-in of a small size, from intrinsics, or
// a camera file's bytes; none when the library refuses it or it is larger
// than the budget.
std::optional<markeye::Camera> readLibraryCamera(FuzzInput& io_in)
{
    std::optional<markeye::Camera> camera;
    try {
        switch (io_in.choose(3)) {
        case 0: {
            const TFrameSize size = pickFrom(io_in, LEAN_SIZES);
            camera = markeye::Camera::builtin(size.width, size.height);
            break;
        }
        case 1: {
            const int32_t width = 1 + io_in.u8() % 160;
            const int32_t height = 1 + io_in.u8() % 120;
            const double fx = io_in.f64();
            const double fy = io_in.f64();
            const double cx = io_in.f64();
            const double cy = io_in.f64();
            camera = markeye::Camera::fromIntrinsics(width, height, fx, fy, cx, cy);
            break;
        }
        default: {
            const std::vector<uint8_t> bytes = io_in.bytes(markeye::Camera::FILE_SIZE);
            camera = markeye::Camera::fromBytes(bytes.data(), bytes.size());
            break;
        }
        }
    } catch (const markeye::Error&) {
        return std::nullopt;
    }
    if (int64_t{camera->width()} * camera->height() > LIBRARY_CAMERA_BUDGET) {
        return std::nullopt;
    }
    return camera;
}

// A built-in, generated (two indices past the last) or numbers' pattern on
// any grid the tracker may get.
markeye::Pattern readLibraryPattern(FuzzInput& io_in)
{
    // Built-in and generated patterns are sampled from their pictures, which
    // costs more than the rest of an input: each is made once.
    static FuzzCache<std::pair<int32_t, int32_t>, markeye::Pattern> made(LIBRARY_PATTERN_CACHE);
    const int32_t grid = pickFrom(io_in, GRID_SIZES);
    switch (io_in.choose(3)) {
    case 0: {
        const auto& names = markeye::Pattern::builtinNames();
        const int32_t name = static_cast<int32_t>(io_in.choose(static_cast<uint32_t>(names.size())));
        return made.get({-1 - name, grid}, [&] {
            return std::make_unique<markeye::Pattern>(markeye::Pattern::builtin(names[name], grid, grid));
        });
    }
    case 1: {
        const int32_t index = static_cast<int32_t>(io_in.choose(markeye::Pattern::GENERATED_COUNT + 2));
        return made.get({index, grid}, [&] {
            return std::make_unique<markeye::Pattern>(markeye::Pattern::generated(index, grid, grid));
        });
    }
    default: {
        const int32_t side = 1 << io_in.choose(3);
        const std::vector<uint8_t> bytes = io_in.bytes(12 * static_cast<size_t>(side * side));
        std::vector<int32_t> numbers(bytes.begin(), bytes.end());
        numbers.resize(12 * static_cast<size_t>(side * side), 128);
        return markeye::Pattern::fromNumbers(std::move(numbers), side, side);
    }
    }
}

// Every option from the input, values out of range among them.
markeye::TrackerOptions readLibraryOptions(FuzzInput& io_in)
{
    const uint8_t flags = io_in.u8();
    markeye::TrackerOptions options =
        (flags & 1) != 0 ? markeye::TrackerOptions::pluginCompatible() : markeye::TrackerOptions();
    options.binarisation = (flags & 2) != 0 ? markeye::Binarisation::FIXED : markeye::Binarisation::TILE;
    options.subpixel_edges = (flags & 4) == 0;
    if ((flags & 8) != 0) {
        options.pose_solver = options.pose_solver == markeye::PoseSolver::PLANAR ? markeye::PoseSolver::PLUGIN
                                                                                 : markeye::PoseSolver::PLANAR;
    }
    options.temporal.enabled = (flags & 16) != 0;
    options.temporal.filter = (flags & 32) == 0;
    options.marker_width = pickFrom(io_in, MARKER_WIDTHS);
    const uint32_t confidence = io_in.choose(MIN_CONFIDENCE_CHOICES);
    if (confidence != 0) {
        options.min_confidence = MIN_CONFIDENCES[confidence - 1];
    }
    options.min_margin = pickFrom(io_in, MIN_MARGINS);
    options.threshold = pickFrom(io_in, LIBRARY_THRESHOLDS);
    switch (io_in.choose(8)) {
    case 1:
        options.temporal.min_cutoff_hz = 0.0;
        break;
    case 2:
        options.temporal.rotation_beta = NAN_VALUE;
        break;
    case 3:
        options.temporal.frame_rate = 0.0;
        break;
    case 4:
        options.temporal.translation_beta = INFINITE;
        break;
    case 5:
        options.temporal.max_lost_frames = 0;
        break;
    case 6:
        options.temporal.max_lost_frames = -1;
        break;
    case 7:
        options.temporal.derivative_cutoff_hz = -1.0;
        break;
    default:
        break;
    }
    return options;
}

// One step of the library entry: a frame of a size, layout and picture
// from the input, tracked with or without a time, or a set-up beforehand.
void libraryStep(FuzzInput& io_in, markeye::Tracker& io_tracker, const markeye::Camera& i_camera, double* io_time)
{
    const uint8_t action = io_in.u8();
    const TFrameSize size = pickFrom(io_in, LEAN_SIZES);
    const bool fits = i_camera.fits(size.width, size.height);
    // A camera rescaled to another size of its proportions can be one no
    // tracker takes (a degenerate projection that only its own size could
    // invert); frames of that size are then refused too.
    const auto rescaleRefused = [&] {
        if (!fits || (size.width == i_camera.width() && size.height == i_camera.height())) {
            return false;
        }
        try {
            markeye::Tracker(i_camera.rescaled(size.width, size.height), io_tracker.patterns(), io_tracker.options());
        } catch (const markeye::Error&) {
            return true;
        }
        return false;
    };
    if (action % 8 == 7) {
        bool refused = false;
        try {
            io_tracker.prepare(size.width, size.height);
        } catch (const markeye::Error&) {
            refused = true;
        }
        require(refused ? !fits || rescaleRefused() : fits, "tracker",
                "a set-up is made exactly for frames of the camera's proportions a tracker takes");
        return;
    }
    if (action % 8 == 6) {
        io_tracker.resetTracks();
    }
    const TFramePlan plan = readPlan(io_in);
    FrameView frame(plan, size);
    drawPicture(io_in, size, MARKERS_KEPT_FRAME, LIBRARY_RAW_BYTES, &frame);
    const bool must_refuse = !frame.readable() || !fits;
    std::optional<double> time;
    if ((action & 8) != 0) {
        *io_time += pickFrom(io_in, TIME_STEPS);
        time = *io_time;
    }
    trackJudged(io_tracker, frame.view(), must_refuse, io_tracker.options().plugin_compatible, time, rescaleRefused);
}

}  // namespace

void fuzzFrame(const uint8_t* i_data, size_t i_size)
{
    FuzzInput in(i_data, i_size);
    const TFrameSize size = readFrameSize(in);
    const uint8_t flags = in.u8();
    const int32_t raw_threshold = in.i32();
    const int32_t threshold = (flags & FLAG_RAW_THRESHOLD) != 0 ? raw_threshold : THRESHOLD;
    const TFramePlan plan = (flags & FLAG_VIEW) != 0 ? readPlan(in) : TFramePlan();
    const int32_t grid = GRID_SIZES[in.choose(sizeof(GRID_SIZES) / sizeof(GRID_SIZES[0]))];
    FrameView frame(plan, size);
    drawPicture(in, size, MARKERS_RENDERED, in.remaining(), &frame);
    const bool must_refuse =
        !frame.readable() || (plan.camera_640x480 && !markeye::Camera::builtin(640, 480).fits(size.width, size.height));
    const std::vector<uint8_t> copy =
        frame.readable() && !frame.isPackedBgrx() ? frame.packedCopy() : std::vector<uint8_t>();
    static FuzzCache<std::string, markeye::Tracker> trackers(TRACKER_CACHE);
    for (bool compatible : {false, true}) {
        markeye::Tracker* tracker = trackerFor(plan, size, grid, optionsFor(plan, threshold, compatible), trackers);
        if (tracker == nullptr) {
            continue;
        }
        const TAnswer answer = trackJudged(*tracker, frame.view(), must_refuse, compatible);
        if (!copy.empty()) {
            require(sameAnswers(answer, answerOf(*tracker, packedView(size, copy))), "tracker",
                    "a frame reads the same in every layout");
        }
    }
}

void fuzzFrameLean(const uint8_t* i_data, size_t i_size)
{
    static FuzzCache<std::string, markeye::Tracker> trackers(LEAN_TRACKER_CACHE);
    static const markeye::Camera CAMERA_640X480 = markeye::Camera::builtin(640, 480);
    FuzzInput in(i_data, i_size);
    const TFrameSize size = pickFrom(in, LEAN_SIZES);
    const uint8_t mode = in.u8();
    TFramePlan plan;
    plan.camera_640x480 = CAMERA_640X480.fits(size.width, size.height);
    plan.other_solver = (mode & LEAN_OTHER_SOLVER) != 0;
    plan.patterns = LEAN_PATTERN_SET;
    const bool compatible = (mode & LEAN_PLUGIN_MODE) != 0;
    const int32_t threshold = compatible ? pickFrom(in, LEAN_PLUGIN_THRESHOLDS) : THRESHOLD;
    FrameView frame(plan, size);
    drawPicture(in, size, MARKERS_KEPT_FRAME, in.remaining(), &frame);
    markeye::Tracker* tracker = trackerFor(plan, size, LEAN_GRID, optionsFor(plan, threshold, compatible), trackers);
    trackJudged(*tracker, frame.view(), false, compatible);
}

void fuzzLibrary(const uint8_t* i_data, size_t i_size)
{
    static FuzzCache<std::string, markeye::Tracker> trackers(LIBRARY_TRACKER_CACHE);
    FuzzInput in(i_data, i_size);
    const std::optional<markeye::Camera> camera = readLibraryCamera(in);
    if (!camera) {
        return;
    }
    std::vector<markeye::Pattern> patterns;
    const int32_t count = 1 + static_cast<int32_t>(in.choose(3));
    try {
        for (int32_t k = 0; k < count; k++) {
            patterns.push_back(readLibraryPattern(in));
        }
    } catch (const markeye::Error&) {
        return;
    }
    const markeye::TrackerOptions options = readLibraryOptions(in);
    // The same set-up bytes make the same tracker: it is kept for them.
    const std::string key(reinterpret_cast<const char*>(i_data), i_size - in.remaining());
    if (!optionsInRange(options)) {
        makeTracker(*camera, std::move(patterns), options);
        return;
    }
    markeye::Tracker* tracker = nullptr;
    try {
        tracker = &trackers.get(key, [&] { return makeTracker(*camera, patterns, options); });
    } catch (const markeye::Error&) {
        // A planar solver's camera whose projection cannot be inverted.
        return;
    }
    tracker->resetTracks();
    double time = 0.0;
    for (int32_t step = 0; step < LIBRARY_MAX_STEPS && !in.empty(); step++) {
        libraryStep(in, *tracker, *camera, &time);
    }
}

}  // namespace MarkeyeFuzz
