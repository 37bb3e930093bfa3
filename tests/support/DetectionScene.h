#pragma once

// The pieces an end-to-end detection test needs: the built-in camera as the
// tracker loads it, patterns made from the built-in marker pictures, and a
// renderer through the same camera.

#include <cstdint>
#include <memory>
#include <vector>

#include "MarkerPicture.h"
#include "RenderCamera.h"
#include "SceneRenderer.h"
#include "VoARCode.h"
#include "VoARParam.h"
#include "VoARRgbRaster_BGRA.h"

namespace MarkeyeTest {

// Marker width used throughout the system, in pose length units.
constexpr double MARKER_WIDTH = 80.0;
// Binarisation threshold the plug-in uses.
constexpr int32_t THRESHOLD = 100;

// The built-in camera file loaded into tracker parameters, optionally rescaled.
std::unique_ptr<VoTrack::VoARParam> loadBuiltinCamera(int32_t i_width = 640, int32_t i_height = 480);

// A 16 x 16 pattern of built-in marker i_index, as a pattern file would hold it.
std::unique_ptr<VoTrack::VoARCode> makeBuiltinCode(int32_t i_index);

// A renderer through the camera and a raster over its frame.
class DetectionScene
{
public:
    explicit DetectionScene(const VoTrack::VoARParam& i_param);

    void render(const std::vector<Markeye::TSceneMarker>& i_markers, const Markeye::TSceneOptions& i_options);
    const VoTrack::VoARRgbRaster_BGRA& raster() const { return *_raster; }
    const std::vector<Markeye::TMarkerTruth>& truth() const { return _renderer.getTruth(); }
    Markeye::SceneRenderer& renderer() { return _renderer; }

private:
    Markeye::SceneRenderer _renderer;
    std::unique_ptr<VoTrack::VoARRgbRaster_BGRA> _raster;
};

// Built-in marker pictures, kept alive for scenes that borrow them.
const Markeye::MarkerPicture& builtinPicture(int32_t i_index);

}  // namespace MarkeyeTest
