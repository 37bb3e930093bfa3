#pragma once

namespace Markeye {

// "markeye pattern make|show|generate": writes the pattern file of a marker
// picture, shows the four directions of one, or writes those of generated
// markers.
// Returns the exit status.
int runPatternCommand(int i_argc, char** i_argv);

}  // namespace Markeye
