#include "VoARDoubleMatrix34.h"

namespace VoTrack {

VoARDoubleMatrix34::VoARDoubleMatrix34() = default;

VoARDoubleMatrix34::~VoARDoubleMatrix34() = default;

void VoARDoubleMatrix34::setValue(const double* i_value)
{
    m00 = i_value[0];
    m01 = i_value[1];
    m02 = i_value[2];
    m03 = i_value[3];
    m10 = i_value[4];
    m11 = i_value[5];
    m12 = i_value[6];
    m13 = i_value[7];
    m20 = i_value[8];
    m21 = i_value[9];
    m22 = i_value[10];
    m23 = i_value[11];
}

void VoARDoubleMatrix34::getValue(double* o_value) const
{
    o_value[0] = m00;
    o_value[1] = m01;
    o_value[2] = m02;
    o_value[3] = m03;
    o_value[4] = m10;
    o_value[5] = m11;
    o_value[6] = m12;
    o_value[7] = m13;
    o_value[8] = m20;
    o_value[9] = m21;
    o_value[10] = m22;
    o_value[11] = m23;
}

}  // namespace VoTrack
