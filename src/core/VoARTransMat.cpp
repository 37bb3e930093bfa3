#include "VoARTransMat.h"

#include "VoARAssert.h"
#include "VoARRotTransOptimize_O2.h"

namespace VoTrack {

VoARTransMat::VoARTransMat(const VoARParam* i_param)
    : _offset(),
      _center{0.0, 0.0},
      _fit(std::make_unique<VoARFitVecCalculator>(i_param->getProjectionMatrix(), i_param->getDistortionFactor())),
      _rotation(std::make_unique<VoARRotMatrix_Kestrel>(i_param->getProjectionMatrix())),
      _optimizer(std::make_unique<VoARRotTransOptimize_O2>(i_param->getProjectionMatrix()))
{
}

VoARTransMat::~VoARTransMat() = default;

void VoARTransMat::setMarkerCenter(double i_x, double i_y)
{
    _center.x = i_x;
    _center.y = i_y;
}

void VoARTransMat::computePose(const VoARSquare* i_square, int32_t i_direction, double i_width,
                               VoARTransMatResult* o_result)
{
    const OrderedSquare square = orderByDirection(i_square, i_direction);
    prepareFit(square, i_width);
    double translation[3];
    estimateFromSquare(square, translation);
    storeResult(translation, o_result);
}

void VoARTransMat::computePoseContinued(const VoARSquare* i_square, int32_t i_direction, double i_width,
                                        VoARTransMatResult* io_result)
{
    if (!io_result->has_value) {
        computePose(i_square, i_direction, i_width, io_result);
        return;
    }
    const OrderedSquare square = orderByDirection(i_square, i_direction);
    prepareFit(square, i_width);
    // Only the previous rotation is reused; the translation is fitted anew.
    _rotation->initFromResult(io_result);
    double translation[3];
    _fit->solveTranslation(_rotation.get(), translation);
    const double continued_error = _optimizer->refine(_rotation.get(), translation, _fit.get());
    storeResult(translation, io_result);
    if (continued_error <= CONTINUE_ERROR_LIMIT) {
        return;
    }
    const double fresh_error = estimateFromSquare(square, translation);
    if (continued_error > fresh_error) {
        storeResult(translation, io_result);
    }
}

VoARTransMat::OrderedSquare VoARTransMat::orderByDirection(const VoARSquare* i_square, int32_t i_direction)
{
    // Taken modulo 4, so the matcher's "no direction" (-1) reads the corners
    // as direction 3 does, and no value indexes outside the square.
    const int32_t direction = ((i_direction % 4) + 4) % 4;
    OrderedSquare square;
    for (int i = 0; i < 4; i++) {
        const int k = (i + 4 - direction) % 4;
        square.lines[i] = i_square->edge_lines[k];
        square.vertices[i] = i_square->ideal_vertices[k];
    }
    return square;
}

void VoARTransMat::prepareFit(const OrderedSquare& i_square, double i_width)
{
    _offset.setMarker(i_width, &_center);
    _fit->setOffsetSquare(&_offset);
    // A singular normal matrix (all four vertices at one point) is not
    // reported: the pose is then meaningless but still stored.
    _fit->setImageVertices(i_square.vertices);
}

double VoARTransMat::estimateFromSquare(const OrderedSquare& i_square, double* o_translation)
{
    _rotation->initFromSquare(i_square.lines, i_square.vertices);
    _fit->solveTranslation(_rotation.get(), o_translation);
    return _optimizer->refine(_rotation.get(), o_translation, _fit.get());
}

void VoARTransMat::storeResult(const double* i_translation, VoARTransMatResult* o_result) const
{
    const VoARRotMatrix& r = *_rotation;
    const double* c = _offset.center_offset;
    o_result->m00 = r.m00;
    o_result->m01 = r.m01;
    o_result->m02 = r.m02;
    o_result->m10 = r.m10;
    o_result->m11 = r.m11;
    o_result->m12 = r.m12;
    o_result->m20 = r.m20;
    o_result->m21 = r.m21;
    o_result->m22 = r.m22;
    o_result->m03 = r.m00 * c[0] + r.m01 * c[1] + r.m02 * c[2] + i_translation[0];
    o_result->m13 = r.m10 * c[0] + r.m11 * c[1] + r.m12 * c[2] + i_translation[1];
    o_result->m23 = r.m20 * c[0] + r.m21 * c[1] + r.m22 * c[2] + i_translation[2];
    o_result->has_value = true;
}

}  // namespace VoTrack
