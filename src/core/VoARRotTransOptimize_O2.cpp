#include "VoARRotTransOptimize_O2.h"

#include <cmath>

#include "VoARAssert.h"

namespace VoTrack {

namespace {

constexpr int CORNER_COUNT = 4;
// Grid offsets in steps; candidate (ia, ib, ic) has index ia + 3 ib + 9 ic.
constexpr double OFFSETS[3] = {-1.0, 0.0, 1.0};
constexpr int CENTER_INDEX = 13;

struct Vector3
{
    double x;
    double y;
    double z;
};

// P's left 3 x 3 block times a vector.
Vector3 blockTimes(const VoARPerspectiveProjectionMatrix& i_p, const Vector3& i_v)
{
    return {i_p.m00 * i_v.x + i_p.m01 * i_v.y + i_p.m02 * i_v.z,
            i_p.m10 * i_v.x + i_p.m11 * i_v.y + i_p.m12 * i_v.z,
            i_p.m20 * i_v.x + i_p.m21 * i_v.y + i_p.m22 * i_v.z};
}

// Sine and cosine of the three candidate values of one angle.
struct AngleTriple
{
    double value[3];
    double sine[3];
    double cosine[3];

    AngleTriple(double i_angle, double i_step)
    {
        for (int d = 0; d < 3; d++) {
            value[d] = i_angle + OFFSETS[d] * i_step;
            sine[d] = std::sin(value[d]);
            cosine[d] = std::cos(value[d]);
        }
    }
};

// For fixed a and b the candidate rotation's first two columns are
// cos c * (X | Y) + sin c * (Y | -X) and its third column is Z (the
// fromAngles formulas regrouped). So P's block times the rotation times a
// corner K is cos c * U + sin c * V + Kz * PZ, with U = Kx PX + Ky PY and
// V = Kx PY - Ky PX; adding the projected translation gives the homogeneous
// image point. This holds those terms for the four corners.
struct CornerTerms
{
    Vector3 u[CORNER_COUNT];
    Vector3 v[CORNER_COUNT];
    Vector3 w[CORNER_COUNT];  // Kz PZ + T

    void set(const VoARPerspectiveProjectionMatrix& i_p, double i_sa, double i_ca, double i_sb, double i_cb,
             const double (*i_corners)[3], const Vector3& i_t)
    {
        const double sca = i_sa * i_ca;
        const double p = i_ca * i_sb;
        const double q = i_sa * i_sb;
        const Vector3 px = blockTimes(i_p, {i_ca * i_ca * i_cb + i_sa * i_sa, sca * (i_cb - 1.0), -p});
        const Vector3 py = blockTimes(i_p, {sca * (i_cb - 1.0), i_sa * i_sa * i_cb + i_ca * i_ca, -q});
        const Vector3 pz = blockTimes(i_p, {p, q, i_cb});
        for (int i = 0; i < CORNER_COUNT; i++) {
            const double kx = i_corners[i][0];
            const double ky = i_corners[i][1];
            const double kz = i_corners[i][2];
            u[i] = {kx * px.x + ky * py.x, kx * px.y + ky * py.y, kx * px.z + ky * py.z};
            v[i] = {kx * py.x - ky * px.x, kx * py.y - ky * px.y, kx * py.z - ky * px.z};
            w[i] = {kz * pz.x + i_t.x, kz * pz.y + i_t.y, kz * pz.z + i_t.z};
        }
    }

    // Summed squared distances from the vertices for one value of c.
    double error(double i_sc, double i_cc, const TVoARDoublePoint_t* i_vertices) const
    {
        double sum = 0.0;
        for (int i = 0; i < CORNER_COUNT; i++) {
            const double h = i_cc * u[i].z + i_sc * v[i].z + w[i].z;
            const double dx = i_vertices[i].x - (i_cc * u[i].x + i_sc * v[i].x + w[i].x) / h;
            const double dy = i_vertices[i].y - (i_cc * u[i].y + i_sc * v[i].y + w[i].y) / h;
            sum += dx * dx + dy * dy;
        }
        return sum;
    }
};

}  // namespace

VoARRotTransOptimize_O2::VoARRotTransOptimize_O2(const VoARPerspectiveProjectionMatrix* i_projection)
    : _projection(i_projection)
{
}

VoARRotTransOptimize_O2::~VoARRotTransOptimize_O2() = default;

double VoARRotTransOptimize_O2::refine(VoARRotMatrix* io_rotation, double* io_translation,
                                       VoARFitVecCalculator* i_fit)
{
    const VoARMarkerOffset* offset = i_fit->getOffsetSquare();
    // The search reads the corners before solveTranslation could report a
    // missing record, so the check is made here as well.
    VOTRACK_ASSERT(offset != nullptr, "src/core/VoARRotTransOptimize_O2", "i_fit->getOffsetSquare()!=nullptr");
    const TVoARDoublePoint_t* vertices = i_fit->getImageVertices();
    for (int pass = 0;; pass++) {
        searchAngles(io_rotation, io_translation, offset->corners, vertices);
        i_fit->solveTranslation(io_rotation, io_translation);
        const double error = searchAngles(io_rotation, io_translation, offset->corners, vertices);
        if (error < GOOD_ENOUGH_ERROR || pass == MAX_PASSES - 1) {
            return error;
        }
        i_fit->solveTranslation(io_rotation, io_translation);
    }
}

double VoARRotTransOptimize_O2::searchAngles(VoARRotMatrix* io_rotation, const double* i_translation,
                                             const double (*i_corners)[3],
                                             const TVoARDoublePoint_t* i_vertices) const
{
    const VoARPerspectiveProjectionMatrix& p = *_projection;
    double best[3];
    io_rotation->toAngles(best);
    // The translation's image column, fourth column of P included.
    const Vector3 t = {
        p.m00 * i_translation[0] + p.m01 * i_translation[1] + p.m02 * i_translation[2] + p.m03,
        p.m10 * i_translation[0] + p.m11 * i_translation[1] + p.m12 * i_translation[2] + p.m13,
        p.m20 * i_translation[0] + p.m21 * i_translation[1] + p.m22 * i_translation[2] + p.m23};

    double step = INITIAL_STEP;
    int best_index = 0;
    double min_error = NO_CANDIDATE_ERROR;
    CornerTerms terms;
    for (int sweep = 0; sweep < SWEEP_COUNT; sweep++) {
        min_error = NO_CANDIDATE_ERROR;
        const AngleTriple a(best[0], step);
        const AngleTriple b(best[1], step);
        const AngleTriple c(best[2], step);
        for (int ia = 0; ia < 3; ia++) {
            for (int ib = 0; ib < 3; ib++) {
                terms.set(p, a.sine[ia], a.cosine[ia], b.sine[ib], b.cosine[ib], i_corners, t);
                for (int ic = 0; ic < 3; ic++) {
                    // NaN (a corner at depth 0) never compares below.
                    const double error = terms.error(c.sine[ic], c.cosine[ic], i_vertices);
                    if (error < min_error) {
                        min_error = error;
                        best[0] = a.value[ia];
                        best[1] = b.value[ib];
                        best[2] = c.value[ic];
                        best_index = ia + 3 * ib + 9 * ic;
                    }
                }
            }
        }
        if (best_index == CENTER_INDEX) {
            step *= 0.5;
        }
    }
    io_rotation->fromAngles(best[0], best[1], best[2]);
    return min_error * 0.25;
}

}  // namespace VoTrack
