#include <gtest/gtest.h>

#include <string>

#include "CliRunner.h"

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
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("unknown built-in marker \"nosuch\" (known: flag,"), std::string::npos) << unknown.err;
    const TCliResult grid = runMarkeye("pattern make --builtin flag --size 12 -o /dev/null");
    EXPECT_EQ(grid.status, 1);
    EXPECT_NE(grid.err.find("--size: each side must be"), std::string::npos) << grid.err;
}
