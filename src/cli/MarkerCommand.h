#pragma once

namespace Markeye {

// "markeye marker": renders a printable marker (black border, picture in the
// central half, its name and size printed under it) as a PNG. Returns the
// exit status.
int runMarkerCommand(int i_argc, char** i_argv);

}  // namespace Markeye
