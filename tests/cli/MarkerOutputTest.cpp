#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "TestImages.h"
#include "TestJson.h"

namespace {

// A picture of i_width x i_height pixels, each of grey level i_grey(x, y).
template <class TGrey>
CliTest::TFrame greyPicture(int32_t i_width, int32_t i_height, TGrey i_grey)
{
    CliTest::TFrame frame;
    frame.width = i_width;
    frame.height = i_height;
    frame.bgra.assign(4 * static_cast<size_t>(i_width) * static_cast<size_t>(i_height), 255);
    for (int32_t y = 0; y < i_height; y++) {
        for (int32_t x = 0; x < i_width; x++) {
            uint8_t* pixel = &frame.bgra[4 * (static_cast<size_t>(y) * static_cast<size_t>(i_width) + x)];
            pixel[0] = pixel[1] = pixel[2] = static_cast<uint8_t>(i_grey(x, y));
        }
    }
    return frame;
}

CliTest::TFrame checkerboard(int32_t i_side)
{
    return greyPicture(i_side, i_side, [](int32_t x, int32_t y) { return (x + y) % 2 == 0 ? 0 : 255; });
}

struct TFormatCase
{
    const char* extension;
    bool jpeg;
};

void PrintTo(const TFormatCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.extension;
}

class MarkerFormatTest : public ::testing::TestWithParam<TFormatCase>
{
};

// A picture the commands must refuse, and the reason they give.
struct TPoorPicture
{
    const char* name;
    CliTest::TFrame (*picture)();
    const char* reason;
};

void PrintTo(const TPoorPicture& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

class PoorPictureTest : public ::testing::TestWithParam<TPoorPicture>
{
};

}  // namespace

// The marker is written in the format -o names and is tracked as printed.
TEST_P(MarkerFormatTest, WritesTheFormatItsNameSays)
{
    const std::string path = testFolder() + "/tee" + GetParam().extension;
    const TCliResult made = runMarkeye("marker --builtin tee --size-mm 80 --dpi 72 -o " + path);
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string bytes = readFile(path);
    ASSERT_GT(bytes.size(), 20u);
    if (GetParam().jpeg) {
        EXPECT_EQ(bytes.substr(0, 3), "\xFF\xD8\xFF");
        // The JFIF header: density unit 1 (dots per inch), then 72 across.
        EXPECT_EQ(bytes.substr(6, 5), std::string("JFIF\0", 5));
        EXPECT_EQ(bytes[13], 1);
        EXPECT_EQ((static_cast<uint8_t>(bytes[14]) << 8) | static_cast<uint8_t>(bytes[15]), 72);
    } else {
        EXPECT_EQ(bytes.substr(0, 4), "\x89PNG");
        EXPECT_EQ(CliTest::pngFacts(bytes).pixels_per_metre, 2835u);
    }
    const TCliResult tracked = runMarkeye(std::string("track --min-confidence 0.9 --pattern ") + MARKEYE_DATA_DIR +
                                          "/patterns/tee.patt " + path);
    ASSERT_EQ(tracked.status, 0) << tracked.err;
    const std::vector<TJson> lines = parseJsonLines(tracked.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0]["markers"][0]["found"].boolean) << tracked.out;
}

INSTANTIATE_TEST_SUITE_P(Extensions, MarkerFormatTest,
                         ::testing::Values(TFormatCase{".png", false}, TFormatCase{".jpg", true},
                                           TFormatCase{".jpeg", true}, TFormatCase{".JPG", true}));

TEST(MarkerWriteTest, JpegIntoAMissingFolderFailsNamingIt)
{
    const std::string path = testFolder() + "/no/such/tee.jpg";
    const TCliResult result = runMarkeye("marker --builtin tee -o " + path);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "markeye: cannot write " + path + ": No such file or directory\n");
}

// marker and pattern make refuse the same pictures, with the reason, and
// write nothing.
TEST_P(PoorPictureTest, MarkerAndPatternMakeRefuseIt)
{
    const std::string folder = testFolder();
    const std::string picture = folder + "/poor.png";
    writeFile(picture, CliTest::encodePng(GetParam().picture()));
    for (const std::string& command : {"marker " + picture + " -o " + folder + "/m.png",
                                       "pattern make " + picture + " -o " + folder + "/p.patt"}) {
        const TCliResult result = runMarkeye(command);
        EXPECT_EQ(result.status, 1) << command;
        EXPECT_EQ(result.err.rfind("markeye: " + picture + ": the picture is " + GetParam().reason, 0), 0u)
            << command << ": " << result.err;
    }
    EXPECT_EQ(readFile(folder + "/m.png"), "");
    EXPECT_EQ(readFile(folder + "/p.patt"), "");
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, PoorPictureTest,
    ::testing::Values(
        TPoorPicture{"OnePixel", [] { return greyPicture(1, 1, [](int32_t, int32_t) { return 0; }); },
                     "too small (1 x 1 pixels; at least 4 x 4 needed)"},
        TPoorPicture{"ThreeByThree", [] { return checkerboard(3); }, "too small (3 x 3 pixels"},
        TPoorPicture{"PlainGrey", [] { return greyPicture(32, 32, [](int32_t, int32_t) { return 128; }); },
                     "too uniform (its cells' brightness has a standard deviation of 0.0 of 255"},
        // Stripes of 120 and 140, a cell wide: a standard deviation of 10.
        TPoorPicture{"FaintStripes",
                     [] {
                         return greyPicture(32, 32, [](int32_t x, int32_t) { return (x / 2) % 2 == 0 ? 120 : 140; });
                     },
                     "too uniform (its cells' brightness has a standard deviation of 10.0 of 255"}),
    [](const ::testing::TestParamInfo<TPoorPicture>& i_info) { return std::string(i_info.param.name); });

// The smallest readable picture and stripes just above the least contrast
// are taken by both commands.
TEST(ReadablePictureTest, MarkerAndPatternMakeTakeIt)
{
    const std::string folder = testFolder();
    writeFile(folder + "/small.png", CliTest::encodePng(checkerboard(4)));
    // Stripes of 110 and 144 on the 16 x 16 grid: a standard deviation of 17.
    writeFile(folder + "/faint.png", CliTest::encodePng(greyPicture(
                                         32, 32, [](int32_t x, int32_t) { return (x / 2) % 2 == 0 ? 110 : 144; })));
    for (const char* name : {"small", "faint"}) {
        const std::string picture = folder + "/" + name + ".png";
        const TCliResult marker = runMarkeye("marker " + picture + " -o " + folder + "/m.png");
        EXPECT_EQ(marker.status, 0) << marker.err;
        const TCliResult pattern = runMarkeye("pattern make " + picture + " -o " + folder + "/p.patt");
        EXPECT_EQ(pattern.status, 0) << pattern.err;
    }
}

// A picture that is not square is neither stretched nor padded.
TEST(ReadablePictureTest, MarkerRefusesAPictureThatIsNotSquare)
{
    const std::string folder = testFolder();
    writeFile(folder + "/wide.png", CliTest::encodePng(greyPicture(40, 20, [](int32_t x, int32_t y) {
                  return (x / 5 + y / 5) % 2 == 0 ? 0 : 255;
              })));
    const TCliResult result = runMarkeye("marker " + folder + "/wide.png -o " + folder + "/m.png");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "markeye: " + folder +
                              "/wide.png: the picture is 40 x 20 pixels; a marker's picture must be square (it is "
                              "neither stretched nor padded): crop it\n");
    EXPECT_EQ(readFile(folder + "/m.png"), "");
}
