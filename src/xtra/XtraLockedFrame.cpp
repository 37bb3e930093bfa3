#include "XtraLockedFrame.h"

#include <cstdint>

#include "VoARRgbRaster_BGRA.h"

using namespace Moa;

namespace VoXtra {

XtraLockedFrame::XtraLockedFrame(const TStdXtra* i_xtra, const TMoaValue& i_image)
    : _images(i_xtra->_imageService), _image(i_image), _locked(false), _ready(false)
{
    VoTrack::VoARRgbRaster_BGRA* raster = i_xtra->_raster;
    TMoaImageInfo info = {};
    if (_images->getInfo(&_image, &info) != MOA_OK || !fitsRaster(info, raster->getWidth(), raster->getHeight())) {
        return;
    }
    void* pixels = nullptr;
    if (_images->lockPixels(&_image, &pixels) != MOA_OK) {
        return;
    }
    _locked = true;
    if (pixels == nullptr) {
        return;
    }
    raster->setBuffer(static_cast<uint8_t*>(pixels));
    _ready = true;
}

XtraLockedFrame::~XtraLockedFrame()
{
    if (_locked) {
        _images->unlockPixels(&_image);
    }
}

bool XtraLockedFrame::fitsRaster(const TMoaImageInfo& i_info, int32_t i_width, int32_t i_height)
{
    return i_info.depth == DEPTH && i_info.width == i_width && i_info.height == i_height &&
           i_info.row_bytes == int64_t{i_width} * BYTES_PER_PIXEL;
}

}  // namespace VoXtra
