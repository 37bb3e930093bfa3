#include "MarkeyeBuiltinData.h"

extern const unsigned char MARKEYE_CAMERA_640X480[];
extern const unsigned long MARKEYE_CAMERA_640X480_SIZE;

namespace Markeye {

TBuiltinFile builtinCamera()
{
    return {"camera_640x480.dat", MARKEYE_CAMERA_640X480, MARKEYE_CAMERA_640X480_SIZE};
}

}  // namespace Markeye
