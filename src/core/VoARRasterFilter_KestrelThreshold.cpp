#include "VoARRasterFilter_KestrelThreshold.h"

#include <algorithm>
#include <cstddef>

#include "VoARAssert.h"
#include "VoARException.h"

namespace VoTrack {

namespace {

// Where the three colour channels of pixel p lie in each input layout; the
// fourth byte or the top 8 bits are ignored.
struct ChannelsRgb24
{
    using Element = uint8_t;
    static int32_t sum(const uint8_t* i_buffer, std::ptrdiff_t i_pixel)
    {
        const uint8_t* p = i_buffer + i_pixel * 3;
        return p[0] + p[1] + p[2];
    }
};

struct ChannelsB8G8R8X8
{
    using Element = uint8_t;
    static int32_t sum(const uint8_t* i_buffer, std::ptrdiff_t i_pixel)
    {
        const uint8_t* p = i_buffer + i_pixel * 4;
        return p[0] + p[1] + p[2];
    }
};

struct ChannelsX8R8G8B8
{
    using Element = uint8_t;
    static int32_t sum(const uint8_t* i_buffer, std::ptrdiff_t i_pixel)
    {
        const uint8_t* p = i_buffer + i_pixel * 4;
        return p[1] + p[2] + p[3];
    }
};

struct ChannelsIntX8R8G8B8
{
    using Element = int32_t;
    static int32_t sum(const int32_t* i_buffer, std::ptrdiff_t i_pixel)
    {
        const uint32_t v = static_cast<uint32_t>(i_buffer[i_pixel]);
        return static_cast<int32_t>(((v >> 16) & 0xff) + ((v >> 8) & 0xff) + (v & 0xff));
    }
};

// The largest channel sum that is dark: 3 x threshold. Computed in 64 bits
// so that no threshold overflows, then clamped to the range of sums (0 to
// 765), which leaves every comparison unchanged.
int32_t darkSumLimit(int32_t i_threshold)
{
    const int64_t limit = static_cast<int64_t>(i_threshold) * 3;
    return static_cast<int32_t>(std::clamp<int64_t>(limit, -1, 3 * 255));
}

template <class Channels>
class ThresholdKernel final : public IdoThFilterImpl
{
public:
    void doThFilter(const IVoARBufferReader* i_input, const IVoARBufferReader* i_output, const TVoARIntSize* i_size,
                    int32_t i_threshold) const override
    {
        const auto* in = static_cast<const typename Channels::Element*>(i_input->getReadBuffer());
        int32_t* out = static_cast<int32_t*>(i_output->getBuffer());
        const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(i_size->h) * i_size->w;
        const int32_t limit = darkSumLimit(i_threshold);
        for (std::ptrdiff_t p = 0; p < count; p++) {
            out[p] = Channels::sum(in, p) > limit ? 1 : 0;
        }
    }

    void doThFilterDark(const IVoARBufferReader* i_input, uint8_t* o_dark, const TVoARIntSize* i_size,
                        int32_t i_threshold) const override
    {
        const auto* in = static_cast<const typename Channels::Element*>(i_input->getReadBuffer());
        const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(i_size->h) * i_size->w;
        // Sums (0 to 765) and the clamped limit fit 16 bits, which lets the
        // compiler compare twice as many pixels per vector as in 32.
        const int16_t limit = static_cast<int16_t>(darkSumLimit(i_threshold));
        for (std::ptrdiff_t p = 0; p < count; p++) {
            o_dark[p] = static_cast<int16_t>(Channels::sum(in, p)) <= limit ? 1 : 0;
        }
    }
};

using doThFilterImpl_BUFFERFORMAT_BYTE1D_RGB_24 = ThresholdKernel<ChannelsRgb24>;
using doThFilterImpl_BUFFERFORMAT_BYTE1D_B8G8R8X8_32 = ThresholdKernel<ChannelsB8G8R8X8>;
using doThFilterImpl_BUFFERFORMAT_BYTE1D_X8R8G8B8_32 = ThresholdKernel<ChannelsX8R8G8B8>;
using doThFilterImpl_BUFFERFORMAT_INT1D_X8R8G8B8_32 = ThresholdKernel<ChannelsIntX8R8G8B8>;

// The kernels, one per place of the colour channels; layouts that differ only
// in the order of the channels share one, since only their sum is read.
enum TKernel
{
    KERNEL_RGB_24,
    KERNEL_FIRST_THREE_OF_FOUR,
    KERNEL_LAST_THREE_OF_FOUR,
    KERNEL_INT_X8R8G8B8,
    KERNEL_NONE,
};

TKernel kernelFor(int32_t i_raster_type)
{
    switch (i_raster_type) {
    case IVoARBufferReader::BUFFERFORMAT_BYTE1D_R8G8B8_24:
    case IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8_24:
        return KERNEL_RGB_24;
    case IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32:
    case IVoARBufferReader::BUFFERFORMAT_BYTE1D_R8G8B8X8_32:
        return KERNEL_FIRST_THREE_OF_FOUR;
    case IVoARBufferReader::BUFFERFORMAT_BYTE1D_X8R8G8B8_32:
        return KERNEL_LAST_THREE_OF_FOUR;
    case IVoARBufferReader::BUFFERFORMAT_INT1D_X8R8G8B8_32:
        return KERNEL_INT_X8R8G8B8;
    default:
        return KERNEL_NONE;
    }
}

std::unique_ptr<IdoThFilterImpl> createKernel(int32_t i_input_raster_type)
{
    switch (kernelFor(i_input_raster_type)) {
    case KERNEL_RGB_24:
        return std::make_unique<doThFilterImpl_BUFFERFORMAT_BYTE1D_RGB_24>();
    case KERNEL_FIRST_THREE_OF_FOUR:
        return std::make_unique<doThFilterImpl_BUFFERFORMAT_BYTE1D_B8G8R8X8_32>();
    case KERNEL_LAST_THREE_OF_FOUR:
        return std::make_unique<doThFilterImpl_BUFFERFORMAT_BYTE1D_X8R8G8B8_32>();
    case KERNEL_INT_X8R8G8B8:
        return std::make_unique<doThFilterImpl_BUFFERFORMAT_INT1D_X8R8G8B8_32>();
    case KERNEL_NONE:
        break;
    }
    throw VoARException();
}

}  // namespace

VoARRasterFilter_KestrelThreshold::VoARRasterFilter_KestrelThreshold(int32_t i_threshold,
                                                                     int32_t i_input_raster_type)
    : _threshold(i_threshold), _kernel(createKernel(i_input_raster_type)), _raster_type(i_input_raster_type)
{
}

bool VoARRasterFilter_KestrelThreshold::reads(int32_t i_raster_type) const
{
    return kernelFor(i_raster_type) == kernelFor(_raster_type);
}

VoARRasterFilter_KestrelThreshold::~VoARRasterFilter_KestrelThreshold() = default;

void VoARRasterFilter_KestrelThreshold::setThreshold(int32_t i_threshold)
{
    _threshold = i_threshold;
}

void VoARRasterFilter_KestrelThreshold::doFilter(const IVoARRgbRaster& i_input, IVoARRaster& i_output)
{
    VOTRACK_ASSERT(i_output.getBufferReader()->isEqualBufferType(IVoARBufferReader::BUFFERFORMAT_INT1D_BIN_8),
                   "src/core/VoARRasterFilter_KestrelThreshold",
                   "i_output.getBufferReader()->isEqualBufferType(IVoARBufferReader::BUFFERFORMAT_INT1D_BIN_8)");
    VOTRACK_ASSERT(TVoARIntSize::isEqualSize(i_input.getSize(), i_output.getSize()),
                   "src/core/VoARRasterFilter_KestrelThreshold",
                   "TVoARIntSize::isEqualSize(i_input.getSize(),i_output.getSize())");
    _kernel->doThFilter(i_input.getBufferReader(), i_output.getBufferReader(), i_output.getSize(), _threshold);
}

void VoARRasterFilter_KestrelThreshold::doFilterDark(const IVoARRgbRaster& i_input, uint8_t* o_dark) const
{
    _kernel->doThFilterDark(i_input.getBufferReader(), o_dark, i_input.getSize(), _threshold);
}

}  // namespace VoTrack
