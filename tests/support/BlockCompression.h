#pragma once

// Compression artefacts for rendered frames: blocks and ringing as a JPEG
// codec leaves them, made here so that tests need no codec.

#include <cstdint>

namespace MarkeyeTest {

// What JPEG compression does to a frame, without a codec: each 8 x 8 block
// of each channel goes through the discrete cosine transform, its
// coefficients are rounded to multiples of the standard luminance
// quantisation table at quality 75, and it comes back, clamped to bytes.
void compressLikeJpeg(uint8_t* io_bgra, int32_t i_width, int32_t i_height);

}  // namespace MarkeyeTest
