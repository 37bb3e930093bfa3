// The picture decoders given crafted files: each is refused with one line
// naming it before the work or memory its header asks for is spent, or, for
// CMYK and EXIF-turned JPEGs, read as the picture it shows.

// jpeglib.h needs FILE and size_t declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "markeye/Error.h"
#include "markeye/ImageFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Four quadrants of distinct colours (red, green, blue, white from top left,
// top right, bottom left, bottom right) or seeded noise.
enum class Content
{
    QUADRANTS,
    NOISE,
};

constexpr uint8_t QUADRANT_RGB[4][3] = {{220, 30, 30}, {30, 200, 30}, {30, 30, 220}, {250, 250, 250}};

std::vector<uint8_t> rgbPixels(int i_width, int i_height, Content i_content)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(i_width) * i_height * 3);
    std::mt19937 random(7);
    for (int y = 0; y < i_height; y++) {
        for (int x = 0; x < i_width; x++) {
            const int quadrant = (y >= i_height / 2 ? 2 : 0) + (x >= i_width / 2 ? 1 : 0);
            for (int c = 0; c < 3; c++) {
                rgb[(static_cast<size_t>(y) * i_width + x) * 3 + c] =
                    i_content == Content::QUADRANTS ? QUADRANT_RGB[quadrant][c] : static_cast<uint8_t>(random());
            }
        }
    }
    return rgb;
}

struct TJpegRecipe
{
    int width = 64;
    int height = 32;
    Content content = Content::QUADRANTS;
    // JCS_RGB, JCS_CMYK (Adobe's inverted inks, written as CMYK) or JCS_YCCK.
    J_COLOR_SPACE space = JCS_RGB;
    // Progressive with this many scans (one per coefficient and bit); 0: baseline.
    int scans = 0;
    // An APP1 segment written after the header.
    Bytes app1;
};

// A custom progression of i_scans scans over one colour component at a
// time: DC, then coefficient by coefficient in two bits each.
std::vector<jpeg_scan_info> scanScript(int i_components, int i_scans)
{
    std::vector<jpeg_scan_info> script;
    script.push_back(jpeg_scan_info{i_components, {0, 1, 2, 3}, 0, 0, 0, 0});
    for (int k = 1; k <= 63; k++) {
        for (int c = 0; c < i_components; c++) {
            script.push_back(jpeg_scan_info{1, {c, 0, 0, 0}, k, k, 0, 1});
            script.push_back(jpeg_scan_info{1, {c, 0, 0, 0}, k, k, 1, 0});
        }
    }
    // Cut after a refinement (an odd count), so that every coefficient begun is complete.
    script.resize(static_cast<size_t>((std::min<int>(i_scans, static_cast<int>(script.size())) - 1) | 1));
    return script;
}

Bytes encodeJpeg(const TJpegRecipe& i_recipe)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    const bool inks = i_recipe.space != JCS_RGB;
    info.image_width = static_cast<JDIMENSION>(i_recipe.width);
    info.image_height = static_cast<JDIMENSION>(i_recipe.height);
    info.input_components = inks ? 4 : 3;
    info.in_color_space = inks ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, i_recipe.space == JCS_RGB ? JCS_YCbCr : i_recipe.space);
    jpeg_set_quality(&info, 100, TRUE);
    for (int c = 0; c < info.num_components; c++) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    const std::vector<jpeg_scan_info> script =
        i_recipe.scans > 0 ? scanScript(info.num_components, i_recipe.scans) : std::vector<jpeg_scan_info>();
    if (i_recipe.scans > 0) {
        info.scan_info = script.data();
        info.num_scans = static_cast<int>(script.size());
    }
    jpeg_start_compress(&info, TRUE);
    if (!i_recipe.app1.empty()) {
        jpeg_write_marker(&info, JPEG_APP0 + 1, i_recipe.app1.data(), static_cast<unsigned>(i_recipe.app1.size()));
    }
    const std::vector<uint8_t> rgb = rgbPixels(i_recipe.width, i_recipe.height, i_recipe.content);
    std::vector<uint8_t> row(static_cast<size_t>(i_recipe.width) * info.input_components);
    for (int y = 0; y < i_recipe.height; y++) {
        for (int x = 0; x < i_recipe.width; x++) {
            const uint8_t* source = &rgb[(static_cast<size_t>(y) * i_recipe.width + x) * 3];
            uint8_t* target = &row[static_cast<size_t>(x) * info.input_components];
            // Inverted inks with no black: each ink's value is the colour's.
            std::memcpy(target, source, 3);
            if (inks) {
                target[3] = 255;
            }
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

// An APP1 EXIF segment holding only an orientation, in either byte order.
Bytes exifOrientation(int i_value, bool i_big_endian)
{
    Bytes bytes = {'E', 'x', 'i', 'f', 0, 0};
    const auto put = [&](uint32_t i_v, int i_size) {
        for (int b = 0; b < i_size; b++) {
            const int shift = 8 * (i_big_endian ? i_size - 1 - b : b);
            bytes.push_back(static_cast<uint8_t>(i_v >> shift));
        }
    };
    bytes.push_back(i_big_endian ? 'M' : 'I');
    bytes.push_back(i_big_endian ? 'M' : 'I');
    put(42, 2);
    // IFD0 right after the TIFF header: one entry, SHORT, count 1.
    put(8, 4);
    put(1, 2);
    put(0x0112, 2);
    put(3, 2);
    put(1, 4);
    put(static_cast<uint32_t>(i_value), 2);
    put(0, 2);
    // No next IFD.
    put(0, 4);
    return bytes;
}

markeye::Image decode(const Bytes& i_bytes, const markeye::ImageReadOptions& i_options = {})
{
    return markeye::decodeImage(i_bytes.data(), i_bytes.size(), "crafted", i_options);
}

std::string refusal(const Bytes& i_bytes)
{
    try {
        decode(i_bytes);
    } catch (const markeye::Error& e) {
        return e.what();
    }
    return "accepted";
}

// The quadrant (0 to 3 as in QUADRANT_RGB) whose colour a pixel has, -1 for none.
int quadrantAt(const markeye::Image& i_image, int i_x, int i_y)
{
    const uint8_t* bgr = i_image.pixel(i_x, i_y);
    for (int q = 0; q < 4; q++) {
        // 12 levels: JPEG at quality 100 stays within a few.
        if (std::abs(bgr[2] - QUADRANT_RGB[q][0]) <= 12 && std::abs(bgr[1] - QUADRANT_RGB[q][1]) <= 12 &&
            std::abs(bgr[0] - QUADRANT_RGB[q][2]) <= 12) {
            return q;
        }
    }
    return -1;
}

size_t find(const Bytes& i_bytes, std::initializer_list<uint8_t> i_marker)
{
    const Bytes marker(i_marker);
    return static_cast<size_t>(std::search(i_bytes.begin(), i_bytes.end(), marker.begin(), marker.end()) -
                               i_bytes.begin());
}

void putBigEndian16(Bytes* io_bytes, size_t i_at, int i_value)
{
    (*io_bytes)[i_at] = static_cast<uint8_t>(i_value >> 8);
    (*io_bytes)[i_at + 1] = static_cast<uint8_t>(i_value);
}

}  // namespace

// ---- JPEG

TEST(HostileJpegTest, DamagedDataIsAnErrorNotAPicture)
{
    TJpegRecipe recipe;
    recipe.width = 640;
    recipe.height = 480;
    recipe.content = Content::NOISE;
    Bytes bytes = encodeJpeg(recipe);
    ASSERT_EQ(decode(bytes).width(), 640);
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2), 400, 0x55);
    EXPECT_EQ(refusal(bytes).rfind("crafted: bad JPEG: ", 0), 0u) << refusal(bytes);
}

TEST(HostileJpegTest, SizePatchedBeyondTheDataIsRefusedWhereTheDataEnds)
{
    Bytes bytes = encodeJpeg(TJpegRecipe{});
    const size_t frame = find(bytes, {0xFF, 0xC0});
    ASSERT_LT(frame, bytes.size());
    putBigEndian16(&bytes, frame + 5, 4000);
    putBigEndian16(&bytes, frame + 7, 16000);
    EXPECT_EQ(refusal(bytes).rfind("crafted: bad JPEG: ", 0), 0u) << refusal(bytes);
}

TEST(HostileJpegTest, SizeBeyondTheLargestFrameIsRefusedBeforeDecoding)
{
    Bytes bytes = encodeJpeg(TJpegRecipe{});
    const size_t frame = find(bytes, {0xFF, 0xC0});
    putBigEndian16(&bytes, frame + 5, 16384);
    putBigEndian16(&bytes, frame + 7, 16384);
    EXPECT_NE(refusal(bytes).find("image too large: 16384 x 16384"), std::string::npos) << refusal(bytes);
}

TEST(HostileJpegTest, ScansBeyondTheLimitAreRefusedAndUpToItRead)
{
    TJpegRecipe recipe;
    recipe.scans = markeye::MAX_JPEG_SCANS - 1;
    EXPECT_EQ(quadrantAt(decode(encodeJpeg(recipe)), 0, 0), 0);
    recipe.scans = markeye::MAX_JPEG_SCANS + 20;
    EXPECT_EQ(refusal(encodeJpeg(recipe)), "crafted: bad JPEG: more than 100 scans, the most read");
}

TEST(HostileJpegTest, CmykAndYcckAreReadWithAdobesInvertedInks)
{
    for (const J_COLOR_SPACE space : {JCS_CMYK, JCS_YCCK}) {
        TJpegRecipe recipe;
        recipe.space = space;
        const markeye::Image image = decode(encodeJpeg(recipe));
        ASSERT_EQ(image.width(), 64);
        EXPECT_EQ(quadrantAt(image, 8, 4), 0) << space;
        EXPECT_EQ(quadrantAt(image, 56, 4), 1) << space;
        EXPECT_EQ(quadrantAt(image, 8, 28), 2) << space;
        EXPECT_EQ(quadrantAt(image, 56, 28), 3) << space;
    }
}

struct TOrientationCase
{
    int value;
    bool big_endian;
    // The upright picture's size and the quadrants at its top left and top
    // right, as the EXIF orientation defines them for a 64 x 32 picture.
    int width, height;
    int top_left, top_right;
};

class ExifOrientationTest : public ::testing::TestWithParam<TOrientationCase>
{
};

TEST_P(ExifOrientationTest, TurnsThePictureUprightUnlessTurnedOff)
{
    const TOrientationCase& c = GetParam();
    TJpegRecipe recipe;
    recipe.app1 = exifOrientation(c.value, c.big_endian);
    const Bytes bytes = encodeJpeg(recipe);
    const markeye::Image upright = decode(bytes);
    ASSERT_EQ(upright.width(), c.width);
    ASSERT_EQ(upright.height(), c.height);
    EXPECT_EQ(quadrantAt(upright, 4, 4), c.top_left);
    EXPECT_EQ(quadrantAt(upright, c.width - 5, 4), c.top_right);
    markeye::ImageReadOptions stored;
    stored.exif_orientation = false;
    const markeye::Image as_stored = decode(bytes, stored);
    EXPECT_EQ(as_stored.width(), 64);
    EXPECT_EQ(quadrantAt(as_stored, 4, 4), 0);
}

INSTANTIATE_TEST_SUITE_P(EveryValue, ExifOrientationTest,
                         ::testing::Values(TOrientationCase{1, true, 64, 32, 0, 1},
                                           TOrientationCase{2, false, 64, 32, 1, 0},
                                           TOrientationCase{3, true, 64, 32, 3, 2},
                                           TOrientationCase{4, false, 64, 32, 2, 3},
                                           TOrientationCase{5, true, 32, 64, 0, 2},
                                           TOrientationCase{6, false, 32, 64, 2, 0},
                                           TOrientationCase{7, true, 32, 64, 3, 1},
                                           TOrientationCase{8, false, 32, 64, 1, 3},
                                           // Out of range: as stored.
                                           TOrientationCase{9, true, 64, 32, 0, 1}),
                         [](const ::testing::TestParamInfo<TOrientationCase>& i_info) {
                             return "Orientation" + std::to_string(i_info.param.value) +
                                    (i_info.param.big_endian ? "BigEndian" : "LittleEndian");
                         });

TEST(HostileJpegTest, DamagedExifLeavesThePictureAsStored)
{
    TJpegRecipe recipe;
    recipe.app1 = exifOrientation(6, true);
    // IFD0 said to lie far beyond the segment.
    recipe.app1[10] = 0x7F;
    const markeye::Image image = decode(encodeJpeg(recipe));
    EXPECT_EQ(image.width(), 64);
    recipe.app1.resize(16);
    EXPECT_EQ(decode(encodeJpeg(recipe)).width(), 64);
}

// ---- PNG

namespace {

Bytes encodePng(int i_width, int i_height, const std::vector<uint8_t>& i_rgb)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(i_width);
    image.height = static_cast<png_uint_32>(i_height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, i_rgb.data(), 0, nullptr);
    Bytes bytes(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, bytes.data(), &size, 0, i_rgb.data(), 0, nullptr));
    bytes.resize(size);
    return bytes;
}

}  // namespace

TEST(HostilePngTest, EveryPixelKeepsItsColour)
{
    // An odd size, so that the spreading of three-byte pixels to four meets
    // no boundary by luck.
    const int width = 37;
    const int height = 11;
    const std::vector<uint8_t> rgb = rgbPixels(width, height, Content::NOISE);
    const markeye::Image image = decode(encodePng(width, height, rgb));
    ASSERT_EQ(image.width(), width);
    int wrong = 0;
    for (int i = 0; i < width * height; i++) {
        const uint8_t* bgrx = image.data() + 4 * i;
        wrong += bgrx[0] != rgb[3 * i + 2] || bgrx[1] != rgb[3 * i + 1] || bgrx[2] != rgb[3 * i] || bgrx[3] != 255;
    }
    EXPECT_EQ(wrong, 0);
}

TEST(HostilePngTest, SizeMoreThanTheCompressedBytesCanHoldIsRefused)
{
    Bytes bytes = encodePng(64, 64, rgbPixels(64, 64, Content::QUADRANTS));
    // IHDR: length, type, width and height at 16 and 20, its CRC after 13 bytes.
    const uint32_t side = 8192;
    for (size_t at : {size_t{16}, size_t{20}}) {
        for (int b = 0; b < 4; b++) {
            bytes[at + b] = static_cast<uint8_t>(side >> (24 - 8 * b));
        }
    }
    const uLong crc = crc32(0, bytes.data() + 12, 17);
    for (int b = 0; b < 4; b++) {
        bytes[29 + b] = static_cast<uint8_t>(crc >> (24 - 8 * b));
    }
    EXPECT_NE(refusal(bytes).find("8192 x 8192 pixels take 201334784 bytes, more than the file's"), std::string::npos)
        << refusal(bytes);
}

// ---- PPM and PGM

TEST(HostileNetpbmTest, SizeBeyondTheFilesBytesIsRefusedBeforeTheFrameIsMade)
{
    const std::string binary = "P6 16384 4096 255\n";
    EXPECT_EQ(refusal(Bytes(binary.begin(), binary.end())),
              "crafted: truncated PPM/PGM data: 0 bytes, where 16384 x 4096 pixels take 201326592");
    const std::string plain = "P2 16384 4096 255\n0 0 0";
    EXPECT_EQ(refusal(Bytes(plain.begin(), plain.end())),
              "crafted: truncated PPM/PGM data: 6 bytes, where 16384 x 4096 pixels take at least 134217727");
}
