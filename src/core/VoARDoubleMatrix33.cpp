#include "VoARDoubleMatrix33.h"

namespace VoTrack {

VoARDoubleMatrix33::VoARDoubleMatrix33() = default;

VoARDoubleMatrix33::~VoARDoubleMatrix33() = default;

void VoARDoubleMatrix33::setValue(const double* i_value)
{
    m00 = i_value[0];
    m01 = i_value[1];
    m02 = i_value[2];
    m10 = i_value[3];
    m11 = i_value[4];
    m12 = i_value[5];
    m20 = i_value[6];
    m21 = i_value[7];
    m22 = i_value[8];
}

void VoARDoubleMatrix33::getValue(double* o_value) const
{
    o_value[0] = m00;
    o_value[1] = m01;
    o_value[2] = m02;
    o_value[3] = m10;
    o_value[4] = m11;
    o_value[5] = m12;
    o_value[6] = m20;
    o_value[7] = m21;
    o_value[8] = m22;
}

}  // namespace VoTrack
