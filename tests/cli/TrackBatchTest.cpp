// The track command on batches, run as a user runs it: a picture piped to
// standard input, folders of pictures, several threads, CSV, the markers
// found only, the marker width and the summary line.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
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

// Columns of a CSV row: frame, time, width, height, pattern, name,
// confidence, direction, 8 corner coordinates, 12 pose numbers, track, error.
constexpr size_t CSV_COLUMNS = 30;

using TCsvRow = std::vector<std::string>;

// A CSV text after RFC 4180 read back: rows of fields, CRLF line ends,
// quoted fields with doubled quotes. A fault fails the test.
std::vector<TCsvRow> parseCsv(const std::string& i_text)
{
    std::vector<TCsvRow> rows;
    TCsvRow row;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < i_text.size(); i++) {
        const char c = i_text[i];
        if (quoted) {
            // A quote ends the field unless another follows it.
            if (c == '"' && i_text.compare(i, 2, "\"\"") == 0) {
                field += '"';
                i++;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.empty()) {
            quoted = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\r') {
            EXPECT_EQ(i_text.substr(i, 2), "\r\n") << "a bare CR";
            row.push_back(field);
            field.clear();
            rows.push_back(row);
            row.clear();
            i++;
        } else {
            EXPECT_NE(c, '\n') << "a line end without CR";
            field += c;
        }
    }
    EXPECT_FALSE(quoted) << "an unterminated quoted field";
    EXPECT_TRUE(row.empty() && field.empty()) << "the last row has no line end";
    return rows;
}

// The JSON lines less their "elapsed_ms", which differs from run to run.
std::string withoutElapsed(const std::string& i_jsonl)
{
    std::string text = i_jsonl;
    for (std::string::size_type at; (at = text.find("\"elapsed_ms\": ")) != std::string::npos;) {
        text.erase(at, text.find(',', at) + 2 - at);
    }
    return text;
}

// Frames shared by the tests: flag and arrow (two.png), dots (one.png) and
// none (none.png), rendered at known poses.
class TrackBatchTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        _folder = new std::string(freshFolder("TrackBatchTest"));
        _two =
            new TFrame(renderFrame({{&MarkeyeTest::builtinPicture(0), MarkerPose::make(20, 25, -15, -90, -40, 450)},
                                    {&MarkeyeTest::builtinPicture(1), MarkerPose::make(-35, -20, 30, 110, 60, 520)}}));
        _one = new TFrame(renderFrame({{&MarkeyeTest::builtinPicture(3), MarkerPose::make(150, 10, 10, 0, 0, 400)}}));
        writeFile(path("two.png"), encodePng(*_two));
        writeFile(path("one.png"), encodePng(*_one));
        writeFile(path("none.png"), encodePng(renderFrame({})));
        writeFile(path("two.ppm"), encodePpm(*_two));
    }

    static void TearDownTestSuite()
    {
        delete _two;
        delete _one;
        delete _folder;
    }

    static std::string path(const std::string& i_name) { return *_folder + "/" + i_name; }
    static std::string quoted(const std::string& i_name) { return shellQuote(path(i_name)); }

    // A run that must succeed with no message but the summary.
    static TCliResult succeed(const TCliResult& i_result)
    {
        EXPECT_EQ(i_result.status, 0) << i_result.err;
        EXPECT_EQ(withoutSummary(i_result.err), "");
        return i_result;
    }

    static std::vector<TJson> track(const std::string& i_arguments)
    {
        return parseJsonLines(succeed(runMarkeye("track " + i_arguments)).out);
    }

    // The frames' names, line by line.
    static std::vector<std::string> framesOf(const std::vector<TJson>& i_lines)
    {
        std::vector<std::string> names;
        for (const TJson& line : i_lines) {
            names.push_back(line["frame"].text);
        }
        return names;
    }

    // The lines less "frame" and "elapsed_ms": what was found.
    static std::string detectionsOf(const TJson& i_line)
    {
        std::string text;
        for (const TJson& marker : i_line["markers"].elements) {
            text += std::to_string(marker["pattern"].number) + (marker["found"].boolean ? " found" : " not") + " ";
            if (marker["found"].boolean) {
                for (size_t row = 0; row < 3; row++) {
                    for (size_t column = 0; column < 4; column++) {
                        text += std::to_string(marker["pose"][row][column].number) + " ";
                    }
                }
            }
        }
        return text;
    }

    static std::string* _folder;
    static TFrame* _two;
    static TFrame* _one;
};

std::string* TrackBatchTest::_folder = nullptr;
TFrame* TrackBatchTest::_two = nullptr;
TFrame* TrackBatchTest::_one = nullptr;

}  // namespace

TEST_F(TrackBatchTest, PictureOnStandardInputIsTrackedAsTheFile)
{
    const std::vector<TJson> file = track(quoted("two.png"));
    ASSERT_EQ(file.size(), 1u);
    for (const char* name : {"two.png", "two.ppm"}) {
        SCOPED_TRACE(name);
        const std::vector<TJson> piped = parseJsonLines(succeed(runMarkeyeWithInput("track -", path(name))).out);
        ASSERT_EQ(piped.size(), 1u);
        EXPECT_EQ(piped[0]["frame"].text, "-");
        EXPECT_EQ(piped[0]["width"].number, FRAME_WIDTH);
        EXPECT_EQ(detectionsOf(piped[0]), detectionsOf(file[0]));
    }
}

TEST_F(TrackBatchTest, StandardInputThatIsNoPictureGivesAnErrorLine)
{
    struct TCase
    {
        const char* producer;
        const char* message;
    };
    // One byte over the bound (the largest frame at 4 bytes a pixel) is
    // refused before it is decoded.
    const std::vector<TCase> cases = {
        {"printf ''", "standard input: empty file"},
        {"printf 'hello'", "standard input"},
        {"printf 'RIFF\\000\\000\\000\\000AVI LIST'",
         "standard input is a video (AVI): read it with --raw WxH, WxH its frame size"},
        {"head -c 268435457 /dev/zero",
         "standard input holds more than 268435456 bytes, more than any picture markeye reads"}};
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.producer);
        const TCliResult result = runMarkeyePiped(test.producer, "track - " + quoted("one.png"));
        EXPECT_EQ(result.status, 1);
        const std::vector<TJson> lines = parseJsonLines(result.out);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0]["frame"].text, "-");
        EXPECT_EQ(lines[0]["error"].text.rfind(test.message, 0), 0u) << lines[0]["error"].text;
        EXPECT_EQ(withoutSummary(result.err), "markeye: " + lines[0]["error"].text + "\n");
        // The run goes on.
        EXPECT_TRUE(lines[1]["markers"][3]["found"].boolean);
    }
}

TEST_F(TrackBatchTest, FolderGivesItsPicturesInNameOrderAndNothingElse)
{
    const std::string folder = testFolder();
    writeFile(folder + "/c.png", encodePng(*_one));
    writeFile(folder + "/a.PNG", encodePng(*_two));
    writeFile(folder + "/b.ppm", encodePpm(*_one));
    writeFile(folder + "/notes.txt", "not a frame\n");
    writeFile(folder + "/b.png.bak", encodePng(*_one));
    std::filesystem::create_directories(folder + "/sub.png");
    writeFile(folder + "/sub.png/d.png", encodePng(*_one));

    const std::vector<TJson> lines = track(shellQuote(folder));
    EXPECT_EQ(framesOf(lines), (std::vector<std::string>{folder + "/a.PNG", folder + "/b.ppm", folder + "/c.png"}));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0]["markers"][1]["found"].boolean);
    EXPECT_TRUE(lines[1]["markers"][3]["found"].boolean);
    // Frame i of the run is shown at i / 30 s.
    EXPECT_NEAR(lines[2]["time"].number, 2.0 / 30.0, 1e-6);
}

TEST_F(TrackBatchTest, FilesFoldersAndStandardInputMixInTheOrderGiven)
{
    const std::string folder = testFolder();
    writeFile(folder + "/x.jpg", smallJpeg());
    writeFile(folder + "/y.pgm", "P2\n2 2\n255\n0 50\n100 200\n");
    const std::string inputs = quoted("two.png") + " " + shellQuote(folder) + " - " + quoted("one.png");
    const TCliResult result = runMarkeyeWithInput("track " + inputs, path("two.ppm"));
    const std::vector<TJson> lines = parseJsonLines(succeed(result).out);
    EXPECT_EQ(framesOf(lines), (std::vector<std::string>{path("two.png"), folder + "/x.jpg", folder + "/y.pgm", "-",
                                                         path("one.png")}));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(detectionsOf(lines[3]), detectionsOf(lines[0]));
    // On threads, standard input is read by whichever takes its turn.
    const TCliResult threads = runMarkeyeWithInput("track --jobs 3 " + inputs, path("two.ppm"));
    EXPECT_EQ(withoutElapsed(succeed(threads).out), withoutElapsed(result.out));
}

TEST_F(TrackBatchTest, ManyThreadsGiveWhatOneGivesInTheSameOrder)
{
    // Frames of two sizes, an unreadable one, the frames between --start
    // and --end and every other one: each thread's tracker sees only some.
    const std::string folder = testFolder();
    const std::vector<std::string> names = {"two.png", "one.png", "none.png", "two.ppm", "missing.png"};
    std::string frames;
    for (int i = 0; i < 3; i++) {
        for (const std::string& name : names) {
            frames += " " + quoted(name);
        }
        frames += " " + shellQuote(folder);
    }
    writeFile(folder + "/small.jpg", smallJpeg());
    for (const char* options : {"", " --every 2 --start 0.1 --end 0.5", " --format csv --found-only"}) {
        SCOPED_TRACE(options);
        const TCliResult one = runMarkeye("track" + std::string(options) + frames);
        const TCliResult two = runMarkeye("track --jobs 2" + std::string(options) + frames);
        const TCliResult five = runMarkeye("track --jobs=5" + std::string(options) + frames);
        EXPECT_FALSE(one.out.empty());
        EXPECT_EQ(withoutElapsed(two.out), withoutElapsed(one.out));
        EXPECT_EQ(withoutElapsed(five.out), withoutElapsed(one.out));
        EXPECT_EQ(two.status, one.status);
        EXPECT_EQ(withoutSummary(two.err), withoutSummary(one.err));
    }
}

TEST_F(TrackBatchTest, ManyThreadsWriteTheSameOverlays)
{
    const std::string folder = testFolder();
    const std::string frames = " " + quoted("two.png") + " " + quoted("one.png") + " " + quoted("none.png");
    track("--overlay " + shellQuote(folder + "/one") + frames);
    track("--jobs 3 --overlay " + shellQuote(folder + "/three") + frames);
    for (const char* name : {"000000_two.png", "000001_one.png", "000002_none.png"}) {
        const std::string picture = readFile(folder + "/one/" + name);
        EXPECT_FALSE(picture.empty()) << name;
        EXPECT_EQ(readFile(folder + "/three/" + name), picture) << name;
    }
}

TEST_F(TrackBatchTest, FoundOnlyKeepsTheMarkersFoundAndEveryFrame)
{
    const std::vector<TJson> all = track(quoted("two.png") + " " + quoted("none.png"));
    const std::vector<TJson> found = track("--found-only " + quoted("two.png") + " " + quoted("none.png"));
    ASSERT_EQ(all.size(), 2u);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(all[0]["markers"].elements.size(), static_cast<size_t>(BUILTIN_COUNT));
    ASSERT_EQ(found[0]["markers"].elements.size(), 2u);
    for (size_t i = 0; i < 2; i++) {
        EXPECT_EQ(found[0]["markers"][i]["pattern"].number, static_cast<double>(i));
        EXPECT_TRUE(found[0]["markers"][i]["found"].boolean);
    }
    EXPECT_EQ(detectionsOf(found[0]), detectionsOf(all[0]).substr(0, detectionsOf(found[0]).size()));
    EXPECT_EQ(found[1]["markers"].type, TJson::TType::ARRAY);
    EXPECT_TRUE(found[1]["markers"].elements.empty());
}

TEST_F(TrackBatchTest, CsvHasAHeaderAndARowPerMarkerFound)
{
    const std::string odd = "odd, \"name\".png";
    writeFile(path(odd), encodePng(*_one));
    const std::string frames = quoted("two.png") + " " + quoted(odd) + " " + quoted("none.png") + " " +
                               quoted("missing.png");
    const TCliResult result = runMarkeye("track --format csv " + frames);
    EXPECT_EQ(result.status, 1);
    const std::vector<TJson> json = parseJsonLines(runMarkeye("track " + frames).out);
    ASSERT_EQ(json.size(), 4u);
    const std::vector<TCsvRow> rows = parseCsv(result.out);
    // Header, two markers, one, an empty row, an error row.
    ASSERT_EQ(rows.size(), 6u);
    for (const TCsvRow& row : rows) {
        ASSERT_EQ(row.size(), CSV_COLUMNS);
    }
    EXPECT_EQ(rows[0], (TCsvRow{"frame", "time",  "width", "height", "pattern", "name", "confidence", "direction",
                                "x0",    "y0",    "x1",    "y1",     "x2",      "y2",   "x3",         "y3",
                                "r00",   "r01",   "r02",   "tx",     "r10",     "r11",  "r12",        "ty",
                                "r20",   "r21",   "r22",   "tz",     "track",   "error"}));
    // The rows hold the JSON's numbers, written the same way.
    const std::vector<std::pair<size_t, size_t>> found = {{0, 0}, {0, 1}, {1, 3}};
    const std::vector<std::string> names = {"flag", "arrow", "dots"};
    for (size_t i = 0; i < found.size(); i++) {
        SCOPED_TRACE(i);
        const TCsvRow& row = rows[i + 1];
        const TJson& line = json[found[i].first];
        const TJson& marker = line["markers"][found[i].second];
        EXPECT_EQ(row[0], line["frame"].text);
        EXPECT_EQ(std::stod(row[1]), line["time"].number);
        EXPECT_EQ(row[2], "640");
        EXPECT_EQ(row[3], "480");
        EXPECT_EQ(std::stod(row[4]), marker["pattern"].number);
        EXPECT_EQ(row[5], names[i]);
        EXPECT_EQ(std::stod(row[6]), marker["confidence"].number);
        EXPECT_EQ(std::stod(row[7]), marker["direction"].number);
        for (size_t k = 0; k < 8; k++) {
            EXPECT_EQ(std::stod(row[8 + k]), marker["corners"][k / 2][k % 2].number);
        }
        for (size_t k = 0; k < 12; k++) {
            EXPECT_EQ(std::stod(row[16 + k]), marker["pose"][k / 4][k % 4].number);
        }
        EXPECT_EQ(row[28], "");
        EXPECT_EQ(row[29], "");
    }
    EXPECT_EQ(rows[3][0], path(odd));
    EXPECT_NE(result.out.find("\"" + *_folder + "/odd, \"\"name\"\".png\","), std::string::npos);
    EXPECT_EQ(rows[4][0], path("none.png"));
    EXPECT_EQ(rows[4][2], "640");
    EXPECT_TRUE(std::all_of(rows[4].begin() + 4, rows[4].end(), [](const std::string& i) { return i.empty(); }));
    EXPECT_EQ(rows[5][0], path("missing.png"));
    EXPECT_EQ(rows[5][2], "");
    EXPECT_EQ(rows[5][29], json[3]["error"].text);
}

TEST_F(TrackBatchTest, CsvWithTemporalTrackingHasTrackNumbers)
{
    const TCliResult result =
        succeed(runMarkeye("track --video --format csv " + quoted("one.png") + " " + quoted("one.png")));
    const std::vector<TCsvRow> rows = parseCsv(result.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_FALSE(rows[1][28].empty());
    EXPECT_EQ(rows[2][28], rows[1][28]);
}

// Translations are in the unit of the marker width: twice the width, twice
// the distance, against the rendered pose (markers 80 units wide).
TEST_F(TrackBatchTest, MarkerWidthScalesTheTranslations)
{
    const std::vector<TJson> normal = track(quoted("two.png"));
    const std::vector<TJson> twice = track("--marker-width 160 " + quoted("two.png"));
    ASSERT_EQ(normal.size(), 1u);
    ASSERT_EQ(twice.size(), 1u);
    for (size_t i = 0; i < _two->truth.size(); i++) {
        SCOPED_TRACE(i);
        const TJson& marker = twice[0]["markers"][i];
        ASSERT_TRUE(marker["found"].boolean);
        const VoTrack::VoARDoubleMatrix34 truth = _two->truth[i].pose;
        const VoTrack::VoARDoubleMatrix34 pose = poseOf(marker);
        EXPECT_LT(std::hypot(pose.m03 - 2 * truth.m03, pose.m13 - 2 * truth.m13, pose.m23 - 2 * truth.m23) /
                      (2 * truth.m23),
                  TRANSLATION_TOLERANCE);
        // The rotation stays; the translation doubles to rounding (relative
        // 1e-9).
        for (size_t row = 0; row < 3; row++) {
            EXPECT_NEAR(marker["pose"][row][0].number, normal[0]["markers"][i]["pose"][row][0].number, 1e-9);
            const double t = normal[0]["markers"][i]["pose"][row][3].number;
            EXPECT_NEAR(marker["pose"][row][3].number, 2 * t, 1e-9 * std::abs(2 * t) + 1e-9);
        }
    }
}

TEST_F(TrackBatchTest, SummaryIsOneLine)
{
    const TCliResult result = runMarkeye("track --jobs 2 " + quoted("two.png") + " " + quoted("one.png") + " " +
                                         quoted("none.png") + " " + quoted("missing.png"));
    EXPECT_EQ(result.status, 1);
    const std::string::size_type last = result.err.rfind('\n', result.err.size() - 2);
    const std::string summary = result.err.substr(last + 1);
    EXPECT_TRUE(endsWithSummary(result.err, 3)) << result.err;
    EXPECT_EQ(summary.rfind("markeye track: 3 frames tracked (1 unreadable) in ", 0), 0u) << summary;
    EXPECT_NE(summary.find(" frames per second with reading and decoding; tracking "), std::string::npos);
    EXPECT_NE(summary.find("; a marker found in 2 frames; per pattern: 0 flag 1, 1 arrow 1, 2 hook 0, 3 dots 1, "),
              std::string::npos)
        << summary;
    EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 1);

    const TCliResult none = runMarkeye("track " + quoted("missing.png"));
    EXPECT_EQ(withoutSummary(none.err).find("markeye track"), std::string::npos);
    EXPECT_NE(none.err.find("markeye track: no frame tracked (1 unreadable)\n"), std::string::npos) << none.err;
}
