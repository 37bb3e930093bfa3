#pragma once

namespace Markeye {

// "markeye camera make|show": writes a camera parameter file from a focal
// length and an image size, or prints one readably. Returns the exit status.
int runCameraCommand(int i_argc, char** i_argv);

}  // namespace Markeye
