#pragma once

#include <string>

namespace Markeye {

// File names and output folders for the commands, failing with one line.
class FileUtil
{
public:
    // Makes the folder and its parents when missing. Throws CliError.
    static void makeFolder(const std::string& i_path);
    // The name of a file without folder and extension.
    static std::string stem(const std::string& i_path);
    // i_folder/i_name.
    static std::string join(const std::string& i_folder, const std::string& i_name);
};

}  // namespace Markeye
