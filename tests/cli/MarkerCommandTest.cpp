#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "BuiltinMarkers.h"
#include "CliRunner.h"
#include "DetectionScene.h"
#include "TestImages.h"
#include "TestJson.h"

using CliTest::pngFacts;
using CliTest::TPngFacts;

// 80 mm at 72 dpi is 227 pixels, with a margin of 28 around and the label
// (7 pixels high) under it; tracked as it is, its vertex 0 is the top-left.
TEST(MarkerCommandTest, PrintedMarkerIsFoundUpright)
{
    const std::string folder = testFolder();
    const TCliResult made = runMarkeye("marker --builtin tee --size-mm 80 --dpi 72 -o " + folder + "/tee.png");
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.err, "wrote " + folder + "/tee.png (tee, 227 x 227 pixels, 80 mm at 72 dpi)\n");
    const TPngFacts facts = pngFacts(readFile(folder + "/tee.png"));
    EXPECT_EQ(facts.width, 283u);
    EXPECT_EQ(facts.height, 283u + 7u + 14u);
    EXPECT_EQ(facts.pixels_per_metre, 2835u);

    const TCliResult tracked = runMarkeye(std::string("track --min-confidence 0.9 --pattern ") + MARKEYE_DATA_DIR +
                                          "/patterns/tee.patt " + folder + "/tee.png");
    const std::vector<TJson> lines = parseJsonLines(tracked.out);
    ASSERT_EQ(lines.size(), 1u);
    const TJson& marker = lines[0]["markers"][0];
    ASSERT_TRUE(marker["found"].boolean);
    // The black square covers pixels 28 to 254, edges at 27.5 and 254.5.
    const double expected[4][2] = {{27.5, 27.5}, {254.5, 27.5}, {254.5, 254.5}, {27.5, 254.5}};
    for (size_t i = 0; i < 4; i++) {
        EXPECT_NEAR(marker["corners"][i][0].number, expected[i][0], 1.0) << "vertex " << i;
        EXPECT_NEAR(marker["corners"][i][1].number, expected[i][1], 1.0) << "vertex " << i;
    }
}

TEST(MarkerCommandTest, SameMarkerFromPictureFileAndBuiltin)
{
    const std::string folder = testFolder();
    const int32_t tee = Markeye::BuiltinMarkers::find("tee");
    writeFile(folder + "/tee.png", CliTest::encodePng(CliTest::pictureFrame(MarkeyeTest::builtinPicture(tee), 1)));
    const std::string options = " --size-mm 50 --dpi 100 -o ";
    ASSERT_EQ(runMarkeye("marker --builtin tee" + options + folder + "/builtin.png").status, 0);
    ASSERT_EQ(runMarkeye(std::string("marker --pattern ") + MARKEYE_DATA_DIR + "/patterns/tee.patt" + options + folder +
                         "/pattern.png")
                  .status,
              0);
    ASSERT_EQ(runMarkeye("marker " + folder + "/tee.png" + options + folder + "/picture.png").status, 0);
    const std::string builtin = readFile(folder + "/builtin.png");
    EXPECT_FALSE(builtin.empty());
    EXPECT_EQ(readFile(folder + "/pattern.png"), builtin);
    EXPECT_EQ(readFile(folder + "/picture.png"), builtin);
}

TEST(MarkerCommandTest, RefusesUnclearSourcesAndSizes)
{
    const TCliResult two = runMarkeye("marker --builtin tee --pattern x.patt -o /dev/null");
    EXPECT_EQ(two.status, 2);
    EXPECT_EQ(
        two.err.rfind("markeye marker: marker needs one of PICTURE, --pattern FILE and --builtin NAME\nusage:", 0), 0u)
        << two.err;
    const TCliResult none = runMarkeye("marker -o /dev/null");
    EXPECT_EQ(none.status, 2);
    const TCliResult huge = runMarkeye("marker --builtin tee --size-mm 2000 --dpi 1200 -o /dev/null");
    EXPECT_EQ(huge.status, 1);
    EXPECT_EQ(huge.err, "markeye: a marker of 2000 mm at 1200 dpi would be 94488 pixels wide; choose a size from 16 "
                        "to 8192 pixels\n");
    const TCliResult negative = runMarkeye("marker --builtin tee --dpi -3 -o /dev/null");
    EXPECT_EQ(negative.status, 2);
    EXPECT_EQ(negative.err.rfind("markeye marker: --dpi: expected a number above 0, got \"-3\"\nusage:", 0), 0u)
        << negative.err;
}
