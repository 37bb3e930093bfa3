#include "PatternMaker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace markeye {

namespace {

constexpr int32_t PLANES = 3;
constexpr int32_t DIRECTIONS = 4;

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

// Where block i_direction's samples fall on the upright picture. Sample
// (k, l) of the block lies at s = k-th of the row's samples (a fraction of
// the block's width) and t = l-th down the columns; the picture point is
// (s, t) turned by the direction: (s, t), (1 - t, s), (1 - s, 1 - t) or
// (t, 1 - s). So each picture coordinate comes from one of s and t, and the
// nearest pixel of every sample is read from two tables, one per axis of
// the block: by_s[k] and by_t[l] are picture columns or rows as
// s_gives_column says.
struct TSampleIndices
{
    bool s_gives_column;
    std::vector<int32_t> by_s;
    std::vector<int32_t> by_t;
};

// The k-th of i_cells * CELL_SAMPLES sample fractions along an axis.
double sampleFraction(int32_t i_k, int32_t i_cells)
{
    const int32_t n = PatternMaker::CELL_SAMPLES;
    return (i_k / n + (i_k % n + 0.5) / n) / i_cells;
}

void sampleIndices(const ImageView& i_picture, int32_t i_width, int32_t i_height, int32_t i_direction,
                   TSampleIndices* o_indices)
{
    const int32_t n = PatternMaker::CELL_SAMPLES;
    o_indices->s_gives_column = i_direction % 2 == 0;
    // On the picture s runs backwards when turned by 2 or 3 quarters, t when
    // by 1 or 2.
    const bool s_reversed = i_direction == 2 || i_direction == 3;
    const bool t_reversed = i_direction == 1 || i_direction == 2;
    const int32_t s_side = o_indices->s_gives_column ? i_picture.width : i_picture.height;
    const int32_t t_side = o_indices->s_gives_column ? i_picture.height : i_picture.width;
    o_indices->by_s.resize(static_cast<size_t>(i_width * n));
    for (int32_t k = 0; k < i_width * n; k++) {
        const double s = sampleFraction(k, i_width);
        o_indices->by_s[static_cast<size_t>(k)] = nearestIndex(s_reversed ? 1.0 - s : s, s_side);
    }
    o_indices->by_t.resize(static_cast<size_t>(i_height * n));
    for (int32_t l = 0; l < i_height * n; l++) {
        const double t = sampleFraction(l, i_height);
        o_indices->by_t[static_cast<size_t>(l)] = nearestIndex(t_reversed ? 1.0 - t : t, t_side);
    }
}

// Adds i_count times the red, green and blue of pixel (i_x, i_y) to io_sum.
void addRgb(const ImageView& i_picture, int32_t i_x, int32_t i_y, int32_t i_count, int32_t* io_sum)
{
    const uint8_t* p = i_picture.data + i_y * i_picture.stride + i_x * bytesPerPixel(i_picture.format);
    switch (i_picture.format) {
    case PixelFormat::BGRA:
    case PixelFormat::BGRX:
    case PixelFormat::BGR:
        io_sum[0] += i_count * p[2];
        io_sum[1] += i_count * p[1];
        io_sum[2] += i_count * p[0];
        return;
    case PixelFormat::RGBA:
    case PixelFormat::RGBX:
    case PixelFormat::RGB:
        io_sum[0] += i_count * p[0];
        io_sum[1] += i_count * p[1];
        io_sum[2] += i_count * p[2];
        return;
    case PixelFormat::GRAY:
        io_sum[0] += i_count * p[0];
        io_sum[1] += i_count * p[0];
        io_sum[2] += i_count * p[0];
        return;
    }
}

// The distinct pixel indices among a cell's CELL_SAMPLES consecutive
// samples along one axis, with how many samples fall on each: a picture no
// finer than the grid puts all of a cell's samples on one pixel.
struct TSampleRuns
{
    int32_t index[PatternMaker::CELL_SAMPLES];
    int32_t count[PatternMaker::CELL_SAMPLES];
    int32_t size;
};

void runsOf(const int32_t* i_samples, TSampleRuns* o_runs)
{
    o_runs->size = 0;
    for (int32_t k = 0; k < PatternMaker::CELL_SAMPLES; k++) {
        if (o_runs->size > 0 && o_runs->index[o_runs->size - 1] == i_samples[k]) {
            o_runs->count[o_runs->size - 1]++;
            continue;
        }
        o_runs->index[o_runs->size] = i_samples[k];
        o_runs->count[o_runs->size] = 1;
        o_runs->size++;
    }
}

// The rounded mean colour of cell (i_row, i_column) of the block whose
// samples i_indices places: the sum over its n x n samples, each pixel once
// with the number of samples on it.
void cellColour(const ImageView& i_picture, const TSampleIndices& i_indices, int32_t i_row, int32_t i_column,
                int32_t* o_rgb)
{
    const int32_t n = PatternMaker::CELL_SAMPLES;
    TSampleRuns along_s;
    TSampleRuns along_t;
    runsOf(i_indices.by_s.data() + i_column * n, &along_s);
    runsOf(i_indices.by_t.data() + i_row * n, &along_t);
    int32_t sum[PLANES] = {0, 0, 0};
    for (int32_t j = 0; j < along_t.size; j++) {
        for (int32_t i = 0; i < along_s.size; i++) {
            const int32_t count = along_s.count[i] * along_t.count[j];
            if (i_indices.s_gives_column) {
                addRgb(i_picture, along_s.index[i], along_t.index[j], count, sum);
            } else {
                addRgb(i_picture, along_t.index[j], along_s.index[i], count, sum);
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
    TSampleIndices indices;
    for (int32_t d = 0; d < DIRECTIONS; d++) {
        sampleIndices(i_picture, i_width, i_height, d, &indices);
        int32_t* block = o_numbers->data() + d * PLANES * plane_size;
        for (int32_t row = 0; row < i_height; row++) {
            for (int32_t column = 0; column < i_width; column++) {
                int32_t rgb[PLANES];
                cellColour(i_picture, indices, row, column, rgb);
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
