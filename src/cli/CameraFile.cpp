#include "CameraFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

#include "CliError.h"
#include "FileUtil.h"
#include "MarkeyeBuiltinData.h"
#include "VoARException.h"

namespace Markeye {

namespace {

// The first i_count bytes of a file, or all of a shorter one.
std::vector<unsigned char> readHead(const std::string& i_path, std::size_t i_count)
{
    const std::string bytes = FileUtil::read(i_path, "camera file ");
    return std::vector<unsigned char>(bytes.begin(), bytes.begin() + std::min(bytes.size(), i_count));
}

bool isFinite(const VoTrack::TVoARParamFileRecord& i_record)
{
    for (double value : i_record.projection) {
        if (!std::isfinite(value)) {
            return false;
        }
    }
    for (double value : i_record.distortion) {
        if (!std::isfinite(value)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string CameraFile::displayName(const std::string& i_path)
{
    return i_path.empty() ? std::string("built-in ") + builtinCamera().name : i_path;
}

VoTrack::TVoARParamFileRecord CameraFile::loadRecord(const std::string& i_path)
{
    const std::size_t needed = VoTrack::VoARParam::FILE_SIZE;
    std::vector<unsigned char> bytes;
    if (i_path.empty()) {
        const TBuiltinFile builtin = builtinCamera();
        bytes.assign(builtin.bytes, builtin.bytes + builtin.size);
    } else {
        bytes = readHead(i_path, needed);
    }
    if (bytes.size() < needed) {
        throw CliError("camera file too short: " + std::to_string(bytes.size()) + " of " + std::to_string(needed) +
                       " bytes (" + displayName(i_path) + ")");
    }
    VoTrack::TVoARParamFileRecord record;
    VoTrack::VoARParam::decodeRecord(bytes.data(), true, &record);
    if (!isFinite(record)) {
        throw CliError("camera file " + displayName(i_path) + " is not valid: it holds a number that is not finite");
    }
    try {
        VoTrack::VoARParam().setValue(record);
    } catch (const VoTrack::VoARException&) {
        throw CliError("camera file " + displayName(i_path) + " is not valid: size " + std::to_string(record.x_size) +
                       " x " + std::to_string(record.y_size) + ", distortion scale " +
                       std::to_string(record.distortion[3]) + " (sizes must be positive and the scale non-zero)");
    }
    return record;
}

void CameraFile::load(const std::string& i_path, VoTrack::VoARParam* o_param)
{
    o_param->setValue(loadRecord(i_path));
}

void CameraFile::save(const std::string& i_path, const VoTrack::TVoARParamFileRecord& i_record)
{
    unsigned char bytes[VoTrack::VoARParam::FILE_SIZE];
    VoTrack::VoARParam::encodeRecord(i_record, bytes);
    std::ofstream file(i_path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    file.close();
    if (!file) {
        throw CliError("cannot write camera file " + i_path + ": " + std::strerror(errno));
    }
}

}  // namespace Markeye
