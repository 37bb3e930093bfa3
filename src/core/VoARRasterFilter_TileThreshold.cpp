#include "VoARRasterFilter_TileThreshold.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

#include "IVoARBufferReader.h"
#include "VoARAssert.h"
#include "VoARException.h"

namespace VoTrack {

namespace {

constexpr int32_t BYTES_PER_PIXEL = 4;
// Levels are measured over blocks of 2 x 2 pixels, at every column of a
// block row every BLOCK_ROW_PITCH rows: the measure reads a quarter of the
// frame. A dark line thinner than the gap is missed only where neither its
// tile nor a neighbour sees anything darker (see _darkest_around), which a
// marker's border, taller than the gap or beside its own sides, never is.
// A tile starts on a block row.
constexpr int32_t BLOCK_SIDE = 2;
constexpr int32_t BLOCK_PIXELS = BLOCK_SIDE * BLOCK_SIDE;
constexpr int32_t BLOCK_ROW_PITCH = 8;
static_assert(VoARRasterFilter_TileThreshold::TILE_SIZE % BLOCK_ROW_PITCH == 0, "every tile starts a block row");
// Farther than any tile: the distance of a tile no contrast has reached.
constexpr int32_t FAR = std::numeric_limits<int32_t>::max() / 2;

int32_t tileCount(int32_t i_pixels)
{
    return (i_pixels + VoARRasterFilter_TileThreshold::TILE_SIZE - 1) / VoARRasterFilter_TileThreshold::TILE_SIZE;
}

// Red + green + blue of pixel i_x of a row: the first three bytes of four.
inline int32_t channelSum(const uint8_t* i_row, int32_t i_x)
{
    const uint8_t* p = i_row + static_cast<std::ptrdiff_t>(i_x) * BYTES_PER_PIXEL;
    return p[0] + p[1] + p[2];
}

// Marks i_count pixels of a row from i_row dark (1) where their sum is at
// most their limit. Sums (0 to 765) fit 16 bits, which lets the compiler
// compare twice as many pixels per vector as in 32.
inline void thresholdRun(const uint8_t* i_row, const int16_t* i_limits, int32_t i_count, uint8_t* o_dark)
{
    for (int32_t x = 0; x < i_count; x++) {
        o_dark[x] = static_cast<int16_t>(channelSum(i_row, x)) <= i_limits[x] ? 1 : 0;
    }
}

}  // namespace

VoARRasterFilter_TileThreshold::VoARRasterFilter_TileThreshold(const TVoARIntSize* i_size,
                                                               int32_t i_input_raster_type)
    : _width(i_size->w), _height(i_size->h), _tiles_x(tileCount(i_size->w)), _tiles_y(tileCount(i_size->h))
{
    if (!reads(i_input_raster_type)) {
        throw VoARException();
    }
    const auto tiles = static_cast<std::size_t>(_tiles_x) * static_cast<std::size_t>(_tiles_y);
    _darkest.resize(tiles);
    _brightest.resize(tiles);
    _darkest_around.resize(tiles);
    _brightest_around.resize(tiles);
    _threshold.resize(tiles);
    _distance.resize(tiles);
    _kind.resize(tiles);
    _column_sums.resize(static_cast<std::size_t>(_width) + 1);
    _pixel_limits.resize(static_cast<std::size_t>(_width));
}

bool VoARRasterFilter_TileThreshold::reads(int32_t i_raster_type)
{
    return i_raster_type == IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32 ||
           i_raster_type == IVoARBufferReader::BUFFERFORMAT_BYTE1D_R8G8B8X8_32;
}

void VoARRasterFilter_TileThreshold::doFilterDark(const IVoARRgbRaster& i_input, uint8_t* o_dark)
{
    VOTRACK_ASSERT(i_input.getWidth() == _width && i_input.getHeight() == _height,
                   "src/core/VoARRasterFilter_TileThreshold",
                   "i_input.getWidth()==_width&&i_input.getHeight()==_height");
    const auto* pixels = static_cast<const uint8_t*>(i_input.getBufferReader()->getReadBuffer());
    measureTiles(pixels);
    spreadLevels();
    const bool any_contrast = thresholdContrastTiles();
    borrowNearestThresholds();
    settleFlatTiles(any_contrast);
    writeMask(pixels, o_dark);
}

void VoARRasterFilter_TileThreshold::measureTiles(const uint8_t* i_pixels)
{
    std::fill(_darkest.begin(), _darkest.end(), std::numeric_limits<int32_t>::max());
    std::fill(_brightest.begin(), _brightest.end(), -1);
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(_width) * BYTES_PER_PIXEL;
    for (int32_t y = 0; y < _height; y += BLOCK_ROW_PITCH) {
        const uint8_t* top = i_pixels + y * stride;
        // An odd last row makes its blocks of itself twice.
        const uint8_t* bottom = y + 1 < _height ? top + stride : top;
        measureBlockRow(top, bottom, y / TILE_SIZE);
    }
}

void VoARRasterFilter_TileThreshold::measureBlockRow(const uint8_t* i_top, const uint8_t* i_bottom, int32_t i_tile_row)
{
    // Levels (up to 4 x 765) fit signed 16 bits, whose minimum and maximum
    // every x86-64 vector unit has.
    int16_t* sums = _column_sums.data();
    for (int32_t x = 0; x < _width; x++) {
        sums[x] = static_cast<int16_t>(channelSum(i_top, x) + channelSum(i_bottom, x));
    }
    // The last column makes its block with itself.
    sums[_width] = sums[_width - 1];
    int32_t* darkest = _darkest.data() + static_cast<std::ptrdiff_t>(i_tile_row) * _tiles_x;
    int32_t* brightest = _brightest.data() + static_cast<std::ptrdiff_t>(i_tile_row) * _tiles_x;
    for (int32_t tx = 0; tx < _tiles_x; tx++) {
        const int32_t x0 = tx * TILE_SIZE;
        const int32_t x1 = std::min(x0 + TILE_SIZE, _width);
        // A block at every column: the block of the tile's last column takes
        // in the next tile's first, an overlap of one column that changes
        // less than the spread to the neighbours does.
        int16_t low = std::numeric_limits<int16_t>::max();
        int16_t high = 0;
        for (int32_t x = x0; x < x1; x++) {
            const auto level = static_cast<int16_t>(sums[x] + sums[x + 1]);
            low = std::min(low, level);
            high = std::max(high, level);
        }
        darkest[tx] = std::min<int32_t>(darkest[tx], low);
        brightest[tx] = std::max<int32_t>(brightest[tx], high);
    }
}

void VoARRasterFilter_TileThreshold::spreadLevels()
{
    for (int32_t ty = 0; ty < _tiles_y; ty++) {
        for (int32_t tx = 0; tx < _tiles_x; tx++) {
            int32_t darkest = std::numeric_limits<int32_t>::max();
            int32_t brightest = -1;
            for (int32_t ny = std::max(ty - 1, 0); ny <= std::min(ty + 1, _tiles_y - 1); ny++) {
                for (int32_t nx = std::max(tx - 1, 0); nx <= std::min(tx + 1, _tiles_x - 1); nx++) {
                    const auto n = static_cast<std::size_t>(ny * _tiles_x + nx);
                    darkest = std::min(darkest, _darkest[n]);
                    brightest = std::max(brightest, _brightest[n]);
                }
            }
            const auto t = static_cast<std::size_t>(ty * _tiles_x + tx);
            _darkest_around[t] = darkest;
            _brightest_around[t] = brightest;
        }
    }
}

bool VoARRasterFilter_TileThreshold::thresholdContrastTiles()
{
    bool any = false;
    for (std::size_t t = 0; t < _kind.size(); t++) {
        const int32_t dark = _darkest_around[t];
        const int32_t bright = _brightest[t];
        const int32_t span = bright - dark;
        if (span >= MIN_CONTRAST * BLOCK_PIXELS && dark <= DARK_SHARE * bright) {
            _threshold[t] = dark + static_cast<int32_t>(THRESHOLD_SHARE * span);
            _distance[t] = 0;
            _kind[t] = TILE_THRESHOLD;
            any = true;
        } else {
            _distance[t] = FAR;
        }
    }
    return any;
}

// Two raster passes over the tiles, each taking from the neighbours already
// passed whichever is nearer to a tile with contrast: the first from the
// left and above, the second from the right and below. Together they give
// every tile its chessboard distance to the nearest such tile and that
// tile's threshold (the first found among equals).
void VoARRasterFilter_TileThreshold::borrowNearestThresholds()
{
    auto take = [this](int32_t i_tile, int32_t i_nx, int32_t i_ny) {
        if (i_nx < 0 || i_nx >= _tiles_x || i_ny < 0 || i_ny >= _tiles_y) {
            return;
        }
        const auto from = static_cast<std::size_t>(i_ny * _tiles_x + i_nx);
        const auto to = static_cast<std::size_t>(i_tile);
        if (_distance[from] + 1 < _distance[to]) {
            _distance[to] = _distance[from] + 1;
            _threshold[to] = _threshold[from];
        }
    };
    for (int32_t ty = 0; ty < _tiles_y; ty++) {
        for (int32_t tx = 0; tx < _tiles_x; tx++) {
            const int32_t t = ty * _tiles_x + tx;
            take(t, tx - 1, ty);
            take(t, tx - 1, ty - 1);
            take(t, tx, ty - 1);
            take(t, tx + 1, ty - 1);
        }
    }
    for (int32_t ty = _tiles_y - 1; ty >= 0; ty--) {
        for (int32_t tx = _tiles_x - 1; tx >= 0; tx--) {
            const int32_t t = ty * _tiles_x + tx;
            take(t, tx + 1, ty);
            take(t, tx + 1, ty + 1);
            take(t, tx, ty + 1);
            take(t, tx - 1, ty + 1);
        }
    }
}

// A tile without contrast holds one level up to noise, or nothing much
// darker than its ground: thresholding it pixel by pixel would mostly cut
// noise into specks, so it is settled against the borrowed threshold:
// - all its measured blocks at most the threshold (the inside of a thick
//   border): dark as a whole, or pixel by pixel beside a tile brighter than
//   that, since a bright sliver may lie between its measured rows (no specks
//   can come of a tile whose measured pixels are all dark);
// - the threshold between its darkest and brightest blocks, beside a tile
//   with contrast: pixel by pixel, for it holds something as dark as that
//   tile's dark side, such as a border too grey for the test of contrast;
// - otherwise bright as a whole, and so is every tile of a frame without
//   contrast anywhere.
void VoARRasterFilter_TileThreshold::settleFlatTiles(bool i_any_contrast)
{
    for (std::size_t t = 0; t < _kind.size(); t++) {
        if (_distance[t] == 0) {
            continue;
        }
        const int32_t threshold = _threshold[t];
        if (!i_any_contrast) {
            _kind[t] = TILE_ALL_BRIGHT;
        } else if (_brightest[t] <= threshold) {
            _kind[t] = _brightest_around[t] > threshold ? TILE_THRESHOLD : TILE_ALL_DARK;
        } else {
            _kind[t] = _distance[t] == 1 && _darkest[t] <= threshold ? TILE_THRESHOLD : TILE_ALL_BRIGHT;
        }
    }
}

void VoARRasterFilter_TileThreshold::writeMask(const uint8_t* i_pixels, uint8_t* o_dark)
{
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(_width) * BYTES_PER_PIXEL;
    for (int32_t ty = 0; ty < _tiles_y; ty++) {
        const TTileKind* kinds = _kind.data() + static_cast<std::ptrdiff_t>(ty) * _tiles_x;
        spreadPixelLimits(ty);
        const int32_t y_end = std::min((ty + 1) * TILE_SIZE, _height);
        for (int32_t y = ty * TILE_SIZE; y < y_end; y++) {
            writeRow(i_pixels + y * stride, kinds, o_dark + static_cast<std::ptrdiff_t>(y) * _width);
        }
    }
}

void VoARRasterFilter_TileThreshold::spreadPixelLimits(int32_t i_tile_row)
{
    const std::size_t first = static_cast<std::size_t>(i_tile_row) * static_cast<std::size_t>(_tiles_x);
    for (int32_t tx = 0; tx < _tiles_x; tx++) {
        // A pixel is dark when four times its sum is at most the block
        // threshold.
        const auto limit = static_cast<int16_t>(_threshold[first + static_cast<std::size_t>(tx)] / BLOCK_PIXELS);
        const int32_t x0 = tx * TILE_SIZE;
        std::fill(_pixel_limits.begin() + x0, _pixel_limits.begin() + std::min(x0 + TILE_SIZE, _width), limit);
    }
}

void VoARRasterFilter_TileThreshold::writeRow(const uint8_t* i_row, const TTileKind* i_kinds, uint8_t* o_dark) const
{
    int32_t tx = 0;
    while (tx < _tiles_x) {
        // Tiles decided alike are written in one run: long runs keep the
        // vector loops full, and settled tiles need no pixel read.
        const TTileKind kind = i_kinds[tx];
        const int32_t x0 = tx * TILE_SIZE;
        while (tx < _tiles_x && i_kinds[tx] == kind) {
            tx++;
        }
        const int32_t count = std::min(tx * TILE_SIZE, _width) - x0;
        if (kind == TILE_THRESHOLD) {
            thresholdRun(i_row + static_cast<std::ptrdiff_t>(x0) * BYTES_PER_PIXEL, _pixel_limits.data() + x0, count,
                         o_dark + x0);
        } else {
            std::memset(o_dark + x0, kind == TILE_ALL_DARK ? 1 : 0, static_cast<std::size_t>(count));
        }
    }
}

}  // namespace VoTrack
