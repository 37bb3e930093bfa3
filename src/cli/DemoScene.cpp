#include "DemoScene.h"

#include <cmath>

#include "BuiltinMarkers.h"
#include "MarkerPose.h"

namespace Markeye {

namespace {

constexpr double PI = 3.141592653589793238463;

// Where each marker's centre stays on a 640 x 480 screen, in pixels: three
// above, two below, far enough apart for markers 124 pixels across turned
// to any angle.
constexpr double ANCHORS[DemoScene::SHOWN_MARKERS][2] = {
    {112.0, 128.0}, {320.0, 128.0}, {528.0, 128.0}, {216.0, 354.0}, {424.0, 354.0}};
// Pixels a marker's centre wanders about its place.
constexpr double WANDER = 14.0;

}  // namespace

DemoScene::DemoScene(const RenderCamera& i_camera) : _camera(i_camera)
{
    for (int32_t i = 0; i < SHOWN_MARKERS; i++) {
        _pictures.push_back(BuiltinMarkers::picture(i));
    }
}

std::vector<TSceneMarker> DemoScene::markers(int32_t i_frame, int32_t i_frame_count) const
{
    const double t = static_cast<double>(i_frame) / i_frame_count;
    const VoTrack::VoARDoubleMatrix34& p = _camera.getProjection();
    const double screen_scale = _camera.getWidth() / 640.0;
    std::vector<TSceneMarker> markers;
    for (int32_t k = 0; k < SHOWN_MARKERS; k++) {
        const double phase = 2.0 * PI * (t + k / static_cast<double>(SHOWN_MARKERS));
        const double depth = (NEAREST + FARTHEST) / 2.0 + (FARTHEST - NEAREST) / 2.0 * std::sin(phase);
        const double u = screen_scale * (ANCHORS[k][0] + WANDER * std::sin(2.0 * phase));
        const double v = screen_scale * (ANCHORS[k][1] + WANDER * std::cos(phase));
        // The camera point that the pinhole projection puts at (u, v).
        const double x = (u - p.m02) * depth / p.m00;
        const double y = (v - p.m12) * depth / p.m11;
        const double roll = 72.0 * k + (k % 2 == 0 ? 360.0 : -360.0) * t;
        const double tilt_x = 35.0 * std::sin(phase);
        const double tilt_y = 30.0 * std::cos(phase + k);
        markers.emplace_back(&_pictures[static_cast<size_t>(k)], MARKER_WIDTH,
                             MarkerPose::make(roll, tilt_x, tilt_y, x, y, depth));
    }
    return markers;
}

TSceneOptions DemoScene::options(int32_t i_frame)
{
    TSceneOptions options;
    options.supersample = 3;
    options.background_level = 185.0;
    options.background_gradient_x = 40.0;
    options.background_gradient_y = -25.0;
    options.illumination_gradient_x = 0.25;
    options.gaussian_blur_sigma = 0.6;
    options.noise_sigma = 2.5;
    options.seed = static_cast<uint64_t>(i_frame) + 1;
    return options;
}

}  // namespace Markeye
