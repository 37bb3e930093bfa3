#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Markeye {

// A command's options: each name (such as "--size") either takes a value or
// is a flag. parse() splits argv into options and positional arguments and
// throws CliError for an unknown option or a missing value.
class CliArgs
{
public:
    struct TOptionSpec
    {
        std::string name;
        bool takes_value;
    };

    explicit CliArgs(std::vector<TOptionSpec> i_specs);

    void parse(int i_argc, char** i_argv);

    bool has(const std::string& i_name) const;
    // The value of the last occurrence, if any.
    std::optional<std::string> value(const std::string& i_name) const;
    // The values of every occurrence, in command-line order.
    std::vector<std::string> values(const std::string& i_name) const;
    const std::vector<std::string>& positional() const { return _positional; }

private:
    const TOptionSpec* findSpec(const std::string& i_name) const;

    std::vector<TOptionSpec> _specs;
    std::map<std::string, std::vector<std::string>> _values;
    std::vector<std::string> _positional;
};

}  // namespace Markeye
