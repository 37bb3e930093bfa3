#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Markeye {

// A command's options: each name (such as "--size") either takes a value or
// is a flag, and is given at most once unless it repeats. parse() splits argv
// into options and positional arguments and throws UsageError for an unknown
// option, a missing or unwanted value, an option given twice that does not
// repeat, or two options declared to conflict.
class CliArgs
{
public:
    struct TOptionSpec
    {
        std::string name;
        bool takes_value;
        // Whether the option may be given more than once (such as --pattern).
        bool repeats = false;
    };

    // Two options that make no sense together.
    struct TConflict
    {
        std::string first;
        std::string second;
    };

    explicit CliArgs(std::vector<TOptionSpec> i_specs, std::vector<TConflict> i_conflicts = {});

    void parse(int i_argc, char** i_argv);

    bool has(const std::string& i_name) const;
    // The value of the last occurrence, if any.
    std::optional<std::string> value(const std::string& i_name) const;
    // The values of every occurrence, in command-line order.
    std::vector<std::string> values(const std::string& i_name) const;
    const std::vector<std::string>& positional() const { return _positional; }

private:
    const TOptionSpec* findSpec(const std::string& i_name) const;
    void add(const TOptionSpec& i_option, std::string i_value);
    void checkConflicts() const;

    std::vector<TOptionSpec> _specs;
    std::vector<TConflict> _conflicts;
    std::map<std::string, std::vector<std::string>> _values;
    std::vector<std::string> _positional;
};

}  // namespace Markeye
