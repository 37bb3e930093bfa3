// The plug-in-compatible tracker gives exactly the plug-in's results: the
// plug-in is loaded into the emulated host and driven as a host script
// drives it (new with the camera's bytes, a pattern list per pattern,
// setConfidenceTreshold, detectMarkers), and each of its result lists is
// compared, float for float, with the tracker's detections in the host's
// matrix layout.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "LibraryTestSupport.h"
#include "MarkerPose.h"
#include "XtraTestSupport.h"
#include "markeye/markeye.h"

using namespace LibraryTest;
using Markeye::MarkerPose;
using Markeye::TSceneMarker;
using Markeye::TSceneOptions;
using markeye::Detection;

namespace {

using THostMatrix = std::array<float, 16>;

// The host's 4 x 4 layout as the README gives it: column by column, row 0
// of the rotation and rows 1 and 2 of the translation negated, 0 in the
// last row.
THostMatrix hostMatrixOf(const Detection& i_detection)
{
    const auto& r = i_detection.rotation;
    const auto& t = i_detection.translation;
    const double columns[16] = {-r[0][0], r[1][0], r[2][0], 0.0, -r[0][1], r[1][1], r[2][1], 0.0,
                                -r[0][2], r[1][2], r[2][2], 0.0, t[0],     -t[1],   -t[2],   0.0};
    THostMatrix matrix;
    for (int i = 0; i < 16; i++) {
        matrix[i] = static_cast<float>(columns[i]);
    }
    return matrix;
}

struct TIdentityScene
{
    const char* name;
    std::vector<TSceneMarker> (*markers)();
    // Clutter shapes and noise, seeded.
    int32_t clutter;
    double noise;
};

void PrintTo(const TIdentityScene& i_scene, std::ostream* o_stream)
{
    *o_stream << i_scene.name;
}

std::vector<TSceneMarker> tiltedMarker()
{
    return {placedMarker(3, MarkerPose::make(130, 40, -10, 30, -20, 450))};
}

// Markers about 50 pixels across, matching their patterns near 0.55.
std::vector<TSceneMarker> distantMarkers()
{
    return {placedMarker(1, MarkerPose::make(10, 0, 0, -300, -100, 1100)),
            placedMarker(7, MarkerPose::make(-35, 20, 0, 0, 80, 1150)),
            placedMarker(2, MarkerPose::make(70, 0, 25, 280, -60, 1050))};
}

std::vector<TSceneMarker> noMarkers()
{
    return {};
}

const TIdentityScene SCENES[] = {
    {"ThreePatterns", threePatternScene, 0, 0.0},  {"TwoCopies", twoCopiesScene, 0, 0.0},
    {"Tilted", tiltedMarker, 0, 0.0},              {"Cluttered", threePatternScene, 25, 5.0},
    {"ClutteredCopies", twoCopiesScene, 25, 5.0},  {"Distant", distantMarkers, 10, 3.0},
    {"NoMarker", noMarkers, 40, 4.0},           {"Busy", busyScene, 14, 6.0},
};

// The plug-in loaded, with a tracker instance made for the built-in camera
// and the built-in and colour patterns loaded (the plug-in's most, ten).
class PluginHostTest : public XtraTest::XtraHostTest
{
protected:
    PluginHostTest() : _camera(markeye::Camera::builtin(FRAME_WIDTH, FRAME_HEIGHT)), _frame(_camera) {}

    void SetUp() override
    {
        XtraHostTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        const auto bytes = _camera.toBytes();
        ASSERT_EQ(call("new", {integerList(std::vector<int32_t>(bytes.begin(), bytes.end())), integer(FRAME_WIDTH),
                               integer(FRAME_HEIGHT)})
                      .status,
                  Moa::MOA_OK);
        for (const markeye::Pattern& pattern : patternsWithColour()) {
            ASSERT_EQ(integerResult(call("loadPatternList", {integerList(pattern.numbers())})), 1) << pattern.name();
        }
    }

    // The plug-in's list for the frame: per pattern, no matrix (the integer
    // 0) or its 16 floats.
    std::vector<std::vector<float>> pluginResults(const markeye::ImageView& i_frame)
    {
        const auto outcome = call("detectMarkers", {image(i_frame.data, i_frame.width, i_frame.height)});
        EXPECT_EQ(outcome.status, Moa::MOA_OK);
        std::vector<std::vector<float>> results;
        if (!values().isType(outcome.result, XtraTest::HostValueStore::TYPE_LIST)) {
            ADD_FAILURE() << "detectMarkers gave no list";
            return results;
        }
        for (const Moa::TMoaValue& element : values().listOf(outcome.result)) {
            if (values().isType(element, XtraTest::HostValueStore::TYPE_INTEGER)) {
                EXPECT_EQ(values().integerOf(element), 0);
                results.emplace_back();
            } else {
                results.push_back(matrixResult(element));
            }
        }
        return results;
    }

    const markeye::Camera _camera;
    RenderedFrame _frame;
};

class PluginIdentityTest : public PluginHostTest,
                           public ::testing::WithParamInterface<std::tuple<TIdentityScene, double>>
{
};

}  // namespace

TEST_P(PluginIdentityTest, TrackerGivesThePluginsResultList)
{
    const TIdentityScene& scene = std::get<0>(GetParam());
    const double min_confidence = std::get<1>(GetParam());
    TSceneOptions options;
    options.clutter_shapes = scene.clutter;
    options.noise_sigma = scene.noise;
    options.seed = 17;
    _frame.render(scene.markers(), options);

    call("setConfidenceTreshold", {real(min_confidence)});
    markeye::TrackerOptions tracker_options = markeye::TrackerOptions::pluginCompatible();
    tracker_options.min_confidence = min_confidence;
    markeye::Tracker tracker(_camera, patternsWithColour(), tracker_options);

    // Twice: neither keeps anything from one frame to the next that the
    // other does not.
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(::testing::Message() << "round " << round);
        const std::vector<std::vector<float>> expected = pluginResults(_frame.view());
        const std::vector<Detection>& found = tracker.track(_frame.view());
        ASSERT_EQ(expected.size(), patternsWithColour().size());
        std::size_t next = 0;
        for (std::size_t p = 0; p < expected.size(); p++) {
            SCOPED_TRACE(::testing::Message() << "pattern " << p);
            const bool reported = next < found.size() && found[next].pattern == static_cast<int>(p);
            ASSERT_EQ(reported, !expected[p].empty());
            if (reported) {
                const THostMatrix matrix = hostMatrixOf(found[next]);
                EXPECT_EQ(std::vector<float>(matrix.begin(), matrix.end()), expected[p]);
                next++;
            }
        }
        EXPECT_EQ(next, found.size()) << "detections out of pattern order or more than one per pattern";
    }
}

INSTANTIATE_TEST_SUITE_P(Scenes, PluginIdentityTest,
                         ::testing::Combine(::testing::ValuesIn(SCENES), ::testing::Values(0.0, 0.55)),
                         [](const ::testing::TestParamInfo<std::tuple<TIdentityScene, double>>& i_info) {
                             return std::string(std::get<0>(i_info.param).name) +
                                    (std::get<1>(i_info.param) == 0.0 ? "AtZero" : "At055");
                         });

// The scenes do test something: at 0.55 the markers shown are found, at 0
// every pattern takes some square.
TEST_F(PluginHostTest, ScenesShowWhatTheyAreMeantTo)
{
    _frame.render(twoCopiesScene());
    markeye::TrackerOptions options = markeye::TrackerOptions::pluginCompatible();
    markeye::Tracker everything(_camera, builtinPatterns(), options);
    EXPECT_EQ(everything.track(_frame.view()).size(), builtinPatterns().size());
    options.min_confidence = 0.55;
    markeye::Tracker shown(_camera, builtinPatterns(), options);
    const std::vector<Detection>& found = shown.track(_frame.view());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].pattern, 2);
    EXPECT_EQ(found[1].pattern, 5);
}
