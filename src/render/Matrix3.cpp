#include "Matrix3.h"

#include <cmath>

namespace Markeye {

Matrix3 Matrix3::identity()
{
    return Matrix3{{1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0}};
}

Matrix3 Matrix3::rotation(int i_axis, double i_radians)
{
    const double c = std::cos(i_radians);
    const double s = std::sin(i_radians);
    switch (i_axis) {
    case 0:
        return Matrix3{{1.0, 0.0, 0.0, 0.0, c, -s, 0.0, s, c}};
    case 1:
        return Matrix3{{c, 0.0, s, 0.0, 1.0, 0.0, -s, 0.0, c}};
    default:
        return Matrix3{{c, -s, 0.0, s, c, 0.0, 0.0, 0.0, 1.0}};
    }
}

Matrix3 Matrix3::operator*(const Matrix3& i_right) const
{
    Matrix3 product;
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++) {
            product.m[r * 3 + c] =
                m[r * 3] * i_right.m[c] + m[r * 3 + 1] * i_right.m[3 + c] + m[r * 3 + 2] * i_right.m[6 + c];
        }
    }
    return product;
}

void Matrix3::apply(const double* i_in, double* o_out) const
{
    for (int r = 0; r < 3; r++) {
        o_out[r] = m[r * 3] * i_in[0] + m[r * 3 + 1] * i_in[1] + m[r * 3 + 2] * i_in[2];
    }
}

Matrix3 Matrix3::transposed() const
{
    return Matrix3{{m[0], m[3], m[6], m[1], m[4], m[7], m[2], m[5], m[8]}};
}

double Matrix3::determinant() const
{
    return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
           m[2] * (m[3] * m[7] - m[4] * m[6]);
}

bool Matrix3::invert(Matrix3* o_inverse) const
{
    const double det = determinant();
    if (det == 0.0 || !std::isfinite(det)) {
        return false;
    }
    // Adjugate over determinant.
    const double k = 1.0 / det;
    *o_inverse = Matrix3{{(m[4] * m[8] - m[5] * m[7]) * k, (m[2] * m[7] - m[1] * m[8]) * k,
                          (m[1] * m[5] - m[2] * m[4]) * k, (m[5] * m[6] - m[3] * m[8]) * k,
                          (m[0] * m[8] - m[2] * m[6]) * k, (m[2] * m[3] - m[0] * m[5]) * k,
                          (m[3] * m[7] - m[4] * m[6]) * k, (m[1] * m[6] - m[0] * m[7]) * k,
                          (m[0] * m[4] - m[1] * m[3]) * k}};
    return true;
}

}  // namespace Markeye
