// "markeye board make|show" and "markeye pattern generate", run on files as
// users run them.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "TestImages.h"
#include "TestJson.h"
#include "markeye/Pattern.h"

namespace {

constexpr double MM_PER_INCH = 25.4;

std::vector<std::string> linesOf(const std::string& i_text)
{
    std::vector<std::string> lines;
    std::istringstream stream(i_text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Pixels of a length in millimetres at a resolution.
long pixelsOf(double i_mm, double i_dpi)
{
    return std::lround(i_mm / MM_PER_INCH * i_dpi);
}

}  // namespace

// 5 x 7 markers of 30 mm, 6 mm apart: 174 x 246 mm, and a white margin of
// 10 mm around them in the picture, the caption under it.
TEST(BoardCommandTest, MakeWritesABoardThatShowReadsAndAPictureThatPrintsAtSize)
{
    const std::string folder = testFolder();
    const TCliResult made = runMarkeye("board make --grid 5x7 --marker-mm 30 --gap-mm 6 -o " + folder +
                                       "/board.json --image " + folder + "/board.png --dpi 300");
    ASSERT_EQ(made.status, 0) << made.err;
    const TJson board = TJson::parse(readFile(folder + "/board.json"));
    EXPECT_EQ(board["format"].text, "markeye-board");
    EXPECT_EQ(board["version"].number, 1.0);
    EXPECT_EQ(board["name"].text, "grid 5x7");
    EXPECT_EQ(board["unit"].text, "mm");
    ASSERT_EQ(board["markers"].elements.size(), 35u);
    const TJson& first = board["markers"][0];
    EXPECT_EQ(first["pattern"].text, "generated:0");
    EXPECT_EQ(first["centre"][0].number, -72.0);
    EXPECT_EQ(first["centre"][1].number, 108.0);
    EXPECT_EQ(first["side"].number, 30.0);
    EXPECT_EQ(board["markers"][34]["pattern"].text, "generated:34");
    EXPECT_EQ(board["markers"][34]["centre"][0].number, 72.0);
    EXPECT_EQ(board["markers"][34]["centre"][1].number, -108.0);

    const CliTest::TPngFacts png = CliTest::pngFacts(readFile(folder + "/board.png"));
    EXPECT_EQ(png.width, static_cast<uint32_t>(pixelsOf(174.0 + 20.0, 300.0)));
    // The caption takes at most 30 mm under the board and its margin.
    EXPECT_GT(png.height, static_cast<uint32_t>(pixelsOf(246.0 + 20.0, 300.0)));
    EXPECT_LT(png.height, static_cast<uint32_t>(pixelsOf(246.0 + 20.0 + 30.0, 300.0)));
    EXPECT_EQ(png.pixels_per_metre, static_cast<uint32_t>(std::lround(300.0 / 0.0254)));

    const TCliResult shown = runMarkeye("board show " + folder + "/board.json");
    ASSERT_EQ(shown.status, 0) << shown.err;
    const std::vector<std::string> lines = linesOf(shown.out);
    ASSERT_GE(lines.size(), 6u + 35u);
    EXPECT_EQ(lines[0], "board file " + folder + "/board.json: grid 5x7");
    EXPECT_EQ(lines[1], "unit: mm");
    EXPECT_EQ(lines[2], "markers: 35 of 30 mm");
    EXPECT_EQ(lines[3], "extent: 174 x 246 mm (x -87 to 87, y -123 to 123)");
    EXPECT_NE(lines[6].find("generated:0"), std::string::npos) << lines[6];
}

// The drawn board tracked with the generated patterns' files: marker k is
// found for pattern k, and no marker for another.
TEST(BoardCommandTest, DrawnBoardIsFoundWithGeneratedPatternFiles)
{
    const std::string folder = testFolder();
    ASSERT_EQ(runMarkeye("board make --grid 3x2 --marker-mm 40 --gap-mm 8 -o " + folder + "/b.json").status, 0);
    const TCliResult drawn = runMarkeye("board show " + folder + "/b.json -o " + folder + "/b.png --dpi 100");
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_EQ(CliTest::pngFacts(readFile(folder + "/b.png")).width,
              static_cast<uint32_t>(pixelsOf(3 * 40 + 2 * 8 + 20, 100.0)));
    const TCliResult generated = runMarkeye("pattern generate --count 6 --out " + folder + "/patterns");
    ASSERT_EQ(generated.status, 0) << generated.err;
    std::string patterns;
    for (int k = 0; k < 6; k++) {
        patterns += " --pattern " + folder + "/patterns/generated_" + std::to_string(k) + ".patt";
    }
    const TCliResult tracked = runMarkeye("track" + patterns + " " + folder + "/b.png");
    ASSERT_EQ(tracked.status, 0) << tracked.err;
    const std::vector<TJson> frames = parseJsonLines(tracked.out);
    ASSERT_EQ(frames.size(), 1u);
    const TJson& markers = frames[0]["markers"];
    ASSERT_EQ(markers.elements.size(), 6u);
    for (size_t k = 0; k < 6; k++) {
        EXPECT_EQ(markers[k]["pattern"].number, static_cast<double>(k));
        EXPECT_TRUE(markers[k]["found"].boolean) << "marker " << k;
    }
}

TEST(BoardCommandTest, PatternGenerateWritesTheLibrarysPatterns)
{
    const std::string folder = testFolder();
    const TCliResult made = runMarkeye("pattern generate --count 4 --start 60 -o " + folder + "/g");
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.err, "wrote 4 pattern files into " + folder +
                            "/g: generated_60.patt to generated_63.patt (16 x 16)\n");
    for (int i = 60; i < 64; i++) {
        const std::string path = folder + "/g/generated_" + std::to_string(i) + ".patt";
        SCOPED_TRACE(path);
        const std::string expected = folder + "/expected.patt";
        markeye::Pattern::generated(i).save(expected);
        EXPECT_EQ(readFile(path), readFile(expected));
        const TCliResult shown = runMarkeye("pattern show " + path);
        EXPECT_EQ(shown.status, 0) << shown.err;
        EXPECT_EQ(linesOf(shown.out).at(0), "pattern file " + path + ": 16 x 16 grid");
    }
}

namespace {

class BoardCommandLineTest : public ::testing::TestWithParam<const char*>
{
};

}  // namespace

TEST_P(BoardCommandLineTest, NotUnderstoodGivesTheUsageAndStatus2)
{
    const std::string folder = testFolder();
    std::string arguments = GetParam();
    for (std::string::size_type at; (at = arguments.find("DIR")) != std::string::npos;) {
        arguments.replace(at, 3, folder);
    }
    const TCliResult result = runMarkeye(arguments);
    EXPECT_EQ(result.status, 2) << result.err;
    const std::string command = arguments.substr(0, arguments.find(' '));
    EXPECT_EQ(result.err.rfind("markeye " + command + ": ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("\nusage: markeye " + command), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BoardCommandLineTest,
    ::testing::Values("board", "board frob", "board make -o DIR/b.json", "board make --grid 5x7",
                      "board make --grid 5by7 -o DIR/b.json", "board make --grid 5x7 --marker-mm abc -o DIR/b.json",
                      "board make --grid 5x7 --dpi 0 -o DIR/b.json", "board make --grid 5x7 -o DIR/b.json extra",
                      "board make --grid 5x7 --colour red -o DIR/b.json", "board make --grid 5x7 -o",
                      "board show", "board show DIR/a.json DIR/b.json", "board show DIR/a.json --dpi -1",
                      "pattern generate -o DIR", "pattern generate --count 0 -o DIR",
                      "pattern generate --count 65 -o DIR", "pattern generate --count 5 --start 62 -o DIR",
                      "pattern generate --count 3", "pattern generate --count 3 -o DIR --out DIR",
                      "pattern generate --count x -o DIR", "pattern generate --count 2 -o DIR extra"));

TEST(BoardCommandTest, FailuresOfWorkNameTheFileAndGiveStatus1)
{
    const std::string folder = testFolder();
    const TCliResult missing = runMarkeye("board show " + folder + "/missing.json");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("markeye: cannot open board file " + folder + "/missing.json: ", 0), 0u)
        << missing.err;
    writeFile(folder + "/bad.json", "{\"format\": \"markeye-board\", \"version\": 1,\n \"unit\": \"mm\"}\n");
    const TCliResult bad = runMarkeye("board show " + folder + "/bad.json");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "markeye: board file " + folder + "/bad.json, line 1: no \"markers\"\n");
    const TCliResult many = runMarkeye("board make --grid 9x8 -o " + folder + "/b.json");
    EXPECT_EQ(many.status, 1);
    EXPECT_EQ(many.err, "markeye: board: a grid of 9 x 8 needs 72 generated patterns, and there are 64\n");
    const TCliResult unwritable = runMarkeye("board make --grid 2x2 -o " + folder + "/no/such/b.json");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find(folder + "/no/such/b.json"), std::string::npos) << unwritable.err;
    const TCliResult huge = runMarkeye("board make --grid 8x8 --marker-mm 200 -o " + folder + "/h.json --image " +
                                       folder + "/h.png --dpi 1200");
    EXPECT_EQ(huge.status, 1);
    EXPECT_NE(huge.err.find("is too large"), std::string::npos) << huge.err;
}
