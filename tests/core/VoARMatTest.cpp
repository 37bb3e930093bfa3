#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <random>
#include <vector>

#include "VoARException.h"
#include "VoARMat.h"
#include "VoARVec.h"

using namespace VoTrack;

namespace {

void fill(VoARMat& io_mat, std::initializer_list<double> i_values)
{
    std::copy(i_values.begin(), i_values.end(), io_mat.getElements());
}

std::vector<double> elements(const VoARMat& i_mat)
{
    const double* e = i_mat.getElements();
    return std::vector<double>(e, e + i_mat.getRowCount() * i_mat.getColumnCount());
}

void expectElementsNear(const VoARMat& i_mat, std::initializer_list<double> i_expected, double i_tolerance)
{
    const std::vector<double> actual = elements(i_mat);
    ASSERT_EQ(actual.size(), i_expected.size());
    size_t k = 0;
    for (double expected : i_expected) {
        EXPECT_NEAR(actual[k], expected, i_tolerance) << "element " << k;
        k++;
    }
}

}  // namespace

struct InverseCase
{
    const char* name;
    std::array<double, 4> matrix;
    std::array<double, 4> inverse;
};

void PrintTo(const InverseCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

class VoARMatSmallInverseTest : public ::testing::TestWithParam<InverseCase>
{
};

TEST_P(VoARMatSmallInverseTest, InvertsToTheKnownInverse)
{
    const InverseCase& c = GetParam();
    VoARMat m(2, 2);
    fill(m, {c.matrix[0], c.matrix[1], c.matrix[2], c.matrix[3]});
    ASSERT_TRUE(m.invertSelf());
    expectElementsNear(m, {c.inverse[0], c.inverse[1], c.inverse[2], c.inverse[3]}, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    KnownInverses, VoARMatSmallInverseTest,
    ::testing::Values(InverseCase{"General", {4, 7, 2, 6}, {0.6, -0.7, -0.2, 0.4}},
                      InverseCase{"NeedsRowExchange", {0, 1, 1, 0}, {0, 1, 1, 0}},
                      InverseCase{"EqualPivotMagnitudes", {1, 2, -1, 3}, {0.6, -0.4, 0.2, 0.2}}),
    [](const ::testing::TestParamInfo<InverseCase>& i_info) { return std::string(i_info.param.name); });

TEST(VoARMatInverseTest, SingularMatrixReportsFalse)
{
    VoARMat m(2, 2);
    fill(m, {1, 2, 2, 4});
    EXPECT_FALSE(m.invertSelf());
}

TEST(VoARMatInverseTest, OrderOneInvertsWithoutAZeroTest)
{
    VoARMat m(1, 1);
    fill(m, {4.0});
    EXPECT_TRUE(m.invertSelf());
    EXPECT_EQ(m.getElements()[0], 0.25);
    fill(m, {0.0});
    EXPECT_TRUE(m.invertSelf());
    EXPECT_EQ(m.getElements()[0], std::numeric_limits<double>::infinity());
}

TEST(VoARMatInverseTest, OrderZeroAndOrdersAboveTheLimitThrow)
{
    VoARMat empty(0, 0);
    EXPECT_THROW(empty.invertSelf(), VoARException);
    VoARMat huge(VoARMat::MAX_INVERSE_ORDER + 1, VoARMat::MAX_INVERSE_ORDER + 1);
    EXPECT_THROW(huge.invertSelf(), VoARException);
}

class VoARMatRandomInverseTest : public ::testing::TestWithParam<int>
{
};

// The product of a random matrix and its computed inverse must be the identity.
TEST_P(VoARMatRandomInverseTest, ProductWithOriginalIsIdentity)
{
    const int n = GetParam();
    std::mt19937 rng(1000 + n);
    std::uniform_real_distribution<double> value(-10.0, 10.0);
    for (int trial = 0; trial < 20; trial++) {
        VoARMat original(n, n);
        for (int k = 0; k < n * n; k++) {
            original.getElements()[k] = value(rng);
        }
        VoARMat inverse(n, n);
        inverse.assign(original);
        ASSERT_TRUE(inverse.invertSelf());
        VoARMat product(n, n);
        product.multiply(original, inverse);
        for (int i = 0; i < n; i++) {
            for (int j = 0; j < n; j++) {
                EXPECT_NEAR(product.getElements()[i * n + j], i == j ? 1.0 : 0.0, 1e-8)
                    << "trial " << trial << " element (" << i << ", " << j << ")";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Orders2To8, VoARMatRandomInverseTest, ::testing::Range(2, 9));

TEST(VoARMatInverseTest, PermutedIdentityNeedingSeveralExchanges)
{
    // A cyclic permutation matrix: its inverse is its transpose.
    VoARMat m(4, 4);
    fill(m, {0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0});
    ASSERT_TRUE(m.invertSelf());
    expectElementsNear(m, {0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0}, 0.0);
}

TEST(VoARMatMultiplyTest, ChecksShapesAndLeavesTheDestinationOnError)
{
    VoARMat a(3, 8);
    VoARMat b(8, 3);
    for (int k = 0; k < 24; k++) {
        a.getElements()[k] = k;
        b.getElements()[k] = 24 - k;
    }
    VoARMat square(3, 3);
    EXPECT_NO_THROW(square.multiply(a, b));
    // Element (0, 0): sum over k of k * (24 - 3k).
    double expected = 0.0;
    for (int k = 0; k < 8; k++) {
        expected += k * (24.0 - 3 * k);
    }
    EXPECT_EQ(square.getElements()[0], expected);

    VoARMat wide(3, 8);
    std::fill(wide.getElements(), wide.getElements() + 24, 5.0);
    EXPECT_THROW(wide.multiply(a, b), VoARException);
    EXPECT_EQ(elements(wide), std::vector<double>(24, 5.0));
}

TEST(VoARMatMultiplyTest, RefusesToWriteIntoAnOperand)
{
    VoARMat m(2, 2);
    VoARMat identity(2, 2);
    fill(m, {1, 2, 3, 4});
    fill(identity, {1, 0, 0, 1});
    EXPECT_THROW(m.multiply(m, identity), VoARException);
    EXPECT_THROW(m.multiply(identity, m), VoARException);
    EXPECT_EQ(elements(m), (std::vector<double>{1, 2, 3, 4}));
}

TEST(VoARMatAssignTest, CopiesSameShapeAndRefusesOtherShapes)
{
    VoARMat source(2, 3);
    fill(source, {1, 2, 3, 4, 5, 6});
    VoARMat same(2, 3);
    same.assign(source);
    EXPECT_EQ(elements(same), elements(source));
    VoARMat transposed(3, 2);
    fill(transposed, {9, 9, 9, 9, 9, 9});
    EXPECT_THROW(transposed.assign(source), VoARException);
    EXPECT_EQ(elements(transposed), std::vector<double>(6, 9.0));
}

TEST(VoARMatResizeTest, KeepsTheBufferWhenItFitsAndReplacesItWhenNot)
{
    VoARMat m(3, 3);
    fill(m, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    const double* before = m.getElements();
    m.resize(2, 4);
    EXPECT_EQ(m.getElements(), before);
    EXPECT_EQ(m.getColumnCount(), 4);
    EXPECT_EQ(m.getElements()[7], 8.0);
    m.resize(4, 4);
    EXPECT_EQ(m.getRowCount(), 4);
    EXPECT_THROW(m.resize(-1, 3), VoARException);
    EXPECT_EQ(m.getRowCount(), 4);
}

TEST(VoARVecTest, ResizeKeepsTheBufferUnlessItMustGrow)
{
    VoARVec v(4);
    const double values[] = {1.0, 2.0, 3.0, 4.0};
    v.assign(values, 4);
    const double* before = v.getArray();
    v.resize(2);
    EXPECT_EQ(v.getArray(), before);
    EXPECT_EQ(v.getLength(), 2);
    EXPECT_EQ(v.getArray()[1], 2.0);
    v.resize(10);
    EXPECT_EQ(v.getCapacity(), 10);
    EXPECT_EQ(v.getLength(), 10);
    EXPECT_THROW(v.resize(-1), VoARException);
}
