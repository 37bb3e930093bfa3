#include "FileUtil.h"

#include <filesystem>
#include <system_error>

#include "CliError.h"

namespace Markeye {

void FileUtil::makeFolder(const std::string& i_path)
{
    std::error_code error;
    std::filesystem::create_directories(i_path, error);
    if (error || !std::filesystem::is_directory(i_path, error)) {
        throw CliError("cannot make folder " + i_path + ": " +
                       (error ? error.message() : std::string("a file of that name is in the way")));
    }
}

std::string FileUtil::stem(const std::string& i_path)
{
    return std::filesystem::path(i_path).stem().string();
}

std::string FileUtil::join(const std::string& i_folder, const std::string& i_name)
{
    return (std::filesystem::path(i_folder) / i_name).string();
}

}  // namespace Markeye
