#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "TestJson.h"

// Two frames: every shown marker found where it was drawn, the patterns not
// shown not found, and the files written.
TEST(DemoCommandTest, TracksEveryShownMarkerAndWritesItsFiles)
{
    const std::string folder = testFolder() + "/out";
    const TCliResult result = runMarkeye("demo --frames 2 --out " + folder);
    ASSERT_EQ(result.status, 0) << result.err;
    std::istringstream table(result.out);
    std::string line;
    bool found_total = false;
    while (std::getline(table, line)) {
        std::istringstream row(line);
        std::string name;
        int shown = -1;
        int found = -1;
        int missed = -1;
        int false_found = -1;
        row >> name;
        if (name == "all") {
            row >> shown >> found >> missed >> false_found;
            // Five markers in each of two frames.
            EXPECT_EQ(shown, 10) << line;
            EXPECT_EQ(found, 10) << line;
            EXPECT_EQ(missed, 0) << line;
            EXPECT_EQ(false_found, 0) << line;
            found_total = true;
        }
    }
    EXPECT_TRUE(found_total) << result.out;
    for (const char* name :
         {"frame_000.png", "frame_001.png", "overlay_000.png", "overlay_001.png", "contact_sheet.png"}) {
        EXPECT_EQ(readFile(folder + "/" + name).substr(0, 4), "\x89PNG") << name;
    }
    const std::vector<TJson> lines = parseJsonLines(readFile(folder + "/track.jsonl"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1]["frame"].text, "frame_001.png");
    EXPECT_EQ(lines[1]["markers"].elements.size(), 8u);
}

TEST(DemoCommandTest, RefusesABadFrameCount)
{
    const TCliResult result = runMarkeye("demo --frames 0");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.rfind("markeye demo: --frames: expected a whole number from 1 to 1000, got \"0\"\nusage: "
                               "markeye demo ",
                               0),
              0u)
        << result.err;
}
