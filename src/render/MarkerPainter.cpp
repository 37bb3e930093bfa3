#include "MarkerPainter.h"

#include <algorithm>
#include <cmath>

#include "MarkerPose.h"

namespace Markeye {

using VoTrack::TVoARDoublePoint_t;

MarkerPainter::MarkerPainter(const RenderCamera* i_camera) : _camera(i_camera) {}

bool MarkerPainter::isFrontFacing(const RenderCamera& i_camera, const VoTrack::VoARDoubleMatrix34& i_pose)
{
    const double* c = i_camera.getCenter();
    return i_pose.m02 * (c[0] - i_pose.m03) + i_pose.m12 * (c[1] - i_pose.m13) + i_pose.m22 * (c[2] - i_pose.m23) >
           0.0;
}

Matrix3 MarkerPainter::planeToIdeal(const RenderCamera& i_camera, const VoTrack::VoARDoubleMatrix34& i_pose)
{
    // P [r1 r2 t; 0 0 1]: columns P_left r1, P_left r2, P_left t + p4.
    const Matrix3 plane{{i_pose.m00, i_pose.m01, i_pose.m03, i_pose.m10, i_pose.m11, i_pose.m13, i_pose.m20,
                         i_pose.m21, i_pose.m23}};
    Matrix3 h = i_camera.getProjectionLeft() * plane;
    double column[3];
    i_camera.getProjectionColumn(column);
    for (int r = 0; r < 3; r++) {
        h.m[r * 3 + 2] += column[r];
    }
    return h;
}

void MarkerPainter::paint(const TSceneMarker& i_marker, int32_t i_supersample, FloatRgbImage* io_image) const
{
    Matrix3 ideal_to_plane;
    TPixelBox box;
    if (!isFrontFacing(*_camera, i_marker.pose) || !planeToIdeal(*_camera, i_marker.pose).invert(&ideal_to_plane) ||
        !findBox(i_marker, &box)) {
        return;
    }
    for (int32_t y = box.y0; y <= box.y1; y++) {
        for (int32_t x = box.x0; x <= box.x1; x++) {
            paintPixel(i_marker, ideal_to_plane, i_supersample, x, y, io_image->getPixel(x, y));
        }
    }
}

void MarkerPainter::paintPixel(const TSceneMarker& i_marker, const Matrix3& i_ideal_to_plane, int32_t i_supersample,
                               int32_t i_x, int32_t i_y, float* io_rgb) const
{
    const double step = 1.0 / i_supersample;
    float sum[3] = {0.0f, 0.0f, 0.0f};
    int32_t hits = 0;
    for (int32_t j = 0; j < i_supersample; j++) {
        for (int32_t i = 0; i < i_supersample; i++) {
            // Cell (i, j) of an S x S grid over the pixel, shifted within the
            // cell so that all S^2 points have distinct x and distinct y:
            // S^2 coverage levels even for an edge parallel to an image axis.
            const double dx = (i + (j + 0.5) * step) * step - 0.5;
            const double dy = (j + (i + 0.5) * step) * step - 0.5;
            float rgb[3];
            if (lookUp(i_marker, i_ideal_to_plane, i_x + dx, i_y + dy, rgb)) {
                sum[0] += rgb[0];
                sum[1] += rgb[1];
                sum[2] += rgb[2];
                hits++;
            }
        }
    }
    if (hits == 0) {
        return;
    }
    const auto samples = static_cast<float>(i_supersample * i_supersample);
    const auto misses = samples - static_cast<float>(hits);
    for (int c = 0; c < 3; c++) {
        io_rgb[c] = (sum[c] + misses * io_rgb[c]) / samples;
    }
}

bool MarkerPainter::findBox(const TSceneMarker& i_marker, TPixelBox* o_box) const
{
    const int32_t width = _camera->getWidth();
    const int32_t height = _camera->getHeight();
    const double half = 0.5 * i_marker.width;
    const double corners[5][2] = {{-half, half}, {half, half}, {half, -half}, {-half, -half}, {-half, half}};
    double left = INFINITY;
    double right = -INFINITY;
    double top = INFINITY;
    double bottom = -INFINITY;
    for (int32_t edge = 0; edge < 4; edge++) {
        for (int32_t k = 0; k < OUTLINE_POINTS; k++) {
            const double f = static_cast<double>(k) / OUTLINE_POINTS;
            const double marker_point[3] = {corners[edge][0] + f * (corners[edge + 1][0] - corners[edge][0]),
                                            corners[edge][1] + f * (corners[edge + 1][1] - corners[edge][1]), 0.0};
            double camera_point[3];
            MarkerPose::toCamera(i_marker.pose, marker_point, camera_point);
            TVoARDoublePoint_t ideal;
            TVoARDoublePoint_t observed;
            if (!_camera->cameraToIdeal(camera_point, &ideal) || !_camera->isOnPrincipalBranch(ideal)) {
                // The outline leaves the range where it has one image: visit
                // the whole frame.
                *o_box = TPixelBox{0, 0, width - 1, height - 1};
                return true;
            }
            _camera->idealToObserved(ideal, &observed);
            left = std::min(left, observed.x);
            right = std::max(right, observed.x);
            top = std::min(top, observed.y);
            bottom = std::max(bottom, observed.y);
        }
    }
    // Compare in doubles before converting: the outline may lie far outside.
    if (right < -BOX_MARGIN || bottom < -BOX_MARGIN || left > width + BOX_MARGIN || top > height + BOX_MARGIN) {
        return false;
    }
    o_box->x0 = std::max(0, static_cast<int32_t>(std::floor(std::max(left, -1.0 * BOX_MARGIN))) - BOX_MARGIN);
    o_box->y0 = std::max(0, static_cast<int32_t>(std::floor(std::max(top, -1.0 * BOX_MARGIN))) - BOX_MARGIN);
    o_box->x1 = std::min(width - 1, static_cast<int32_t>(std::ceil(std::min(right, 1.0 * width))) + BOX_MARGIN);
    o_box->y1 = std::min(height - 1, static_cast<int32_t>(std::ceil(std::min(bottom, 1.0 * height))) + BOX_MARGIN);
    return true;
}

bool MarkerPainter::lookUp(const TSceneMarker& i_marker, const Matrix3& i_ideal_to_plane, double i_x, double i_y,
                           float* o_rgb) const
{
    TVoARDoublePoint_t ideal;
    if (!_camera->observedToIdeal(i_x, i_y, &ideal)) {
        return false;
    }
    const double image_point[3] = {ideal.x, ideal.y, 1.0};
    double plane[3];
    i_ideal_to_plane.apply(image_point, plane);
    // The third coordinate is 1 / depth: not positive means the ray meets the
    // plane behind the camera or not at all.
    if (!(plane[2] > 0.0)) {
        return false;
    }
    const double x = plane[0] / plane[2];
    const double y = plane[1] / plane[2];
    const double half = 0.5 * i_marker.width;
    if (!(std::fabs(x) <= half && std::fabs(y) <= half)) {
        return false;
    }
    const double quarter = 0.5 * half;
    if (std::fabs(x) < quarter && std::fabs(y) < quarter) {
        // Picture fractions: u to the right, v down from the picture's top.
        const uint8_t* rgb = i_marker.picture->sample((x + quarter) / half, (quarter - y) / half);
        o_rgb[0] = rgb[0];
        o_rgb[1] = rgb[1];
        o_rgb[2] = rgb[2];
    } else {
        o_rgb[0] = 0.0f;
        o_rgb[1] = 0.0f;
        o_rgb[2] = 0.0f;
    }
    return true;
}

}  // namespace Markeye
