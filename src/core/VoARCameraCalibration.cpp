#include "VoARCameraCalibration.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "VoARCameraDistortionFactor.h"

namespace VoTrack {

namespace {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;

constexpr int32_t POSE_PARAMETERS = 6;
constexpr int32_t FX = 0;
constexpr int32_t FY = 1;
constexpr int32_t CX = 2;
constexpr int32_t CY = 3;
constexpr int32_t DX = 4;
constexpr int32_t DY = 5;
constexpr int32_t COEFFICIENT = 6;
// Jacobi sweeps for the homography's 9 x 9 system: it converges in a few.
constexpr int32_t JACOBI_SWEEPS = 50;
// Levenberg-Marquardt: damping relative to the normal matrix's diagonal,
// and the relative decrease of the squared error that ends it.
constexpr double INITIAL_DAMPING = 1e-3;
constexpr double MIN_RELATIVE_DECREASE = 1e-12;
// Forward-difference steps: relative to the value for the camera and the
// translation, absolute (radians) for the rotation.
constexpr double RELATIVE_STEP = 1e-7;
constexpr double ROTATION_STEP = 1e-8;
constexpr int32_t DROP_ROUNDS = 3;
// A weak pull of the distortion's centre towards the principal point (per
// pixel apart, in the residuals' pixels): without a lens the centre has no
// effect on the points, and this keeps it, and the fit, determined; with
// one it moves the centre by far less than its uncertainty.
constexpr double CENTRE_PRIOR_WEIGHT = 1e-3;

Vec3 cross(const Vec3& i_a, const Vec3& i_b)
{
    return {i_a[1] * i_b[2] - i_a[2] * i_b[1], i_a[2] * i_b[0] - i_a[0] * i_b[2], i_a[0] * i_b[1] - i_a[1] * i_b[0]};
}

double norm(const Vec3& i_v)
{
    return std::sqrt(i_v[0] * i_v[0] + i_v[1] * i_v[1] + i_v[2] * i_v[2]);
}

Mat3 multiply(const Mat3& i_a, const Mat3& i_b)
{
    Mat3 product{};
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++) {
            product[r][c] = i_a[r][0] * i_b[0][c] + i_a[r][1] * i_b[1][c] + i_a[r][2] * i_b[2][c];
        }
    }
    return product;
}

Mat3 transpose(const Mat3& i_m)
{
    Mat3 t{};
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++) {
            t[r][c] = i_m[c][r];
        }
    }
    return t;
}

bool invert(const Mat3& i_m, Mat3* o_inverse)
{
    const Vec3 c0 = cross(i_m[1], i_m[2]);
    const double determinant = i_m[0][0] * c0[0] + i_m[0][1] * c0[1] + i_m[0][2] * c0[2];
    if (!std::isfinite(determinant) || determinant == 0.0) {
        return false;
    }
    const Vec3 c1 = cross(i_m[2], i_m[0]);
    const Vec3 c2 = cross(i_m[0], i_m[1]);
    for (int r = 0; r < 3; r++) {
        (*o_inverse)[r] = {c0[r] / determinant, c1[r] / determinant, c2[r] / determinant};
    }
    return true;
}

// exp([w]x) by Rodrigues' formula.
Mat3 rotationOfVector(const Vec3& i_w)
{
    const double angle = norm(i_w);
    Mat3 r{{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}}};
    if (angle == 0.0) {
        return r;
    }
    const Vec3 k = {i_w[0] / angle, i_w[1] / angle, i_w[2] / angle};
    const double s = std::sin(angle);
    const double c = 1.0 - std::cos(angle);
    const Mat3 kx{{{0.0, -k[2], k[1]}, {k[2], 0.0, -k[0]}, {-k[1], k[0], 0.0}}};
    const Mat3 kx2 = multiply(kx, kx);
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            r[i][j] += s * kx[i][j] + c * kx2[i][j];
        }
    }
    return r;
}

// The rotation nearest to i_m (polar decomposition by Newton's iteration,
// which converges quadratically from a nearly orthogonal start).
bool nearestRotation(Mat3 i_m, Mat3* o_rotation)
{
    for (int32_t i = 0; i < 30; i++) {
        Mat3 inverse;
        if (!invert(i_m, &inverse)) {
            return false;
        }
        const Mat3 inverse_t = transpose(inverse);
        for (int r = 0; r < 3; r++) {
            for (int c = 0; c < 3; c++) {
                i_m[r][c] = 0.5 * (i_m[r][c] + inverse_t[r][c]);
            }
        }
    }
    *o_rotation = i_m;
    return true;
}

// The eigenvector of the least eigenvalue of the symmetric i_n x i_n matrix
// io_a (row by row, destroyed), by cyclic Jacobi rotations.
std::vector<double> leastEigenvector(std::vector<double> io_a, int32_t i_n)
{
    std::vector<double> v(static_cast<size_t>(i_n * i_n), 0.0);
    for (int32_t i = 0; i < i_n; i++) {
        v[static_cast<size_t>(i * i_n + i)] = 1.0;
    }
    auto a = [&](int32_t i_r, int32_t i_c) -> double& { return io_a[static_cast<size_t>(i_r * i_n + i_c)]; };
    for (int32_t sweep = 0; sweep < JACOBI_SWEEPS; sweep++) {
        double off = 0.0;
        for (int32_t p = 0; p < i_n; p++) {
            for (int32_t q = p + 1; q < i_n; q++) {
                off += a(p, q) * a(p, q);
            }
        }
        if (off < 1e-30) {
            break;
        }
        for (int32_t p = 0; p < i_n; p++) {
            for (int32_t q = p + 1; q < i_n; q++) {
                if (a(p, q) == 0.0) {
                    continue;
                }
                const double theta = (a(q, q) - a(p, p)) / (2.0 * a(p, q));
                const double t = (theta >= 0.0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0);
                const double s = t * c;
                for (int32_t k = 0; k < i_n; k++) {
                    const double akp = a(k, p);
                    const double akq = a(k, q);
                    a(k, p) = c * akp - s * akq;
                    a(k, q) = s * akp + c * akq;
                }
                for (int32_t k = 0; k < i_n; k++) {
                    const double apk = a(p, k);
                    const double aqk = a(q, k);
                    a(p, k) = c * apk - s * aqk;
                    a(q, k) = s * apk + c * aqk;
                }
                for (int32_t k = 0; k < i_n; k++) {
                    const double vkp = v[static_cast<size_t>(k * i_n + p)];
                    const double vkq = v[static_cast<size_t>(k * i_n + q)];
                    v[static_cast<size_t>(k * i_n + p)] = c * vkp - s * vkq;
                    v[static_cast<size_t>(k * i_n + q)] = s * vkp + c * vkq;
                }
            }
        }
    }
    int32_t least = 0;
    for (int32_t i = 1; i < i_n; i++) {
        least = a(i, i) < a(least, least) ? i : least;
    }
    std::vector<double> vector(static_cast<size_t>(i_n));
    for (int32_t k = 0; k < i_n; k++) {
        vector[static_cast<size_t>(k)] = v[static_cast<size_t>(k * i_n + least)];
    }
    return vector;
}

// A similarity moving points to their centroid, at mean distance sqrt(2).
Mat3 normalisation(const std::vector<std::array<double, 2>>& i_points)
{
    double mx = 0.0;
    double my = 0.0;
    for (const auto& p : i_points) {
        mx += p[0];
        my += p[1];
    }
    mx /= static_cast<double>(i_points.size());
    my /= static_cast<double>(i_points.size());
    double spread = 0.0;
    for (const auto& p : i_points) {
        spread += std::hypot(p[0] - mx, p[1] - my);
    }
    spread /= static_cast<double>(i_points.size());
    const double s = spread > 0.0 ? std::sqrt(2.0) / spread : 1.0;
    return Mat3{{{s, 0.0, -s * mx}, {0.0, s, -s * my}, {0.0, 0.0, 1.0}}};
}

Vec3 apply(const Mat3& i_m, double i_x, double i_y)
{
    return {i_m[0][0] * i_x + i_m[0][1] * i_y + i_m[0][2], i_m[1][0] * i_x + i_m[1][1] * i_y + i_m[1][2],
            i_m[2][0] * i_x + i_m[2][1] * i_y + i_m[2][2]};
}

// The homography taking plane points to observed ones (normalised direct
// linear transform).
bool homographyOf(const VoARCameraCalibration::TView& i_view, Mat3* o_h)
{
    const Mat3 tp = normalisation(i_view.plane);
    const Mat3 to = normalisation(i_view.observed);
    std::vector<double> ata(81, 0.0);
    for (size_t i = 0; i < i_view.plane.size(); i++) {
        const Vec3 p = apply(tp, i_view.plane[i][0], i_view.plane[i][1]);
        const Vec3 o = apply(to, i_view.observed[i][0], i_view.observed[i][1]);
        const double rows[2][9] = {{p[0], p[1], 1.0, 0.0, 0.0, 0.0, -o[0] * p[0], -o[0] * p[1], -o[0]},
                                   {0.0, 0.0, 0.0, p[0], p[1], 1.0, -o[1] * p[0], -o[1] * p[1], -o[1]}};
        for (const auto& row : rows) {
            for (int a = 0; a < 9; a++) {
                for (int b = 0; b < 9; b++) {
                    ata[static_cast<size_t>(a * 9 + b)] += row[a] * row[b];
                }
            }
        }
    }
    const std::vector<double> h = leastEigenvector(std::move(ata), 9);
    const Mat3 hn{{{h[0], h[1], h[2]}, {h[3], h[4], h[5]}, {h[6], h[7], h[8]}}};
    Mat3 to_inverse;
    if (!invert(to, &to_inverse)) {
        return false;
    }
    *o_h = multiply(multiply(to_inverse, hn), tp);
    return std::isfinite((*o_h)[2][2]);
}

// One focal length from the homographies with the principal point at
// (i_cx, i_cy): each view's two orthonormality conditions are linear in
// 1/f^2, which gives each view its own estimate; the median of them keeps a
// view of wrongly matched points from spoiling the start.
bool focalLength(const std::vector<Mat3>& i_hs, double i_cx, double i_cy, double* o_focal)
{
    const Mat3 shift{{{1.0, 0.0, -i_cx}, {0.0, 1.0, -i_cy}, {0.0, 0.0, 1.0}}};
    std::vector<double> focals;
    for (const Mat3& raw : i_hs) {
        const Mat3 h = multiply(shift, raw);
        // (h00 h01 + h10 h11) u = -h20 h21 and (h00^2 - h01^2 + h10^2 -
        // h11^2) u = -(h20^2 - h21^2), u = 1 / f^2.
        const double rows[2][2] = {
            {h[0][0] * h[0][1] + h[1][0] * h[1][1], h[2][0] * h[2][1]},
            {h[0][0] * h[0][0] - h[0][1] * h[0][1] + h[1][0] * h[1][0] - h[1][1] * h[1][1],
             h[2][0] * h[2][0] - h[2][1] * h[2][1]}};
        const double aa = rows[0][0] * rows[0][0] + rows[1][0] * rows[1][0];
        const double ab = -(rows[0][0] * rows[0][1] + rows[1][0] * rows[1][1]);
        const double u = ab / aa;
        if (u > 0.0 && std::isfinite(u)) {
            focals.push_back(1.0 / std::sqrt(u));
        }
    }
    if (focals.empty()) {
        return false;
    }
    std::sort(focals.begin(), focals.end());
    *o_focal = focals[focals.size() / 2];
    return true;
}

struct TPose
{
    Mat3 rotation;
    Vec3 translation;
};

bool poseOfHomography(const Mat3& i_h, const VoARCameraCalibration::TCamera& i_camera, TPose* o_pose)
{
    const auto& c = i_camera.values;
    const Mat3 k{{{c[FX], 0.0, c[CX]}, {0.0, c[FY], c[CY]}, {0.0, 0.0, 1.0}}};
    Mat3 k_inverse;
    if (!invert(k, &k_inverse)) {
        return false;
    }
    const Mat3 m = multiply(k_inverse, i_h);
    const Vec3 m0 = {m[0][0], m[1][0], m[2][0]};
    const Vec3 m1 = {m[0][1], m[1][1], m[2][1]};
    const Vec3 m2 = {m[0][2], m[1][2], m[2][2]};
    double lambda = 2.0 / (norm(m0) + norm(m1));
    // The plane lies in front of the camera.
    if (m2[2] * lambda < 0.0) {
        lambda = -lambda;
    }
    const Vec3 r0 = {m0[0] * lambda, m0[1] * lambda, m0[2] * lambda};
    const Vec3 r1 = {m1[0] * lambda, m1[1] * lambda, m1[2] * lambda};
    const Vec3 r2 = cross(r0, r1);
    const Mat3 r{{{r0[0], r1[0], r2[0]}, {r0[1], r1[1], r2[1]}, {r0[2], r1[2], r2[2]}}};
    o_pose->translation = {m2[0] * lambda, m2[1] * lambda, m2[2] * lambda};
    return nearestRotation(r, &o_pose->rotation) && std::isfinite(o_pose->translation[2]);
}

// Where the plane point (i_x, i_y) is observed through the camera and pose.
std::array<double, 2> project(const VoARCameraCalibration::TCamera& i_camera, const TPose& i_pose, double i_x,
                              double i_y)
{
    const auto& c = i_camera.values;
    const auto& r = i_pose.rotation;
    const double x = r[0][0] * i_x + r[0][1] * i_y + i_pose.translation[0];
    const double y = r[1][0] * i_x + r[1][1] * i_y + i_pose.translation[1];
    const double z = r[2][0] * i_x + r[2][1] * i_y + i_pose.translation[2];
    const double u = c[FX] * x / z + c[CX] - c[DX];
    const double v = c[FY] * y / z + c[CY] - c[DY];
    const double d = 1.0 - (c[COEFFICIENT] / VoARCameraDistortionFactor::COEFFICIENT_UNIT) * (u * u + v * v);
    return {u * d + c[DX], v * d + c[DY]};
}

// The views being solved and their poses.
class Problem
{
public:
    Problem(const std::vector<const VoARCameraCalibration::TView*>& i_views, VoARCameraCalibration::TCamera i_camera,
            std::vector<TPose> i_poses)
        : _views(i_views), _camera(i_camera), _poses(std::move(i_poses))
    {
        _parameters = VoARCameraCalibration::CAMERA_PARAMETERS +
                      POSE_PARAMETERS * static_cast<int32_t>(_views.size());
        for (const auto* view : _views) {
            _residuals += 2 * static_cast<int32_t>(view->plane.size());
        }
    }

    void solve()
    {
        double damping = INITIAL_DAMPING;
        double cost = squaredError(_camera, _poses);
        for (int32_t iteration = 0; iteration < VoARCameraCalibration::MAX_ITERATIONS; iteration++) {
            std::vector<double> normal;
            std::vector<double> gradient;
            linearise(&normal, &gradient);
            bool improved = false;
            for (int32_t attempt = 0; attempt < 12 && !improved; attempt++) {
                std::vector<double> damped = normal;
                for (int32_t i = 0; i < _parameters; i++) {
                    const size_t d = static_cast<size_t>(i * _parameters + i);
                    damped[d] += damping * std::max(normal[d], 1e-12);
                }
                std::vector<double> step(gradient.size());
                for (size_t i = 0; i < gradient.size(); i++) {
                    step[i] = -gradient[i];
                }
                if (!choleskySolve(&damped, &step)) {
                    damping *= 10.0;
                    continue;
                }
                VoARCameraCalibration::TCamera camera = _camera;
                std::vector<TPose> poses = _poses;
                applyStep(step, &camera, &poses);
                const double trial = squaredError(camera, poses);
                if (trial < cost) {
                    const double decrease = cost - trial;
                    _camera = camera;
                    _poses = poses;
                    cost = trial;
                    damping = std::max(damping / 3.0, 1e-12);
                    improved = true;
                    if (decrease <= MIN_RELATIVE_DECREASE * cost) {
                        return;
                    }
                } else {
                    damping *= 4.0;
                }
            }
            if (!improved) {
                return;
            }
        }
    }

    // One standard deviation of each camera value.
    VoARCameraCalibration::TCamera uncertainty() const
    {
        VoARCameraCalibration::TCamera sigma{};
        std::vector<double> normal;
        std::vector<double> gradient;
        linearise(&normal, &gradient);
        const int32_t freedom = _residuals - _parameters;
        const double variance = freedom > 0 ? squaredError(_camera, _poses) / freedom : NAN;
        std::vector<double> factor = normal;
        if (!choleskyFactor(&factor)) {
            sigma.values.fill(NAN);
            return sigma;
        }
        for (int32_t j = 0; j < VoARCameraCalibration::CAMERA_PARAMETERS; j++) {
            std::vector<double> unit(static_cast<size_t>(_parameters), 0.0);
            unit[static_cast<size_t>(j)] = 1.0;
            choleskySubstitute(factor, &unit);
            sigma.values[static_cast<size_t>(j)] = std::sqrt(variance * unit[static_cast<size_t>(j)]);
        }
        return sigma;
    }

    double viewRms(size_t i_view) const
    {
        const auto& view = *_views[i_view];
        return std::sqrt(viewSquaredError(_camera, _poses[i_view], view) / static_cast<double>(view.plane.size()));
    }

    double rms() const { return std::sqrt(squaredError(_camera, _poses) / (_residuals / 2)); }
    const VoARCameraCalibration::TCamera& camera() const { return _camera; }
    const std::vector<TPose>& poses() const { return _poses; }

private:
    static double viewSquaredError(const VoARCameraCalibration::TCamera& i_camera, const TPose& i_pose,
                                   const VoARCameraCalibration::TView& i_view)
    {
        double sum = 0.0;
        for (size_t i = 0; i < i_view.plane.size(); i++) {
            const auto p = project(i_camera, i_pose, i_view.plane[i][0], i_view.plane[i][1]);
            const double dx = p[0] - i_view.observed[i][0];
            const double dy = p[1] - i_view.observed[i][1];
            sum += dx * dx + dy * dy;
        }
        return std::isfinite(sum) ? sum : INFINITY;
    }

    static double priorSquared(const VoARCameraCalibration::TCamera& i_camera)
    {
        const double dx = CENTRE_PRIOR_WEIGHT * (i_camera.values[DX] - i_camera.values[CX]);
        const double dy = CENTRE_PRIOR_WEIGHT * (i_camera.values[DY] - i_camera.values[CY]);
        return dx * dx + dy * dy;
    }

    double squaredError(const VoARCameraCalibration::TCamera& i_camera, const std::vector<TPose>& i_poses) const
    {
        double sum = priorSquared(i_camera);
        for (size_t v = 0; v < _views.size(); v++) {
            sum += viewSquaredError(i_camera, i_poses[v], *_views[v]);
        }
        return sum;
    }

    static void residualsOf(const VoARCameraCalibration::TCamera& i_camera, const TPose& i_pose,
                            const VoARCameraCalibration::TView& i_view, double* o_residuals)
    {
        for (size_t i = 0; i < i_view.plane.size(); i++) {
            const auto p = project(i_camera, i_pose, i_view.plane[i][0], i_view.plane[i][1]);
            o_residuals[2 * i] = p[0] - i_view.observed[i][0];
            o_residuals[2 * i + 1] = p[1] - i_view.observed[i][1];
        }
    }

    static TPose movedPose(const TPose& i_pose, const double* i_delta)
    {
        TPose moved;
        moved.rotation = multiply(rotationOfVector({i_delta[0], i_delta[1], i_delta[2]}), i_pose.rotation);
        for (int k = 0; k < 3; k++) {
            moved.translation[static_cast<size_t>(k)] = i_pose.translation[static_cast<size_t>(k)] + i_delta[3 + k];
        }
        return moved;
    }

    void applyStep(const std::vector<double>& i_step, VoARCameraCalibration::TCamera* io_camera,
                   std::vector<TPose>* io_poses) const
    {
        for (int32_t j = 0; j < VoARCameraCalibration::CAMERA_PARAMETERS; j++) {
            io_camera->values[static_cast<size_t>(j)] += i_step[static_cast<size_t>(j)];
        }
        for (size_t v = 0; v < io_poses->size(); v++) {
            const double* delta = &i_step[VoARCameraCalibration::CAMERA_PARAMETERS + POSE_PARAMETERS * v];
            (*io_poses)[v] = movedPose((*io_poses)[v], delta);
        }
    }

    // J^T J and J^T r by forward differences: the camera's columns touch
    // every view, a pose's only its own.
    void linearise(std::vector<double>* o_normal, std::vector<double>* o_gradient) const
    {
        const int32_t n = _parameters;
        const int32_t c = VoARCameraCalibration::CAMERA_PARAMETERS;
        o_normal->assign(static_cast<size_t>(n * n), 0.0);
        o_gradient->assign(static_cast<size_t>(n), 0.0);
        auto at = [&](int32_t i_r, int32_t i_c) -> double& { return (*o_normal)[static_cast<size_t>(i_r * n + i_c)]; };
        for (size_t v = 0; v < _views.size(); v++) {
            const auto& view = *_views[v];
            const size_t m = 2 * view.plane.size();
            std::vector<double> base(m);
            residualsOf(_camera, _poses[v], view, base.data());
            std::vector<std::vector<double>> columns(static_cast<size_t>(c + POSE_PARAMETERS), std::vector<double>(m));
            for (int32_t j = 0; j < c; j++) {
                VoARCameraCalibration::TCamera moved = _camera;
                const double h = RELATIVE_STEP * std::max(1.0, std::fabs(moved.values[static_cast<size_t>(j)]));
                moved.values[static_cast<size_t>(j)] += h;
                residualsOf(moved, _poses[v], view, columns[static_cast<size_t>(j)].data());
                for (size_t i = 0; i < m; i++) {
                    columns[static_cast<size_t>(j)][i] = (columns[static_cast<size_t>(j)][i] - base[i]) / h;
                }
            }
            for (int32_t j = 0; j < POSE_PARAMETERS; j++) {
                double delta[POSE_PARAMETERS] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
                const double h = j < 3 ? ROTATION_STEP
                                       : RELATIVE_STEP * std::max(1.0, std::fabs(_poses[v].translation[static_cast<size_t>(j - 3)]));
                delta[j] = h;
                auto& column = columns[static_cast<size_t>(c + j)];
                residualsOf(_camera, movedPose(_poses[v], delta), view, column.data());
                for (size_t i = 0; i < m; i++) {
                    column[i] = (column[i] - base[i]) / h;
                }
            }
            // Parameter index of local column k.
            const int32_t pose_start = c + POSE_PARAMETERS * static_cast<int32_t>(v);
            auto index = [&](int32_t i_k) { return i_k < c ? i_k : pose_start + (i_k - c); };
            const int32_t local = c + POSE_PARAMETERS;
            for (int32_t a = 0; a < local; a++) {
                const auto& ca = columns[static_cast<size_t>(a)];
                double g = 0.0;
                for (size_t i = 0; i < m; i++) {
                    g += ca[i] * base[i];
                }
                (*o_gradient)[static_cast<size_t>(index(a))] += g;
                for (int32_t b = a; b < local; b++) {
                    const auto& cb = columns[static_cast<size_t>(b)];
                    double sum = 0.0;
                    for (size_t i = 0; i < m; i++) {
                        sum += ca[i] * cb[i];
                    }
                    at(index(a), index(b)) += sum;
                    if (index(a) != index(b)) {
                        at(index(b), index(a)) += sum;
                    }
                }
            }
        }
        const double w2 = CENTRE_PRIOR_WEIGHT * CENTRE_PRIOR_WEIGHT;
        for (const auto& pair : {std::array<int32_t, 2>{DX, CX}, std::array<int32_t, 2>{DY, CY}}) {
            const double residual = _camera.values[static_cast<size_t>(pair[0])] - _camera.values[static_cast<size_t>(pair[1])];
            at(pair[0], pair[0]) += w2;
            at(pair[1], pair[1]) += w2;
            at(pair[0], pair[1]) -= w2;
            at(pair[1], pair[0]) -= w2;
            (*o_gradient)[static_cast<size_t>(pair[0])] += w2 * residual;
            (*o_gradient)[static_cast<size_t>(pair[1])] -= w2 * residual;
        }
    }

    // In place: the lower Cholesky factor of the _parameters-square matrix.
    bool choleskyFactor(std::vector<double>* io_a) const
    {
        const int32_t n = _parameters;
        std::vector<double>& a = *io_a;
        for (int32_t j = 0; j < n; j++) {
            double d = a[static_cast<size_t>(j * n + j)];
            for (int32_t k = 0; k < j; k++) {
                d -= a[static_cast<size_t>(j * n + k)] * a[static_cast<size_t>(j * n + k)];
            }
            if (!(d > 0.0)) {
                return false;
            }
            d = std::sqrt(d);
            a[static_cast<size_t>(j * n + j)] = d;
            for (int32_t i = j + 1; i < n; i++) {
                double s = a[static_cast<size_t>(i * n + j)];
                for (int32_t k = 0; k < j; k++) {
                    s -= a[static_cast<size_t>(i * n + k)] * a[static_cast<size_t>(j * n + k)];
                }
                a[static_cast<size_t>(i * n + j)] = s / d;
            }
        }
        return true;
    }

    void choleskySubstitute(const std::vector<double>& i_l, std::vector<double>* io_b) const
    {
        const int32_t n = _parameters;
        std::vector<double>& b = *io_b;
        for (int32_t i = 0; i < n; i++) {
            double s = b[static_cast<size_t>(i)];
            for (int32_t k = 0; k < i; k++) {
                s -= i_l[static_cast<size_t>(i * n + k)] * b[static_cast<size_t>(k)];
            }
            b[static_cast<size_t>(i)] = s / i_l[static_cast<size_t>(i * n + i)];
        }
        for (int32_t i = n - 1; i >= 0; i--) {
            double s = b[static_cast<size_t>(i)];
            for (int32_t k = i + 1; k < n; k++) {
                s -= i_l[static_cast<size_t>(k * n + i)] * b[static_cast<size_t>(k)];
            }
            b[static_cast<size_t>(i)] = s / i_l[static_cast<size_t>(i * n + i)];
        }
    }

    bool choleskySolve(std::vector<double>* io_a, std::vector<double>* io_b) const
    {
        if (!choleskyFactor(io_a)) {
            return false;
        }
        choleskySubstitute(*io_a, io_b);
        return true;
    }

    std::vector<const VoARCameraCalibration::TView*> _views;
    VoARCameraCalibration::TCamera _camera;
    std::vector<TPose> _poses;
    int32_t _parameters = 0;
    int32_t _residuals = 0;
};

double median(std::vector<double> i_values)
{
    std::sort(i_values.begin(), i_values.end());
    return i_values[i_values.size() / 2];
}

}  // namespace

namespace {

// The closed-form start and the joint refinement on the views i_indices of
// i_views; false when fewer than MIN_VIEWS of them give a start.
bool solveViews(int32_t i_width, int32_t i_height, const std::vector<VoARCameraCalibration::TView>& i_views,
                std::vector<size_t>* io_indices, Problem* o_problem)
{
    std::vector<Mat3> homographies;
    std::vector<size_t> usable;
    for (size_t v : *io_indices) {
        Mat3 h;
        if (homographyOf(i_views[v], &h)) {
            usable.push_back(v);
            homographies.push_back(h);
        }
    }
    VoARCameraCalibration::TCamera camera{};
    camera.values[CX] = i_width / 2.0;
    camera.values[CY] = i_height / 2.0;
    if (!focalLength(homographies, camera.values[CX], camera.values[CY], &camera.values[FX])) {
        return false;
    }
    camera.values[FY] = camera.values[FX];
    camera.values[DX] = camera.values[CX];
    camera.values[DY] = camera.values[CY];
    camera.values[COEFFICIENT] = 0.0;
    std::vector<const VoARCameraCalibration::TView*> views;
    std::vector<TPose> poses;
    io_indices->clear();
    for (size_t k = 0; k < usable.size(); k++) {
        TPose pose;
        if (poseOfHomography(homographies[k], camera, &pose)) {
            views.push_back(&i_views[usable[k]]);
            poses.push_back(pose);
            io_indices->push_back(usable[k]);
        }
    }
    if (static_cast<int32_t>(views.size()) < VoARCameraCalibration::MIN_VIEWS) {
        return false;
    }
    *o_problem = Problem(views, camera, poses);
    o_problem->solve();
    return true;
}

}  // namespace

bool VoARCameraCalibration::calibrate(int32_t i_width, int32_t i_height, const std::vector<TView>& i_views,
                                      TResult* o_result)
{
    std::vector<size_t> indices;
    for (size_t v = 0; v < i_views.size(); v++) {
        const TView& view = i_views[v];
        if (view.plane.size() == view.observed.size() && static_cast<int32_t>(view.plane.size()) >= MIN_VIEW_POINTS) {
            indices.push_back(v);
        }
    }
    Problem problem({}, TCamera{}, {});
    if (!solveViews(i_width, i_height, i_views, &indices, &problem)) {
        return false;
    }
    // Views far worse than the others are dropped, and the rest solved
    // again from a new start, which they alone make.
    for (int32_t round = 0; round < DROP_ROUNDS; round++) {
        std::vector<double> errors;
        for (size_t k = 0; k < indices.size(); k++) {
            errors.push_back(problem.viewRms(k));
        }
        const double limit = std::max(DROP_FACTOR * median(errors), DROP_FLOOR_PX);
        std::vector<size_t> kept;
        for (size_t k = 0; k < indices.size(); k++) {
            if (errors[k] <= limit) {
                kept.push_back(indices[k]);
            }
        }
        if (kept.size() == indices.size() || static_cast<int32_t>(kept.size()) < MIN_VIEWS) {
            break;
        }
        Problem again({}, TCamera{}, {});
        if (!solveViews(i_width, i_height, i_views, &kept, &again)) {
            break;
        }
        indices = kept;
        problem = again;
    }

    TResult result;
    result.camera = problem.camera();
    result.uncertainty = problem.uncertainty();
    result.rms_px = problem.rms();
    result.view_rms_px.assign(i_views.size(), NAN);
    result.view_used.assign(i_views.size(), false);
    result.view_poses.assign(i_views.size(), std::array<double, 12>{});
    for (size_t v = 0; v < i_views.size(); v++) {
        if (static_cast<int32_t>(i_views[v].plane.size()) < MIN_VIEW_POINTS ||
            i_views[v].plane.size() != i_views[v].observed.size()) {
            continue;
        }
        // Views left out get the error of their own best pose under the
        // camera found, so that the caller can tell how far off they are.
        const auto found = std::find(indices.begin(), indices.end(), v);
        if (found != indices.end()) {
            const size_t k = static_cast<size_t>(found - indices.begin());
            result.view_used[v] = true;
            result.view_rms_px[v] = problem.viewRms(k);
            const TPose& pose = problem.poses()[k];
            for (int r = 0; r < 3; r++) {
                for (int c = 0; c < 3; c++) {
                    result.view_poses[v][static_cast<size_t>(4 * r + c)] = pose.rotation[static_cast<size_t>(r)][static_cast<size_t>(c)];
                }
                result.view_poses[v][static_cast<size_t>(4 * r + 3)] = pose.translation[static_cast<size_t>(r)];
            }
            continue;
        }
        Mat3 h;
        TPose pose;
        if (!homographyOf(i_views[v], &h) || !poseOfHomography(h, result.camera, &pose)) {
            continue;
        }
        Problem alone({&i_views[v]}, result.camera, {pose});
        result.view_rms_px[v] = alone.viewRms(0);
    }
    *o_result = std::move(result);
    return true;
}

}  // namespace VoTrack
