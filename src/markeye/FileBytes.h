#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace markeye {

// Whole files for the library's readers and writers, failing with one line
// that names the file (i_what such as "camera file ", or "" for a picture).
// Only regular files are read: a FIFO or a device would block or stream
// without end. A file is read only when it holds at most i_limit bytes, what
// its format can hold, so that no file makes a reader run out of memory.
std::vector<uint8_t> readFileBytes(const std::string& i_path, const std::string& i_what, std::size_t i_limit);
// Writes the whole file or throws.
void writeFileBytes(const std::string& i_path, const std::string& i_what, const void* i_bytes, std::size_t i_size);

}  // namespace markeye
