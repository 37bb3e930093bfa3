#pragma once

namespace Markeye {

// "markeye demo": renders the built-in markers moving through the built-in
// camera, tracks them, writes the frames, overlays, their JSON and a contact
// sheet, and prints how well the tracker did. Returns the exit status.
int runDemoCommand(int i_argc, char** i_argv);

}  // namespace Markeye
