#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace MarkeyeHost {

// A module's registered method table text, read as the host reads it: the
// first line "xtra <name>", then lines of which those that are neither
// empty nor comments ("--") declare one method each, in call-index order.
// A method line begins with the method's name, after an optional '/' or
// '+' that marks how the method is called.
class HostMethodTable
{
public:
    // Throws std::invalid_argument for text without the "xtra " line.
    explicit HostMethodTable(const std::string& i_text);

    const std::string& moduleName() const { return _module_name; }
    const std::vector<std::string>& methodNames() const { return _method_names; }
    // Each method line whole, in the same order.
    const std::vector<std::string>& methodLines() const { return _method_lines; }
    // The call index of a method, or -1.
    int32_t indexOf(const std::string& i_name) const;

private:
    std::string _module_name;
    std::vector<std::string> _method_names;
    std::vector<std::string> _method_lines;
};

}  // namespace MarkeyeHost
