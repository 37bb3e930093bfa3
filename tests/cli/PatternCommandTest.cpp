#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "BuiltinMarkers.h"
#include "CliRunner.h"
#include "DetectionScene.h"
#include "MarkerPose.h"
#include "TestImages.h"
#include "TestJson.h"
#include "TrackOutput.h"
#include "markeye/ImageFile.h"

namespace {

class BuiltinPatternFileTest : public ::testing::TestWithParam<const char*>
{
};

}  // namespace

// The pattern files shipped in data/patterns are what "pattern make" makes.
TEST_P(BuiltinPatternFileTest, MakeReproducesTheShippedFile)
{
    const std::string name = GetParam();
    const std::string path = ::testing::TempDir() + "builtin_" + name + ".patt";
    const TCliResult made = runMarkeye("pattern make --builtin " + name + " -o " + path);
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string shipped = readFile(std::string(MARKEYE_DATA_DIR) + "/patterns/" + name + ".patt");
    EXPECT_FALSE(shipped.empty());
    EXPECT_EQ(readFile(path), shipped);
}

INSTANTIATE_TEST_SUITE_P(Builtins, BuiltinPatternFileTest,
                         ::testing::Values("flag", "arrow", "hook", "dots", "steps", "key", "tee", "moon"));

TEST(PatternCommandTest, RefusesUnknownMarkersAndGridSizes)
{
    const TCliResult unknown = runMarkeye("pattern make --builtin nosuch -o /dev/null");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("--builtin: expected one of flag, arrow, hook, dots, steps, key, tee, moon, got "
                               "\"nosuch\"\nusage:"),
              std::string::npos)
        << unknown.err;
    const TCliResult grid = runMarkeye("pattern make --builtin flag --size 12 -o /dev/null");
    EXPECT_EQ(grid.status, 2);
    EXPECT_NE(grid.err.find("--size: expected N or WxH with each side 1, 2, 4, 8, 16, 32 or 64, got \"12\"\nusage:"),
              std::string::npos)
        << grid.err;
}

namespace {

constexpr int32_t PICTURE_SIZE = 16;

// The built-in picture of that name with a black border a quarter of the
// side wide: the whole marker, one pixel per cell.
Markeye::MarkerPicture wholeMarker(const Markeye::MarkerPicture& i_picture)
{
    Markeye::MarkerPicture marker(2 * PICTURE_SIZE, 2 * PICTURE_SIZE);
    for (int32_t y = 0; y < 2 * PICTURE_SIZE; y++) {
        for (int32_t x = 0; x < 2 * PICTURE_SIZE; x++) {
            const int32_t px = x - PICTURE_SIZE / 2;
            const int32_t py = y - PICTURE_SIZE / 2;
            const bool inside = px >= 0 && py >= 0 && px < PICTURE_SIZE && py < PICTURE_SIZE;
            const uint8_t* rgb = inside ? i_picture.getPixel(px, py) : nullptr;
            marker.setPixel(x, y, inside ? rgb[0] : 0, inside ? rgb[1] : 0, inside ? rgb[2] : 0);
        }
    }
    return marker;
}

class PatternFromPictureTest : public ::testing::TestWithParam<int32_t>
{
protected:
    std::string shippedFile() const
    {
        return readFile(std::string(MARKEYE_DATA_DIR) + "/patterns/" + Markeye::BuiltinMarkers::name(GetParam()) +
                        ".patt");
    }
};

}  // namespace

// The picture at four times its size, and the whole marker with its border
// at four times its size, both give the shipped pattern file.
TEST_P(PatternFromPictureTest, MakesTheShippedFile)
{
    const std::string folder = testFolder();
    const Markeye::MarkerPicture& picture = MarkeyeTest::builtinPicture(GetParam());
    writeFile(folder + "/picture.png", CliTest::encodePng(CliTest::pictureFrame(picture, 4)));
    writeFile(folder + "/marker.ppm", CliTest::encodePpm(CliTest::pictureFrame(wholeMarker(picture), 4)));
    const TCliResult plain = runMarkeye("pattern make " + folder + "/picture.png -o " + folder + "/plain.patt");
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(readFile(folder + "/plain.patt"), shippedFile());
    const TCliResult bordered =
        runMarkeye("pattern make " + folder + "/marker.ppm --with-border -o " + folder + "/bordered.patt");
    ASSERT_EQ(bordered.status, 0) << bordered.err;
    EXPECT_EQ(readFile(folder + "/bordered.patt"), shippedFile());
}

INSTANTIATE_TEST_SUITE_P(Builtins, PatternFromPictureTest, ::testing::Values(1, 7));

// A pattern made from a picture finds the marker turned by every quarter
// turn, each with its own direction and with the vertices in marker order.
TEST(PatternRoundTripTest, FindsTheMarkerAtEveryDirection)
{
    const std::string folder = testFolder();
    const int32_t steps = Markeye::BuiltinMarkers::find("steps");
    const Markeye::MarkerPicture& picture = MarkeyeTest::builtinPicture(steps);
    writeFile(folder + "/steps.png", CliTest::encodePng(CliTest::pictureFrame(picture, 3)));
    ASSERT_EQ(runMarkeye("pattern make " + folder + "/steps.png -o " + folder + "/steps.patt").status, 0);
    std::vector<CliTest::TFrame> frames;
    std::string frame_arguments;
    for (int quarter_turns = 0; quarter_turns < 4; quarter_turns++) {
        frames.push_back(CliTest::renderFrame(
            {{&picture, Markeye::MarkerPose::make(90.0 * quarter_turns + 8.0, 15.0, -10.0, 20.0, -10.0, 420.0)}}));
        const std::string path = folder + "/turn" + std::to_string(quarter_turns) + ".png";
        writeFile(path, CliTest::encodePng(frames.back()));
        frame_arguments += " " + path;
    }
    const TCliResult result = runMarkeye("track --pattern " + folder + "/steps.patt" + frame_arguments);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<TJson> lines = parseJsonLines(result.out);
    ASSERT_EQ(lines.size(), 4u);
    std::set<double> directions;
    for (size_t i = 0; i < 4; i++) {
        SCOPED_TRACE(::testing::Message() << "quarter turns " << i);
        const TJson& marker = lines[i]["markers"][0];
        ASSERT_TRUE(marker["found"].boolean);
        EXPECT_GT(marker["confidence"].number, 0.9);
        EXPECT_LT(CliTest::worstCornerError(marker, frames[i].truth[0]), 1.5);
        directions.insert(marker["direction"].number);
    }
    EXPECT_EQ(directions.size(), 4u);
}

TEST(PatternCommandTest, ReadsJpegColoursInTheirPlanes)
{
    const std::string folder = testFolder();
    // A plain picture makes no pattern; its cells are read all alike.
    writeFile(folder + "/small.jpg", CliTest::smallJpeg());
    const TCliResult plain = runMarkeye("pattern make " + folder + "/small.jpg --size 2 -o " + folder + "/p.patt");
    EXPECT_EQ(plain.status, 1);
    EXPECT_NE(plain.err.find("too uniform (its cells' brightness has a standard deviation of 0.0"), std::string::npos)
        << plain.err;
    // Left half red 200, green 120, blue 40, right half white; the halves
    // fill whole JPEG blocks, so that they keep their colours.
    markeye::Image picture(64, 64, markeye::PixelFormat::BGRX, 255);
    for (int32_t y = 0; y < 64; y++) {
        for (int32_t x = 0; x < 32; x++) {
            uint8_t* bgr = picture.pixel(x, y);
            bgr[0] = 40;
            bgr[1] = 120;
            bgr[2] = 200;
        }
    }
    markeye::writeJpeg(folder + "/halves.jpg", picture.view());
    ASSERT_EQ(runMarkeye("pattern make " + folder + "/halves.jpg --size 2 -o " + folder + "/two.patt").status, 0);
    std::istringstream numbers(readFile(folder + "/two.patt"));
    // Block 0, planes blue, green, red, each row 0 then row 1 of two cells;
    // JPEG may miss by a few levels.
    for (int expected : {40, 255, 40, 255, 120, 255, 120, 255, 200, 255, 200, 255}) {
        int value = -1;
        numbers >> value;
        EXPECT_NEAR(value, expected, 4);
    }
}

TEST(PatternCommandTest, RefusesAPictureWithoutBorder)
{
    const std::string folder = testFolder();
    writeFile(folder + "/white.png", CliTest::encodePng(CliTest::pictureFrame(Markeye::MarkerPicture(16, 16), 2)));
    const TCliResult result =
        runMarkeye("pattern make " + folder + "/white.png --with-border -o " + folder + "/w.patt");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "markeye: " + folder +
                              "/white.png: the outer quarter is not a black border (mean brightness 255 of 255); "
                              "crop the picture to the marker's outer edge, or leave out --with-border\n");
}

// The text picture of each direction block is the upright picture turned
// counter-clockwise that many quarter turns: block 1's cell (r, c) is the
// upright cell (c, N - 1 - r).
TEST(PatternCommandTest, ShowDrawsTheDirectionBlocks)
{
    const int32_t arrow = Markeye::BuiltinMarkers::find("arrow");
    const TCliResult result = runMarkeye(std::string("pattern show ") + MARKEYE_DATA_DIR + "/patterns/arrow.patt");
    ASSERT_EQ(result.status, 0) << result.err;
    std::vector<std::string> lines;
    std::istringstream text(result.out);
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    ASSERT_GE(lines.size(), 3u + PICTURE_SIZE);
    EXPECT_EQ(lines[0], std::string("pattern file ") + MARKEYE_DATA_DIR + "/patterns/arrow.patt: 16 x 16 grid");
    EXPECT_EQ(lines[2].rfind("direction 0", 0), 0u);
    EXPECT_NE(lines[2].find("direction 1"), std::string::npos);
    const Markeye::MarkerPicture& picture = MarkeyeTest::builtinPicture(arrow);
    const auto isBlack = [&](int32_t i_row, int32_t i_column) { return picture.getPixel(i_column, i_row)[0] == 0; };
    // Block 1 starts after block 0's 32 characters and a gap of 3.
    const size_t block_1 = 2 * PICTURE_SIZE + 3;
    for (int32_t r = 0; r < PICTURE_SIZE; r++) {
        const std::string row = lines[3 + static_cast<size_t>(r)] + std::string(2 * block_1, ' ');
        for (int32_t c = 0; c < PICTURE_SIZE; c++) {
            EXPECT_EQ(row[2 * static_cast<size_t>(c)] == '@', isBlack(r, c)) << "block 0, cell " << r << ", " << c;
            EXPECT_EQ(row[block_1 + 2 * static_cast<size_t>(c)] == '@', isBlack(c, PICTURE_SIZE - 1 - r))
                << "block 1, cell " << r << ", " << c;
        }
    }
}

TEST(PatternCommandTest, ShowWritesAPictureAndRefusesOddFiles)
{
    const std::string folder = testFolder();
    const TCliResult drawn =
        runMarkeye(std::string("pattern show ") + MARKEYE_DATA_DIR + "/patterns/tee.patt -o " + folder + "/tee.png");
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_EQ(readFile(folder + "/tee.png").substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    writeFile(folder + "/odd.patt", std::string(100 * 2, ' ').replace(0, 3, "255") + " 1 2 3");
    const TCliResult odd = runMarkeye("pattern show " + folder + "/odd.patt");
    EXPECT_EQ(odd.status, 1);
    EXPECT_EQ(odd.err, "markeye: pattern file " + folder +
                           "/odd.patt holds 4 numbers, which fill no square grid (16 x 16 takes 3072); give the grid "
                           "size\n");
}
