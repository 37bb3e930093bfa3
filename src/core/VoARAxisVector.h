#pragma once

#include <memory>

#include "VoARMat.h"
#include "VoARPerspectiveProjectionMatrix.h"

namespace VoTrack {

// One axis of a marker's rotation: a unit direction in camera coordinates
// worked out from the two image edges of the square that run along it.
class VoARAxisVector
{
public:
    // Below this fraction of the largest of the three 2 x 2 determinants a
    // determinant is treated as zero when orthogonalize picks its mode (see
    // the .cpp for why).
    static constexpr double NEGLIGIBLE_DETERMINANT = 1e-6;
    // A negative discriminant within this fraction of the size of its terms
    // is rounding of a double root and is taken as zero. In exact arithmetic
    // it is never negative for unit, perpendicular e and n; rounding leaves
    // it above -1e-15 of that size, so this is far from real inconsistency.
    static constexpr double DOUBLE_ROOT_TOLERANCE = 1e-10;

    // i_projection is borrowed and must outlive the vector. Only its left
    // 3 x 3 block is used: P is taken to be upper triangular with m22 = 1.
    explicit VoARAxisVector(const VoARPerspectiveProjectionMatrix* i_projection);
    ~VoARAxisVector();

    VoARAxisVector(const VoARAxisVector&) = delete;
    VoARAxisVector& operator=(const VoARAxisVector&) = delete;

    // The direction; unset until fromEdgePair.
    double x;
    double y;
    double z;

    // Sets the unit direction of the 3-D lines whose images are i_line1 and
    // i_line2, each (a, b, c) meaning b*x + a*y + c = 0 in ideal pixels. Two
    // identical lines give NaN.
    void fromEdgePair(const double* i_line1, const double* i_line2);
    // Flips the direction if its image runs against the image vector from
    // i_from to i_to (ideal pixels). Throws VoARException when a projected
    // point lies at depth 0.
    void orientByVertices(const double* i_from, const double* i_to);
    // Replaces this direction and io_second's by the exactly perpendicular
    // pair in their common plane that is closest to them. Throws
    // VoARException for parallel directions or a quadratic without real root.
    void orthogonalize(VoARAxisVector* io_second);

private:
    const VoARPerspectiveProjectionMatrix* _projection;
    // Inverse of P's left 3 x 3 block: image point to viewing ray.
    std::unique_ptr<VoARMat> _inverse;
};

}  // namespace VoTrack
