#pragma once

#include "IVoARDoubleMatrix.h"

namespace VoTrack {

// 3 x 3 matrix of doubles with public elements named by row and column.
// The constructor leaves the elements unset; whoever creates one fills it.
class VoARDoubleMatrix33 : public IVoARDoubleMatrix
{
public:
    static constexpr int ELEMENT_COUNT = 9;

    double m00, m01, m02;
    double m10, m11, m12;
    double m20, m21, m22;

    VoARDoubleMatrix33();
    ~VoARDoubleMatrix33() override;
    // i_value and o_value hold ELEMENT_COUNT doubles in row order.
    void setValue(const double* i_value) override;
    void getValue(double* o_value) const override;
};

}  // namespace VoTrack
