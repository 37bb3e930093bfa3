#pragma once

#include "VoARBufferPixelReader.h"

namespace VoTrack {

// Pixel reader over one int per pixel: red in bits 16 to 23, green in 8 to 15,
// blue in 0 to 7; bits 24 to 31 are ignored.
using VoARRgbPixelReader_INT1D_X8R8G8B8_32 = VoARBufferPixelReader<VoARPixelLayout::IntX8R8G8B8>;

}  // namespace VoTrack
