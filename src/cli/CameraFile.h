#pragma once

#include <string>

#include "VoARParam.h"

namespace Markeye {

// Camera parameter files for the tools: loading with one-line error messages
// that name the file and the fault, and writing.
class CameraFile
{
public:
    // i_path empty means the built-in camera. Throws CliError.
    static void load(const std::string& i_path, VoTrack::VoARParam* o_param);
    // The file's record, checked as load() checks it. Throws CliError.
    static VoTrack::TVoARParamFileRecord loadRecord(const std::string& i_path);
    // Throws CliError if the file cannot be written completely.
    static void save(const std::string& i_path, const VoTrack::TVoARParamFileRecord& i_record);
    // The name used in messages: the path, or the built-in file's name.
    static std::string displayName(const std::string& i_path);
};

}  // namespace Markeye
