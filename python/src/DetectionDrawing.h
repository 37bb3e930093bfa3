#pragma once

#include <vector>

#include "PythonTracker.h"
#include "markeye/Camera.h"
#include "markeye/Image.h"

namespace MarkeyePython {

// Draws found markers into a caller's pixels in place, in the colours of the
// command-line program's overlays: each marker's outline (yellow), a dot on
// vertex 0 (magenta) and its axes projected through the camera (x red,
// y green, z blue, half a marker width long). Lines widen with the frame
// (1 + width / 320 pixels). Labels are drawn by the Python side.
class DetectionDrawing
{
public:
    // i_camera must be the camera of i_frame's size. i_frame's data is
    // written to although the view is const (the caller checked it is
    // writeable).
    static void draw(const markeye::ImageView& i_frame, const markeye::Camera& i_camera,
                     const std::vector<TFoundMarker>& i_markers);
};

}  // namespace MarkeyePython
