#include "ExifOrientation.h"

#include <cstring>

namespace markeye {

namespace {

constexpr uint16_t ORIENTATION_TAG = 0x0112;
constexpr uint16_t SHORT_TYPE = 3;
// "Exif\0\0", then the TIFF header: byte order, 42, offset of IFD0.
constexpr std::size_t EXIF_HEADER = 6;
constexpr std::size_t TIFF_HEADER = 8;
constexpr std::size_t IFD_ENTRY = 12;

// Reads the TIFF data's numbers in its byte order; every read is checked
// against the data's end, as the segment comes from the file.
class TiffData
{
public:
    TiffData(const uint8_t* i_data, std::size_t i_size, bool i_big_endian)
        : _data(i_data), _size(i_size), _big_endian(i_big_endian)
    {
    }

    bool has(std::size_t i_offset, std::size_t i_count) const
    {
        return i_offset <= _size && i_count <= _size - i_offset;
    }
    uint16_t u16(std::size_t i_offset) const
    {
        const uint8_t* p = _data + i_offset;
        return static_cast<uint16_t>(_big_endian ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]);
    }
    uint32_t u32(std::size_t i_offset) const
    {
        const uint32_t high = u16(i_offset + (_big_endian ? 0 : 2));
        const uint32_t low = u16(i_offset + (_big_endian ? 2 : 0));
        return (high << 16) | low;
    }

private:
    const uint8_t* _data;
    std::size_t _size;
    bool _big_endian;
};

// Where output pixel (x, y) of a w x h upright picture comes from in the
// stored one (sides swapped for 5 to 8).
void sourceOf(int32_t i_orientation, int32_t i_x, int32_t i_y, int32_t i_w, int32_t i_h, int32_t* o_u, int32_t* o_v)
{
    switch (i_orientation) {
    case 2: *o_u = i_w - 1 - i_x; *o_v = i_y; return;
    case 3: *o_u = i_w - 1 - i_x; *o_v = i_h - 1 - i_y; return;
    case 4: *o_u = i_x; *o_v = i_h - 1 - i_y; return;
    case 5: *o_u = i_y; *o_v = i_x; return;
    case 6: *o_u = i_y; *o_v = i_w - 1 - i_x; return;
    case 7: *o_u = i_h - 1 - i_y; *o_v = i_w - 1 - i_x; return;
    case 8: *o_u = i_h - 1 - i_y; *o_v = i_x; return;
    default: *o_u = i_x; *o_v = i_y; return;
    }
}

}  // namespace

int32_t ExifOrientation::fromApp1(const uint8_t* i_data, std::size_t i_size)
{
    if (i_size < EXIF_HEADER + TIFF_HEADER || std::memcmp(i_data, "Exif\0\0", EXIF_HEADER) != 0) {
        return UPRIGHT;
    }
    const uint8_t* tiff = i_data + EXIF_HEADER;
    const bool big_endian = tiff[0] == 'M' && tiff[1] == 'M';
    if (!big_endian && !(tiff[0] == 'I' && tiff[1] == 'I')) {
        return UPRIGHT;
    }
    const TiffData data(tiff, i_size - EXIF_HEADER, big_endian);
    const std::size_t ifd = data.u32(4);
    if (data.u16(2) != 42 || !data.has(ifd, 2)) {
        return UPRIGHT;
    }
    const std::size_t count = data.u16(ifd);
    for (std::size_t i = 0; i < count && data.has(ifd + 2 + i * IFD_ENTRY, IFD_ENTRY); i++) {
        const std::size_t entry = ifd + 2 + i * IFD_ENTRY;
        if (data.u16(entry) == ORIENTATION_TAG && data.u16(entry + 2) == SHORT_TYPE) {
            const int32_t value = data.u16(entry + 8);
            return value >= 1 && value <= 8 ? value : UPRIGHT;
        }
    }
    return UPRIGHT;
}

Image ExifOrientation::apply(Image i_image, int32_t i_orientation)
{
    if (i_orientation <= UPRIGHT || i_orientation > 8) {
        return i_image;
    }
    const bool swapped = i_orientation >= 5;
    const int32_t w = swapped ? i_image.height() : i_image.width();
    const int32_t h = swapped ? i_image.width() : i_image.height();
    const std::size_t bytes = static_cast<std::size_t>(bytesPerPixel(i_image.format()));
    Image upright(w, h, i_image.format());
    for (int32_t y = 0; y < h; y++) {
        uint8_t* target = upright.pixel(0, y);
        for (int32_t x = 0; x < w; x++, target += bytes) {
            int32_t u = 0;
            int32_t v = 0;
            sourceOf(i_orientation, x, y, w, h, &u, &v);
            std::memcpy(target, i_image.pixel(u, v), bytes);
        }
    }
    return upright;
}

}  // namespace markeye
