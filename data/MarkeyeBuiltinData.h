#pragma once

#include <cstddef>

namespace Markeye {

// A built-in file's bytes, compiled into the program.
struct TBuiltinFile
{
    const char* name;
    const unsigned char* bytes;
    std::size_t size;
};

// The built-in camera: 640 x 480, focal length 700 pixels, principal point at
// the image centre, no lens distortion (data/camera_640x480.dat).
TBuiltinFile builtinCamera();

}  // namespace Markeye
