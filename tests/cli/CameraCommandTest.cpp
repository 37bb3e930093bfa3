#include <gtest/gtest.h>

#include <fstream>

#include "CliRunner.h"

namespace {

class CameraCommandTest : public ::testing::Test
{
protected:
    std::string tempPath(const std::string& i_name) const { return ::testing::TempDir() + i_name; }
};

}  // namespace

TEST_F(CameraCommandTest, MakeReproducesTheBuiltInCameraFile)
{
    const std::string path = tempPath("camera_made.dat");
    const TCliResult made = runMarkeye("camera make --size 640x480 --focal 700 -o " + path);
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(readFile(path), readFile(std::string(MARKEYE_DATA_DIR) + "/camera_640x480.dat"));
}

TEST_F(CameraCommandTest, ShowPrintsWhatMakeWrote)
{
    const std::string path = tempPath("camera_roundtrip.dat");
    ASSERT_EQ(runMarkeye("camera make --size 320x240 --fx 400 --fy 410 --center 150,130 "
                         "--distortion 151,129,12.5,0.98 -o " + path)
                  .status,
              0);
    const TCliResult shown = runMarkeye("camera show " + path);
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("size: 320 x 240"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("400.000000     0.000000   150.000000"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("centre (151.000000, 129.000000), coefficient 12.500000, scale 0.980000"),
              std::string::npos)
        << shown.out;
}

TEST_F(CameraCommandTest, ShowRescalesTheBuiltInCamera)
{
    const TCliResult shown = runMarkeye("camera show --size 1280x960");
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("size: 1280 x 960"), std::string::npos);
    EXPECT_NE(shown.out.find("1400.000000     0.000000   640.000000"), std::string::npos) << shown.out;
}

TEST_F(CameraCommandTest, ShortFileIsNamedWithItsLength)
{
    const std::string path = tempPath("camera_short.dat");
    std::ofstream(path, std::ios::binary) << std::string(120, '\0');
    const TCliResult shown = runMarkeye("camera show " + path);
    EXPECT_EQ(shown.status, 1);
    EXPECT_EQ(shown.err, "markeye: camera file too short: 120 of 136 bytes (" + path + ")\n");
}

struct TBadCommandLine
{
    const char* name;
    const char* arguments;
    int status;
    const char* message;
};

void PrintTo(const TBadCommandLine& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.arguments;
}

class CameraBadCommandLineTest : public ::testing::TestWithParam<TBadCommandLine>
{
};

TEST_P(CameraBadCommandLineTest, FailsWithOneClearLine)
{
    const TCliResult result = runMarkeye(GetParam().arguments);
    EXPECT_EQ(result.status, GetParam().status);
    EXPECT_NE(result.err.find(GetParam().message), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Errors, CameraBadCommandLineTest,
    ::testing::Values(
        TBadCommandLine{"MissingFile", "camera show /nonexistent/cam.dat", 1,
                        "cannot open camera file /nonexistent/cam.dat"},
        TBadCommandLine{"UnknownOption", "camera show --frobnicate", 2, "unknown option --frobnicate\nusage:"},
        TBadCommandLine{"BadSize", "camera make --size 640by480 --focal 700 -o /dev/null", 2,
                        "--size: expected WIDTHxHEIGHT"},
        TBadCommandLine{"MissingFocal", "camera make --size 640x480 -o /dev/null", 2, "missing --focal, or --fx and --fy"},
        TBadCommandLine{"NegativeFocal", "camera make --size 640x480 --focal -3 -o /dev/null", 2,
                        "--focal: expected a number above 0, got \"-3\"\nusage:"},
        TBadCommandLine{"ShortDistortion", "camera make --size 640x480 --focal 7 --distortion 1,2,3 -o /dev/null", 2,
                        "--distortion: expected 4 comma-separated numbers"},
        TBadCommandLine{"UnknownCommand", "recalibrate", 2, "unknown command recalibrate"}),
    [](const ::testing::TestParamInfo<TBadCommandLine>& i_info) { return std::string(i_info.param.name); });
