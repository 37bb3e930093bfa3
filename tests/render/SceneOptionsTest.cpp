#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "BuiltinMarkers.h"
#include "MarkerPose.h"
#include "RenderTestSupport.h"
#include "SceneRenderer.h"

using namespace Markeye;
using RenderTestSupport::channelAt;

namespace {

constexpr int32_t WIDTH = 640;
constexpr int32_t HEIGHT = 480;

class SceneOptionsTest : public ::testing::Test
{
protected:
    SceneOptionsTest()
        : _picture(BuiltinMarkers::picture(0)),
          _renderer(RenderCamera::builtin()),
          _marker(&_picture, 80.0, MarkerPose::make(15.0, 25.0, 10.0, 20.0, -10.0, 450.0))
    {
    }

    std::vector<uint8_t> render(const TSceneOptions& i_options)
    {
        _renderer.render(_marker, i_options);
        return std::vector<uint8_t>(_renderer.getFrame(), _renderer.getFrame() + 4 * WIDTH * HEIGHT);
    }

    MarkerPicture _picture;
    SceneRenderer _renderer;
    TSceneMarker _marker;
};

TEST_F(SceneOptionsTest, EqualSeedsGiveEqualFramesAndOtherSeedsDiffer)
{
    TSceneOptions options;
    options.clutter_shapes = 30;
    options.noise_sigma = 5.0;
    options.seed = 12345;
    const std::vector<uint8_t> first = render(options);
    render(TSceneOptions());
    EXPECT_EQ(render(options), first) << "nothing carries over from the frame in between";
    options.seed = 12346;
    EXPECT_NE(render(options), first);
}

TEST_F(SceneOptionsTest, NoiseHasTheAskedDeviationAndIndependentChannels)
{
    TSceneOptions options;
    options.background_level = 128.0;
    options.noise_sigma = 8.0;
    _renderer.render(std::vector<TSceneMarker>(), options);
    double sum[3] = {0, 0, 0};
    double squares[3] = {0, 0, 0};
    double red_green = 0.0;
    for (int32_t y = 0; y < HEIGHT; y++) {
        for (int32_t x = 0; x < WIDTH; x++) {
            double d[3];
            for (int c = 0; c < 3; c++) {
                d[c] = channelAt(_renderer, x, y, c) - 128.0;
                sum[c] += d[c];
                squares[c] += d[c] * d[c];
            }
            red_green += d[0] * d[1];
        }
    }
    const double n = WIDTH * HEIGHT;
    for (int c = 0; c < 3; c++) {
        // Standard error of the mean is 8 / sqrt(n) = 0.014 levels; rounding
        // to bytes adds 1/12 to the variance.
        EXPECT_NEAR(sum[c] / n, 0.0, 0.1) << "channel " << c;
        EXPECT_NEAR(std::sqrt(squares[c] / n), std::sqrt(64.0 + 1.0 / 12.0), 0.1) << "channel " << c;
    }
    EXPECT_NEAR(red_green / n / 64.0, 0.0, 0.02) << "correlation of red and green";
}

TEST_F(SceneOptionsTest, FlatAndGradientBackgroundsHaveTheirLevels)
{
    TSceneOptions options;
    options.background_level = 128.0;
    options.background_gradient_x = 100.0;
    options.background_gradient_y = -50.0;
    _renderer.render(std::vector<TSceneMarker>(), options);
    // Level = 128 + 100 (x / 639 - 0.5) - 50 (y / 479 - 0.5).
    EXPECT_EQ(channelAt(_renderer, 0, 0, 1), 103);
    EXPECT_EQ(channelAt(_renderer, WIDTH - 1, 0, 1), 203);
    EXPECT_EQ(channelAt(_renderer, 0, HEIGHT - 1, 1), 53);
    EXPECT_EQ(channelAt(_renderer, WIDTH - 1, HEIGHT - 1, 2), 153);
    EXPECT_EQ(channelAt(_renderer, 213, 100, 0), static_cast<int>(std::lround(128 + 100 * (213.0 / 639 - 0.5) -
                                                                               50 * (100.0 / 479 - 0.5))));
    options.background_gradient_x = 0.0;
    options.background_gradient_y = 0.0;
    options.background_level = 77.0;
    _renderer.render(std::vector<TSceneMarker>(), options);
    for (int32_t i = 0; i < WIDTH * HEIGHT; i += 97) {
        ASSERT_EQ(channelAt(_renderer, i % WIDTH, i / WIDTH, i % 3), 77);
    }
}

TEST_F(SceneOptionsTest, ClutterCoversPartOfTheBackgroundWithGreysAndColours)
{
    TSceneOptions options;
    options.background_level = 200.0;
    options.clutter_shapes = 40;
    _renderer.render(std::vector<TSceneMarker>(), options);
    int32_t changed = 0;
    int32_t coloured = 0;
    for (int32_t y = 0; y < HEIGHT; y++) {
        for (int32_t x = 0; x < WIDTH; x++) {
            const int r = channelAt(_renderer, x, y, 0);
            const int g = channelAt(_renderer, x, y, 1);
            const int b = channelAt(_renderer, x, y, 2);
            changed += (r != 200 || g != 200 || b != 200) ? 1 : 0;
            coloured += (r != g || g != b) ? 1 : 0;
        }
    }
    EXPECT_GT(changed, WIDTH * HEIGHT / 20);
    EXPECT_LT(changed, WIDTH * HEIGHT * 9 / 10);
    EXPECT_GT(coloured, 0);
}

TEST_F(SceneOptionsTest, BoxBlurAveragesThreeByThreeNeighbourhoods)
{
    TSceneOptions options;
    options.clutter_shapes = 30;
    const std::vector<uint8_t> sharp = render(options);
    options.box_blur_radius = 1;
    const std::vector<uint8_t> blurred = render(options);
    // Each byte is rounded once in each frame: they agree to one level.
    for (int32_t y = 1; y < HEIGHT - 1; y += 3) {
        for (int32_t x = 1; x < WIDTH - 1; x += 3) {
            for (int32_t b = 0; b < 3; b++) {
                double sum = 0.0;
                for (int32_t dy = -1; dy <= 1; dy++) {
                    for (int32_t dx = -1; dx <= 1; dx++) {
                        sum += sharp[4 * ((y + dy) * WIDTH + x + dx) + b];
                    }
                }
                ASSERT_NEAR(blurred[4 * (y * WIDTH + x) + b], sum / 9.0, 1.0) << x << "," << y;
            }
        }
    }
}

TEST_F(SceneOptionsTest, GaussianBlurSpreadsAnEdgeByItsDeviation)
{
    // A white background and the marker's vertical left border edge far
    // from other edges: the 10 % to 90 % rise of a Gaussian-blurred step
    // spans 2 x 1.2816 sigma.
    const double sigma = 2.0;
    TSceneOptions options;
    options.background_level = 255.0;
    options.gaussian_blur_sigma = sigma;
    options.supersample = 8;
    _renderer.render(TSceneMarker(&_picture, 80.0, MarkerPose::facing(0.0, 0.0, 300.0)), options);
    std::vector<double> dark;
    for (int32_t x = 200; x < 250; x++) {
        dark.push_back((255.0 - channelAt(_renderer, x, 240, 1)) / 255.0);
    }
    const auto crossing = [&dark](double i_level) -> double {
        for (size_t i = 1; i < dark.size(); i++) {
            if (dark[i] >= i_level) {
                return i - 1 + (i_level - dark[i - 1]) / (dark[i] - dark[i - 1]);
            }
        }
        return NAN;
    };
    EXPECT_NEAR(crossing(0.9) - crossing(0.1), 2.0 * 1.2816 * sigma, 0.3);
    // The edge itself stays where it was: x = 320 - 700 x 40 / 300.
    EXPECT_NEAR(200 + crossing(0.5), 320.0 - 700.0 * 40.0 / 300.0, 0.1);
}

TEST_F(SceneOptionsTest, IlluminationScalesBackgroundAndMarkerAlike)
{
    TSceneOptions options;
    options.background_level = 200.0;
    options.illumination_gain = 0.5;
    _renderer.render(std::vector<TSceneMarker>(), options);
    EXPECT_EQ(channelAt(_renderer, 17, 300, 1), 100);
    options.illumination_gain = 1.0;
    options.illumination_gradient_x = 0.4;
    options.illumination_gradient_y = 0.2;
    _renderer.render(std::vector<TSceneMarker>(), options);
    // Light = 1 + 0.4 (x / 639 - 0.5) + 0.2 (y / 479 - 0.5); 260 clips to 255.
    EXPECT_EQ(channelAt(_renderer, 0, 0, 1), 140);
    EXPECT_EQ(channelAt(_renderer, WIDTH - 1, 0, 1), 220);
    EXPECT_EQ(channelAt(_renderer, WIDTH - 1, HEIGHT - 1, 1), 255);
    EXPECT_EQ(channelAt(_renderer, 0, HEIGHT - 1, 1), 180);
}

struct TBadOption
{
    const char* name;
    std::function<void(TSceneOptions*)> spoil;
};

class SceneOptionsCheckTest : public ::testing::TestWithParam<TBadOption> {};

TEST_P(SceneOptionsCheckTest, OutOfRangeOptionIsRejectedWithItsName)
{
    TSceneOptions options;
    GetParam().spoil(&options);
    SceneRenderer renderer(RenderCamera::builtin());
    try {
        renderer.render(std::vector<TSceneMarker>(), options);
        FAIL() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::strstr(e.what(), GetParam().name), nullptr) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SceneOptionsCheckTest,
    ::testing::Values(TBadOption{"supersample", [](TSceneOptions* o) { o->supersample = 0; }},
                      TBadOption{"supersample", [](TSceneOptions* o) { o->supersample = 65; }},
                      TBadOption{"background_level", [](TSceneOptions* o) { o->background_level = NAN; }},
                      TBadOption{"clutter_shapes", [](TSceneOptions* o) { o->clutter_shapes = -1; }},
                      TBadOption{"illumination_gain", [](TSceneOptions* o) { o->illumination_gain = -0.1; }},
                      TBadOption{"box_blur_radius", [](TSceneOptions* o) { o->box_blur_radius = -2; }},
                      TBadOption{"gaussian_blur_sigma", [](TSceneOptions* o) { o->gaussian_blur_sigma = NAN; }},
                      TBadOption{"noise_sigma", [](TSceneOptions* o) { o->noise_sigma = INFINITY; }}));

}  // namespace
