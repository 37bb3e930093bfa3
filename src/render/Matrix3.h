#pragma once

namespace Markeye {

// 3 x 3 matrix of doubles in row order, for the renderer's homographies and
// rotations.
class Matrix3
{
public:
    double m[9];

    static Matrix3 identity();
    // A rotation of i_radians about axis 0 (x), 1 (y) or 2 (z), right-handed.
    static Matrix3 rotation(int i_axis, double i_radians);

    Matrix3 operator*(const Matrix3& i_right) const;
    // o_out = this x i_in; o_out may not alias i_in.
    void apply(const double* i_in, double* o_out) const;
    Matrix3 transposed() const;
    double determinant() const;
    // Returns false, leaving o_inverse unchanged, when the determinant is 0
    // or not finite.
    bool invert(Matrix3* o_inverse) const;
};

}  // namespace Markeye
