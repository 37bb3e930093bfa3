#pragma once

#include <cstdint>

#include "IVoARRgbPixelReader.h"
#include "TVoARIntSize.h"
#include "VoARPixelLayout.h"

namespace VoTrack {

// Pixel reader over a fixed, borrowed buffer in the pixel layout Layout (one
// of VoARPixelLayout). The buffer and the size record stay the caller's.
template <class Layout>
class VoARBufferPixelReader : public IVoARRgbPixelReader
{
public:
    using Element = typename Layout::Element;

    VoARBufferPixelReader(const Element* i_buffer, const TVoARIntSize* i_size) : _buffer(i_buffer), _size(i_size) {}

    void getPixel(int32_t i_x, int32_t i_y, int32_t* o_rgb) const override
    {
        VoARPixelLayout::readPixel<Layout>(_buffer, _size->w, i_x, i_y, o_rgb);
    }

    void getPixelSet(const int32_t* i_x, const int32_t* i_y, int32_t i_num, int32_t* o_rgb) const override
    {
        VoARPixelLayout::readPixelSet<Layout>(_buffer, _size->w, i_x, i_y, i_num, o_rgb);
    }

private:
    const Element* _buffer;
    const TVoARIntSize* _size;
};

}  // namespace VoTrack
