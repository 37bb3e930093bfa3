#pragma once

#include <string>

// Runs the markeye program with a shell-quoted argument string and captures
// its exit status, standard output and standard error.
struct TCliResult
{
    int status;
    std::string out;
    std::string err;
};

TCliResult runMarkeye(const std::string& i_arguments);
// The same with standard input read from a file.
TCliResult runMarkeyeWithInput(const std::string& i_arguments, const std::string& i_input_path);
// The same with standard input the output of a shell command.
TCliResult runMarkeyePiped(const std::string& i_producer, const std::string& i_arguments);

std::string readFile(const std::string& i_path);
void writeFile(const std::string& i_path, const std::string& i_bytes);
// i_text in single quotes for the shell.
std::string shellQuote(const std::string& i_text);
// A fresh, empty folder of that name (and this process's) under the tests'
// temporary folder, removed when the test program ends.
std::string freshFolder(const std::string& i_name);
// A fresh folder named after the running test.
std::string testFolder();
