#pragma once

#include <string>
#include <vector>

namespace XtraTest {

// Names of the global and weak symbols a 64-bit ELF shared object defines
// in its dynamic symbol table: what a loader can resolve in it. Read from
// the file itself; throws std::runtime_error for a file it cannot read.
std::vector<std::string> definedDynamicSymbols(const std::string& i_path);

}  // namespace XtraTest
