#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "VoARDarkMaskOpening.h"

using VoTrack::VoARDarkMaskOpening;

namespace {

constexpr int32_t WIDTH = 40;
constexpr int32_t HEIGHT = 30;

class DarkMaskOpeningTest : public ::testing::Test
{
protected:
    DarkMaskOpeningTest() : _mask(WIDTH * HEIGHT, 0), _opening(WIDTH, HEIGHT) {}

    void fill(int32_t i_x0, int32_t i_y0, int32_t i_x1, int32_t i_y1)
    {
        for (int32_t y = i_y0; y < i_y1; y++) {
            for (int32_t x = i_x0; x < i_x1; x++) {
                _mask[static_cast<size_t>(y * WIDTH + x)] = 1;
            }
        }
    }

    int32_t darkCount() const
    {
        int32_t count = 0;
        for (uint8_t value : _mask) {
            count += value;
        }
        return count;
    }

    std::vector<uint8_t> _mask;
    VoARDarkMaskOpening _opening;
};

}  // namespace

// A square frame 3 pixels thick (a marker's border at its thinnest) comes
// out exactly as it went in.
TEST_F(DarkMaskOpeningTest, KeepsRegionsThreePixelsThick)
{
    fill(5, 5, 25, 8);
    fill(5, 22, 25, 25);
    fill(5, 5, 8, 25);
    fill(22, 5, 25, 25);
    const std::vector<uint8_t> before = _mask;
    _opening.open(_mask.data());
    EXPECT_EQ(_mask, before);
}

// Specks, two-pixel blobs and lines two pixels wide are removed.
TEST_F(DarkMaskOpeningTest, RemovesWhatIsThinnerThanThreePixels)
{
    fill(2, 2, 3, 3);
    fill(10, 10, 12, 12);
    fill(15, 3, 35, 5);
    fill(30, 8, 32, 28);
    _opening.open(_mask.data());
    EXPECT_EQ(darkCount(), 0);
}

// Salt noise over a thick block: the noise goes, the block stays whole.
TEST_F(DarkMaskOpeningTest, SaltNoiseGoesAndABlockStays)
{
    std::mt19937 random(7);
    std::bernoulli_distribution salt(0.05);
    for (uint8_t& value : _mask) {
        value = salt(random) ? 1 : 0;
    }
    fill(10, 10, 30, 20);
    _opening.open(_mask.data());
    for (int32_t y = 0; y < HEIGHT; y++) {
        for (int32_t x = 0; x < WIDTH; x++) {
            const bool inside = x >= 10 && x < 30 && y >= 10 && y < 20;
            const bool dark = _mask[static_cast<size_t>(y * WIDTH + x)] != 0;
            // A noise pixel next to the block may join it; nothing far away stays.
            if (inside) {
                EXPECT_TRUE(dark) << x << ", " << y;
            } else if (x < 8 || x > 31 || y < 8 || y > 21) {
                EXPECT_FALSE(dark) << x << ", " << y;
            }
        }
    }
}
