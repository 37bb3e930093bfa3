#include "FileBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "markeye/Error.h"

namespace markeye {

namespace {

// "camera file " -> "a camera file"; "" -> "a picture file".
std::string kindOf(const std::string& i_what)
{
    const std::string kind = i_what.empty() ? "picture file" : i_what.substr(0, i_what.find_last_not_of(' ') + 1);
    return "a " + kind;
}

[[noreturn]] void failLarger(const std::string& i_path, const std::string& i_what, std::size_t i_limit)
{
    throw Error(i_what + i_path + " is larger than " + std::to_string(i_limit) + " bytes, the most " +
                kindOf(i_what) + " can be");
}

// Opens i_path for reading after checking that it is a regular file of at
// most i_limit bytes; the check comes first, as opening a FIFO blocks.
std::ifstream openRegular(const std::string& i_path, const std::string& i_what, std::size_t i_limit,
                          std::size_t* o_size)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(i_path, error);
    if (std::filesystem::is_directory(status)) {
        throw Error("cannot open " + i_what + i_path + ": it is a folder");
    }
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        throw Error(i_what + i_path + " is not a regular file (a device, FIFO or socket cannot be read)");
    }
    const std::uintmax_t size = std::filesystem::file_size(i_path, error);
    if (!error && size > i_limit) {
        failLarger(i_path, i_what, i_limit);
    }
    *o_size = error ? 0 : static_cast<std::size_t>(size);
    std::ifstream file(i_path, std::ios::binary);
    if (!file) {
        throw Error("cannot open " + i_what + i_path + ": " + std::strerror(errno));
    }
    return file;
}

}  // namespace

std::vector<uint8_t> readFileBytes(const std::string& i_path, const std::string& i_what, std::size_t i_limit)
{
    std::size_t size = 0;
    std::ifstream file = openRegular(i_path, i_what, i_limit, &size);
    // The measured size and a byte more, then in doubling steps up to the
    // limit: a file may grow while it is read, and some (in /proc) say 0.
    std::vector<uint8_t> bytes;
    for (std::size_t wanted = size + 1;; wanted = 2 * bytes.size()) {
        const std::size_t had = bytes.size();
        bytes.resize(std::min(wanted, i_limit + 1));
        file.read(reinterpret_cast<char*>(bytes.data() + had), static_cast<std::streamsize>(bytes.size() - had));
        if (file.bad()) {
            throw Error("cannot read " + i_what + i_path + ": " + std::strerror(errno));
        }
        bytes.resize(had + static_cast<std::size_t>(file.gcount()));
        if (bytes.size() > i_limit) {
            failLarger(i_path, i_what, i_limit);
        }
        if (file.eof()) {
            return bytes;
        }
    }
}

void writeFileBytes(const std::string& i_path, const std::string& i_what, const void* i_bytes, std::size_t i_size)
{
    std::ofstream file(i_path, std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(i_bytes), static_cast<std::streamsize>(i_size));
    file.close();
    if (!file) {
        throw Error("cannot write " + i_what + i_path + ": " + std::strerror(errno));
    }
}

}  // namespace markeye
