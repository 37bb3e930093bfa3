#pragma once

#include "MarkerPicture.h"
#include "VoARDoubleMatrix34.h"

namespace Markeye {

// One marker of a scene: a square of edge length width whose outer quarter
// on every side is black and whose central half shows the picture.
//
// Marker coordinates: origin at the centre, x to the right of the upright
// picture, y up, z out of the marker toward the viewer; vertex 0 is the
// picture's top-left corner (-w/2, w/2), then (w/2, w/2), (w/2, -w/2),
// (-w/2, -w/2). The pose maps marker to camera coordinates (rotation in
// columns 0 to 2, translation in column 3, in the unit of width); a marker
// facing the camera upright has rotation diag(1, -1, -1).
struct TSceneMarker
{
    // Borrowed; must stay alive while the scene is rendered.
    const MarkerPicture* picture;
    double width;
    VoTrack::VoARDoubleMatrix34 pose;

    TSceneMarker(const MarkerPicture* i_picture, double i_width, const VoTrack::VoARDoubleMatrix34& i_pose)
        : picture(i_picture), width(i_width), pose(i_pose)
    {
    }
};

}  // namespace Markeye
