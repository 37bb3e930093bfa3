#pragma once

#include "IVoARPca2d.h"

namespace VoTrack {

// 2-D PCA by a shifted Givens (QR) iteration on the 2 x 2 covariance; used to
// fit a straight line to an edge's points (row 0 of the eigenvectors is the
// edge's direction). Stateless.
class VoARPca2d_MatrixPCA_O2 : public IVoARPca2d
{
public:
    // Eigenvalues below this are taken as 0 and their eigenvector row as
    // zeros.
    static constexpr double EIGENVALUE_FLOOR = 1e-16;
    static constexpr int MAX_ITERATIONS = 100;

    VoARPca2d_MatrixPCA_O2();
    ~VoARPca2d_MatrixPCA_O2() override;

    // A covariance that is a multiple of the identity (no direction
    // preferred) gives the identity rows. When both eigenvalues are below
    // the floor (all points alike), both rows are zeros and both normalised
    // eigenvalues 0.5.
    void computePca(const double* i_x, const double* i_y, int32_t i_number, VoARDoubleMatrix22* o_evec,
                    double* o_ev, double* o_mean) const override;
};

}  // namespace VoTrack
