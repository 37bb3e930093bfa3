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

int runWithUsage(const std::string& i_command, const char* i_usage, const std::function<int()>& i_run)
{
    try {
        return i_run();
    } catch (const UsageError& e) {
        std::cerr << "markeye " << i_command << ": " << readableMessage(e.what()) << "\n" << i_usage;
        return 2;
    }
}

int runVerbs(const char* i_command, const char* i_usage, std::initializer_list<TCliVerb> i_verbs, int i_argc,
             char** i_argv)
{
    const std::string command = i_command;
    return runWithUsage(command, i_usage, [&] {
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
    });
}

std::string readableMessage(const std::string& i_message)
{
    std::string readable;
    std::string::size_type start = 0;
    while (start < i_message.size()) {
        const std::string::size_type open = i_message.find('"', start);
        const std::string::size_type close = open == std::string::npos ? open : i_message.find('"', open + 1);
        if (close == std::string::npos) {
            return readable + i_message.substr(start);
        }
        const std::string quoted = i_message.substr(open + 1, close - open - 1);
        readable += i_message.substr(start, open + 1 - start);
        readable += quoted.size() <= QUOTE_MAX ? quoted : quoted.substr(0, QUOTE_MAX) + "...";
        readable += '"';
        start = close + 1;
    }
    return readable;
}

}  // namespace Markeye
