#include "markeye/ImageFile.h"

#include <algorithm>
#include <vector>

#include "FileBytes.h"
#include "ImageBytes.h"
#include "JpegFile.h"
#include "NetpbmFile.h"
#include "PngFile.h"
#include "markeye/Error.h"

namespace markeye {

namespace {

bool startsWith(const TBytes& i_bytes, const std::vector<uint8_t>& i_magic)
{
    return i_bytes.size >= i_magic.size() && std::equal(i_magic.begin(), i_magic.end(), i_bytes.data);
}

}  // namespace

void checkImageSize(int64_t i_width, int64_t i_height, const std::string& i_name)
{
    if (i_width < 1 || i_height < 1) {
        throw Error(i_name + ": empty image (" + std::to_string(i_width) + " x " + std::to_string(i_height) + ")");
    }
    if (i_width > MAX_IMAGE_SIDE || i_height > MAX_IMAGE_SIDE || i_width * i_height > MAX_IMAGE_PIXELS) {
        throw Error(i_name + ": image too large: " + std::to_string(i_width) + " x " + std::to_string(i_height) +
                    " (at most " + std::to_string(MAX_IMAGE_SIDE) + " pixels a side and " +
                    std::to_string(MAX_IMAGE_PIXELS) + " in all)");
    }
}

Image readImage(const std::string& i_path, const ImageReadOptions& i_options)
{
    const std::vector<uint8_t> bytes = readFileBytes(i_path, "", MAX_IMAGE_FILE_BYTES);
    return decodeImage(bytes.data(), bytes.size(), i_path, i_options);
}

Image decodeImage(const uint8_t* i_bytes, std::size_t i_size, const std::string& i_name,
                  const ImageReadOptions& i_options)
{
    if (i_bytes == nullptr || i_size == 0) {
        throw Error(i_name + ": empty file");
    }
    const TBytes bytes{i_bytes, i_size};
    if (startsWith(bytes, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) {
        return PngFile::decode(bytes, i_name);
    }
    if (startsWith(bytes, {0xFF, 0xD8, 0xFF})) {
        return JpegFile::decode(bytes, i_name, i_options.exif_orientation);
    }
    if (NetpbmFile::isNetpbm(bytes)) {
        return NetpbmFile::decode(bytes, i_name);
    }
    throw Error(i_name + ": not a PNG, JPEG, PPM or PGM file");
}

void writePng(const std::string& i_path, const ImageView& i_image, double i_dpi)
{
    PngFile::write(i_path, i_image, i_dpi);
}

}  // namespace markeye
