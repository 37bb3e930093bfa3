// "markeye calibrate" and "markeye track --board", run on files as a user
// runs them: views of a printed board rendered through a known camera with
// a lens, the board file made by "markeye board make", the camera file it
// writes read back and used.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "BoardScene.h"
#include "CliRunner.h"
#include "LibraryTestSupport.h"
#include "MarkerPose.h"
#include "TestJson.h"
#include "markeye/ImageFile.h"
#include "markeye/markeye.h"

namespace {

// The camera the views are drawn with: 640 x 480, a barrel lens.
markeye::Camera drawingCamera()
{
    return markeye::Camera::fromIntrinsics(640, 480, 690, 695, 325, 236, "drawing")
        .withDistortion({318, 244, 25.0, 1.0});
}

// A board file made by the program, and i_count views of that board
// written as PNG files into the test's folder.
class CalibrateCommandTest : public ::testing::Test
{
protected:
    CalibrateCommandTest() : _folder(testFolder()), _board(markeye::Board::grid(5, 7, 30.0, 6.0)) {}

    std::string makeBoardFile()
    {
        const std::string path = _folder + "/board.json";
        const TCliResult made = runMarkeye("board make --grid 5x7 --marker-mm 30 --gap-mm 6 -o " + path);
        EXPECT_EQ(made.status, 0) << made.err;
        return path;
    }

    std::string writeViews(int32_t i_count)
    {
        std::mt19937 rng(29);
        LibraryTest::RenderedFrame frame(drawingCamera());
        std::string paths;
        for (int32_t v = 0; v < i_count; v++) {
            VoTrack::VoARDoubleMatrix34 pose;
            EXPECT_TRUE(LibraryTest::randomBoardPose(_board, drawingCamera(), 430.0, 50.0, 180.0, 4.0, &rng, &pose));
            Markeye::TSceneOptions options;
            options.supersample = 4;
            options.noise_sigma = 1.0;
            options.gaussian_blur_sigma = 0.5;
            options.seed = static_cast<uint64_t>(v) + 1;
            frame.render(LibraryTest::boardScene(_board, pose), options);
            const std::string path = _folder + "/view_" + std::to_string(v) + ".png";
            markeye::writePng(path, frame.view());
            paths += " " + path;
        }
        return paths;
    }

    std::string _folder;
    markeye::Board _board;
};

}  // namespace

TEST_F(CalibrateCommandTest, WritesTheCameraTheViewsWereTakenWith)
{
    const std::string board = makeBoardFile();
    const std::string views = writeViews(12);
    const std::string camera_path = _folder + "/mycam.dat";
    const TCliResult run = runMarkeye("calibrate --board " + board + " -o " + camera_path + views);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("camera for 640 x 480 frames, RMS error 0.0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("view_11.png"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("wrote " + camera_path), std::string::npos) << run.err;
    const markeye::Camera found = markeye::Camera::fromFile(camera_path);
    // Focal lengths within 0.3 %, principal point within 1.5 pixels, the
    // coefficient within 5 %.
    EXPECT_NEAR(found.fx() / 690.0, 1.0, 0.003);
    EXPECT_NEAR(found.fy() / 695.0, 1.0, 0.003);
    EXPECT_NEAR(found.cx(), 325.0, 1.5);
    EXPECT_NEAR(found.cy(), 236.0, 1.5);
    EXPECT_NEAR(found.distortion().coefficient / 25.0, 1.0, 0.05);
    // The camera file is one the other commands take.
    EXPECT_EQ(runMarkeye("camera show " + camera_path).status, 0);
    const TCliResult tracked = runMarkeye("track --camera " + camera_path + " --pattern-size 16 " + _folder + "/view_0.png");
    EXPECT_EQ(tracked.status, 0) << tracked.err;
}

TEST_F(CalibrateCommandTest, UnreadableFrameIsNamedAndTheRestCalibrate)
{
    const std::string board = makeBoardFile();
    const std::string views = writeViews(6);
    writeFile(_folder + "/broken.png", "not a picture");
    const std::string camera_path = _folder + "/cam.dat";
    const TCliResult run =
        runMarkeye("calibrate --board " + board + " -o " + camera_path + views + " " + _folder + "/broken.png");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("broken.png"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("warning: only 6 views used"), std::string::npos) << run.err;
    EXPECT_EQ(markeye::Camera::fromFile(camera_path).width(), 640);
}

TEST_F(CalibrateCommandTest, ViewsWithoutTheBoardFailTheRun)
{
    const std::string board = makeBoardFile();
    std::vector<uint8_t> white(4 * 640 * 480, 255);
    const std::string blank = _folder + "/blank.png";
    markeye::writePng(blank, {white.data(), 640, 480, 4 * 640, markeye::PixelFormat::BGRX});
    const TCliResult run = runMarkeye("calibrate --board " + board + " " + blank + " " + blank + " " + blank);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("3 views added"), std::string::npos) << run.err;
}

namespace {

class CalibrateCommandLineTest : public ::testing::TestWithParam<const char*>
{
};

}  // namespace

TEST_P(CalibrateCommandLineTest, NotUnderstoodGivesTheUsageAndStatus2)
{
    const TCliResult run = runMarkeye(GetParam());
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("usage: markeye calibrate"), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Lines, CalibrateCommandLineTest,
                         ::testing::Values("calibrate a.png", "calibrate --board b.json",
                                           "calibrate --board b.json --raw 640x480 a.png",
                                           "calibrate --board b.json --raw 640by480", "calibrate --frobnicate"));

// "track --board": each line also gives the board's pose, from every marker's
// corners, next to the markers' own.
TEST_F(CalibrateCommandTest, TrackWithABoardGivesTheBoardsPose)
{
    const std::string board = makeBoardFile();
    const markeye::Camera camera = markeye::Camera::builtin(640, 480);
    LibraryTest::RenderedFrame frame(camera);
    const VoTrack::VoARDoubleMatrix34 pose = Markeye::MarkerPose::make(30, 20, -15, 10, -5, 480);
    frame.render(LibraryTest::boardScene(_board, pose));
    const std::string view = _folder + "/board_view.png";
    markeye::writePng(view, frame.view());
    const TCliResult run = runMarkeye("track --board " + board + " " + view);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<TJson> lines = parseJsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    const TJson& found = lines[0]["boards"][0];
    EXPECT_EQ(found["name"].text, "grid 5x7");
    EXPECT_TRUE(found["found"].boolean);
    EXPECT_EQ(found["markers_used"].elements.size(), 35u);
    EXPECT_TRUE(found["dropped"].elements.empty());
    // The board's origin within 0.1 % of its distance (480 mm).
    const double truth[3] = {pose.m03, pose.m13, pose.m23};
    for (size_t r = 0; r < 3; r++) {
        EXPECT_NEAR(found["pose"][r][3].number, truth[r], 0.48) << "row " << r;
    }
    EXPECT_LT(found["reprojection_error"].number, 0.2);
    // The markers come as the board's patterns, their translations in mm.
    EXPECT_EQ(lines[0]["markers"].elements.size(), 35u);
    EXPECT_EQ(runMarkeye("track --board " + board + " --pattern x.patt " + view).status, 2);
}
