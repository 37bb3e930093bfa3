// The one-byte dark mask path of the frame analysis: the threshold filter's
// doFilterDark and the labeling's labelingDark, each checked against the
// binary-raster form it must agree with.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <random>
#include <vector>

#include "IVoARBufferReader.h"
#include "IVoARRgbRaster.h"
#include "VoARBinRaster.h"
#include "VoARBufferReader.h"
#include "VoARException.h"
#include "VoARLabelingImage.h"
#include "VoARLabelingLabelStack.h"
#include "VoARLabeling_Kestrel.h"
#include "VoARRasterFilter_KestrelThreshold.h"
#include "VoARRasterSize.h"

using namespace VoTrack;

namespace {

// ---- Threshold into a dark mask -------------------------------------------------

// A colour raster over an owned buffer of random bytes in any layout.
class RandomLayoutRaster : public VoARRasterSize<IVoARRgbRaster>
{
public:
    RandomLayoutRaster(int32_t i_width, int32_t i_height, int32_t i_format, std::mt19937* io_random)
        : VoARRasterSize<IVoARRgbRaster>(i_width, i_height),
          _bytes(static_cast<size_t>(i_width * i_height) * bytesPerPixel(i_format)),
          _reader(_bytes.data(), i_format)
    {
        // Channels near 100 so that many sums fall on either side of 300.
        std::uniform_int_distribution<int> near(60, 140);
        std::uniform_int_distribution<int> any(0, 255);
        for (uint8_t& byte : _bytes) {
            byte = static_cast<uint8_t>((*io_random)() % 4 == 0 ? any(*io_random) : near(*io_random));
        }
    }
    IVoARBufferReader* getBufferReader() const override { return const_cast<VoARBufferReader*>(&_reader); }
    IVoARRgbPixelReader* getRgbPixelReader() const override { return nullptr; }

    static size_t bytesPerPixel(int32_t i_format)
    {
        return i_format == IVoARBufferReader::BUFFERFORMAT_BYTE1D_R8G8B8_24 ||
                       i_format == IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8_24
                   ? 3
                   : 4;
    }

private:
    std::vector<uint8_t> _bytes;
    VoARBufferReader _reader;
};

class DarkMaskFilterTest : public ::testing::TestWithParam<int32_t> {};

// Every pixel of the mask is 1 exactly where the binary raster holds 0, for
// thresholds inside and beyond the channel range, on a frame whose pixel
// count is no multiple of any vector width.
TEST_P(DarkMaskFilterTest, MaskIsTheInverseOfTheBinaryRaster)
{
    std::mt19937 random(static_cast<uint32_t>(GetParam()));
    const int32_t width = 37;
    const int32_t height = 23;
    const RandomLayoutRaster input(width, height, GetParam(), &random);
    VoARBinRaster bin(width, height);
    std::vector<uint8_t> dark(static_cast<size_t>(width * height), 7);
    for (int32_t threshold : {-400, -1, 0, 50, 99, 100, 101, 200, 254, 255, 256, 1 << 30}) {
        VoARRasterFilter_KestrelThreshold filter(threshold, GetParam());
        filter.doFilter(input, bin);
        filter.doFilterDark(input, dark.data());
        for (int32_t p = 0; p < width * height; p++) {
            ASSERT_EQ(dark[static_cast<size_t>(p)], bin.getIntBuffer()[p] == 0 ? 1 : 0)
                << "threshold " << threshold << ", pixel " << p;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, DarkMaskFilterTest,
                         ::testing::Values(IVoARBufferReader::BUFFERFORMAT_BYTE1D_R8G8B8_24,
                                           IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8_24,
                                           IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32,
                                           IVoARBufferReader::BUFFERFORMAT_BYTE1D_X8R8G8B8_32,
                                           IVoARBufferReader::BUFFERFORMAT_INT1D_X8R8G8B8_32));

// ---- Labeling of a dark mask ----------------------------------------------------

// The same frames labelled both ways: from a binary raster pixel by pixel,
// and from a dark mask run by run, each into its own label image.
class TwoLabelings
{
public:
    TwoLabelings(int32_t i_width, int32_t i_height)
        : _width(i_width),
          _height(i_height),
          _bin(i_width, i_height),
          _dark(static_cast<size_t>(i_width * i_height)),
          _pixel_image(i_width, i_height),
          _mask_image(i_width, i_height)
    {
        _pixels.attachLabelImage(&_pixel_image);
        _runs.attachLabelImage(&_mask_image);
    }

    // Sets pixel p dark or bright in both inputs.
    void set(int32_t i_pixel, bool i_dark)
    {
        _bin.getIntBuffer()[i_pixel] = i_dark ? 0 : 1;
        _dark[static_cast<size_t>(i_pixel)] = i_dark ? 1 : 0;
    }
    void fill(bool i_dark)
    {
        for (int32_t p = 0; p < _width * _height; p++) {
            set(p, i_dark);
        }
    }
    void fillRect(int32_t i_left, int32_t i_top, int32_t i_right, int32_t i_bottom, bool i_dark)
    {
        for (int32_t y = std::max(i_top, 0); y <= std::min(i_bottom, _height - 1); y++) {
            for (int32_t x = std::max(i_left, 0); x <= std::min(i_right, _width - 1); x++) {
                set(y * _width + x, i_dark);
            }
        }
    }

    // Labels both ways and expects the same outcome: both throw, or the same
    // records in the same order, the same pixels labelled and each pixel's
    // final label the same.
    void expectSameLabeling()
    {
        bool pixels_threw = false;
        bool runs_threw = false;
        try {
            _pixels.labeling(_bin);
        } catch (const VoARException&) {
            pixels_threw = true;
        }
        try {
            _runs.labelingDark(_dark.data());
        } catch (const VoARException&) {
            runs_threw = true;
        }
        ASSERT_EQ(pixels_threw, runs_threw);
        if (pixels_threw) {
            return;
        }
        const VoARLabelingLabelStack& expected = *_pixel_image.getLabelStack();
        const VoARLabelingLabelStack& actual = *_mask_image.getLabelStack();
        ASSERT_EQ(expected.getLength(), actual.getLength());
        for (int32_t k = 0; k < expected.getLength(); k++) {
            const VoARLabelingLabel& e = *expected.getArray()[k];
            const VoARLabelingLabel& a = *actual.getArray()[k];
            EXPECT_EQ(a.id, e.id);
            EXPECT_EQ(a.area, e.area) << "region " << k;
            EXPECT_EQ(a.left, e.left) << "region " << k;
            EXPECT_EQ(a.right, e.right) << "region " << k;
            EXPECT_EQ(a.top, e.top) << "region " << k;
            EXPECT_EQ(a.bottom, e.bottom) << "region " << k;
            // Both are exact integer sums divided by the area.
            EXPECT_EQ(a.center_x, e.center_x) << "region " << k;
            EXPECT_EQ(a.center_y, e.center_y) << "region " << k;
        }
        for (int32_t p = 0; p < _width * _height; p++) {
            ASSERT_EQ(finalLabel(_mask_image, p), finalLabel(_pixel_image, p)) << "pixel " << p;
        }
    }

    VoARLabeling_Kestrel& runs() { return _runs; }
    const VoARLabelingImage& maskImage() const { return _mask_image; }
    const uint8_t* dark() const { return _dark.data(); }
    const VoARBinRaster& bin() const { return _bin; }

private:
    static int32_t finalLabel(const VoARLabelingImage& i_image, int32_t i_pixel)
    {
        const int32_t raw = i_image.getIntBuffer()[i_pixel];
        return raw > 0 ? i_image.getIndexArray()->items[raw - 1] : raw;
    }

    int32_t _width;
    int32_t _height;
    VoARBinRaster _bin;
    std::vector<uint8_t> _dark;
    VoARLabelingImage _pixel_image;
    VoARLabelingImage _mask_image;
    VoARLabeling_Kestrel _pixels;
    VoARLabeling_Kestrel _runs;
};

struct TMaskFrameCase
{
    int32_t width;
    int32_t height;
    double dark_share;
};

void PrintTo(const TMaskFrameCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.width << "x" << i_case.height << " dark " << i_case.dark_share;
}

class DarkMaskLabelingTest : public ::testing::TestWithParam<TMaskFrameCase> {};

// Frame after frame on the same labelings: random rectangles (U shapes,
// nested rings, shapes merging below) over speckle, so that runs start,
// end and join in every way; nothing of one frame may survive into the next.
TEST_P(DarkMaskLabelingTest, AgreesWithThePixelScanFrameAfterFrame)
{
    const TMaskFrameCase c = GetParam();
    TwoLabelings labelings(c.width, c.height);
    std::mt19937 random(static_cast<uint32_t>(c.width * 1000 + c.height));
    std::bernoulli_distribution speckle(c.dark_share);
    std::uniform_int_distribution<int32_t> x_at(-2, c.width + 1);
    std::uniform_int_distribution<int32_t> y_at(-2, c.height + 1);
    for (int frame = 0; frame < 6; frame++) {
        SCOPED_TRACE(::testing::Message() << "frame " << frame);
        for (int32_t p = 0; p < c.width * c.height; p++) {
            labelings.set(p, speckle(random));
        }
        for (int shape = 0; shape < 12; shape++) {
            const int32_t x0 = x_at(random);
            const int32_t y0 = y_at(random);
            const int32_t x1 = x0 + static_cast<int32_t>(random() % 40);
            const int32_t y1 = y0 + static_cast<int32_t>(random() % 30);
            labelings.fillRect(x0, y0, x1, y1, true);
            // Hollow some out, leaving rings and U shapes.
            if (shape % 2 == 0) {
                labelings.fillRect(x0 + 2, y0 + 2, x1 - 2, y1 + (shape % 4 == 0 ? 5 : -2), false);
            }
        }
        labelings.expectSameLabeling();
    }
}

INSTANTIATE_TEST_SUITE_P(Frames, DarkMaskLabelingTest,
                         ::testing::Values(TMaskFrameCase{1, 1, 0.5}, TMaskFrameCase{2, 3, 0.5},
                                           TMaskFrameCase{3, 3, 0.9}, TMaskFrameCase{5, 4, 1.0},
                                           TMaskFrameCase{17, 9, 0.3}, TMaskFrameCase{64, 48, 0.0},
                                           TMaskFrameCase{64, 48, 0.1}, TMaskFrameCase{101, 77, 0.45},
                                           TMaskFrameCase{160, 120, 0.6}, TMaskFrameCase{203, 31, 0.95}));

// Runs wider than eight pixels, and bright gaps of exactly one pixel
// between them, at every offset from the row start.
TEST(DarkMaskLabelingEdgeTest, LongRunsAndOnePixelGapsAtEveryOffset)
{
    TwoLabelings labelings(70, 12);
    for (int32_t offset = 0; offset < 16; offset++) {
        labelings.fill(false);
        for (int32_t y = 1; y < 11; y++) {
            labelings.fillRect(1 + offset, y, 30 + offset, y, true);
            labelings.fillRect(32 + offset, y, 32 + offset + y, y, true);
        }
        labelings.fillRect(31 + offset, 5, 31 + offset, 5, true);
        labelings.expectSameLabeling();
    }
}

// The mask form clears what the pixel form left in its image, and what a
// mask labeling that threw half-way wrote.
TEST(DarkMaskLabelingEdgeTest, ClearsWhatOtherAndFailedLabelingsWrote)
{
    const int32_t width = 402;
    const int32_t height = 402;
    TwoLabelings labelings(width, height);
    // Isolated dots on every other pixel: 40000 raw labels, too many.
    labelings.fill(false);
    for (int32_t y = 1; y < height - 1; y += 2) {
        for (int32_t x = 1; x < width - 1; x += 2) {
            labelings.set(y * width + x, true);
        }
    }
    labelings.expectSameLabeling();
    const int32_t* raw = labelings.maskImage().getIntBuffer();
    auto labelled = [&] {
        return std::count_if(raw, raw + width * height, [](int32_t i_value) { return i_value != 0; });
    };
    labelings.fill(false);
    labelings.fillRect(10, 10, 20, 20, true);
    labelings.expectSameLabeling();
    EXPECT_EQ(labelled(), 121);
    // The pixel form writes the mask image too, across a large region.
    labelings.fillRect(50, 50, 300, 300, true);
    labelings.runs().labeling(labelings.bin());
    labelings.fill(false);
    labelings.fillRect(10, 10, 20, 20, true);
    labelings.expectSameLabeling();
    EXPECT_EQ(labelled(), 121);
}

// The most regions a frame may have, and one more.
TEST(DarkMaskLabelingEdgeTest, RegionLimitAsInThePixelScan)
{
    for (int32_t columns : {32767, 32768}) {
        TwoLabelings labelings(2 * columns + 2, 3);
        labelings.fill(false);
        for (int32_t i = 0; i < columns; i++) {
            labelings.set((2 * columns + 2) + 2 * i + 1, true);
        }
        labelings.expectSameLabeling();
    }
}

}  // namespace
