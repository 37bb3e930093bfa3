#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "IVoARBufferReader.h"
#include "VoARBinRaster.h"
#include "VoARBufferReader.h"
#include "VoARException.h"
#include "VoARGrayscaleRaster.h"
#include "VoARRgbPixelReader_BYTE1D_X8R8G8B8_32.h"
#include "VoARRgbPixelReader_INT1D_X8R8G8B8_32.h"
#include "VoARRgbRaster_BGRA.h"

using namespace VoTrack;

TEST(IntRasterTest, BinaryRasterReportsSizeHeightFirstAndItsFormat)
{
    VoARBinRaster raster(320, 240);
    EXPECT_EQ(raster.getWidth(), 320);
    EXPECT_EQ(raster.getHeight(), 240);
    const int32_t* record = reinterpret_cast<const int32_t*>(raster.getSize());
    EXPECT_EQ(record[0], 240);
    EXPECT_EQ(record[1], 320);
    const IVoARBufferReader* reader = raster.getBufferReader();
    EXPECT_EQ(reader->getBufferType(), 0x00040002);
    EXPECT_TRUE(reader->isEqualBufferType(IVoARBufferReader::BUFFERFORMAT_INT1D_BIN_8));
    EXPECT_FALSE(reader->isEqualBufferType(IVoARBufferReader::BUFFERFORMAT_INT1D));
    EXPECT_EQ(reader->getBuffer(), raster.getIntBuffer());
}

TEST(IntRasterTest, GrayscaleRasterOwnsAWritableBufferOfEveryPixel)
{
    VoARGrayscaleRaster raster(7, 5);
    EXPECT_TRUE(raster.getBufferReader()->isEqualBufferType(IVoARBufferReader::BUFFERFORMAT_INT1D_GRAY_8));
    int32_t* pixels = static_cast<int32_t*>(raster.getBufferReader()->getBuffer());
    for (int i = 0; i < 35; i++) {
        pixels[i] = i;
    }
    EXPECT_EQ(raster.getIntBuffer()[34], 34);
}

TEST(IntRasterTest, RefusesSizesThatCannotBeAddressed)
{
    EXPECT_THROW(VoARBinRaster(-1, 10), VoARException);
    EXPECT_THROW(VoARBinRaster(65536, 65536), VoARException);
}

TEST(BufferReaderDeathTest, ReadingWithoutABufferAborts)
{
    const VoARBufferReader reader(nullptr, IVoARBufferReader::BUFFERFORMAT_INT1D);
    EXPECT_DEATH(reader.getBuffer(), "^src/core/VoARBufferReader:[0-9]+: failed assertion `this->_buffer!=__null'\n$");
}

class BgraRasterTest : public ::testing::Test
{
protected:
    // A 4 x 3 frame whose pixel (x, y) holds blue x, green y, red 100 + x + 4y.
    static std::vector<uint8_t> makeFrame(uint8_t i_unused)
    {
        std::vector<uint8_t> frame(4 * 3 * 4);
        for (int y = 0; y < 3; y++) {
            for (int x = 0; x < 4; x++) {
                uint8_t* p = &frame[(y * 4 + x) * 4];
                p[0] = static_cast<uint8_t>(x);
                p[1] = static_cast<uint8_t>(y);
                p[2] = static_cast<uint8_t>(100 + x + 4 * y);
                p[3] = i_unused;
            }
        }
        return frame;
    }

    static std::array<int32_t, 3> pixel(const IVoARRgbPixelReader& i_reader, int32_t i_x, int32_t i_y)
    {
        std::array<int32_t, 3> rgb{};
        i_reader.getPixel(i_x, i_y, rgb.data());
        return rgb;
    }
};

TEST_F(BgraRasterTest, ReadsBlueGreenRedBytesAsRgb)
{
    std::vector<uint8_t> frame(4 * 3 * 4, 0);
    const uint8_t bytes[] = {10, 20, 30, 40};
    std::copy(bytes, bytes + 4, &frame[(2 * 4 + 1) * 4]);
    VoARRgbRaster_BGRA raster(frame.data(), 4, 3);
    EXPECT_EQ(pixel(*raster.getRgbPixelReader(), 1, 2), (std::array<int32_t, 3>{30, 20, 10}));
}

TEST_F(BgraRasterTest, SetBufferSwitchesBothReadersAtOnce)
{
    std::vector<uint8_t> first = makeFrame(0);
    std::vector<uint8_t> second = makeFrame(0);
    second[(1 * 4 + 2) * 4 + 2] = 7;
    VoARRgbRaster_BGRA raster(4, 3);
    raster.setBuffer(first.data());
    const IVoARRgbPixelReader& reader = *raster.getRgbPixelReader();
    EXPECT_EQ(raster.getBufferReader()->getBuffer(), first.data());
    EXPECT_EQ(pixel(reader, 2, 1), (std::array<int32_t, 3>{106, 1, 2}));
    raster.setBuffer(second.data());
    EXPECT_EQ(raster.getBufferReader()->getBuffer(), second.data());
    EXPECT_EQ(pixel(reader, 2, 1), (std::array<int32_t, 3>{7, 1, 2}));
    EXPECT_TRUE(raster.getBufferReader()->isEqualBufferType(IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32));
}

TEST_F(BgraRasterTest, PixelSetMatchesSinglePixelsAndIgnoresTheUnusedByte)
{
    std::vector<uint8_t> frame = makeFrame(0xff);
    VoARRgbRaster_BGRA raster(frame.data(), 4, 3);
    const IVoARRgbPixelReader& reader = *raster.getRgbPixelReader();
    const int32_t xs[] = {0, 3, 1, 3, 2};
    const int32_t ys[] = {0, 2, 1, 0, 2};
    std::array<int32_t, 15> set{};
    reader.getPixelSet(xs, ys, 5, set.data());
    for (int k = 0; k < 5; k++) {
        const std::array<int32_t, 3> single = pixel(reader, xs[k], ys[k]);
        EXPECT_EQ((std::array<int32_t, 3>{set[3 * k], set[3 * k + 1], set[3 * k + 2]}), single) << "point " << k;
        EXPECT_EQ(single[0], 100 + xs[k] + 4 * ys[k]);
    }
}

TEST_F(BgraRasterTest, EmptyPixelSetWritesNothing)
{
    std::vector<uint8_t> frame = makeFrame(0);
    VoARRgbRaster_BGRA raster(frame.data(), 4, 3);
    std::array<int32_t, 3> out{-1, -1, -1};
    raster.getRgbPixelReader()->getPixelSet(nullptr, nullptr, 0, out.data());
    EXPECT_EQ(out, (std::array<int32_t, 3>{-1, -1, -1}));
}

TEST_F(BgraRasterTest, DestroyingTheRasterLeavesTheCallersPixels)
{
    std::vector<uint8_t> frame = makeFrame(9);
    const std::vector<uint8_t> copy = frame;
    {
        VoARRgbRaster_BGRA raster(frame.data(), 4, 3);
    }
    EXPECT_EQ(frame, copy);
}

TEST(BgraRasterDeathTest, SettingANullBufferAborts)
{
    VoARRgbRaster_BGRA raster(4, 3);
    EXPECT_DEATH(raster.setBuffer(nullptr), "^src/core/VoARRgbRaster_BGRA:[0-9]+: failed assertion `i_buffer!=__null'\n$");
}

TEST(X8R8G8B8ReaderTest, ByteLayoutReadsBytesOneToThree)
{
    const TVoARIntSize size{3, 4};
    std::vector<uint8_t> frame(4 * 3 * 4, 0);
    const uint8_t bytes[] = {10, 20, 30, 40};
    std::copy(bytes, bytes + 4, &frame[(2 * 4 + 1) * 4]);
    const VoARRgbPixelReader_BYTE1D_X8R8G8B8_32 reader(frame.data(), &size);
    std::array<int32_t, 3> rgb{};
    reader.getPixel(1, 2, rgb.data());
    EXPECT_EQ(rgb, (std::array<int32_t, 3>{20, 30, 40}));
}

TEST(X8R8G8B8ReaderTest, IntLayoutReadsBitFieldsAndIgnoresTheTopByte)
{
    const TVoARIntSize size{2, 2};
    const int32_t pixels[] = {0, 0, static_cast<int32_t>(0xffaabbccu), 0x00aabbcc};
    const VoARRgbPixelReader_INT1D_X8R8G8B8_32 reader(pixels, &size);
    const int32_t xs[] = {0, 1};
    const int32_t ys[] = {1, 1};
    std::array<int32_t, 6> rgb{};
    reader.getPixelSet(xs, ys, 2, rgb.data());
    EXPECT_EQ(rgb, (std::array<int32_t, 6>{170, 187, 204, 170, 187, 204}));
}
