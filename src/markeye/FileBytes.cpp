#include "FileBytes.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "markeye/Error.h"

namespace markeye {

namespace {

// Opens i_path for reading after checking that it is a regular file.
std::ifstream openRegular(const std::string& i_path, const std::string& i_what)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(i_path, error);
    if (std::filesystem::is_directory(status)) {
        throw Error("cannot open " + i_what + i_path + ": it is a folder");
    }
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        throw Error("cannot open " + i_what + i_path + ": not a regular file");
    }
    std::ifstream file(i_path, std::ios::binary);
    if (!file) {
        throw Error("cannot open " + i_what + i_path + ": " + std::strerror(errno));
    }
    return file;
}

}  // namespace

std::vector<uint8_t> readFileHead(const std::string& i_path, const std::string& i_what, std::size_t i_limit)
{
    std::ifstream file = openRegular(i_path, i_what);
    std::vector<uint8_t> bytes(i_limit);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(i_limit));
    if (file.bad()) {
        throw Error("cannot read " + i_what + i_path + ": " + std::strerror(errno));
    }
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

std::string readFileText(const std::string& i_path, const std::string& i_what)
{
    std::ifstream file = openRegular(i_path, i_what);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        throw Error("cannot read " + i_what + i_path + ": " + std::strerror(errno));
    }
    return text;
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
