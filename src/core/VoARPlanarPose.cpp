#include "VoARPlanarPose.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "VoARException.h"

namespace VoTrack {

namespace {

constexpr int VERTEX_COUNT = 4;
constexpr int PARAMETER_COUNT = 6;
// K counts as singular when its determinant is below this fraction of the
// product of its row lengths (rows parallel to within rounding).
constexpr double MIN_RELATIVE_DETERMINANT = 1e-12;
// Levenberg-Marquardt damping, relative to the normal matrix's diagonal, by
// Nielsen's rule: started small because the decomposition starts near a
// minimum, lowered by up to a factor 3 after a step that lowers the error as
// the linear model foretold, and raised by a factor that doubles with each
// step in a row that does not.
constexpr double INITIAL_DAMPING = 1e-4;
constexpr double INITIAL_DAMPING_GROWTH = 2.0;
// A step lowering the summed squared error by no more than this fraction
// ends the refinement: the pose is then within about 1e-4 of the noise's
// effect of the minimum.
constexpr double MIN_RELATIVE_DECREASE = 1e-8;
// Below this squared angle (radians^2) the rotation of a rotation vector
// uses its series, whose first omitted term is then under 1e-18.
constexpr double SERIES_ANGLE_SQUARED = 1e-8;

using Matrix3 = double[3][3];

void multiply(const Matrix3 i_a, const Matrix3 i_b, Matrix3 o_product)
{
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            o_product[i][j] = i_a[i][0] * i_b[0][j] + i_a[i][1] * i_b[1][j] + i_a[i][2] * i_b[2][j];
        }
    }
}

void times(const Matrix3 i_m, const double i_v[3], double o_v[3])
{
    for (int i = 0; i < 3; i++) {
        o_v[i] = i_m[i][0] * i_v[0] + i_m[i][1] * i_v[1] + i_m[i][2] * i_v[2];
    }
}

void cross(const double i_a[3], const double i_b[3], double o_c[3])
{
    o_c[0] = i_a[1] * i_b[2] - i_a[2] * i_b[1];
    o_c[1] = i_a[2] * i_b[0] - i_a[0] * i_b[2];
    o_c[2] = i_a[0] * i_b[1] - i_a[1] * i_b[0];
}

double dot(const double i_a[3], const double i_b[3])
{
    return i_a[0] * i_b[0] + i_a[1] * i_b[1] + i_a[2] * i_b[2];
}

// Inverse by the adjugate; false when i_m is not finite or its rows are
// parallel to within rounding.
bool invert(const Matrix3 i_m, Matrix3 o_inverse)
{
    double adjugate[3][3];
    for (int i = 0; i < 3; i++) {
        cross(i_m[(i + 1) % 3], i_m[(i + 2) % 3], adjugate[i]);
    }
    const double determinant = dot(i_m[0], adjugate[0]);
    const double scale = std::sqrt(dot(i_m[0], i_m[0]) * dot(i_m[1], i_m[1]) * dot(i_m[2], i_m[2]));
    if (!std::isfinite(determinant) || !(std::fabs(determinant) > MIN_RELATIVE_DETERMINANT * scale)) {
        return false;
    }
    // Row i of the adjugate is column i of the inverse times the determinant.
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            o_inverse[j][i] = adjugate[i][j] / determinant;
        }
    }
    return true;
}

// I + alpha [v]x + beta [v]x^2, the form of every rotation built here.
void skewPolynomial(const double i_v[3], double i_alpha, double i_beta, Matrix3 o_r)
{
    const double w[3][3] = {{0.0, -i_v[2], i_v[1]}, {i_v[2], 0.0, -i_v[0]}, {-i_v[1], i_v[0], 0.0}};
    double w_squared[3][3];
    multiply(w, w, w_squared);
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            o_r[i][j] = (i == j ? 1.0 : 0.0) + i_alpha * w[i][j] + i_beta * w_squared[i][j];
        }
    }
}

// R = exp([w]x), the rotation by |w| radians about w (Rodrigues).
void rotationOfVector(const double i_w[3], Matrix3 o_r)
{
    const double angle_squared = dot(i_w, i_w);
    if (angle_squared < SERIES_ANGLE_SQUARED) {
        skewPolynomial(i_w, 1.0 - angle_squared / 6.0, 0.5 - angle_squared / 24.0, o_r);
        return;
    }
    const double angle = std::sqrt(angle_squared);
    skewPolynomial(i_w, std::sin(angle) / angle, (1.0 - std::cos(angle)) / angle_squared, o_r);
}

// The least rotation taking the unit vector i_from to the unit vector i_to
// (not opposite): I + [v]x + [v]x^2 / (1 + c), v = from x to, c = from . to.
void rotationTaking(const double i_from[3], const double i_to[3], Matrix3 o_r)
{
    double v[3];
    cross(i_from, i_to, v);
    skewPolynomial(v, 1.0, 1.0 / (1.0 + dot(i_from, i_to)), o_r);
}

// The vertices in marker coordinates (the unit of i_width), vertex 0 at the
// upright picture's top left, then clockwise seen from the front.
void markerVertices(double i_width, double o_vertices[VERTEX_COUNT][3])
{
    const double h = 0.5 * i_width;
    const double xs[VERTEX_COUNT] = {-h, h, h, -h};
    const double ys[VERTEX_COUNT] = {h, h, -h, -h};
    for (int i = 0; i < VERTEX_COUNT; i++) {
        o_vertices[i][0] = xs[i];
        o_vertices[i][1] = ys[i];
        o_vertices[i][2] = 0.0;
    }
}

// No three corners on a line (nor two at one point): at every corner the
// sine of the angle between its two edges is at least MIN_CORNER_SINE.
bool isQuadrilateral(const double i_corners[VERTEX_COUNT][2])
{
    for (int i = 0; i < VERTEX_COUNT; i++) {
        const double* here = i_corners[i];
        const double* next = i_corners[(i + 1) % VERTEX_COUNT];
        const double* previous = i_corners[(i + 3) % VERTEX_COUNT];
        const double a[2] = {next[0] - here[0], next[1] - here[1]};
        const double b[2] = {previous[0] - here[0], previous[1] - here[1]};
        const double area = a[0] * b[1] - a[1] * b[0];
        if (!(std::fabs(area) >= VoARPlanarPose::MIN_CORNER_SINE * std::hypot(a[0], a[1]) * std::hypot(b[0], b[1]))) {
            return false;
        }
    }
    return true;
}

// The homography H taking marker points (x, y, 1), x and y in half marker
// widths, to the images i_rays of the vertices (up to scale): the unit
// square's closed-form map onto the four points, after the affine map of
// the marker onto the unit square (vertex 0 to (0, 0), 1 to (1, 0), 2 to
// (1, 1), 3 to (0, 1)).
void squareHomography(const double i_rays[VERTEX_COUNT][2], Matrix3 o_h)
{
    const double x0 = i_rays[0][0], y0 = i_rays[0][1];
    const double x1 = i_rays[1][0], y1 = i_rays[1][1];
    const double x2 = i_rays[2][0], y2 = i_rays[2][1];
    const double x3 = i_rays[3][0], y3 = i_rays[3][1];
    const double sx = x0 - x1 + x2 - x3;
    const double sy = y0 - y1 + y2 - y3;
    const double dx1 = x1 - x2, dx2 = x3 - x2;
    const double dy1 = y1 - y2, dy2 = y3 - y2;
    // Not zero: corners 1, 2 and 3 are not collinear.
    const double denominator = dx1 * dy2 - dx2 * dy1;
    const double g = (sx * dy2 - dx2 * sy) / denominator;
    const double h = (dx1 * sy - sx * dy1) / denominator;
    const double unit[3][3] = {{x1 - x0 + g * x1, x3 - x0 + h * x3, x0},
                               {y1 - y0 + g * y1, y3 - y0 + h * y3, y0},
                               {g, h, 1.0}};
    const double marker_to_unit[3][3] = {{0.5, 0.0, 0.5}, {0.0, -0.5, 0.5}, {0.0, 0.0, 1.0}};
    multiply(unit, marker_to_unit, o_h);
}

double largestSingularValue(const double i_a[2][2])
{
    const double aat00 = i_a[0][0] * i_a[0][0] + i_a[0][1] * i_a[0][1];
    const double aat11 = i_a[1][0] * i_a[1][0] + i_a[1][1] * i_a[1][1];
    const double aat01 = i_a[0][0] * i_a[1][0] + i_a[0][1] * i_a[1][1];
    const double spread = std::hypot(aat00 - aat11, 2.0 * aat01);
    return std::sqrt(0.5 * (aat00 + aat11 + spread));
}

// The rotation whose upper-left 2 x 2 block is i_block (largest singular
// value 1) and whose third row starts with i_row (making columns 0 and 1
// unit and orthogonal): column 2 is their cross product.
void completeRotation(const double i_block[2][2], const double i_row[2], Matrix3 o_r)
{
    const double c0[3] = {i_block[0][0], i_block[1][0], i_row[0]};
    const double c1[3] = {i_block[0][1], i_block[1][1], i_row[1]};
    double c2[3];
    cross(c0, c1, c2);
    for (int i = 0; i < 3; i++) {
        o_r[i][0] = c0[i];
        o_r[i][1] = c1[i];
        o_r[i][2] = c2[i];
    }
}

// Least-squares translation for rotation i_r: each vertex's image ray
// (x, y, 1) gives t_x - x t_z = x p_z - p_x and t_y - y t_z = y p_z - p_y
// with p = R X (depth-weighted image distances, linear in t). False if the
// normal matrix is singular.
bool fitTranslation(const double i_rays[VERTEX_COUNT][2], const double i_vertices[VERTEX_COUNT][3],
                    const Matrix3 i_r, double o_t[3])
{
    double normal[3][3] = {};
    double right[3] = {};
    for (int i = 0; i < VERTEX_COUNT; i++) {
        double p[3];
        times(i_r, i_vertices[i], p);
        const double x = i_rays[i][0];
        const double y = i_rays[i][1];
        const double rows[2][3] = {{1.0, 0.0, -x}, {0.0, 1.0, -y}};
        const double values[2] = {x * p[2] - p[0], y * p[2] - p[1]};
        for (int k = 0; k < 2; k++) {
            for (int a = 0; a < 3; a++) {
                right[a] += rows[k][a] * values[k];
                for (int b = 0; b < 3; b++) {
                    normal[a][b] += rows[k][a] * rows[k][b];
                }
            }
        }
    }
    double inverse[3][3];
    if (!invert(normal, inverse)) {
        return false;
    }
    times(inverse, right, o_t);
    return true;
}

// Solves (N + i_damping diag(N)) o_delta = -i_gradient by Cholesky; false
// when the damped matrix is not positive definite.
bool solveDamped(const double i_normal[PARAMETER_COUNT][PARAMETER_COUNT], const double i_gradient[PARAMETER_COUNT],
                 double i_damping, double o_delta[PARAMETER_COUNT])
{
    // The lower triangle L with L L^T the damped matrix, and 1 / L[i][i].
    double l[PARAMETER_COUNT][PARAMETER_COUNT];
    double inverse_pivot[PARAMETER_COUNT];
    for (int i = 0; i < PARAMETER_COUNT; i++) {
        for (int j = 0; j <= i; j++) {
            double sum = i_normal[i][j] + (i == j ? i_damping * i_normal[i][i] : 0.0);
            for (int k = 0; k < j; k++) {
                sum -= l[i][k] * l[j][k];
            }
            if (i > j) {
                l[i][j] = sum * inverse_pivot[j];
            } else if (sum > 0.0) {
                l[i][i] = std::sqrt(sum);
                inverse_pivot[i] = 1.0 / l[i][i];
            } else {
                return false;
            }
        }
    }
    for (int i = 0; i < PARAMETER_COUNT; i++) {
        double sum = -i_gradient[i];
        for (int k = 0; k < i; k++) {
            sum -= l[i][k] * o_delta[k];
        }
        o_delta[i] = sum * inverse_pivot[i];
    }
    for (int i = PARAMETER_COUNT - 1; i >= 0; i--) {
        double sum = o_delta[i];
        for (int k = i + 1; k < PARAMETER_COUNT; k++) {
            sum -= l[k][i] * o_delta[k];
        }
        o_delta[i] = sum * inverse_pivot[i];
    }
    return true;
}

// The decrease of the summed squared residuals |r + J delta|^2 the linear
// model predicts for the damped step: -g . delta + damping delta^T D delta
// (D the diagonal of N), positive for any step the damped system gives.
double predictedDecrease(const double i_normal[PARAMETER_COUNT][PARAMETER_COUNT],
                         const double i_gradient[PARAMETER_COUNT], double i_damping,
                         const double i_delta[PARAMETER_COUNT])
{
    double decrease = 0.0;
    for (int k = 0; k < PARAMETER_COUNT; k++) {
        decrease += i_delta[k] * (i_damping * i_normal[k][k] * i_delta[k] - i_gradient[k]);
    }
    return decrease;
}

// The pose moved by a step: the rotation turned by delta[0..2] about the
// marker's own axes (about its centre, so that the turn barely moves the
// centre's image), the translation moved by delta[3..5].
void applyStep(const Matrix3 i_r, const double i_t[3], const double i_delta[PARAMETER_COUNT], Matrix3 o_r,
               double o_t[3])
{
    double turn[3][3];
    rotationOfVector(i_delta, turn);
    multiply(i_r, turn, o_r);
    for (int k = 0; k < 3; k++) {
        o_t[k] = i_t[k] + i_delta[3 + k];
    }
}

// A step that changes the pose by less than the rounding of its result.
bool isNegligible(const double i_delta[PARAMETER_COUNT], const double i_translation[3])
{
    const double distance = std::sqrt(dot(i_translation, i_translation));
    for (int k = 0; k < 3; k++) {
        if (std::fabs(i_delta[k]) > VoARPlanarPose::STEP_TOLERANCE ||
            std::fabs(i_delta[3 + k]) > VoARPlanarPose::STEP_TOLERANCE * distance) {
            return false;
        }
    }
    return true;
}

// Holds parameter i_index of a step at zero: its row and column of the
// normal matrix become those of the identity, its gradient zero.
void freeze(int i_index, double io_normal[PARAMETER_COUNT][PARAMETER_COUNT], double io_gradient[PARAMETER_COUNT])
{
    for (int k = 0; k < PARAMETER_COUNT; k++) {
        io_normal[i_index][k] = 0.0;
        io_normal[k][i_index] = 0.0;
    }
    io_normal[i_index][i_index] = 1.0;
    io_gradient[i_index] = 0.0;
}

// The part of the plane's normal (column 2 of i_r) across the viewing ray
// to the marker's centre i_t: the direction the plane is tilted towards.
void tiltOf(const Matrix3 i_r, const double i_t[3], double o_tilt[3])
{
    const double normal[3] = {i_r[0][2], i_r[1][2], i_r[2][2]};
    const double distance_squared = dot(i_t, i_t);
    const double along = dot(normal, i_t) / distance_squared;
    for (int k = 0; k < 3; k++) {
        o_tilt[k] = normal[k] - along * i_t[k];
    }
}

// i_r turned about the marker's centre by the least rotation that lays its
// normal along the viewing ray i_t, facing the way it faced.
void faceViewingRay(const Matrix3 i_r, const double i_t[3], Matrix3 o_r)
{
    const double normal[3] = {i_r[0][2], i_r[1][2], i_r[2][2]};
    const double distance = std::sqrt(dot(i_t, i_t));
    const double facing = dot(normal, i_t) >= 0.0 ? 1.0 : -1.0;
    const double ray[3] = {facing * i_t[0] / distance, facing * i_t[1] / distance, facing * i_t[2] / distance};
    double turn[3][3];
    rotationTaking(normal, ray, turn);
    multiply(turn, i_r, o_r);
}

}  // namespace

VoARPlanarPose::VoARPlanarPose(const VoARPerspectiveProjectionMatrix* i_projection)
    : _k{{i_projection->m00, i_projection->m01, i_projection->m02},
         {i_projection->m10, i_projection->m11, i_projection->m12},
         {i_projection->m20, i_projection->m21, i_projection->m22}},
      _k_inverse(),
      _offset()
{
    if (!invert(_k, _k_inverse)) {
        throw VoARException();
    }
    const double p4[3] = {i_projection->m03, i_projection->m13, i_projection->m23};
    times(_k_inverse, p4, _offset);
    if (!std::isfinite(_offset[0]) || !std::isfinite(_offset[1]) || !std::isfinite(_offset[2])) {
        throw VoARException();
    }
}

bool VoARPlanarPose::solve(const double i_corners[4][2], double i_marker_width, VoARTransMatResult* o_pose,
                           double* o_error, double* o_ambiguity) const
{
    double rays[VERTEX_COUNT][2];
    double rotations[2][3][3];
    double vertices[VERTEX_COUNT][3];
    if (!prepare(i_corners, i_marker_width, rays, rotations, vertices)) {
        return false;
    }
    Solution solutions[2];
    const bool valid[2] = {refineStart(i_corners, rays, vertices, rotations[0], &solutions[0]),
                           refineStart(i_corners, rays, vertices, rotations[1], &solutions[1])};
    if (!valid[0] && !valid[1]) {
        return false;
    }
    const int best = valid[0] && (!valid[1] || solutions[0].squared_error <= solutions[1].squared_error) ? 0 : 1;
    const Solution& chosen = solutions[best];
    Solution other;
    const bool other_valid = valid[1 - best] && otherSide(i_corners, vertices, chosen, solutions[1 - best], &other);
    const double error = std::sqrt(chosen.squared_error / VERTEX_COUNT);
    const double other_error = other_valid ? std::sqrt(other.squared_error / VERTEX_COUNT) : 0.0;
    storePose(chosen, o_pose);
    *o_error = error;
    // An other side fitting no worse (two exact fits, or rounding) makes the
    // two indistinguishable.
    *o_ambiguity = !other_valid ? 0.0 : (other_error > error ? error / other_error : 1.0);
    return true;
}

bool VoARPlanarPose::solveContinued(const double i_corners[4][2], double i_marker_width,
                                    const VoARDoubleMatrix34& i_previous, const double i_lean[3],
                                    VoARTransMatResult* o_continued, double* o_continued_error,
                                    VoARTransMatResult* o_other, double* o_other_error,
                                    double o_refined_tilt[3]) const
{
    double rays[VERTEX_COUNT][2];
    double rotations[2][3][3];
    double vertices[VERTEX_COUNT][3];
    if (!prepare(i_corners, i_marker_width, rays, rotations, vertices)) {
        return false;
    }
    Solution solutions[2];
    const bool valid[2] = {refineStart(i_corners, rays, vertices, rotations[0], &solutions[0]),
                           refineStart(i_corners, rays, vertices, rotations[1], &solutions[1])};
    const double previous[3][3] = {{i_previous.m00, i_previous.m01, i_previous.m02},
                                   {i_previous.m10, i_previous.m11, i_previous.m12},
                                   {i_previous.m20, i_previous.m21, i_previous.m22}};
    Solution continued;
    const bool continued_valid = refineStart(i_corners, rays, vertices, previous, &continued);
    if (!continued_valid && !valid[0] && !valid[1]) {
        return false;
    }
    if (!continued_valid) {
        continued = solutions[valid[0] && (!valid[1] || solutions[0].squared_error <= solutions[1].squared_error) ? 0 : 1];
    }
    // The mirrored start is whichever fresh one lies across the viewing ray
    // from the continued pose; with neither there, the facing pose is tried.
    double tilt[3];
    VoTrack::tiltOf(continued.rotation, continued.translation, tilt);
    int across = -1;
    for (int k = 0; k < 2; k++) {
        const double normal[3] = {solutions[k].rotation[0][2], solutions[k].rotation[1][2], solutions[k].rotation[2][2]};
        if (valid[k] && dot(normal, tilt) < 0.0 &&
            (across < 0 || solutions[k].squared_error < solutions[across].squared_error)) {
            across = k;
        }
    }
    Solution other;
    const bool other_valid = otherSide(i_corners, vertices, continued, across < 0 ? continued : solutions[across], &other);
    for (int k = 0; k < 3; k++) {
        o_refined_tilt[k] = tilt[k];
    }
    if (other_valid && crossed(i_lean, continued)) {
        std::swap(continued, other);
    }
    storePose(continued, o_continued);
    *o_continued_error = std::sqrt(continued.squared_error / VERTEX_COUNT);
    if (!other_valid) {
        o_other->has_value = false;
        *o_other_error = std::numeric_limits<double>::infinity();
        return true;
    }
    storePose(other, o_other);
    *o_other_error = std::sqrt(other.squared_error / VERTEX_COUNT);
    return true;
}

void VoARPlanarPose::tiltOf(const VoARDoubleMatrix34& i_pose, double o_tilt[3])
{
    const double rotation[3][3] = {
        {i_pose.m00, i_pose.m01, i_pose.m02}, {i_pose.m10, i_pose.m11, i_pose.m12}, {i_pose.m20, i_pose.m21, i_pose.m22}};
    const double centre[3] = {i_pose.m03, i_pose.m13, i_pose.m23};
    VoTrack::tiltOf(rotation, centre, o_tilt);
}

bool VoARPlanarPose::crossed(const double i_lean[3], const Solution& i_solution)
{
    // i_lean's part across this frame's viewing ray.
    const double* ray = i_solution.translation;
    const double along = dot(i_lean, ray) / dot(ray, ray);
    double lean[3];
    for (int k = 0; k < 3; k++) {
        lean[k] = i_lean[k] - along * ray[k];
    }
    const double normal[3] = {i_solution.rotation[0][2], i_solution.rotation[1][2], i_solution.rotation[2][2]};
    return dot(lean, lean) > MIN_SIDE_TILT * MIN_SIDE_TILT && dot(normal, lean) < 0.0;
}

bool VoARPlanarPose::prepare(const double i_corners[4][2], double i_marker_width, double o_rays[4][2],
                             double o_rotations[2][3][3], double o_vertices[4][3]) const
{
    if (!(i_marker_width > 0.0) || !std::isfinite(i_marker_width) || !toRays(i_corners, o_rays) ||
        !isQuadrilateral(i_corners) || !ambiguousRotations(o_rays, o_rotations)) {
        return false;
    }
    markerVertices(i_marker_width, o_vertices);
    return true;
}

bool VoARPlanarPose::toRays(const double i_corners[4][2], double o_rays[4][2]) const
{
    for (int i = 0; i < VERTEX_COUNT; i++) {
        if (!std::isfinite(i_corners[i][0]) || !std::isfinite(i_corners[i][1])) {
            return false;
        }
        const double pixel[3] = {i_corners[i][0], i_corners[i][1], 1.0};
        double ray[3];
        times(_k_inverse, pixel, ray);
        o_rays[i][0] = ray[0] / ray[2];
        o_rays[i][1] = ray[1] / ray[2];
    }
    return true;
}

bool VoARPlanarPose::ambiguousRotations(const double i_rays[4][2], double o_rotations[2][3][3])
{
    double h[3][3];
    squareHomography(i_rays, h);
    // The image q of the marker's centre and the Jacobian J there of the
    // image (normalised coordinates) in the marker plane (half widths).
    const double q[2] = {h[0][2] / h[2][2], h[1][2] / h[2][2]};
    double jacobian[2][2];
    for (int i = 0; i < 2; i++) {
        for (int j = 0; j < 2; j++) {
            jacobian[i][j] = (h[i][j] - q[i] * h[2][j]) / h[2][2];
        }
    }
    // Let Rv be the least rotation taking the optical axis onto the ray
    // through (q, 1), s = |(q, 1)|, and R = Rv R'. With t along that ray,
    // J = [I, -q] R[:, 0:2] / t_z = B R'[0:2, 0:2] / t_z, where B = [I, -q]
    // Rv[:, 0:2] = I + q q^T / (s + 1), so B^-1 = I - q q^T / (s (s + 1)):
    // A = B^-1 J is the upper-left block of R' scaled by its largest
    // singular value (the block's other singular value is at most 1).
    const double s = std::sqrt(1.0 + q[0] * q[0] + q[1] * q[1]);
    const double axis[3] = {0.0, 0.0, 1.0};
    const double ray[3] = {q[0] / s, q[1] / s, 1.0 / s};
    double rv[3][3];
    rotationTaking(axis, ray, rv);
    double a[2][2];
    for (int i = 0; i < 2; i++) {
        const double b_inverse[2] = {(i == 0 ? 1.0 : 0.0) - q[i] * q[0] / (s * (s + 1.0)),
                                     (i == 1 ? 1.0 : 0.0) - q[i] * q[1] / (s * (s + 1.0))};
        for (int j = 0; j < 2; j++) {
            a[i][j] = b_inverse[0] * jacobian[0][j] + b_inverse[1] * jacobian[1][j];
        }
    }
    const double gamma = largestSingularValue(a);
    if (!(gamma > 0.0) || !std::isfinite(gamma)) {
        return false;
    }
    const double block[2][2] = {{a[0][0] / gamma, a[0][1] / gamma}, {a[1][0] / gamma, a[1][1] / gamma}};
    // The third row (b0, b1) of R' makes columns 0 and 1 unit and orthogonal:
    // b b^T = I - block^T block, known up to its sign, which tells the two
    // solutions apart (the plane's normal reflected about the viewing ray).
    const double h00 = 1.0 - block[0][0] * block[0][0] - block[1][0] * block[1][0];
    const double h11 = 1.0 - block[0][1] * block[0][1] - block[1][1] * block[1][1];
    const double h01 = -(block[0][0] * block[0][1] + block[1][0] * block[1][1]);
    const double row[2] = {std::sqrt(std::max(h00, 0.0)), std::copysign(std::sqrt(std::max(h11, 0.0)), h01)};
    for (int k = 0; k < 2; k++) {
        const double sign = k == 0 ? 1.0 : -1.0;
        const double signed_row[2] = {sign * row[0], sign * row[1]};
        double local[3][3];
        completeRotation(block, signed_row, local);
        multiply(rv, local, o_rotations[k]);
    }
    return true;
}

bool VoARPlanarPose::refineStart(const double i_corners[4][2], const double i_rays[4][2],
                                 const double i_vertices[4][3], const double i_rotation[3][3],
                                 Solution* o_solution) const
{
    std::copy(&i_rotation[0][0], &i_rotation[0][0] + 9, &o_solution->rotation[0][0]);
    if (!fitTranslation(i_rays, i_vertices, o_solution->rotation, o_solution->translation)) {
        return false;
    }
    o_solution->squared_error = squaredError(i_corners, i_vertices, VERTEX_COUNT, *o_solution);
    refine(i_corners, i_vertices, VERTEX_COUNT, Motion::FULL, o_solution);
    return isAcceptable(*o_solution);
}

void VoARPlanarPose::refine(const double (*i_corners)[2], const double (*i_vertices)[3], int i_count,
                            Motion i_motion, Solution* io_solution) const
{
    double normal[PARAMETER_COUNT][PARAMETER_COUNT];
    double gradient[PARAMETER_COUNT];
    bool linearised = false;
    double damping = INITIAL_DAMPING;
    double growth = INITIAL_DAMPING_GROWTH;
    for (int step = 0; step < MAX_STEPS; step++) {
        if (!linearised) {
            linearise(i_corners, i_vertices, i_count, *io_solution, normal, gradient);
            if (i_motion == Motion::HOLD_NORMAL) {
                // Turns about the marker's x and y axes move the normal.
                freeze(0, normal, gradient);
                freeze(1, normal, gradient);
            }
            linearised = true;
        }
        double delta[PARAMETER_COUNT];
        Solution trial;
        const bool solved = solveDamped(normal, gradient, damping, delta);
        if (solved) {
            applyStep(io_solution->rotation, io_solution->translation, delta, trial.rotation, trial.translation);
            trial.squared_error = squaredError(i_corners, i_vertices, i_count, trial);
        }
        if (!solved || !(trial.squared_error < io_solution->squared_error)) {
            // A step too small to change the pose cannot lower the error:
            // the pose is at the minimum to within rounding.
            if (solved && isNegligible(delta, io_solution->translation)) {
                return;
            }
            damping *= growth;
            growth *= 2.0;
            continue;
        }
        const double decrease = io_solution->squared_error - trial.squared_error;
        const double gain = decrease / predictedDecrease(normal, gradient, damping, delta);
        const double misfit = 2.0 * gain - 1.0;
        damping *= std::max(1.0 / 3.0, 1.0 - misfit * misfit * misfit);
        growth = INITIAL_DAMPING_GROWTH;
        *io_solution = trial;
        linearised = false;
        const bool converged = decrease <= MIN_RELATIVE_DECREASE * (trial.squared_error + decrease);
        if (converged || isNegligible(delta, trial.translation)) {
            return;
        }
    }
}

void VoARPlanarPose::linearise(const double (*i_corners)[2], const double (*i_vertices)[3], int i_count,
                               const Solution& i_solution, double o_normal[6][6], double o_gradient[6]) const
{
    std::fill(&o_normal[0][0], &o_normal[0][0] + PARAMETER_COUNT * PARAMETER_COUNT, 0.0);
    std::fill(o_gradient, o_gradient + PARAMETER_COUNT, 0.0);
    const Matrix3& r = i_solution.rotation;
    for (int i = 0; i < i_count; i++) {
        double p[3];
        times(r, i_vertices[i], p);
        for (int k = 0; k < 3; k++) {
            p[k] += i_solution.translation[k];
        }
        double h[3];
        times(_k, p, h);
        const double inverse_depth = 1.0 / h[2];
        for (int axis = 0; axis < 2; axis++) {
            const double pixel = h[axis] * inverse_depth;
            const double residual = pixel - i_corners[i][axis];
            // Row of d residual / d (w, t): g = d pixel / d p in columns 3 to
            // 5, and through p = R exp([w]x) X + t, d p / d w = -R [X]x, so
            // columns 0 to 2 hold X x (R^T g).
            double row[PARAMETER_COUNT];
            double* g = row + 3;
            for (int k = 0; k < 3; k++) {
                g[k] = (_k[axis][k] - pixel * _k[2][k]) * inverse_depth;
            }
            const double rg[3] = {r[0][0] * g[0] + r[1][0] * g[1] + r[2][0] * g[2],
                                  r[0][1] * g[0] + r[1][1] * g[1] + r[2][1] * g[2],
                                  r[0][2] * g[0] + r[1][2] * g[1] + r[2][2] * g[2]};
            cross(i_vertices[i], rg, row);
            for (int a = 0; a < PARAMETER_COUNT; a++) {
                o_gradient[a] += row[a] * residual;
                for (int b = a; b < PARAMETER_COUNT; b++) {
                    o_normal[a][b] += row[a] * row[b];
                }
            }
        }
    }
    for (int a = 1; a < PARAMETER_COUNT; a++) {
        for (int b = 0; b < a; b++) {
            o_normal[a][b] = o_normal[b][a];
        }
    }
}

double VoARPlanarPose::squaredError(const double (*i_corners)[2], const double (*i_vertices)[3], int i_count,
                                    const Solution& i_solution) const
{
    double sum = 0.0;
    for (int i = 0; i < i_count; i++) {
        double p[3];
        times(i_solution.rotation, i_vertices[i], p);
        for (int k = 0; k < 3; k++) {
            p[k] += i_solution.translation[k];
        }
        double h[3];
        times(_k, p, h);
        const double inverse_depth = 1.0 / h[2];
        const double dx = h[0] * inverse_depth - i_corners[i][0];
        const double dy = h[1] * inverse_depth - i_corners[i][1];
        sum += dx * dx + dy * dy;
    }
    return sum;
}

bool VoARPlanarPose::otherSide(const double i_corners[4][2], const double i_vertices[4][3], const Solution& i_best,
                               const Solution& i_other, Solution* o_other) const
{
    Solution facing = i_best;
    faceViewingRay(i_best.rotation, i_best.translation, facing.rotation);
    facing.squared_error = squaredError(i_corners, i_vertices, VERTEX_COUNT, facing);
    refine(i_corners, i_vertices, VERTEX_COUNT, Motion::HOLD_NORMAL, &facing);
    const bool facing_valid = isAcceptable(facing);
    // The mirrored start counts only if its refinement stayed on its side;
    // otherwise it came back to i_best's minimum.
    double tilt[3];
    VoTrack::tiltOf(i_best.rotation, i_best.translation, tilt);
    const double other_normal[3] = {i_other.rotation[0][2], i_other.rotation[1][2], i_other.rotation[2][2]};
    const bool other_side = dot(other_normal, tilt) < 0.0;
    if (other_side && (!facing_valid || i_other.squared_error < facing.squared_error)) {
        *o_other = i_other;
        return true;
    }
    *o_other = facing;
    return facing_valid;
}

bool VoARPlanarPose::refinePoints(const double (*i_pixels)[2], const double (*i_points)[3], int32_t i_count,
                                  const VoARTransMatResult& i_start, VoARTransMatResult* o_pose,
                                  double* o_error) const
{
    if (i_count < MIN_REFINED_POINTS || !i_start.has_value) {
        return false;
    }
    for (int32_t i = 0; i < i_count; i++) {
        if (!std::isfinite(i_pixels[i][0]) || !std::isfinite(i_pixels[i][1]) || !std::isfinite(i_points[i][0]) ||
            !std::isfinite(i_points[i][1]) || !std::isfinite(i_points[i][2])) {
            return false;
        }
    }
    const double start[3][4] = {{i_start.m00, i_start.m01, i_start.m02, i_start.m03},
                                {i_start.m10, i_start.m11, i_start.m12, i_start.m13},
                                {i_start.m20, i_start.m21, i_start.m22, i_start.m23}};
    Solution solution;
    for (int r = 0; r < 3; r++) {
        std::copy(start[r], start[r] + 3, solution.rotation[r]);
        solution.translation[r] = start[r][3] + _offset[r];
    }
    solution.squared_error = squaredError(i_pixels, i_points, i_count, solution);
    if (!isAcceptable(solution)) {
        return false;
    }
    refine(i_pixels, i_points, i_count, Motion::FULL, &solution);
    if (!isAcceptable(solution)) {
        return false;
    }
    storePose(solution, o_pose);
    *o_error = std::sqrt(solution.squared_error / i_count);
    return true;
}

bool VoARPlanarPose::isAcceptable(const Solution& i_solution) const
{
    return std::isfinite(i_solution.squared_error) && i_solution.translation[2] - _offset[2] > 0.0;
}

void VoARPlanarPose::storePose(const Solution& i_solution, VoARTransMatResult* o_pose) const
{
    const double (&r)[3][3] = i_solution.rotation;
    const double* t = i_solution.translation;
    const double values[VoARDoubleMatrix34::ELEMENT_COUNT] = {
        r[0][0], r[0][1], r[0][2], t[0] - _offset[0], r[1][0], r[1][1], r[1][2], t[1] - _offset[1],
        r[2][0], r[2][1], r[2][2], t[2] - _offset[2]};
    o_pose->setValue(values);
    o_pose->has_value = true;
}

}  // namespace VoTrack
