#include "VoARGrayscaleRaster.h"

namespace VoTrack {

VoARGrayscaleRaster::VoARGrayscaleRaster(int32_t i_width, int32_t i_height)
    : VoARIntRaster(i_width, i_height, IVoARBufferReader::BUFFERFORMAT_INT1D_GRAY_8)
{
}

VoARGrayscaleRaster::~VoARGrayscaleRaster() = default;

}  // namespace VoTrack
