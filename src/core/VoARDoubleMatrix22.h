#pragma once

#include "IVoARDoubleMatrix.h"

namespace VoTrack {

// 2 x 2 matrix of doubles with public elements named by row and column.
// The constructor leaves the elements unset; whoever creates one fills it.
class VoARDoubleMatrix22 : public IVoARDoubleMatrix
{
public:
    static constexpr int ELEMENT_COUNT = 4;

    double m00, m01;
    double m10, m11;

    VoARDoubleMatrix22();
    ~VoARDoubleMatrix22() override;
    // i_value and o_value hold ELEMENT_COUNT doubles in row order.
    void setValue(const double* i_value) override;
    void getValue(double* o_value) const override;
};

}  // namespace VoTrack
