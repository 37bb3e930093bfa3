#include "VoARDoubleMatrix22.h"

namespace VoTrack {

VoARDoubleMatrix22::VoARDoubleMatrix22() = default;

VoARDoubleMatrix22::~VoARDoubleMatrix22() = default;

void VoARDoubleMatrix22::setValue(const double* i_value)
{
    m00 = i_value[0];
    m01 = i_value[1];
    m10 = i_value[2];
    m11 = i_value[3];
}

void VoARDoubleMatrix22::getValue(double* o_value) const
{
    o_value[0] = m00;
    o_value[1] = m01;
    o_value[2] = m10;
    o_value[3] = m11;
}

}  // namespace VoTrack
