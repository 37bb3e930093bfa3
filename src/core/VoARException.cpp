#include "VoARException.h"

#include <cstdio>

namespace VoTrack {

VoARException::VoARException() = default;

VoARException::VoARException(const char* i_message)
{
    std::perror(i_message);
}

VoARException::VoARException(const std::exception& /*i_cause*/)
{
}

VoARException::VoARException(const VoARException& /*i_src*/) : std::exception()
{
}

VoARException::~VoARException() = default;

void VoARException::throwTrap(const char* /*i_message*/)
{
    // "Trap" in Shift_JIS, the text this exception has always reported.
    throw VoARException("\x83\x67\x83\x89\x83\x62\x83\x76");
}

void VoARException::throwNotImplemented()
{
    throw VoARException("Not Implement!");
}

}  // namespace VoTrack
