#include "markeye/Version.h"

namespace markeye {

const char* version()
{
    return MARKEYE_VERSION_STRING;
}

}  // namespace markeye
