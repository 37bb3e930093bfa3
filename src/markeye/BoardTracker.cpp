#include "markeye/BoardTracker.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "VoARException.h"
#include "VoARPerspectiveProjectionMatrix.h"
#include "VoARPlanarPose.h"
#include "VoARTransMatResult.h"
#include "markeye/Error.h"

namespace markeye {

namespace {

constexpr int32_t CORNERS = 4;

// The board's marker poses come out in units of this width, then scale to
// each marker's side.
constexpr double UNIT_WIDTH = 1.0;

// Vertex k of a board marker in board coordinates (z = 0): vertex 0
// the upright picture's top-left, then clockwise seen from the front.
void markerCorners(const BoardMarker& i_marker, std::array<std::array<double, 3>, CORNERS>* o_corners)
{
    const double h = i_marker.side / 2.0;
    const double xs[CORNERS] = {-h, h, h, -h};
    const double ys[CORNERS] = {h, h, -h, -h};
    for (int32_t k = 0; k < CORNERS; k++) {
        (*o_corners)[static_cast<std::size_t>(k)] = {i_marker.centre_x + xs[k], i_marker.centre_y + ys[k], 0.0};
    }
}

VoTrack::VoARTransMatResult poseOf(const double i_rotation[3][3], const double i_translation[3])
{
    VoTrack::VoARTransMatResult pose;
    const double values[12] = {i_rotation[0][0], i_rotation[0][1], i_rotation[0][2], i_translation[0],
                               i_rotation[1][0], i_rotation[1][1], i_rotation[1][2], i_translation[1],
                               i_rotation[2][0], i_rotation[2][1], i_rotation[2][2], i_translation[2]};
    pose.setValue(values);
    pose.has_value = true;
    return pose;
}

}  // namespace

class BoardTracker::Impl
{
public:
    Impl(const Camera& i_camera, Board i_board, const TrackerOptions& i_options)
        : _board(std::move(i_board)), _tracker(i_camera, _board.patterns(), unitWidth(i_options))
    {
        const std::size_t markers = _board.markers().size();
        _corners.resize(markers);
        for (std::size_t m = 0; m < markers; m++) {
            markerCorners(_board.markers()[m], &_corners[m]);
        }
        _board_points.resize(CORNERS * markers);
        _pixels.resize(CORNERS * markers);
        _chosen.resize(markers);
        // More detections than markers (copies of a pattern) allocate.
        _detections.reserve(2 * markers);
        _seen_ideal.reserve(2 * markers);
        _result.markers_used.reserve(markers);
        _result.dropped.reserve(markers);
        makeSolver(_tracker.camera());
    }

    const BoardDetection& track(const ImageView& i_frame, const double* i_time)
    {
        const std::vector<Detection>& seen =
            scaledDetections(i_time != nullptr ? _tracker.track(i_frame, *i_time) : _tracker.track(i_frame));
        const Camera& camera = _tracker.camera();
        if (camera.width() != _solver_width || camera.height() != _solver_height) {
            makeSolver(camera);
        }
        clearResult();
        _seen_ideal.resize(seen.size());
        for (std::size_t d = 0; d < seen.size(); d++) {
            for (int32_t k = 0; k < CORNERS; k++) {
                _seen_ideal[d][k] = camera.observedToIdeal(seen[d].corners[k][0], seen[d].corners[k][1]);
            }
        }
        VoTrack::VoARTransMatResult best;
        if (!bestHypothesis(seen, &best)) {
            dropAll(seen);
            return _result;
        }
        // Refit on the markers the start agrees with, then once more on
        // those the refined pose agrees with.
        for (int32_t round = 0; round < 2; round++) {
            if (!refit(seen, &best)) {
                dropAll(seen);
                return _result;
            }
        }
        collectResult(seen, best);
        return _result;
    }

    const std::vector<Detection>& detections() const { return _detections; }
    void prepare(int32_t i_width, int32_t i_height) { _tracker.prepare(i_width, i_height); }
    const std::vector<double>& bestConfidences() const { return _tracker.bestConfidences(); }
    const Board& board() const { return _board; }
    const Camera& camera() const { return _tracker.camera(); }

private:
    // The tracker's detections with translations in the board's unit.
    const std::vector<Detection>& scaledDetections(const std::vector<Detection>& i_seen)
    {
        _detections.assign(i_seen.begin(), i_seen.end());
        for (Detection& detection : _detections) {
            const double side = _board.markers()[static_cast<std::size_t>(detection.pattern)].side;
            for (double& t : detection.translation) {
                t *= side / UNIT_WIDTH;
            }
        }
        return _detections;
    }

    static TrackerOptions unitWidth(TrackerOptions i_options)
    {
        i_options.marker_width = UNIT_WIDTH;
        return i_options;
    }

    void makeSolver(const Camera& i_camera)
    {
        VoTrack::VoARPerspectiveProjectionMatrix projection;
        projection.setValue(i_camera.projection().data());
        try {
            _solver = std::make_unique<VoTrack::VoARPlanarPose>(&projection);
        } catch (const VoTrack::VoARException&) {
            throw Error("camera " + i_camera.name() + ": its projection matrix cannot be inverted");
        }
        _solver_width = i_camera.width();
        _solver_height = i_camera.height();
    }

    void clearResult()
    {
        _result.found = false;
        _result.reprojection_error = std::numeric_limits<double>::quiet_NaN();
        _result.markers_used.clear();
        _result.dropped.clear();
        _result.rotation = {};
        _result.translation = {};
    }

    // The board's pose that detection i_index implies: the marker's axes are
    // the board's, its centre at the marker's place on the board.
    VoTrack::VoARTransMatResult hypothesisOf(const Detection& i_detection) const
    {
        const BoardMarker& marker = _board.markers()[static_cast<std::size_t>(i_detection.pattern)];
        double rotation[3][3];
        double translation[3];
        for (int r = 0; r < 3; r++) {
            for (int c = 0; c < 3; c++) {
                rotation[r][c] = i_detection.rotation[r][c];
            }
        }
        for (int r = 0; r < 3; r++) {
            translation[r] = i_detection.translation[r] -
                             rotation[r][0] * marker.centre_x - rotation[r][1] * marker.centre_y;
        }
        return poseOf(rotation, translation);
    }

    // Ideal pixel of board point i_point through i_pose; NaN behind the camera.
    std::array<double, 2> project(const VoTrack::VoARTransMatResult& i_pose, const double i_point[3]) const
    {
        const double rows[3][4] = {{i_pose.m00, i_pose.m01, i_pose.m02, i_pose.m03},
                                   {i_pose.m10, i_pose.m11, i_pose.m12, i_pose.m13},
                                   {i_pose.m20, i_pose.m21, i_pose.m22, i_pose.m23}};
        double p[3];
        for (int r = 0; r < 3; r++) {
            p[r] = rows[r][0] * i_point[0] + rows[r][1] * i_point[1] + rows[r][2] * i_point[2] + rows[r][3];
        }
        const std::array<double, 12>& m = _tracker.camera().projection();
        const double w = m[8] * p[0] + m[9] * p[1] + m[10] * p[2] + m[11];
        if (!(w > 0.0)) {
            return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
        }
        return {(m[0] * p[0] + m[1] * p[1] + m[2] * p[2] + m[3]) / w,
                (m[4] * p[0] + m[5] * p[1] + m[6] * p[2] + m[7]) / w};
    }

    // Worst distance (ideal pixels) between detection i_index's corners and
    // its board marker's through i_pose, and whether that is within the
    // tolerance.
    bool agrees(const VoTrack::VoARTransMatResult& i_pose, std::size_t i_index, const Detection& i_detection,
                double* o_worst) const
    {
        const auto& corners = _corners[static_cast<std::size_t>(i_detection.pattern)];
        const auto& seen = _seen_ideal[i_index];
        double worst = 0.0;
        double perimeter = 0.0;
        for (int32_t k = 0; k < CORNERS; k++) {
            const std::array<double, 2> projected = project(i_pose, corners[static_cast<std::size_t>(k)].data());
            const double distance = std::hypot(projected[0] - seen[k][0], projected[1] - seen[k][1]);
            // NaN (behind the camera) counts as disagreeing.
            worst = distance > worst || std::isnan(distance) ? distance : worst;
            const auto& next = seen[(k + 1) % CORNERS];
            perimeter += std::hypot(next[0] - seen[k][0], next[1] - seen[k][1]);
        }
        *o_worst = worst;
        return worst <= std::max(INLIER_PX, INLIER_SHARE * perimeter / CORNERS);
    }

    // Per board marker, the detection of its pattern that fits i_pose best
    // (-1: none fits); returns how many markers fit and their summed worst
    // distances.
    int32_t choose(const std::vector<Detection>& i_seen, const VoTrack::VoARTransMatResult& i_pose,
                   double* o_misfit)
    {
        std::fill(_chosen.begin(), _chosen.end(), TChoice{-1, 0.0});
        for (std::size_t d = 0; d < i_seen.size(); d++) {
            double worst = 0.0;
            if (!agrees(i_pose, d, i_seen[d], &worst)) {
                continue;
            }
            TChoice& choice = _chosen[static_cast<std::size_t>(i_seen[d].pattern)];
            if (choice.detection < 0 || worst < choice.worst) {
                choice = TChoice{static_cast<int32_t>(d), worst};
            }
        }
        int32_t count = 0;
        double misfit = 0.0;
        for (const TChoice& choice : _chosen) {
            if (choice.detection >= 0) {
                count++;
                misfit += choice.worst;
            }
        }
        *o_misfit = misfit;
        return count;
    }

    // Of the poses each seen marker implies, the one most markers agree
    // with (least summed misfit among equals).
    bool bestHypothesis(const std::vector<Detection>& i_seen, VoTrack::VoARTransMatResult* o_best)
    {
        int32_t best_count = 0;
        double best_misfit = 0.0;
        for (const Detection& detection : i_seen) {
            const VoTrack::VoARTransMatResult hypothesis = hypothesisOf(detection);
            double misfit = 0.0;
            const int32_t count = choose(i_seen, hypothesis, &misfit);
            if (count > best_count || (count == best_count && count > 0 && misfit < best_misfit)) {
                best_count = count;
                best_misfit = misfit;
                *o_best = hypothesis;
            }
        }
        return best_count > 0;
    }

    // Refines io_pose on the corners of the markers it agrees with.
    bool refit(const std::vector<Detection>& i_seen, VoTrack::VoARTransMatResult* io_pose)
    {
        double misfit = 0.0;
        if (choose(i_seen, *io_pose, &misfit) == 0) {
            return false;
        }
        int32_t points = 0;
        for (std::size_t m = 0; m < _chosen.size(); m++) {
            if (_chosen[m].detection < 0) {
                continue;
            }
            const auto& seen = _seen_ideal[static_cast<std::size_t>(_chosen[m].detection)];
            for (int32_t k = 0; k < CORNERS; k++) {
                const std::size_t p = static_cast<std::size_t>(points++);
                std::copy(_corners[m][static_cast<std::size_t>(k)].begin(), _corners[m][static_cast<std::size_t>(k)].end(),
                          _board_points[p].begin());
                _pixels[p] = seen[k];
            }
        }
        VoTrack::VoARTransMatResult refined;
        double error = 0.0;
        if (!_solver->refinePoints(reinterpret_cast<const double(*)[2]>(_pixels.data()),
                                   reinterpret_cast<const double(*)[3]>(_board_points.data()), points, *io_pose,
                                   &refined, &error)) {
            return false;
        }
        *io_pose = refined;
        _result.reprojection_error = error;
        return true;
    }

    void collectResult(const std::vector<Detection>& i_seen, const VoTrack::VoARTransMatResult& i_pose)
    {
        double misfit = 0.0;
        choose(i_seen, i_pose, &misfit);
        for (std::size_t m = 0; m < _chosen.size(); m++) {
            if (_chosen[m].detection >= 0) {
                _result.markers_used.push_back(static_cast<int32_t>(m));
            }
        }
        for (std::size_t d = 0; d < i_seen.size(); d++) {
            if (_chosen[static_cast<std::size_t>(i_seen[d].pattern)].detection != static_cast<int32_t>(d)) {
                _result.dropped.push_back(static_cast<int32_t>(d));
            }
        }
        const double rows[3][4] = {{i_pose.m00, i_pose.m01, i_pose.m02, i_pose.m03},
                                   {i_pose.m10, i_pose.m11, i_pose.m12, i_pose.m13},
                                   {i_pose.m20, i_pose.m21, i_pose.m22, i_pose.m23}};
        for (int r = 0; r < 3; r++) {
            _result.rotation[r] = {rows[r][0], rows[r][1], rows[r][2]};
            _result.translation[r] = rows[r][3];
        }
        _result.found = true;
    }

    void dropAll(const std::vector<Detection>& i_seen)
    {
        clearResult();
        for (std::size_t d = 0; d < i_seen.size(); d++) {
            _result.dropped.push_back(static_cast<int32_t>(d));
        }
    }

    struct TChoice
    {
        int32_t detection;
        double worst;
    };

    Board _board;
    Tracker _tracker;
    std::unique_ptr<VoTrack::VoARPlanarPose> _solver;
    int32_t _solver_width = 0;
    int32_t _solver_height = 0;
    // Per board marker, its corners in board coordinates.
    std::vector<std::array<std::array<double, 3>, CORNERS>> _corners;
    // The points of one fit: board coordinates and ideal pixels.
    std::vector<std::array<double, 3>> _board_points;
    std::vector<std::array<double, 2>> _pixels;
    std::vector<TChoice> _chosen;
    // Per detection, its corners in ideal pixels.
    std::vector<std::array<std::array<double, 2>, CORNERS>> _seen_ideal;
    std::vector<Detection> _detections;
    BoardDetection _result;
};

BoardTracker::BoardTracker(const Camera& i_camera, Board i_board, const TrackerOptions& i_options)
    : _impl(std::make_unique<Impl>(i_camera, std::move(i_board), i_options))
{
}

BoardTracker::~BoardTracker() = default;
BoardTracker::BoardTracker(BoardTracker&& io_other) noexcept = default;
BoardTracker& BoardTracker::operator=(BoardTracker&& io_other) noexcept = default;

const BoardDetection& BoardTracker::track(const ImageView& i_frame)
{
    return _impl->track(i_frame, nullptr);
}

const BoardDetection& BoardTracker::track(const ImageView& i_frame, double i_time)
{
    return _impl->track(i_frame, &i_time);
}

void BoardTracker::prepare(int32_t i_width, int32_t i_height)
{
    _impl->prepare(i_width, i_height);
}

const std::vector<double>& BoardTracker::bestConfidences() const
{
    return _impl->bestConfidences();
}

const std::vector<Detection>& BoardTracker::detections() const
{
    return _impl->detections();
}

const Board& BoardTracker::board() const
{
    return _impl->board();
}

const Camera& BoardTracker::camera() const
{
    return _impl->camera();
}

}  // namespace markeye
