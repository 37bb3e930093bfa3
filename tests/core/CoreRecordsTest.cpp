#include <gtest/gtest.h>

#include <array>
#include <numeric>

#include "TVoARIntSize.h"
#include "VoARAssert.h"
#include "VoARDoubleMatrix22.h"
#include "VoARDoubleMatrix33.h"
#include "VoARDoubleMatrix34.h"
#include "VoARException.h"
#include "VoARTransMatResult.h"

using namespace VoTrack;

TEST(IntSizeTest, EqualOnlyWhenBothWidthAndHeightMatch)
{
    const TVoARIntSize landscape{240, 320};
    const TVoARIntSize portrait{320, 240};
    const TVoARIntSize same{240, 320};
    EXPECT_FALSE(TVoARIntSize::isEqualSize(&landscape, &portrait));
    EXPECT_TRUE(TVoARIntSize::isEqualSize(&landscape, &same));
}

template <class M>
class FixedMatrixTest : public ::testing::Test
{
};
using FixedMatrices = ::testing::Types<VoARDoubleMatrix22, VoARDoubleMatrix33, VoARDoubleMatrix34, VoARTransMatResult>;
TYPED_TEST_SUITE(FixedMatrixTest, FixedMatrices);

TYPED_TEST(FixedMatrixTest, SetThenGetReturnsTheSameArray)
{
    std::array<double, TypeParam::ELEMENT_COUNT> in{};
    std::iota(in.begin(), in.end(), 1.5);
    std::array<double, TypeParam::ELEMENT_COUNT + 1> out{};
    out.back() = -7.0;
    TypeParam m;
    m.setValue(in.data());
    m.getValue(out.data());
    for (int k = 0; k < TypeParam::ELEMENT_COUNT; k++) {
        EXPECT_EQ(out[k], in[k]) << "element " << k;
    }
    EXPECT_EQ(out.back(), -7.0) << "getValue wrote past its elements";
}

TEST(FixedMatrixLayoutTest, ArrayOrderIsRowMajorFieldOrder)
{
    std::array<double, 12> in{};
    std::iota(in.begin(), in.end(), 0.0);
    VoARDoubleMatrix34 m;
    m.setValue(in.data());
    EXPECT_EQ(m.m03, 3.0);
    EXPECT_EQ(m.m10, 4.0);
    EXPECT_EQ(m.m23, 11.0);

    VoARDoubleMatrix33 r;
    r.setValue(in.data());
    EXPECT_EQ(r.m10, 3.0);
    EXPECT_EQ(r.m22, 8.0);
}

TEST(TransMatResultTest, StartsWithoutValue)
{
    const VoARTransMatResult result;
    EXPECT_FALSE(result.has_value);
}

TEST(ExceptionTest, MessageConstructorPrintsThroughPerror)
{
    ::testing::internal::CaptureStderr();
    const VoARException e("camera file");
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed.rfind("camera file: ", 0), 0u) << printed;
    EXPECT_EQ(printed.back(), '\n');
}

TEST(ExceptionTest, DefaultAndCauseConstructorsPrintNothing)
{
    ::testing::internal::CaptureStderr();
    const VoARException plain;
    const VoARException wrapped{std::runtime_error("dropped")};
    const VoARException copy(plain);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(ExceptionTest, StaticThrowersThrowTheCoreException)
{
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(VoARException::throwNotImplemented(), VoARException);
    EXPECT_THROW(VoARException::throwTrap("ignored"), VoARException);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("Not Implement!: "), std::string::npos);
    EXPECT_NE(printed.find("\x83\x67\x83\x89\x83\x62\x83\x76: "), std::string::npos);
    EXPECT_EQ(printed.find("ignored"), std::string::npos);
}

TEST(AssertDeathTest, FailedCheckPrintsUnitLineAndExpressionThenAborts)
{
    EXPECT_DEATH(VOTRACK_ASSERT_AT(1 + 1 == 3, "src/core/VoARFitVecCalculator", 118, "this->_offset_square!=__null"),
                 "^src/core/VoARFitVecCalculator:118: failed assertion `this->_offset_square!=__null'\n$");
}

TEST(AssertDeathTest, ReportsTheLineOfTheCheck)
{
    const std::string expected = "^src/core/Unit:" + std::to_string(__LINE__ + 1) + ": failed assertion `x'\n$";
    EXPECT_DEATH(VOTRACK_ASSERT(false, "src/core/Unit", "x"), expected);
}

TEST(AssertTest, PassingCheckDoesNothing)
{
    VOTRACK_ASSERT(true, "src/core/Unit", "true");
    SUCCEED();
}
