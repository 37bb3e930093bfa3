#pragma once

#include "TVoARIntSize.h"

namespace VoTrack {

// The size half of a raster, shared by the plain and the RGB raster bases:
// I is the raster interface to implement. Built from (width, height); the
// record stores the height first.
template <class I>
class VoARRasterSize : public I
{
public:
    VoARRasterSize(int32_t i_width, int32_t i_height) : _size{i_height, i_width} {}

    int32_t getWidth() const override { return _size.w; }
    int32_t getHeight() const override { return _size.h; }
    const TVoARIntSize* getSize() const override { return &_size; }

protected:
    TVoARIntSize _size;
};

}  // namespace VoTrack
