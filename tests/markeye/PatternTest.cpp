// markeye::Pattern: pattern files written here by hand, numbers, pictures
// in every pixel layout, the built-in markers against the data folder's
// files, and the pattern maker against a rendered marker.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BuiltinMarkers.h"
#include "LibraryTestSupport.h"
#include "MarkerPose.h"
#include "RenderTestSupport.h"
#include "SceneRenderer.h"
#include "markeye/markeye.h"

using namespace LibraryTest;
using markeye::Pattern;
using markeye::PixelFormat;

namespace {

constexpr int32_t GRID = 16;
constexpr size_t BLOCK = 3 * GRID * GRID;

const std::vector<std::string> BUILTIN_NAMES = {"flag", "arrow", "hook", "dots", "steps", "key", "tee", "moon"};

// Numbers of a pattern file on a grid, from a seeded generator.
std::vector<int32_t> randomNumbers(int32_t i_width, int32_t i_height, uint32_t i_seed)
{
    std::mt19937 generator(i_seed);
    std::uniform_int_distribution<int32_t> brightness(0, 255);
    std::vector<int32_t> numbers(static_cast<size_t>(12 * i_width * i_height));
    for (int32_t& number : numbers) {
        number = brightness(generator);
    }
    return numbers;
}

// The numbers as text, laid out unevenly: runs of spaces and tabs, CR LF
// line ends, blank lines and leading zeros, all of which a file may hold.
std::string unevenText(const std::vector<int32_t>& i_numbers)
{
    std::ostringstream text;
    text << "\n\r\n";
    for (size_t i = 0; i < i_numbers.size(); i++) {
        text << (i % 7 == 3 ? "0" : "") << i_numbers[i] << (i % 5 == 0 ? "\t " : i % 11 == 0 ? "\r\n" : "   ");
    }
    text << "\n\n";
    return text.str();
}

// The picture's pixel bytes, row by row without padding.
std::vector<uint8_t> pixelsOf(const markeye::Image& i_image)
{
    return std::vector<uint8_t>(i_image.data(), i_image.data() + i_image.stride() * i_image.height());
}

class PatternFileTest : public ::testing::Test
{
protected:
    std::string writePattern(const std::string& i_text, const std::string& i_tag = "pattern.patt")
    {
        const std::string path = _files.path(i_tag);
        writeText(path, i_text);
        return path;
    }

    ScratchFiles _files;
};

class PatternGridTest : public PatternFileTest, public ::testing::WithParamInterface<int32_t>
{
};

}  // namespace

TEST_P(PatternGridTest, FileOfASquareGridIsReadWithTheGridItsCountTells)
{
    const int32_t side = GetParam();
    const std::vector<int32_t> numbers = randomNumbers(side, side, 100 + static_cast<uint32_t>(side));
    const std::string path = writePattern(unevenText(numbers), "my.marker.patt");
    const Pattern pattern = Pattern::fromFile(path);
    EXPECT_EQ(pattern.gridWidth(), side);
    EXPECT_EQ(pattern.gridHeight(), side);
    EXPECT_EQ(pattern.numbers(), numbers);
    EXPECT_TRUE(holds(path, "/")) << "the name drops the folder";
    EXPECT_TRUE(holds(pattern.name(), "my.marker"));
    EXPECT_FALSE(holds(pattern.name(), "/"));
    EXPECT_FALSE(holds(pattern.name(), ".patt"));

    // save() writes what fromFile reads back, name and all.
    const std::string saved = _files.path("saved.patt");
    pattern.save(saved);
    const Pattern again = Pattern::fromFile(saved);
    EXPECT_EQ(again.numbers(), numbers);
    EXPECT_EQ(again.gridWidth(), side);
}

INSTANTIATE_TEST_SUITE_P(Sides, PatternGridTest, ::testing::Values(1, 2, 4, 8, 16, 32, 64));

TEST_F(PatternFileTest, GivenGridReadsExactlyItsNumbers)
{
    const std::vector<int32_t> numbers = randomNumbers(16, 8, 7);
    const Pattern pattern = Pattern::fromFile(writePattern(unevenText(numbers)), 16, 8);
    EXPECT_EQ(pattern.gridWidth(), 16);
    EXPECT_EQ(pattern.gridHeight(), 8);
    EXPECT_EQ(pattern.numbers(), numbers);

    // Anything after them is refused, as fromFile without a grid refuses it.
    const std::string junk = writePattern(unevenText(numbers) + "999 junk\n", "junk.patt");
    EXPECT_TRUE(holds(errorOf([&] { Pattern::fromFile(junk, 16, 8); }), "\"999\" is not a brightness"));
    // A 16 x 16 file is no 8 x 8 pattern.
    const std::string large = writePattern(unevenText(randomNumbers(16, 16, 8)), "large.patt");
    EXPECT_EQ(errorOf([&] { Pattern::fromFile(large, 8, 8); }),
              "pattern file " + large + " holds more than the 768 numbers of a 8 x 8 grid");

    // Non-square grids round-trip through save with the grid given.
    const std::string saved = _files.path("saved.patt");
    pattern.save(saved);
    EXPECT_EQ(Pattern::fromFile(saved, 16, 8).numbers(), numbers);
}

// A pattern file's text read from memory is the file read from disk, named
// as given; toText() is what save() writes.
TEST_F(PatternFileTest, TextInMemoryReadsAsTheFile)
{
    const std::vector<int32_t> square = randomNumbers(8, 8, 31);
    const std::string path = writePattern(unevenText(square));
    const Pattern from_text = Pattern::fromText(unevenText(square), "mine");
    EXPECT_EQ(from_text.numbers(), Pattern::fromFile(path).numbers());
    EXPECT_EQ(from_text.gridWidth(), 8);
    EXPECT_EQ(from_text.name(), "mine");
    EXPECT_EQ(Pattern::fromText(from_text.toText()).numbers(), square);

    const std::vector<int32_t> oblong = randomNumbers(16, 8, 32);
    const Pattern grid = Pattern::fromText(unevenText(oblong), 16, 8, "wide");
    EXPECT_EQ(grid.numbers(), oblong);
    const std::string saved = _files.path("saved.patt");
    grid.save(saved);
    std::ifstream file(saved, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), grid.toText());
    EXPECT_EQ(Pattern::fromText(grid.toText(), 16, 8).numbers(), oblong);
}

// Its faults are the file's, naming the pattern instead of a path.
TEST(PatternTextTest, FaultsNameThePattern)
{
    EXPECT_EQ(errorOf([] { Pattern::fromText("1 2\n3 x\n", "mine"); }),
              "pattern mine, line 2: \"x\" is not a brightness from 0 to 255");
    EXPECT_EQ(errorOf([] { Pattern::fromText("1 2 3", "mine"); }),
              "pattern mine holds 3 numbers, which fill no square grid (16 x 16 takes 3072); give the grid size");
    EXPECT_EQ(errorOf([] { Pattern::fromText("1 2 3", 1, 1, "mine"); }),
              "pattern too short: 3 of 12 numbers for a 1 x 1 grid (mine)");
    EXPECT_EQ(errorOf([] { Pattern::fromText("1 2 3 4 5 6 7 8 9 10 11 12 13", 1, 1, "mine"); }),
              "pattern mine holds more than the 12 numbers of a 1 x 1 grid");
    EXPECT_TRUE(holds(errorOf([] { Pattern::fromText("", 3, 3, "mine"); }), "grid 3 x 3 is not allowed"));
}

TEST_F(PatternFileTest, CountThatFillsNoSquareGridIsRefused)
{
    const std::string path = writePattern(unevenText(randomNumbers(16, 8, 3)));
    const std::string message = errorOf([&] { Pattern::fromFile(path); });
    EXPECT_TRUE(holds(message, path)) << message;
    EXPECT_TRUE(holds(message, "1536 numbers")) << message;
    const std::string empty = writePattern("\n \n", "empty.patt");
    EXPECT_TRUE(holds(errorOf([&] { Pattern::fromFile(empty); }), "0 numbers"));
}

TEST_F(PatternFileTest, ShortFileForTheGivenGridIsRefusedWithItsCount)
{
    const std::vector<int32_t> numbers = randomNumbers(8, 8, 4);
    const std::string path = writePattern(unevenText(std::vector<int32_t>(numbers.begin(), numbers.begin() + 700)));
    EXPECT_EQ(errorOf([&] { Pattern::fromFile(path, 8, 8); }),
              "pattern file too short: 700 of 768 numbers for a 8 x 8 grid (" + path + ")");
}

TEST_F(PatternFileTest, GridNotAllowedIsRefusedBeforeReading)
{
    const std::string path = writePattern(unevenText(randomNumbers(4, 4, 5)));
    for (const auto& grid : {std::pair<int32_t, int32_t>{3, 3}, {0, 16}, {16, 128}, {-4, 4}}) {
        const std::string message = errorOf([&] { Pattern::fromFile(path, grid.first, grid.second); });
        EXPECT_TRUE(holds(message, std::to_string(grid.first) + " x " + std::to_string(grid.second))) << message;
    }
}

namespace {

// A file whose token on a line is not a brightness.
struct TBadToken
{
    const char* name;
    const char* token;
    int32_t line;
};

void PrintTo(const TBadToken& i_bad, std::ostream* o_stream)
{
    *o_stream << i_bad.name;
}

class PatternBadTokenTest : public PatternFileTest, public ::testing::WithParamInterface<TBadToken>
{
};

}  // namespace

TEST_P(PatternBadTokenTest, IsRefusedWithItsLineNumber)
{
    const TBadToken& bad = GetParam();
    // 8 x 8 numbers, 16 to a line, the bad token in place of the first
    // number of its line.
    std::vector<int32_t> numbers = randomNumbers(8, 8, 9);
    std::ostringstream text;
    for (size_t i = 0; i < numbers.size(); i++) {
        const bool bad_here = static_cast<int32_t>(i / 16) + 1 == bad.line && i % 16 == 0;
        if (bad_here) {
            text << bad.token;
        } else {
            text << numbers[i];
        }
        text << ((i + 1) % 16 == 0 ? "\n" : " ");
    }
    const std::string path = writePattern(text.str());
    const std::string expected = "pattern file " + path + ", line " + std::to_string(bad.line) + ": \"" + bad.token +
                                 "\" is not a brightness from 0 to 255";
    EXPECT_EQ(errorOf([&] { Pattern::fromFile(path); }), expected);
    EXPECT_EQ(errorOf([&] { Pattern::fromFile(path, 8, 8); }), expected);
}

INSTANTIATE_TEST_SUITE_P(Tokens, PatternBadTokenTest,
                         ::testing::Values(TBadToken{"Letters", "12x", 3}, TBadToken{"TooBright", "256", 5},
                                           TBadToken{"Negative", "-1", 2}, TBadToken{"Hexadecimal", "0x10", 1},
                                           TBadToken{"Fraction", "1.5", 48}, TBadToken{"Huge", "99999999999", 30}),
                         [](const ::testing::TestParamInfo<TBadToken>& i_info) {
                             return std::string(i_info.param.name);
                         });

TEST_F(PatternFileTest, MissingFileFolderAndFifoAreRefusedNamingThePath)
{
    const std::string missing = _files.path("missing.patt");
    const std::string no_file = errorOf([&] { Pattern::fromFile(missing); });
    EXPECT_TRUE(holds(no_file, missing)) << no_file;
    EXPECT_TRUE(holds(no_file, "No such file")) << no_file;
    const std::string folder = errorOf([] { Pattern::fromFile(::testing::TempDir(), 16, 16); });
    EXPECT_TRUE(holds(folder, "folder")) << folder;
    const ScratchFifo fifo("pattern.fifo");
    const std::string from_fifo = errorOfFifoRead(fifo.path(), [&] { Pattern::fromFile(fifo.path()); });
    EXPECT_TRUE(holds(from_fifo, fifo.path())) << from_fifo;
    EXPECT_TRUE(holds(from_fifo, "not a regular file")) << from_fifo;
}

TEST_F(PatternFileTest, SaveIntoMissingFolderIsRefusedNamingThePath)
{
    const std::string path = _files.path("no_such_folder") + "/x.patt";
    const std::string message = errorOf([&] { Pattern::builtin("flag").save(path); });
    EXPECT_TRUE(holds(message, path)) << message;
}

namespace {

struct TBadNumbers
{
    const char* name;
    int32_t grid_width;
    int32_t grid_height;
    // Numbers in the list: 12 x W x H unless given.
    int32_t count;
    // A number put at an index; -1: none.
    int32_t bad_index;
    int32_t bad_value;
    const char* fault;
};

void PrintTo(const TBadNumbers& i_bad, std::ostream* o_stream)
{
    *o_stream << i_bad.name;
}

class PatternNumbersTest : public ::testing::TestWithParam<TBadNumbers>
{
};

}  // namespace

TEST_P(PatternNumbersTest, AreRefusedNamingThePatternAndTheFault)
{
    const TBadNumbers& bad = GetParam();
    std::vector<int32_t> numbers(static_cast<size_t>(bad.count), 128);
    if (bad.bad_index >= 0) {
        numbers[static_cast<size_t>(bad.bad_index)] = bad.bad_value;
    }
    const std::string message = errorOf([&] { Pattern::fromNumbers(numbers, bad.grid_width, bad.grid_height, "pn"); });
    EXPECT_TRUE(holds(message, "pn")) << message;
    EXPECT_TRUE(holds(message, bad.fault)) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PatternNumbersTest,
    ::testing::Values(TBadNumbers{"OneShort", 8, 8, 767, -1, 0, "767 numbers"},
                      TBadNumbers{"OneOver", 8, 8, 769, -1, 0, "769 numbers"},
                      TBadNumbers{"GridThree", 3, 3, 108, -1, 0, "3 x 3"},
                      TBadNumbers{"GridZero", 0, 16, 0, -1, 0, "0 x 16"},
                      TBadNumbers{"GridTooLarge", 128, 128, 12 * 128 * 128, -1, 0, "128 x 128"},
                      TBadNumbers{"Negative", 8, 8, 768, 5, -1, "number 5 is -1"},
                      TBadNumbers{"TooBright", 8, 8, 768, 767, 256, "number 767 is 256"}),
    [](const ::testing::TestParamInfo<TBadNumbers>& i_info) { return std::string(i_info.param.name); });

TEST(PatternNumbersTest, AnyAllowedGridIsKeptAsGiven)
{
    const std::vector<int32_t> numbers = randomNumbers(8, 32, 11);
    const Pattern pattern = Pattern::fromNumbers(numbers, 8, 32);
    EXPECT_EQ(pattern.numbers(), numbers);
    EXPECT_EQ(pattern.gridWidth(), 8);
    EXPECT_EQ(pattern.gridHeight(), 32);
    EXPECT_EQ(pattern.name(), "pattern");
    EXPECT_EQ(Pattern::fromNumbers(numbers, 8, 32, "named").name(), "named");
}

namespace {

// A seeded picture of 24 x 20 pixels, so that cells of a 16 x 16 grid
// straddle pixels and average them.
markeye::Image randomPicture(bool i_grey, uint32_t i_seed)
{
    std::mt19937 generator(i_seed);
    std::uniform_int_distribution<int32_t> level(0, 255);
    markeye::Image picture(24, 20, PixelFormat::RGB);
    for (int32_t y = 0; y < picture.height(); y++) {
        for (int32_t x = 0; x < picture.width(); x++) {
            uint8_t* rgb = picture.pixel(x, y);
            for (int c = 0; c < 3; c++) {
                rgb[c] = static_cast<uint8_t>(i_grey && c > 0 ? rgb[0] : level(generator));
            }
        }
    }
    return picture;
}

class PatternPictureLayoutTest : public ::testing::TestWithParam<TLayout>
{
};

}  // namespace

TEST_P(PatternPictureLayoutTest, EveryLayoutOfOnePictureGivesTheSameNumbers)
{
    const bool grey = GetParam().format == PixelFormat::GRAY;
    const markeye::Image picture = randomPicture(grey, grey ? 21 : 22);
    const PictureCopy copy(picture.view(), GetParam());
    for (const auto& grid : {std::pair<int32_t, int32_t>{16, 16}, {8, 4}, {64, 64}}) {
        SCOPED_TRACE(::testing::Message() << grid.first << " x " << grid.second);
        const Pattern expected = Pattern::fromPicture(picture.view(), grid.first, grid.second);
        const Pattern actual = Pattern::fromPicture(copy.view(), grid.first, grid.second);
        EXPECT_EQ(actual.numbers(), expected.numbers());
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PatternPictureLayoutTest,
                         ::testing::ValuesIn([] {
                             std::vector<TLayout> all = colourLayouts();
                             all.push_back(GRAY_LAYOUT);
                             return all;
                         }()),
                         [](const ::testing::TestParamInfo<TLayout>& i_info) {
                             return std::string(i_info.param.name);
                         });

TEST(PatternPictureTest, UnreadableViewOrGridIsRefused)
{
    const markeye::Image picture = randomPicture(false, 1);
    markeye::ImageView view = picture.view();
    EXPECT_THROW(Pattern::fromPicture(view, 3, 16), markeye::Error);
    EXPECT_THROW(Pattern::fromPicture(view, 16, 0), markeye::Error);
    view.data = nullptr;
    EXPECT_THROW(Pattern::fromPicture(view), markeye::Error);
    view = picture.view();
    view.stride = 3 * view.width - 1;
    EXPECT_THROW(Pattern::fromPicture(view), markeye::Error);
    view = picture.view();
    view.width = 0;
    EXPECT_THROW(Pattern::fromPicture(view), markeye::Error);
}

namespace {

class BuiltinPatternTest : public ::testing::TestWithParam<std::string>
{
};

}  // namespace

TEST_P(BuiltinPatternTest, IsTheDataFolderFile)
{
    const std::string& name = GetParam();
    const Pattern pattern = Pattern::builtin(name);
    EXPECT_EQ(pattern.name(), name);
    EXPECT_EQ(pattern.gridWidth(), Pattern::DEFAULT_GRID);
    EXPECT_EQ(pattern.gridHeight(), Pattern::DEFAULT_GRID);
    const std::string path = dataPath("patterns/" + name + ".patt");
    const Pattern file = Pattern::fromFile(path);
    EXPECT_EQ(file.name(), name);
    EXPECT_EQ(pattern.numbers(), file.numbers());
    // save() writes the data folder's layout.
    ScratchFiles files;
    const std::string saved = files.path(name + ".patt");
    pattern.save(saved);
    EXPECT_EQ(readBytes(saved), readBytes(path));
}

// Block d drawn as a picture is the built-in picture turned d quarter turns
// counter-clockwise (the renderer's own turn), and making a pattern from the
// upright block gives the pattern back.
TEST_P(BuiltinPatternTest, PictureOfEachBlockIsTheTurnedPicture)
{
    const std::string& name = GetParam();
    const Pattern pattern = Pattern::builtin(name, GRID, GRID);
    const markeye::Image upright = Pattern::builtinPicture(name);
    ASSERT_EQ(upright.width(), 16);
    ASSERT_EQ(upright.height(), 16);
    ASSERT_EQ(upright.format(), PixelFormat::RGB);
    EXPECT_EQ(pixelsOf(pattern.picture(0)), pixelsOf(upright));
    const Markeye::MarkerPicture reference = Markeye::MarkerPicture::fromView(upright.view());
    for (int32_t d = 0; d < 4; d++) {
        const markeye::Image block = pattern.picture(d);
        EXPECT_EQ(block.format(), PixelFormat::RGB);
        EXPECT_TRUE(Markeye::MarkerPicture::fromView(block.view()) == reference.rotated(d)) << "block " << d;
    }
    EXPECT_EQ(Pattern::fromPicture(pattern.picture(0).view(), GRID, GRID).numbers(), pattern.numbers());
    EXPECT_THROW(pattern.picture(4), markeye::Error);
    EXPECT_THROW(pattern.picture(-1), markeye::Error);
}

INSTANTIATE_TEST_SUITE_P(Names, BuiltinPatternTest, ::testing::ValuesIn(BUILTIN_NAMES),
                         [](const ::testing::TestParamInfo<std::string>& i_info) { return i_info.param; });

TEST(BuiltinPatternListTest, NamesAndPatternsComeInTheirOrder)
{
    EXPECT_EQ(Pattern::builtinNames(), BUILTIN_NAMES);
    const std::vector<Pattern> all = Pattern::builtins();
    ASSERT_EQ(all.size(), BUILTIN_NAMES.size());
    for (size_t i = 0; i < all.size(); i++) {
        EXPECT_EQ(all[i].name(), BUILTIN_NAMES[i]);
        EXPECT_EQ(all[i].numbers(), Pattern::builtin(BUILTIN_NAMES[i]).numbers());
    }
    const std::vector<Pattern> coarse = Pattern::builtins(8, 8);
    EXPECT_EQ(coarse[3].gridWidth(), 8);
    EXPECT_EQ(coarse[3].numbers(), Pattern::builtin("dots", 8, 8).numbers());
}

TEST(BuiltinPatternListTest, UnknownNameIsRefusedListingTheKnownOnes)
{
    const std::string message = errorOf([] { Pattern::builtin("nope"); });
    EXPECT_TRUE(holds(message, "\"nope\"")) << message;
    for (const std::string& name : BUILTIN_NAMES) {
        EXPECT_TRUE(holds(message, name)) << message;
    }
    EXPECT_THROW(Pattern::builtinPicture("Flag"), markeye::Error);
    EXPECT_THROW(Pattern::builtins(3, 3), markeye::Error);
}

namespace {

// Plane p (0 blue, 1 green, 2 red), row, column of block d.
int32_t number(const std::vector<int32_t>& i_numbers, int32_t i_d, int32_t i_p, int32_t i_row, int32_t i_column)
{
    return i_numbers[BLOCK * i_d + GRID * GRID * i_p + GRID * i_row + i_column];
}

}  // namespace

using Markeye::BuiltinMarkers;
using Markeye::MarkerPicture;

TEST(MarkerPatternMakerTest, NumbersFollowTheFileOrderWithBlocksTurnedCounterClockwise)
{
    // 2 x 2 picture, (red, green, blue): top-left, top-right, bottom-left,
    // bottom-right. Block d is the picture turned d quarter turns
    // counter-clockwise; each block lists blue, green, red planes, rows, columns.
    const uint8_t rgb[] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(MarkerPicture::fromRgb(2, 2, rgb).view(), 2, 2).numbers();
    const std::vector<int32_t> expected = {
        30,  60, 90,  120, 20,  50, 80,  110, 10,  40, 70,  100,  // upright
        60,  120, 30, 90,  50,  110, 20, 80,  40,  100, 10, 70,   // right column on top, read down
        120, 90, 60,  30,  110, 80, 50,  20,  100, 70, 40,  10,   // upside down
        90,  30, 120, 60,  80,  20, 110, 50,  70,  10, 100, 40};  // left column on top, read up
    EXPECT_EQ(numbers, expected);
}

TEST(MarkerPatternMakerTest, CellsAverageThePictureWhenTheGridIsCoarser)
{
    // A 4 x 4 picture with one black pixel per 2 x 2 cell: each cell is a
    // quarter black.
    const char* rows[] = {"#.#.", "....", "#.#.", "...."};
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(MarkerPicture::fromText(rows, 4).view(), 2, 2).numbers();
    ASSERT_EQ(numbers.size(), 48u);
    for (int32_t value : numbers) {
        EXPECT_EQ(value, 191);
    }
}

TEST(MarkerPatternMakerTest, EveryBlockIsTheUprightPatternOfTheTurnedPicture)
{
    const MarkerPicture picture = BuiltinMarkers::picture(1);
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(picture.view(), GRID, GRID).numbers();
    for (int32_t d = 0; d < 4; d++) {
        std::vector<int32_t> turned;
        turned = markeye::Pattern::fromPicture(picture.rotated(d).view(), GRID, GRID).numbers();
        EXPECT_TRUE(std::equal(turned.begin(), turned.begin() + BLOCK, numbers.begin() + BLOCK * d)) << d;
    }
}

// Reads block d off a rendered marker the way the tracker samples a square
// whose corner 0 shows marker vertex d: row 0 along the edge from corner 0
// to corner 1, column 0 along the edge from corner 0 to corner 3, the
// central half of the square.
TEST(MarkerPatternMakerTest, BlockDIsWhatASquareStartingAtVertexDShows)
{
    using namespace Markeye;
    using VoTrack::TVoARDoublePoint_t;
    const MarkerPicture picture = BuiltinMarkers::picture(4);
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(picture.view(), GRID, GRID).numbers();
    SceneRenderer renderer(RenderCamera::builtin());
    TSceneOptions options;
    options.background_level = 255.0;
    // Rolled a little so the square's corners are not axis-aligned; facing
    // the camera, so the square is an exact parallelogram.
    renderer.render(TSceneMarker(&picture, 80.0, MarkerPose::make(20.0, 0.0, 0.0, 0.0, 0.0, 300.0)), options);
    const TVoARDoublePoint_t* vertex = renderer.getTruth()[0].observed_corners;
    for (int32_t d = 0; d < 4; d++) {
        // Marker vertex i is square corner (i + 4 - d) mod 4.
        const TVoARDoublePoint_t c0 = vertex[d];
        const TVoARDoublePoint_t c1 = vertex[(d + 1) % 4];
        const TVoARDoublePoint_t c3 = vertex[(d + 3) % 4];
        for (int32_t row = 0; row < GRID; row++) {
            for (int32_t column = 0; column < GRID; column++) {
                const double s = 0.25 + 0.5 * (column + 0.5) / GRID;
                const double t = 0.25 + 0.5 * (row + 0.5) / GRID;
                const auto x = static_cast<int32_t>(std::lround(c0.x + s * (c1.x - c0.x) + t * (c3.x - c0.x)));
                const auto y = static_cast<int32_t>(std::lround(c0.y + s * (c1.y - c0.y) + t * (c3.y - c0.y)));
                ASSERT_EQ(RenderTestSupport::channelAt(renderer, x, y, 1), number(numbers, d, 1, row, column))
                    << "direction " << d << " cell " << row << "," << column;
            }
        }
    }
}

TEST(MarkerPatternMakerTest, FileHoldsTheNumbersInOrder)
{
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(BuiltinMarkers::picture(2).view(), GRID, GRID).numbers();
    const std::string path = scratchPath("marker_authoring_test.patt");
    markeye::Pattern::fromNumbers(numbers, GRID, GRID).save(path);
    std::ifstream file(path);
    std::vector<int32_t> read;
    int32_t value;
    while (file >> value) {
        read.push_back(value);
    }
    EXPECT_EQ(read, numbers);
    std::remove(path.c_str());
    EXPECT_THROW(markeye::Pattern::fromNumbers(numbers, GRID, GRID / 2).save(path), markeye::Error);
    EXPECT_THROW(markeye::Pattern::fromNumbers(numbers, GRID, GRID).save(::testing::TempDir() + "no/such/dir/x.patt"),
                 markeye::Error);
}

namespace {

// The definition the maker follows, sample by sample: cell (row, column) of
// block d is the rounded mean of 8 x 8 samples at the centres of an even
// subdivision of the cell, each the nearest picture pixel to where the
// sample falls on the picture turned d quarter turns counter-clockwise.
std::vector<int32_t> numbersBySample(const markeye::Image& i_picture, int32_t i_width, int32_t i_height)
{
    const int32_t n = 8;
    auto nearest = [](double i_fraction, int32_t i_count) {
        return std::clamp(static_cast<int32_t>(std::floor(i_fraction * i_count)), 0, i_count - 1);
    };
    std::vector<int32_t> numbers(static_cast<size_t>(12 * i_width * i_height));
    const size_t plane = static_cast<size_t>(i_width * i_height);
    for (int32_t d = 0; d < 4; d++) {
        for (int32_t row = 0; row < i_height; row++) {
            for (int32_t column = 0; column < i_width; column++) {
                int32_t sum[3] = {0, 0, 0};
                for (int32_t j = 0; j < n; j++) {
                    for (int32_t i = 0; i < n; i++) {
                        const double s = (column + (i + 0.5) / n) / i_width;
                        const double t = (row + (j + 0.5) / n) / i_height;
                        const double u[4] = {s, 1.0 - t, 1.0 - s, t};
                        const double v[4] = {t, s, 1.0 - t, 1.0 - s};
                        const uint8_t* rgb =
                            i_picture.pixel(nearest(u[d], i_picture.width()), nearest(v[d], i_picture.height()));
                        for (int32_t c = 0; c < 3; c++) {
                            sum[c] += rgb[c];
                        }
                    }
                }
                // Planes blue, green, red.
                for (int32_t c = 0; c < 3; c++) {
                    numbers[(static_cast<size_t>(d) * 3 + static_cast<size_t>(2 - c)) * plane +
                            static_cast<size_t>(row * i_width + column)] = (sum[c] + n * n / 2) / (n * n);
                }
            }
        }
    }
    return numbers;
}

markeye::Image seededPicture(int32_t i_width, int32_t i_height, uint32_t i_seed)
{
    std::mt19937 generator(i_seed);
    std::uniform_int_distribution<int32_t> level(0, 255);
    markeye::Image picture(i_width, i_height, PixelFormat::RGB);
    for (int32_t y = 0; y < i_height; y++) {
        for (int32_t x = 0; x < i_width; x++) {
            for (int32_t c = 0; c < 3; c++) {
                picture.pixel(x, y)[c] = static_cast<uint8_t>(level(generator));
            }
        }
    }
    return picture;
}

}  // namespace

// Pictures coarser and finer than the grid, square and not, on square and
// oblong grids: the numbers are those of the sample-by-sample definition.
TEST(MarkerPatternMakerTest, CellsAreTheMeansOfTheirNearestSamples)
{
    const std::pair<int32_t, int32_t> pictures[] = {{4, 4}, {16, 16}, {24, 20}, {7, 13}, {100, 37}, {300, 300}};
    const std::pair<int32_t, int32_t> grids[] = {{16, 16}, {8, 4}, {1, 2}, {64, 64}};
    uint32_t seed = 1;
    for (const auto& size : pictures) {
        const markeye::Image picture = seededPicture(size.first, size.second, seed++);
        for (const auto& grid : grids) {
            SCOPED_TRACE(::testing::Message() << size.first << " x " << size.second << " picture, " << grid.first
                                              << " x " << grid.second << " grid");
            EXPECT_EQ(Pattern::fromPicture(picture.view(), grid.first, grid.second).numbers(),
                      numbersBySample(picture, grid.first, grid.second));
        }
    }
}
