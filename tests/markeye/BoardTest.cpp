// markeye::Board: grid boards, board files written and read back, files
// written here by hand with one fault each, and the printable picture.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "LibraryTestSupport.h"
#include "markeye/markeye.h"

using namespace LibraryTest;
using markeye::Board;
using markeye::BoardMarker;
using markeye::Pattern;

namespace {

// A board file's text from its markers' lines, in version 1.
std::string boardText(const std::string& i_markers, const std::string& i_unit = "mm")
{
    return "{\"format\": \"markeye-board\", \"version\": 1, \"name\": \"test\", \"unit\": \"" + i_unit +
           "\",\n \"markers\": [\n" + i_markers + "\n]}\n";
}

std::string markerLine(const std::string& i_pattern, double i_x, double i_y, double i_side)
{
    char text[160];
    std::snprintf(text, sizeof text, "{\"pattern\": \"%s\", \"centre\": [%.17g, %.17g], \"side\": %.17g}",
                  i_pattern.c_str(), i_x, i_y, i_side);
    return text;
}

std::string textOf(const std::string& i_path)
{
    const std::vector<uint8_t> bytes = readBytes(i_path);
    return std::string(bytes.begin(), bytes.end());
}

void expectSameBoard(const Board& i_expected, const Board& i_actual)
{
    EXPECT_EQ(i_actual.name(), i_expected.name());
    EXPECT_EQ(i_actual.unit(), i_expected.unit());
    ASSERT_EQ(i_actual.markers().size(), i_expected.markers().size());
    ASSERT_EQ(i_actual.patterns().size(), i_expected.markers().size());
    for (size_t i = 0; i < i_expected.markers().size(); i++) {
        const BoardMarker& a = i_expected.markers()[i];
        const BoardMarker& b = i_actual.markers()[i];
        SCOPED_TRACE(::testing::Message() << "marker " << i);
        EXPECT_EQ(b.pattern_name, a.pattern_name);
        // Written with as many digits as read back the same double.
        EXPECT_EQ(b.centre_x, a.centre_x);
        EXPECT_EQ(b.centre_y, a.centre_y);
        EXPECT_EQ(b.side, a.side);
        EXPECT_EQ(i_actual.patterns()[i].numbers(), i_expected.patterns()[i].numbers());
    }
}

class BoardTest : public ::testing::Test
{
protected:
    std::string write(const std::string& i_text, const std::string& i_tag = "board.json")
    {
        const std::string path = _files.path(i_tag);
        writeText(path, i_text);
        return path;
    }

    ScratchFiles _files;
};

struct TGridCase
{
    const char* name;
    int32_t columns;
    int32_t rows;
    double side;
    double gap;
};

void PrintTo(const TGridCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

class BoardGridTest : public ::testing::TestWithParam<TGridCase>
{
};

}  // namespace

// Marker k of a C x R grid is at column k mod C, row k / C from the top
// left, showing generated pattern k; the pitch is side + gap and the
// origin the board's centre.
TEST_P(BoardGridTest, PutsGeneratedPatternsRowByRowAroundTheCentre)
{
    const TGridCase& grid = GetParam();
    const Board board = Board::grid(grid.columns, grid.rows, grid.side, grid.gap);
    ASSERT_EQ(board.markers().size(), static_cast<size_t>(grid.columns * grid.rows));
    EXPECT_EQ(board.unit(), "mm");
    EXPECT_EQ(board.name(), "grid " + std::to_string(grid.columns) + "x" + std::to_string(grid.rows));
    const double pitch = grid.side + grid.gap;
    const double width = grid.columns * grid.side + (grid.columns - 1) * grid.gap;
    const double height = grid.rows * grid.side + (grid.rows - 1) * grid.gap;
    for (size_t k = 0; k < board.markers().size(); k++) {
        const BoardMarker& marker = board.markers()[k];
        const double column = static_cast<double>(k % static_cast<size_t>(grid.columns));
        const double row = static_cast<double>(k / static_cast<size_t>(grid.columns));
        SCOPED_TRACE(::testing::Message() << "marker " << k);
        EXPECT_EQ(marker.pattern_name, "generated:" + std::to_string(k));
        EXPECT_EQ(board.patterns()[k].numbers(), Pattern::generated(static_cast<int32_t>(k)).numbers());
        EXPECT_EQ(marker.side, grid.side);
        // From the board's left and top edges; 1e-9 mm for rounding.
        EXPECT_NEAR(marker.centre_x + width / 2.0, grid.side / 2.0 + column * pitch, 1e-9);
        EXPECT_NEAR(height / 2.0 - marker.centre_y, grid.side / 2.0 + row * pitch, 1e-9);
    }
    const std::array<double, 4> extent = board.extent();
    EXPECT_NEAR(extent[0], -width / 2.0, 1e-9);
    EXPECT_NEAR(extent[1], -height / 2.0, 1e-9);
    EXPECT_NEAR(extent[2], width / 2.0, 1e-9);
    EXPECT_NEAR(extent[3], height / 2.0, 1e-9);
    // The gap between the right edge of marker 0 and the left edge of 1.
    if (grid.columns > 1) {
        const double gap = board.markers()[1].centre_x - board.markers()[0].centre_x - grid.side;
        EXPECT_NEAR(gap, grid.gap, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BoardGridTest,
                         ::testing::Values(TGridCase{"One", 1, 1, 30.0, 6.0}, TGridCase{"FiveBySeven", 5, 7, 30.0, 6.0},
                                           TGridCase{"EightByEight", 8, 8, 20.0, 4.0},
                                           TGridCase{"Row", 6, 1, 25.5, 0.5}, TGridCase{"Column", 1, 4, 40.0, 12.0}),
                         [](const ::testing::TestParamInfo<TGridCase>& i_info) {
                             return std::string(i_info.param.name);
                         });

TEST(BoardGridErrorTest, SizesOutOfRangeAreRefused)
{
    EXPECT_TRUE(holds(errorOf([] { Board::grid(0, 3, 30, 6); }), "a grid of 0 x 3 holds no marker"));
    EXPECT_TRUE(holds(errorOf([] { Board::grid(9, 8, 30, 6); }), "9 x 8 needs 72 generated patterns, and there are 64"));
    EXPECT_TRUE(holds(errorOf([] { Board::grid(5, 7, 0, 6); }), "the marker side is 0"));
    EXPECT_TRUE(holds(errorOf([] { Board::grid(5, 7, 30, 0); }), "the gap between markers is 0"));
    EXPECT_TRUE(holds(errorOf([] { Board::grid(5, 7, 30, -1); }), "not a positive number"));
    EXPECT_TRUE(holds(errorOf([] { Board::grid(5, 7, std::nan(""), 6); }), "the marker side"));
    EXPECT_TRUE(holds(errorOf([] { Board::grid(5, 7, 30, 6, "px"); }), "unit \"px\" is not one of mm, cm, m, in"));
    EXPECT_EQ(Board::grid(2, 2, 1, 0.25, "in", "mine").name(), "mine");
}

TEST_F(BoardTest, GridRoundTripsThroughItsJsonAndItsFile)
{
    const Board board = Board::grid(5, 7, 30.0, 6.0, "mm", "a \"quoted\" name\twith a tab, \xC3\xA9");
    expectSameBoard(board, Board::fromJson(board.toJson()));
    const std::string path = _files.path("grid.json");
    board.save(path);
    expectSameBoard(board, Board::fromFile(path));
    // Numbers that need all 17 digits.
    const Board odd = Board::grid(3, 2, 1.0 / 3.0, 0.1, "in");
    expectSameBoard(odd, Board::fromJson(odd.toJson()));
}

TEST_F(BoardTest, FileNamesBuiltinGeneratedAndFilePatterns)
{
    const std::string pattern_path = _files.path("own.patt");
    Pattern::builtin("moon").save(pattern_path);
    const std::string file_name = pattern_path.substr(pattern_path.find_last_of('/') + 1);
    const std::string path = write(boardText(markerLine("builtin:flag", -50, 0, 40) + ",\n" +
                                             markerLine("generated:12", 0, 0, 40) + ",\n" +
                                             markerLine(file_name, 50, 10.5, 30)));
    const Board board = Board::fromFile(path);
    ASSERT_EQ(board.patterns().size(), 3u);
    EXPECT_EQ(board.name(), "test");
    EXPECT_EQ(board.patterns()[0].numbers(), Pattern::builtin("flag").numbers());
    EXPECT_EQ(board.patterns()[1].numbers(), Pattern::generated(12).numbers());
    EXPECT_EQ(board.patterns()[2].numbers(), Pattern::builtin("moon").numbers());
    // The file's name as written, looked up beside the board file.
    EXPECT_EQ(board.markers()[2].pattern_name, file_name);
    EXPECT_EQ(board.markers()[2].centre_y, 10.5);
    const std::array<double, 4> extent = board.extent();
    EXPECT_EQ(extent[0], -70.0);
    EXPECT_EQ(extent[1], -20.0);
    EXPECT_EQ(extent[2], 65.0);
    EXPECT_EQ(extent[3], 25.5);
    // Read from its text, the file pattern is looked for in the folder given.
    const std::string folder = pattern_path.substr(0, pattern_path.find_last_of('/'));
    expectSameBoard(board, Board::fromJson(textOf(path), folder));
    EXPECT_TRUE(holds(errorOf([&] { Board::fromJson(textOf(path), "/no/such/folder"); }),
                      "/no/such/folder/" + file_name));
}

namespace {

struct TBadBoard
{
    const char* name;
    std::string text;
    // Parts of the message after the file's name.
    std::vector<std::string> parts;
};

void PrintTo(const TBadBoard& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

class BoardFileErrorTest : public BoardTest, public ::testing::WithParamInterface<TBadBoard>
{
};

const std::string GOOD_MARKER = markerLine("generated:0", 0, 0, 30);

std::string nested(int32_t i_depth)
{
    return "{\"format\": \"markeye-board\", \"x\": " + std::string(static_cast<size_t>(i_depth), '[') +
           std::string(static_cast<size_t>(i_depth), ']') + "}";
}

}  // namespace

TEST_P(BoardFileErrorTest, IsRefusedNamingTheFileAndTheFault)
{
    const std::string path = write(GetParam().text);
    const std::string message = errorOf([&] { Board::fromFile(path); });
    EXPECT_EQ(message.rfind("board file " + path, 0), 0u) << message;
    for (const std::string& part : GetParam().parts) {
        EXPECT_TRUE(holds(message, part)) << message;
    }
    EXPECT_EQ(message.find('\n'), std::string::npos) << "one line: " << message;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BoardFileErrorTest,
    ::testing::Values(
        TBadBoard{"Empty", "  \n", {"line 2, column 1", "empty"}},
        TBadBoard{"NotJson", "format: markeye-board", {"line 1, column 1", "expected a value"}},
        TBadBoard{"Truncated", "{\"format\": \"markeye-board\",\n \"name\": \"te", {"line 2", "ends inside a string"}},
        TBadBoard{"TrailingComma", "{\"format\": \"markeye-board\",\n}", {"line 2, column 1", "expected a key"}},
        TBadBoard{"TextAfterValue", boardText(GOOD_MARKER) + "{}", {"line 5", "unexpected text after"}},
        TBadBoard{"KeyTwice", "{\"unit\": \"mm\", \"unit\": \"cm\"}", {"key \"unit\" given twice"}},
        TBadBoard{"TooDeep", nested(40), {"nested deeper than 32 levels"}},
        TBadBoard{"HugeNumber", "{\"format\": \"markeye-board\", \"version\": 1e999}",
                  {"line 1, column 40", "number 1e999 is out of range"}},
        TBadBoard{"BadEscape", "{\"name\": \"a\\qb\"}", {"unknown escape"}},
        TBadBoard{"LoneSurrogate", "{\"name\": \"\\ud800x\"}", {"high surrogate"}},
        TBadBoard{"LineBreakInString", "{\"name\": \"a\nb\"}", {"line 1", "control character"}},
        TBadBoard{"NotAnObject", "[1, 2]", {"line 1", "the file is an array, not an object"}},
        TBadBoard{"NoFormat", "{\"version\": 1}", {"no \"format\""}},
        TBadBoard{"OtherFormat", "{\"format\": \"board\"}", {"not a board file: \"format\" is \"board\""}},
        TBadBoard{"NewerVersion",
                  "{\"format\": \"markeye-board\", \"version\": 2, \"unit\": \"mm\", \"markers\": []}",
                  {"version 2 is not read here (version 1 is)"}},
        TBadBoard{"UnknownKey", "{\"format\": \"markeye-board\", \"colour\": 1}", {"unknown key \"colour\""}},
        TBadBoard{"NoUnit", "{\"format\": \"markeye-board\", \"version\": 1, \"markers\": []}", {"no \"unit\""}},
        TBadBoard{"PixelUnit", boardText(GOOD_MARKER, "px"), {"line 1", "unit \"px\" is not one of mm, cm, m, in"}},
        TBadBoard{"NameNotString",
                  "{\"format\": \"markeye-board\", \"version\": 1, \"name\": 5}", {"\"name\" is a number, not a string"}},
        TBadBoard{"NoMarkers", boardText(""), {"line 2", "at least one marker"}},
        TBadBoard{"MarkerNotObject", boardText("7"), {"line 3", "marker 0: is a number, not an object"}},
        TBadBoard{"MarkerUnknownKey", boardText("{\"pattern\": \"generated:0\", \"sides\": 3}"),
                  {"line 3", "marker 0: unknown key \"sides\""}},
        TBadBoard{"NoSide", boardText("{\"pattern\": \"generated:0\", \"centre\": [0, 0]}"),
                  {"marker 0: no \"side\""}},
        TBadBoard{"SideText", boardText("{\"pattern\": \"generated:0\", \"centre\": [0, 0], \"side\": \"30\"}"),
                  {"marker 0: \"side\" is a string, not a number"}},
        TBadBoard{"SideNegative", boardText(markerLine("generated:0", 0, 0, -30)), {"\"side\" is -30, not positive"}},
        TBadBoard{"CentreOfThree", boardText("{\"pattern\": \"generated:0\", \"centre\": [0, 0, 0], \"side\": 3}"),
                  {"marker 0: \"centre\" has 3 numbers, not 2"}},
        TBadBoard{"CentreNull", boardText("{\"pattern\": \"generated:0\", \"centre\": [0, null], \"side\": 3}"),
                  {"\"centre\" y is null, not a number"}},
        TBadBoard{"GeneratedOutOfRange", boardText(GOOD_MARKER + ",\n" + markerLine("generated:64", 100, 0, 30)),
                  {"line 4", "marker 1: no generated pattern 64"}},
        TBadBoard{"GeneratedNotNumber", boardText(markerLine("generated:x", 0, 0, 30)),
                  {"marker 0: pattern \"generated:x\": expected generated:N"}},
        TBadBoard{"UnknownBuiltin", boardText(markerLine("builtin:sun", 0, 0, 30)),
                  {"marker 0: no built-in marker named \"sun\""}},
        TBadBoard{"MissingPatternFile", boardText(markerLine("no_such.patt", 0, 0, 30)),
                  {"marker 0: cannot open pattern file", "no_such.patt"}},
        TBadBoard{"OnePatternTwice", boardText(GOOD_MARKER + ",\n" + markerLine("generated:0", 100, 0, 30)),
                  {"line 4", "markers 0 and 1 show one pattern (generated:0, generated:0)"}},
        TBadBoard{"SamePatternTwoNames",
                  boardText(markerLine("builtin:flag", 0, 0, 30) + ",\n" + markerLine(dataPath("patterns/flag.patt"), 100, 0, 30)),
                  {"markers 0 and 1 show one pattern"}},
        TBadBoard{"Overlapping", boardText(GOOD_MARKER + ",\n" + markerLine("generated:1", 29.9, 0, 30)),
                  {"markers 0 and 1 overlap or touch"}},
        TBadBoard{"Touching", boardText(GOOD_MARKER + ",\n" + markerLine("generated:1", 0, -30, 30)),
                  {"markers 0 and 1 overlap or touch"}}),
    [](const ::testing::TestParamInfo<TBadBoard>& i_info) { return std::string(i_info.param.name); });

TEST_F(BoardTest, FilesThatCannotBeReadAreRefusedNamingThem)
{
    const std::string missing = _files.path("missing.json");
    EXPECT_TRUE(holds(errorOf([&] { Board::fromFile(missing); }), "cannot open board file " + missing));
    const std::string large = write(std::string((std::size_t{4} << 20) + 1, ' '), "large.json");
    EXPECT_EQ(errorOf([&] { Board::fromFile(large); }), "board file " + large + ": larger than 4 MiB");
    EXPECT_TRUE(holds(errorOf([] { Board::fromJson("{}", ".", "my board"); }), "my board, line 1: no \"format\""));
    const std::string folder_path = _files.path("out") + "/no/such/folder/b.json";
    EXPECT_TRUE(holds(errorOf([&] { Board::grid(1, 1, 30, 6).save(folder_path); }), folder_path));
}

namespace {

// Board 3 x 2 of 32 mm markers, 8 mm apart, drawn at 2 pixels per mm with
// 4 mm of margin: markers of 64 pixels, their pictures 2 pixels a cell.
constexpr double PPU = 2.0;
constexpr double MARGIN = 4.0;

bool isBlack(const markeye::Image& i_image, int32_t i_x, int32_t i_y)
{
    const uint8_t* rgb = i_image.pixel(i_x, i_y);
    return rgb[0] == 0 && rgb[1] == 0 && rgb[2] == 0;
}

bool isWhite(const markeye::Image& i_image, int32_t i_x, int32_t i_y)
{
    const uint8_t* rgb = i_image.pixel(i_x, i_y);
    return rgb[0] == 255 && rgb[1] == 255 && rgb[2] == 255;
}

}  // namespace

TEST_F(BoardTest, PictureLaysOutEveryMarkerWhereTheBoardPutsIt)
{
    const Board board = Board::grid(3, 2, 32.0, 8.0);
    const markeye::Image picture = board.picture(PPU, MARGIN);
    // (3 x 32 + 2 x 8 + 2 x 4) by (2 x 32 + 8 + 2 x 4) mm.
    ASSERT_EQ(picture.width(), 240);
    ASSERT_EQ(picture.height(), 160);
    for (int32_t k = 0; k < 6; k++) {
        SCOPED_TRACE(::testing::Message() << "marker " << k);
        // Left and top edges: the margin, then 40 mm per column and row.
        const int32_t left = 8 + 80 * (k % 3);
        const int32_t top = 8 + 80 * (k / 3);
        const markeye::Image cells = Pattern::generatedPicture(k);
        for (int32_t y = -1; y <= 64; y++) {
            for (int32_t x = -1; x <= 64; x++) {
                const bool outside = x < 0 || y < 0 || x >= 64 || y >= 64;
                const bool border = !outside && (x < 16 || y < 16 || x >= 48 || y >= 48);
                if (outside) {
                    ASSERT_TRUE(isWhite(picture, left + x, top + y)) << x << ", " << y;
                } else if (border) {
                    ASSERT_TRUE(isBlack(picture, left + x, top + y)) << x << ", " << y;
                } else {
                    const uint8_t expected = cells.pixel((x - 16) / 2, (y - 16) / 2)[0];
                    ASSERT_EQ(picture.pixel(left + x, top + y)[0], expected) << x << ", " << y;
                }
            }
        }
    }
}

// The picture as a frame: the tracker finds every marker of it, each for
// its own pattern and upright (vertex 0 top-left, vertex 2 bottom-right, on
// the drawn edges).
TEST_F(BoardTest, PictureIsFoundMarkerByMarker)
{
    const Board board = Board::grid(3, 2, 30.0, 6.0);
    const markeye::Image picture = board.picture(4.0, 10.0);
    ASSERT_EQ(picture.width(), (3 * 30 + 2 * 6 + 20) * 4);
    const markeye::Camera camera = markeye::Camera::builtin(picture.width(), picture.height());
    markeye::Tracker tracker(camera, board.patterns());
    const std::vector<markeye::Detection>& found = tracker.track(picture.view());
    ASSERT_EQ(found.size(), 6u);
    for (size_t k = 0; k < found.size(); k++) {
        SCOPED_TRACE(::testing::Message() << "marker " << k);
        EXPECT_EQ(found[k].pattern, static_cast<int>(k));
        // Pixel centres are whole numbers, so the square's edges lie half a
        // pixel outside its first and last pixels.
        const double left = 40.0 + 144.0 * static_cast<double>(k % 3) - 0.5;
        const double top = 40.0 + 144.0 * static_cast<double>(k / 3) - 0.5;
        EXPECT_NEAR(found[k].corners[0][0], left, 0.5);
        EXPECT_NEAR(found[k].corners[0][1], top, 0.5);
        EXPECT_NEAR(found[k].corners[2][0], left + 120.0, 0.5);
        EXPECT_NEAR(found[k].corners[2][1], top + 120.0, 0.5);
    }
}

TEST_F(BoardTest, PictureOutOfRangeIsRefused)
{
    const Board board = Board::grid(5, 7, 30.0, 6.0);
    EXPECT_TRUE(holds(errorOf([&] { board.picture(0.0, 5.0); }), "the resolution (pixels per mm) is 0"));
    EXPECT_TRUE(holds(errorOf([&] { board.picture(-1.0, 5.0); }), "not a positive number"));
    EXPECT_TRUE(holds(errorOf([&] { board.picture(4.0, -1.0); }), "the margin is -1"));
    EXPECT_TRUE(holds(errorOf([&] { board.picture(100.0, 5.0); }), "is too large"));
    EXPECT_TRUE(holds(errorOf([&] { board.picture(0.2, 5.0); }), "markers of 6 pixels are too small"));
    EXPECT_EQ(board.picture(0.3, 0.0).width(), 52);
}
