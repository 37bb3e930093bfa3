#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "VoARTransMatResult.h"
#include "XtraPoseMatrix.h"

using VoTrack::VoARTransMatResult;
using VoXtra::XtraPoseMatrix;

namespace {

std::vector<float> elementsOf(const double* i_rows)
{
    VoARTransMatResult pose;
    pose.setValue(i_rows);
    std::vector<float> elements(XtraPoseMatrix::ELEMENT_COUNT, 99.0f);
    XtraPoseMatrix::toElements(pose, elements.data());
    return elements;
}

// Bit for bit, so that 0 and -0 differ.
void expectSameFloats(const std::vector<float>& i_actual, const std::vector<float>& i_expected)
{
    ASSERT_EQ(i_actual.size(), i_expected.size());
    for (size_t i = 0; i < i_actual.size(); i++) {
        EXPECT_EQ(i_actual[i], i_expected[i]) << "position " << i;
        EXPECT_EQ(std::signbit(i_actual[i]), std::signbit(i_expected[i])) << "position " << i;
    }
}

TEST(XtraPoseMatrixTest, IdentityRotationGivesNegatedZeros)
{
    const double rows[12] = {1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, 300};
    expectSameFloats(elementsOf(rows), {-1.0f, 0.0f, 0.0f, 0.0f, -0.0f, 1.0f, 0.0f, 0.0f, -0.0f, 0.0f, 1.0f, 0.0f,
                                        10.0f, -20.0f, -300.0f, 0.0f});
}

// Element m_rc = 10 r + c + 1 shows where each one goes.
TEST(XtraPoseMatrixTest, ColumnsWithRowZeroOfRotationAndRowsOneTwoOfTranslationNegated)
{
    const double rows[12] = {1, 2, 3, 4, 11, 12, 13, 14, 21, 22, 23, 24};
    expectSameFloats(elementsOf(rows), {-1.0f, 11.0f, 21.0f, 0.0f, -2.0f, 12.0f, 22.0f, 0.0f, -3.0f, 13.0f, 23.0f,
                                        0.0f, 4.0f, -14.0f, -24.0f, 0.0f});
}

// The sign changes are plain negations: a negative zero where a sign
// changes comes out positive.
TEST(XtraPoseMatrixTest, NegatedNegativeZerosArePositive)
{
    const double rows[12] = {-0.0, 0, 0, 0, 0, 1, 0, -0.0, 0, 0, 1, -0.0};
    expectSameFloats(elementsOf(rows), {0.0f, 0.0f, 0.0f, 0.0f, -0.0f, 1.0f, 0.0f, 0.0f, -0.0f, 0.0f, 1.0f, 0.0f,
                                        0.0f, 0.0f, 0.0f, 0.0f});
}

}  // namespace
