#pragma once

#include <stdexcept>
#include <string>

namespace markeye {

// Every refusal of the library: a file that cannot be read or is not what it
// should be, an argument out of range, a frame the tracker cannot take. The
// message is one line that names the file or argument and the fault.
class Error : public std::runtime_error
{
public:
    explicit Error(const std::string& i_message) : std::runtime_error(i_message) {}
};

}  // namespace markeye
