#pragma once

#include <stdexcept>
#include <string>

namespace Markeye {

// An error the user can fix; its message is printed as one line.
class CliError : public std::runtime_error
{
public:
    explicit CliError(const std::string& i_message) : std::runtime_error(i_message) {}
};

// A command line the program does not understand; the usage follows the message.
class UsageError : public CliError
{
public:
    using CliError::CliError;
};

}  // namespace Markeye
