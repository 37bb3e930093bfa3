#include "PatternMaker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace markeye {

namespace {

constexpr int32_t PLANES = 3;
constexpr int32_t DIRECTIONS = 4;

// Where a point of block i_direction lies on the upright picture. (s, t) are
// fractions of the sample (s along a row, t down the columns); (u, v) of the
// picture (u to the right, v down).
void toPicture(int32_t i_direction, double i_s, double i_t, double* o_u, double* o_v)
{
    switch (i_direction) {
    case 0:
        *o_u = i_s;
        *o_v = i_t;
        return;
    case 1:
        *o_u = 1.0 - i_t;
        *o_v = i_s;
        return;
    case 2:
        *o_u = 1.0 - i_s;
        *o_v = 1.0 - i_t;
        return;
    default:
        *o_u = i_t;
        *o_v = 1.0 - i_s;
        return;
    }
}

// The pixel nearest to a fraction of the picture's side; fractions outside
// [0, 1) are clamped to the edge pixels.
int32_t nearestIndex(double i_fraction, int32_t i_count)
{
    // Compare before converting: a huge or NaN fraction has no int value.
    if (!(i_fraction > 0.0)) {
        return 0;
    }
    if (i_fraction >= 1.0) {
        return i_count - 1;
    }
    const int32_t index = static_cast<int32_t>(i_fraction * i_count);
    return index < i_count ? index : i_count - 1;
}

// Red, green and blue of the pixel nearest to (i_u, i_v).
void sampleRgb(const ImageView& i_picture, double i_u, double i_v, int32_t* o_rgb)
{
    const int32_t x = nearestIndex(i_u, i_picture.width);
    const int32_t y = nearestIndex(i_v, i_picture.height);
    const uint8_t* p = i_picture.data + y * i_picture.stride + x * bytesPerPixel(i_picture.format);
    switch (i_picture.format) {
    case PixelFormat::BGRA:
    case PixelFormat::BGRX:
    case PixelFormat::BGR:
        o_rgb[0] = p[2];
        o_rgb[1] = p[1];
        o_rgb[2] = p[0];
        return;
    case PixelFormat::RGBA:
    case PixelFormat::RGBX:
    case PixelFormat::RGB:
        o_rgb[0] = p[0];
        o_rgb[1] = p[1];
        o_rgb[2] = p[2];
        return;
    case PixelFormat::GRAY:
        o_rgb[0] = o_rgb[1] = o_rgb[2] = p[0];
        return;
    }
}

// The rounded mean colour of cell (i_row, i_column) of block i_direction.
void cellColour(const ImageView& i_picture, int32_t i_width, int32_t i_height, int32_t i_direction, int32_t i_row,
                int32_t i_column, int32_t* o_rgb)
{
    const int32_t n = PatternMaker::CELL_SAMPLES;
    int32_t sum[PLANES] = {0, 0, 0};
    for (int32_t j = 0; j < n; j++) {
        const double t = (i_row + (j + 0.5) / n) / i_height;
        for (int32_t i = 0; i < n; i++) {
            const double s = (i_column + (i + 0.5) / n) / i_width;
            double u;
            double v;
            toPicture(i_direction, s, t, &u, &v);
            int32_t rgb[PLANES] = {0, 0, 0};
            sampleRgb(i_picture, u, v, rgb);
            for (int32_t c = 0; c < PLANES; c++) {
                sum[c] += rgb[c];
            }
        }
    }
    for (int32_t c = 0; c < PLANES; c++) {
        o_rgb[c] = (sum[c] + n * n / 2) / (n * n);
    }
}

}  // namespace

void PatternMaker::makeNumbers(const ImageView& i_picture, int32_t i_width, int32_t i_height,
                               std::vector<int32_t>* o_numbers)
{
    o_numbers->assign(static_cast<size_t>(numberCount(i_width, i_height)), 0);
    const size_t plane_size = static_cast<size_t>(i_width) * static_cast<size_t>(i_height);
    for (int32_t d = 0; d < DIRECTIONS; d++) {
        int32_t* block = o_numbers->data() + d * PLANES * plane_size;
        for (int32_t row = 0; row < i_height; row++) {
            for (int32_t column = 0; column < i_width; column++) {
                int32_t rgb[PLANES];
                cellColour(i_picture, i_width, i_height, d, row, column, rgb);
                // The file's planes come blue, green, red.
                for (int32_t p = 0; p < PLANES; p++) {
                    block[p * plane_size + row * i_width + column] = rgb[PLANES - 1 - p];
                }
            }
        }
    }
}

std::string PatternMaker::unreadableReason(const ImageView& i_picture, int32_t i_width, int32_t i_height)
{
    if (i_picture.width < MIN_PICTURE_SIDE || i_picture.height < MIN_PICTURE_SIDE) {
        return "too small (" + std::to_string(i_picture.width) + " x " + std::to_string(i_picture.height) +
               " pixels; at least " + std::to_string(MIN_PICTURE_SIDE) + " x " + std::to_string(MIN_PICTURE_SIDE) +
               " needed)";
    }
    std::vector<int32_t> numbers;
    makeNumbers(i_picture, i_width, i_height, &numbers);
    // Block 0, the upright picture: its planes blue, green, red.
    const size_t cells = static_cast<size_t>(i_width) * static_cast<size_t>(i_height);
    double sum = 0.0;
    double square_sum = 0.0;
    for (size_t cell = 0; cell < cells; cell++) {
        const double brightness = (numbers[cell] + numbers[cells + cell] + numbers[2 * cells + cell]) / 3.0;
        sum += brightness;
        square_sum += brightness * brightness;
    }
    const double mean = sum / static_cast<double>(cells);
    const double deviation = std::sqrt(std::max(0.0, square_sum / static_cast<double>(cells) - mean * mean));
    if (deviation >= MIN_CELL_DEVIATION) {
        return "";
    }
    char text[160];
    std::snprintf(text, sizeof text,
                  "too uniform (its cells' brightness has a standard deviation of %.1f of 255 on the %d x %d grid; "
                  "at least %.0f needed)",
                  deviation, i_width, i_height, MIN_CELL_DEVIATION);
    return text;
}

}  // namespace markeye
