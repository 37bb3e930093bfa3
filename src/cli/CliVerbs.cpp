#include "CliVerbs.h"

#include <iostream>
#include <string>

#include "CliError.h"

namespace Markeye {

namespace {

std::string verbList(std::initializer_list<TCliVerb> i_verbs)
{
    std::string names;
    for (const TCliVerb& verb : i_verbs) {
        names += (names.empty() ? "" : " or ") + std::string(verb.name);
    }
    return names;
}

}  // namespace

int runVerbs(const char* i_command, const char* i_usage, std::initializer_list<TCliVerb> i_verbs, int i_argc,
             char** i_argv)
{
    const std::string command = i_command;
    try {
        const std::string name = i_argc > 0 ? i_argv[0] : "";
        for (const TCliVerb& verb : i_verbs) {
            if (name == verb.name) {
                return verb.run(i_argc - 1, i_argv + 1);
            }
        }
        if (name == "--help" || name == "-h") {
            std::cout << i_usage;
            return 0;
        }
        throw UsageError(name.empty() ? command + " needs " + verbList(i_verbs)
                                      : "unknown " + command + " command " + name);
    } catch (const UsageError& e) {
        std::cerr << "markeye " << command << ": " << e.what() << "\n" << i_usage;
        return 2;
    }
}

}  // namespace Markeye
