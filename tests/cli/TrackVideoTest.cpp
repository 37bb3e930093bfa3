// The track command on video files, run as a user runs it: clips of frames
// rendered at known poses, which the tests encode themselves with the
// library's video writer (H.264), then the built program on the files and on
// standard input. Built without FFmpeg's libraries, the program's message
// for a video file is tested instead.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "DetectionScene.h"
#include "MarkerPose.h"
#include "TestImages.h"
#include "TestJson.h"
#include "TrackOutput.h"
#ifdef MARKEYE_HAS_VIDEO
#include "markeye/VideoFile.h"
#endif

using namespace CliTest;
using Markeye::MarkerPose;

#ifdef MARKEYE_HAS_VIDEO

namespace {

constexpr int CLIP_FRAMES = 24;
constexpr double CLIP_RATE = 30.0;
// The marker shown: built-in marker 3 (dots), pattern 3.
constexpr int MARKER = 3;
// H.264 at the writer's quality moves edges by a few hundredths of a pixel:
// the tolerances of the picture files' tests (TrackOutput.h) hold.
// Matroska keeps times to the millisecond (MP4 to a fraction of a frame in
// its own time base, and the output to the microsecond).
constexpr double TIME_TOLERANCE_S = 0.0006;

// Pixels of a frame whose red and green are high and blue low.
int yellowPixels(const markeye::Image& i_frame)
{
    int count = 0;
    for (int32_t y = 0; y < i_frame.height(); y++) {
        for (int32_t x = 0; x < i_frame.width(); x++) {
            const uint8_t* pixel = i_frame.pixel(x, y);
            count += pixel[2] > 150 && pixel[1] > 150 && pixel[0] < 100 ? 1 : 0;
        }
    }
    return count;
}

// The outline of a marker about 130 pixels across, at least a pixel wide.
constexpr int MIN_OUTLINE_PIXELS = 200;

// Frame k of the clips: the marker moving right and turning slowly.
TFrame clipFrame(int i_index)
{
    return renderFrame({{&MarkeyeTest::builtinPicture(MARKER),
                         MarkerPose::make(10 + 2 * i_index, 15, -10, -60 + 4 * i_index, 10, 500)}});
}

std::vector<double> frameNumbers(const std::vector<TJson>& i_lines)
{
    std::vector<double> numbers;
    for (const TJson& line : i_lines) {
        numbers.push_back(std::stod(line["frame"].text));
    }
    return numbers;
}


// Two clips of the same frames, shared by the tests: H.264 in MP4 (its index
// at the end, so a file to seek in) and in Matroska (which streams).
class TrackVideoTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        _folder = new std::string(freshFolder("TrackVideoTest"));
        _frames = new std::vector<TFrame>();
        for (int k = 0; k < CLIP_FRAMES; k++) {
            _frames->push_back(clipFrame(k));
        }
        writeClip(path("clip.mp4"));
        writeClip(path("clip.mkv"));
    }

    static void TearDownTestSuite()
    {
        delete _frames;
        delete _folder;
    }

    static void writeClip(const std::string& i_path)
    {
        markeye::VideoWriter writer(i_path, FRAME_WIDTH, FRAME_HEIGHT, CLIP_RATE);
        for (const TFrame& frame : *_frames) {
            writer.write(markeye::ImageView{frame.bgra.data(), frame.width, frame.height, 4 * frame.width,
                                            markeye::PixelFormat::BGRA});
        }
        writer.finish();
    }

    static std::string path(const std::string& i_name) { return *_folder + "/" + i_name; }

    // The JSON lines of a run that must succeed, and its summary.
    static std::vector<TJson> track(const std::string& i_arguments, int i_frames)
    {
        const TCliResult result = runMarkeye("track " + i_arguments);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(withoutSummary(result.err), "");
        EXPECT_TRUE(endsWithSummary(result.err, i_frames)) << result.err;
        return parseJsonLines(result.out);
    }

    static std::string* _folder;
    static std::vector<TFrame>* _frames;
};

std::string* TrackVideoTest::_folder = nullptr;
std::vector<TFrame>* TrackVideoTest::_frames = nullptr;

}  // namespace

TEST_F(TrackVideoTest, EachFrameIsALineWithItsNumberTimeAndPose)
{
    const std::vector<TJson> lines = track(shellQuote(path("clip.mp4")), CLIP_FRAMES);
    ASSERT_EQ(lines.size(), static_cast<size_t>(CLIP_FRAMES));
    for (int k = 0; k < CLIP_FRAMES; k++) {
        SCOPED_TRACE(::testing::Message() << "frame " << k);
        const TJson& line = lines[static_cast<size_t>(k)];
        EXPECT_EQ(line["frame"].text, std::to_string(k));
        EXPECT_NEAR(line["time"].number, k / CLIP_RATE, TIME_TOLERANCE_S);
        EXPECT_EQ(line["width"].number, FRAME_WIDTH);
        const TJson& marker = line["markers"][MARKER];
        ASSERT_TRUE(marker["found"].boolean);
        const Markeye::TMarkerTruth& truth = (*_frames)[static_cast<size_t>(k)].truth[0];
        EXPECT_LT(worstCornerError(marker, truth), CORNER_TOLERANCE_PX);
        EXPECT_LT(rotationErrorDeg(marker, truth), ROTATION_TOLERANCE_DEG);
        EXPECT_LT(translationError(marker, truth), TRANSLATION_TOLERANCE);
        // Temporal tracking is on for a video: one track all along.
        EXPECT_EQ(marker["track"].number, lines[0]["markers"][MARKER]["track"].number);
    }
}

TEST_F(TrackVideoTest, SingleFrameTracksEachFrameOnItsOwn)
{
    const std::vector<TJson> lines = track("--single-frame " + shellQuote(path("clip.mkv")), CLIP_FRAMES);
    ASSERT_EQ(lines.size(), static_cast<size_t>(CLIP_FRAMES));
    for (const TJson& line : lines) {
        EXPECT_TRUE(line["markers"][MARKER]["found"].boolean);
        EXPECT_FALSE(line["markers"][MARKER].has("track"));
    }
}

namespace {

// --every, --start and --end, and the frames they leave.
struct TSelectionCase
{
    const char* name;
    const char* options;
    std::vector<double> frames;
};

void PrintTo(const TSelectionCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.options;
}

class TrackVideoSelectionTest : public TrackVideoTest, public ::testing::WithParamInterface<TSelectionCase>
{
};

}  // namespace

TEST_P(TrackVideoSelectionTest, ChoosesTheFramesByNumberAndTime)
{
    const TSelectionCase& selection = GetParam();
    for (const char* clip : {"clip.mp4", "clip.mkv"}) {
        SCOPED_TRACE(clip);
        const std::vector<TJson> lines = track(std::string(selection.options) + " " + shellQuote(path(clip)),
                                               static_cast<int>(selection.frames.size()));
        EXPECT_EQ(frameNumbers(lines), selection.frames);
        for (const TJson& line : lines) {
            EXPECT_NEAR(line["time"].number, std::stod(line["frame"].text) / CLIP_RATE, TIME_TOLERANCE_S);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, TrackVideoSelectionTest,
    ::testing::Values(TSelectionCase{"Every5", "--every 5", {0, 5, 10, 15, 20}},
                      // Frames shown from 0.2 s (frame 6) and before 0.4 s (frame 12).
                      TSelectionCase{"StartAndEnd", "--start 0.2 --end 0.4", {6, 7, 8, 9, 10, 11}},
                      TSelectionCase{"StartAndEvery", "--start 0.5 --every 4", {15, 19, 23}},
                      TSelectionCase{"EndOnly", "--end 0.1", {0, 1, 2}}),
    [](const ::testing::TestParamInfo<TSelectionCase>& i_info) { return std::string(i_info.param.name); });

TEST_F(TrackVideoTest, OverlayVideoHoldsEachTrackedFrameDrawnOn)
{
    const std::string overlay = path("overlay.mp4");
    const std::vector<TJson> lines =
        track("--every 2 --overlay-video " + shellQuote(overlay) + " " + shellQuote(path("clip.mp4")), 12);
    ASSERT_EQ(lines.size(), 12u);
    markeye::VideoReader reader(overlay);
    EXPECT_EQ(reader.width(), FRAME_WIDTH);
    EXPECT_EQ(reader.height(), FRAME_HEIGHT);
    EXPECT_NEAR(reader.frameRate(), CLIP_RATE / 2, 1e-6);
    markeye::Image frame;
    double time = 0.0;
    int count = 0;
    while (reader.read(&frame, &time)) {
        EXPECT_NEAR(time, count * 2 / CLIP_RATE, TIME_TOLERANCE_S);
        // The clip is grey; the marker's outline is drawn in yellow.
        EXPECT_GE(yellowPixels(frame), MIN_OUTLINE_PIXELS) << "frame " << count;
        count++;
    }
    EXPECT_EQ(count, 12);
}

TEST_F(TrackVideoTest, VideoOnStandardInputMustHaveTheRawSize)
{
    const TCliResult same = runMarkeyeWithInput("track --raw 640x480", path("clip.mkv"));
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(parseJsonLines(same.out).size(), static_cast<size_t>(CLIP_FRAMES));

    const TCliResult other = runMarkeyeWithInput("track --raw 320x240", path("clip.mkv"));
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.out, "");
    EXPECT_EQ(other.err, "markeye: --raw 320x240 disagrees with standard input, a video of 640 x 480 frames\n");
}

TEST_F(TrackVideoTest, VideoAmongPicturesIsAnErrorLine)
{
    writeFile(path("frame.png"), encodePng((*_frames)[0]));
    const TCliResult result = runMarkeye("track " + shellQuote(path("frame.png")) + " " + shellQuote(path("clip.mp4")));
    EXPECT_EQ(result.status, 1);
    const std::vector<TJson> lines = parseJsonLines(result.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0]["markers"][MARKER]["found"].boolean);
    EXPECT_EQ(lines[1]["error"].text, path("clip.mp4") + " is a video (MP4 or QuickTime): give a video as the only FRAME");
}

TEST_F(TrackVideoTest, PicturesAsAVideoGetTracksAndTimesAtTheFrameRate)
{
    std::string frames;
    for (int k = 0; k < 4; k++) {
        const std::string name = path("seq" + std::to_string(k) + ".png");
        writeFile(name, encodePng((*_frames)[static_cast<size_t>(k)]));
        frames += " " + shellQuote(name);
    }
    const std::vector<TJson> lines = track("--video --fps 10" + frames, 4);
    ASSERT_EQ(lines.size(), 4u);
    for (size_t k = 0; k < lines.size(); k++) {
        EXPECT_NEAR(lines[k]["time"].number, k / 10.0, TIME_TOLERANCE_S);
        EXPECT_EQ(lines[k]["markers"][MARKER]["track"].number, lines[0]["markers"][MARKER]["track"].number);
    }
}

#else

// Without FFmpeg's libraries a video file is refused with the way to pipe
// its frames in.
TEST(TrackWithoutVideoTest, VideoFileSaysHowToPipeItsFramesIn)
{
    const std::string clip = testFolder() + "/clip.mp4";
    writeFile(clip, std::string("\x00\x00\x00\x18" "ftypisom\x00\x00\x02\x00", 16));
    const TCliResult result = runMarkeye("track " + shellQuote(clip));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("| markeye track --raw WxH"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("ffmpeg -i VIDEO -f rawvideo -pix_fmt bgra -"), std::string::npos) << result.err;
}

#endif
