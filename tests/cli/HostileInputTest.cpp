// The built program given files that would hurt a careless reader: devices
// and FIFOs (endless or blocking), camera files of absurd sizes, pattern
// files with numbers to spare, damaged JPEGs and headers that ask for
// gigabytes. Each is refused with one line naming the file, and quickly:
// the refusal comes before the work the file asks for.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "CliRunner.h"
#include "TestImages.h"
#include "TestJson.h"

namespace {

const std::string BUILTIN_CAMERA = std::string(MARKEYE_DATA_DIR) + "/camera_640x480.dat";
const std::string FLAG_PATTERN = std::string(MARKEYE_DATA_DIR) + "/patterns/flag.patt";

// A camera file: the built-in one with its size, or its projection matrix
// zeroed (bytes 8 to 103), replaced.
std::string cameraBytes(int32_t i_width, int32_t i_height, bool i_zero_projection = false)
{
    std::string bytes = readFile(BUILTIN_CAMERA);
    for (int b = 0; b < 4; b++) {
        bytes[static_cast<size_t>(b)] = static_cast<char>(static_cast<uint32_t>(i_width) >> (24 - 8 * b));
        bytes[static_cast<size_t>(4 + b)] = static_cast<char>(static_cast<uint32_t>(i_height) >> (24 - 8 * b));
    }
    if (i_zero_projection) {
        std::fill(bytes.begin() + 8, bytes.begin() + 104, '\0');
    }
    return bytes;
}

class HostileInputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        _folder = testFolder();
        _frame = _folder + "/frame.png";
        writeFile(_frame, CliTest::encodePng(CliTest::renderFrame({})));
    }

    std::string write(const std::string& i_name, const std::string& i_bytes) const
    {
        const std::string path = _folder + "/" + i_name;
        writeFile(path, i_bytes);
        return path;
    }

    std::string fifo() const
    {
        const std::string path = _folder + "/fifo";
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        return path;
    }

    // Runs i_arguments with FILE and FRAME replaced; expects exit status 1
    // and i_message on standard error.
    void expectRefused(std::string i_arguments, const std::string& i_file, const std::string& i_message) const
    {
        for (const auto& [word, value] : {std::pair<std::string, std::string>{"FILE", i_file}, {"FRAME", _frame}}) {
            const size_t at = i_arguments.find(word);
            if (at != std::string::npos) {
                i_arguments.replace(at, word.size(), shellQuote(value));
            }
        }
        const TCliResult result = runMarkeye(i_arguments);
        EXPECT_EQ(result.status, 1) << i_arguments << "\n" << result.err;
        EXPECT_NE(result.err.find(i_message), std::string::npos) << i_arguments << "\n" << result.err;
    }

    std::string _folder;
    std::string _frame;
};

}  // namespace

// ---- Files that are no regular files

struct TReaderCase
{
    const char* name;
    const char* arguments;
    const char* what;
};

class NonRegularFileTest : public HostileInputTest, public ::testing::WithParamInterface<TReaderCase>
{
};

TEST_P(NonRegularFileTest, DeviceAndFifoAreRefusedWithoutReading)
{
    const TReaderCase& c = GetParam();
    // Both would make a careless reader hang: the FIFO has no writer, and
    // /dev/zero never ends.
    for (const std::string& path : {fifo(), std::string("/dev/zero")}) {
        expectRefused(c.arguments, path, c.what + path + " is not a regular file");
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryReader, NonRegularFileTest,
    ::testing::Values(TReaderCase{"Frame", "track FILE", ""},
                      TReaderCase{"Camera", "track --camera FILE FRAME", "camera file "},
                      TReaderCase{"Pattern", "track --pattern FILE FRAME", "pattern file "},
                      TReaderCase{"CameraShow", "camera show FILE", "camera file "},
                      TReaderCase{"PatternShow", "pattern show FILE", "pattern file "},
                      TReaderCase{"Board", "track --board FILE FRAME", "board file "}),
    [](const ::testing::TestParamInfo<TReaderCase>& i_info) { return std::string(i_info.param.name); });

// ---- Camera files

struct TCameraCase
{
    const char* name;
    std::string bytes;
    const char* fault;
};

class BadCameraFileTest : public HostileInputTest, public ::testing::WithParamInterface<TCameraCase>
{
};

TEST_P(BadCameraFileTest, IsRefusedWhenReadByShowAndTrack)
{
    const TCameraCase& c = GetParam();
    const std::string path = write("camera.dat", c.bytes);
    for (const char* arguments : {"camera show FILE", "track --camera FILE FRAME"}) {
        expectRefused(arguments, path, "markeye: camera file " + path + " " + c.fault);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BadCameraFileTest,
    ::testing::Values(
        TCameraCase{"Text", std::string(136, 'x'),
                    "is not valid: size 2021161080 x 2021161080 is beyond the largest frame (16384 pixels a side"},
        TCameraCase{"WideBeyondTheLargestFrame", cameraBytes(100000000, 1),
                    "is not valid: size 100000000 x 1 is beyond the largest frame"},
        TCameraCase{"PixelsBeyondTheLargestFrame", cameraBytes(16384, 16384),
                    "is not valid: size 16384 x 16384 is beyond the largest frame"},
        TCameraCase{"ZeroProjection", cameraBytes(640, 480, true),
                    "is not valid: focal lengths 0.000000 and 0.000000 pixels (both must be positive)"},
        TCameraCase{"Longer", readFile(BUILTIN_CAMERA) + "x",
                    "is larger than 136 bytes, the most a camera file can be"}),
    [](const ::testing::TestParamInfo<TCameraCase>& i_info) { return std::string(i_info.param.name); });

TEST_F(HostileInputTest, LargeCameraOfOtherProportionsRefusesTheFrameWithoutTablesForItsSize)
{
    // 8192 x 8192 is within the largest frame, but tables for it would take
    // about a gigabyte; the frame is refused before any are built.
    const std::string path = write("square.dat", cameraBytes(8192, 8192));
    expectRefused("track --camera FILE FRAME", path, "does not have the proportions of camera " + path);
}

// ---- Pattern files

TEST_F(HostileInputTest, PatternWithNumbersToSpareIsRefusedByShowAndTrackAlike)
{
    const std::string numbers = readFile(FLAG_PATTERN);
    const std::string extra = write("extra.patt", numbers + " 7\n");
    const std::string junk = write("junk.patt", numbers + " junk\n");
    for (const char* arguments : {"pattern show FILE", "track --pattern FILE FRAME"}) {
        expectRefused(arguments, extra, extra);
        expectRefused(arguments, junk, "\"junk\" is not a brightness from 0 to 255");
    }
    expectRefused("track --pattern FILE FRAME", extra,
                  "pattern file " + extra + " holds more than the 3072 numbers of a 16 x 16 grid");
}

// ---- Pictures

namespace {

size_t findMarker(const std::string& i_bytes, uint8_t i_code)
{
    return i_bytes.find(std::string{'\xFF', static_cast<char>(i_code)});
}

}  // namespace

TEST_F(HostileInputTest, DamagedJpegIsAnErrorForThatFrame)
{
    std::string bytes = CliTest::smallJpeg();
    const size_t scan = findMarker(bytes, 0xDA);
    ASSERT_NE(scan, std::string::npos);
    // The middle of the compressed data.
    const size_t middle = scan + (bytes.size() - scan) / 2;
    bytes.replace(middle, 40, std::string(40, '\x55'));
    const std::string path = write("damaged.jpg", bytes);
    const TCliResult result = runMarkeye("track " + shellQuote(_frame) + " " + shellQuote(path));
    EXPECT_EQ(result.status, 1);
    const std::vector<TJson> lines = parseJsonLines(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;
    EXPECT_FALSE(lines[0].has("error"));
    EXPECT_EQ(lines[1]["error"].text.rfind(path + ": bad JPEG: ", 0), 0u) << result.out;
}

TEST_F(HostileInputTest, HeadersAskingForGigabytesAreRefused)
{
    std::string jpeg = CliTest::smallJpeg();
    const size_t frame = findMarker(jpeg, 0xC0);
    ASSERT_NE(frame, std::string::npos);
    // Height 4000, width 16000, where the data holds 24 x 16 pixels.
    jpeg.replace(frame + 5, 4, std::string{'\x0F', '\xA0', '\x3E', '\x80'});
    expectRefused("track FILE", write("patched.jpg", jpeg), "patched.jpg: bad JPEG: ");
    expectRefused("track FILE", write("header.ppm", "P6 16384 4096 255\n"),
                  "header.ppm: truncated PPM/PGM data: 0 bytes, where 16384 x 4096 pixels take 201326592");
}

TEST_F(HostileInputTest, ExifOrientationTurnsTheFrameUnlessNoExif)
{
    // smallJpeg is 24 x 16; APP1 right after the start says "turn 90
    // degrees clockwise to show" (orientation 6).
    const std::string tiff = std::string("Exif\0\0MM\0\x2A\0\0\0\x08", 14) +
                             std::string("\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 18);
    const size_t length = tiff.size() + 2;
    std::string bytes = CliTest::smallJpeg();
    bytes.insert(2, std::string{'\xFF', '\xE1', static_cast<char>(length >> 8), static_cast<char>(length)} + tiff);
    const std::string path = write("turned.jpg", bytes);
    for (const auto& [flags, width, height] : {std::tuple<std::string, int, int>{"", 16, 24}, {"--no-exif ", 24, 16}}) {
        const TCliResult result = runMarkeye("track " + flags + shellQuote(path));
        ASSERT_EQ(result.status, 0) << flags << result.err;
        const TJson line = TJson::parse(result.out);
        EXPECT_EQ(line["width"].number, width) << flags;
        EXPECT_EQ(line["height"].number, height) << flags;
    }
}
