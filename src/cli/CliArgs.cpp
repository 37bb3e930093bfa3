#include "CliArgs.h"

#include "CliError.h"

namespace Markeye {

CliArgs::CliArgs(std::vector<TOptionSpec> i_specs) : _specs(std::move(i_specs)) {}

void CliArgs::parse(int i_argc, char** i_argv)
{
    bool options_ended = false;
    for (int i = 0; i < i_argc; i++) {
        const std::string arg = i_argv[i];
        if (options_ended || arg.size() < 2 || arg[0] != '-') {
            _positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        // Accept both "--name value" and "--name=value".
        const std::string::size_type equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const TOptionSpec* option = findSpec(name);
        if (option == nullptr) {
            throw UsageError("unknown option " + name);
        }
        if (!option->takes_value) {
            _values[name].emplace_back();
            continue;
        }
        if (equals != std::string::npos) {
            _values[name].push_back(arg.substr(equals + 1));
        } else if (i + 1 < i_argc) {
            _values[name].push_back(i_argv[++i]);
        } else {
            throw UsageError("option " + name + " needs a value");
        }
    }
}

bool CliArgs::has(const std::string& i_name) const
{
    return _values.count(i_name) != 0;
}

std::optional<std::string> CliArgs::value(const std::string& i_name) const
{
    const auto found = _values.find(i_name);
    if (found == _values.end()) {
        return std::nullopt;
    }
    return found->second.back();
}

std::vector<std::string> CliArgs::values(const std::string& i_name) const
{
    const auto found = _values.find(i_name);
    return found == _values.end() ? std::vector<std::string>() : found->second;
}

const CliArgs::TOptionSpec* CliArgs::findSpec(const std::string& i_name) const
{
    for (const TOptionSpec& option : _specs) {
        if (option.name == i_name) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace Markeye
