#pragma once

#include <memory>

#include "VoARAxisVector.h"
#include "VoARPerspectiveProjectionMatrix.h"
#include "VoARRotMatrix.h"

namespace VoTrack {

// Rotation matrix that estimates a marker's rotation from one square: each
// pair of opposite edges gives an axis, the two axes are made perpendicular
// and completed by their cross product.
class VoARRotMatrix_Kestrel : public VoARRotMatrix
{
public:
    // Half-width, in radians, of the bands around b = 0 and b = pi where the
    // angles a and c cannot be told apart and a is reported as 0.
    static constexpr double POLE_BAND = 1e-6;

    // i_projection is borrowed and must outlive the matrix. The elements are
    // unset until one of the init or fromAngles calls.
    explicit VoARRotMatrix_Kestrel(const VoARPerspectiveProjectionMatrix* i_projection);
    ~VoARRotMatrix_Kestrel() override;

    VoARRotMatrix_Kestrel(const VoARRotMatrix_Kestrel&) = delete;
    VoARRotMatrix_Kestrel& operator=(const VoARRotMatrix_Kestrel&) = delete;

    void initFromResult(const VoARDoubleMatrix34* i_prev_result) override;
    void initFromSquare(const double* const* i_lines, const double* const* i_vertices) override;
    void toAngles(double* o_angles) const override;
    void fromAngles(double i_a, double i_b, double i_c) override;
    void rotatePoint(const double* i_point, double* o_point) const override;
    void rotatePoints(const double (*i_points)[3], double (*o_points)[3], int32_t i_count) const override;

private:
    std::unique_ptr<VoARAxisVector> _axis_x;  // column 0
    std::unique_ptr<VoARAxisVector> _axis_y;  // column 1
};

}  // namespace VoTrack
