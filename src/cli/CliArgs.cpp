#include "CliArgs.h"

#include "CliError.h"

namespace Markeye {

CliArgs::CliArgs(std::vector<TOptionSpec> i_specs, std::vector<TConflict> i_conflicts)
    : _specs(std::move(i_specs)), _conflicts(std::move(i_conflicts))
{
}

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
            if (equals != std::string::npos) {
                throw UsageError("option " + name + " takes no value");
            }
            add(*option, "");
        } else if (equals != std::string::npos) {
            add(*option, arg.substr(equals + 1));
        } else if (i + 1 < i_argc) {
            add(*option, i_argv[++i]);
        } else {
            throw UsageError("option " + name + " needs a value");
        }
    }
    checkConflicts();
}

void CliArgs::add(const TOptionSpec& i_option, std::string i_value)
{
    std::vector<std::string>& values = _values[i_option.name];
    // A second value would silently replace the first, unchecked.
    if (!values.empty() && !i_option.repeats) {
        throw UsageError("option " + i_option.name + " given more than once");
    }
    values.push_back(std::move(i_value));
}

void CliArgs::checkConflicts() const
{
    for (const TConflict& conflict : _conflicts) {
        if (has(conflict.first) && has(conflict.second)) {
            throw UsageError(conflict.first + " and " + conflict.second + " exclude each other");
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
