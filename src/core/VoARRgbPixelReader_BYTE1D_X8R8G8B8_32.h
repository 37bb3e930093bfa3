#pragma once

#include "VoARBufferPixelReader.h"

namespace VoTrack {

// Pixel reader over bytes unused, red, green, blue per pixel.
using VoARRgbPixelReader_BYTE1D_X8R8G8B8_32 = VoARBufferPixelReader<VoARPixelLayout::BytesX8R8G8B8>;

}  // namespace VoTrack
