#pragma once

namespace Markeye {

// "markeye calibrate --board FILE FRAME...": estimates the camera from views
// of a board and writes its camera file. Returns the exit status.
int runCalibrateCommand(int i_argc, char** i_argv);

}  // namespace Markeye
