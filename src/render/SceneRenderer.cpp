#include "SceneRenderer.h"

#include <cmath>
#include <stdexcept>

#include "BackgroundPainter.h"
#include "MarkerPose.h"

namespace Markeye {

SceneRenderer::SceneRenderer(const RenderCamera& i_camera)
    : _camera(i_camera),
      _painter(&_camera),
      _image(i_camera.getWidth(), i_camera.getHeight()),
      _effects(i_camera.getWidth(), i_camera.getHeight()),
      _frame(static_cast<size_t>(i_camera.getWidth()) * static_cast<size_t>(i_camera.getHeight()) * 4, 0)
{
}

void SceneRenderer::render(const TSceneMarker* i_markers, size_t i_count, const TSceneOptions& i_options)
{
    i_options.check();
    for (size_t i = 0; i < i_count; i++) {
        checkMarker(i_markers[i]);
    }
    BackgroundPainter::paint(i_options, &_image);
    _truth.resize(i_count);
    for (size_t i = 0; i < i_count; i++) {
        _painter.paint(i_markers[i], i_options.supersample, &_image);
        computeTruth(_camera, i_markers[i], &_truth[i]);
    }
    _effects.illuminate(i_options, &_image);
    _effects.blur(i_options, &_image);
    _effects.addNoise(i_options, &_image);
    FrameEffects::toBgra(_image, _frame.data());
}

void SceneRenderer::checkMarker(const TSceneMarker& i_marker)
{
    if (i_marker.picture == nullptr) {
        throw std::invalid_argument("scene marker without a picture");
    }
    if (!(i_marker.width > 0.0) || !std::isfinite(i_marker.width)) {
        throw std::invalid_argument("scene marker width must be positive");
    }
    double pose[VoTrack::VoARDoubleMatrix34::ELEMENT_COUNT];
    i_marker.pose.getValue(pose);
    for (double value : pose) {
        if (!std::isfinite(value)) {
            throw std::invalid_argument("scene marker pose must be finite");
        }
    }
}

void SceneRenderer::computeTruth(const RenderCamera& i_camera, const TSceneMarker& i_marker, TMarkerTruth* o_truth)
{
    const double half = 0.5 * i_marker.width;
    const double vertices[4][3] = {{-half, half, 0.0}, {half, half, 0.0}, {half, -half, 0.0}, {-half, -half, 0.0}};
    o_truth->pose = i_marker.pose;
    o_truth->front_facing = MarkerPainter::isFrontFacing(i_camera, i_marker.pose);
    o_truth->in_front = true;
    o_truth->in_frame = true;
    for (int i = 0; i < 4; i++) {
        double camera_point[3];
        MarkerPose::toCamera(i_marker.pose, vertices[i], camera_point);
        VoTrack::TVoARDoublePoint_t& ideal = o_truth->ideal_corners[i];
        VoTrack::TVoARDoublePoint_t& observed = o_truth->observed_corners[i];
        ideal = {NAN, NAN};
        observed = {NAN, NAN};
        if (!i_camera.cameraToIdeal(camera_point, &ideal) || !i_camera.isOnPrincipalBranch(ideal)) {
            o_truth->in_front = false;
            o_truth->in_frame = false;
            continue;
        }
        i_camera.idealToObserved(ideal, &observed);
        // The frame spans pixel edges -0.5 to size - 0.5.
        o_truth->in_frame = o_truth->in_frame && observed.x >= -0.5 && observed.y >= -0.5 &&
                            observed.x < i_camera.getWidth() - 0.5 && observed.y < i_camera.getHeight() - 0.5;
    }
}

}  // namespace Markeye
