#include "VoARAssert.h"

#include <cstdio>
#include <cstdlib>

namespace VoTrack {

void voAssertFail(const char* i_unit, unsigned i_line, const char* i_expression)
{
    std::fprintf(stderr, "%s:%u: failed assertion `%s'\n", i_unit, i_line, i_expression);
    std::fflush(stderr);
    std::abort();
}

}  // namespace VoTrack
