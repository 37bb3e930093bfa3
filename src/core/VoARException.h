#pragma once

#include <exception>

namespace VoTrack {

// The tracker core's one exception type. It carries no data: a default-built
// exception signals degenerate geometry, exhausted containers or unreadable
// files without printing anything.
class VoARException : public std::exception
{
public:
    VoARException();
    // Writes i_message to standard error through perror (message, colon,
    // errno text) at once; the message is not kept.
    explicit VoARException(const char* i_message);
    // Turns another standard exception into this one; the cause is dropped.
    explicit VoARException(const std::exception& i_cause);
    VoARException(const VoARException& i_src);
    ~VoARException() override;

    [[noreturn]] static void throwTrap(const char* i_message);
    [[noreturn]] static void throwNotImplemented();
};

}  // namespace VoTrack
