#pragma once

namespace Markeye {

// "markeye pattern make|show": writes the pattern file of a marker picture,
// or shows the four directions of one.
// Returns the exit status.
int runPatternCommand(int i_argc, char** i_argv);

}  // namespace Markeye
