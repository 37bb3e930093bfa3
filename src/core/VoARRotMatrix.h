#pragma once

#include <cstdint>

#include "VoARDoubleMatrix33.h"
#include "VoARDoubleMatrix34.h"

namespace VoTrack {

// The rotation part of a marker pose (marker to camera coordinates), with the
// operations pose estimation needs: a first estimate, the angle
// parameterisation the refinement searches in, and rotating points.
// A 3-D point is three doubles (x, y, z).
class VoARRotMatrix : public VoARDoubleMatrix33
{
public:
    VoARRotMatrix();
    ~VoARRotMatrix() override;

    // Copies the rotation columns of a previous pose; its fourth column is ignored.
    virtual void initFromResult(const VoARDoubleMatrix34* i_prev_result) = 0;
    // First estimate from a square in marker order: line i, (a, b, c) with
    // b*x + a*y + c = 0, runs from vertex i to vertex (i + 1) mod 4 (ideal
    // pixels). May throw VoARException, leaving the matrix unchanged.
    virtual void initFromSquare(const double* const* i_lines, const double* const* i_vertices) = 0;
    // Writes the angles a, b, c (radians) that fromAngles turns back into this
    // matrix, except within 1e-6 of b = 0, where c takes its sign from m01 and
    // so describes the transposed rotation.
    virtual void toAngles(double* o_angles) const = 0;
    // Sets R = Rz(a) Ry(b) Rz(c - a); its third column is (cos a sin b, sin a sin b, cos b).
    virtual void fromAngles(double i_a, double i_b, double i_c) = 0;
    // o_point = R * i_point; the two may be the same point.
    virtual void rotatePoint(const double* i_point, double* o_point) const = 0;
    // o_points[k] = R * i_points[k] for k below i_count; the arrays must not overlap.
    virtual void rotatePoints(const double (*i_points)[3], double (*o_points)[3], int32_t i_count) const = 0;
};

}  // namespace VoTrack
