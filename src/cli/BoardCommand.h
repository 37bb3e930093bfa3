#pragma once

namespace Markeye {

// "markeye board make|show": writes a board file of generated markers on a
// grid and its printable picture, or prints and draws a board file.
// Returns the exit status.
int runBoardCommand(int i_argc, char** i_argv);

}  // namespace Markeye
