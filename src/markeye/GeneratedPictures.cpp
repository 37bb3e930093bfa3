#include "GeneratedPictures.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "BuiltinPictures.h"
#include "markeye/Error.h"

namespace markeye {

namespace {

constexpr int32_t PIXELS = GeneratedPictures::SIZE * GeneratedPictures::SIZE;
constexpr int32_t CELL_COUNT = GeneratedPictures::CELLS * GeneratedPictures::CELLS;
constexpr int32_t DARK = 255;
static_assert(CELL_COUNT <= 64, "a picture's cells fit in one 64-bit draw");
static_assert(GeneratedPictures::FRAME >= 1, "the cells leave a white frame");
// Grids of fewer black cells than this, or of fewer white ones, are passed
// over: a nearly blank picture correlates weakly with itself once blurred,
// and a nearly black one merges with the border.
constexpr int32_t MIN_CELLS_OF_EACH = CELL_COUNT * 2 / 5;
constexpr uint64_t SEED = 0x6d61726b657965ULL;
// Far more than the choice takes (a test pins the pictures): reached only
// if the constants above were changed to ask for the impossible.
constexpr int32_t MAX_CANDIDATES = 1 << 22;

// Darkness per pixel, row by row, 0 (white) to 255 (black).
using TPixels = std::array<int32_t, PIXELS>;

// A picture as the tracker correlates it: darkness less its mean (the
// integer mean, as VoARCode stores patterns), and the sum of its squares.
// The pattern's three colour planes are equal for a grey picture, so one
// plane gives the same correlation.
struct TMeanFree
{
    TPixels values;
    int64_t power;
};

// splitmix64: fixed arithmetic on 64-bit integers, unlike the standard
// distributions, whose output the standard leaves to each library.
uint64_t nextRandom(uint64_t* io_state)
{
    uint64_t z = (*io_state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

int32_t blackCount(uint64_t i_cells)
{
    int32_t count = 0;
    for (; i_cells != 0; i_cells &= i_cells - 1) {
        count++;
    }
    return count;
}

// Bit row * CELLS + column set: that cell is black.
TPixels pixelsOfCells(uint64_t i_cells)
{
    using namespace GeneratedPictures;
    TPixels pixels{};
    for (int32_t y = FRAME; y < FRAME + CELLS * CELL_SIDE; y++) {
        for (int32_t x = FRAME; x < FRAME + CELLS * CELL_SIDE; x++) {
            const int32_t cell = (y - FRAME) / CELL_SIDE * CELLS + (x - FRAME) / CELL_SIDE;
            pixels[static_cast<size_t>(y * SIZE + x)] = ((i_cells >> cell) & 1U) != 0 ? DARK : 0;
        }
    }
    return pixels;
}

TPixels pixelsOfBuiltin(int32_t i_index)
{
    const Image picture = BuiltinPictures::picture(i_index);
    TPixels pixels{};
    for (int32_t y = 0; y < GeneratedPictures::SIZE; y++) {
        for (int32_t x = 0; x < GeneratedPictures::SIZE; x++) {
            pixels[static_cast<size_t>(y * GeneratedPictures::SIZE + x)] = DARK - picture.pixel(x, y)[0];
        }
    }
    return pixels;
}

// Turned a quarter turn counter-clockwise: the right column becomes the top
// row.
TPixels turned(const TPixels& i_pixels)
{
    constexpr int32_t N = GeneratedPictures::SIZE;
    TPixels result{};
    for (int32_t y = 0; y < N; y++) {
        for (int32_t x = 0; x < N; x++) {
            result[static_cast<size_t>(y * N + x)] = i_pixels[static_cast<size_t>(x * N + N - 1 - y)];
        }
    }
    return result;
}

TMeanFree meanFree(const TPixels& i_pixels)
{
    int64_t sum = 0;
    for (int32_t value : i_pixels) {
        sum += value;
    }
    const int64_t mean = sum / PIXELS;
    TMeanFree result{};
    for (size_t k = 0; k < i_pixels.size(); k++) {
        result.values[k] = static_cast<int32_t>(i_pixels[k] - mean);
        result.power += static_cast<int64_t>(result.values[k]) * result.values[k];
    }
    return result;
}

// Whether the correlation s / sqrt(power_a power_b) is below the bound,
// decided in integers so that every machine keeps the same pictures: s at
// most 256 x 255 x 255, so s squared times 100 x 100 stays below 2^63.
bool correlatesBelowBound(const TMeanFree& i_a, const TMeanFree& i_b)
{
    int64_t s = 0;
    for (size_t k = 0; k < i_a.values.size(); k++) {
        s += static_cast<int64_t>(i_a.values[k]) * i_b.values[k];
    }
    constexpr int64_t BOUND = GeneratedPictures::MAX_CORRELATION_PERCENT;
    return s <= 0 || s * s * 10000 < BOUND * BOUND * i_a.power * i_b.power;
}

// Whether a candidate's four directions stay below the bound with each
// picture kept (upright: turning both pictures alike keeps their
// correlation, so the candidate's turns cover every pair of directions) and
// its other directions with its upright one.
bool differsEnough(const TPixels& i_pixels, const std::vector<TMeanFree>& i_kept)
{
    std::array<TMeanFree, 4> directions;
    directions[0] = meanFree(i_pixels);
    TPixels turn = i_pixels;
    for (size_t d = 1; d < directions.size(); d++) {
        turn = turned(turn);
        directions[d] = meanFree(turn);
        if (!correlatesBelowBound(directions[d], directions[0])) {
            return false;
        }
    }
    for (const TMeanFree& kept : i_kept) {
        for (const TMeanFree& direction : directions) {
            if (!correlatesBelowBound(direction, kept)) {
                return false;
            }
        }
    }
    return true;
}

std::vector<uint64_t> chooseAll()
{
    std::vector<TMeanFree> kept;
    for (int32_t i = 0; i < BuiltinPictures::count(); i++) {
        kept.push_back(meanFree(pixelsOfBuiltin(i)));
    }
    const uint64_t mask = CELL_COUNT == 64 ? ~0ULL : (1ULL << CELL_COUNT) - 1;
    std::vector<uint64_t> chosen;
    uint64_t state = SEED;
    for (int32_t n = 0; static_cast<int32_t>(chosen.size()) < GeneratedPictures::COUNT; n++) {
        if (n == MAX_CANDIDATES) {
            throw Error("generated patterns: only " + std::to_string(chosen.size()) + " of " +
                        std::to_string(GeneratedPictures::COUNT) + " found");
        }
        const uint64_t cells = nextRandom(&state) & mask;
        const int32_t black = blackCount(cells);
        if (black < MIN_CELLS_OF_EACH || CELL_COUNT - black < MIN_CELLS_OF_EACH) {
            continue;
        }
        const TPixels pixels = pixelsOfCells(cells);
        if (differsEnough(pixels, kept)) {
            chosen.push_back(cells);
            kept.push_back(meanFree(pixels));
        }
    }
    return chosen;
}

}  // namespace

Image GeneratedPictures::picture(int32_t i_index)
{
    // Chosen once, at the first call; thread-safe as a function-local static.
    static const std::vector<uint64_t> all = chooseAll();
    const TPixels pixels = pixelsOfCells(all.at(static_cast<size_t>(i_index)));
    Image result(SIZE, SIZE, PixelFormat::RGB);
    for (int32_t y = 0; y < SIZE; y++) {
        for (int32_t x = 0; x < SIZE; x++) {
            std::memset(result.pixel(x, y), DARK - pixels[static_cast<size_t>(y * SIZE + x)], 3);
        }
    }
    return result;
}

}  // namespace markeye
