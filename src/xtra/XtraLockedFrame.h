#pragma once

#include "MoaTypes.h"
#include "TStdXtra.h"

namespace VoXtra {

// Points the instance's raster at a host image's pixels in place for the
// length of one detection call, and unlocks them when it ends, on every
// path. Only an image the raster can read whole is locked: 32 bits deep, of
// the raster's width and height, rows packed without gaps.
class XtraLockedFrame
{
public:
    static constexpr int32_t DEPTH = 32;
    static constexpr int32_t BYTES_PER_PIXEL = DEPTH / 8;

    // i_xtra must have a raster.
    XtraLockedFrame(const TStdXtra* i_xtra, const Moa::TMoaValue& i_image);
    ~XtraLockedFrame();

    XtraLockedFrame(const XtraLockedFrame&) = delete;
    XtraLockedFrame& operator=(const XtraLockedFrame&) = delete;

    // True when the raster reads the image's pixels.
    bool isReady() const { return _ready; }

private:
    static bool fitsRaster(const Moa::TMoaImageInfo& i_info, int32_t i_width, int32_t i_height);

    Moa::IMoaImageService* _images;
    Moa::TMoaValue _image;
    bool _locked;
    bool _ready;
};

}  // namespace VoXtra
