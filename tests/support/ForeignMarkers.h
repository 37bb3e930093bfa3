#pragma once

#include <cstdint>

#include "MarkerPicture.h"

namespace MarkeyeTest {

// Marker pictures that are not loaded as patterns: capital letters, digits,
// simple shapes, small grids and icons, black on white with a one-cell white
// margin like the built-in pictures, drawn for these tests. A tracker given
// the built-in patterns should report none of them. Most are 16 x 16; the
// small grids are 4 x 4 to 6 x 6 pictures, drawn with coarser cells.
class ForeignMarkers
{
public:
    static int32_t count();
    // Lower-case name with its kind first ("letter_a", "digit_2", "ring",
    // "grid_3x3"); i_index in [0, count()).
    static const char* name(int32_t i_index);
    // Made once and kept alive, so that scenes may borrow it.
    static const Markeye::MarkerPicture& picture(int32_t i_index);
};

}  // namespace MarkeyeTest
