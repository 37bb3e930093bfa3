#pragma once

#include <cstdint>
#include <vector>

#include "IVoARRgbRaster.h"
#include "TVoARIntSize.h"

namespace VoTrack {

// Binarisation of a colour frame into a dark mask with thresholds that follow
// the light, for frames too dim or too unevenly lit for one fixed threshold.
// The frame is cut into tiles of TILE_SIZE pixels, each measured for its
// darkest and brightest level on a quarter of its rows. A tile with contrast
// (a dark level well below its bright one) is thresholded between the two.
// A tile without is settled against the threshold of the nearest tile with
// contrast, mostly as a whole: all dark in the middle of a thick black
// border, all bright on flat or noisy ground, which so makes no specks. The
// light may change across the frame as long as it falls by less than 40 %
// over two tiles. Settled tiles are written without reading their pixels,
// so most frames cost less than a fixed threshold. Built once per frame size
// with all its buffers; a frame allocates nothing.
class VoARRasterFilter_TileThreshold
{
public:
    // Tile side in pixels: small enough to follow light that changes across
    // the frame, large enough to hold a marker edge and the ground beside it.
    static constexpr int32_t TILE_SIZE = 32;
    // A tile has contrast when its levels (mean red + green + blue over
    // blocks of 2 x 2 pixels, which halves the noise) span at least
    // MIN_CONTRAST and its dark level is at most DARK_SHARE of its bright
    // one. The share is what tells a black border from noise whatever the
    // light; the span keeps near-black tiles without contrast.
    static constexpr int32_t MIN_CONTRAST = 45;
    static constexpr double DARK_SHARE = 0.6;
    // A tile's threshold lies this share of the way from its dark level to
    // its bright one: below the middle, because the bright level is often
    // white paper, well above the ground around the marker.
    static constexpr double THRESHOLD_SHARE = 0.4;

    // i_size: the frame size (both sides positive). i_input_raster_type: the
    // buffer-format code of the frames; VoARException unless it is a 32-bit
    // layout with the colour in the first three bytes (B8G8R8X8 or R8G8B8X8).
    VoARRasterFilter_TileThreshold(const TVoARIntSize* i_size, int32_t i_input_raster_type);

    VoARRasterFilter_TileThreshold(const VoARRasterFilter_TileThreshold&) = delete;
    VoARRasterFilter_TileThreshold& operator=(const VoARRasterFilter_TileThreshold&) = delete;

    // Whether rasters of this buffer-format code are read correctly: both
    // layouts above give the same channel sum.
    static bool reads(int32_t i_raster_type);
    // Binarises i_input (of the size given at construction, an assertion)
    // into o_dark: w x h bytes in the raster's order, 1 for dark, 0 for
    // bright, every one written.
    void doFilterDark(const IVoARRgbRaster& i_input, uint8_t* o_dark);

private:
    // How the pixels of one tile are decided.
    enum TTileKind : uint8_t
    {
        TILE_THRESHOLD,
        TILE_ALL_DARK,
        TILE_ALL_BRIGHT,
    };

    void measureTiles(const uint8_t* i_pixels);
    void measureBlockRow(const uint8_t* i_top, const uint8_t* i_bottom, int32_t i_tile_row);
    void spreadLevels();
    bool thresholdContrastTiles();
    void borrowNearestThresholds();
    void settleFlatTiles(bool i_any_contrast);
    void writeMask(const uint8_t* i_pixels, uint8_t* o_dark);
    void spreadPixelLimits(int32_t i_tile_row);
    void writeRow(const uint8_t* i_row, const TTileKind* i_kinds, uint8_t* o_dark) const;

    int32_t _width;
    int32_t _height;
    int32_t _tiles_x;
    int32_t _tiles_y;
    // Per tile, in raster order of the tiles; levels are sums of red + green
    // + blue over a 2 x 2 block (0 to 4 x 765).
    std::vector<int32_t> _darkest;
    std::vector<int32_t> _brightest;
    // The darkest and brightest levels of the tile and its eight neighbours:
    // what may lie between the tile's measured rows, or just touch it.
    std::vector<int32_t> _darkest_around;
    std::vector<int32_t> _brightest_around;
    // In block levels: the tile's own (contrast) or the nearest tile's.
    std::vector<int32_t> _threshold;
    // Chessboard distance in tiles to the tile whose threshold is held.
    std::vector<int32_t> _distance;
    std::vector<TTileKind> _kind;
    // One block row's column sums of two pixel rows, with a copy of the last
    // column behind them so that every block has two columns.
    std::vector<int16_t> _column_sums;
    // One tile row's limits per pixel column: the largest dark sum.
    std::vector<int16_t> _pixel_limits;
};

}  // namespace VoTrack
