#include "HostMethodTable.h"

#include <sstream>
#include <stdexcept>

namespace MarkeyeHost {

namespace {

const std::string MODULE_PREFIX = "xtra ";
const std::string COMMENT_PREFIX = "--";
const std::string CALL_MARKS = "/+";

std::string methodName(const std::string& i_line)
{
    const size_t start = CALL_MARKS.find(i_line[0]) == std::string::npos ? 0 : 1;
    const size_t end = i_line.find(' ', start);
    return i_line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

HostMethodTable::HostMethodTable(const std::string& i_text)
{
    std::istringstream lines(i_text);
    std::string line;
    if (!std::getline(lines, line) || line.compare(0, MODULE_PREFIX.size(), MODULE_PREFIX) != 0) {
        throw std::invalid_argument("method table without its module line");
    }
    _module_name = line.substr(MODULE_PREFIX.size());
    while (std::getline(lines, line)) {
        if (line.empty() || line.compare(0, COMMENT_PREFIX.size(), COMMENT_PREFIX) == 0) {
            continue;
        }
        _method_lines.push_back(line);
        _method_names.push_back(methodName(line));
    }
}

int32_t HostMethodTable::indexOf(const std::string& i_name) const
{
    for (size_t i = 0; i < _method_names.size(); i++) {
        if (_method_names[i] == i_name) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

}  // namespace MarkeyeHost
