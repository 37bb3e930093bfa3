#include "VoARMarkerOffset.h"

namespace VoTrack {

void VoARMarkerOffset::setMarker(double i_width, const TVoARDoublePoint_t* i_center)
{
    const double w = 0.5 * i_width;
    const double layout[4][3] = {{-w, w, 0.0}, {w, w, 0.0}, {w, -w, 0.0}, {-w, -w, 0.0}};
    for (int i = 0; i < 4; i++) {
        for (int k = 0; k < 3; k++) {
            corners[i][k] = layout[i][k];
        }
    }
    center_offset[0] = -i_center->x;
    center_offset[1] = -i_center->y;
    center_offset[2] = 0.0;
}

}  // namespace VoTrack
