#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>

namespace Markeye {

// One verb of a command with verbs ("make" of "markeye camera make").
struct TCliVerb
{
    const char* name;
    int (*run)(int i_argc, char** i_argv);
};

// Runs i_run and gives its status; a UsageError from it prints
// "markeye COMMAND: message" and i_usage to standard error and gives 2.
int runWithUsage(const std::string& i_command, const char* i_usage, const std::function<int()>& i_run);

// Runs the verb named by i_argv[0] with the arguments after it. "--help"
// prints i_usage; a missing or unknown verb, or a UsageError from the verb,
// prints the message and i_usage to standard error and gives status 2.
int runVerbs(const char* i_command, const char* i_usage, std::initializer_list<TCliVerb> i_verbs, int i_argc,
             char** i_argv);

// The most characters of a quoted piece of input a message shows.
constexpr size_t QUOTE_MAX = 60;

// i_message fit for one line of standard error: each quoted piece (the
// input a parser quotes, such as a whole line of a file) is cut to
// QUOTE_MAX characters and "...".
std::string readableMessage(const std::string& i_message);

}  // namespace Markeye
