#pragma once

#include <cstdint>

#include "VoARPerspectiveProjectionMatrix.h"
#include "VoARTransMatResult.h"

namespace VoTrack {

// Pose of a square marker from the ideal pixels of its four vertices, with
// the planar ambiguity (two poses that image a small square alike) resolved
// by reprojection error and reported.
//
// Finds R, t minimising the reprojection error of the four marker vertices
//   sum over i of |pi(P (R X_i + t)) - c_i|^2   (squared pixels),
// over rotations R (det +1) and translations t with the marker's centre in
// front of the camera (t_z > 0), where X_i are vertices 0 to 3 of a marker of
// width w in marker coordinates, (-w/2, w/2, 0), (w/2, w/2, 0), (w/2, -w/2, 0),
// (-w/2, -w/2, 0), P the 3 x 4 projection matrix applied to (X, 1),
// pi(u, v, w) = (u / w, v / w), and c_i the given ideal pixel of vertex i.
// Both local minima of the ambiguity are sought: the homography of the
// square is decomposed at the marker's centre into the two rotations that
// image it alike to first order (the plane's normal reflected about the
// viewing ray), each is refined by Levenberg-Marquardt, and the one with the
// lower error is returned.
class VoARPlanarPose
{
public:
    // Corners whose angle (at any of the four) has a sine below this count as
    // collinear: no square is seen that flat short of 89.9999999 degrees of
    // tilt, and the homography through such corners is rounding noise.
    static constexpr double MIN_CORNER_SINE = 1e-9;
    // Refinement: at most this many trial steps per solution...
    static constexpr int MAX_STEPS = 40;
    // ...ending early once a step turns the rotation by less than this many
    // radians and moves the marker by less than this fraction of its distance.
    static constexpr double STEP_TOLERANCE = 1e-12;
    // A pose whose normal leans across the viewing ray by less than this
    // sine (1 degree) has no side of the ambiguity to keep: the two poses
    // are then within the noise of each other for any marker.
    static constexpr double MIN_SIDE_TILT = 0.0175;

    // Reads the camera from i_projection once, here: P (X, 1) = K (X + K^-1 p4)
    // with K the left 3 x 3 block and p4 the fourth column, so a solver built
    // before the camera is rescaled keeps the old camera. Throws
    // VoARException if K is not finite or not invertible.
    explicit VoARPlanarPose(const VoARPerspectiveProjectionMatrix* i_projection);

    // i_corners: the ideal pixels (x, y) of marker vertices 0 to 3, in marker
    // order; i_marker_width: the marker's edge length, in the unit the
    // translation comes out in. On success stores the pose (columns 0 to 2 R,
    // column 3 t; has_value set), the RMS distance in pixels between the
    // corners and the pose's projected vertices (o_error), and that error
    // divided by the least error found with the plane's normal on the other
    // side of the viewing ray (o_ambiguity, 0 to 1: near 1 the two are hard
    // to tell apart, as for a small or a fronto-parallel marker; 1 when both
    // fit exactly; 0 when the mirrored start's refinement lies behind the
    // camera). The other side's candidates are the refined mirrored start,
    // if it stays on its side (where there is no second minimum it comes
    // back to the returned one), and the pose facing the camera squarely
    // (normal along the viewing ray), on the edge between the sides, refined
    // with its normal held.
    // Returns false, changing no output, for a width that is not positive and
    // finite, corners that are not finite or three of which are collinear,
    // or when both starts refine to poses behind the camera. Allocates nothing.
    bool solve(const double i_corners[4][2], double i_marker_width, VoARTransMatResult* o_pose, double* o_error,
               double* o_ambiguity) const;
    // The continued form, for a marker whose pose in an earlier frame was
    // i_previous: refines from i_previous's rotation (the translation fitted
    // anew) to the nearest minimum, which stays on i_previous's side of the
    // ambiguity where solve() might pick the other (o_continued, RMS error
    // o_continued_error); when that refinement is not acceptable, the pose
    // solve() gives. o_other: the least-error pose found on the other side of
    // the ambiguity from o_continued, as solve() seeks it (has_value false
    // and o_other_error infinite when none is acceptable). i_lean: the way
    // the marker's normal has leaned across its viewing ray (a tilt, as
    // tiltOf() gives, in camera coordinates), whose side is kept: when it
    // leans by MIN_SIDE_TILT or more and the noise of this frame leaves no
    // minimum on its side (the refinement crossed over), the two change
    // places: o_continued is the best pose on i_lean's side (often the one
    // facing squarely along the viewing ray), o_other the minimum across.
    // o_refined_tilt: the tilt of the refinement from i_previous, before any
    // change of places. Returns false as solve() does, changing no output.
    // Allocates nothing.
    bool solveContinued(const double i_corners[4][2], double i_marker_width, const VoARDoubleMatrix34& i_previous,
                        const double i_lean[3], VoARTransMatResult* o_continued, double* o_continued_error,
                        VoARTransMatResult* o_other, double* o_other_error, double o_refined_tilt[3]) const;
    // How a pose's normal leans across the viewing ray to its centre: the
    // normal's part square to the ray (length the sine of the angle between
    // them), 0 for a marker facing the camera squarely.
    static void tiltOf(const VoARDoubleMatrix34& i_pose, double o_tilt[3]);

    // Least points refinePoints takes: three points off one line fix a pose.
    static constexpr int32_t MIN_REFINED_POINTS = 3;

    // Refines i_start, a pose near the best one, on the reprojection error of
    // any number of points: i_points in the object's coordinates (the
    // marker's, or a board's), i_pixels their ideal pixels. Stores the
    // refined pose and the RMS distance in pixels between the pixels and the
    // projected points (o_error). Returns false, changing no output, for
    // fewer than MIN_REFINED_POINTS points, a value that is not finite, a
    // start without a value, or a start or result whose origin lies behind
    // the camera. Allocates nothing.
    bool refinePoints(const double (*i_pixels)[2], const double (*i_points)[3], int32_t i_count,
                      const VoARTransMatResult& i_start, VoARTransMatResult* o_pose, double* o_error) const;

private:
    // What the refinement moves: the whole pose, or the translation and the
    // turn about the marker's normal only, which holds the normal.
    enum class Motion
    {
        FULL,
        HOLD_NORMAL
    };

    // One candidate pose, its translation in the frame of K (the camera
    // frame moved by K^-1 p4), with the summed squared distances in pixels
    // between the corners and its projected vertices.
    struct Solution
    {
        double rotation[3][3];
        double translation[3];
        double squared_error;
    };

    // Dehomogenised K^-1 (c_i, 1); false unless all corners are finite.
    bool toRays(const double i_corners[4][2], double o_rays[4][2]) const;
    // The two starting rotations from the corners' normalised image
    // coordinates (K^-1 applied); false if the decomposition degenerates.
    static bool ambiguousRotations(const double i_rays[4][2], double o_rotations[2][3][3]);
    // One decomposed rotation with its least-squares translation, refined;
    // false if the translation has no fit or the result is not acceptable.
    bool refineStart(const double i_corners[4][2], const double i_rays[4][2], const double i_vertices[4][3],
                     const double i_rotation[3][3], Solution* o_solution) const;
    // Levenberg-Marquardt on the summed squared pixel distances, from
    // io_solution (whose squared_error must be that of its pose).
    void refine(const double (*i_corners)[2], const double (*i_vertices)[3], int i_count, Motion i_motion,
                Solution* io_solution) const;
    // Jacobian of the eight pixel residuals in the rotation update (a
    // rotation vector in marker coordinates) and the translation, as the
    // normal matrix J^T J and the gradient J^T r.
    void linearise(const double (*i_corners)[2], const double (*i_vertices)[3], int i_count,
                   const Solution& i_solution, double o_normal[6][6], double o_gradient[6]) const;
    // Summed squared distances, in pixels, between the corners and the
    // solution's projected vertices.
    double squaredError(const double (*i_corners)[2], const double (*i_vertices)[3], int i_count,
                        const Solution& i_solution) const;
    // Whether i_solution's normal leans across its viewing ray against
    // i_lean, i_lean leaning across that ray by MIN_SIDE_TILT or more.
    static bool crossed(const double i_lean[3], const Solution& i_solution);
    // The corners' rays, the two starting rotations and the vertices, after
    // checking the width and the corners; false when solving is hopeless.
    bool prepare(const double i_corners[4][2], double i_marker_width, double o_rays[4][2],
                 double o_rotations[2][3][3], double o_vertices[4][3]) const;
    // The least-error candidate on the other side of the ambiguity from
    // i_best, given the refined mirrored start i_other; false if no candidate
    // there is acceptable.
    bool otherSide(const double i_corners[4][2], const double i_vertices[4][3], const Solution& i_best,
                   const Solution& i_other, Solution* o_other) const;
    // A finite error, and the marker's centre in front of the camera
    // (t_z > 0 once moved back from the frame of K).
    bool isAcceptable(const Solution& i_solution) const;
    void storePose(const Solution& i_solution, VoARTransMatResult* o_pose) const;

    // K, its inverse, and K^-1 p4 (in the translation's unit).
    double _k[3][3];
    double _k_inverse[3][3];
    double _offset[3];
};

}  // namespace VoTrack
