#include "Overlay.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "Canvas.h"

namespace Markeye {

namespace {

const TColour OUTLINE = {255, 220, 0};
const TColour VERTEX_ZERO = {255, 0, 255};
const TColour AXIS_COLOURS[3] = {{255, 40, 40}, {40, 220, 40}, {60, 120, 255}};
const TColour LABEL_TEXT = {255, 255, 255};
const TColour LABEL_BACKGROUND = {0, 0, 0};

// Where a point given in marker coordinates appears in the frame; false for
// a point not in front of the camera.
bool project(const markeye::Camera& i_camera, const TMarkerReport& i_marker, const double* i_point,
             std::array<double, 2>* o_observed)
{
    double camera_point[3];
    for (int row = 0; row < 3; row++) {
        const double* pose = i_marker.pose[row];
        camera_point[row] = pose[0] * i_point[0] + pose[1] * i_point[1] + pose[2] * i_point[2] + pose[3];
    }
    const std::array<double, 12>& p = i_camera.projection();
    double image[3];
    for (int row = 0; row < 3; row++) {
        image[row] = p[4 * row] * camera_point[0] + p[4 * row + 1] * camera_point[1] +
                     p[4 * row + 2] * camera_point[2] + p[4 * row + 3];
    }
    if (!(image[2] > 0.0)) {
        return false;
    }
    *o_observed = i_camera.idealToObserved(image[0] / image[2], image[1] / image[2]);
    return true;
}

void drawAxes(const markeye::Camera& i_camera, const TMarkerReport& i_marker, double i_length, double i_width,
              Canvas* io_canvas)
{
    const double origin[3] = {0.0, 0.0, 0.0};
    std::array<double, 2> centre;
    if (!project(i_camera, i_marker, origin, &centre)) {
        return;
    }
    for (int axis = 0; axis < 3; axis++) {
        double tip[3] = {0.0, 0.0, 0.0};
        tip[axis] = i_length;
        std::array<double, 2> end;
        if (project(i_camera, i_marker, tip, &end)) {
            io_canvas->line(centre[0], centre[1], end[0], end[1], i_width, AXIS_COLOURS[axis]);
        }
    }
}

std::string labelOf(const std::vector<markeye::Pattern>& i_patterns, const TMarkerReport& i_marker)
{
    char confidence[16];
    std::snprintf(confidence, sizeof confidence, "%.2f", i_marker.confidence);
    return std::to_string(i_marker.pattern) + " " + i_patterns.at(static_cast<size_t>(i_marker.pattern)).name() + " " +
           confidence;
}

}  // namespace

void Overlay::draw(const markeye::Camera& i_camera, const std::vector<markeye::Pattern>& i_patterns,
                   double i_marker_width, const std::vector<TMarkerReport>& i_markers, markeye::Image* io_frame)
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
            const std::array<double, 2>& from = marker.corners[i];
            const std::array<double, 2>& to = marker.corners[(i + 1) % 4];
            canvas.line(from[0], from[1], to[0], to[1], width, OUTLINE);
        }
        drawAxes(i_camera, marker, i_marker_width / 2.0, width, &canvas);
        canvas.disc(marker.corners[0][0], marker.corners[0][1], 2.0 * width, VERTEX_ZERO);
    }
    // Labels last, over every outline; above the marker's highest vertex.
    for (const TMarkerReport& marker : i_markers) {
        if (!marker.found) {
            continue;
        }
        double left = marker.corners[0][0];
        double top = marker.corners[0][1];
        for (const std::array<double, 2>& corner : marker.corners) {
            left = std::min(left, corner[0]);
            top = std::min(top, corner[1]);
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
