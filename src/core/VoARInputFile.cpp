#include "VoARInputFile.h"

#include <filesystem>
#include <system_error>

namespace VoTrack {

bool VoARInputFile::isRegularFile(const char* i_path)
{
    if (i_path == nullptr || i_path[0] == '\0') {
        return false;
    }
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(i_path), error);
}

}  // namespace VoTrack
