#include "BoardScene.h"

#include <algorithm>
#include <cmath>

#include "MarkerPose.h"
#include "PolygonRaster.h"
#include "SceneRenderer.h"

namespace LibraryTest {

namespace {

constexpr double PI = 3.14159265358979323846;
// Grey of the occluders, and how far (pixels) they reach past a marker's
// outline: less than half the gap between markers.
constexpr uint8_t OCCLUDER_GREY = 150;
constexpr double OCCLUDER_REACH_PX = 2.5;

}  // namespace

const Markeye::MarkerPicture& generatedMarkerPicture(int32_t i_index)
{
    static const std::vector<Markeye::MarkerPicture> pictures = [] {
        std::vector<Markeye::MarkerPicture> all;
        for (int32_t i = 0; i < markeye::Pattern::GENERATED_COUNT; i++) {
            all.push_back(Markeye::MarkerPicture::fromView(markeye::Pattern::generatedPicture(i).view()));
        }
        return all;
    }();
    return pictures.at(static_cast<std::size_t>(i_index));
}

VoTrack::VoARDoubleMatrix34 markerPoseOnBoard(const markeye::Board& i_board, int32_t i_marker,
                                              const VoTrack::VoARDoubleMatrix34& i_pose)
{
    const markeye::BoardMarker& marker = i_board.markers().at(static_cast<std::size_t>(i_marker));
    const double centre[3] = {marker.centre_x, marker.centre_y, 0.0};
    double moved[3];
    Markeye::MarkerPose::toCamera(i_pose, centre, moved);
    VoTrack::VoARDoubleMatrix34 pose = i_pose;
    pose.m03 = moved[0];
    pose.m13 = moved[1];
    pose.m23 = moved[2];
    return pose;
}

std::vector<Markeye::TSceneMarker> boardScene(const markeye::Board& i_board, const VoTrack::VoARDoubleMatrix34& i_pose)
{
    std::vector<Markeye::TSceneMarker> scene;
    for (std::size_t m = 0; m < i_board.markers().size(); m++) {
        scene.emplace_back(&generatedMarkerPicture(static_cast<int32_t>(m)), i_board.markers()[m].side,
                           markerPoseOnBoard(i_board, static_cast<int32_t>(m), i_pose));
    }
    return scene;
}

OccludedFrame::OccludedFrame(const markeye::ImageView& i_frame, const std::vector<Markeye::TMarkerTruth>& i_truth,
                             const std::vector<int32_t>& i_hidden)
{
    const std::size_t size = static_cast<std::size_t>(i_frame.stride) * static_cast<std::size_t>(i_frame.height);
    _bytes.assign(i_frame.data, i_frame.data + size);
    for (int32_t hidden : i_hidden) {
        const Markeye::TMarkerTruth& truth = i_truth.at(static_cast<std::size_t>(hidden));
        // The marker's outline moved outwards by OCCLUDER_REACH_PX.
        double cx = 0.0;
        double cy = 0.0;
        for (const auto& corner : truth.observed_corners) {
            cx += corner.x / 4.0;
            cy += corner.y / 4.0;
        }
        VoTrackTest::Polygon outline;
        double left = 1e9;
        double top = 1e9;
        double right = -1e9;
        double bottom = -1e9;
        for (const auto& corner : truth.observed_corners) {
            const double reach = std::hypot(corner.x - cx, corner.y - cy);
            const double grow = (reach + OCCLUDER_REACH_PX) / reach;
            const VoTrackTest::PolygonPoint p{cx + (corner.x - cx) * grow, cy + (corner.y - cy) * grow};
            outline.push_back(p);
            left = std::min(left, p.x);
            top = std::min(top, p.y);
            right = std::max(right, p.x);
            bottom = std::max(bottom, p.y);
        }
        const int32_t x0 = std::max(0, static_cast<int32_t>(left));
        const int32_t y0 = std::max(0, static_cast<int32_t>(top));
        const int32_t x1 = std::min(i_frame.width - 1, static_cast<int32_t>(right) + 1);
        const int32_t y1 = std::min(i_frame.height - 1, static_cast<int32_t>(bottom) + 1);
        for (int32_t y = y0; y <= y1; y++) {
            uint8_t* row = _bytes.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(i_frame.stride);
            for (int32_t x = x0; x <= x1; x++) {
                if (VoTrackTest::isInsidePolygon(outline, x, y)) {
                    std::fill_n(row + 4 * x, 3, OCCLUDER_GREY);
                }
            }
        }
    }
    _view = markeye::ImageView{_bytes.data(), i_frame.width, i_frame.height, i_frame.stride, i_frame.format};
}

markeye::ImageView OccludedFrame::view() const
{
    return _view;
}

bool randomBoardPose(const markeye::Board& i_board, const markeye::Camera& i_camera, double i_distance,
                     double i_max_tilt_deg, double i_max_roll_deg, double i_margin_px, std::mt19937* io_rng,
                     VoTrack::VoARDoubleMatrix34* o_pose)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const Markeye::RenderCamera camera = renderCameraOf(i_camera);
    for (int32_t attempt = 0; attempt < 2000; attempt++) {
        const double axis = 2.0 * PI * unit(*io_rng);
        const double tilt = i_max_tilt_deg * unit(*io_rng);
        const double roll = i_max_roll_deg * (2.0 * unit(*io_rng) - 1.0);
        const double z = i_distance * (0.9 + 0.2 * unit(*io_rng));
        const double x = (unit(*io_rng) - 0.5) * 0.4 * z * i_camera.width() / i_camera.fx();
        const double y = (unit(*io_rng) - 0.5) * 0.4 * z * i_camera.height() / i_camera.fy();
        const VoTrack::VoARDoubleMatrix34 pose =
            Markeye::MarkerPose::make(roll, tilt * std::cos(axis), tilt * std::sin(axis), x, y, z);
        bool inside = true;
        for (const Markeye::TSceneMarker& marker : boardScene(i_board, pose)) {
            Markeye::TMarkerTruth truth;
            Markeye::SceneRenderer::computeTruth(camera, marker, &truth);
            inside = inside && truth.in_frame && truth.front_facing;
            for (const auto& corner : truth.observed_corners) {
                inside = inside && corner.x > i_margin_px && corner.y > i_margin_px &&
                         corner.x < i_camera.width() - 1 - i_margin_px && corner.y < i_camera.height() - 1 - i_margin_px;
            }
        }
        if (inside) {
            *o_pose = pose;
            return true;
        }
    }
    return false;
}

}  // namespace LibraryTest
