#pragma once

#include "IVoARDoubleMatrix.h"

namespace VoTrack {

// 3 x 4 matrix of doubles with public elements named by row and column.
// The constructor leaves the elements unset; whoever creates one fills it.
class VoARDoubleMatrix34 : public IVoARDoubleMatrix
{
public:
    static constexpr int ELEMENT_COUNT = 12;

    double m00, m01, m02, m03;
    double m10, m11, m12, m13;
    double m20, m21, m22, m23;

    VoARDoubleMatrix34();
    ~VoARDoubleMatrix34() override;
    // i_value and o_value hold ELEMENT_COUNT doubles in row order.
    void setValue(const double* i_value) override;
    void getValue(double* o_value) const override;
};

}  // namespace VoTrack
