// markeye::Camera: the camera file read and written byte for byte against a
// file laid out here by hand, the built-in cameras, refusals, rescaling and
// the lens model against the renderer's own.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "LibraryTestSupport.h"
#include "markeye/markeye.h"

using namespace LibraryTest;
using markeye::Camera;

namespace {

// Rescaling multiplies by a ratio of widths and the lens model takes a few
// products: both agree with the exact values to a few ulps of their size.
constexpr double RELATIVE_TOLERANCE = 1e-12;
// Pixels: the lens model against the renderer's model of the same numbers.
constexpr double PIXEL_TOLERANCE = 1e-9;

// The fields of a camera are those of the record it was read from.
void expectCameraIs(const Camera& i_camera, const TCameraRecord& i_record)
{
    EXPECT_EQ(i_camera.width(), i_record.width);
    EXPECT_EQ(i_camera.height(), i_record.height);
    for (int i = 0; i < 12; i++) {
        EXPECT_EQ(i_camera.projection()[i], i_record.projection[i]) << "P element " << i;
    }
    EXPECT_EQ(i_camera.distortion().centre_x, i_record.distortion[0]);
    EXPECT_EQ(i_camera.distortion().centre_y, i_record.distortion[1]);
    EXPECT_EQ(i_camera.distortion().coefficient, i_record.distortion[2]);
    EXPECT_EQ(i_camera.distortion().scale, i_record.distortion[3]);
}

std::vector<uint8_t> bytesOf(const Camera& i_camera)
{
    const auto bytes = i_camera.toBytes();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

class CameraFileTest : public ::testing::Test
{
protected:
    std::string writeCamera(const std::vector<uint8_t>& i_bytes, const std::string& i_tag = "camera.dat")
    {
        const std::string path = _files.path(i_tag);
        writeBytes(path, i_bytes.data(), i_bytes.size());
        return path;
    }

    ScratchFiles _files;
};

struct TNamedRecord
{
    const char* name;
    TCameraRecord record;
};

void PrintTo(const TNamedRecord& i_record, std::ostream* o_stream)
{
    *o_stream << i_record.name;
}

class CameraRoundTripTest : public CameraFileTest, public ::testing::WithParamInterface<TNamedRecord>
{
};

}  // namespace

TEST_P(CameraRoundTripTest, BytesAndFilesReadBackTheSameCamera)
{
    const TCameraRecord& record = GetParam().record;
    const std::vector<uint8_t> bytes = encodeCamera(record);
    ASSERT_EQ(bytes.size(), Camera::FILE_SIZE);

    const Camera camera = Camera::fromBytes(bytes.data(), bytes.size(), "handmade");
    expectCameraIs(camera, record);
    EXPECT_EQ(camera.name(), "handmade");
    EXPECT_EQ(camera.fx(), record.projection[0]);
    EXPECT_EQ(camera.fy(), record.projection[5]);
    EXPECT_EQ(camera.cx(), record.projection[2]);
    EXPECT_EQ(camera.cy(), record.projection[6]);
    EXPECT_EQ(bytesOf(camera), bytes);

    const std::string path = _files.path("saved.dat");
    camera.save(path);
    EXPECT_EQ(readBytes(path), bytes);
    const Camera loaded = Camera::fromFile(path);
    expectCameraIs(loaded, record);
    EXPECT_EQ(loaded.name(), path);
}

INSTANTIATE_TEST_SUITE_P(
    Records, CameraRoundTripTest,
    ::testing::Values(TNamedRecord{"Builtin", builtinCameraRecord()},
                      TNamedRecord{"Calibrated", calibratedCameraRecord()},
                      // Skew, a fourth column and a pincushion lens: every
                      // element of the file is read and written in place.
                      TNamedRecord{"Unusual",
                                   {4000,
                                    3000,
                                    {2900.125, 1.5, 2001.75, -3.25, 0.0, 2875.5, 1499.0625, 0.5, 0.0, 1e-7, 1.0, 2.0},
                                    {1990.5, 1505.25, -0.375, 1.0625}}}),
    [](const ::testing::TestParamInfo<TNamedRecord>& i_info) { return std::string(i_info.param.name); });

TEST_F(CameraFileTest, BuiltinCameraIsTheDataFileByteForByte)
{
    const Camera builtin = Camera::builtin(FRAME_WIDTH, FRAME_HEIGHT);
    EXPECT_EQ(bytesOf(builtin), readBytes(dataPath("camera_640x480.dat")));
    EXPECT_EQ(bytesOf(builtin), encodeCamera(builtinCameraRecord()));
    EXPECT_EQ(builtin.name(), "built-in 640 x 480");
    expectCameraIs(Camera::fromFile(dataPath("camera_640x480.dat")), builtinCameraRecord());
}

TEST_F(CameraFileTest, LongerFileIsRefusedWhileBytesInMemoryAfterTheFirst136AreNotRead)
{
    std::vector<uint8_t> bytes = encodeCamera(calibratedCameraRecord());
    bytes.insert(bytes.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xF8, 0, 0});
    const std::string path = writeCamera(bytes);
    EXPECT_EQ(errorOf([&] { Camera::fromFile(path); }),
              "camera file " + path + " is larger than 136 bytes, the most a camera file can be");
    expectCameraIs(Camera::fromBytes(bytes.data(), bytes.size()), calibratedCameraRecord());
}

namespace {

// A camera file that holds a value out of range, and what its message says
// besides the file's name.
struct TBadRecord
{
    const char* name;
    void (*spoil)(TCameraRecord*);
    const char* fault;
};

void PrintTo(const TBadRecord& i_bad, std::ostream* o_stream)
{
    *o_stream << i_bad.name;
}

class CameraBadRecordTest : public CameraFileTest, public ::testing::WithParamInterface<TBadRecord>
{
};

}  // namespace

TEST_P(CameraBadRecordTest, IsRefusedNamingTheFileAndTheFault)
{
    TCameraRecord record = calibratedCameraRecord();
    GetParam().spoil(&record);
    const std::vector<uint8_t> bytes = encodeCamera(record);
    const std::string path = writeCamera(bytes);
    const std::string from_file = errorOf([&] { Camera::fromFile(path); });
    EXPECT_TRUE(holds(from_file, path)) << from_file;
    EXPECT_TRUE(holds(from_file, GetParam().fault)) << from_file;
    const std::string from_bytes = errorOf([&] { Camera::fromBytes(bytes.data(), bytes.size(), "cam-x"); });
    EXPECT_TRUE(holds(from_bytes, "cam-x")) << from_bytes;
    EXPECT_TRUE(holds(from_bytes, GetParam().fault)) << from_bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CameraBadRecordTest,
    ::testing::Values(
        TBadRecord{"NotANumberInP", [](TCameraRecord* io_record) { io_record->projection[5] = std::nan(""); }, "not finite"},
        TBadRecord{"InfiniteCoefficient",
                   [](TCameraRecord* io_record) { io_record->distortion[2] = std::numeric_limits<double>::infinity(); },
                   "not finite"},
        TBadRecord{"ZeroWidth", [](TCameraRecord* io_record) { io_record->width = 0; }, "size 0 x 480"},
        TBadRecord{"NegativeHeight", [](TCameraRecord* io_record) { io_record->height = -5; }, "size 640 x -5"},
        TBadRecord{"ZeroScale", [](TCameraRecord* io_record) { io_record->distortion[3] = 0.0; }, "distortion scale 0"},
        TBadRecord{"SideBeyondTheLargestFrame", [](TCameraRecord* io_record) { io_record->width = 16385; },
                   "size 16385 x 480 is beyond the largest frame"},
        TBadRecord{"PixelsBeyondTheLargestFrame",
                   [](TCameraRecord* io_record) {
                       io_record->width = 16384;
                       io_record->height = 4097;
                   },
                   "size 16384 x 4097 is beyond the largest frame"},
        TBadRecord{"ZeroFocalLength", [](TCameraRecord* io_record) { io_record->projection[0] = 0.0; },
                   "focal lengths 0.000000 and"},
        TBadRecord{"NegativeFocalLength", [](TCameraRecord* io_record) { io_record->projection[5] = -700.0; },
                   "and -700.000000 pixels (both must be positive)"}),
    [](const ::testing::TestParamInfo<TBadRecord>& i_info) { return std::string(i_info.param.name); });

TEST_F(CameraFileTest, ShortFileIsRefusedWithItsLength)
{
    const std::vector<uint8_t> bytes = encodeCamera(builtinCameraRecord());
    const std::string path = writeCamera(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 120));
    EXPECT_EQ(errorOf([&] { Camera::fromFile(path); }), "camera file too short: 120 of 136 bytes (" + path + ")");
    const std::string empty = writeCamera({}, "empty.dat");
    EXPECT_EQ(errorOf([&] { Camera::fromFile(empty); }), "camera file too short: 0 of 136 bytes (" + empty + ")");
    EXPECT_EQ(errorOf([&] { Camera::fromBytes(bytes.data(), 135, "cam"); }),
              "camera file too short: 135 of 136 bytes (cam)");
    EXPECT_EQ(errorOf([&] { Camera::fromBytes(nullptr, 136, "cam"); }),
              "camera file too short: 0 of 136 bytes (cam)");
}

TEST_F(CameraFileTest, MissingFileAndFolderAreRefusedNamingThePath)
{
    const std::string missing = scratchPath("missing.dat");
    const std::string no_file = errorOf([&] { Camera::fromFile(missing); });
    EXPECT_TRUE(holds(no_file, missing)) << no_file;
    EXPECT_TRUE(holds(no_file, "No such file")) << no_file;
    const std::string folder = errorOf([] { Camera::fromFile(::testing::TempDir()); });
    EXPECT_TRUE(holds(folder, ::testing::TempDir())) << folder;
    EXPECT_TRUE(holds(folder, "folder")) << folder;
}

TEST_F(CameraFileTest, FifoIsRefusedWithoutBlocking)
{
    const ScratchFifo fifo("camera.fifo");
    const std::string message = errorOfFifoRead(fifo.path(), [&] { Camera::fromFile(fifo.path()); });
    EXPECT_TRUE(holds(message, fifo.path())) << message;
    EXPECT_TRUE(holds(message, "not a regular file")) << message;
}

TEST_F(CameraFileTest, SaveIntoMissingFolderIsRefusedNamingThePath)
{
    const std::string path = scratchPath("no_such_folder") + "/camera.dat";
    const std::string message = errorOf([&] { Camera::builtin(FRAME_WIDTH, FRAME_HEIGHT).save(path); });
    EXPECT_TRUE(holds(message, path)) << message;
}

TEST(CameraIntrinsicsTest, MakesADistortionFreeCamera)
{
    const Camera camera = Camera::fromIntrinsics(800, 600, 810.5, 790.25, 401.0, 299.5, "bench");
    const TCameraRecord expected{
        800, 600, {810.5, 0.0, 401.0, 0.0, 0.0, 790.25, 299.5, 0.0, 0.0, 0.0, 1.0, 0.0}, {401.0, 299.5, 0.0, 1.0}};
    expectCameraIs(camera, expected);
    EXPECT_EQ(camera.name(), "bench");
}

TEST(CameraIntrinsicsTest, RefusesValuesOutOfRange)
{
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_THROW(Camera::fromIntrinsics(640, 480, 0.0, 700.0, 320.0, 240.0), markeye::Error);
    EXPECT_THROW(Camera::fromIntrinsics(640, 480, 700.0, -1.0, 320.0, 240.0), markeye::Error);
    EXPECT_THROW(Camera::fromIntrinsics(640, 480, std::nan(""), 700.0, 320.0, 240.0), markeye::Error);
    EXPECT_THROW(Camera::fromIntrinsics(640, 480, inf, 700.0, 320.0, 240.0), markeye::Error);
    EXPECT_THROW(Camera::fromIntrinsics(640, 480, 700.0, 700.0, inf, 240.0), markeye::Error);
    EXPECT_THROW(Camera::fromIntrinsics(0, 480, 700.0, 700.0, 320.0, 240.0), markeye::Error);
    EXPECT_THROW(Camera::fromIntrinsics(640, -480, 700.0, 700.0, 320.0, 240.0), markeye::Error);
    EXPECT_THROW(Camera::builtin(0, 480), markeye::Error);
    EXPECT_THROW(Camera::builtin(640, 0), markeye::Error);
}

namespace {

struct TSize
{
    int32_t width;
    int32_t height;
};

void PrintTo(const TSize& i_size, std::ostream* o_stream)
{
    *o_stream << i_size.width << "x" << i_size.height;
}

std::string sizeName(const ::testing::TestParamInfo<TSize>& i_info)
{
    return std::to_string(i_info.param.width) + "x" + std::to_string(i_info.param.height);
}

class BuiltinCameraSizeTest : public ::testing::TestWithParam<TSize>
{
};

}  // namespace

TEST_P(BuiltinCameraSizeTest, KeepsTheFieldOfViewWithTheCentreInTheMiddle)
{
    const TSize size = GetParam();
    const Camera camera = Camera::builtin(size.width, size.height);
    EXPECT_EQ(camera.width(), size.width);
    EXPECT_EQ(camera.height(), size.height);
    EXPECT_EQ(camera.name(), "built-in " + std::to_string(size.width) + " x " + std::to_string(size.height));
    // Horizontal field of view of 700 pixels focal length over 640 pixels.
    const double expected_fov = 2.0 * std::atan(320.0 / 700.0);
    EXPECT_NEAR(2.0 * std::atan(size.width / 2.0 / camera.fx()), expected_fov, RELATIVE_TOLERANCE);
    EXPECT_EQ(camera.fy(), camera.fx()) << "square pixels";
    EXPECT_EQ(camera.cx(), size.width / 2.0);
    EXPECT_EQ(camera.cy(), size.height / 2.0);
    const auto& p = camera.projection();
    EXPECT_EQ(p[1], 0.0) << "no skew";
    EXPECT_EQ(p[3], 0.0);
    EXPECT_EQ(p[4], 0.0);
    EXPECT_EQ(p[7], 0.0);
    EXPECT_EQ(p[8], 0.0);
    EXPECT_EQ(p[9], 0.0);
    EXPECT_EQ(p[10], 1.0);
    EXPECT_EQ(p[11], 0.0);
    EXPECT_EQ(camera.distortion().coefficient, 0.0);
    EXPECT_EQ(camera.distortion().scale, 1.0);
    EXPECT_TRUE(camera.fits(size.width, size.height));
}

INSTANTIATE_TEST_SUITE_P(Sizes, BuiltinCameraSizeTest,
                         ::testing::Values(TSize{640, 480}, TSize{320, 240}, TSize{1280, 960}, TSize{1920, 1080},
                                           TSize{800, 600}, TSize{333, 777}),
                         sizeName);

namespace {

class CameraRescaleTest : public ::testing::TestWithParam<TSize>
{
protected:
    const Camera _camera = cameraOf(calibratedCameraRecord(), "calibrated");
};

}  // namespace

// A frame k times as wide: every pixel quantity of P scales by k, and the
// lens maps k times an ideal point to k times where it was observed.
TEST_P(CameraRescaleTest, SameProportionsScaleByTheWidthRatio)
{
    const TSize size = GetParam();
    const double k = size.width / 640.0;
    const Camera scaled = _camera.rescaled(size.width, size.height);
    EXPECT_EQ(scaled.width(), size.width);
    EXPECT_EQ(scaled.height(), size.height);
    EXPECT_EQ(scaled.name(), _camera.name());
    for (int i = 0; i < 8; i++) {
        EXPECT_NEAR(scaled.projection()[i], k * _camera.projection()[i],
                    RELATIVE_TOLERANCE * std::fabs(k * _camera.projection()[i]))
            << "P element " << i;
    }
    for (int i = 8; i < 12; i++) {
        EXPECT_EQ(scaled.projection()[i], _camera.projection()[i]) << "P element " << i;
    }
    for (const auto& point : {std::array<double, 2>{12.0, 7.5}, std::array<double, 2>{330.25, 236.5},
                              std::array<double, 2>{633.0, 471.0}, std::array<double, 2>{-50.0, 500.0}}) {
        const auto original = _camera.idealToObserved(point[0], point[1]);
        const auto rescaled = scaled.idealToObserved(k * point[0], k * point[1]);
        EXPECT_NEAR(rescaled[0], k * original[0], k * PIXEL_TOLERANCE) << point[0] << ", " << point[1];
        EXPECT_NEAR(rescaled[1], k * original[1], k * PIXEL_TOLERANCE) << point[0] << ", " << point[1];
    }
    const Camera back = scaled.rescaled(640, 480);
    for (int i = 0; i < 12; i++) {
        EXPECT_NEAR(back.projection()[i], _camera.projection()[i],
                    RELATIVE_TOLERANCE * std::fabs(_camera.projection()[i]));
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, CameraRescaleTest,
                         ::testing::Values(TSize{640, 480}, TSize{320, 240}, TSize{160, 120}, TSize{1280, 960},
                                           TSize{2048, 1536}, TSize{64, 48}),
                         sizeName);

TEST(CameraRescaleRefusalTest, OtherProportionsNameBothSizesAndWhatToDo)
{
    const Camera camera = cameraOf(calibratedCameraRecord(), "lab.dat");
    for (const TSize size : {TSize{640, 360}, TSize{480, 640}, TSize{641, 480}, TSize{1920, 1080}}) {
        SCOPED_TRACE(::testing::PrintToString(size));
        EXPECT_FALSE(camera.fits(size.width, size.height));
        const std::string message = errorOf([&] { camera.rescaled(size.width, size.height); });
        EXPECT_TRUE(holds(message, std::to_string(size.width) + " x " + std::to_string(size.height)))
            << message;
        EXPECT_TRUE(holds(message, "640 x 480")) << message;
        EXPECT_TRUE(holds(message, "lab.dat")) << message;
        EXPECT_TRUE(holds(message, "calibrate")) << message;
    }
    EXPECT_FALSE(camera.fits(0, 0));
    EXPECT_FALSE(camera.fits(-640, -480));
    EXPECT_THROW(camera.rescaled(0, 0), markeye::Error);
    EXPECT_TRUE(camera.fits(320, 240));
}

TEST(CameraBuiltinRescaleTest, BuiltinOfAnotherSizeIsTheRescaledBuiltin)
{
    const Camera rescaled = Camera::builtin(640, 480).rescaled(1024, 768);
    const Camera builtin = Camera::builtin(1024, 768);
    for (int i = 0; i < 12; i++) {
        EXPECT_NEAR(rescaled.projection()[i], builtin.projection()[i], RELATIVE_TOLERANCE * 1024);
    }
}

TEST(CameraLensTest, NoDistortionMapsEveryPointToItself)
{
    const Camera camera = Camera::fromIntrinsics(640, 480, 700.0, 690.0, 310.0, 250.0);
    for (const auto& point : {std::array<double, 2>{0.0, 0.0}, std::array<double, 2>{310.0, 250.0},
                              std::array<double, 2>{639.5, 0.25}, std::array<double, 2>{-2000.0, 3000.0}}) {
        const auto observed = camera.idealToObserved(point[0], point[1]);
        EXPECT_NEAR(observed[0], point[0], PIXEL_TOLERANCE);
        EXPECT_NEAR(observed[1], point[1], PIXEL_TOLERANCE);
    }
}

namespace {

class CameraLensModelTest : public ::testing::TestWithParam<double>
{
};

}  // namespace

// The library's lens model is the renderer's, written independently; a
// positive coefficient draws ideal points towards the distortion centre
// (barrel), a negative one pushes them away, along the same ray.
TEST_P(CameraLensModelTest, AgreesWithTheRenderersModelAndMovesAlongTheRay)
{
    const double coefficient = GetParam();
    TCameraRecord record = calibratedCameraRecord();
    record.distortion[2] = coefficient;
    record.distortion[3] = 1.0;
    const Camera camera = cameraOf(record);
    const Markeye::RenderCamera reference = renderCameraOf(camera);
    const double cx = record.distortion[0];
    const double cy = record.distortion[1];
    const auto centre = camera.idealToObserved(cx, cy);
    EXPECT_EQ(centre[0], cx);
    EXPECT_EQ(centre[1], cy);
    for (const auto& point : {std::array<double, 2>{20.0, 30.0}, std::array<double, 2>{600.0, 450.0},
                              std::array<double, 2>{330.0, 20.0}, std::array<double, 2>{100.0, 240.0}}) {
        SCOPED_TRACE(::testing::Message() << point[0] << ", " << point[1]);
        const auto observed = camera.idealToObserved(point[0], point[1]);
        VoTrack::TVoARDoublePoint_t expected;
        reference.idealToObserved(VoTrack::TVoARDoublePoint_t{point[0], point[1]}, &expected);
        EXPECT_NEAR(observed[0], expected.x, PIXEL_TOLERANCE);
        EXPECT_NEAR(observed[1], expected.y, PIXEL_TOLERANCE);
        const double ideal_radius = std::hypot(point[0] - cx, point[1] - cy);
        const double observed_radius = std::hypot(observed[0] - cx, observed[1] - cy);
        if (coefficient > 0.0) {
            EXPECT_LT(observed_radius, ideal_radius - 0.01);
        } else {
            EXPECT_GT(observed_radius, ideal_radius + 0.01);
        }
        // Same direction from the centre: the cross product vanishes.
        const double cross = (point[0] - cx) * (observed[1] - cy) - (point[1] - cy) * (observed[0] - cx);
        EXPECT_NEAR(cross / (ideal_radius * observed_radius), 0.0, 1e-12);
    }
}

INSTANTIATE_TEST_SUITE_P(Coefficients, CameraLensModelTest, ::testing::Values(15.0, 2.5, -4.0),
                         [](const ::testing::TestParamInfo<double>& i_info) {
                             return std::string(i_info.param > 0 ? "Barrel" : "Pincushion") +
                                    std::to_string(i_info.index);
                         });
