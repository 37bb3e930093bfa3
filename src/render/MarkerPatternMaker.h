#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "MarkerPicture.h"

namespace Markeye {

// Makes the pattern a tracker loads for a marker: the 12 x W x H brightness
// numbers (0 to 255) of a pattern file, from the marker's picture.
//
// File order: direction d = 0..3, then colour plane blue, green, red, then
// row 0..H-1, then column 0..W-1. The tracker compares block d with a sample
// of a square whose corner 0 shows marker vertex d (marker vertex i sits at
// square corner (i + 4 - d) mod 4); the sample's row 0 runs from that corner
// to square corner 1 and its column 0 to square corner 3. So block 0 is the
// upright picture (vertex 0 top-left, vertex 1 top-right) and block d is the
// picture turned d quarter turns counter-clockwise: in block 1 the picture's
// right column, read top to bottom, is row 0.
class MarkerPatternMaker
{
public:
    // Samples per cell along each axis, averaged when a cell covers several
    // picture pixels (exact when picture pixels and cells coincide).
    static constexpr int32_t CELL_SAMPLES = 8;
    static constexpr int32_t DIRECTIONS = 4;

    static int32_t numberCount(int32_t i_width, int32_t i_height) { return 12 * i_width * i_height; }

    // Fills o_numbers with the pattern of i_picture on a grid of i_width x
    // i_height cells (the tracker's sampler accepts sizes that divide 64).
    // Throws std::invalid_argument for a grid size that is not positive.
    static void makeNumbers(const MarkerPicture& i_picture, int32_t i_width, int32_t i_height,
                            std::vector<int32_t>* o_numbers);
    // Writes numbers as a pattern file: one grid row per line. Throws
    // std::invalid_argument when the count does not fit the grid and
    // std::runtime_error when the file cannot be written completely.
    static void writeFile(const std::string& i_path, const std::vector<int32_t>& i_numbers, int32_t i_width,
                          int32_t i_height);
};

}  // namespace Markeye
