#pragma once

#include "IVoARRotTransOptimize.h"
#include "TVoARDoublePoint_t.h"
#include "VoARPerspectiveProjectionMatrix.h"

namespace VoTrack {

// Pose refinement by a grid search of the three rotation angles on a
// shrinking step, alternating with refits of the translation.
class VoARRotTransOptimize_O2 : public IVoARRotTransOptimize
{
public:
    // refine stops once the error (squared pixels per corner) falls below this...
    static constexpr double GOOD_ENOUGH_ERROR = 1.0;
    // ...or after this many passes of two searches each.
    static constexpr int MAX_PASSES = 5;
    static constexpr int SWEEP_COUNT = 10;
    // First grid step: 10 degrees, in radians.
    static constexpr double INITIAL_STEP = 0.17453292519943295;
    // Error a candidate must beat to be taken in a sweep (summed squared pixels).
    static constexpr double NO_CANDIDATE_ERROR = 1e9;

    // i_projection is borrowed and must outlive the optimiser; all twelve
    // elements are used.
    explicit VoARRotTransOptimize_O2(const VoARPerspectiveProjectionMatrix* i_projection);
    ~VoARRotTransOptimize_O2() override;

    double refine(VoARRotMatrix* io_rotation, double* io_translation, VoARFitVecCalculator* i_fit) override;

    // One grid search of the rotation's angles with the translation held
    // fixed: ten sweeps of the 27 neighbours (a outermost, then b, then c;
    // offsets -1, 0, +1 step; ties keep the first), the step halving after a
    // sweep won by the unchanged angles. Sets io_rotation to the best angles
    // and returns a quarter of their summed squared distances between the
    // projected i_corners (marker units) and i_vertices (observed pixels).
    double searchAngles(VoARRotMatrix* io_rotation, const double* i_translation, const double (*i_corners)[3],
                        const TVoARDoublePoint_t* i_vertices) const;

private:
    const VoARPerspectiveProjectionMatrix* _projection;
};

}  // namespace VoTrack
