#pragma once

namespace VoTrack {

// A fixed-size matrix of doubles whose elements load from and store to a
// row-major array (row stride equal to the number of columns).
class IVoARDoubleMatrix
{
public:
    virtual ~IVoARDoubleMatrix() = default;
    virtual void setValue(const double* i_value) = 0;
    virtual void getValue(double* o_value) const = 0;
};

}  // namespace VoTrack
