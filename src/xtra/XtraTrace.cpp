#include "XtraTrace.h"

#include <cstdio>

namespace VoXtra {

void xtraTrace(const char* i_message)
{
    // Longer messages are cut to the line.
    char line[256];
    std::snprintf(line, sizeof(line), "%s\n", i_message);
}

}  // namespace VoXtra
