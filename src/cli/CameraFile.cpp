#include "CameraFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "CliError.h"
#include "MarkeyeBuiltinData.h"
#include "VoARException.h"

namespace Markeye {

namespace {

std::vector<unsigned char> readHead(const std::string& i_path, std::size_t i_count)
{
    std::ifstream file(i_path, std::ios::binary);
    if (!file) {
        throw CliError("cannot open camera file " + i_path + ": " + std::strerror(errno));
    }
    std::vector<unsigned char> bytes(i_count);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(i_count));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

}  // namespace

std::string CameraFile::displayName(const std::string& i_path)
{
    return i_path.empty() ? std::string("built-in ") + builtinCamera().name : i_path;
}

void CameraFile::load(const std::string& i_path, VoTrack::VoARParam* o_param)
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
    try {
        o_param->setValue(record);
    } catch (const VoTrack::VoARException&) {
        throw CliError("camera file " + displayName(i_path) + " is not valid: size " + std::to_string(record.x_size) +
                       " x " + std::to_string(record.y_size) + ", distortion scale " +
                       std::to_string(record.distortion[3]) + " (sizes must be positive and the scale non-zero)");
    }
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
