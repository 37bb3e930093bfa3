#pragma once

#include <cstdint>
#include <memory>

#include "IVoARBufferReader.h"
#include "IVoARRasterFilter_RgbToBin.h"
#include "TVoARIntSize.h"

namespace VoTrack {

// Per-layout binarisation loop. i_output holds w x h ints; pixel p becomes 1
// when its red + green + blue exceeds 3 x i_threshold, else 0.
class IdoThFilterImpl
{
public:
    virtual ~IdoThFilterImpl() = default;
    virtual void doThFilter(const IVoARBufferReader* i_input, const IVoARBufferReader* i_output,
                            const TVoARIntSize* i_size, int32_t i_threshold) const = 0;
    // The same test into w x h bytes, inverted: 1 for a dark pixel (sum at
    // most 3 x i_threshold), 0 for a bright one.
    virtual void doThFilterDark(const IVoARBufferReader* i_input, uint8_t* o_dark, const TVoARIntSize* i_size,
                                int32_t i_threshold) const = 0;
};

// Fixed-threshold binarisation of a colour frame: dark (0) when the channel
// sum is at most 3 x threshold. The loop for the frame's buffer layout is
// chosen once at construction, so a frame costs one virtual call.
class VoARRasterFilter_KestrelThreshold : public IVoARRasterFilter_RgbToBin
{
public:
    // i_threshold is on the 0 to 255 scale of one channel; i_input_raster_type
    // is the input's buffer-format code. Throws VoARException for a code
    // without a kernel (anything but the 24-bit and 32-bit colour layouts).
    VoARRasterFilter_KestrelThreshold(int32_t i_threshold, int32_t i_input_raster_type);
    ~VoARRasterFilter_KestrelThreshold() override;

    VoARRasterFilter_KestrelThreshold(const VoARRasterFilter_KestrelThreshold&) = delete;
    VoARRasterFilter_KestrelThreshold& operator=(const VoARRasterFilter_KestrelThreshold&) = delete;

    // Not range-checked: below 0 every pixel is bright, from 255 up every
    // pixel is dark.
    void setThreshold(int32_t i_threshold);
    // Whether rasters of this buffer-format code are read correctly: those of
    // the code given at construction, or of one with the same colour
    // channels in another order (the sum does not depend on it).
    bool reads(int32_t i_raster_type) const;
    // i_output must be a BUFFERFORMAT_INT1D_BIN_8 raster of the input's size
    // (assertions); every pixel of it is written.
    void doFilter(const IVoARRgbRaster& i_input, IVoARRaster& i_output) override;
    // Binarises the whole input into a dark mask, one byte per pixel in the
    // raster's order: 1 where doFilter writes 0, else 0. o_dark holds the
    // input's w x h bytes.
    void doFilterDark(const IVoARRgbRaster& i_input, uint8_t* o_dark) const;

private:
    int32_t _threshold;
    std::unique_ptr<IdoThFilterImpl> _kernel;
    int32_t _raster_type;
};

}  // namespace VoTrack
