#include "VoARRotMatrix_Kestrel.h"

#include <cmath>

namespace VoTrack {

namespace {

constexpr double PI = 3.14159265358979323846;

// Brings a (cosine, sine) pair that rounding pushed out of range back onto
// the unit circle's axes; the first coefficient is tested first.
void clampPair(double* io_u, double* io_v)
{
    if (*io_u > 1.0) {
        *io_u = 1.0;
        *io_v = 0.0;
    } else if (*io_u < -1.0) {
        *io_u = -1.0;
        *io_v = 0.0;
    } else if (*io_v > 1.0) {
        *io_u = 0.0;
        *io_v = 1.0;
    } else if (*io_v < -1.0) {
        *io_u = 0.0;
        *io_v = -1.0;
    }
}

// The angle in [-pi, pi] with cosine i_u whose sign is that of i_v, after clamping.
double angleOf(double i_u, double i_v)
{
    clampPair(&i_u, &i_v);
    const double angle = std::acos(i_u);
    return i_v < 0.0 ? -angle : angle;
}

}  // namespace

VoARRotMatrix_Kestrel::VoARRotMatrix_Kestrel(const VoARPerspectiveProjectionMatrix* i_projection)
    : _axis_x(std::make_unique<VoARAxisVector>(i_projection)),
      _axis_y(std::make_unique<VoARAxisVector>(i_projection))
{
}

VoARRotMatrix_Kestrel::~VoARRotMatrix_Kestrel() = default;

void VoARRotMatrix_Kestrel::initFromResult(const VoARDoubleMatrix34* i_prev_result)
{
    m00 = i_prev_result->m00;
    m01 = i_prev_result->m01;
    m02 = i_prev_result->m02;
    m10 = i_prev_result->m10;
    m11 = i_prev_result->m11;
    m12 = i_prev_result->m12;
    m20 = i_prev_result->m20;
    m21 = i_prev_result->m21;
    m22 = i_prev_result->m22;
}

void VoARRotMatrix_Kestrel::initFromSquare(const double* const* i_lines, const double* const* i_vertices)
{
    // The marker's x axis runs along edges 0 and 2 from vertex 0 to vertex 1,
    // its y axis along edges 1 and 3 from vertex 3 to vertex 0.
    VoARAxisVector& ax = *_axis_x;
    VoARAxisVector& ay = *_axis_y;
    ax.fromEdgePair(i_lines[0], i_lines[2]);
    ax.orientByVertices(i_vertices[0], i_vertices[1]);
    ay.fromEdgePair(i_lines[1], i_lines[3]);
    ay.orientByVertices(i_vertices[3], i_vertices[0]);
    ax.orthogonalize(&ay);

    m00 = ax.x;
    m10 = ax.y;
    m20 = ax.z;
    m01 = ay.x;
    m11 = ay.y;
    m21 = ay.z;
    const double zx = ax.y * ay.z - ax.z * ay.y;
    const double zy = ax.z * ay.x - ax.x * ay.z;
    const double zz = ax.x * ay.y - ax.y * ay.x;
    const double length = std::sqrt(zx * zx + zy * zy + zz * zz);
    m02 = zx / length;
    m12 = zy / length;
    m22 = zz / length;
}

void VoARRotMatrix_Kestrel::toAngles(double* o_angles) const
{
    const double cb = m22 > 1.0 ? 1.0 : (m22 < -1.0 ? -1.0 : m22);
    const double b = std::acos(cb);
    if (b < POLE_BAND) {
        // Near b = 0 the sine of c is taken from m01 (fromAngles puts -sin c there).
        o_angles[0] = 0.0;
        o_angles[1] = 0.0;
        o_angles[2] = angleOf(m00, m01);
        return;
    }
    if (PI - b < POLE_BAND) {
        // At b = pi only 2a - c matters: fromAngles(0, pi, c) has m00 = -cos c
        // and m01 = sin c. The general formulas below would divide 0 by 0.
        o_angles[0] = 0.0;
        o_angles[1] = PI;
        o_angles[2] = angleOf(-m00, m01);
        return;
    }
    const double sb = std::sin(b);
    const double d = m02 * m02 + m12 * m12;
    const double sc = (m02 * m21 - m12 * m20) / d;
    const double cc = -(m02 * m20 + m12 * m21) / d;
    o_angles[0] = angleOf(m02 / sb, m12 / sb);
    o_angles[1] = b;
    o_angles[2] = angleOf(cc, sc);
}

void VoARRotMatrix_Kestrel::fromAngles(double i_a, double i_b, double i_c)
{
    const double sa = std::sin(i_a);
    const double ca = std::cos(i_a);
    const double sb = std::sin(i_b);
    const double cb = std::cos(i_b);
    const double sc = std::sin(i_c);
    const double cc = std::cos(i_c);
    m00 = ca * ca * cb * cc + sa * sa * cc + sa * ca * cb * sc - sa * ca * sc;
    m01 = -ca * ca * cb * sc - sa * sa * sc + sa * ca * cb * cc - sa * ca * cc;
    m02 = ca * sb;
    m10 = sa * ca * cb * cc - sa * ca * cc + sa * sa * cb * sc + ca * ca * sc;
    m11 = -sa * ca * cb * sc + sa * ca * sc + sa * sa * cb * cc + ca * ca * cc;
    m12 = sa * sb;
    m20 = -ca * sb * cc - sa * sb * sc;
    m21 = ca * sb * sc - sa * sb * cc;
    m22 = cb;
}

void VoARRotMatrix_Kestrel::rotatePoint(const double* i_point, double* o_point) const
{
    const double x = i_point[0];
    const double y = i_point[1];
    const double z = i_point[2];
    o_point[0] = m00 * x + m01 * y + m02 * z;
    o_point[1] = m10 * x + m11 * y + m12 * z;
    o_point[2] = m20 * x + m21 * y + m22 * z;
}

void VoARRotMatrix_Kestrel::rotatePoints(const double (*i_points)[3], double (*o_points)[3], int32_t i_count) const
{
    for (int32_t k = i_count - 1; k >= 0; k--) {
        rotatePoint(i_points[k], o_points[k]);
    }
}

}  // namespace VoTrack
