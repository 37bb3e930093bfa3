#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace markeye {

// Whole files for the library's readers and writers, failing with one line
// that names the file: "cannot open <i_what>PATH: reason" (i_what such as
// "camera file "). Only regular files are read: a FIFO or a device would
// block or stream without end.
std::vector<uint8_t> readFileHead(const std::string& i_path, const std::string& i_what, std::size_t i_limit);
std::string readFileText(const std::string& i_path, const std::string& i_what);
// Writes the whole file or throws.
void writeFileBytes(const std::string& i_path, const std::string& i_what, const void* i_bytes, std::size_t i_size);

}  // namespace markeye
