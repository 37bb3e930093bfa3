#pragma once

#include <string>

namespace Markeye {

// Whole files and output folders for the commands, failing with one line.
class FileUtil
{
public:
    // The file's bytes. Throws CliError "cannot open <i_what>PATH: reason"
    // (i_what such as "pattern file "), also for a folder.
    static std::string read(const std::string& i_path, const std::string& i_what = "");
    // Makes the folder and its parents when missing. Throws CliError.
    static void makeFolder(const std::string& i_path);
    // i_folder/i_name.
    static std::string join(const std::string& i_folder, const std::string& i_name);
};

}  // namespace Markeye
