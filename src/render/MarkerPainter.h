#pragma once

#include <cstdint>

#include "FloatRgbImage.h"
#include "Matrix3.h"
#include "RenderCamera.h"
#include "TSceneMarker.h"

namespace Markeye {

// Draws one marker into the working image through the camera. For each
// sample point of a pixel it removes the lens distortion (RenderCamera's
// converged inverse), maps the ideal point through the inverse of the
// marker-plane homography and reads the marker there; the pixel becomes the
// mean of its supersample x supersample points (a stratified grid: one point
// per cell, no two sharing an x or a y), points off the marker keeping what
// the pixel held. Only pixels within the marker's projected outline (plus a
// margin) are visited.
class MarkerPainter
{
public:
    // Pixels added around the projected outline's bounding box.
    static constexpr int32_t BOX_MARGIN = 2;
    // Points per edge traced to find the outline's bounding box.
    static constexpr int32_t OUTLINE_POINTS = 32;

    // Borrows the camera, which must outlive the painter.
    explicit MarkerPainter(const RenderCamera* i_camera);

    // Back-facing and edge-on markers are not drawn.
    void paint(const TSceneMarker& i_marker, int32_t i_supersample, FloatRgbImage* io_image) const;

    // Whether the camera sees the picture side (its centre lies on the +z
    // side of the marker plane).
    static bool isFrontFacing(const RenderCamera& i_camera, const VoTrack::VoARDoubleMatrix34& i_pose);
    // The homography taking marker-plane points (x, y, 1) to ideal pixels.
    static Matrix3 planeToIdeal(const RenderCamera& i_camera, const VoTrack::VoARDoubleMatrix34& i_pose);

private:
    struct TPixelBox
    {
        int32_t x0;
        int32_t y0;
        int32_t x1;
        int32_t y1;
    };

    // False when the marker covers no pixel of the frame.
    bool findBox(const TSceneMarker& i_marker, TPixelBox* o_box) const;
    // Mixes the marker's samples of pixel (i_x, i_y) into its colour.
    void paintPixel(const TSceneMarker& i_marker, const Matrix3& i_ideal_to_plane, int32_t i_supersample, int32_t i_x,
                    int32_t i_y, float* io_rgb) const;
    // The marker's colour at an observed point; false when the point does not
    // see the marker.
    bool lookUp(const TSceneMarker& i_marker, const Matrix3& i_ideal_to_plane, double i_x, double i_y,
                float* o_rgb) const;

    const RenderCamera* _camera;
};

}  // namespace Markeye
