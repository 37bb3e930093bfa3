#include "VoARAxisVector.h"

#include <algorithm>
#include <cmath>

#include "VoARException.h"

namespace VoTrack {

namespace {

// Depth factor of the point placed on a vertex's viewing ray; any positive
// value works, it only has to keep the point in front of the camera.
constexpr double RAY_DEPTH = 10.0;

// Component orders of the three ways orthogonalize solves its 2 x 2 system:
// mode 0 as stored, mode 1 with y and z exchanged, mode 2 with x and z.
// Each order is its own inverse.
constexpr int MODE_ORDER[3][3] = {{0, 1, 2}, {0, 2, 1}, {2, 1, 0}};

double dot(const double* i_a, const double* i_b)
{
    return i_a[0] * i_b[0] + i_a[1] * i_b[1] + i_a[2] * i_b[2];
}

// Projects camera point i_q through P's left block; throws at depth 0.
void projectRay(const VoARPerspectiveProjectionMatrix& i_p, const double* i_q, double* o_x, double* o_y)
{
    const double h = i_p.m20 * i_q[0] + i_p.m21 * i_q[1] + i_p.m22 * i_q[2];
    if (h == 0.0) {
        throw VoARException();
    }
    *o_x = (i_p.m00 * i_q[0] + i_p.m01 * i_q[1] + i_p.m02 * i_q[2]) / h;
    *o_y = (i_p.m10 * i_q[0] + i_p.m11 * i_q[1] + i_p.m12 * i_q[2]) / h;
}

// The first mode whose determinant is not negligible. The three
// determinants are the components of n x e, a unit vector for unit e
// perpendicular to n, so they are measured against the largest of them. A
// square facing the camera leaves mode 0 with a determinant made of rounding
// alone (about 1e-16), and its huge coefficients then give nonsense. Even a
// true determinant d is only usable well above rounding: at the double root
// that exact squares give, the roots are known to about sqrt(eps) = 1.5e-8
// and the mode scales that by 1 / d, so below 1e-6 the axis could be off by
// 1e-2 and more. Above it, results are those of the plain first-non-zero rule.
// A NaN determinant counts as not negligible, as it is not zero.
int chooseMode(const double* i_e, const double* i_n)
{
    const double det[3] = {i_n[1] * i_e[0] - i_n[0] * i_e[1], i_n[2] * i_e[0] - i_n[0] * i_e[2],
                           i_n[1] * i_e[2] - i_n[2] * i_e[1]};
    const double scale = std::max({std::fabs(det[0]), std::fabs(det[1]), std::fabs(det[2])});
    for (int mode = 0; mode < 2; mode++) {
        if (!(std::fabs(det[mode]) <= VoARAxisVector::NEGLIGIBLE_DETERMINANT * scale)) {
            return mode;
        }
    }
    return 2;
}

// The two unit vectors s with s.n = 0 and s.e = i_t, as the roots of a
// quadratic in one component after the other two are expressed through it.
void unitVectorsAtCosine(const double* i_e, const double* i_n, double i_t, double* o_s1, double* o_s2)
{
    const int* order = MODE_ORDER[chooseMode(i_e, i_n)];
    const double p = i_e[order[0]];
    const double q = i_e[order[1]];
    const double r = i_e[order[2]];
    const double nx = i_n[order[0]];
    const double ny = i_n[order[1]];
    const double nz = i_n[order[2]];

    const double det = ny * p - nx * q;
    if (det == 0.0) {
        throw VoARException();
    }
    const double k1 = (q * nz - ny * r) / det;
    const double k2 = ny * i_t / det;
    const double k3 = (p * nz - nx * r) / (nx * q - p * ny);
    const double k4 = nx * i_t / (nx * q - p * ny);

    const double a = k1 * k1 + k3 * k3 + 1.0;
    const double b = k1 * k2 + k3 * k4;
    const double c = k2 * k2 + k4 * k4 - 1.0;
    double d = b * b - a * c;
    if (d < 0.0) {
        // b^2 never exceeds a * (k2^2 + k4^2 + 1) (Cauchy-Schwarz), so that is
        // the size of the terms that cancel in d.
        if (-d > VoARAxisVector::DOUBLE_ROOT_TOLERANCE * a * (k2 * k2 + k4 * k4 + 1.0)) {
            throw VoARException();
        }
        d = 0.0;
    }
    const double root = std::sqrt(d);
    const double r1 = (root - b) / a;
    const double r2 = (-b - root) / a;
    const double solution1[3] = {k1 * r1 + k2, k3 * r1 + k4, r1};
    const double solution2[3] = {k1 * r2 + k2, k3 * r2 + k4, r2};
    for (int k = 0; k < 3; k++) {
        o_s1[order[k]] = solution1[k];
        o_s2[order[k]] = solution2[k];
    }
}

}  // namespace

VoARAxisVector::VoARAxisVector(const VoARPerspectiveProjectionMatrix* i_projection)
    : _projection(i_projection), _inverse(std::make_unique<VoARMat>(3, 3))
{
    const VoARPerspectiveProjectionMatrix& p = *i_projection;
    const double block[9] = {p.m00, p.m01, p.m02, p.m10, p.m11, p.m12, p.m20, p.m21, p.m22};
    std::copy(block, block + 9, _inverse->getElements());
    // A singular camera block leaves the inverse meaningless; a camera that
    // projects at all has a regular one.
    _inverse->invertSelf();
}

VoARAxisVector::~VoARAxisVector() = default;

void VoARAxisVector::fromEdgePair(const double* i_line1, const double* i_line2)
{
    const VoARPerspectiveProjectionMatrix& p = *_projection;
    const double a1 = i_line1[0];
    const double b1 = i_line1[1];
    const double c1 = i_line1[2];
    const double a2 = i_line2[0];
    const double b2 = i_line2[1];
    const double c2 = i_line2[2];
    // (w2, w3, w1) is the image point where the two lines meet (w1 = 0 for
    // parallel lines); the camera block maps it back to a 3-D direction.
    const double w1 = b1 * a2 - b2 * a1;
    const double w2 = b2 * c1 - b1 * c2;
    const double w3 = a1 * c2 - a2 * c1;
    x = (p.m12 * p.m01 - p.m11 * p.m02) * w1 + p.m11 * w3 - p.m01 * w2;
    y = p.m00 * w2 - p.m00 * p.m12 * w1;
    z = p.m00 * p.m11 * w1;
    const double length = std::sqrt(x * x + y * y + z * z);
    x /= length;
    y /= length;
    z /= length;
}

void VoARAxisVector::orientByVertices(const double* i_from, const double* i_to)
{
    const double* m = _inverse->getElements();
    double q[3];
    for (int row = 0; row < 3; row++) {
        q[row] = RAY_DEPTH * (m[row * 3] * i_from[0] + m[row * 3 + 1] * i_from[1] + m[row * 3 + 2]);
    }
    const double q2[3] = {q[0] + x, q[1] + y, q[2] + z};
    double px1;
    double py1;
    double px2;
    double py2;
    projectRay(*_projection, q, &px1, &py1);
    projectRay(*_projection, q2, &px2, &py2);
    if ((i_to[0] - i_from[0]) * (px2 - px1) + (i_to[1] - i_from[1]) * (py2 - py1) < 0.0) {
        x = -x;
        y = -y;
        z = -z;
    }
}

void VoARAxisVector::orthogonalize(VoARAxisVector* io_second)
{
    const double e[3] = {x, y, z};
    const double g[3] = {io_second->x, io_second->y, io_second->z};
    double n[3] = {e[1] * g[2] - e[2] * g[1], e[2] * g[0] - e[0] * g[2], e[0] * g[1] - e[1] * g[0]};
    const double length = std::sqrt(dot(n, n));
    if (length == 0.0) {
        throw VoARException();
    }
    for (double& component : n) {
        component /= length;
    }
    // Both new axes keep the same cosine t with their old directions, turned
    // apart symmetrically in their common plane until they are perpendicular.
    const double cb = std::fabs(dot(e, g));
    const double t = (std::sqrt(cb + 1.0) + std::sqrt(1.0 - cb)) * 0.5;

    double s1[3];
    double s2[3];
    double s3[3];
    double s4[3];
    unitVectorsAtCosine(e, n, t, s1, s2);
    unitVectorsAtCosine(g, n, t, s3, s4);

    // The pair with the smallest |dot product|; strict comparisons, ties to
    // the later candidates.
    const double e1 = std::fabs(dot(s1, s3));
    const double e2 = std::fabs(dot(s1, s4));
    const double e3 = std::fabs(dot(s2, s3));
    const double e4 = std::fabs(dot(s2, s4));
    const double* first = s2;
    const double* second = s4;
    if (e1 < e2) {
        if (e1 < e3) {
            if (e1 < e4) {
                first = s1;
                second = s3;
            }
        } else if (e3 < e4) {
            second = s3;
        }
    } else if (e2 < e3) {
        if (e2 < e4) {
            first = s1;
        }
    } else if (e3 < e4) {
        second = s3;
    }
    x = first[0];
    y = first[1];
    z = first[2];
    io_second->x = second[0];
    io_second->y = second[1];
    io_second->z = second[2];
}

}  // namespace VoTrack
