#pragma once

namespace Markeye {

// "markeye track": finds the markers in picture files or a raw frame stream
// and prints one JSON object per frame. Returns the exit status.
int runTrackCommand(int i_argc, char** i_argv);

}  // namespace Markeye
