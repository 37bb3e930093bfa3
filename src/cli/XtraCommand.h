#pragma once

namespace Markeye {

// "markeye xtra": loads the scripting plug-in module into the emulated host
// and runs it on picture files as a host script would, printing each
// frame's result list in script notation. Returns the exit status.
int runXtraCommand(int i_argc, char** i_argv);

}  // namespace Markeye
