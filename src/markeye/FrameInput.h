#pragma once

#include <cstdint>
#include <memory>

#include "VoARRgbRaster_ReadOnly32.h"
#include "markeye/Image.h"

namespace markeye {

// Presents a caller's frame to the tracker core as a 32-bit raster, for
// frames of one size. Packed 32-bit frames are read in place; any other
// (24-bit, grey, or 32-bit with padded rows) is converted into a buffer made
// once at construction. Nothing is allocated per frame.
class FrameInput
{
public:
    FrameInput(int32_t i_width, int32_t i_height);

    // The frame as a raster, valid until the next call and while
    // i_frame's pixels are. i_frame has this input's size and has been
    // checked (checkView).
    const VoTrack::IVoARRgbRaster& read(const ImageView& i_frame);

private:
    void convert(const ImageView& i_frame);

    int32_t _width;
    int32_t _height;
    VoTrack::VoARRgbRaster_ReadOnly32 _bgrx;
    VoTrack::VoARRgbRaster_ReadOnly32 _rgbx;
    // Blue, green, red, 255 per pixel, packed. Left uninitialised: every
    // conversion writes it whole, and a run of packed frames never touches
    // (so never commits) its memory.
    std::unique_ptr<uint8_t[]> _converted;
};

}  // namespace markeye
