#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "IVoARBufferReader.h"
#include "IVoARRgbRaster.h"
#include "VoARBinRaster.h"
#include "VoARBufferReader.h"
#include "VoARException.h"
#include "VoARGrayscaleRaster.h"
#include "VoARRasterFilter_KestrelThreshold.h"
#include "VoARRasterSize.h"
#include "VoARRgbRaster_BGRA.h"

using namespace VoTrack;

namespace {

struct Rgbx
{
    uint8_t r;
    uint8_t g;
    uint8_t b;
    uint8_t x;  // the unused byte or bits
};

// A colour raster over an owned buffer in any layout. Its pixel reader is
// not needed here.
class LayoutRaster : public VoARRasterSize<IVoARRgbRaster>
{
public:
    LayoutRaster(int32_t i_width, int32_t i_height, int32_t i_format, std::size_t i_bytes)
        : VoARRasterSize<IVoARRgbRaster>(i_width, i_height), _bytes(i_bytes, 0), _reader(_bytes.data(), i_format)
    {
    }
    IVoARBufferReader* getBufferReader() const override { return const_cast<VoARBufferReader*>(&_reader); }
    IVoARRgbPixelReader* getRgbPixelReader() const override { return nullptr; }
    uint8_t* bytes() { return _bytes.data(); }

private:
    std::vector<uint8_t> _bytes;
    VoARBufferReader _reader;
};

// Writes pixel p of i_colour into the layout named by i_format.
void putPixel(int32_t i_format, uint8_t* o_bytes, std::size_t i_pixel, const Rgbx& i_colour)
{
    switch (i_format) {
    case IVoARBufferReader::BUFFERFORMAT_BYTE1D_R8G8B8_24: {
        const std::array<uint8_t, 3> p{i_colour.r, i_colour.g, i_colour.b};
        std::memcpy(o_bytes + 3 * i_pixel, p.data(), 3);
        return;
    }
    case IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8_24: {
        const std::array<uint8_t, 3> p{i_colour.b, i_colour.g, i_colour.r};
        std::memcpy(o_bytes + 3 * i_pixel, p.data(), 3);
        return;
    }
    case IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32: {
        const std::array<uint8_t, 4> p{i_colour.b, i_colour.g, i_colour.r, i_colour.x};
        std::memcpy(o_bytes + 4 * i_pixel, p.data(), 4);
        return;
    }
    case IVoARBufferReader::BUFFERFORMAT_BYTE1D_X8R8G8B8_32: {
        const std::array<uint8_t, 4> p{i_colour.x, i_colour.r, i_colour.g, i_colour.b};
        std::memcpy(o_bytes + 4 * i_pixel, p.data(), 4);
        return;
    }
    default: {
        const uint32_t v = (uint32_t{i_colour.x} << 24) | (uint32_t{i_colour.r} << 16) | (uint32_t{i_colour.g} << 8) |
                           uint32_t{i_colour.b};
        std::memcpy(o_bytes + 4 * i_pixel, &v, 4);
        return;
    }
    }
}

std::size_t bytesPerPixel(int32_t i_format)
{
    const bool is_24_bit = i_format == IVoARBufferReader::BUFFERFORMAT_BYTE1D_R8G8B8_24 ||
                           i_format == IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8_24;
    return is_24_bit ? 3 : 4;
}

// Nine pixels (a 3 x 3 frame: not a multiple of 8) around the threshold 100;
// the unused byte is set so that reading it would change the outcome.
const std::array<Rgbx, 9> PIXELS = {{
    {100, 100, 100, 255},  // sum 300: dark
    {100, 100, 101, 0},    // sum 301: bright
    {0, 0, 0, 255},
    {255, 255, 255, 0},
    {255, 45, 0, 255},     // 300
    {0, 46, 255, 255},     // 301
    {1, 0, 0, 0},
    {200, 0, 101, 200},    // 301
    {0, 150, 150, 1},      // 300
}};

class ThresholdKernelTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(ThresholdKernelTest, DarkWhenChannelSumIsAtMostThreeTimesThresholdForEveryPixel)
{
    const int32_t format = GetParam();
    LayoutRaster input(3, 3, format, 9 * bytesPerPixel(format));
    for (std::size_t p = 0; p < PIXELS.size(); p++) {
        putPixel(format, input.bytes(), p, PIXELS[p]);
    }
    VoARBinRaster output(3, 3);
    std::fill(output.getIntBuffer(), output.getIntBuffer() + 9, 7);

    VoARRasterFilter_KestrelThreshold filter(100, format);
    filter.doFilter(input, output);

    for (std::size_t p = 0; p < PIXELS.size(); p++) {
        const int sum = PIXELS[p].r + PIXELS[p].g + PIXELS[p].b;
        EXPECT_EQ(output.getIntBuffer()[p], sum > 300 ? 1 : 0) << "pixel " << p << " sum " << sum;
    }
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, ThresholdKernelTest,
                         ::testing::Values(IVoARBufferReader::BUFFERFORMAT_BYTE1D_R8G8B8_24,
                                           IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8_24,
                                           IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32,
                                           IVoARBufferReader::BUFFERFORMAT_BYTE1D_X8R8G8B8_32,
                                           IVoARBufferReader::BUFFERFORMAT_INT1D_X8R8G8B8_32));

// One BGRA pixel (bytes blue, green, red, unused) binarised at a threshold.
struct ThresholdCase
{
    std::array<uint8_t, 4> bgrx;
    int32_t threshold;
    int32_t expected;
};

class ThresholdFilterTest : public ::testing::TestWithParam<ThresholdCase> {};

TEST_P(ThresholdFilterTest, ThresholdIsSetAnewAndNotRangeChecked)
{
    std::array<uint8_t, 4> pixel = GetParam().bgrx;
    VoARRgbRaster_BGRA frame(pixel.data(), 1, 1);
    VoARBinRaster bin(1, 1);
    VoARRasterFilter_KestrelThreshold filter(0, IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32);
    filter.setThreshold(GetParam().threshold);
    filter.doFilter(frame, bin);
    EXPECT_EQ(bin.getIntBuffer()[0], GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Thresholds, ThresholdFilterTest,
    ::testing::Values(ThresholdCase{{255, 30, 30, 0}, 100, 1}, ThresholdCase{{255, 30, 30, 0}, 104, 1},
                      ThresholdCase{{255, 30, 30, 0}, 105, 0},
                      // Below 0 black is bright; from 255 white is dark.
                      ThresholdCase{{0, 0, 0, 0}, -1, 1}, ThresholdCase{{255, 255, 255, 255}, 255, 0},
                      // 3 x threshold would overflow 32 bits.
                      ThresholdCase{{255, 255, 255, 0}, std::numeric_limits<int32_t>::max(), 0},
                      ThresholdCase{{0, 0, 0, 0}, std::numeric_limits<int32_t>::min(), 1}));

class ThresholdFormatTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(ThresholdFormatTest, LayoutWithoutAKernelIsRefused)
{
    EXPECT_THROW(VoARRasterFilter_KestrelThreshold(100, GetParam()), VoARException);
}

INSTANTIATE_TEST_SUITE_P(NonColourFormats, ThresholdFormatTest,
                         ::testing::Values(IVoARBufferReader::BUFFERFORMAT_INT1D_BIN_8,
                                           IVoARBufferReader::BUFFERFORMAT_INT1D_GRAY_8,
                                           IVoARBufferReader::BUFFERFORMAT_INT1D, 0));

TEST(ThresholdFilterDeathTest, OutputMustBeBinaryAndIsCheckedFirst)
{
    std::array<uint8_t, 8> pixels{};
    VoARRgbRaster_BGRA frame(pixels.data(), 2, 1);
    VoARGrayscaleRaster gray(3, 3);
    VoARRasterFilter_KestrelThreshold filter(100, IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32);
    EXPECT_DEATH(filter.doFilter(frame, gray),
                 "^src/core/VoARRasterFilter_KestrelThreshold:[0-9]+: failed assertion "
                 "`i_output\\.getBufferReader\\(\\)->isEqualBufferType\\(IVoARBufferReader::BUFFERFORMAT_INT1D_BIN_8\\)'"
                 "\n$");
}

TEST(ThresholdFilterDeathTest, SizesMustBeEqual)
{
    std::array<uint8_t, 8> pixels{};
    VoARRgbRaster_BGRA frame(pixels.data(), 2, 1);
    VoARBinRaster bin(1, 2);
    VoARRasterFilter_KestrelThreshold filter(100, IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32);
    EXPECT_DEATH(filter.doFilter(frame, bin),
                 "^src/core/VoARRasterFilter_KestrelThreshold:[0-9]+: failed assertion "
                 "`TVoARIntSize::isEqualSize\\(i_input\\.getSize\\(\\),i_output\\.getSize\\(\\)\\)'\n$");
}

}  // namespace
