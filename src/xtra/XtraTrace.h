#pragma once

namespace VoXtra {

// Diagnostic lines of the plug-in ("ERROR", "NO PATTERN LOADED!"). The line
// is formatted as a trace line and goes nowhere: scripts learn of failures
// only through the values the methods return.
void xtraTrace(const char* i_message);

}  // namespace VoXtra
