#include "FileUtil.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "CliError.h"

namespace Markeye {

std::string FileUtil::read(const std::string& i_path, const std::string& i_what)
{
    std::error_code error;
    if (std::filesystem::is_directory(i_path, error)) {
        throw CliError("cannot open " + i_what + i_path + ": it is a folder");
    }
    std::ifstream file(i_path, std::ios::binary);
    if (!file) {
        throw CliError("cannot open " + i_what + i_path + ": " + std::strerror(errno));
    }
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        throw CliError("cannot read " + i_what + i_path + ": " + std::strerror(errno));
    }
    return bytes;
}

void FileUtil::makeFolder(const std::string& i_path)
{
    std::error_code error;
    std::filesystem::create_directories(i_path, error);
    if (error || !std::filesystem::is_directory(i_path, error)) {
        throw CliError("cannot make folder " + i_path + ": " +
                       (error ? error.message() : std::string("a file of that name is in the way")));
    }
}

std::string FileUtil::join(const std::string& i_folder, const std::string& i_name)
{
    return (std::filesystem::path(i_folder) / i_name).string();
}

}  // namespace Markeye
