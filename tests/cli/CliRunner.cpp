#include "CliRunner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

std::string readFile(const std::string& i_path)
{
    std::ifstream file(i_path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

TCliResult runMarkeye(const std::string& i_arguments)
{
    // One file per process and call, so that tests may run in parallel.
    static int call_count = 0;
    const std::string err_path = ::testing::TempDir() + "markeye_stderr_" + std::to_string(getpid()) + "_" +
                                 std::to_string(++call_count) + ".txt";
    const std::string command = std::string(MARKEYE_PROGRAM) + " " + i_arguments + " 2>" + err_path;
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
