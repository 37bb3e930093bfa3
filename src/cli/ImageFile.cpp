#include "ImageFile.h"

#include <algorithm>

#include "CliError.h"
#include "FileUtil.h"
#include "JpegFile.h"
#include "NetpbmFile.h"
#include "PngFile.h"

namespace Markeye {

namespace {

bool startsWith(const std::vector<uint8_t>& i_bytes, const std::vector<uint8_t>& i_magic)
{
    return i_bytes.size() >= i_magic.size() && std::equal(i_magic.begin(), i_magic.end(), i_bytes.begin());
}

}  // namespace

BgraImage ImageFile::read(const std::string& i_path)
{
    const std::string bytes = FileUtil::read(i_path);
    return decode(std::vector<uint8_t>(bytes.begin(), bytes.end()), i_path);
}

BgraImage ImageFile::decode(const std::vector<uint8_t>& i_bytes, const std::string& i_name)
{
    if (i_bytes.empty()) {
        throw CliError(i_name + ": empty file");
    }
    if (startsWith(i_bytes, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) {
        return PngFile::decode(i_bytes, i_name);
    }
    if (startsWith(i_bytes, {0xFF, 0xD8, 0xFF})) {
        return JpegFile::decode(i_bytes, i_name);
    }
    if (NetpbmFile::isNetpbm(i_bytes)) {
        return NetpbmFile::decode(i_bytes, i_name);
    }
    throw CliError(i_name + ": not a PNG, JPEG, PPM or PGM file");
}

}  // namespace Markeye
