#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "VoARByteOrder.h"
#include "VoARCameraDistortionFactor.h"
#include "VoARException.h"
#include "VoARObserv2IdealMap.h"
#include "VoARParam.h"

using namespace VoTrack;

namespace {

// Conversions that differ only by rounding agree to this many pixels.
constexpr double PIXEL_TOLERANCE = 1e-9;

struct DoubleBytesCase
{
    std::array<unsigned char, 8> bytes;
    double value;
};

class VoARByteOrderTest : public ::testing::TestWithParam<DoubleBytesCase> {};

TEST_P(VoARByteOrderTest, DoubleIsMostSignificantByteFirst)
{
    EXPECT_EQ(VoARByteOrder::readDoubleBE(GetParam().bytes.data()), GetParam().value);
    std::array<unsigned char, 8> written{};
    VoARByteOrder::writeDoubleBE(GetParam().value, written.data());
    EXPECT_EQ(written, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    KnownPatterns, VoARByteOrderTest,
    ::testing::Values(DoubleBytesCase{{0x3F, 0xF0, 0, 0, 0, 0, 0, 0}, 1.0},
                      DoubleBytesCase{{0xC0, 0x00, 0, 0, 0, 0, 0, 0}, -2.0},
                      DoubleBytesCase{{0x3F, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}, 0.1}));

TEST(VoARByteOrderInt32Test, Int32IsMostSignificantByteFirst)
{
    const struct { std::array<unsigned char, 4> bytes; int32_t value; } cases[] = {
        {{0x00, 0x00, 0x01, 0x40}, 320},
        {{0x12, 0x34, 0x56, 0x78}, 0x12345678},
        {{0xFF, 0xFF, 0xFF, 0xFE}, -2},
        {{0x80, 0x00, 0x00, 0x00}, INT32_MIN}};
    for (const auto& c : cases) {
        EXPECT_EQ(VoARByteOrder::readInt32BE(c.bytes.data()), c.value);
        std::array<unsigned char, 4> written{};
        VoARByteOrder::writeInt32BE(c.value, written.data());
        EXPECT_EQ(written, c.bytes);
    }
}

// Off-centre, distorting and with a non-unit scale so that mixed-up fields show.
class VoARCameraDistortionFactorTest : public ::testing::Test
{
protected:
    VoARCameraDistortionFactor _distortion;

    void SetUp() override { set(161.5, 119.25, 250.0, 0.97); }
    void set(double i_cx, double i_cy, double i_coefficient, double i_scale)
    {
        const double value[4] = {i_cx, i_cy, i_coefficient, i_scale};
        _distortion.setValue(value);
    }
    TVoARDoublePoint_t toObserv(double i_x, double i_y) const
    {
        const TVoARDoublePoint_t ideal = {i_x, i_y};
        TVoARDoublePoint_t observed;
        _distortion.ideal2Observ(&ideal, &observed);
        return observed;
    }
    TVoARDoublePoint_t toIdeal(double i_x, double i_y) const
    {
        TVoARDoublePoint_t ideal;
        _distortion.observ2Ideal(i_x, i_y, &ideal);
        return ideal;
    }
};

TEST_F(VoARCameraDistortionFactorTest, CentreMapsToItselfBothWays)
{
    EXPECT_EQ(toObserv(161.5, 119.25).x, 161.5);
    EXPECT_EQ(toObserv(161.5, 119.25).y, 119.25);
    EXPECT_EQ(toIdeal(161.5, 119.25).x, 161.5);
    EXPECT_EQ(toIdeal(161.5, 119.25).y, 119.25);
}

TEST_F(VoARCameraDistortionFactorTest, ZeroCoefficientUnitScaleIsIdentity)
{
    set(160.0, 120.0, 0.0, 1.0);
    for (const TVoARDoublePoint_t& p : {TVoARDoublePoint_t{0, 0}, {-5.5, 400.25}}) {
        EXPECT_NEAR(toObserv(p.x, p.y).x, p.x, PIXEL_TOLERANCE);
        EXPECT_NEAR(toObserv(p.x, p.y).y, p.y, PIXEL_TOLERANCE);
        EXPECT_NEAR(toIdeal(p.x, p.y).x, p.x, PIXEL_TOLERANCE);
        EXPECT_NEAR(toIdeal(p.x, p.y).y, p.y, PIXEL_TOLERANCE);
    }
}

// By hand, coefficient 100 (1e-6 per px^2): an ideal offset of 100 px comes
// out as 100 * (1 - 1e-6 * 100^2) = 99; at scale 2 as 200 * (1 - 0.04) = 192.
TEST_F(VoARCameraDistortionFactorTest, PullsIdealPointsTowardTheCentre)
{
    set(160.0, 120.0, 100.0, 1.0);
    EXPECT_NEAR(toObserv(260.0, 120.0).x, 259.0, PIXEL_TOLERANCE);
    EXPECT_NEAR(toObserv(160.0, 220.0).y, 219.0, PIXEL_TOLERANCE);
    set(160.0, 120.0, 100.0, 2.0);
    EXPECT_NEAR(toObserv(260.0, 120.0).x, 352.0, PIXEL_TOLERANCE);
}

// Three Newton steps are not exact; within 60 px of the centre they come
// back to 1e-6 px.
TEST_F(VoARCameraDistortionFactorTest, Observ2IdealInvertsIdeal2ObservNearTheCentre)
{
    for (double x = 100.0; x <= 220.0; x += 7.5) {
        for (double y = 60.0; y <= 180.0; y += 7.5) {
            const TVoARDoublePoint_t ideal = toIdeal(x, y);
            EXPECT_NEAR(toObserv(ideal.x, ideal.y).x, x, 1e-6) << x << ", " << y;
            EXPECT_NEAR(toObserv(ideal.x, ideal.y).y, y, 1e-6) << x << ", " << y;
        }
    }
}

// At radius 100 with p = 1 / (3 * 100^2) the polynomial is flat and a Newton
// step would divide by zero; the estimate stays where it is.
TEST_F(VoARCameraDistortionFactorTest, StopsAtTheTurningRadiusInsteadOfDividingByZero)
{
    set(0.0, 0.0, 1.0e8 / 3.0e4, 1.0);
    EXPECT_EQ(toIdeal(100.0, 0.0).x, 100.0);
    EXPECT_EQ(toIdeal(100.0, 0.0).y, 0.0);
}

TEST_F(VoARCameraDistortionFactorTest, Ideal2ObservBatchFollowsThePointers)
{
    const TVoARDoublePoint_t a = {10.0, 20.0};
    const TVoARDoublePoint_t b = {300.0, 200.0};
    const TVoARDoublePoint_t* in[] = {&b, &a};
    TVoARDoublePoint_t out[2];
    _distortion.ideal2ObservBatch(in, out, 2);
    EXPECT_EQ(out[0].x, toObserv(b.x, b.y).x);
    EXPECT_EQ(out[1].y, toObserv(a.x, a.y).y);
}

class VoARObserv2IdealMapTest : public VoARCameraDistortionFactorTest,
                                public ::testing::WithParamInterface<TVoARIntSize>
{
};

// Both batch forms over every pixel, listed after 10 lead-in points that must
// not be read, must equal the single-point conversion exactly.
TEST_P(VoARObserv2IdealMapTest, BatchesEqualDirectConversionOnEveryPixel)
{
    const TVoARIntSize size = GetParam();
    VoARObserv2IdealMap map(&_distortion, &size);
    std::vector<int32_t> x(10, size.w - 1);
    std::vector<int32_t> y(10, size.h - 1);
    for (int32_t i = 0; i < size.w * size.h; i++) {
        x.push_back(i % size.w);
        y.push_back(i / size.w);
    }
    const int32_t count = size.w * size.h;
    std::vector<double> map_x(count + 1, -1.0), map_y(count + 1, -1.0);
    std::vector<double> direct_x(count + 1, -1.0), direct_y(count + 1, -1.0);
    map.observ2IdealBatch(x.data(), y.data(), 10, count, map_x.data(), map_y.data());
    _distortion.observ2IdealBatch(x.data(), y.data(), 10, count, direct_x.data(), direct_y.data());
    for (int32_t i = 0; i < count; i++) {
        const TVoARDoublePoint_t expected = toIdeal(x[10 + i], y[10 + i]);
        EXPECT_EQ(map_x[i], expected.x) << "pixel " << i;
        EXPECT_EQ(map_y[i], expected.y) << "pixel " << i;
        EXPECT_EQ(direct_x[i], expected.x) << "pixel " << i;
        EXPECT_EQ(direct_y[i], expected.y) << "pixel " << i;
    }
    EXPECT_EQ(map_x[count], -1.0);
    EXPECT_EQ(direct_y[count], -1.0);
}

// Pixels are converted at their first lookup: seeded random points, many
// repeated and in any order, over several batches, must still give the
// single-point conversion exactly, whether converted now or earlier.
TEST_P(VoARObserv2IdealMapTest, RepeatedLookupsInAnyOrderEqualDirectConversion)
{
    const TVoARIntSize size = GetParam();
    VoARObserv2IdealMap map(&_distortion, &size);
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int32_t> column(0, size.w - 1);
    std::uniform_int_distribution<int32_t> row(0, size.h - 1);
    for (int batch = 0; batch < 4; batch++) {
        const int32_t count = size.w * size.h;
        std::vector<int32_t> x(static_cast<std::size_t>(count));
        std::vector<int32_t> y(x.size());
        for (std::size_t i = 0; i < x.size(); i++) {
            x[i] = column(random);
            y[i] = row(random);
        }
        std::vector<double> map_x(x.size()), map_y(x.size());
        map.observ2IdealBatch(x.data(), y.data(), 0, count, map_x.data(), map_y.data());
        for (std::size_t i = 0; i < x.size(); i++) {
            const TVoARDoublePoint_t expected = toIdeal(x[i], y[i]);
            ASSERT_EQ(map_x[i], expected.x) << "batch " << batch << ", point " << i;
            ASSERT_EQ(map_y[i], expected.y) << "batch " << batch << ", point " << i;
        }
    }
}

// Height first: 4 x 3 (entry 5 is pixel (1, 1)), 3 x 4 and 320 x 240.
INSTANTIATE_TEST_SUITE_P(Screens, VoARObserv2IdealMapTest,
                         ::testing::Values(TVoARIntSize{3, 4}, TVoARIntSize{4, 3},
                                           TVoARIntSize{240, 320}));

using VoARCameraModelDeathTest = VoARCameraDistortionFactorTest;

TEST_F(VoARCameraModelDeathTest, ZeroScaleEmptyMapAndOffScreenLookupAbort)
{
    const double value[4] = {160.0, 120.0, 100.0, 0.0};
    EXPECT_DEATH(_distortion.setValue(value), "src/core/VoARCameraDistortionFactor:[0-9]+: "
                                              "failed assertion `i_value\\[SCALE_INDEX\\]!=0.0'");
    EXPECT_DEATH(_distortion.changeScale(0.0), "failed assertion `i_scale!=0.0'");
    const TVoARIntSize empty = {3, 0};
    EXPECT_DEATH(VoARObserv2IdealMap(&_distortion, &empty), "src/core/VoARObserv2IdealMap:");
    const TVoARIntSize size = {3, 4};
    VoARObserv2IdealMap map(&_distortion, &size);
    const int32_t x = 4;
    const int32_t y = 0;
    double out[2];
    EXPECT_DEATH(map.observ2IdealBatch(&x, &y, 0, 1, &out[0], &out[1]),
                 "src/core/VoARObserv2IdealMap:[0-9]+: failed assertion");
}

const TVoARParamFileRecord CAMERA_320X240 = {
    320, 240,
    {300.0, 0.5, 160.0, 10.0, 0.25, 310.0, 120.0, 20.0, 0.001, 0.002, 1.0, 30.0},
    {159.0, 121.0, 80.0, 0.98}};

// The file's bytes, packed here by hand rather than by encodeRecord.
std::vector<unsigned char> bigEndianBytes(const TVoARParamFileRecord& i_record)
{
    std::vector<unsigned char> bytes;
    const auto put = [&bytes](uint64_t i_bits, int i_size) {
        for (int shift = 8 * (i_size - 1); shift >= 0; shift -= 8) {
            bytes.push_back(static_cast<unsigned char>(i_bits >> shift));
        }
    };
    put(static_cast<uint32_t>(i_record.x_size), 4);
    put(static_cast<uint32_t>(i_record.y_size), 4);
    for (int i = 0; i < 16; i++) {
        uint64_t bits;
        std::memcpy(&bits, i < 12 ? &i_record.projection[i] : &i_record.distortion[i - 12], 8);
        put(bits, 8);
    }
    return bytes;
}

class VoARParamTest : public ::testing::Test
{
protected:
    VoARParam _param;
    std::vector<std::string> _files;

    void TearDown() override
    {
        for (const std::string& path : _files) {
            std::remove(path.c_str());
        }
    }
    // Writes i_bytes to a fresh file under the temporary directory.
    const char* file(const std::vector<unsigned char>& i_bytes)
    {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name) {
            c = c == '/' ? '_' : c;
        }
        _files.push_back(::testing::TempDir() + name + std::to_string(_files.size()) + ".dat");
        std::ofstream(_files.back(), std::ios::binary)
            .write(reinterpret_cast<const char*>(i_bytes.data()),
                   static_cast<std::streamsize>(i_bytes.size()));
        return _files.back().c_str();
    }
    void expectHolds(const TVoARParamFileRecord& i_expected) const
    {
        EXPECT_EQ(_param.getScreenSize()->w, i_expected.x_size);
        EXPECT_EQ(_param.getScreenSize()->h, i_expected.y_size);
        std::vector<double> projection(12);
        std::vector<double> distortion(4);
        _param.getProjectionMatrix()->getValue(projection.data());
        dynamic_cast<const VoARCameraDistortionFactor&>(*_param.getDistortionFactor())
            .getValue(distortion.data());
        EXPECT_EQ(projection, std::vector<double>(std::begin(i_expected.projection),
                                                  std::end(i_expected.projection)));
        EXPECT_EQ(distortion, std::vector<double>(std::begin(i_expected.distortion),
                                                  std::end(i_expected.distortion)));
    }
};

// Exactly 136 bytes, and 200 bytes whose tail must be ignored.
class VoARParamFileLengthTest : public VoARParamTest,
                                public ::testing::WithParamInterface<size_t>
{
};

TEST_P(VoARParamFileLengthTest, LoadsFirst136BytesOfABigEndianFile)
{
    std::vector<unsigned char> bytes = bigEndianBytes(CAMERA_320X240);
    bytes.resize(GetParam(), 0xAB);
    _param.loadFromFile(file(bytes));
    expectHolds(CAMERA_320X240);
}

INSTANTIATE_TEST_SUITE_P(Lengths, VoARParamFileLengthTest, ::testing::Values(136, 200));

TEST_F(VoARParamTest, HostOrderFlagTakesNumbersAsTheyAre)
{
    std::vector<unsigned char> bytes(VoARParam::FILE_SIZE);
    std::memcpy(bytes.data(), &CAMERA_320X240, bytes.size());
    _param.setFileInHostOrder(1);
    _param.loadFromFile(file(bytes));
    expectHolds(CAMERA_320X240);
}

TEST_F(VoARParamTest, UnreadableFileThrowsAndKeepsValues)
{
    _param.loadFromFile(file(bigEndianBytes(CAMERA_320X240)));
    std::vector<unsigned char> short_bytes = bigEndianBytes(CAMERA_320X240);
    short_bytes.pop_back();
    EXPECT_THROW(_param.loadFromFile(file(short_bytes)), VoARException);
    const std::string missing = ::testing::TempDir() + "missing.dat";
    EXPECT_THROW(_param.loadFromFile(missing.c_str()), VoARException);
    EXPECT_THROW(_param.loadFromFile(::testing::TempDir().c_str()), VoARException);
    EXPECT_THROW(_param.loadFromFile(nullptr), VoARException);
    TVoARParamFileRecord no_scale = CAMERA_320X240;
    no_scale.distortion[3] = 0.0;
    EXPECT_THROW(_param.loadFromFile(file(bigEndianBytes(no_scale))), VoARException);
    TVoARParamFileRecord no_width = CAMERA_320X240;
    no_width.x_size = 0;
    EXPECT_THROW(_param.setValue(no_width), VoARException);
    expectHolds(CAMERA_320X240);
}

TEST_F(VoARParamTest, EncodedRecordIsTheFileLayout)
{
    std::vector<unsigned char> bytes(VoARParam::FILE_SIZE);
    VoARParam::encodeRecord(CAMERA_320X240, bytes.data());
    EXPECT_EQ(bytes, bigEndianBytes(CAMERA_320X240));
}

TEST_F(VoARParamTest, ChangeScreenSizeNeedsPositiveSizesAndKeepsValuesOtherwise)
{
    EXPECT_THROW(_param.changeScreenSize(640, 480), VoARException);  // nothing loaded: width 0
    EXPECT_EQ(_param.getScreenSize()->w, 0);
    _param.setValue(CAMERA_320X240);
    EXPECT_THROW(_param.changeScreenSize(0, 480), VoARException);
    EXPECT_THROW(_param.changeScreenSize(640, -1), VoARException);
    expectHolds(CAMERA_320X240);
}

// Only the width sets the factor, so 640 x 480 and 640 x 240 both double the
// centre and rows 0 and 1 and quarter the coefficient.
class VoARParamRescaleTest : public VoARParamTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(VoARParamRescaleTest, WidthAloneSetsTheFactor)
{
    _param.loadFromFile(file(bigEndianBytes(CAMERA_320X240)));
    _param.changeScreenSize(640, GetParam());
    expectHolds({640, GetParam(),
                 {600.0, 1.0, 320.0, 20.0, 0.5, 620.0, 240.0, 40.0, 0.001, 0.002, 1.0, 30.0},
                 {318.0, 242.0, 20.0, 0.98}});
}

INSTANTIATE_TEST_SUITE_P(Heights, VoARParamRescaleTest, ::testing::Values(480, 240));

}  // namespace
