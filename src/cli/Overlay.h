#pragma once

#include <vector>

#include "BgraImage.h"
#include "FrameReport.h"
#include "PatternFile.h"
#include "VoARParam.h"

namespace Markeye {

// Draws what the tracker found onto a frame: each found marker's outline,
// a dot on vertex 0, a label with its pattern number, name and confidence,
// and its axes (x red, y green, z blue, half a marker width long) projected
// through the camera.
class Overlay
{
public:
    // i_camera is the camera rescaled for this frame; i_patterns names the
    // pattern numbers of i_markers.
    static void draw(const VoTrack::VoARParam& i_camera, const std::vector<TPattern>& i_patterns,
                     const std::vector<TMarkerReport>& i_markers, BgraImage* io_frame);
};

}  // namespace Markeye
