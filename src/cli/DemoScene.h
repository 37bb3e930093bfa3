#pragma once

#include <cstdint>
#include <vector>

#include "MarkerPicture.h"
#include "RenderCamera.h"
#include "TSceneMarker.h"
#include "TSceneOptions.h"

namespace Markeye {

// The demo's moving scene: five built-in markers (numbers 0 to 4), each
// turning through a full revolution in its plane over the sequence while it
// tilts up to 35 degrees and moves between 520 and 700 units from the
// camera, each about its own place on the screen so that they never overlap.
// The frames have a background gradient, uneven light, a slight blur and
// noise, but no clutter: a dark shape touching a marker's border hides the
// marker, which would make the demo's numbers about the clutter's luck.
class DemoScene
{
public:
    static constexpr int32_t SHOWN_MARKERS = 5;
    static constexpr double MARKER_WIDTH = 80.0;
    static constexpr double NEAREST = 520.0;
    static constexpr double FARTHEST = 700.0;

    explicit DemoScene(const RenderCamera& i_camera);

    // Marker k of the result shows built-in marker k. The markers borrow this
    // scene's pictures.
    std::vector<TSceneMarker> markers(int32_t i_frame, int32_t i_frame_count) const;
    static TSceneOptions options(int32_t i_frame);

private:
    RenderCamera _camera;
    std::vector<MarkerPicture> _pictures;
};

}  // namespace Markeye
