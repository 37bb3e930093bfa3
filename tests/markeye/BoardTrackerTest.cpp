// markeye::BoardTracker on rendered views of a 5 x 7 board with known poses:
// how exactly the board's pose comes out against its markers' own poses,
// with markers hidden by occluders, and with a marker showing another
// marker's picture.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "BoardScene.h"
#include "LibraryTestSupport.h"
#include "MarkerPose.h"
#include "markeye/markeye.h"

using namespace LibraryTest;
using Markeye::MarkerPose;
using Markeye::TSceneOptions;
using markeye::Board;
using markeye::BoardDetection;
using markeye::BoardTracker;
using markeye::Camera;

namespace {

constexpr int32_t COLUMNS = 5;
constexpr int32_t ROWS = 7;
constexpr int32_t MARKERS = COLUMNS * ROWS;
// 30 mm markers 6 mm apart, about 520 mm away: the board covers a quarter
// of the 640 x 480 frame, each marker about 40 pixels across.
constexpr double MARKER_MM = 30.0;
constexpr double GAP_MM = 6.0;
constexpr double DISTANCE_MM = 520.0;
constexpr double MAX_TILT_DEG = 40.0;
constexpr int32_t POSES = 12;
// What the board's pose reaches (medians over the poses): rotation in
// degrees, translation as a share of the distance.
constexpr double BOARD_ROTATION_DEG = 0.05;
constexpr double BOARD_TRANSLATION_SHARE = 0.0002;

double quantile(std::vector<double> i_values, double i_q)
{
    std::sort(i_values.begin(), i_values.end());
    const std::size_t rank = static_cast<std::size_t>(std::ceil(i_q * static_cast<double>(i_values.size())));
    return i_values[std::max<std::size_t>(rank, 1) - 1];
}

VoTrack::VoARDoubleMatrix34 poseOf(const std::array<std::array<double, 3>, 3>& i_rotation,
                                   const std::array<double, 3>& i_translation)
{
    VoTrack::VoARDoubleMatrix34 pose;
    const double values[12] = {i_rotation[0][0], i_rotation[0][1], i_rotation[0][2], i_translation[0],
                               i_rotation[1][0], i_rotation[1][1], i_rotation[1][2], i_translation[1],
                               i_rotation[2][0], i_rotation[2][1], i_rotation[2][2], i_translation[2]};
    pose.setValue(values);
    return pose;
}

double translationShare(const std::array<double, 3>& i_found, const VoTrack::VoARDoubleMatrix34& i_truth)
{
    const double truth[3] = {i_truth.m03, i_truth.m13, i_truth.m23};
    return std::sqrt(std::pow(i_found[0] - truth[0], 2) + std::pow(i_found[1] - truth[1], 2) +
                     std::pow(i_found[2] - truth[2], 2)) /
           std::sqrt(truth[0] * truth[0] + truth[1] * truth[1] + truth[2] * truth[2]);
}

// Rendered views of the board through the built-in camera at random poses.
class BoardTrackerTest : public ::testing::Test
{
protected:
    BoardTrackerTest()
        : _camera(Camera::builtin(FRAME_WIDTH, FRAME_HEIGHT)),
          _board(Board::grid(COLUMNS, ROWS, MARKER_MM, GAP_MM)),
          _frame(_camera),
          _tracker(_camera, _board),
          _rng(20261209)
    {
    }

    static TSceneOptions options(uint64_t i_seed)
    {
        TSceneOptions scene;
        scene.supersample = 4;
        scene.gaussian_blur_sigma = 0.5;
        scene.noise_sigma = 2.0;
        scene.seed = i_seed;
        return scene;
    }

    // Renders the board at a new random pose; the pose is kept in _pose.
    void renderRandomView(uint64_t i_seed)
    {
        ASSERT_TRUE(randomBoardPose(_board, _camera, DISTANCE_MM, MAX_TILT_DEG, 180.0, 6.0, &_rng, &_pose));
        _frame.render(boardScene(_board, _pose), options(i_seed));
    }

    double rotationError(const BoardDetection& i_found) const
    {
        return MarkerPose::rotationDifferenceDeg(poseOf(i_found.rotation, i_found.translation), _pose);
    }

    Camera _camera;
    Board _board;
    RenderedFrame _frame;
    BoardTracker _tracker;
    std::mt19937 _rng;
    VoTrack::VoARDoubleMatrix34 _pose;
};

}  // namespace

// The board's pose from all 35 markers' corners is far better than any one
// marker's own pose, and meets its target.
TEST_F(BoardTrackerTest, BoardPoseBeatsSingleMarkerPoses)
{
    std::vector<double> board_rotation;
    std::vector<double> board_translation;
    std::vector<double> marker_rotation;
    std::vector<double> marker_translation;
    for (int32_t view = 0; view < POSES; view++) {
        renderRandomView(static_cast<uint64_t>(view) + 1);
        const BoardDetection& found = _tracker.track(_frame.view());
        ASSERT_TRUE(found.found);
        EXPECT_EQ(found.markers_used.size(), static_cast<std::size_t>(MARKERS));
        EXPECT_TRUE(found.dropped.empty());
        EXPECT_LT(found.reprojection_error, 0.2);
        board_rotation.push_back(rotationError(found));
        board_translation.push_back(translationShare(found.translation, _pose));
        for (const markeye::Detection& detection : _tracker.detections()) {
            const VoTrack::VoARDoubleMatrix34 truth = markerPoseOnBoard(_board, detection.pattern, _pose);
            marker_rotation.push_back(rotationErrorDeg(detection, truth));
            marker_translation.push_back(translationShare(detection.translation, truth));
        }
    }
    const double board_rotation_median = quantile(board_rotation, 0.5);
    const double board_translation_median = quantile(board_translation, 0.5);
    RecordProperty("board_rotation_median_deg", std::to_string(board_rotation_median));
    RecordProperty("board_translation_median_percent", std::to_string(100.0 * board_translation_median));
    RecordProperty("marker_rotation_median_deg", std::to_string(quantile(marker_rotation, 0.5)));
    RecordProperty("marker_translation_median_percent", std::to_string(100.0 * quantile(marker_translation, 0.5)));
    EXPECT_LE(board_rotation_median, BOARD_ROTATION_DEG);
    EXPECT_LE(board_translation_median, BOARD_TRANSLATION_SHARE);
    EXPECT_LT(board_rotation_median, quantile(marker_rotation, 0.5) / 2.0);
    EXPECT_LT(board_translation_median, quantile(marker_translation, 0.5) / 2.0);
}

namespace {

struct TOcclusion
{
    const char* name;
    // Which markers the occluders cover.
    std::vector<int32_t> hidden;
    // The median errors may grow to this many times the unoccluded ones,
    // plus the floor (degrees, share of the distance) of a single marker's
    // pose.
    double growth;
    double rotation_floor_deg;
    double translation_floor;
};

void PrintTo(const TOcclusion& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

std::vector<int32_t> allBut(int32_t i_kept)
{
    std::vector<int32_t> hidden;
    for (int32_t m = 0; m < MARKERS; m++) {
        if (m != i_kept) {
            hidden.push_back(m);
        }
    }
    return hidden;
}

std::vector<int32_t> everyOther()
{
    std::vector<int32_t> hidden;
    for (int32_t m = 0; m < MARKERS; m += 2) {
        hidden.push_back(m);
    }
    return hidden;
}

// The left half of the board's columns.
std::vector<int32_t> leftColumns()
{
    std::vector<int32_t> hidden;
    for (int32_t m = 0; m < MARKERS; m++) {
        if (m % COLUMNS < 2) {
            hidden.push_back(m);
        }
    }
    return hidden;
}

class BoardOcclusionTest : public BoardTrackerTest, public ::testing::WithParamInterface<TOcclusion>
{
};

}  // namespace

// Occluded markers are simply not seen: the board is found from the rest,
// with its pose within the allowed growth of the unoccluded one's error.
TEST_P(BoardOcclusionTest, BoardIsFoundFromTheMarkersLeft)
{
    const TOcclusion& occlusion = GetParam();
    std::vector<double> clear_rotation;
    std::vector<double> clear_translation;
    std::vector<double> occluded_rotation;
    std::vector<double> occluded_translation;
    for (int32_t view = 0; view < POSES / 2; view++) {
        renderRandomView(static_cast<uint64_t>(view) + 100);
        const BoardDetection clear = _tracker.track(_frame.view());
        ASSERT_TRUE(clear.found);
        clear_rotation.push_back(rotationError(clear));
        clear_translation.push_back(translationShare(clear.translation, _pose));
        const OccludedFrame occluded(_frame.view(), _frame.truth(), occlusion.hidden);
        const BoardDetection& found = _tracker.track(occluded.view());
        ASSERT_TRUE(found.found) << "view " << view;
        EXPECT_EQ(found.markers_used.size(), MARKERS - occlusion.hidden.size()) << "view " << view;
        for (int32_t used : found.markers_used) {
            EXPECT_EQ(std::count(occlusion.hidden.begin(), occlusion.hidden.end(), used), 0);
        }
        occluded_rotation.push_back(rotationError(found));
        occluded_translation.push_back(translationShare(found.translation, _pose));
    }
    const double rotation = quantile(occluded_rotation, 0.5);
    const double translation = quantile(occluded_translation, 0.5);
    RecordProperty("occluded_rotation_median_deg", std::to_string(rotation));
    RecordProperty("clear_rotation_median_deg", std::to_string(quantile(clear_rotation, 0.5)));
    EXPECT_LE(rotation, occlusion.growth * quantile(clear_rotation, 0.5) + occlusion.rotation_floor_deg);
    EXPECT_LE(translation, occlusion.growth * quantile(clear_translation, 0.5) + occlusion.translation_floor);
}

INSTANTIATE_TEST_SUITE_P(
    Occluders, BoardOcclusionTest,
    ::testing::Values(
        // Half the markers under occluders: within twice the unoccluded error.
        TOcclusion{"EveryOtherMarker", everyOther(), 2.0, 0.0, 0.0},
        // Two columns of five hidden shorten the board's width seen, which
        // fixes its turn about the vertical axis: still within the board's
        // target.
        TOcclusion{"LeftColumns", leftColumns(), 0.0, BOARD_ROTATION_DEG, BOARD_TRANSLATION_SHARE},
        // One marker left: as good as that marker's own pose, about 40
        // pixels across (within a degree and 1 % of the distance).
        TOcclusion{"AllButOne", allBut(17), 1.0, 1.0, 0.01}),
    [](const ::testing::TestParamInfo<TOcclusion>& i_info) { return std::string(i_info.param.name); });

// A marker showing another board marker's picture is seen twice for that
// pattern: the copy where the board cannot put it is dropped and named,
// and the pose is as good as without it.
TEST_F(BoardTrackerTest, MarkerShowingAnotherPictureIsDropped)
{
    renderRandomView(7);
    std::vector<Markeye::TSceneMarker> scene = boardScene(_board, _pose);
    constexpr int32_t WRONG = 5;
    constexpr int32_t SHOWN = 12;
    scene[WRONG] = Markeye::TSceneMarker(&generatedMarkerPicture(SHOWN), MARKER_MM, scene[WRONG].pose);
    _frame.render(scene, options(7));
    const BoardDetection& found = _tracker.track(_frame.view());
    ASSERT_TRUE(found.found);
    EXPECT_EQ(found.markers_used.size(), static_cast<std::size_t>(MARKERS - 1));
    EXPECT_EQ(std::count(found.markers_used.begin(), found.markers_used.end(), WRONG), 0);
    ASSERT_EQ(found.dropped.size(), 1u);
    const markeye::Detection& dropped = _tracker.detections()[static_cast<std::size_t>(found.dropped[0])];
    EXPECT_EQ(dropped.pattern, SHOWN);
    EXPECT_LT(worstCornerError(dropped, _frame.truth()[WRONG]), 0.5);
    EXPECT_LE(rotationError(found), 4.0 * BOARD_ROTATION_DEG);
    EXPECT_LE(translationShare(found.translation, _pose), 4.0 * BOARD_TRANSLATION_SHARE);
}

TEST_F(BoardTrackerTest, FrameWithoutTheBoardFindsNothing)
{
    _frame.render({placedMarker(0, MarkerPose::make(10, 20, 0, 0, 0, 500))}, options(3));
    const BoardDetection& found = _tracker.track(_frame.view());
    EXPECT_FALSE(found.found);
    EXPECT_TRUE(found.markers_used.empty());
    EXPECT_TRUE(std::isnan(found.reprojection_error));
}
