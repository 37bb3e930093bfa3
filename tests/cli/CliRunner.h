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

std::string readFile(const std::string& i_path);
