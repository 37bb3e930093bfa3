// Fuzz entry: one frame through the whole detector.
//
// Input: frame size choice, threshold choice (and a 32-bit threshold),
// pattern grid choice, picture kind with its parameters, then pixel edits;
// for raw pictures the rest of the input is the pixels.

#include <map>
#include <tuple>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "BuiltinMarkers.h"
#include "FuzzEntries.h"
#include "FuzzInput.h"
#include "FuzzScene.h"
#include "MarkerPose.h"
#include "RenderCamera.h"
#include "SceneRandom.h"
#include "SceneRenderer.h"
#include "VoARException.h"
#include "VoARSingleDetectMarker.h"
#include "VoARTransMatResult.h"

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

constexpr int32_t GRID_SIZES[] = {16, 8, 64, 1, 4};
constexpr int32_t MAX_QUADS = 12;
constexpr int32_t MAX_MARKERS = 4;
constexpr int32_t MAX_EDITS = 32;

// The detector and the camera it shares for one frame size and grid, built
// on first use and kept: building one costs far more than a detection.
struct TDetectorSetup
{
    std::unique_ptr<VoTrack::VoARParam> param;
    std::unique_ptr<VoTrack::VoARSingleDetectMarker> detector;
};

VoTrack::VoARSingleDetectMarker* detectorFor(const TFrameSize& i_size, int32_t i_grid,
                                             const VoTrack::VoARRgbRaster_BGRA& i_raster)
{
    static std::map<std::tuple<int32_t, int32_t, int32_t>, TDetectorSetup> cache;
    TDetectorSetup& setup = cache[{i_size.width, i_size.height, i_grid}];
    if (setup.detector == nullptr) {
        setup.param = builtinCamera(i_size.width, i_size.height);
        setup.detector = std::make_unique<VoTrack::VoARSingleDetectMarker>(
            setup.param.get(), makePattern(0, i_grid).release(), MARKER_WIDTH,
            i_raster.getBufferReader()->getBufferType());
    }
    return setup.detector.get();
}

Markeye::SceneRenderer& rendererFor(const TFrameSize& i_size)
{
    static std::map<std::pair<int32_t, int32_t>, std::unique_ptr<Markeye::SceneRenderer>> cache;
    std::unique_ptr<Markeye::SceneRenderer>& renderer = cache[{i_size.width, i_size.height}];
    if (renderer == nullptr) {
        const std::unique_ptr<VoTrack::VoARParam> param = builtinCamera(i_size.width, i_size.height);
        renderer = std::make_unique<Markeye::SceneRenderer>(Markeye::RenderCamera::fromParam(*param));
    }
    return *renderer;
}

// Rounds toward minus infinity, so that sheared cells keep their size left
// of column 0.
int32_t floorDivide(int32_t i_value, int32_t i_divisor)
{
    return i_value >= 0 ? i_value / i_divisor : -((-i_value + i_divisor - 1) / i_divisor);
}

class FrameBuilder
{
public:
    FrameBuilder(FuzzInput* io_in, const TFrameSize& i_size)
        : _in(*io_in), _width(i_size.width), _height(i_size.height),
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
            drawMarkers();
            break;
        default:
            return;
        }
        editPixels();
    }

    // The rest of the input, repeated over the frame.
    void fillRaw()
    {
        const std::vector<uint8_t> bytes = _in.rest();
        if (bytes.empty()) {
            return;
        }
        for (size_t k = 0; k < _pixels.size(); k++) {
            _pixels[k] = bytes[k % bytes.size()];
        }
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
                for (int32_t x = 0; x < _width; x++) {
                    if (inside(corners, x, y)) {
                        setPixel(x, y, colour);
                    }
                }
            }
        }
    }

    static bool inside(const double (*i_corners)[2], double i_x, double i_y)
    {
        bool in = false;
        for (int i = 0, j = 3; i < 4; j = i++) {
            const double* a = i_corners[i];
            const double* b = i_corners[j];
            if ((a[1] > i_y) != (b[1] > i_y) && i_x < (b[0] - a[0]) * (i_y - a[1]) / (b[1] - a[1]) + a[0]) {
                in = !in;
            }
        }
        return in;
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
    std::vector<uint8_t> _pixels;
};

int32_t readThreshold(FuzzInput* io_in)
{
    const uint8_t choice = io_in->u8();
    const int32_t raw = io_in->i32();
    return (choice & 1) != 0 ? raw : THRESHOLD;
}

}  // namespace

void fuzzFrame(const uint8_t* i_data, size_t i_size)
{
    FuzzInput in(i_data, i_size);
    const TFrameSize size = pickFrameSize(in.u8());
    const int32_t threshold = readThreshold(&in);
    const int32_t grid = GRID_SIZES[in.choose(sizeof(GRID_SIZES) / sizeof(GRID_SIZES[0]))];
    const Picture picture = static_cast<Picture>(in.u8() % PICTURE_COUNT);
    FrameBuilder frame(&in, size);
    if (picture == PICTURE_RAW) {
        frame.fillRaw();
    } else {
        frame.build(picture);
    }
    const VoTrack::VoARRgbRaster_BGRA raster(frame.pixels().data(), size.width, size.height);
    try {
        VoTrack::VoARSingleDetectMarker* detector = detectorFor(size, grid, raster);
        if (!detector->detectMarker(&raster, threshold)) {
            return;
        }
        VoTrack::VoARTransMatResult pose;
        detector->setContinueMode(false);
        detector->getPose(&pose);
        detector->setContinueMode(true);
        detector->getPose(&pose);
    } catch (const VoTrack::VoARException&) {
    }
}

}  // namespace MarkeyeFuzz
