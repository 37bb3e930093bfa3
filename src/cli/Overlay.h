#pragma once

#include <vector>

#include "FrameReport.h"
#include "markeye/markeye.h"

namespace Markeye {

// Draws what the tracker found onto a frame: each found marker's outline,
// a dot on vertex 0, a label with its pattern number, name and confidence,
// and its axes (x red, y green, z blue, half a marker width long) projected
// through the camera.
class Overlay
{
public:
    // i_camera is the camera for this frame; i_patterns names the pattern
    // numbers of i_markers, whose poses are in the unit of i_marker_width.
    static void draw(const markeye::Camera& i_camera, const std::vector<markeye::Pattern>& i_patterns,
                     double i_marker_width, const std::vector<TMarkerReport>& i_markers, markeye::Image* io_frame);
};

}  // namespace Markeye
