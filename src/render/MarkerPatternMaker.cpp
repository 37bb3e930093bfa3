#include "MarkerPatternMaker.h"

#include <fstream>
#include <iomanip>
#include <stdexcept>

namespace Markeye {

namespace {

// Colour plane p of the file holds picture component 2 - p (blue first).
constexpr int32_t PLANES = 3;

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

// The rounded mean colour of cell (i_row, i_column) of block i_direction.
void cellColour(const MarkerPicture& i_picture, int32_t i_width, int32_t i_height, int32_t i_direction,
                int32_t i_row, int32_t i_column, int32_t* o_rgb)
{
    const int32_t n = MarkerPatternMaker::CELL_SAMPLES;
    int32_t sum[PLANES] = {0, 0, 0};
    for (int32_t j = 0; j < n; j++) {
        const double t = (i_row + (j + 0.5) / n) / i_height;
        for (int32_t i = 0; i < n; i++) {
            const double s = (i_column + (i + 0.5) / n) / i_width;
            double u;
            double v;
            toPicture(i_direction, s, t, &u, &v);
            const uint8_t* rgb = i_picture.sample(u, v);
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

void MarkerPatternMaker::makeNumbers(const MarkerPicture& i_picture, int32_t i_width, int32_t i_height,
                                     std::vector<int32_t>* o_numbers)
{
    if (i_width <= 0 || i_height <= 0) {
        throw std::invalid_argument("pattern grid size must be positive");
    }
    o_numbers->assign(static_cast<size_t>(numberCount(i_width, i_height)), 0);
    const size_t plane_size = static_cast<size_t>(i_width) * static_cast<size_t>(i_height);
    for (int32_t d = 0; d < DIRECTIONS; d++) {
        int32_t* block = o_numbers->data() + d * PLANES * plane_size;
        for (int32_t row = 0; row < i_height; row++) {
            for (int32_t column = 0; column < i_width; column++) {
                int32_t rgb[PLANES];
                cellColour(i_picture, i_width, i_height, d, row, column, rgb);
                for (int32_t p = 0; p < PLANES; p++) {
                    block[p * plane_size + row * i_width + column] = rgb[PLANES - 1 - p];
                }
            }
        }
    }
}

void MarkerPatternMaker::writeFile(const std::string& i_path, const std::vector<int32_t>& i_numbers,
                                   int32_t i_width, int32_t i_height)
{
    if (i_width <= 0 || i_height <= 0 || i_numbers.size() != static_cast<size_t>(numberCount(i_width, i_height))) {
        throw std::invalid_argument("pattern numbers do not fit a " + std::to_string(i_width) + " x " +
                                    std::to_string(i_height) + " grid");
    }
    std::ofstream file(i_path);
    for (size_t i = 0; i < i_numbers.size(); i++) {
        file << std::setw(3) << i_numbers[i] << ((i + 1) % static_cast<size_t>(i_width) == 0 ? '\n' : ' ');
    }
    file.close();
    if (!file) {
        throw std::runtime_error("cannot write pattern file " + i_path);
    }
}

}  // namespace Markeye
