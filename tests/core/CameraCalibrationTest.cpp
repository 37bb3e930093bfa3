// Camera calibration from views of a plane of known points, on points
// projected through known cameras: random poses of a grid of marker
// corners, the lens applied by the camera file's own distortion model, and
// Gaussian noise on the observed points.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "VoARCameraCalibration.h"
#include "VoARCameraDistortionFactor.h"

using VoTrack::VoARCameraCalibration;

namespace {

constexpr int32_t WIDTH = 640;
constexpr int32_t HEIGHT = 480;
constexpr double PI = 3.14159265358979323846;

struct TTrueCamera
{
    double fx, fy, cx, cy;
    double distortion_x, distortion_y, coefficient;
};

// The corners of a 5 x 7 grid of markers 30 units across, 6 apart, centred.
std::vector<std::array<double, 2>> boardPoints()
{
    std::vector<std::array<double, 2>> points;
    const double pitch = 36.0;
    for (int32_t row = 0; row < 7; row++) {
        for (int32_t column = 0; column < 5; column++) {
            const double x = (column - 2) * pitch;
            const double y = (3 - row) * pitch;
            for (const auto& corner : {std::array<double, 2>{-15, 15}, {15, 15}, {15, -15}, {-15, -15}}) {
                points.push_back({x + corner[0], y + corner[1]});
            }
        }
    }
    return points;
}

using Mat3 = std::array<std::array<double, 3>, 3>;

Mat3 rotationAbout(int i_axis, double i_angle)
{
    const double c = std::cos(i_angle);
    const double s = std::sin(i_angle);
    Mat3 r{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    const int a = (i_axis + 1) % 3;
    const int b = (i_axis + 2) % 3;
    r[a][a] = c;
    r[a][b] = -s;
    r[b][a] = s;
    r[b][b] = c;
    return r;
}

Mat3 multiply(const Mat3& i_a, const Mat3& i_b)
{
    Mat3 p{};
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++) {
            p[r][c] = i_a[r][0] * i_b[0][c] + i_a[r][1] * i_b[1][c] + i_a[r][2] * i_b[2][c];
        }
    }
    return p;
}

// Views of the board facing the camera, tilted up to 45 degrees about
// random axes in its plane, 350 to 600 units away, moved about the frame;
// every point observed through the lens, with noise of i_noise pixels.
class CalibrationViews
{
public:
    CalibrationViews(const TTrueCamera& i_camera, double i_noise, uint32_t i_seed)
        : _camera(i_camera), _noise(i_noise), _rng(i_seed)
    {
        const double values[4] = {i_camera.distortion_x, i_camera.distortion_y, i_camera.coefficient, 1.0};
        _lens.setValue(values);
    }

    // A view with every point inside the frame; false after many tries.
    bool next(VoARCameraCalibration::TView* o_view)
    {
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::normal_distribution<double> noise(0.0, _noise);
        const std::vector<std::array<double, 2>> plane = boardPoints();
        for (int32_t attempt = 0; attempt < 1000; attempt++) {
            const double axis = 2.0 * PI * unit(_rng);
            const double tilt = (10.0 + 35.0 * unit(_rng)) * PI / 180.0;
            const Mat3 facing{{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}};
            const Mat3 r = multiply(multiply(rotationAbout(2, axis), rotationAbout(0, tilt)),
                                    multiply(rotationAbout(2, -axis + 2.0 * PI * unit(_rng)), facing));
            const double z = 350.0 + 250.0 * unit(_rng);
            const double x = (unit(_rng) - 0.5) * 0.3 * z;
            const double y = (unit(_rng) - 0.5) * 0.3 * z;
            o_view->plane.clear();
            o_view->observed.clear();
            bool inside = true;
            for (const auto& p : plane) {
                const double cx = r[0][0] * p[0] + r[0][1] * p[1] + x;
                const double cy = r[1][0] * p[0] + r[1][1] * p[1] + y;
                const double cz = r[2][0] * p[0] + r[2][1] * p[1] + z;
                const VoTrack::TVoARDoublePoint_t ideal{_camera.fx * cx / cz + _camera.cx,
                                                        _camera.fy * cy / cz + _camera.cy};
                VoTrack::TVoARDoublePoint_t observed;
                _lens.ideal2Observ(&ideal, &observed);
                observed.x += noise(_rng);
                observed.y += noise(_rng);
                inside = inside && cz > 0.0 && observed.x > 2 && observed.y > 2 && observed.x < WIDTH - 3 &&
                         observed.y < HEIGHT - 3;
                o_view->plane.push_back(p);
                o_view->observed.push_back({observed.x, observed.y});
            }
            if (inside) {
                return true;
            }
        }
        return false;
    }

private:
    TTrueCamera _camera;
    double _noise;
    std::mt19937 _rng;
    VoTrack::VoARCameraDistortionFactor _lens;
};

struct TCalibrationCase
{
    const char* name;
    TTrueCamera camera;
    double noise_px;
    int32_t views;
    // Largest errors: focal lengths (share), principal point and
    // distortion centre (pixels), coefficient (share of the true one, or
    // absolute when the truth is 0); the largest RMS (pixels), about
    // sqrt(2) x the noise per axis.
    double focal_share;
    double centre_px;
    double distortion_centre_px;
    double coefficient;
    double rms_px;
};

void PrintTo(const TCalibrationCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

class CameraCalibrationTest : public ::testing::TestWithParam<TCalibrationCase>
{
};

}  // namespace

TEST_P(CameraCalibrationTest, RecoversTheCamera)
{
    const TCalibrationCase& c = GetParam();
    CalibrationViews source(c.camera, c.noise_px, 17);
    std::vector<VoARCameraCalibration::TView> views(static_cast<size_t>(c.views));
    for (auto& view : views) {
        ASSERT_TRUE(source.next(&view));
    }
    VoARCameraCalibration::TResult result;
    ASSERT_TRUE(VoARCameraCalibration::calibrate(WIDTH, HEIGHT, views, &result));
    const auto& v = result.camera.values;
    EXPECT_NEAR(v[0] / c.camera.fx, 1.0, c.focal_share);
    EXPECT_NEAR(v[1] / c.camera.fy, 1.0, c.focal_share);
    EXPECT_NEAR(v[2], c.camera.cx, c.centre_px);
    EXPECT_NEAR(v[3], c.camera.cy, c.centre_px);
    if (c.camera.coefficient != 0.0) {
        EXPECT_NEAR(v[4], c.camera.distortion_x, c.distortion_centre_px);
        EXPECT_NEAR(v[5], c.camera.distortion_y, c.distortion_centre_px);
        EXPECT_NEAR(v[6] / c.camera.coefficient, 1.0, c.coefficient);
    } else {
        EXPECT_NEAR(v[6], 0.0, c.coefficient);
    }
    EXPECT_LE(result.rms_px, c.rms_px);
    for (size_t k = 0; k < views.size(); k++) {
        EXPECT_TRUE(result.view_used[k]) << "view " << k;
    }
    // The stated uncertainty covers the error (within four sigma).
    EXPECT_LE(std::fabs(v[0] - c.camera.fx), 4.0 * result.uncertainty.values[0] + 1e-9);
    EXPECT_LE(std::fabs(v[2] - c.camera.cx), 4.0 * result.uncertainty.values[2] + 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, CameraCalibrationTest,
    ::testing::Values(
        // Exact points: the camera to rounding.
        TCalibrationCase{"ExactNoLens", {700, 700, 320, 240, 320, 240, 0.0}, 0.0, 8, 1e-6, 1e-3, 1e9, 1e-3, 1e-4},
        TCalibrationCase{"ExactBarrel", {650, 655, 330, 230, 325, 245, 20.0}, 0.0, 8, 1e-6, 1e-3, 1e-2, 1e-5, 1e-3},
        // Corners off by a tenth of a pixel (several times what the edge
        // refinement leaves on a noisy frame) over 15 views.
        TCalibrationCase{"NoisyBarrel", {650, 655, 330, 230, 325, 245, 20.0}, 0.1, 15, 0.003, 1.5, 6.0, 0.05,
                         1.2 * 0.1 * std::sqrt(2.0)},
        TCalibrationCase{"NoisyWideBarrel", {500, 500, 318, 242, 318, 242, 45.0}, 0.1, 15, 0.003, 1.5, 6.0, 0.05,
                         1.2 * 0.1 * std::sqrt(2.0)},
        TCalibrationCase{"NoisyNoLens", {800, 790, 310, 250, 310, 250, 0.0}, 0.1, 15, 0.003, 1.5, 1e9, 1.0,
                         1.2 * 0.1 * std::sqrt(2.0)},
        // A whole pixel of noise on every corner: still near the truth.
        TCalibrationCase{"VeryNoisyBarrel", {650, 655, 330, 230, 325, 245, 20.0}, 1.0, 15, 0.01, 6.0, 20.0, 0.3,
                         1.2 * 1.0 * std::sqrt(2.0)}),
    [](const ::testing::TestParamInfo<TCalibrationCase>& i_info) { return std::string(i_info.param.name); });

// A view whose points were matched to the wrong places is dropped, and the
// camera comes out as without it.
TEST(CameraCalibrationOutlierTest, ViewThatDoesNotFitIsDropped)
{
    const TTrueCamera camera{650, 655, 330, 230, 325, 245, 20.0};
    CalibrationViews source(camera, 0.3, 5);
    std::vector<VoARCameraCalibration::TView> views(10);
    for (auto& view : views) {
        ASSERT_TRUE(source.next(&view));
    }
    // View 4's markers matched to the wrong places: marker k's corners are
    // given those of marker 7 k mod 35.
    const std::vector<std::array<double, 2>> right = views[4].observed;
    for (size_t k = 0; k < 35; k++) {
        std::copy(right.begin() + static_cast<std::ptrdiff_t>(4 * ((7 * k) % 35)),
                  right.begin() + static_cast<std::ptrdiff_t>(4 * ((7 * k) % 35) + 4),
                  views[4].observed.begin() + static_cast<std::ptrdiff_t>(4 * k));
    }
    VoARCameraCalibration::TResult result;
    ASSERT_TRUE(VoARCameraCalibration::calibrate(WIDTH, HEIGHT, views, &result));
    EXPECT_FALSE(result.view_used[4]);
    EXPECT_GT(result.view_rms_px[4], 5.0);
    for (size_t k = 0; k < views.size(); k++) {
        if (k != 4) {
            EXPECT_TRUE(result.view_used[k]) << "view " << k;
        }
    }
    EXPECT_NEAR(result.camera.values[0] / camera.fx, 1.0, 0.003);
    EXPECT_LE(result.rms_px, 1.2 * 0.3 * std::sqrt(2.0));
}

TEST(CameraCalibrationInputTest, TooFewViewsOrPointsAreRefused)
{
    const TTrueCamera camera{700, 700, 320, 240, 320, 240, 0.0};
    CalibrationViews source(camera, 0.0, 3);
    std::vector<VoARCameraCalibration::TView> views(2);
    for (auto& view : views) {
        ASSERT_TRUE(source.next(&view));
    }
    VoARCameraCalibration::TResult result;
    EXPECT_FALSE(VoARCameraCalibration::calibrate(WIDTH, HEIGHT, views, &result));
    views.resize(3);
    views[2].plane.assign(views[0].plane.begin(), views[0].plane.begin() + 6);
    views[2].observed.assign(views[0].observed.begin(), views[0].observed.begin() + 6);
    EXPECT_FALSE(VoARCameraCalibration::calibrate(WIDTH, HEIGHT, views, &result));
}
