#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FloatRgbImage.h"
#include "FrameEffects.h"
#include "MarkerPainter.h"
#include "RenderCamera.h"
#include "TMarkerTruth.h"
#include "TSceneMarker.h"
#include "TSceneOptions.h"

namespace Markeye {

// Renders markers at known poses through a camera into a 32-bit frame
// (bytes blue, green, red, 255 per pixel; rows of width pixels without
// padding), with the ground truth of what it drew. Pixel (x, y) is centred
// on the image coordinates (x, y). Built once per camera; each render reuses
// its buffers. Same markers, options and seed give the same bytes.
class SceneRenderer
{
public:
    explicit SceneRenderer(const RenderCamera& i_camera);
    // The painter points at the renderer's own camera.
    SceneRenderer(const SceneRenderer&) = delete;
    SceneRenderer& operator=(const SceneRenderer&) = delete;

    // Draws the background, the markers in order (later ones over earlier
    // ones; back-facing ones are left out), then illumination, blur and noise.
    // Throws std::invalid_argument, before drawing anything, for options out
    // of range or a marker without a picture, with a width that is not
    // positive or with a pose that is not finite.
    void render(const TSceneMarker* i_markers, size_t i_count, const TSceneOptions& i_options);
    void render(const std::vector<TSceneMarker>& i_markers, const TSceneOptions& i_options)
    {
        render(i_markers.data(), i_markers.size(), i_options);
    }
    void render(const TSceneMarker& i_marker, const TSceneOptions& i_options) { render(&i_marker, 1, i_options); }

    int32_t getWidth() const { return _camera.getWidth(); }
    int32_t getHeight() const { return _camera.getHeight(); }
    const RenderCamera& getCamera() const { return _camera; }
    // 4 x width x height bytes, owned by the renderer; rewritten by render.
    uint8_t* getFrame() { return _frame.data(); }
    const uint8_t* getFrame() const { return _frame.data(); }
    // One record per marker of the last render, in the same order.
    const std::vector<TMarkerTruth>& getTruth() const { return _truth; }

    // The ground truth of a marker seen through a camera, without drawing.
    static void computeTruth(const RenderCamera& i_camera, const TSceneMarker& i_marker, TMarkerTruth* o_truth);

private:
    static void checkMarker(const TSceneMarker& i_marker);

    RenderCamera _camera;
    MarkerPainter _painter;
    FloatRgbImage _image;
    FrameEffects _effects;
    std::vector<uint8_t> _frame;
    std::vector<TMarkerTruth> _truth;
};

}  // namespace Markeye
