// The core's file readers given paths that are no regular files.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "VoARCode.h"
#include "VoARException.h"
#include "VoARInputFile.h"
#include "VoARParam.h"

using namespace VoTrack;

namespace {

class CoreFileInputTest : public ::testing::Test
{
protected:
    static constexpr unsigned WATCHDOG_SECONDS = 60;

    void SetUp() override
    {
        const std::string stem = ::testing::TempDir() + "markeye_core_input_" + std::to_string(::getpid());
        _fifo = stem + ".fifo";
        _regular = stem + ".txt";
        std::remove(_fifo.c_str());
        ASSERT_EQ(::mkfifo(_fifo.c_str(), 0600), 0);
        std::ofstream(_regular) << "1 2 3\n";
        // Opening the FIFO for reading would block for ever; the alarm ends
        // the program instead should that come back.
        ::alarm(WATCHDOG_SECONDS);
    }
    void TearDown() override
    {
        ::alarm(0);
        std::remove(_fifo.c_str());
        std::remove(_regular.c_str());
    }

    std::string _fifo;
    std::string _regular;
};

TEST_F(CoreFileInputTest, OnlyRegularFilesCount)
{
    EXPECT_TRUE(VoARInputFile::isRegularFile(_regular.c_str()));
    EXPECT_FALSE(VoARInputFile::isRegularFile(_fifo.c_str()));
    EXPECT_FALSE(VoARInputFile::isRegularFile("/dev/null"));
    EXPECT_FALSE(VoARInputFile::isRegularFile(::testing::TempDir().c_str()));
    EXPECT_FALSE(VoARInputFile::isRegularFile((_regular + ".missing").c_str()));
    EXPECT_FALSE(VoARInputFile::isRegularFile(""));
    EXPECT_FALSE(VoARInputFile::isRegularFile(nullptr));
}

TEST_F(CoreFileInputTest, LinkToARegularFileCounts)
{
    const std::string link = _regular + ".link";
    std::remove(link.c_str());
    ASSERT_EQ(::symlink(_regular.c_str(), link.c_str()), 0);
    EXPECT_TRUE(VoARInputFile::isRegularFile(link.c_str()));
    std::remove(link.c_str());
}

TEST_F(CoreFileInputTest, CameraReaderRefusesAFifoWithoutWaiting)
{
    VoARParam param;
    EXPECT_THROW(param.loadFromFile(_fifo.c_str()), VoARException);
    EXPECT_THROW(param.loadFromFile("/dev/zero"), VoARException);
    EXPECT_EQ(param.getScreenSize()->w, 0);
}

TEST_F(CoreFileInputTest, PatternReaderRefusesAFifoWithoutWaiting)
{
    VoARCode code(1, 1);
    EXPECT_THROW(code.loadFromFile(_fifo.c_str()), VoARException);
    EXPECT_THROW(code.loadFromFile("/dev/zero"), VoARException);
    EXPECT_EQ(code.getColorPattern()[0], 0);
}

}  // namespace
