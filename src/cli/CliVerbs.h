#pragma once

#include <initializer_list>

namespace Markeye {

// One verb of a command with verbs ("make" of "markeye camera make").
struct TCliVerb
{
    const char* name;
    int (*run)(int i_argc, char** i_argv);
};

// Runs the verb named by i_argv[0] with the arguments after it. "--help"
// prints i_usage; a missing or unknown verb, or a UsageError from the verb,
// prints the message and i_usage to standard error and gives status 2.
int runVerbs(const char* i_command, const char* i_usage, std::initializer_list<TCliVerb> i_verbs, int i_argc,
             char** i_argv);

}  // namespace Markeye
