#pragma once

#include <cstdint>

#include "markeye/Image.h"

namespace markeye {

// Marker pictures made in quantity for boards: random grids of CELLS x CELLS
// black or white cells inside a white frame, drawn from a seeded generator
// of our own (the same on every machine and compiler) and kept greedily when
// they differ enough from every picture kept before, from the built-in
// markers and from their own quarter turns (docs/boards.md).
namespace GeneratedPictures {

// The picture's side in pixels: one pattern cell per pixel at the default
// grid.
constexpr int32_t SIZE = 16;
// 7 x 7 cells of 2 x 2 pixels: fewer cells (4 x 4, 5 x 5) leave too few
// pictures this far apart, since all share the white frame.
constexpr int32_t CELLS = 7;
constexpr int32_t CELL_SIDE = 2;
// The white frame around the cells, as the built-in pictures keep, so that
// the black border stays a clean square frame.
constexpr int32_t FRAME = (SIZE - CELLS * CELL_SIDE) / 2;
constexpr int32_t COUNT = 64;
// The highest correlation a kept picture may have, in percent, with any
// picture kept before and any built-in marker, in all four directions, and
// with its own three other directions.
constexpr int32_t MAX_CORRELATION_PERCENT = 45;

// SIZE x SIZE RGB, black on white; i_index in [0, COUNT). The first call
// chooses all COUNT pictures (about 15 ms optimised); later calls reuse them.
Image picture(int32_t i_index);

}  // namespace GeneratedPictures

}  // namespace markeye
