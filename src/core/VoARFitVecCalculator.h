#pragma once

#include <memory>

#include "IVoARCameraDistortionFactor.h"
#include "TVoARDoublePoint_t.h"
#include "VoARMarkerOffset.h"
#include "VoARMat.h"
#include "VoARPerspectiveProjectionMatrix.h"
#include "VoARRotMatrix.h"

namespace VoTrack {

// Least-squares translation of a marker for a given rotation, from its four
// image vertices. Per square the normal matrix is prepared once, so that the
// translation can be solved again cheaply for every rotation the refinement
// tries. Works in observed pixels and treats P's left block as upper
// triangular with m22 = 1; P's fourth column is ignored.
class VoARFitVecCalculator
{
public:
    // Both are borrowed from the camera parameters and must outlive the calculator.
    VoARFitVecCalculator(const VoARPerspectiveProjectionMatrix* i_projection,
                         const IVoARCameraDistortionFactor* i_distortion);
    ~VoARFitVecCalculator();

    VoARFitVecCalculator(const VoARFitVecCalculator&) = delete;
    VoARFitVecCalculator& operator=(const VoARFitVecCalculator&) = delete;

    // The record is borrowed and must stay alive while the calculator uses it.
    void setOffsetSquare(const VoARMarkerOffset* i_offset);
    const VoARMarkerOffset* getOffsetSquare() const;
    // Prepares the system for one square: i_vertices are four (x, y) vertices
    // in ideal pixels, in marker order. Returns whether the normal matrix
    // could be inverted; if not, later translations are meaningless.
    bool setImageVertices(const double* const* i_vertices);
    // The four vertices of the current square in observed pixels.
    const TVoARDoublePoint_t* getImageVertices() const;
    // o_translation (three doubles) = the translation of the marker's centre
    // that best places the rotated corners on the vertices. Needs
    // setOffsetSquare and setImageVertices first.
    void solveTranslation(const VoARRotMatrix* i_rotation, double* o_translation);

private:
    std::unique_ptr<VoARMat> _at;       // 3 x 8, transpose of the design matrix
    std::unique_ptr<VoARMat> _a;        // 8 x 3, design matrix, two rows per vertex
    std::unique_ptr<VoARMat> _ata_inv;  // 3 x 3, inverse of the normal matrix
    const VoARPerspectiveProjectionMatrix* _projection;
    const IVoARCameraDistortionFactor* _distortion;
    TVoARDoublePoint_t _image_vertices[4];
    const VoARMarkerOffset* _offset_square;
    std::unique_ptr<VoARMat> _atb;      // 3 x 1
    std::unique_ptr<VoARMat> _t;        // 3 x 1, the solved translation
    std::unique_ptr<VoARMat> _b;        // 8 x 1, right-hand side
};

}  // namespace VoTrack
