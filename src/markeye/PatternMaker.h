#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "markeye/Image.h"

namespace markeye {

// Makes the pattern a tracker loads for a marker: the 12 x W x H brightness
// numbers of a pattern file, from the marker's central picture.
//
// The tracker compares block d with a sample of a square whose corner 0 shows
// marker vertex d (marker vertex i sits at square corner (i + 4 - d) mod 4);
// the sample's row 0 runs from that corner to square corner 1 and its column
// 0 to square corner 3. So block 0 is the upright picture (vertex 0 top-left,
// vertex 1 top-right) and block d is the picture turned d quarter turns
// counter-clockwise: in block 1 the picture's right column, read top to
// bottom, is row 0.
namespace PatternMaker {

// Samples per cell along each axis, averaged when a cell covers several
// picture pixels (exact when picture pixels and cells coincide).
constexpr int32_t CELL_SAMPLES = 8;

inline int32_t numberCount(int32_t i_width, int32_t i_height)
{
    return 12 * i_width * i_height;
}

// Fills o_numbers with the pattern of i_picture (a readable view: checked by
// the caller) on a grid of i_width x i_height cells, both positive.
void makeNumbers(const ImageView& i_picture, int32_t i_width, int32_t i_height, std::vector<int32_t>* o_numbers);

// A picture a marker is made from needs this many pixels along each side:
// with fewer, its few cells rarely tell the four directions apart.
constexpr int32_t MIN_PICTURE_SIDE = 4;
// The least standard deviation of the cells' brightness (0 to 255) over the
// grid: below it the picture is nearly plain, and printing and camera noise
// outweigh what tells it from a plain square or another marker.
constexpr double MIN_CELL_DEVIATION = 16.0;

// Why a pattern made from i_picture (a readable view) on a grid of i_width x
// i_height cells would be unreadable, as a phrase such as "too small (1 x 1
// pixels; at least 4 x 4 needed)"; empty for a readable picture.
std::string unreadableReason(const ImageView& i_picture, int32_t i_width, int32_t i_height);

}  // namespace PatternMaker

}  // namespace markeye
