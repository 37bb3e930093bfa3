#pragma once

#include "IVoARCameraDistortionFactor.h"

namespace VoTrack {

// One-coefficient radial lens distortion around a distortion centre. Starts
// as the identity (centre 0, coefficient 0, scale 1) until setValue.
class VoARCameraDistortionFactor : public IVoARCameraDistortionFactor
{
public:
    // setValue/getValue order, also that of the camera parameter file: centre
    // x, centre y (pixels), coefficient, scale.
    static constexpr int VALUE_COUNT = 4;
    static constexpr int SCALE_INDEX = 3;
    // The stored coefficient is in units of 1e-8 per squared pixel.
    static constexpr double COEFFICIENT_UNIT = 1.0e8;
    // Newton steps of the inverse; three make a fixed cost per point.
    static constexpr int NEWTON_ITERATIONS = 3;

    VoARCameraDistortionFactor();
    ~VoARCameraDistortionFactor() override;

    // The scale must not be zero.
    void setValue(const double* i_value);
    void getValue(double* o_value) const;
    // Follows a rescale of the image by i_scale (non-zero): the centre scales
    // with the image, the coefficient with 1 / i_scale^2.
    void changeScale(double i_scale);

    void ideal2Observ(const TVoARDoublePoint_t* i_in, TVoARDoublePoint_t* o_out) const override;
    void ideal2ObservBatch(const TVoARDoublePoint_t* const* i_in, TVoARDoublePoint_t* o_out,
                           int32_t i_count) const override;
    // Inverts the radial polynomial by Newton's method; not exact.
    void observ2Ideal(double i_x, double i_y, TVoARDoublePoint_t* o_out) const override;
    void observ2IdealBatch(const int32_t* i_x, const int32_t* i_y, int32_t i_start,
                           int32_t i_count, double* o_x, double* o_y) const override;

private:
    double _center_x;
    double _center_y;
    double _coefficient;
    double _scale;
};

}  // namespace VoTrack
