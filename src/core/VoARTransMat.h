#pragma once

#include <memory>

#include "IVoARRotTransOptimize.h"
#include "IVoARTransMat.h"
#include "TVoARDoublePoint_t.h"
#include "VoARFitVecCalculator.h"
#include "VoARMarkerOffset.h"
#include "VoARParam.h"
#include "VoARRotMatrix_Kestrel.h"

namespace VoTrack {

// Pose estimator: first rotation from the square's edges, least-squares
// translation, then grid refinement of both.
class VoARTransMat : public IVoARTransMat
{
public:
    // Largest error (squared pixels per corner) at which a continued pose is
    // kept without trying a fresh one.
    static constexpr double CONTINUE_ERROR_LIMIT = 1.0;

    // i_param is borrowed and must outlive the estimator.
    explicit VoARTransMat(const VoARParam* i_param);
    ~VoARTransMat() override;

    VoARTransMat(const VoARTransMat&) = delete;
    VoARTransMat& operator=(const VoARTransMat&) = delete;

    void setMarkerCenter(double i_x, double i_y) override;
    void computePose(const VoARSquare* i_square, int32_t i_direction, double i_width,
                     VoARTransMatResult* o_result) override;
    void computePoseContinued(const VoARSquare* i_square, int32_t i_direction, double i_width,
                              VoARTransMatResult* io_result) override;

private:
    // The square's lines and vertices in marker order.
    struct OrderedSquare
    {
        const double* lines[4];
        const double* vertices[4];
    };

    static OrderedSquare orderByDirection(const VoARSquare* i_square, int32_t i_direction);
    // Fills the marker record and prepares the translation fit for the square.
    void prepareFit(const OrderedSquare& i_square, double i_width);
    // Rotation from the square, then translation and refinement; returns the error.
    double estimateFromSquare(const OrderedSquare& i_square, double* o_translation);
    void storeResult(const double* i_translation, VoARTransMatResult* o_result) const;

    VoARMarkerOffset _offset;
    TVoARDoublePoint_t _center;
    std::unique_ptr<VoARFitVecCalculator> _fit;
    std::unique_ptr<VoARRotMatrix_Kestrel> _rotation;
    std::unique_ptr<IVoARRotTransOptimize> _optimizer;
};

}  // namespace VoTrack
