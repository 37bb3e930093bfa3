#include "LibraryTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <iterator>
#include <stdexcept>

#include "MarkerPose.h"

namespace LibraryTest {

namespace {

using markeye::PixelFormat;

// Long enough that only a read that really blocks reaches it: this bounds
// a hang, it measures no speed.
constexpr std::chrono::seconds FIFO_GRACE{20};

void putInt32BigEndian(int32_t i_value, std::vector<uint8_t>* io_bytes)
{
    const auto value = static_cast<uint32_t>(i_value);
    for (int shift = 24; shift >= 0; shift -= 8) {
        io_bytes->push_back(static_cast<uint8_t>(value >> shift));
    }
}

void putDoubleBigEndian(double i_value, std::vector<uint8_t>* io_bytes)
{
    uint64_t bits;
    std::memcpy(&bits, &i_value, sizeof bits);
    for (int shift = 56; shift >= 0; shift -= 8) {
        io_bytes->push_back(static_cast<uint8_t>(bits >> shift));
    }
}

void readRgb(const markeye::ImageView& i_view, int32_t i_x, int32_t i_y, uint8_t* o_rgb)
{
    const uint8_t* p = i_view.data + i_y * i_view.stride + i_x * markeye::bytesPerPixel(i_view.format);
    switch (i_view.format) {
    case PixelFormat::BGRA:
    case PixelFormat::BGRX:
    case PixelFormat::BGR:
        o_rgb[0] = p[2];
        o_rgb[1] = p[1];
        o_rgb[2] = p[0];
        return;
    case PixelFormat::RGBA:
    case PixelFormat::RGBX:
    case PixelFormat::RGB:
        o_rgb[0] = p[0];
        o_rgb[1] = p[1];
        o_rgb[2] = p[2];
        return;
    case PixelFormat::GRAY:
        o_rgb[0] = o_rgb[1] = o_rgb[2] = p[0];
        return;
    }
}

void writeRgb(PixelFormat i_format, const uint8_t* i_rgb, uint8_t* o_pixel)
{
    switch (i_format) {
    case PixelFormat::BGRA:
    case PixelFormat::BGRX:
    case PixelFormat::BGR:
        o_pixel[0] = i_rgb[2];
        o_pixel[1] = i_rgb[1];
        o_pixel[2] = i_rgb[0];
        return;
    case PixelFormat::RGBA:
    case PixelFormat::RGBX:
    case PixelFormat::RGB:
        o_pixel[0] = i_rgb[0];
        o_pixel[1] = i_rgb[1];
        o_pixel[2] = i_rgb[2];
        return;
    case PixelFormat::GRAY:
        o_pixel[0] = i_rgb[1];
        return;
    }
}

// A byte that changes from one position to the next, for bytes the
// library must not read (the fourth byte, row padding).
uint8_t fillerByte(std::size_t i_offset)
{
    return static_cast<uint8_t>((i_offset * 37 + 11) & 0xFF);
}

bool sameBits(double i_a, double i_b)
{
    return std::memcmp(&i_a, &i_b, sizeof(double)) == 0;
}

VoTrack::VoARDoubleMatrix34 poseOf(const markeye::Detection& i_detection)
{
    const auto& r = i_detection.rotation;
    const auto& t = i_detection.translation;
    const double value[12] = {r[0][0], r[0][1], r[0][2], t[0], r[1][0], r[1][1],
                              r[1][2], t[1],    r[2][0], r[2][1], r[2][2], t[2]};
    VoTrack::VoARDoubleMatrix34 pose;
    pose.setValue(value);
    return pose;
}

}  // namespace

std::string dataPath(const std::string& i_relative)
{
    return std::string(MARKEYE_DATA_DIR) + "/" + i_relative;
}

std::string scratchPath(const std::string& i_tag)
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "markeye_lib_" + std::to_string(::getpid()) + "_" +
                       (test == nullptr ? std::string("none") : std::string(test->test_suite_name()) + "_" + test->name()) +
                       "_" + i_tag;
    // Parameterised tests have '/' in their names.
    std::replace(name.begin(), name.end(), '/', '_');
    return ::testing::TempDir() + name;
}

std::vector<uint8_t> readBytes(const std::string& i_path)
{
    std::ifstream file(i_path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + i_path);
    }
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& i_path, const void* i_bytes, std::size_t i_size)
{
    std::ofstream file(i_path, std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(i_bytes), static_cast<std::streamsize>(i_size));
    if (!file) {
        throw std::runtime_error("cannot write " + i_path);
    }
}

void writeText(const std::string& i_path, const std::string& i_text)
{
    writeBytes(i_path, i_text.data(), i_text.size());
}

ScratchFiles::~ScratchFiles()
{
    for (const std::string& path : _paths) {
        std::remove(path.c_str());
    }
}

std::string ScratchFiles::path(const std::string& i_tag)
{
    _paths.push_back(scratchPath(i_tag));
    return _paths.back();
}

ScratchFifo::ScratchFifo(const std::string& i_tag) : _path(scratchPath(i_tag))
{
    std::remove(_path.c_str());
    if (::mkfifo(_path.c_str(), 0600) != 0) {
        throw std::runtime_error("cannot make the FIFO " + _path + ": " + std::strerror(errno));
    }
}

ScratchFifo::~ScratchFifo()
{
    std::remove(_path.c_str());
}

std::string errorOfFifoRead(const std::string& i_fifo, const std::function<void()>& i_read)
{
    std::future<std::string> reading = std::async(std::launch::async, [&i_read] {
        try {
            i_read();
        } catch (const markeye::Error& error) {
            return std::string(error.what());
        }
        return std::string();
    });
    if (reading.wait_for(FIFO_GRACE) != std::future_status::ready) {
        ADD_FAILURE() << "reading " << i_fifo << " blocked";
        // A reader blocked in open or read sees an end of file once a
        // writer has come and gone.
        const int writer = ::open(i_fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) {
            ::close(writer);
        }
    }
    return reading.get();
}

std::vector<uint8_t> encodeCamera(const TCameraRecord& i_record)
{
    std::vector<uint8_t> bytes;
    putInt32BigEndian(i_record.width, &bytes);
    putInt32BigEndian(i_record.height, &bytes);
    for (double value : i_record.projection) {
        putDoubleBigEndian(value, &bytes);
    }
    for (double value : i_record.distortion) {
        putDoubleBigEndian(value, &bytes);
    }
    return bytes;
}

TCameraRecord builtinCameraRecord()
{
    return TCameraRecord{FRAME_WIDTH,
                         FRAME_HEIGHT,
                         {700.0, 0.0, 320.0, 0.0, 0.0, 700.0, 240.0, 0.0, 0.0, 0.0, 1.0, 0.0},
                         {320.0, 240.0, 0.0, 1.0}};
}

TCameraRecord calibratedCameraRecord()
{
    // Coefficient 15 draws a point 400 pixels from the centre 9.6 pixels
    // inwards; the scale shrinks every offset by 0.15 %.
    return TCameraRecord{FRAME_WIDTH,
                         FRAME_HEIGHT,
                         {690.5, 0.0, 330.25, 0.0, 0.0, 702.75, 236.5, 0.0, 0.0, 0.0, 1.0, 0.0},
                         {318.0, 242.5, 15.0, 0.9985}};
}

markeye::Camera cameraOf(const TCameraRecord& i_record, const std::string& i_name)
{
    const std::vector<uint8_t> bytes = encodeCamera(i_record);
    return markeye::Camera::fromBytes(bytes.data(), bytes.size(), i_name);
}

Markeye::RenderCamera renderCameraOf(const markeye::Camera& i_camera)
{
    const markeye::Distortion& d = i_camera.distortion();
    const double distortion[4] = {d.centre_x, d.centre_y, d.coefficient, d.scale};
    return Markeye::RenderCamera(i_camera.width(), i_camera.height(), i_camera.projection().data(), distortion);
}

const Markeye::MarkerPicture& markerPicture(int32_t i_index)
{
    static const std::vector<Markeye::MarkerPicture> pictures = [] {
        std::vector<Markeye::MarkerPicture> all;
        for (const std::string& name : markeye::Pattern::builtinNames()) {
            all.push_back(Markeye::MarkerPicture::fromView(markeye::Pattern::builtinPicture(name).view()));
        }
        return all;
    }();
    return pictures.at(static_cast<std::size_t>(i_index));
}

const std::vector<markeye::Pattern>& builtinPatterns()
{
    static const std::vector<markeye::Pattern> patterns = markeye::Pattern::builtins();
    return patterns;
}

const Markeye::MarkerPicture& colourPicture(int32_t i_index)
{
    static const std::vector<Markeye::MarkerPicture> pictures = [] {
        std::vector<Markeye::MarkerPicture> all;
        for (int32_t i = 0; i < static_cast<int32_t>(markeye::Pattern::builtinNames().size()); i++) {
            Markeye::MarkerPicture picture = markerPicture(i);
            for (int32_t y = 0; y < picture.getHeight(); y++) {
                for (int32_t x = 0; x < picture.getWidth(); x++) {
                    if (picture.getPixel(x, y)[0] < 128) {
                        picture.setPixel(x, y, 220, 40, 20);
                    } else {
                        picture.setPixel(x, y, 255, 250, 160);
                    }
                }
            }
            all.push_back(picture);
        }
        return all;
    }();
    return pictures.at(static_cast<std::size_t>(i_index));
}

const std::vector<markeye::Pattern>& patternsWithColour()
{
    static const std::vector<markeye::Pattern> patterns = [] {
        std::vector<markeye::Pattern> all = markeye::Pattern::builtins();
        all.push_back(markeye::Pattern::fromPicture(colourPicture(0).view(), 16, 16, "red flag"));
        all.push_back(markeye::Pattern::fromPicture(colourPicture(3).view(), 16, 16, "red dots"));
        return all;
    }();
    return patterns;
}

Markeye::TSceneMarker placedMarker(int32_t i_marker, const VoTrack::VoARDoubleMatrix34& i_pose, double i_width)
{
    return Markeye::TSceneMarker(&markerPicture(i_marker), i_width, i_pose);
}

std::vector<Markeye::TSceneMarker> threePatternScene()
{
    using Markeye::MarkerPose;
    return {placedMarker(0, MarkerPose::make(10, 20, 0, -190, 0, 700)),
            placedMarker(4, MarkerPose::make(-30, 0, 25, 0, 20, 650)),
            placedMarker(6, MarkerPose::make(200, -15, -15, 190, -10, 750))};
}

std::vector<Markeye::TSceneMarker> twoCopiesScene()
{
    using Markeye::MarkerPose;
    return {placedMarker(5, MarkerPose::make(15, 10, 0, -170, -60, 500)),
            placedMarker(2, MarkerPose::make(100, 0, 10, 0, 140, 700)),
            placedMarker(5, MarkerPose::make(-40, 0, 20, 180, 40, 750))};
}

std::vector<Markeye::TSceneMarker> markerGrid()
{
    // With a focal length of 1400 pixels, 80 units are 60 pixels at this
    // depth, and 120 units 90 pixels.
    constexpr double DEPTH = 1400.0 * 80.0 / 60.0;
    constexpr double SPACING = 90.0 * DEPTH / 1400.0;
    constexpr int32_t COLUMNS = 14;
    constexpr int32_t ROWS = 10;
    std::vector<Markeye::TSceneMarker> markers;
    for (int32_t row = 0; row < ROWS; row++) {
        for (int32_t column = 0; column < COLUMNS; column++) {
            const int32_t m = COLUMNS * row + column;
            markers.push_back(placedMarker(
                m % 8, Markeye::MarkerPose::make(7.0 + 4.0 * (m % 5), 0, 0, (column - (COLUMNS - 1) / 2.0) * SPACING,
                                                 (row - (ROWS - 1) / 2.0) * SPACING, DEPTH)));
        }
    }
    return markers;
}

std::vector<Markeye::TSceneMarker> busyScene()
{
    using Markeye::MarkerPose;
    std::vector<Markeye::TSceneMarker> markers = threePatternScene();
    markers.push_back(twoCopiesScene()[1]);
    markers.push_back(Markeye::TSceneMarker(&colourPicture(0), MARKER_WIDTH, MarkerPose::make(12, 15, 0, -170, -160, 700)));
    markers.push_back(Markeye::TSceneMarker(&colourPicture(3), MARKER_WIDTH, MarkerPose::make(-9, 0, 15, 160, -160, 700)));
    return markers;
}

Markeye::TSceneOptions busyOptions()
{
    Markeye::TSceneOptions options;
    options.clutter_shapes = 14;
    options.noise_sigma = 6.0;
    // Some seeds put clutter against a marker's border, which hides it.
    options.seed = 3;
    return options;
}

RenderedFrame::RenderedFrame(const markeye::Camera& i_camera) : _renderer(renderCameraOf(i_camera)) {}

void RenderedFrame::render(const std::vector<Markeye::TSceneMarker>& i_markers, const Markeye::TSceneOptions& i_options)
{
    _renderer.render(i_markers, i_options);
}

markeye::ImageView RenderedFrame::view() const
{
    return markeye::ImageView{_renderer.getFrame(), _renderer.getWidth(), _renderer.getHeight(),
                              4 * static_cast<std::ptrdiff_t>(_renderer.getWidth()), PixelFormat::BGRA};
}

void PrintTo(const TLayout& i_layout, std::ostream* o_stream)
{
    *o_stream << i_layout.name;
}

const std::vector<TLayout>& colourLayouts()
{
    static const std::vector<TLayout> layouts = {
        {"BGRA", PixelFormat::BGRA, 0, false},      {"BGRX", PixelFormat::BGRX, 0, false},
        {"RGBA", PixelFormat::RGBA, 0, false},      {"RGBX", PixelFormat::RGBX, 0, false},
        {"BGR", PixelFormat::BGR, 0, false},        {"RGB", PixelFormat::RGB, 0, false},
        {"BGRAPadded", PixelFormat::BGRA, 12, false}, {"RGBPadded", PixelFormat::RGB, 5, false},
        {"RGBXBottomUp", PixelFormat::RGBX, 0, true}, {"BGRPaddedBottomUp", PixelFormat::BGR, 3, true},
    };
    return layouts;
}

const TLayout GRAY_LAYOUT = {"GRAY", PixelFormat::GRAY, 0, false};

PictureCopy::PictureCopy(const markeye::ImageView& i_source, const TLayout& i_layout)
{
    const int32_t step = markeye::bytesPerPixel(i_layout.format);
    const std::ptrdiff_t row_bytes = static_cast<std::ptrdiff_t>(i_source.width) * step + i_layout.padding;
    _bytes.resize(static_cast<std::size_t>(row_bytes) * static_cast<std::size_t>(i_source.height));
    for (std::size_t i = 0; i < _bytes.size(); i++) {
        _bytes[i] = fillerByte(i);
    }
    const auto rowStart = [&](int32_t i_y) {
        const int32_t stored = i_layout.bottom_up ? i_source.height - 1 - i_y : i_y;
        return _bytes.data() + static_cast<std::ptrdiff_t>(stored) * row_bytes;
    };
    for (int32_t y = 0; y < i_source.height; y++) {
        uint8_t* row = rowStart(y);
        for (int32_t x = 0; x < i_source.width; x++) {
            uint8_t rgb[3] = {0, 0, 0};
            readRgb(i_source, x, y, rgb);
            writeRgb(i_layout.format, rgb, row + x * step);
        }
    }
    _view = markeye::ImageView{rowStart(0), i_source.width, i_source.height,
                               i_layout.bottom_up ? -row_bytes : row_bytes, i_layout.format};
}

bool isGrey(const markeye::ImageView& i_view)
{
    for (int32_t y = 0; y < i_view.height; y++) {
        for (int32_t x = 0; x < i_view.width; x++) {
            uint8_t rgb[3] = {0, 0, 0};
            readRgb(i_view, x, y, rgb);
            if (rgb[0] != rgb[1] || rgb[1] != rgb[2]) {
                return false;
            }
        }
    }
    return true;
}

double rotationErrorDeg(const markeye::Detection& i_detection, const VoTrack::VoARDoubleMatrix34& i_truth)
{
    return Markeye::MarkerPose::rotationDifferenceDeg(poseOf(i_detection), i_truth);
}

double translationErrorFraction(const markeye::Detection& i_detection, const VoTrack::VoARDoubleMatrix34& i_truth)
{
    const double truth[3] = {i_truth.m03, i_truth.m13, i_truth.m23};
    double squared = 0.0;
    double distance = 0.0;
    for (int r = 0; r < 3; r++) {
        squared += std::pow(i_detection.translation[r] - truth[r], 2);
        distance += truth[r] * truth[r];
    }
    return std::sqrt(squared / distance);
}

double worstCornerError(const markeye::Detection& i_detection, const Markeye::TMarkerTruth& i_truth)
{
    double worst = 0.0;
    for (int i = 0; i < 4; i++) {
        worst = std::max(worst, std::hypot(i_detection.corners[i][0] - i_truth.observed_corners[i].x,
                                           i_detection.corners[i][1] - i_truth.observed_corners[i].y));
    }
    return worst;
}

void expectSameDetections(const std::vector<markeye::Detection>& i_expected,
                          const std::vector<markeye::Detection>& i_actual)
{
    ASSERT_EQ(i_actual.size(), i_expected.size());
    for (std::size_t k = 0; k < i_expected.size(); k++) {
        const markeye::Detection& a = i_expected[k];
        const markeye::Detection& b = i_actual[k];
        SCOPED_TRACE(::testing::Message() << "detection " << k);
        EXPECT_EQ(b.pattern, a.pattern);
        EXPECT_EQ(b.direction, a.direction);
        bool same = sameBits(a.confidence, b.confidence) && sameBits(a.reprojection_error, b.reprojection_error);
        for (int i = 0; i < 4; i++) {
            same = same && sameBits(a.corners[i][0], b.corners[i][0]) && sameBits(a.corners[i][1], b.corners[i][1]);
        }
        for (int r = 0; r < 3; r++) {
            same = same && sameBits(a.translation[r], b.translation[r]);
            for (int c = 0; c < 3; c++) {
                same = same && sameBits(a.rotation[r][c], b.rotation[r][c]);
            }
        }
        EXPECT_TRUE(same) << "expected " << ::testing::PrintToString(a) << "\n  actual " << ::testing::PrintToString(b);
    }
}

}  // namespace LibraryTest

namespace markeye {

void PrintTo(const Detection& i_detection, std::ostream* o_stream)
{
    char text[512];
    const auto& c = i_detection.corners;
    const auto& t = i_detection.translation;
    std::snprintf(text, sizeof text,
                  "{pattern %d, confidence %.17g, direction %d, corners (%.17g, %.17g) (%.17g, %.17g) (%.17g, %.17g) "
                  "(%.17g, %.17g), translation (%.17g, %.17g, %.17g), reprojection %.17g}",
                  i_detection.pattern, i_detection.confidence, i_detection.direction, c[0][0], c[0][1], c[1][0],
                  c[1][1], c[2][0], c[2][1], c[3][0], c[3][1], t[0], t[1], t[2], i_detection.reprojection_error);
    *o_stream << text;
}

}  // namespace markeye
