#include "VoARPca2d_MatrixPCA_O2.h"

#include <cmath>

namespace VoTrack {

namespace {

// A symmetric 2 x 2 matrix [[a, b], [b, d]] being diagonalised, with the
// rotation u accumulated so far.
struct SymmetricEigen
{
    double a;
    double b;
    double d;
    double u00 = 1.0;
    double u01 = 0.0;
    double u10 = 0.0;
    double u11 = 1.0;
};

// The rotation (p, q) that zeroes b for the Wilkinson-shifted matrix whose
// (0, 0) element is i_x.
void chooseRotation(double i_x, double i_b, double* o_p, double* o_q)
{
    if (std::fabs(i_x) < std::fabs(i_b)) {
        const double r = -i_x / i_b;
        *o_p = 1.0 / std::sqrt(r * r + 1.0);
        *o_q = r * *o_p;
    } else if (std::fabs(i_x) > VoARPca2d_MatrixPCA_O2::EIGENVALUE_FLOOR) {
        const double r = -i_b / i_x;
        *o_q = 1.0 / std::sqrt(r * r + 1.0);
        *o_p = r * *o_q;
    } else {
        *o_p = 0.0;
        *o_q = 1.0;
    }
}

// One shifted Givens step. Returns false, changing nothing, when the matrix
// is a multiple of the identity (to rounding): it is diagonal already, and
// the shift would be 0 / 0.
bool givensStep(SymmetricEigen& io_m)
{
    const double t = io_m.a - io_m.d;
    const double w = t * 0.5;
    const double root = std::sqrt(w * w + io_m.b * io_m.b);
    const double y = w >= 0.0 ? w + root : w - root;
    if (y == 0.0) {
        return false;
    }
    // x is a - mu for the shift mu = d - b^2 / y.
    const double x = io_m.b * io_m.b / y + t;
    double p;
    double q;
    chooseRotation(x, io_m.b, &p, &q);
    const double p1 = p * (p * t + 2.0 * q * io_m.b);
    const double p2 = p * (q * t - 2.0 * p * io_m.b);
    io_m.a -= p1;
    io_m.d += p1;
    io_m.b += p2;
    const double u00 = io_m.u00;
    const double u01 = io_m.u01;
    io_m.u00 = q * u00 + p * io_m.u10;
    io_m.u01 = q * u01 + p * io_m.u11;
    io_m.u10 = q * io_m.u10 - p * u00;
    io_m.u11 = q * io_m.u11 - p * u01;
    return true;
}

void diagonalise(SymmetricEigen& io_m)
{
    for (int i = 0; i < VoARPca2d_MatrixPCA_O2::MAX_ITERATIONS; i++) {
        if (!givensStep(io_m)) {
            return;
        }
        if (std::fabs(io_m.b) <= 1e-6 * (std::fabs(io_m.a) + std::fabs(io_m.d))) {
            return;
        }
    }
}

// Eigenvalues below the floor count as 0 and lose their eigenvector.
void floorEigenvalue(double* io_ev, double* io_row0, double* io_row1)
{
    if (*io_ev < VoARPca2d_MatrixPCA_O2::EIGENVALUE_FLOOR) {
        *io_ev = 0.0;
        *io_row0 = 0.0;
        *io_row1 = 0.0;
    }
}

}  // namespace

VoARPca2d_MatrixPCA_O2::VoARPca2d_MatrixPCA_O2() = default;

VoARPca2d_MatrixPCA_O2::~VoARPca2d_MatrixPCA_O2() = default;

void VoARPca2d_MatrixPCA_O2::computePca(const double* i_x, const double* i_y, int32_t i_number,
                                        VoARDoubleMatrix22* o_evec, double* o_ev, double* o_mean) const
{
    double sum_x = 0.0;
    double sum_y = 0.0;
    for (int32_t i = 0; i < i_number; i++) {
        sum_x += i_x[i];
        sum_y += i_y[i];
    }
    const double mean_x = sum_x / i_number;
    const double mean_y = sum_y / i_number;
    o_mean[0] = mean_x;
    o_mean[1] = mean_y;

    // Each offset is scaled by 1 / sqrt(n) before squaring: the population
    // covariance.
    const double k = std::sqrt(static_cast<double>(i_number));
    SymmetricEigen m{0.0, 0.0, 0.0};
    for (int32_t i = 0; i < i_number; i++) {
        const double dx = (i_x[i] - mean_x) / k;
        const double dy = (i_y[i] - mean_y) / k;
        m.a += dx * dx;
        m.b += dx * dy;
        m.d += dy * dy;
    }
    diagonalise(m);

    if (m.d > m.a) {
        o_ev[0] = m.d;
        o_ev[1] = m.a;
        o_evec->m00 = m.u01;
        o_evec->m01 = m.u00;
        o_evec->m10 = m.u11;
        o_evec->m11 = m.u10;
    } else {
        o_ev[0] = m.a;
        o_ev[1] = m.d;
        o_evec->m00 = m.u11;
        o_evec->m01 = m.u10;
        o_evec->m10 = m.u01;
        o_evec->m11 = m.u00;
    }
    floorEigenvalue(&o_ev[0], &o_evec->m00, &o_evec->m01);
    floorEigenvalue(&o_ev[1], &o_evec->m10, &o_evec->m11);
    const double sum = o_ev[0] + o_ev[1];
    if (sum == 0.0) {
        // All points alike: no direction is preferred.
        o_ev[0] = 0.5;
        o_ev[1] = 0.5;
        return;
    }
    o_ev[0] /= sum;
    o_ev[1] /= sum;
}

}  // namespace VoTrack
