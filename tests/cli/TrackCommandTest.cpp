#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "DetectionScene.h"
#include "MarkerPose.h"
#include "TestImages.h"
#include "TestJson.h"
#include "TrackOutput.h"

using namespace CliTest;
using Markeye::MarkerPose;

namespace {

constexpr double DEFAULT_MIN_CONFIDENCE = 0.55;

const std::vector<std::string> FRAME_KEYS = {"frame", "time", "width", "height", "elapsed_ms", "markers"};
const std::vector<std::string> FOUND_KEYS = {"pattern", "found", "confidence", "direction", "corners", "pose"};

// Two frames shared by the tests: flag and arrow tilted and turned, and
// dots turned upside down, each as PNG, PPM and raw bytes.
class TrackCommandTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        _folder = new std::string(freshFolder("TrackCommandTest"));
        _two =
            new TFrame(renderFrame({{&MarkeyeTest::builtinPicture(0), MarkerPose::make(20, 25, -15, -90, -40, 450)},
                                    {&MarkeyeTest::builtinPicture(1), MarkerPose::make(-35, -20, 30, 110, 60, 520)}}));
        _one = new TFrame(renderFrame({{&MarkeyeTest::builtinPicture(3), MarkerPose::make(150, 10, 10, 0, 0, 400)}}));
        writeFile(path("two.png"), encodePng(*_two));
        writeFile(path("one.png"), encodePng(*_one));
    }

    static void TearDownTestSuite()
    {
        delete _two;
        delete _one;
        delete _folder;
    }

    static std::string path(const std::string& i_name) { return *_folder + "/" + i_name; }

    // The JSON lines of a run that must succeed.
    static std::vector<TJson> track(const std::string& i_arguments)
    {
        const TCliResult result = runMarkeye("track " + i_arguments);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(withoutSummary(result.err), "");
        return parseJsonLines(result.out);
    }

    static void expectSameDetections(const TJson& i_a, const TJson& i_b)
    {
        ASSERT_EQ(i_a["markers"].elements.size(), i_b["markers"].elements.size());
        for (size_t i = 0; i < i_a["markers"].elements.size(); i++) {
            const TJson& a = i_a["markers"][i];
            const TJson& b = i_b["markers"][i];
            ASSERT_EQ(a.keys(), b.keys());
            EXPECT_EQ(a["found"].boolean, b["found"].boolean);
            if (a["found"].boolean) {
                EXPECT_EQ(a["confidence"].number, b["confidence"].number);
                EXPECT_EQ(a["direction"].number, b["direction"].number);
                for (size_t row = 0; row < 3; row++) {
                    for (size_t column = 0; column < 4; column++) {
                        EXPECT_EQ(a["pose"][row][column].number, b["pose"][row][column].number);
                    }
                }
            }
        }
    }

    static std::string* _folder;
    static TFrame* _two;
    static TFrame* _one;
};

std::string* TrackCommandTest::_folder = nullptr;
TFrame* TrackCommandTest::_two = nullptr;
TFrame* TrackCommandTest::_one = nullptr;

}  // namespace

TEST_F(TrackCommandTest, ReportsEveryBuiltinPatternWithTheRenderedPoses)
{
    const std::vector<TJson> lines = track(shellQuote(path("two.png")));
    ASSERT_EQ(lines.size(), 1u);
    const TJson& frame = lines[0];
    ASSERT_EQ(frame.keys(), FRAME_KEYS);
    EXPECT_EQ(frame["frame"].text, path("two.png"));
    EXPECT_EQ(frame["width"].number, FRAME_WIDTH);
    EXPECT_EQ(frame["height"].number, FRAME_HEIGHT);
    EXPECT_EQ(frame["elapsed_ms"].type, TJson::TType::NUMBER);
    EXPECT_GE(frame["elapsed_ms"].number, 0.0);
    ASSERT_EQ(frame["markers"].elements.size(), static_cast<size_t>(BUILTIN_COUNT));
    for (size_t i = 0; i < BUILTIN_COUNT; i++) {
        SCOPED_TRACE(::testing::Message() << "pattern " << i);
        const TJson& marker = frame["markers"][i];
        EXPECT_EQ(marker["pattern"].number, static_cast<double>(i));
        if (i >= _two->truth.size()) {
            EXPECT_FALSE(marker["found"].boolean);
            EXPECT_LE(marker.keys().size(), 3u);
            EXPECT_TRUE(!marker.has("confidence") || marker["confidence"].number < DEFAULT_MIN_CONFIDENCE);
            continue;
        }
        ASSERT_EQ(marker.keys(), FOUND_KEYS);
        EXPECT_TRUE(marker["found"].boolean);
        EXPECT_GE(marker["confidence"].number, DEFAULT_MIN_CONFIDENCE);
        EXPECT_LE(marker["confidence"].number, 1.0);
        EXPECT_GE(marker["direction"].number, 0.0);
        EXPECT_LE(marker["direction"].number, 3.0);
        EXPECT_LT(worstCornerError(marker, _two->truth[i]), CORNER_TOLERANCE_PX);
        EXPECT_LT(rotationErrorDeg(marker, _two->truth[i]), ROTATION_TOLERANCE_DEG);
        EXPECT_LT(translationError(marker, _two->truth[i]), TRANSLATION_TOLERANCE);
    }
}

TEST_F(TrackCommandTest, ReadsPpmAndJpeg)
{
    writeFile(path("two.ppm"), encodePpm(*_two));
    const std::vector<TJson> lines = track(shellQuote(path("two.png")) + " " + shellQuote(path("two.ppm")));
    ASSERT_EQ(lines.size(), 2u);
    expectSameDetections(lines[0], lines[1]);

    // Without a camera file, a frame of other proportions than 4:3 gets the
    // built-in camera of its own size.
    writeFile(path("small.jpg"), smallJpeg());
    const TCliResult result =
        runMarkeye("track " + shellQuote(path("small.jpg")) + " " + shellQuote(path("small.jpg")));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(withoutSummary(result.err), "");
    const std::vector<TJson> jpeg = parseJsonLines(result.out);
    ASSERT_EQ(jpeg.size(), 2u);
    EXPECT_EQ(jpeg[0]["width"].number, 24);
    EXPECT_EQ(jpeg[0]["height"].number, 16);
}

TEST_F(TrackCommandTest, FrameOfOtherProportionsThanTheCameraFileIsAnErrorLine)
{
    const std::string camera = std::string(MARKEYE_DATA_DIR) + "/camera_640x480.dat";
    writeFile(path("small.jpg"), smallJpeg());
    const TCliResult result = runMarkeye("track --camera " + shellQuote(camera) + " " + shellQuote(path("small.jpg")) +
                                         " " + shellQuote(path("two.png")));
    EXPECT_EQ(result.status, 1);
    const std::vector<TJson> lines = parseJsonLines(result.out);
    ASSERT_EQ(lines.size(), 2u);
    const std::string error = lines[0]["error"].text;
    EXPECT_EQ(error.rfind(path("small.jpg") + ": frame size 24 x 16 does not have the proportions of camera " + camera +
                              " (640 x 480)",
                          0),
              0u)
        << error;
    EXPECT_EQ(withoutSummary(result.err), "markeye: " + error + "\n");
    // The run goes on with the next frame.
    EXPECT_TRUE(lines[1]["markers"][1]["found"].boolean);
}

TEST_F(TrackCommandTest, UnreadableFramesGiveErrorObjectsAndTheRunGoesOn)
{
    const std::string png = encodePng(*_two);
    writeFile(path("cut.png"), png.substr(0, png.size() / 2));
    writeFile(path("text.png"), "this is not a picture\n");
    writeFile(path("cut.jpg"), smallJpeg().substr(0, 300));
    const TCliResult result = runMarkeye("track " + shellQuote(path("two.png")) + " " + shellQuote(path("cut.png")) +
                                         " " + shellQuote(path("text.png")) + " " + shellQuote(path("missing.png")) +
                                         " " + shellQuote(path("cut.jpg")) + " " + shellQuote(path("one.png")));
    EXPECT_EQ(result.status, 1);
    const std::vector<TJson> lines = parseJsonLines(result.out);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_TRUE(lines[0]["markers"][0]["found"].boolean);
    EXPECT_TRUE(lines[5]["markers"][3]["found"].boolean);
    const std::vector<std::string> faults = {"bad PNG", "not a PNG, JPEG, PPM or PGM file", "No such file or directory",
                                             "bad JPEG"};
    const std::vector<std::string> names = {"cut.png", "text.png", "missing.png", "cut.jpg"};
    std::string expected_err;
    for (size_t i = 0; i < faults.size(); i++) {
        const TJson& line = lines[i + 1];
        ASSERT_EQ(line.keys(), (std::vector<std::string>{"frame", "time", "error"}));
        EXPECT_EQ(line["frame"].text, path(names[i]));
        EXPECT_NE(line["error"].text.find(path(names[i])), std::string::npos) << line["error"].text;
        EXPECT_NE(line["error"].text.find(faults[i]), std::string::npos) << line["error"].text;
        expected_err += "markeye: " + line["error"].text + "\n";
    }
    // One line per fault on standard error, naming the file, then the summary.
    EXPECT_EQ(withoutSummary(result.err), expected_err);
    EXPECT_TRUE(endsWithSummary(result.err, 2)) << result.err;
}

TEST_F(TrackCommandTest, RawStreamGivesTheSameAsTheFiles)
{
    writeFile(path("stream.raw"), rawBytes(*_two) + rawBytes(*_one));
    const TCliResult raw = runMarkeyeWithInput("track --raw 640x480", path("stream.raw"));
    ASSERT_EQ(raw.status, 0) << raw.err;
    const std::vector<TJson> streamed = parseJsonLines(raw.out);
    const std::vector<TJson> files = track(shellQuote(path("two.png")) + " " + shellQuote(path("one.png")));
    ASSERT_EQ(streamed.size(), 2u);
    ASSERT_EQ(files.size(), 2u);
    for (size_t i = 0; i < 2; i++) {
        EXPECT_EQ(streamed[i]["frame"].text, std::to_string(i));
        expectSameDetections(streamed[i], files[i]);
    }
}

TEST_F(TrackCommandTest, RawStreamEndingInsideAFrameIsAnError)
{
    writeFile(path("short.raw"), rawBytes(*_one) + rawBytes(*_one).substr(0, 1000));
    const TCliResult raw = runMarkeyeWithInput("track --raw 640x480", path("short.raw"));
    EXPECT_EQ(raw.status, 1);
    const std::vector<TJson> lines = parseJsonLines(raw.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0]["markers"][3]["found"].boolean);
    EXPECT_EQ(lines[1]["frame"].text, "1");
    const std::string message = "standard input ended inside frame 1: 1000 bytes left where a frame of 640 x 480 "
                                "takes 1228800 (is --raw the frames' size?)";
    EXPECT_EQ(lines[1]["error"].text, message);
    EXPECT_EQ(withoutSummary(raw.err), "markeye: " + message + "\n");
}

// A camera made for twice the frame size is rescaled to the frame: the same
// camera as the built-in one.
TEST_F(TrackCommandTest, CameraIsRescaledToTheFrame)
{
    const std::string camera = path("camera_1280.dat");
    ASSERT_EQ(runMarkeye("camera make --size 1280x960 --focal 1400 -o " + shellQuote(camera)).status, 0);
    const std::vector<TJson> own = track("--camera " + shellQuote(camera) + " " + shellQuote(path("two.png")));
    const std::vector<TJson> builtin = track(shellQuote(path("two.png")));
    ASSERT_EQ(own.size(), 1u);
    ASSERT_EQ(builtin.size(), 1u);
    expectSameDetections(own[0], builtin[0]);
}

// Two flags in one frame: one entry per copy, nearer (larger) first; the
// plug-in's way reports the pattern once.
TEST_F(TrackCommandTest, EachCopyOfAPatternGetsAnEntry)
{
    const TFrame copies =
        renderFrame({{&MarkeyeTest::builtinPicture(0), MarkerPose::make(10, 20, 0, -120, 0, 520)},
                     {&MarkeyeTest::builtinPicture(0), MarkerPose::make(-60, -15, 25, 120, 30, 420)}});
    writeFile(path("copies.png"), encodePng(copies));
    const std::vector<TJson> lines = track(shellQuote(path("copies.png")));
    ASSERT_EQ(lines.size(), 1u);
    const TJson& markers = lines[0]["markers"];
    ASSERT_EQ(markers.elements.size(), static_cast<size_t>(BUILTIN_COUNT + 1));
    for (size_t i = 0; i < 2; i++) {
        EXPECT_EQ(markers[i]["pattern"].number, 0);
        ASSERT_TRUE(markers[i]["found"].boolean);
        EXPECT_EQ(markers[i].keys(), FOUND_KEYS);
    }
    // Nearer first: the second marker at 420 units.
    EXPECT_LT(worstCornerError(markers[0], copies.truth[1]), CORNER_TOLERANCE_PX);
    EXPECT_LT(worstCornerError(markers[1], copies.truth[0]), CORNER_TOLERANCE_PX);
    for (size_t i = 2; i < markers.elements.size(); i++) {
        EXPECT_EQ(markers[i]["pattern"].number, static_cast<double>(i - 1));
        EXPECT_FALSE(markers[i]["found"].boolean);
    }

    const std::vector<TJson> compat = track("--compat " + shellQuote(path("copies.png")));
    ASSERT_EQ(compat.size(), 1u);
    ASSERT_EQ(compat[0]["markers"].elements.size(), static_cast<size_t>(BUILTIN_COUNT));
    EXPECT_TRUE(compat[0]["markers"][0]["found"].boolean);
}

TEST_F(TrackCommandTest, PatternFilesAndThresholdChooseWhatIsReported)
{
    // The same pattern twice: the plug-in's way gives the one square to both,
    // the default way to the first only.
    const std::string arrow = std::string(MARKEYE_DATA_DIR) + "/patterns/arrow.patt";
    const std::string options = "--pattern " + shellQuote(arrow) + " --pattern " + shellQuote(arrow) +
                                " --min-confidence 0.3 " + shellQuote(path("two.png"));
    const std::vector<TJson> lines = track("--compat " + options);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0]["markers"].elements.size(), 2u);
    for (size_t i = 0; i < 2; i++) {
        EXPECT_EQ(lines[0]["markers"][i]["pattern"].number, static_cast<double>(i));
        EXPECT_TRUE(lines[0]["markers"][i]["found"].boolean);
        EXPECT_LT(worstCornerError(lines[0]["markers"][i], _two->truth[1]), CORNER_TOLERANCE_PX);
    }
    const std::vector<TJson> unique = track(options);
    ASSERT_EQ(unique.size(), 1u);
    ASSERT_EQ(unique[0]["markers"].elements.size(), 2u);
    EXPECT_TRUE(unique[0]["markers"][0]["found"].boolean);
    EXPECT_FALSE(unique[0]["markers"][1]["found"].boolean);
    EXPECT_EQ(unique[0]["markers"][1]["confidence"].number, unique[0]["markers"][0]["confidence"].number);
    // Above any confidence: nothing is found, the confidence is still told.
    const std::vector<TJson> strict =
        track("--pattern " + shellQuote(arrow) + " --min-confidence 1 " + shellQuote(path("two.png")));
    ASSERT_EQ(strict.size(), 1u);
    const TJson& marker = strict[0]["markers"][0];
    EXPECT_EQ(marker.keys(), (std::vector<std::string>{"pattern", "found", "confidence"}));
    EXPECT_FALSE(marker["found"].boolean);
    EXPECT_EQ(marker["confidence"].number, unique[0]["markers"][0]["confidence"].number);
}

TEST_F(TrackCommandTest, OverlayWritesAPictureOfEachFrame)
{
    const std::string overlays = path("overlays");
    const std::vector<TJson> lines = track("--overlay " + shellQuote(overlays) + " " + shellQuote(path("two.png")) +
                                           " " + shellQuote(path("one.png")));
    ASSERT_EQ(lines.size(), 2u);
    // Named by place in the run and picture name; readable pictures of the
    // frame's size.
    for (const char* name : {"000000_two.png", "000001_one.png"}) {
        const std::string picture = overlays + "/" + name;
        EXPECT_EQ(readFile(picture).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << name;
        const std::vector<TJson> reread = track(shellQuote(picture));
        ASSERT_EQ(reread.size(), 1u);
        EXPECT_EQ(reread[0]["width"].number, FRAME_WIDTH);
    }
}

TEST_F(TrackCommandTest, FrameNamesAreEscaped)
{
    const std::string name = "we\"ird\\name\tx.png";
    writeFile(path(name), encodePng(*_one));
    const std::vector<TJson> lines = track(shellQuote(path(name)));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["frame"].text, path(name));
}

namespace {

struct TBadTrackLine
{
    const char* name;
    const char* arguments;
    int status;
    const char* message;
};

void PrintTo(const TBadTrackLine& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.arguments;
}

class TrackBadCommandLineTest : public ::testing::TestWithParam<TBadTrackLine>
{
};

}  // namespace

TEST_P(TrackBadCommandLineTest, FailsWithOneClearLine)
{
    const std::string folder = testFolder();
    writeFile(folder + "/short.patt", "1 2 3 4 5 6 7 8 9 10\n");
    writeFile(folder + "/word.patt", "1 2\n3 x4\n");
    writeFile(folder + "/bright.patt", "1 2 256\n");
    writeFile(folder + "/notes.txt", "no frame\n");
    const auto inFolder = [&](std::string i_text) {
        for (std::string::size_type at; (at = i_text.find("DIR")) != std::string::npos;) {
            i_text.replace(at, 3, folder);
        }
        return i_text;
    };
    const TCliResult result = runMarkeyeWithInput(inFolder(GetParam().arguments), "/dev/null");
    EXPECT_EQ(result.status, GetParam().status);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find(inFolder(GetParam().message)), std::string::npos) << result.err;
    if (GetParam().status == 2) {
        EXPECT_NE(result.err.find("\nusage: markeye track"), std::string::npos) << result.err;
    }
    if (GetParam().status == 1) {
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, TrackBadCommandLineTest,
    ::testing::Values(
        TBadTrackLine{"UnknownOption", "track --fast a.png", 2, "markeye track: unknown option --fast\nusage:"},
        TBadTrackLine{"NoFrame", "track", 2, "markeye track: no FRAME given\nusage:"},
        TBadTrackLine{"RawWithFrames", "track --raw 64x48 a.png", 2, "--raw reads standard input; give no FRAME"},
        TBadTrackLine{"BadRawSize", "track --raw 64by48", 2, "--raw: expected WIDTHxHEIGHT"},
        TBadTrackLine{"Threshold", "track --min-confidence 1.5 a.png", 2,
                      "--min-confidence: expected a number from 0 to 1"},
        TBadTrackLine{"Grid", "track --pattern-size 12 a.png", 2,
                      "--pattern-size: expected N or WxH with each side 1, 2, 4, 8, 16, 32 or 64, got \"12\""},
        TBadTrackLine{"MissingPattern", "track --pattern DIR/none.patt a.png", 1,
                      "cannot open pattern file DIR/none.patt: No such file or directory"},
        TBadTrackLine{"ShortPattern", "track --pattern DIR/short.patt a.png", 1,
                      "pattern file too short: 10 of 3072 numbers for a 16 x 16 grid (DIR/short.patt)"},
        TBadTrackLine{"PatternToken", "track --pattern DIR/word.patt a.png", 1,
                      "pattern file DIR/word.patt, line 2: \"x4\" is not a brightness from 0 to 255"},
        TBadTrackLine{"PatternValue", "track --pattern DIR/bright.patt a.png", 1,
                      "pattern file DIR/bright.patt, line 1: \"256\" is not a brightness from 0 to 255"},
        TBadTrackLine{"PatternFolder", "track --pattern DIR a.png", 1, "cannot open pattern file DIR: it is a folder"},
        TBadTrackLine{"MissingCamera", "track --camera DIR/none.dat a.png", 1, "cannot open camera file DIR/none.dat"},
        TBadTrackLine{"StandardInputTwice", "track - a.png -", 2,
                      "markeye track: standard input (-) can be given once only\n"},
        TBadTrackLine{"FolderWithoutPictures", "track DIR", 1,
                      "markeye: folder DIR holds no picture file (.png .jpg .jpeg .ppm .pgm .pnm)\n"},
        TBadTrackLine{"NoJobs", "track --jobs 0 a.png", 2, "markeye track: --jobs: expected"},
        TBadTrackLine{"TooManyJobs", "track --jobs 65 a.png", 2, "markeye track: --jobs: expected"},
        TBadTrackLine{"JobsOfRaw", "track --jobs 2 --raw 64x48", 2,
                      "markeye track: --jobs tracks picture files on several threads; --raw needs its frames tracked in "
                      "order, on one\n"},
        TBadTrackLine{"JobsWithTemporalTracking", "track --jobs 2 --video a.png", 2,
                      "markeye track: --jobs tracks picture files on several threads; --video needs"},
        TBadTrackLine{"JobsWithOverlayVideo", "track --jobs 2 --overlay-video DIR/o.mp4 a.png", 2,
                      "markeye track: --jobs tracks picture files on several threads; --overlay-video needs"},
        TBadTrackLine{"Format", "track --format json a.png", 2, "markeye track: --format: expected one of jsonl, csv, got \"json\"\n"},
        TBadTrackLine{"CsvOfBoard", "track --format csv --board DIR/b.json a.png", 2,
                      "markeye track: --format csv holds markers only; give --format jsonl for the board's pose\n"},
        TBadTrackLine{"ZeroWidth", "track --marker-width 0 a.png", 2,
                      "markeye track: --marker-width: expected a number above 0, got \"0\"\n"},
        TBadTrackLine{"NegativeWidth", "track --marker-width=-5 a.png", 2,
                      "markeye track: --marker-width: expected a number above 0, got \"-5\"\n"},
        TBadTrackLine{"InfiniteWidth", "track --marker-width inf a.png", 2, "markeye track: --marker-width: expected"},
        TBadTrackLine{"NanWidth", "track --marker-width nan a.png", 2, "markeye track: --marker-width: expected"},
        TBadTrackLine{"WordWidth", "track --marker-width wide a.png", 2, "markeye track: --marker-width"},
        TBadTrackLine{"WidthOfBoard", "track --marker-width 50 --board DIR/b.json a.png", 2,
                      "markeye track: --board and --marker-width exclude each other\n"}),
    [](const ::testing::TestParamInfo<TBadTrackLine>& i_info) { return std::string(i_info.param.name); });

namespace {

class HelpTest : public ::testing::TestWithParam<const char*>
{
};

}  // namespace

TEST_P(HelpTest, PrintsTheUsageAndSucceeds)
{
    const TCliResult result = runMarkeye(std::string(GetParam()) + " --help");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    const std::string command = GetParam();
    EXPECT_EQ(result.out.rfind("usage: markeye " + command.substr(0, command.find(' ')), 0), 0u) << result.out;
}

INSTANTIATE_TEST_SUITE_P(Commands, HelpTest,
                         ::testing::Values("track", "demo", "marker", "xtra", "camera make", "camera show",
                                           "pattern make", "pattern show"),
                         [](const ::testing::TestParamInfo<const char*>& i_info) {
                             std::string name = i_info.param;
                             name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
                             return name;
                         });
