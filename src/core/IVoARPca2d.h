#pragma once

#include <cstdint>

#include "VoARDoubleMatrix22.h"

namespace VoTrack {

// Principal component analysis of a set of 2-D points.
class IVoARPca2d
{
public:
    virtual ~IVoARPca2d() = default;
    // Writes the unit eigenvectors of the points' covariance as the rows of
    // o_evec (larger eigenvalue first), the two eigenvalues normalised to
    // sum 1 into o_ev and the mean (x, y) into o_mean. i_number >= 1.
    virtual void computePca(const double* i_x, const double* i_y, int32_t i_number, VoARDoubleMatrix22* o_evec,
                            double* o_ev, double* o_mean) const = 0;
};

}  // namespace VoTrack
