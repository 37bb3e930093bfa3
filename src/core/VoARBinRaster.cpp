#include "VoARBinRaster.h"

namespace VoTrack {

VoARBinRaster::VoARBinRaster(int32_t i_width, int32_t i_height)
    : VoARIntRaster(i_width, i_height, IVoARBufferReader::BUFFERFORMAT_INT1D_BIN_8)
{
}

VoARBinRaster::~VoARBinRaster() = default;

}  // namespace VoTrack
