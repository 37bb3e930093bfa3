#include "Overlay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Canvas.h"
#include "MarkerTracker.h"

namespace Markeye {

namespace {

const TColour OUTLINE = {255, 220, 0};
const TColour VERTEX_ZERO = {255, 0, 255};
const TColour AXIS_COLOURS[3] = {{255, 40, 40}, {40, 220, 40}, {60, 120, 255}};
const TColour LABEL_TEXT = {255, 255, 255};
const TColour LABEL_BACKGROUND = {0, 0, 0};

// Where a point given in marker coordinates appears in the frame; false for
// a point not in front of the camera.
bool project(const VoTrack::VoARParam& i_camera, const TMarkerReport& i_marker, const double* i_point,
             VoTrack::TVoARDoublePoint_t* o_observed)
{
    double camera_point[3];
    for (int row = 0; row < 3; row++) {
        const double* pose = i_marker.pose[row];
        camera_point[row] = pose[0] * i_point[0] + pose[1] * i_point[1] + pose[2] * i_point[2] + pose[3];
    }
    const VoTrack::VoARPerspectiveProjectionMatrix& p = *i_camera.getProjectionMatrix();
    const double x = p.m00 * camera_point[0] + p.m01 * camera_point[1] + p.m02 * camera_point[2] + p.m03;
    const double y = p.m10 * camera_point[0] + p.m11 * camera_point[1] + p.m12 * camera_point[2] + p.m13;
    const double w = p.m20 * camera_point[0] + p.m21 * camera_point[1] + p.m22 * camera_point[2] + p.m23;
    if (!(w > 0.0)) {
        return false;
    }
    const VoTrack::TVoARDoublePoint_t ideal{x / w, y / w};
    i_camera.getDistortionFactor()->ideal2Observ(&ideal, o_observed);
    return true;
}

void drawAxes(const VoTrack::VoARParam& i_camera, const TMarkerReport& i_marker, double i_width, Canvas* io_canvas)
{
    const double origin[3] = {0.0, 0.0, 0.0};
    VoTrack::TVoARDoublePoint_t centre;
    if (!project(i_camera, i_marker, origin, &centre)) {
        return;
    }
    const double length = MarkerTracker::MARKER_WIDTH / 2.0;
    for (int axis = 0; axis < 3; axis++) {
        double tip[3] = {0.0, 0.0, 0.0};
        tip[axis] = length;
        VoTrack::TVoARDoublePoint_t end;
        if (project(i_camera, i_marker, tip, &end)) {
            io_canvas->line(centre.x, centre.y, end.x, end.y, i_width, AXIS_COLOURS[axis]);
        }
    }
}

std::string labelOf(const std::vector<TPattern>& i_patterns, const TMarkerReport& i_marker)
{
    char confidence[16];
    std::snprintf(confidence, sizeof confidence, "%.2f", i_marker.confidence);
    return std::to_string(i_marker.pattern) + " " + i_patterns.at(static_cast<size_t>(i_marker.pattern)).name + " " +
           confidence;
}

}  // namespace

void Overlay::draw(const VoTrack::VoARParam& i_camera, const std::vector<TPattern>& i_patterns,
                   const std::vector<TMarkerReport>& i_markers, BgraImage* io_frame)
{
    // Lines and text grow with the frame so that they stay visible.
    const int32_t scale = std::max(1, io_frame->width() / 320);
    const double width = 1.0 + scale;
    Canvas canvas(io_frame);
    for (const TMarkerReport& marker : i_markers) {
        if (!marker.found) {
            continue;
        }
        for (int i = 0; i < 4; i++) {
            const VoTrack::TVoARDoublePoint_t& from = marker.corners[i];
            const VoTrack::TVoARDoublePoint_t& to = marker.corners[(i + 1) % 4];
            canvas.line(from.x, from.y, to.x, to.y, width, OUTLINE);
        }
        drawAxes(i_camera, marker, width, &canvas);
        canvas.disc(marker.corners[0].x, marker.corners[0].y, 2.0 * width, VERTEX_ZERO);
    }
    // Labels last, over every outline; above the marker's highest vertex.
    for (const TMarkerReport& marker : i_markers) {
        if (!marker.found) {
            continue;
        }
        double left = marker.corners[0].x;
        double top = marker.corners[0].y;
        for (const VoTrack::TVoARDoublePoint_t& corner : marker.corners) {
            left = std::min(left, corner.x);
            top = std::min(top, corner.y);
        }
        const std::string text = labelOf(i_patterns, marker);
        const int32_t x = std::clamp(static_cast<int32_t>(std::lround(left)), scale,
                                     std::max(scale, io_frame->width() - Canvas::textWidth(text, scale) - scale));
        const int32_t y = std::clamp(static_cast<int32_t>(std::lround(top)) - Canvas::textHeight(scale) - 3 * scale,
                                     scale, std::max(scale, io_frame->height() - Canvas::textHeight(scale) - scale));
        canvas.label(x, y, text, scale, LABEL_TEXT, LABEL_BACKGROUND);
    }
}

}  // namespace Markeye
