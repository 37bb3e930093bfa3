#include "BlockCompression.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace MarkeyeTest {

namespace {

constexpr double PI = 3.14159265358979323846;

}  // namespace

void compressLikeJpeg(uint8_t* io_bgra, int32_t i_width, int32_t i_height)
{
    static const int32_t TABLE[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                      14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                      18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                      49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    // Quality 75 halves the table.
    double basis[8][8];
    for (int32_t u = 0; u < 8; u++) {
        for (int32_t x = 0; x < 8; x++) {
            basis[u][x] = (u == 0 ? std::sqrt(0.125) : 0.5) * std::cos((2 * x + 1) * u * PI / 16.0);
        }
    }
    for (int32_t by = 0; by + 8 <= i_height; by += 8) {
        for (int32_t bx = 0; bx + 8 <= i_width; bx += 8) {
            for (int32_t c = 0; c < 3; c++) {
                uint8_t* block = io_bgra + 4 * (static_cast<size_t>(by) * i_width + bx) + c;
                auto pixel = [&](int32_t i_x, int32_t i_y) -> uint8_t& {
                    return block[4 * (static_cast<size_t>(i_y) * i_width + i_x)];
                };
                double coefficient[8][8];
                for (int32_t v = 0; v < 8; v++) {
                    for (int32_t u = 0; u < 8; u++) {
                        double sum = 0.0;
                        for (int32_t y = 0; y < 8; y++) {
                            for (int32_t x = 0; x < 8; x++) {
                                sum += basis[u][x] * basis[v][y] * (pixel(x, y) - 128.0);
                            }
                        }
                        const double step = std::max(1, (TABLE[8 * v + u] * 50 + 50) / 100);
                        coefficient[v][u] = std::round(sum / step) * step;
                    }
                }
                for (int32_t y = 0; y < 8; y++) {
                    for (int32_t x = 0; x < 8; x++) {
                        double sum = 128.0;
                        for (int32_t v = 0; v < 8; v++) {
                            for (int32_t u = 0; u < 8; u++) {
                                sum += basis[u][x] * basis[v][y] * coefficient[v][u];
                            }
                        }
                        pixel(x, y) = static_cast<uint8_t>(std::clamp(std::lround(sum), 0L, 255L));
                    }
                }
            }
        }
    }
}

}  // namespace MarkeyeTest
