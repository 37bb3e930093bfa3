// Replays every committed fuzz input through its fuzz entry: the inputs that
// once crashed or broke a promise (tests/robustness/inputs/<entry>/) and the
// seed corpora (fuzz/seeds/<entry>/). An entry returns normally unless the
// code under test misbehaves, so each replay passes by running through.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzEntries.h"

namespace {

struct TReplay
{
    // Entry name, then where the input came from and its file.
    const MarkeyeFuzz::TFuzzEntry* entry;
    std::string kind;
    std::filesystem::path file;
};

void PrintTo(const TReplay& i_replay, std::ostream* o_stream)
{
    *o_stream << i_replay.file.string();
}

std::vector<TReplay> inputsIn(const std::string& i_root, const std::string& i_kind)
{
    std::vector<TReplay> replays;
    for (const MarkeyeFuzz::TFuzzEntry& entry : MarkeyeFuzz::FUZZ_ENTRIES) {
        const std::filesystem::path folder = std::filesystem::path(i_root) / entry.name;
        if (!std::filesystem::is_directory(folder)) {
            continue;
        }
        std::vector<std::filesystem::path> files;
        for (const auto& item : std::filesystem::directory_iterator(folder)) {
            if (item.is_regular_file()) {
                files.push_back(item.path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const std::filesystem::path& file : files) {
            replays.push_back({&entry, i_kind, file});
        }
    }
    return replays;
}

std::vector<TReplay> allInputs()
{
    std::vector<TReplay> replays = inputsIn(MARKEYE_REGRESSION_INPUTS, "regression");
    const std::vector<TReplay> seeds = inputsIn(MARKEYE_FUZZ_SEEDS, "seed");
    replays.insert(replays.end(), seeds.begin(), seeds.end());
    return replays;
}

class RegressionReplayTest : public ::testing::TestWithParam<TReplay>
{
protected:
    // Some inputs once hung the plug-in (a reader waiting on a FIFO); should
    // that come back, the alarm ends the program instead of hanging it.
    static constexpr unsigned WATCHDOG_SECONDS = 120;

    void SetUp() override { ::alarm(WATCHDOG_SECONDS); }
    void TearDown() override { ::alarm(0); }
};

TEST_P(RegressionReplayTest, RunsThroughItsEntry)
{
    std::ifstream file(GetParam().file, std::ios::binary);
    ASSERT_TRUE(file.is_open()) << GetParam().file;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    GetParam().entry->run(bytes.data(), bytes.size());
}

std::string replayName(const ::testing::TestParamInfo<TReplay>& i_info)
{
    std::string name = std::string(i_info.param.entry->name) + "_" + i_info.param.kind + "_" +
                       i_info.param.file.filename().string();
    const auto is_other = [](char i_c) { return std::isalnum(static_cast<unsigned char>(i_c)) == 0; };
    std::replace_if(name.begin(), name.end(), is_other, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Inputs, RegressionReplayTest, ::testing::ValuesIn(allInputs()), replayName);

TEST(RegressionInputs, EveryEntryHasSeeds)
{
    for (const MarkeyeFuzz::TFuzzEntry& entry : MarkeyeFuzz::FUZZ_ENTRIES) {
        const std::filesystem::path folder = std::filesystem::path(MARKEYE_FUZZ_SEEDS) / entry.name;
        EXPECT_TRUE(std::filesystem::is_directory(folder) && !std::filesystem::is_empty(folder)) << folder;
    }
}

}  // namespace
