#include "CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

std::string readFile(const std::string& i_path)
{
    std::ifstream file(i_path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void writeFile(const std::string& i_path, const std::string& i_bytes)
{
    std::ofstream(i_path, std::ios::binary | std::ios::trunc) << i_bytes;
}

std::string shellQuote(const std::string& i_text)
{
    std::string quoted = "'";
    for (char c : i_text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

namespace {

// Removes the folders the tests made when the test program ends.
class FolderCleanup : public ::testing::Environment
{
public:
    static std::vector<std::string>& folders()
    {
        static std::vector<std::string> made;
        return made;
    }

    void TearDown() override
    {
        for (const std::string& folder : folders()) {
            std::error_code error;
            std::filesystem::remove_all(folder, error);
        }
    }
};

::testing::Environment* const CLEANUP = ::testing::AddGlobalTestEnvironment(new FolderCleanup);

}  // namespace

std::string freshFolder(const std::string& i_name)
{
    // The process id keeps test programs run side by side apart.
    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / ("markeye_cli_" + std::to_string(getpid()) + "_" + i_name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    FolderCleanup::folders().push_back(folder.string());
    return folder.string();
}

std::string testFolder()
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "_" + test->name();
    // Parameterised tests have '/' in their names.
    std::replace(name.begin(), name.end(), '/', '_');
    return freshFolder(name);
}

namespace {

TCliResult run(const std::string& i_command)
{
    // One file per process and call, so that tests may run in parallel.
    static int call_count = 0;
    const std::string err_path = ::testing::TempDir() + "markeye_stderr_" + std::to_string(getpid()) + "_" +
                                 std::to_string(++call_count) + ".txt";
    const std::string command = i_command + " 2>" + err_path;
    FILE* pipe = popen(command.c_str(), "r");
    TCliResult result{-1, "", ""};
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    size_t count = 0;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.out.append(buffer, count);
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = readFile(err_path);
    std::remove(err_path.c_str());
    return result;
}

}  // namespace

TCliResult runMarkeye(const std::string& i_arguments)
{
    return run(std::string(MARKEYE_PROGRAM) + " " + i_arguments);
}

TCliResult runMarkeyeWithInput(const std::string& i_arguments, const std::string& i_input_path)
{
    return run(std::string(MARKEYE_PROGRAM) + " " + i_arguments + " <" + shellQuote(i_input_path));
}

TCliResult runMarkeyePiped(const std::string& i_producer, const std::string& i_arguments)
{
    return run(i_producer + " | " + std::string(MARKEYE_PROGRAM) + " " + i_arguments);
}
