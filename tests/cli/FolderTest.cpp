#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "CliRunner.h"
#include "TestImages.h"

namespace {

// Runs the program in i_folder, as a user who changed into it.
TCliResult runMarkeyeIn(const std::string& i_folder, const std::string& i_arguments)
{
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(i_folder);
    const TCliResult result = runMarkeye(i_arguments);
    std::filesystem::current_path(before);
    return result;
}

}  // namespace

// demo --out into a folder an earlier, longer run wrote: its own files of
// that run are gone, everything else stays.
TEST(DemoFolderTest, ReplacesOnlyTheFilesOfAnEarlierRun)
{
    const std::string folder = testFolder();
    for (const char* old : {"frame_099.png", "overlay_099.png", "frame_1000.png", "track.jsonl", "contact_sheet.png"}) {
        writeFile(folder + "/" + old, "old");
    }
    for (const char* kept : {"notes.txt", "frame_final.png", "frame_001.jpg", "my_frame_001.png"}) {
        writeFile(folder + "/" + kept, "mine");
    }
    const TCliResult result = runMarkeye("demo --frames 3 --out " + folder);
    ASSERT_EQ(result.status, 0) << result.err;
    for (const char* old : {"frame_099.png", "overlay_099.png", "frame_1000.png", "frame_003.png"}) {
        EXPECT_FALSE(std::filesystem::exists(folder + "/" + old)) << old;
    }
    for (const char* written : {"frame_000.png", "frame_002.png", "overlay_002.png", "contact_sheet.png"}) {
        EXPECT_EQ(readFile(folder + "/" + written).substr(0, 4), "\x89PNG") << written;
    }
    EXPECT_NE(readFile(folder + "/track.jsonl"), "old");
    for (const char* kept : {"notes.txt", "frame_final.png", "frame_001.jpg", "my_frame_001.png"}) {
        EXPECT_EQ(readFile(folder + "/" + kept), "mine") << kept;
    }
}

// --module with a bare file name loads that file of the current folder,
// not one on the library path.
TEST(XtraFolderTest, BareModuleNameIsInTheCurrentFolder)
{
    const std::string folder = testFolder();
    std::filesystem::copy_file(MARKEYE_XTRA_MODULE, folder + "/mx.so");
    writeFile(folder + "/frame.png", CliTest::encodePng(CliTest::renderFrame({})));
    const TCliResult loaded = runMarkeyeIn(folder, "xtra --module mx.so frame.png");
    EXPECT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(loaded.out.rfind("frame.png: [0, 0, 0, 0, 0, 0, 0, 0]", 0), 0u) << loaded.out;
    const TCliResult missing = runMarkeyeIn(folder, "xtra --module absent.so frame.png");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("markeye: cannot load the plug-in module ./absent.so: ", 0), 0u) << missing.err;
}
