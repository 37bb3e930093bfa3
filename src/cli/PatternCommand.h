#pragma once

namespace Markeye {

// "markeye pattern make": writes the pattern file of a marker picture.
// Returns the exit status.
int runPatternCommand(int i_argc, char** i_argv);

}  // namespace Markeye
