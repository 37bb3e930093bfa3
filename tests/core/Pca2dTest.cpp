#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "VoARDoubleMatrix22.h"
#include "VoARPca2d_MatrixPCA_O2.h"

using namespace VoTrack;

namespace {

// Results of one analysis.
struct Pca
{
    VoARDoubleMatrix22 evec;
    double ev[2];
    double mean[2];
};

Pca analyse(const std::vector<double>& i_x, const std::vector<double>& i_y)
{
    Pca result;
    VoARPca2d_MatrixPCA_O2().computePca(i_x.data(), i_y.data(), static_cast<int32_t>(i_x.size()), &result.evec,
                                        result.ev, result.mean);
    return result;
}

// Agreement of results that differ only by rounding.
constexpr double ROUNDING = 1e-12;
const double PI = std::acos(-1.0);

TEST(Pca2dTest, PointsAlongXGiveTheXAxisAndOneEigenvalue)
{
    const Pca r = analyse({0, 1, 2, 3}, {0, 0, 0, 0});
    EXPECT_DOUBLE_EQ(r.mean[0], 1.5);
    EXPECT_DOUBLE_EQ(r.mean[1], 0.0);
    EXPECT_EQ(r.evec.m00, 1.0);
    EXPECT_EQ(r.evec.m01, 0.0);
    EXPECT_EQ(r.evec.m10, 0.0);
    EXPECT_EQ(r.evec.m11, 0.0);
    EXPECT_EQ(r.ev[0], 1.0);
    EXPECT_EQ(r.ev[1], 0.0);
}

TEST(Pca2dTest, PointsAlongYComeFirstThoughTheyAreTheSecondCoordinate)
{
    const Pca r = analyse({4, 4, 4}, {0, 1, 2});
    EXPECT_EQ(r.evec.m00, 0.0);
    EXPECT_EQ(r.evec.m01, 1.0);
    EXPECT_EQ(r.ev[0], 1.0);
    EXPECT_EQ(r.ev[1], 0.0);
}

TEST(Pca2dTest, DiagonalPointsGiveTheDiagonalWithPositiveSigns)
{
    const Pca r = analyse({0, 1, 2}, {0, 1, 2});
    EXPECT_DOUBLE_EQ(r.mean[0], 1.0);
    EXPECT_DOUBLE_EQ(r.mean[1], 1.0);
    EXPECT_NEAR(r.evec.m00, std::sqrt(0.5), ROUNDING);
    EXPECT_NEAR(r.evec.m01, std::sqrt(0.5), ROUNDING);
    EXPECT_NEAR(r.ev[0], 1.0, ROUNDING);
    EXPECT_NEAR(r.ev[1], 0.0, ROUNDING);
}

TEST(Pca2dTest, CovarianceAMultipleOfTheIdentityGivesIdentityRows)
{
    // The corners of an axis-aligned square: sxx = syy, sxy = 0.
    const Pca r = analyse({0, 2, 2, 0}, {0, 0, 2, 2});
    EXPECT_EQ(r.evec.m00, 1.0);
    EXPECT_EQ(r.evec.m01, 0.0);
    EXPECT_EQ(r.evec.m10, 0.0);
    EXPECT_EQ(r.evec.m11, 1.0);
    EXPECT_EQ(r.ev[0], 0.5);
    EXPECT_EQ(r.ev[1], 0.5);
}

TEST(Pca2dTest, CoincidentPointsGiveZeroRowsAndEqualShares)
{
    const Pca r = analyse({3, 3, 3}, {7, 7, 7});
    EXPECT_EQ(r.mean[0], 3.0);
    EXPECT_EQ(r.mean[1], 7.0);
    EXPECT_EQ(r.evec.m00, 0.0);
    EXPECT_EQ(r.evec.m01, 0.0);
    EXPECT_EQ(r.evec.m10, 0.0);
    EXPECT_EQ(r.evec.m11, 0.0);
    EXPECT_EQ(r.ev[0], 0.5);
    EXPECT_EQ(r.ev[1], 0.5);
}

// Points scattered around a line at a given angle (degrees), seeded.
struct LineCase
{
    double angle;
    double noise;
    uint32_t seed;
};

class Pca2dLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(Pca2dLineTest, AgreesWithTheClosedFormEigenDecomposition)
{
    const LineCase c = GetParam();
    const double theta = c.angle * PI / 180.0;
    std::mt19937 random(c.seed);
    std::uniform_real_distribution<double> along(-40.0, 40.0);
    std::normal_distribution<double> across(0.0, c.noise);
    std::vector<double> xs;
    std::vector<double> ys;
    for (int i = 0; i < 50; i++) {
        const double s = along(random);
        const double n = across(random);
        xs.push_back(100.0 + s * std::cos(theta) - n * std::sin(theta));
        ys.push_back(-30.0 + s * std::sin(theta) + n * std::cos(theta));
    }
    const Pca r = analyse(xs, ys);

    // Independent: the population covariance and its eigenvalues in closed form.
    double mx = 0.0;
    double my = 0.0;
    for (std::size_t i = 0; i < xs.size(); i++) {
        mx += xs[i] / 50.0;
        my += ys[i] / 50.0;
    }
    double a = 0.0;
    double b = 0.0;
    double d = 0.0;
    for (std::size_t i = 0; i < xs.size(); i++) {
        a += (xs[i] - mx) * (xs[i] - mx) / 50.0;
        b += (xs[i] - mx) * (ys[i] - my) / 50.0;
        d += (ys[i] - my) * (ys[i] - my) / 50.0;
    }
    const double half_gap = std::sqrt((a - d) * (a - d) / 4.0 + b * b);
    const double trace = a + d;
    EXPECT_NEAR(r.mean[0], mx, 1e-9);
    EXPECT_NEAR(r.mean[1], my, 1e-9);
    EXPECT_NEAR(r.ev[0], (trace / 2.0 + half_gap) / trace, 1e-9);
    EXPECT_NEAR(r.ev[1], (trace / 2.0 - half_gap) / trace, 1e-9);
    EXPECT_GE(r.ev[0], r.ev[1]);

    // Each row is a unit eigenvector of its eigenvalue: C v = lambda v, and
    // the first lies along the line.
    const double rows[2][2] = {{r.evec.m00, r.evec.m01}, {r.evec.m10, r.evec.m11}};
    for (int k = 0; k < 2; k++) {
        const double lambda = r.ev[k] * trace;
        EXPECT_NEAR(std::hypot(rows[k][0], rows[k][1]), 1.0, 1e-9) << "row " << k;
        EXPECT_NEAR(a * rows[k][0] + b * rows[k][1], lambda * rows[k][0], 1e-6) << "row " << k;
        EXPECT_NEAR(b * rows[k][0] + d * rows[k][1], lambda * rows[k][1], 1e-6) << "row " << k;
    }
    EXPECT_NEAR(std::fabs(rows[0][0] * std::cos(theta) + rows[0][1] * std::sin(theta)), 1.0, 10 * c.noise / 40.0 + 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Angles, Pca2dLineTest,
                         ::testing::Values(LineCase{0.0, 0.3, 1}, LineCase{17.0, 0.5, 2}, LineCase{45.0, 0.5, 3},
                                           LineCase{89.0, 0.2, 4}, LineCase{90.0, 0.5, 5}, LineCase{133.0, 1.0, 6},
                                           LineCase{-60.0, 0.7, 7}, LineCase{30.0, 15.0, 8}));

}  // namespace
